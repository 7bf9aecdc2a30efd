// The save dialog, driven as a user would (offscreen): its filters, the default suffix, what it
// remembers between runs, its placement, and saving through it.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include "output_errors.h"
#include "report_save.h"
#include "report_text.h"
#include "save_dialog.h"

using velmor::FileFilter;
using velmor::ReportSaveDialog;

namespace {

// What the dialog showed when it opened.
struct Seen {
    QString fileName;
    QString directory;
    QString filterShown;
    int filterRow = -1;
    QPoint position;
    QSize size;
    bool native = true;
    bool confirmsOverwrite = true;
};

// Runs the dialog; once it is open, records what it shows, then lets act answer it.
std::optional<QString> Drive(ReportSaveDialog& saveDlg, Seen* seen,
                             const std::function<void(QFileDialog&)>& act) {
    bool reached = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        reached = true;
        auto* nameEdit = dialog->findChild<QLineEdit*>("fileNameEdit");
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        if (seen && nameEdit && types) {
            seen->fileName = nameEdit->text();
            seen->directory = dialog->directory().absolutePath();
            seen->filterShown = types->currentText();
            seen->filterRow = types->currentIndex();
            seen->position = dialog->frameGeometry().topLeft();
            seen->size = dialog->frameGeometry().size();
            seen->native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
            seen->confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        }
        act(*dialog);
    });
    const std::optional<QString> path = saveDlg.AskSavePath();
    if (!reached) qWarning("the dialog never became the active modal widget");
    return path;
}

// Types name into the dialog's file name box, picks a filter row if asked, and presses Return.
std::function<void(QFileDialog&)> TypeAndSave(const QString& name, int filterRow = -1) {
    return [=](QFileDialog& dialog) {
        if (filterRow >= 0) {
            auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
            types->setCurrentIndex(filterRow);
            emit types->activated(filterRow);
        }
        auto* nameEdit = dialog.findChild<QLineEdit*>("fileNameEdit");
        nameEdit->setText(name);
        QTest::keyClick(nameEdit, Qt::Key_Return);
        // A dialog that refused the name would still be open: end it so the test goes on.
        if (dialog.isVisible()) QTimer::singleShot(0, &dialog, &QDialog::reject);
    };
}

void Cancel(QFileDialog& dialog) {
    QTest::keyClick(&dialog, Qt::Key_Escape);
}

class FixedPrompt final : public velmor::SavePathPrompt {
  public:
    explicit FixedPrompt(std::optional<QString> answer) : answer_(std::move(answer)) {}
    std::optional<QString> AskSavePath() override { return answer_; }

  private:
    std::optional<QString> answer_;
};

}  // namespace

class SaveDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void filterList();
    void placementRule_data();
    void placementRule();
    void firstOpen();
    void defaultSuffix_data();
    void defaultSuffix();
    void remembersPathAndFilter();
    void cancelRemembersNothing();
    void existingFileNeedsNoConfirmation();
    void typedFolderIsNotChecked();
    void saveReportWritesTheEncodedText();
    void cancelledSaveTouchesNothing();

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QWidget> owner_;
};

void SaveDialogTest::initTestCase() {
    // The Qt dialog keeps its history in the user's settings; keep the tests' out of them.
    QStandardPaths::setTestModeEnabled(true);
}

void SaveDialogTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QDir::setCurrent(dir_->path());
    owner_ = std::make_unique<QWidget>();
    owner_->resize(681, 370);
    owner_->show();
    QVERIFY(QTest::qWaitForWindowExposed(owner_.get()));
}

void SaveDialogTest::filterList() {
    const QList<FileFilter> filters = velmor::ParseFilterList(ReportSaveDialog::kFilterText);
    const QList<FileFilter> expected = {{u"文本文件(*.txt)"_qs, "*.txt"},
                                        {u"所有文件(*.*)"_qs, "*.*"}};
    QCOMPARE(filters, expected);
    QCOMPARE(velmor::QtNameFilter(filters[0]), u"文本文件(*.txt) (*.txt)"_qs);
    QCOMPARE(velmor::QtNameFilter(filters[1]), u"所有文件(*.*) (*)"_qs);
    QCOMPARE(velmor::QtNameFilter({"Text", "*.txt;*.log"}), "Text (*.txt *.log)");
    QCOMPARE(velmor::ParseFilterList(u"A|*.a|B").size(), 1);
}

void SaveDialogTest::placementRule_data() {
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QSize>("dialog");
    QTest::addColumn<QPoint>("position");
    QTest::newRow("1280x1024") << QRect(0, 0, 1280, 1024) << QSize(601, 400) << QPoint(339, 208);
    QTest::newRow("second monitor")
        << QRect(1280, 0, 1920, 1080) << QSize(800, 500) << QPoint(1840, 193);
    QTest::newRow("monitor above")
        << QRect(0, -768, 1024, 768) << QSize(500, 301) << QPoint(262, -613);
    // Larger than the screen: the division rounds toward zero, not down.
    QTest::newRow("too large") << QRect(0, 0, 1280, 1024) << QSize(1301, 1031) << QPoint(-10, -2);
}

void SaveDialogTest::placementRule() {
    QFETCH(QRect, screen);
    QFETCH(QSize, dialog);
    QFETCH(QPoint, position);
    QCOMPARE(ReportSaveDialog::PlacementOnScreen(screen, dialog), position);
}

void SaveDialogTest::firstOpen() {
    ReportSaveDialog saveDlg(owner_.get());
    Seen seen;
    QCOMPARE(Drive(saveDlg, &seen, Cancel), std::nullopt);
    QVERIFY(!seen.native);
    QVERIFY(!seen.confirmsOverwrite);
    QCOMPARE(seen.fileName, QString());
    QCOMPARE(seen.filterRow, 0);
    QCOMPARE(seen.filterShown, u"文本文件(*.txt)"_qs);
    const QRect screen = owner_->screen()->geometry();
    QCOMPARE(seen.position, ReportSaveDialog::PlacementOnScreen(screen, seen.size));
    QCOMPARE(saveDlg.LastPath(), QString());
    QCOMPARE(saveDlg.FilterIndex(), 1);
}

void SaveDialogTest::defaultSuffix_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("filterRow");
    QTest::addColumn<QString>("saved");
    QTest::newRow("no extension, text filter") << "result" << 0 << "result.txt";
    QTest::newRow("no extension, all files") << "result" << 1 << "result.txt";
    QTest::newRow("own extension, text filter") << "result.log" << 0 << "result.log";
    QTest::newRow("own extension, all files") << "result.log" << 1 << "result.log";
    QTest::newRow("already .txt") << "result.txt" << 0 << "result.txt";
}

void SaveDialogTest::defaultSuffix() {
    QFETCH(QString, typed);
    QFETCH(int, filterRow);
    QFETCH(QString, saved);
    ReportSaveDialog saveDlg(owner_.get());
    const std::optional<QString> path =
        Drive(saveDlg, nullptr, TypeAndSave(dir_->filePath(typed), filterRow));
    QCOMPARE(path, dir_->filePath(saved));
    QCOMPARE(saveDlg.FilterIndex(), filterRow + 1);
}

void SaveDialogTest::remembersPathAndFilter() {
    QVERIFY(QDir(dir_->path()).mkdir("reports"));
    const QString folder = dir_->filePath("reports");
    ReportSaveDialog saveDlg(owner_.get());
    QCOMPARE(Drive(saveDlg, nullptr, TypeAndSave(folder + "/first", 1)), folder + "/first.txt");

    Seen seen;
    QCOMPARE(Drive(saveDlg, &seen, TypeAndSave(dir_->filePath("second"))),
             dir_->filePath("second.txt"));
    QCOMPARE(seen.directory, folder);
    QCOMPARE(seen.fileName, "first.txt");
    QCOMPARE(seen.filterRow, 1);
    QCOMPARE(seen.filterShown, u"所有文件(*.*)"_qs);
    QCOMPARE(saveDlg.LastPath(), dir_->filePath("second.txt"));
}

void SaveDialogTest::cancelRemembersNothing() {
    ReportSaveDialog saveDlg(owner_.get());
    QCOMPARE(Drive(saveDlg, nullptr, TypeAndSave(dir_->filePath("kept"))),
             dir_->filePath("kept.txt"));
    QCOMPARE(Drive(saveDlg, nullptr,
                   [](QFileDialog& dialog) {
                       dialog.findChild<QComboBox*>("fileTypeCombo")->setCurrentIndex(1);
                       dialog.findChild<QLineEdit*>("fileNameEdit")->setText("other");
                       Cancel(dialog);
                   }),
             std::nullopt);
    QCOMPARE(saveDlg.LastPath(), dir_->filePath("kept.txt"));
    QCOMPARE(saveDlg.FilterIndex(), 1);
}

void SaveDialogTest::existingFileNeedsNoConfirmation() {
    const QString path = dir_->filePath("there.txt");
    QFile existing(path);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.close();
    ReportSaveDialog saveDlg(owner_.get());
    // A question box would become the active modal widget and the dialog would not return.
    QCOMPARE(Drive(saveDlg, nullptr, TypeAndSave(path)), path);
}

void SaveDialogTest::typedFolderIsNotChecked() {
    ReportSaveDialog saveDlg(owner_.get());
    const QString path = dir_->filePath("missing/folder/report");
    QCOMPARE(Drive(saveDlg, nullptr, TypeAndSave(path)), path + ".txt");
}

void SaveDialogTest::saveReportWritesTheEncodedText() {
    const QString text = u"本软件\n输出电阻ro=1.96078431372549omh\nµ"_qs;
    const QString path = dir_->filePath("a.txt");
    FixedPrompt prompt(path);
    velmor::SaveReport(prompt, text);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), velmor::EncodeReportText(text));

    // The errors of writing reach the caller.
    FixedPrompt nowhere(dir_->filePath("missing/a.txt"));
    QVERIFY_THROWS_EXCEPTION(velmor::CannotCreateFileError, velmor::SaveReport(nowhere, text));
}

void SaveDialogTest::cancelledSaveTouchesNothing() {
    const QString path = dir_->filePath("a.txt");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("old");
    file.close();
    FixedPrompt cancelled(std::nullopt);
    velmor::SaveReport(cancelled, u"new");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("old"));
}

QTEST_MAIN(SaveDialogTest)
#include "save_dialog_test.moc"
