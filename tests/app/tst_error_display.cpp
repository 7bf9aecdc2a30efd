// The error display and the handler guard: what the message box shows, and that an error
// leaving a handler ends in exactly one box while the program carries on.
#include <QApplication>
#include <QtTest>

#include <stdexcept>

#include "application.h"
#include "error_display.h"
#include "errors.h"
#include "handler_guard.h"
#include "message_box_watcher.h"

class TestErrorDisplay : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { velmor::SetUpApplication(); }

    void fullStop_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        const struct {
            const char* name;
            QString message;
            QString shown;
        } rows[] = {
            {"letter", "Stream write error", "Stream write error."},
            {"digit", "Code 5", "Code 5."},
            {"full stop", "Done.", "Done."},
            {"exclamation mark", "Stop!", "Stop!"},
            {"closing parenthesis", "(see above)", "(see above)"},
            {"question mark", "Why?", "Why?."},
            {"hyphen, just below '.'", "x-", "x-"},
            {"slash, just above '.'", "x/", "x/."},
            {"line break", "System Error.  Code: 5.\r\n", "System Error.  Code: 5.\r\n"},
            {"Chinese character", QStringLiteral("输入电阻"), QStringLiteral("输入电阻.")},
            {"outside the BMP", QStringLiteral("x😀"), QStringLiteral("x😀.")},
            {"empty", "", ""},
        };
        for (const auto& row : rows) QTest::newRow(row.name) << row.message << row.shown;
    }
    void fullStop() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(velmor::WithFullStop(message), shown);
    }

    void showsCriticalBoxWithOneOkButton() {
        MessageBoxWatcher watcher;
        velmor::ShowError(QStringLiteral("Floating point overflow"));
        QCOMPARE(watcher.Boxes().size(), 1);
        const ShownBox& box = watcher.Boxes().front();
        QCOMPARE(box.title, QStringLiteral("Velmor1.0"));
        QCOMPARE(box.text, QStringLiteral("Floating point overflow."));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box.buttonCount, 1);
        QVERIFY(box.applicationModal);
    }

    // A typed text is quoted in the message; markup in it must reach the user as typed.
    void showsMarkupAsPlainText() {
        MessageBoxWatcher watcher;
        velmor::ShowError(QStringLiteral("'<b>5</b>' is not a valid floating point value"));
        QCOMPARE(watcher.Boxes().size(), 1);
        QCOMPARE(watcher.Boxes().front().textFormat, Qt::PlainText);
        QCOMPARE(watcher.Boxes().front().text,
                 QStringLiteral("'<b>5</b>' is not a valid floating point value."));
    }

    void emptyMessageShowsEmptyBox() {
        MessageBoxWatcher watcher;
        velmor::ShowError(QString());
        QCOMPARE(watcher.Boxes().size(), 1);
        QCOMPARE(watcher.Boxes().front().text, QString());
        QCOMPARE(watcher.Boxes().front().title, QStringLiteral("Velmor1.0"));
    }

    void releasesMouseGrabBeforeTheBox() {
        QWidget holder;
        holder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&holder));
        holder.grabMouse();
        QCOMPARE(QWidget::mouseGrabber(), &holder);

        MessageBoxWatcher watcher;
        velmor::ShowError(QStringLiteral("Printing in progress"));
        QCOMPARE(watcher.Boxes().size(), 1);
        QVERIFY(!watcher.Boxes().front().mouseGrabbed);
    }

    void guardShowsTheErrorAndReturns() {
        MessageBoxWatcher watcher;
        velmor::RunHandler([] { throw velmor::ConversionError("５O"); });
        QCOMPARE(watcher.Boxes().size(), 1);
        // what() is UTF-8: the typed text comes back as typed.
        QCOMPARE(watcher.Boxes().front().text,
                 QStringLiteral("'５O' is not a valid floating point value."));
    }

    void guardShowsAnythingElseAsEmptyMessage() {
        MessageBoxWatcher watcher;
        velmor::RunHandler([] { throw 42; });
        QCOMPARE(watcher.Boxes().size(), 1);
        QCOMPARE(watcher.Boxes().front().text, QString());
    }
};

QTEST_MAIN(TestErrorDisplay)
#include "tst_error_display.moc"
