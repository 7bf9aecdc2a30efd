// velmor_save_bench [characters]: with a report box of that many characters of report text
// (default 1,000,000), the time from confirming the save dialog to the file being written, as
// the user waits for it. Offscreen unless QT_QPA_PLATFORM says otherwise. Target: 0.5 s.
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "amplifier.h"
#include "application.h"
#include "frmvelmor.h"
#include "report.h"

int main(int argc, char** argv) {
    const qsizetype size = argc > 1 ? std::atoll(argv[1]) : 1'000'000;
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    int one = 1;
    QApplication app(one, argv);
    velmor::SetUpApplication();
    TFrmVelmor window;
    window.show();
    auto* memo = window.findChild<QPlainTextEdit*>(QStringLiteral("Memo"));
    auto* save = window.findChild<QPushButton*>(QStringLiteral("BitBtn2"));
    if (!memo || !save) return 2;

    velmor::ReportLines report;
    velmor::BuildReport(velmor::ReadInputSet(velmor::kDefaultInputTexts), report);
    QString lines, text;
    for (const std::string& line : report.Lines())
        lines += QString::fromStdString(line) + QStringLiteral("\r\n");
    while (text.size() < size) text += lines;
    text.truncate(size);
    memo->setPlainText(text);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.txt"));
    QElapsedTimer clock;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        poll.stop();
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
        clock.start();
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, as Return does
    });
    poll.start(1);
    save->click();
    const qint64 ms = clock.elapsed();
    std::printf("%lld characters saved in %lld ms (%lld bytes)\n", static_cast<long long>(size),
                static_cast<long long>(ms), static_cast<long long>(QFileInfo(path).size()));
    return 0;
}
