// velmor_paste_bench [MB...]: pastes a text of each size (default 10 MB) without a line break
// into the window's report box and times, each in a process of its own, the paste until the box
// has painted, then a key typed at its end, a move to the start and reading the text back.
// Offscreen unless QT_QPA_PLATFORM says otherwise. Target: the box painted within 1 s of a
// 10 MB paste, each later step within 0.1 s.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include <cstdio>
#include <cstdlib>

#include "application.h"
#include "each_size.h"
#include "frmvelmor.h"
#include "report_box.h"

namespace {

// Milliseconds until step and the repaint it causes are done.
void Press(QWidget* box, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers,
                    key == Qt::Key_A ? QStringLiteral("a") : QString());
    QApplication::sendEvent(box, &press);
}

template <typename Step>
qint64 Timed(QWidget& box, Step step) {
    QElapsedTimer clock;
    clock.start();
    step();
    QApplication::processEvents();
    box.repaint();
    return clock.elapsed();
}

int Measure(TFrmVelmor& window, double megabytes) {
    auto* memo = window.findChild<velmor::ReportBox*>(QStringLiteral("Memo"));
    if (memo == nullptr) return 2;
    memo->setFocus();
    QApplication::processEvents();

    const qsizetype size = qsizetype(megabytes * 1024 * 1024);
    QString text(size, u'x');
    for (qsizetype i = 0; i < size; i += 97) text[i] = u'7';
    QApplication::clipboard()->setText(text);
    const qint64 paste = Timed(*memo, [memo] { memo->paste(); });
    const qint64 key = Timed(*memo, [memo] { Press(memo, Qt::Key_A); });
    const qint64 home = Timed(*memo, [memo] { Press(memo, Qt::Key_Home, Qt::ControlModifier); });
    qsizetype read = 0;
    const qint64 whole = Timed(*memo, [memo, &read] { read = memo->Text().size(); });
    std::printf(
        "%6.1f MB pasted: painted %5lld ms | key %4lld ms | to start %4lld ms | text "
        "read %4lld ms (%s)\n",
        megabytes, static_cast<long long>(paste), static_cast<long long>(key),
        static_cast<long long>(home), static_cast<long long>(whole),
        read == size + 1 ? "whole" : "NOT WHOLE");
    std::fflush(stdout);
    return read == size + 1 ? 0 : 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    return velmor::bench::RunEachSize(argc, argv, {10}, Measure);
}
