// The save dialog, driven as a user would (offscreen): where it opens, its filters, the default
// suffix, what it remembers between runs and what a cancel leaves.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "output_errors.h"
#include "report_save.h"
#include "save_dialog.h"

using namespace Qt::StringLiterals;
using velmor::ReportSaveDialog;
using velmor::SaveReport;

class SaveDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void placement();
    void savesThroughTheDialog();

  private:
    // Once the next dialog is open: records what it shows, picks filterRow (unless -1), types
    // name and presses key.
    void WhenOpen(const QString& name, int filterRow, Qt::Key key = Qt::Key_Return);

    QStringList filters_;
    int filterRow_ = -1;
    QString offered_;  // the full path offered, or "" for no name
    QRect frame_;
};

void SaveDialogTest::WhenOpen(const QString& name, int filterRow, Qt::Key key) {
    QTimer::singleShot(0, [=, this] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
        auto* nameEdit = dialog->findChild<QLineEdit*>("fileNameEdit");
        filters_.clear();
        for (int i = 0; i < types->count(); ++i) filters_.append(types->itemText(i));
        filterRow_ = types->currentIndex();
        offered_ = nameEdit->text().isEmpty() ? "" : dialog->directory().filePath(nameEdit->text());
        frame_ = dialog->frameGeometry();
        if (filterRow >= 0) {
            types->setCurrentIndex(filterRow);
            emit types->activated(filterRow);
        }
        // Typing into the focused box would deselect the file offered; without focus, do it here.
        dialog->findChild<QAbstractItemView*>("listView")->clearSelection();
        nameEdit->setText(name);
        QTest::keyClick(nameEdit, key);
        // A dialog still open refused the name: end it so that the test goes on.
        if (dialog->isVisible()) QTimer::singleShot(0, dialog, &QDialog::reject);
    });
}

// Centred across and one third down, rounded toward zero (not down).
void SaveDialogTest::placement() {
    QCOMPARE(ReportSaveDialog::PlacementOnScreen({1280, -768, 1024, 768}, {500, 301}),
             QPoint(1542, -613));
    QCOMPARE(ReportSaveDialog::PlacementOnScreen({0, 0, 1280, 1024}, {1301, 1031}),
             QPoint(-10, -2));
}

// One run of the program: the first dialog shows the text filter and no name, the next ones the
// path and filter of the last confirmed one. A name without extension gets ".txt" whatever the
// filter; a cancel writes nothing and is forgotten; the typed folder is not checked, and the
// error of writing reaches the caller.
void SaveDialogTest::savesThroughTheDialog() {
    QStandardPaths::setTestModeEnabled(true);  // the dialog's history stays out of the settings
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("reports"));
    const QString first = dir.filePath("reports/first.txt");
    QWidget owner;
    owner.resize(681, 370);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    ReportSaveDialog saveDlg(&owner);

    WhenOpen(dir.filePath("reports/first"), 1);
    SaveReport(saveDlg, u"first");
    QCOMPARE(filters_, (QStringList{u"文本文件(*.txt)"_s, u"所有文件(*.*)"_s}));
    QCOMPARE(filterRow_, 0);
    QCOMPARE(offered_, QString());
    QCOMPARE(frame_.topLeft(),
             ReportSaveDialog::PlacementOnScreen(owner.screen()->geometry(), frame_.size()));
    QCOMPARE(saveDlg.FilterIndex(), 2);

    WhenOpen("other", 0, Qt::Key_Escape);
    SaveReport(saveDlg, u"other");
    QCOMPARE(offered_, first);
    QCOMPARE(filterRow_, 1);

    WhenOpen(dir.filePath("result.log"), 0);
    SaveReport(saveDlg, u"log");
    QCOMPARE(offered_, first);
    QCOMPARE(filterRow_, 1);
    QCOMPARE(saveDlg.LastPath(), dir.filePath("result.log"));
    QCOMPARE(saveDlg.FilterIndex(), 1);

    WhenOpen(dir.filePath("missing/a"), -1);
    QVERIFY_THROWS_EXCEPTION(velmor::CannotCreateFileError, SaveReport(saveDlg, u"x"));
    QCOMPARE(saveDlg.LastPath(), dir.filePath("missing/a.txt"));

    QFile file(first);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), "first");
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{"reports", "result.log"}));
    QCOMPARE(QDir(dir.filePath("reports")).entryList(QDir::Files), QStringList{"first.txt"});
}

QTEST_MAIN(SaveDialogTest)
#include "save_dialog_test.moc"
