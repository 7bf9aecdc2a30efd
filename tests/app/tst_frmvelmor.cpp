// The main window as a user meets it: its controls, the calculation into the report box, the
// errors shown for bad input and arithmetic faults, the keyboard, and closing.
#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>

#include <memory>

#include "application.h"
#include "frmvelmor.h"
#include "locale_separator.h"
#include "message_box_watcher.h"
#include "number_text.h"

namespace {

// The report for the default inputs, line for line.
const QStringList kDefaultReport{
    QStringLiteral("本软件试以VBE=0.7V和VBE=0.3V计算直流和交流参数"),
    QStringLiteral("=======直流参数======"),
    QStringLiteral("基极静态电位VB=1.5V"),
    QStringLiteral("发射极静态电位VE=0.8V"),
    QStringLiteral("发射极静态电流IE=0.008A"),
    QStringLiteral("基极-发射极内阻rbe=92.6153846153846omh"),
    QStringLiteral("基极静态电流IB=0.00755813953488372A"),
    QStringLiteral("集电极静态电流IC=0.0155581395348837A"),
    QStringLiteral("集电极静态电位VC=-12.5581395348837V"),
    QStringLiteral("晶体管基极-发射极压降VBE=0.7V"),
    QStringLiteral("集电极-发射极静态电位差VCE=-13.3581395348837V"),
    QStringLiteral("集电极-基极静态电位差VCB=-14.0581395348837V"),
    QStringLiteral("=====交流参数========"),
    QStringLiteral("输入电阻ri=90.9310615672769omh"),
    QStringLiteral("输出电阻ro=1.96078431372549omh"),
    QStringLiteral("=======直流参数======"),
    QStringLiteral("基极静态电位VB=1.5V"),
    QStringLiteral("发射极静态电位VE=1.2V"),
    QStringLiteral("发射极静态电流IE=0.012A"),
    QStringLiteral("基极-发射极内阻rbe=138.923076923077omh"),
    QStringLiteral("基极静态电流IB=0.00215946843853821A"),
    QStringLiteral("集电极静态电流IC=0.0141594684385382A"),
    QStringLiteral("集电极静态电位VC=-11.1594684385382V"),
    QStringLiteral("晶体管基极-发射极压降VBE=0.3V"),
    QStringLiteral("集电极-发射极静态电位差VCE=-12.3594684385382V"),
    QStringLiteral("集电极-基极静态电位差VCB=-12.6594684385382V"),
    QStringLiteral("=====交流参数========"),
    QStringLiteral("输入电阻ri=135.167499925156omh"),
    QStringLiteral("输出电阻ro=1.96078431372549omh"),
};

// The box's text for these lines: each one followed by a line break.
QString BoxText(const QStringList& lines) {
    QString text;
    for (const QString& line : lines) text += line + u'\n';
    return text;
}

const QStringList kEditNames{"EditR1", "EditR2", "EditR3",  "EditR4",
                             "EditC1", "EditC2", "EditVcc", "EditBeta"};

}  // namespace

class TestFrmVelmor : public QObject {
    Q_OBJECT

  private:
    template <typename T>
    T* Find(const QString& name) const {
        T* child = window_->findChild<T*>(name);
        if (child == nullptr)
            qFatal("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
        return child;
    }
    QLineEdit* Edit(const QString& name) const { return Find<QLineEdit>(name); }
    QPlainTextEdit* Memo() const { return Find<QPlainTextEdit>(QStringLiteral("Memo")); }
    void ClickCalc() const { QTest::mouseClick(Find<QPushButton>("BitBtnCalc"), Qt::LeftButton); }

    std::unique_ptr<TFrmVelmor> window_;

  private slots:
    void initTestCase() { velmor::SetUpApplication(); }

    void init() {
        window_ = std::make_unique<TFrmVelmor>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    void cleanup() { window_.reset(); }

    // --- Layout -----------------------------------------------------------------------------

    void window() {
        QCOMPARE(window_->objectName(), QStringLiteral("FrmVelmor"));
        QCOMPARE(window_->metaObject()->className(), "TFrmVelmor");
        QCOMPARE(window_->windowTitle(), QStringLiteral("Velmor"));
        QCOMPARE(window_->size(), QSize(681, 370));
        QCOMPARE(window_->minimumSize(), QSize(681, 370));
        QCOMPARE(window_->maximumSize(), QSize(681, 370));
        QCOMPARE(window_->pos(), QPoint(441, 482));
        const Qt::WindowFlags flags = window_->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    }

    void controls_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, const char* cls, const char* parent, QRect geometry,
                      const QString& text) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(cls)
                                << QString::fromLatin1(parent) << geometry << text;
        };
        row("GroupBox1", "QGroupBox", "FrmVelmor", {8, 8, 665, 305}, "Velmor");
        row("Image1", "QLabel", "GroupBox1", {8, 24, 223, 265}, "");
        row("Label1", "QLabel", "GroupBox1", {248, 24, 66, 12}, QStringLiteral("R1（omh）："));
        row("Label2", "QLabel", "GroupBox1", {248, 48, 54, 12}, QStringLiteral("R2(omh)："));
        row("Label3", "QLabel", "GroupBox1", {248, 72, 54, 12}, QStringLiteral("R3(omh)："));
        row("Label4", "QLabel", "GroupBox1", {248, 104, 54, 12}, QStringLiteral("R4(omh)："));
        row("Label5", "QLabel", "GroupBox1", {248, 136, 48, 12}, QStringLiteral("C1(uF)："));
        row("Label6", "QLabel", "GroupBox1", {248, 160, 48, 12}, QStringLiteral("C2(uF)："));
        row("Label7", "QLabel", "GroupBox1", {248, 184, 48, 12}, QStringLiteral("Vcc(V)："));
        row("Label8", "QLabel", "GroupBox1", {248, 208, 36, 12}, QStringLiteral("Beta："));
        row("Label9", "QLabel", "GroupBox1", {248, 232, 186, 12},
            QStringLiteral("NPN管Vcc输入正数，PNP管输入负数"));
        row("EditR1", "QLineEdit", "GroupBox1", {312, 18, 121, 20}, "10E3");
        row("EditR2", "QLineEdit", "GroupBox1", {304, 43, 121, 20}, "1E3");
        row("EditR3", "QLineEdit", "GroupBox1", {304, 64, 121, 20}, "10E3");
        row("EditR4", "QLineEdit", "GroupBox1", {304, 96, 121, 20}, "100");
        row("EditC1", "QLineEdit", "GroupBox1", {296, 128, 121, 20}, "47");
        row("EditC2", "QLineEdit", "GroupBox1", {296, 152, 121, 20}, "100");
        row("EditVcc", "QLineEdit", "GroupBox1", {296, 176, 121, 20}, "3");
        row("EditBeta", "QLineEdit", "GroupBox1", {288, 200, 121, 20}, "50");
        row("BitBtnCalc", "QPushButton", "GroupBox1", {344, 256, 75, 25}, QStringLiteral("计算"));
        row("Memo", "QPlainTextEdit", "GroupBox1", {440, 16, 217, 249}, "");
        row("BitBtnPrint", "QPushButton", "GroupBox1", {264, 256, 75, 25}, QStringLiteral("打印"));
        row("BitBtn2", "QPushButton", "GroupBox1", {576, 272, 75, 25}, QStringLiteral("保存"));
        row("BitBtn1", "QPushButton", "FrmVelmor", {304, 320, 75, 25}, QStringLiteral("关闭"));
        row("StatusBar1", "QStatusBar", "FrmVelmor", {0, 351, 681, 19}, "");
    }
    void controls() {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, parent);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        auto* control = Find<QWidget>(name);
        QCOMPARE(QString::fromLatin1(control->metaObject()->className()), className);
        QCOMPARE(control->parentWidget()->objectName(), parent);
        QCOMPARE(control->geometry(), geometry);
        QVERIFY(control->isVisible());
        QString shown;
        if (auto* label = qobject_cast<QLabel*>(control)) shown = label->text();
        if (auto* edit = qobject_cast<QLineEdit*>(control)) shown = edit->text();
        if (auto* button = qobject_cast<QPushButton*>(control)) shown = button->text();
        if (auto* group = qobject_cast<QGroupBox*>(control)) shown = group->title();
        if (auto* memo = qobject_cast<QPlainTextEdit*>(control)) shown = memo->toPlainText();
        QCOMPARE(shown, text);
    }

    // "宋体" at 12 pixels, found through the program's own substitution.
    void fonts() {
        const QFont font = window_->font();
        QCOMPARE(font.family(), QStringLiteral("宋体"));
        for (const QString& name : {QStringLiteral("EditR1"), QStringLiteral("Label9"),
                                    QStringLiteral("Memo"), QStringLiteral("BitBtn1")}) {
            const QFontInfo info(Find<QWidget>(name)->font());
            QCOMPARE(info.pixelSize(), 12);
            QVERIFY2(info.family().startsWith(QStringLiteral("AR PL UMing")) ||
                         info.family() == QStringLiteral("WenQuanYi Micro Hei"),
                     qPrintable(name + QStringLiteral(": ") + info.family()));
        }
        const QFont barFont = Find<QStatusBar>("StatusBar1")->font();
        QCOMPARE(barFont.family(), QApplication::font("QStatusBar").family());
        QVERIFY(barFont.family() != QStringLiteral("宋体"));
    }

    void statusBar() {
        auto* bar = Find<QStatusBar>("StatusBar1");
        QVERIFY(!bar->isSizeGripEnabled());
        const QList<QLabel*> panels = bar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(panels.size(), 2);
        QCOMPARE(panels[0]->text(), QStringLiteral("就绪"));
        QCOMPARE(panels[0]->width(), 50);
        QVERIFY(!panels[1]->text().isEmpty());
        QVERIFY(panels[1]->x() > panels[0]->geometry().right());
        QVERIFY(panels[1]->geometry().right() > bar->width() - 20);
    }

    // The schematic's light-yellow background lets the window's face colour through; its
    // blue lines stay.
    void schematicIsTransparent() {
        auto* image = Find<QLabel>("Image1");
        QCOMPARE(image->pixmap().size(), QSize(223, 265));
        const QImage shot = window_->grab().toImage();
        const QPoint origin = image->mapTo(window_.get(), QPoint(0, 0));
        // The group box's own face, just left of the picture.
        const QColor face = shot.pixelColor(origin + QPoint(-3, 264));
        QVERIFY(face != QColor(255, 255, 232));
        QCOMPARE(shot.pixelColor(origin + QPoint(0, 264)), face);
        QCOMPARE(shot.pixelColor(origin + QPoint(1, 1)), face);
        // The left edge of R1's body, a blue line.
        QCOMPARE(shot.pixelColor(origin + QPoint(51, 60)), QColor(0, 0, 255));
    }

    void pictureFiles() {
        QFile schematic(QStringLiteral(":/schematic.bmp"));
        QVERIFY(schematic.open(QIODevice::ReadOnly));
        const QByteArray header = schematic.read(30);
        QCOMPARE(header.left(2), QByteArray("BM"));
        QCOMPARE(qFromLittleEndian<quint16>(header.constData() + 28), quint16(24));
        const QImage picture(QStringLiteral(":/schematic.bmp"));
        QCOMPARE(picture.size(), QSize(223, 265));
        QCOMPARE(picture.pixelColor(0, 264), QColor(255, 255, 232));

        const QImage icon(QStringLiteral(":/velmor.png"));
        QCOMPARE(icon.size(), QSize(32, 32));
        QCOMPARE(icon.format(), QImage::Format_Indexed8);
        QVERIFY(icon.colorCount() <= 16);
    }

    // The exit glyph beside "关闭", with a grey look when the button is disabled.
    void exitGlyph() {
        auto* close = Find<QPushButton>("BitBtn1");
        QCOMPARE(close->iconSize(), QSize(18, 18));
        const QImage normal = close->icon().pixmap(QSize(18, 18), 1.0).toImage();
        const QImage grey = close->icon().pixmap(QSize(18, 18), 1.0, QIcon::Disabled).toImage();
        QCOMPARE(normal.size(), QSize(18, 18));
        // A pixel of the green exit sign, and the same pixel in the disabled look.
        QCOMPARE(normal.pixelColor(4, 1), QColor(0, 128, 0));
        const QColor disabled = grey.pixelColor(4, 1);
        QCOMPARE(disabled.red(), disabled.green());
        QCOMPARE(disabled.green(), disabled.blue());
        for (const char* name : {"BitBtnCalc", "BitBtnPrint", "BitBtn2"})
            QVERIFY2(Find<QPushButton>(name)->icon().isNull(), name);
    }

    // --- Calculate ---------------------------------------------------------------------------

    void defaultReport() {
        MessageBoxWatcher watcher;
        ClickCalc();
        QCOMPARE(Memo()->toPlainText(), BoxText(kDefaultReport));
        // Again with the same inputs: the box is cleared first, not added to.
        ClickCalc();
        QCOMPARE(Memo()->toPlainText(), BoxText(kDefaultReport));
        QVERIFY(watcher.Boxes().isEmpty());
    }

    // Long lines wrap at the box's width on screen only.
    void reportWrapsSoftly() {
        ClickCalc();
        const QTextDocument* document = Memo()->document();
        QCOMPARE(document->blockCount(), kDefaultReport.size() + 1);
        bool wrapped = false;
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
            wrapped = wrapped || block.layout()->lineCount() > 1;
        QVERIFY(wrapped);
        QVERIFY(!Memo()->horizontalScrollBar()->isVisible());
        QVERIFY(Memo()->verticalScrollBar()->isVisible());
    }

    void badBetaText() {
        ClickCalc();
        Edit("EditBeta")->setText(QStringLiteral("5O"));
        MessageBoxWatcher watcher;
        ClickCalc();
        QCOMPARE(watcher.Boxes().size(), 1);
        QCOMPARE(watcher.Boxes().front().text,
                 QStringLiteral("'5O' is not a valid floating point value."));
        QCOMPARE(watcher.Boxes().front().title, QStringLiteral("Velmor1.0"));
        QCOMPARE(watcher.Boxes().front().icon, QMessageBox::Critical);
        QCOMPARE(Memo()->toPlainText(), BoxText(kDefaultReport));
        QCOMPARE(Edit("EditBeta")->text(), QStringLiteral("5O"));
    }

    // The boxes are read in the order R1 … Beta: with every box bad, the first bad one is
    // quoted; mending it brings up the next.
    void boxesAreReadInOrder() {
        for (const QString& name : kEditNames) Edit(name)->setText(u' ' + name + u'?');
        for (const QString& name : kEditNames) {
            MessageBoxWatcher watcher;
            ClickCalc();
            QCOMPARE(watcher.Boxes().size(), 1);
            QCOMPARE(watcher.Boxes().front().text,
                     QStringLiteral("' ") + name +
                         QStringLiteral("?' is not a valid floating point value."));
            Edit(name)->setText(QStringLiteral("1"));
        }
        QVERIFY(Memo()->toPlainText().isEmpty());
    }

    void betaMinusOneStopsAtOutputResistance() {
        Edit("EditBeta")->setText(QStringLiteral("-1"));
        MessageBoxWatcher watcher;
        ClickCalc();
        QCOMPARE(watcher.Boxes().size(), 1);
        QCOMPARE(watcher.Boxes().front().text, QStringLiteral("Floating point division by zero."));
        QCOMPARE(Memo()->toPlainText(), BoxText(kDefaultReport.mid(0, 14)));
    }

    void twoErrorsInARow() {
        MessageBoxWatcher watcher;
        Edit("EditC1")->setText(QStringLiteral("abc"));
        ClickCalc();
        QCOMPARE(watcher.Boxes().size(), 1);
        // The window is usable between the two: active again, with the focus where it was.
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::activeWindow(), window_.get());
        QCOMPARE(QApplication::focusWidget(), Find<QWidget>("BitBtnCalc"));
        QTest::mouseClick(Edit("EditC2"), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), Edit("EditC2"));
        Edit("EditC1")->setText(QStringLiteral("47"));
        Edit("EditC2")->setText(QString());
        ClickCalc();
        QCOMPARE(watcher.Boxes().size(), 2);
        QCOMPARE(watcher.Boxes().at(0).text,
                 QStringLiteral("'abc' is not a valid floating point value."));
        QCOMPARE(watcher.Boxes().at(1).text,
                 QStringLiteral("'' is not a valid floating point value."));
    }

    void noLengthLimit() {
        const QString longText(40000, u'1');
        Edit("EditR4")->setText(longText);
        QCOMPARE(Edit("EditR4")->text().size(), longText.size());
    }

    // The separator comes from the locale, again whenever Qt reports a change.
    void decimalSeparatorFollowsLocale() {
        QCOMPARE(velmor::DecimalSeparatorOf(QLocale::c()), '.');
        QCOMPARE(velmor::DecimalSeparatorOf(QLocale(QLocale::German, QLocale::Germany)), ',');
        QCOMPARE(velmor::DecimalSeparatorOf(QLocale(QLocale::French, QLocale::France)), ',');
        // "٫" is two bytes: not a one-byte separator.
        const QLocale arabic(QLocale::Arabic, QLocale::Egypt);
        QCOMPARE(arabic.decimalPoint().toUtf8().size(), 2);
        QCOMPARE(velmor::DecimalSeparatorOf(arabic), '.');

        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QEvent change(QEvent::LocaleChange);
        QCoreApplication::sendEvent(window_.get(), &change);
        QCOMPARE(velmor::DecimalSeparator(), ',');
        Edit("EditVcc")->setText(QStringLiteral("3,0"));
        ClickCalc();
        QCOMPARE(Memo()->toPlainText().split(u'\n').at(2), QStringLiteral("基极静态电位VB=1,5V"));

        QLocale::setDefault(before);
        QCoreApplication::sendEvent(window_.get(), &change);
        QCOMPARE(velmor::DecimalSeparator(), '.');
    }

    // --- Keyboard ----------------------------------------------------------------------------

    void tabOrder() {
        const QStringList order{"EditR1",      "EditR2",  "EditR3",     "EditR4", "EditC1",
                                "EditC2",      "EditVcc", "BitBtnCalc", "Memo",   "EditBeta",
                                "BitBtnPrint", "BitBtn2", "BitBtn1",    "EditR1"};
        Edit("EditR1")->setFocus(Qt::TabFocusReason);
        QStringList visited{QApplication::focusWidget()->objectName()};
        for (int i = 1; i < order.size(); ++i) {
            QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, order);
        QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("BitBtn1"));
        // Tab leaves the report box without typing into it.
        QVERIFY(Memo()->toPlainText().isEmpty());
    }

    void tabSelectsTextClickDoesNot() {
        Edit("EditR1")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), Edit("EditR2"));
        QCOMPARE(Edit("EditR2")->selectedText(), QStringLiteral("1E3"));
        QTest::keyClick(static_cast<QWidget*>(nullptr), Qt::Key_Backtab);
        QCOMPARE(Edit("EditR1")->selectedText(), QStringLiteral("10E3"));

        QTest::mouseClick(Edit("EditR3"), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), Edit("EditR3"));
        QVERIFY(!Edit("EditR3")->hasSelectedText());
    }

    void enterAndEscDoNothing() {
        QList<QSignalSpy*> spies;
        for (QPushButton* button : window_->findChildren<QPushButton*>())
            spies << new QSignalSpy(button, &QPushButton::clicked);
        MessageBoxWatcher watcher;
        for (const QString& name : kEditNames) {
            QTest::mouseClick(Edit(name), Qt::LeftButton);
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(static_cast<QWidget*>(nullptr), key);
        }
        QCoreApplication::processEvents();
        QCOMPARE(spies.size(), 4);
        for (QSignalSpy* spy : spies) QCOMPARE(spy->count(), 0);
        qDeleteAll(spies);
        QVERIFY(window_->isVisible());
        QVERIFY(Memo()->toPlainText().isEmpty());
        QVERIFY(watcher.Boxes().isEmpty());
    }

    // --- Accessibility ------------------------------------------------------------------------

    void accessibleNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("EditR1") << "EditR1" << QStringLiteral("R1（omh）：");
        QTest::newRow("EditR2") << "EditR2" << QStringLiteral("R2(omh)：");
        QTest::newRow("EditR3") << "EditR3" << QStringLiteral("R3(omh)：");
        QTest::newRow("EditR4") << "EditR4" << QStringLiteral("R4(omh)：");
        QTest::newRow("EditC1") << "EditC1" << QStringLiteral("C1(uF)：");
        QTest::newRow("EditC2") << "EditC2" << QStringLiteral("C2(uF)：");
        QTest::newRow("EditVcc") << "EditVcc" << QStringLiteral("Vcc(V)：");
        QTest::newRow("EditBeta") << "EditBeta" << QStringLiteral("Beta：");
        QTest::newRow("BitBtnCalc") << "BitBtnCalc" << QStringLiteral("计算");
        QTest::newRow("BitBtnPrint") << "BitBtnPrint" << QStringLiteral("打印");
        QTest::newRow("BitBtn2") << "BitBtn2" << QStringLiteral("保存");
        QTest::newRow("BitBtn1") << "BitBtn1" << QStringLiteral("关闭");
    }
    void accessibleNames() {
        QFETCH(QString, name);
        QFETCH(QString, spoken);
        // What a screen reader reads for the control that has just got the focus.
        Find<QWidget>(name)->setFocus(Qt::TabFocusReason);
        QAccessibleInterface* focused =
            QAccessible::queryAccessibleInterface(QApplication::focusWidget());
        QVERIFY(focused != nullptr);
        QCOMPARE(focused->text(QAccessible::Name), spoken);
    }

    // --- Closing -----------------------------------------------------------------------------

    // 关闭, and a close request as the title bar's close box or Alt+F4 sends it: either ends
    // the event loop with 0, without a question.
    void closingEndsEventLoop_data() {
        QTest::addColumn<bool>("byButton");
        QTest::newRow("关闭") << true;
        QTest::newRow("close request") << false;
    }
    void closingEndsEventLoop() {
        QFETCH(bool, byButton);
        QTimer safety;  // only keeps a broken build from hanging the test run
        safety.setSingleShot(true);
        connect(&safety, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        safety.start(30000);
        if (byButton)
            QTimer::singleShot(0, Find<QPushButton>("BitBtn1"), &QPushButton::click);
        else
            QTimer::singleShot(0, window_.get(), &QWidget::close);
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!window_->isVisible());
    }
};

QTEST_MAIN(TestFrmVelmor)
#include "tst_frmvelmor.moc"
