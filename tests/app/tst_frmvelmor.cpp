// The main window as a user meets it: its controls, 计算 into the report box, the error box
// and its guard, the keyboard, and closing.
#include <QtTest>
#include <QtWidgets>

#include <memory>
#include <stdexcept>
#include <utility>

#include "application.h"
#include "frmvelmor.h"
#include "handler_guard.h"
#include "decimal_separator.h"

using namespace Qt::StringLiterals;

struct ShownBox {
    QString title, text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    qsizetype buttonCount;
    QString buttonText;
    Qt::TextFormat format;
    bool mouseGrabbed;
};

// While it lives, answers every modal message box with OK and keeps what the box showed.
struct MessageBoxWatcher {
    QList<ShownBox> boxes;
    QTimer timer;
    MessageBoxWatcher() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible()) return;
            boxes.append({box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                          box->buttons().size(),
                          box->buttons().isEmpty() ? "" : box->buttons()[0]->text(),
                          box->textFormat(), QWidget::mouseGrabber() != nullptr});
            box->done(QMessageBox::Ok);
        });
        timer.start(5);
    }
};

class TestFrmVelmor : public QObject {
    Q_OBJECT

    std::unique_ptr<TFrmVelmor> window_;
    QStringList report_;  // the report for the default inputs, as the calculation's tests know it

    template <typename T = QWidget>
    T* Find(const QString& name) const {
        T* child = window_->findChild<T*>(name);
        if (child == nullptr) qFatal("no control named %s", qPrintable(name));
        return child;
    }
    QLineEdit* Edit(const QString& name) const { return Find<QLineEdit>(name); }
    QPlainTextEdit* Memo() const { return Find<QPlainTextEdit>("Memo"); }
    void ClickCalc() const { QTest::mouseClick(Find("BitBtnCalc"), Qt::LeftButton); }
    static void Press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }
    // The box's text for the report's first lines: each one followed by a line break.
    QString Report(qsizetype lines) const { return report_.first(lines).join(u'\n') + u'\n'; }

  private slots:
    void initTestCase() {
        velmor::SetUpApplication();
        QFile file(QFINDTESTDATA("../calc/default_report.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        report_ = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(report_.size(), 29);
    }
    void init() {
        window_ = std::make_unique<TFrmVelmor>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    void cleanup() { window_.reset(); }

    // Every control and the window: parent, place and size, caption or text, and the name a
    // screen reader speaks (an edit box's label, a button's caption, the report box's and the
    // schematic's own name).
    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("spoken");
        auto row = [](const char* name, const char* parent, QRect geometry, const char* text,
                      const char* spoken = "") {
            QTest::newRow(name) << name << parent << geometry << text << spoken;
        };
        row("FrmVelmor", "", {441, 482, 681, 370}, "Velmor");
        row("GroupBox1", "FrmVelmor", {8, 8, 665, 305}, "Velmor");
        row("Image1", "GroupBox1", {8, 24, 223, 265}, "", "电路图");
        row("Label1", "GroupBox1", {248, 24, 66, 12}, "R1（omh）：");
        row("Label2", "GroupBox1", {248, 48, 54, 12}, "R2(omh)：");
        row("Label3", "GroupBox1", {248, 72, 54, 12}, "R3(omh)：");
        row("Label4", "GroupBox1", {248, 104, 54, 12}, "R4(omh)：");
        row("Label5", "GroupBox1", {248, 136, 48, 12}, "C1(uF)：");
        row("Label6", "GroupBox1", {248, 160, 48, 12}, "C2(uF)：");
        row("Label7", "GroupBox1", {248, 184, 48, 12}, "Vcc(V)：");
        row("Label8", "GroupBox1", {248, 208, 36, 12}, "Beta：");
        row("Label9", "GroupBox1", {248, 232, 186, 12}, "NPN管Vcc输入正数，PNP管输入负数");
        row("EditR1", "GroupBox1", {312, 18, 121, 20}, "10E3", "R1（omh）：");
        row("EditR2", "GroupBox1", {304, 43, 121, 20}, "1E3", "R2(omh)：");
        row("EditR3", "GroupBox1", {304, 64, 121, 20}, "10E3", "R3(omh)：");
        row("EditR4", "GroupBox1", {304, 96, 121, 20}, "100", "R4(omh)：");
        row("EditC1", "GroupBox1", {296, 128, 121, 20}, "47", "C1(uF)：");
        row("EditC2", "GroupBox1", {296, 152, 121, 20}, "100", "C2(uF)：");
        row("EditVcc", "GroupBox1", {296, 176, 121, 20}, "3", "Vcc(V)：");
        row("EditBeta", "GroupBox1", {288, 200, 121, 20}, "50", "Beta：");
        row("BitBtnCalc", "GroupBox1", {344, 256, 75, 25}, "计算", "计算");
        row("Memo", "GroupBox1", {440, 16, 217, 249}, "", "计算结果");
        row("BitBtnPrint", "GroupBox1", {264, 256, 75, 25}, "打印", "打印");
        row("BitBtn2", "GroupBox1", {576, 272, 75, 25}, "保存", "保存");
        row("BitBtn1", "FrmVelmor", {304, 320, 75, 25}, "关闭", "关闭");
        row("StatusBar1", "FrmVelmor", {0, 351, 681, 19}, "");
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(QString, spoken);
        QWidget* control = name == window_->objectName() ? window_.get() : Find(name);
        QCOMPARE(control->parentWidget() ? control->parentWidget()->objectName() : "", parent);
        // The window's place is a screen pixel whatever the scale factor (QT_SCALE_FACTOR).
        const QPoint place = control->isWindow()
                                 ? (QPointF(control->pos()) * control->devicePixelRatio()).toPoint()
                                 : control->pos();
        QCOMPARE(QRect(place, control->size()), geometry);
        QVERIFY(control->isVisible());
        const char* property = control->isWindow()                      ? "windowTitle"
                               : qobject_cast<QGroupBox*>(control)      ? "title"
                               : qobject_cast<QPlainTextEdit*>(control) ? "plainText"
                                                                        : "text";
        QCOMPARE(control->property(property).toString(), text);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        if (!spoken.isEmpty()) QCOMPARE(accessible->text(QAccessible::Name), spoken);
        // The pictures and the report are described; the schematic names its circuit.
        const QString description = accessible->text(QAccessible::Description);
        QCOMPARE(description.isEmpty(), name != "Memo" && name != "Image1");
        QVERIFY(name != "Image1" || description.contains("分压式偏置共射极放大电路"));
        if (control->isWindow()) {  // a fixed-size dialog; a close box, no minimise or maximise box
            QCOMPARE(accessible->role(), QAccessible::Dialog);
            QCOMPARE(control->minimumSize(), control->maximumSize());
            QCOMPARE(
                control->windowFlags() & (Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
                Qt::WindowFlags(Qt::WindowCloseButtonHint));
        }
    }

    // "宋体" resolves to a Ming face at 12 pixels, drawn crisp (a label holds ink and face, no
    // grey between); the status bar keeps the desktop's font.
    void fontsAndStatusBar() {
        for (const char* name : {"EditR1", "Label9", "Memo", "BitBtn1"}) {
            const QFontInfo info(Find(name)->font());
            QCOMPARE(info.pixelSize(), 12);
            QVERIFY2(info.family().startsWith("AR PL UMing"), qPrintable(info.family()));
        }
        const QImage label = Find("Label1")->grab().toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < label.height(); ++y)
            for (int x = 0; x < label.width(); ++x) colours.insert(label.pixel(x, y));
        QCOMPARE(colours.size(), 2);
        auto* bar = Find<QStatusBar>("StatusBar1");
        QVERIFY(bar->font().family() != QStringLiteral("宋体"));
        QVERIFY(!bar->isSizeGripEnabled());
        const QList<QLabel*> panels = bar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(panels.size(), 2);
        QCOMPARE(panels[0]->text(), QStringLiteral("就绪"));
        QCOMPARE(panels[0]->width(), 50);
        QVERIFY(panels[1]->geometry().right() > bar->width() - 20);
    }

    // The schematic's light-yellow background lets the group box's face through. The group
    // box's frame runs above the report box and EditR1 (its caption stands on the line) and
    // below 保存: down the gap between EditR1 and the report box only its two lines show.
    void pictureOfTheWindow() {
        const QImage shot = window_->grab().toImage();
        const QPoint origin = Find("Image1")->mapTo(window_.get(), QPoint(0, 0));
        const QColor face = shot.pixelColor(origin + QPoint(-3, 264));
        QVERIFY(face != QColor(255, 255, 232));
        QCOMPARE(shot.pixelColor(origin + QPoint(0, 264)), face);
        QCOMPARE(shot.pixelColor(origin + QPoint(1, 1)), face);
        QCOMPARE(shot.pixelColor(origin + QPoint(51, 60)), QColor(0, 0, 255));  // R1's outline

        const QPoint box = Find("GroupBox1")->mapTo(window_.get(), QPoint(436, 0));
        QList<int> lines;
        for (int y = 0; y < 305; ++y)
            if (shot.pixelColor(box + QPoint(0, y)) != face) lines << y;
        QVERIFY2(!lines.isEmpty() && lines.first() < 16 && lines.last() > 297 && lines.size() <= 4,
                 qPrintable(QDebug::toString(lines)));
    }

    // 计算 twice: the box is cleared each time. Long lines wrap on screen only.
    void defaultReport() {
        MessageBoxWatcher watcher;
        for (int i = 0; i < 2; ++i) {
            ClickCalc();
            QCOMPARE(Memo()->toPlainText(), Report(29));
        }
        QVERIFY(watcher.boxes.isEmpty());
        QVERIFY(Memo()->document()->lineCount() > Memo()->blockCount());  // wrapped on screen
        QVERIFY(!Memo()->horizontalScrollBar()->isVisible());
        QVERIFY(Memo()->verticalScrollBar()->isVisible());
    }

    // With a "?" after every default, 计算 quotes the first bad box (R1 … Beta) and leaves the
    // report; the focus is back, and mending that box brings up the next (R1 and R3 both read
    // "10E3", so a swap shows up here). Beta = -1 stops the report after ro.
    void errors() {
        const QStringList names{"EditR1", "EditR2", "EditR3",  "EditR4",
                                "EditC1", "EditC2", "EditVcc", "EditBeta"};
        MessageBoxWatcher watcher;
        ClickCalc();
        for (const QString& name : names) Edit(name)->setText(Edit(name)->text() + u'?');
        for (qsizetype i = 0; i < names.size(); ++i) {
            ClickCalc();
            QCOMPARE(watcher.boxes.size(), i + 1);
            QCOMPARE(watcher.boxes.back().text,
                     u'\'' + Edit(names[i])->text() + "' is not a valid floating point value.");
            QCOMPARE(Memo()->toPlainText(), Report(29));
            QCoreApplication::processEvents();
            QCOMPARE(QApplication::activeWindow(), window_.get());
            QCOMPARE(QApplication::focusWidget(), Find("BitBtnCalc"));
            Edit(names[i])->setText(Edit(names[i])->text().chopped(1));
        }
        Edit("EditBeta")->setText("-1");
        ClickCalc();
        QCOMPARE(watcher.boxes.size(), names.size() + 1);
        QCOMPARE(watcher.boxes.back().text, QStringLiteral("Floating point division by zero."));
        QCOMPARE(Memo()->toPlainText(), Report(14));
    }

    void decimalSeparatorFollowsLocale() {
        MessageBoxWatcher watcher;
        const QLocale before;
        QEvent change(QEvent::LocaleChange);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCoreApplication::sendEvent(window_.get(), &change);
        Edit("EditVcc")->setText("3,0");
        ClickCalc();
        QLocale::setDefault(before);
        QCoreApplication::sendEvent(window_.get(), &change);
        QCOMPARE(Memo()->toPlainText().split(u'\n').value(2),
                 QStringLiteral("基极静态电位VB=1,5V"));
        QCOMPARE(velmor::DecimalSeparator(), '.');
    }

    // Tab selects an edit box's text, a click does not; the report box takes typing.
    void keyboardFocus() {
        const QStringList order{"EditR1",      "EditR2",  "EditR3",     "EditR4", "EditC1",
                                "EditC2",      "EditVcc", "BitBtnCalc", "Memo",   "EditBeta",
                                "BitBtnPrint", "BitBtn2", "BitBtn1",    "EditR1"};
        Edit("EditR1")->setFocus(Qt::TabFocusReason);
        QStringList visited{QApplication::focusWidget()->objectName()};
        while (visited.size() < order.size()) {
            if (QApplication::focusWidget() == Memo()) Press(Qt::Key_X);
            Press(Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
            if (auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget()))
                QCOMPARE(edit->selectedText(), edit->text());
        }
        QCOMPARE(visited, order);
        QCOMPARE(Memo()->toPlainText(), QStringLiteral("x"));
        Press(Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), Find("BitBtn1"));
        QTest::mouseClick(Edit("EditR3"), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), Edit("EditR3"));
        QVERIFY(!Edit("EditR3")->hasSelectedText());
    }

    // Return and Enter press a focused button (as Space does); in an edit box they and Esc press
    // nothing, for there is no default or cancel button.
    void enterPressesOnlyAFocusedButton() {
        int clicks = 0;
        for (QPushButton* button : window_->findChildren<QPushButton*>()) {
            disconnect(button, nullptr, window_.get(), nullptr);  // no dialog, no print, no close
            connect(button, &QPushButton::clicked, this, [&clicks] { ++clicks; });
            button->setFocus(Qt::TabFocusReason);
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space})
                QTest::keyClick(button, key);
            QCOMPARE(std::exchange(clicks, 0), 3);
        }
        MessageBoxWatcher watcher;
        for (QLineEdit* edit : window_->findChildren<QLineEdit*>()) {
            QTest::mouseClick(edit, Qt::LeftButton);
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(edit, key);
        }
        QCoreApplication::processEvents();
        QCOMPARE(clicks, 0);
        QVERIFY(window_->isVisible());
        QVERIFY(watcher.boxes.isEmpty());
    }

    // An error leaving a handler: a std::exception's what() (UTF-8), with a full stop after a
    // last character above '.', or an empty message for anything else; the caption, a stop
    // icon, one OK button, the text as typed (plain, not markup); a held mouse grab released.
    void errorBox_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        auto row = [](const char* name, const char* message, const char* shown) {
            QTest::newRow(name) << message << shown;
        };
        row("letter", "Stream write error", "Stream write error.");
        row("full stop", "Done.", "Done.");
        row("exclamation mark", "Stop!", "Stop!");
        row("parenthesis", "(see above)", "(see above)");
        row("question mark", "Why?", "Why?.");
        row("hyphen, below '.'", "x-", "x-");
        row("slash, above '.'", "x/", "x/.");
        row("Chinese", "输入电阻", "输入电阻.");
        row("markup", "'<b>5</b>' is bad", "'<b>5</b>' is bad.");
        row("empty", "", "");
        row("not a std::exception", "42", "");
        // A conversion error's typed text ("typed:"): quoted in full up to 256 characters, NULs
        // included; a longer one as its first and last 100 characters (not bytes, not UTF-16
        // units); isolated when it could reorder the rest of the message.
        const QString value = "' is not a valid floating point value.";
        const QString fsi(QChar(0x2068)), pdi(QChar(0x2069)), x256(256, u'x');
        QTest::newRow("typed, NUL") << "typed:1" + QString(QChar(0)) + "2"
                                    << "'1" + QString(QChar(0)) + "2" + value;
        QTest::newRow("typed, 256 characters") << "typed:" + x256 << "'" + x256 + value;
        QTest::newRow("typed, 257 characters")
            << "typed:" + x256 + "y"
            << "'" + QString(100, u'x') + u'…' + QString(99, u'x') + "y" + value;
        QTest::newRow("typed, 300 characters")
            << "typed:a" + QString(150, u'电') + QString("😀").repeated(149)
            << "'a" + QString(99, u'电') + u'…' + QString("😀").repeated(100) + value;
        QTest::newRow("typed, right-to-left override")
            << "typed:5" + QString(QChar(0x202e)) + "ab"
            << "'" + fsi + "5" + QChar(0x202e) + "ab" + pdi + value;
        QTest::newRow("typed, stray closing isolate")
            << "typed:a" + pdi + QChar(0x202e) + "b"
            << "'" + fsi + fsi + "a" + pdi + QChar(0x202e) + "b" + pdi + value;
    }
    void errorBox() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        window_->grabMouse();
        QCOMPARE(QWidget::mouseGrabber(), window_.get());
        MessageBoxWatcher watcher;
        velmor::RunHandler([&message] {
            if (message == "42") throw 42;
            if (message.startsWith("typed:"))
                throw velmor::ConversionError(message.sliced(6).toStdString());
            throw std::runtime_error(message.toStdString());
        });
        QCOMPARE(watcher.boxes.size(), 1);
        const ShownBox& box = watcher.boxes.front();
        QCOMPARE(box.text, shown);
        QCOMPARE(box.title, QStringLiteral("Velmor1.0"));
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box.buttonCount, 1);
        QCOMPARE(box.format, Qt::PlainText);
        QVERIFY(!box.mouseGrabbed);
    }

    // Qt's own texts speak the system's language (run under C.UTF-8, and again under
    // zh_CN.UTF-8): the save dialog's and the message box's button. The message stays English.
    void qtTextsFollowSystemLanguage() {
        QStringList dialogTexts;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&dialogTexts] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible()) return;
            dialogTexts << dialog->windowTitle();
            for (const char* label : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
                dialogTexts << dialog->findChild<QLabel*>(label)->text();
            for (QAbstractButton* button : dialog->findChild<QDialogButtonBox*>()->buttons())
                dialogTexts << button->text();
            dialog->reject();
        });
        poll.start(5);
        Find<QPushButton>("BitBtn2")->click();
        MessageBoxWatcher watcher;
        Edit("EditBeta")->setText("x");
        ClickCalc();
        dialogTexts << watcher.boxes.value(0).buttonText;
        QCOMPARE(watcher.boxes.value(0).text, "'x' is not a valid floating point value.");

        const QStringList english{
            "Save As", "Look in:", "File &name:", "Files of type:", "&Save", "Cancel", "OK"};
        if (QLocale::system().language() != QLocale::Chinese) {
            QCOMPARE(dialogTexts, english);
            return;
        }
        QCOMPARE(dialogTexts.size(), english.size());
        for (const QString& text : dialogTexts)
            QVERIFY2(text.contains(QRegularExpression(u"\\p{Han}"_s)), qPrintable(text));
    }

    // 关闭, or a close request (the title bar's close box, Alt+F4): the event loop ends with 0.
    void closingEndsEventLoop_data() {
        QTest::addColumn<bool>("byButton");
        QTest::newRow("关闭") << true;
        QTest::newRow("close request") << false;
    }
    void closingEndsEventLoop() {
        QFETCH(bool, byButton);
        QTimer::singleShot(0, window_.get(), [this, byButton] {
            byButton ? Find<QPushButton>("BitBtn1")->click() : void(window_->close());
        });
        QCOMPARE(QApplication::exec(), 0);
    }
};

QTEST_MAIN(TestFrmVelmor)
#include "tst_frmvelmor.moc"
