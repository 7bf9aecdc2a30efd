// The main window as a user meets it: its controls, 计算 into the report box, 保存 through the
// save dialog, the error box and its guard, and the keyboard. (Closing: end to end.)
#include <QtTest>
#include <QtWidgets>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <utility>

#include "amplifier.h"
#include "application.h"
#include "decimal_separator.h"
#include "fitted_message_box.h"
#include "frmvelmor.h"
#include "handler_guard.h"
#include "input_box.h"
#include "report.h"
#include "report_box.h"
#include "save_dialog.h"

using namespace Qt::StringLiterals;

// Answers every message box with OK, keeping its text (without the zero-width spaces that let it
// wrap) and looks (a text running past the box or its own width: "cut"); hands file dialogs to
// onDialog.
struct ModalWatcher {
    QStringList texts, looks;
    std::function<void(QFileDialog*)> onDialog = [](QFileDialog* dialog) { dialog->reject(); };
    QTimer timer;
    ModalWatcher() {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible()) return;
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) return onDialog(dialog);
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) return;
            QStringList buttons;
            for (QAbstractButton* button : box->buttons()) buttons << button->text();
            texts << box->text().remove(QChar(0x200b));
            const auto* label = box->findChild<QLabel*>("qt_msgbox_label");
            const QString shown = qobject_cast<velmor::FittedMessageBox*>(box)->ShownText();
            const QRect needed = label->fontMetrics().boundingRect(
                QRect(0, 0, label->contentsRect().width(), 1 << 20), Qt::TextWordWrap, shown);
            const bool cut =
                needed.width() > label->width() || needed.height() > label->height() ||
                !box->rect().contains(label->geometry()) ||
                box->frameGeometry().size().boundedTo(box->screen()->availableGeometry().size()) !=
                    box->frameGeometry().size();
            const bool shortened = shown != box->text() && shown.contains(u'…') &&
                                   shown.startsWith(box->text().first(9)) &&
                                   shown.endsWith(box->text().last(9));
            QDebug(&looks.emplace_back()).noquote()
                << box->windowTitle() << box->parentWidget() << box->icon()
                << box->standardButtons().toInt() << buttons.join(u',') << box->textFormat()
                << QWidget::mouseGrabber()
                << (cut         ? "cut"
                    : shortened ? "shortened"
                                : "whole");
            looks.last().chop(1);  // the space QDebug puts after each item
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
    velmor::InputBox* Edit(const QString& name) const { return Find<velmor::InputBox>(name); }
    QPlainTextEdit* Memo() const { return Find<QPlainTextEdit>("Memo"); }
    void Click(const char* name) const { QTest::mouseClick(Find(name), Qt::LeftButton); }
    static void Press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }
    QString Report(qsizetype lines) const { return report_.first(lines).join(u'\n') + u'\n'; }
    // A text file next to this test, one entry a line.
    static QStringList Lines(const char* name) {
        QFile file(QFINDTESTDATA(name));
        if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read %s", name);
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    // A line per control: name, geometry (the window's in screen pixels), text, the spoken name
    // where it differs, "+" and the description.
    static void Describe(QWidget* control, const QString& indent, QStringList& lines) {
        const char* property = control->isWindow()                      ? "windowTitle"
                               : qobject_cast<QGroupBox*>(control)      ? "title"
                               : qobject_cast<QPlainTextEdit*>(control) ? "plainText"
                                                                        : "text";
        const QString text = control->property(property).toString();
        const QPointF pos =
            QPointF(control->pos()) * (control->isWindow() ? control->devicePixelRatio() : 1);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        const QString spoken = accessible->text(QAccessible::Name),
                      about = accessible->text(QAccessible::Description);
        lines << indent + control->objectName() + u' ' +
                     QDebug::toString(QRect(pos.toPoint(), control->size())) +
                     (text.isEmpty() ? "" : u' ' + text) +
                     (spoken == text ? "" : " [" + spoken + "]") +
                     (about.isEmpty() ? "" : " + " + about) +
                     (control->isVisible() ? "" : " hidden");
        QList<QWidget*> children = control->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        std::ranges::stable_sort(children, {}, &QObject::objectName);
        if (!qobject_cast<QAbstractScrollArea*>(control))
            for (QWidget* child : children) Describe(child, indent + "  ", lines);
    }

  private slots:
    void initTestCase() {
        velmor::SetDecimalSeparator(',');
        velmor::SetUpApplication();
        QCOMPARE(velmor::DecimalSeparator(), '.');  // read from the system at start
        report_ = Lines("../calc/default_report.txt");
        QCOMPARE(report_.size(), velmor::kReportLineCount);
    }
    void init() {
        window_ = std::make_unique<TFrmVelmor>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    void cleanup() { window_.reset(); }

    // A fixed-size dialog with only a close box, the program's icon and desktop entry.
    void controls() {
        QStringList lines;
        Describe(window_.get(), "", lines);
        QCOMPARE(lines, Lines("window_controls.txt"));
        QCOMPARE(QAccessible::queryAccessibleInterface(window_.get())->role(), QAccessible::Dialog);
        QCOMPARE(window_->minimumSize(), window_->maximumSize());
        QCOMPARE(window_->windowFlags() & (Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
                 Qt::WindowFlags(Qt::WindowCloseButtonHint));
        QCOMPARE(window_->windowIcon().availableSizes(),
                 (QList<QSize>{{32, 32}, {64, 64}, {128, 128}}));
        QCOMPARE(QGuiApplication::desktopFileName(), "org.velmor.Velmor");
        // Qt's own texts follow the system's language (also run under zh_CN.UTF-8).
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Save As"),
                 QLocale::system().language() == QLocale::Chinese ? u"另存为"_s : u"Save As"_s);
    }

    // "宋体" is a crisp 12-pixel Ming face (two colours in a label); the status bar keeps the
    // desktop's. The schematic shows the face through. The frame, down the gap left of the report
    // box, is just its top and bottom lines (above the box, below 保存).
    void looks() {
        for (const char* name : {"EditR1", "Label9", "Memo", "BitBtn1"}) {
            const QFontInfo info(Find(name)->font());
            QCOMPARE(info.pixelSize(), 12);
            QVERIFY2(info.family().startsWith("AR PL UMing"), qPrintable(info.family()));
        }
        const QImage label = Find("Label1")->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const auto* pixels = reinterpret_cast<const QRgb*>(label.constBits());
        QCOMPARE(QSet<QRgb>(pixels, pixels + label.width() * label.height()).size(), 2);
        const QFont bar = Find("StatusBar1")->findChild<QLabel*>()->font();
        QVERIFY(bar.family() != u"宋体"_s && !(bar.styleStrategy() & QFont::NoAntialias));
        const QImage shot = window_->grab().toImage();
        const QPoint origin = Find("Image1")->mapTo(window_.get(), QPoint(0, 0));
        const QColor face = shot.pixelColor(origin + QPoint(-3, 264));
        QVERIFY(face != QColor(255, 255, 232));
        QCOMPARE(shot.pixelColor(origin + QPoint(1, 1)), face);
        QCOMPARE(shot.pixelColor(origin + QPoint(51, 60)), QColor(0, 0, 255));  // R1's outline
        const QPoint box = Find("GroupBox1")->mapTo(window_.get(), QPoint(436, 0));
        QList<int> lines;
        for (int y = 0; y < 305; ++y)
            if (shot.pixelColor(box + QPoint(0, y)) != face) lines << y;
        QVERIFY2(!lines.isEmpty() && lines.first() < 16 && lines.last() > 297 && lines.size() <= 4,
                 qPrintable(QDebug::toString(lines)));
    }

    // 计算 twice clears the box; lines wrap on screen only. Each bad box is quoted in order (R1 and
    // R3 both read "10E3"), leaving the report and the focus. Beta = -1 stops at the first ro.
    void calculate() {
        ModalWatcher watcher;
        Click("BitBtnCalc");
        Click("BitBtnCalc");
        QCOMPARE(Memo()->toPlainText(), Report(velmor::kReportLineCount));
        QVERIFY(Memo()->document()->lineCount() > Memo()->blockCount() &&
                !Memo()->horizontalScrollBar()->isVisible() &&
                Memo()->verticalScrollBar()->isVisible());
        QStringList expected;
        const QList<velmor::InputBox*> edits = window_->findChildren<velmor::InputBox*>();
        for (velmor::InputBox* edit : edits) edit->setText(edit->text() + u'电');
        for (const velmor::InputField& input : velmor::kInputs) {
            const QString name = "Edit"_L1 + QLatin1String(input.name.data(), input.name.size());
            Click("BitBtnCalc");
            expected << u'\'' + Edit(name)->text() + "' is not a valid floating point value.";
            QCOMPARE(watcher.texts, expected);
            QCOMPARE(Memo()->toPlainText(), Report(velmor::kReportLineCount));
            QCoreApplication::processEvents();
            QCOMPARE(QApplication::activeWindow(), window_.get());
            QCOMPARE(QApplication::focusWidget(), Find("BitBtnCalc"));
            Edit(name)->setText(Edit(name)->text().chopped(1));
        }
        Edit("EditBeta")->setText("-1");
        Click("BitBtnCalc");
        QCOMPARE(watcher.texts.value(8), u"Floating point division by zero."_s);
        QCOMPARE(Memo()->toPlainText(),
                 Report(report_.indexOf(QRegularExpression(u"输出电阻ro=.*"_s))));
        const QLocale before;
        QEvent change(QEvent::LocaleChange);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCoreApplication::sendEvent(window_.get(), &change);
        Edit("EditBeta")->setText("50");
        Edit("EditVcc")->setText("3,0");
        Click("BitBtnCalc");
        QLocale::setDefault(before);
        QCoreApplication::sendEvent(window_.get(), &change);
        QCOMPARE(Memo()->toPlainText().split(u'\n').value(2), u"基极静态电位VB=1,5V"_s);
        QCOMPARE(velmor::DecimalSeparator(), '.');
    }

    // 保存 writes the box raw (a no-break space stays one); later dialogs offer the path and
    // filter last confirmed, not a cancelled one; ".txt" is added whatever the filter.
    void save() {
        QStandardPaths::setTestModeEnabled(true);
        QCOMPARE(velmor::ReportSaveDialog::PlacementOnScreen({1280, -768, 1024, 768}, {1027, 301}),
                 QPoint(1279, -613));  // rounded toward zero, not down
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("reports"));
        const QString first = dir.filePath("reports/first.txt"), log = dir.filePath("result.log");
        const struct {
            int shownFilter;           // what the dialog offers: the filter selected and the path
            QString shownPath, typed;  // the name typed after choosing filter, ended by key
            int filter;
            Qt::Key key;
            QString memo;
        } steps[] = {{0, "", dir.filePath("reports/first"), 1, Qt::Key_Return, u"a\u00a0b\nc"_s},
                     {1, first, "other", 0, Qt::Key_Escape, "other"},
                     {1, first, log, 0, Qt::Key_Return, ""},
                     {0, log, dir.filePath("missing/a"), 0, Qt::Key_Return, "x"},
                     {0, dir.filePath("missing/a.txt"), "", 0, Qt::Key_Escape, ""}};
        ModalWatcher watcher;
        for (const auto& step : steps) {
            QStringList seen;
            watcher.onDialog = [&](QFileDialog* dialog) {
                auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
                auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
                for (int i = 0; i < types->count(); ++i) seen << types->itemText(i);
                seen << QString::number(types->currentIndex())
                     << (name->text().isEmpty() ? "" : dialog->directory().filePath(name->text()));
                const QRect frame = dialog->frameGeometry();
                if (frame.topLeft() != velmor::ReportSaveDialog::PlacementOnScreen(
                                           window_->screen()->geometry(), frame.size()))
                    seen << "misplaced";
                types->setCurrentIndex(step.filter);
                emit types->activated(step.filter);
                // Typing into the focused box would deselect the file offered.
                dialog->findChild<QAbstractItemView*>("listView")->clearSelection();
                name->setText(step.typed);
                QTest::keyClick(name, step.key);
                if (dialog->isVisible()) dialog->reject();  // it refused the name
            };
            Memo()->setPlainText(step.memo);
            Click("BitBtn2");
            QCOMPARE(seen, QStringList({u"文本文件(*.txt)"_s, u"所有文件(*.*)"_s,
                                        QString::number(step.shownFilter), step.shownPath}));
        }
        QFile file(first);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().toHex(' '), "61 81 30 84 32 62 0d 0a 63");
        QCOMPARE(QFileInfo(log).size(), 0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 (QStringList{"reports", "result.log"}));
        QCOMPARE(QDir(dir.filePath("reports")).entryList(QDir::Files), QStringList{"first.txt"});
        QCOMPARE(watcher.texts, {"Cannot create file " + dir.filePath("missing/a.txt.")});
    }

    // A long paste is kept in pieces short enough to lay out quickly that still read, copy and
    // undo as the text pasted; a pasted or typed line break (also inside a piece) is a real one.
    void longLine() {
        constexpr int kPiece = velmor::ReportBox::kLongestPiece;
        auto* memo = Find<velmor::ReportBox>("Memo");
        const auto paste = [memo](const QString& text) {
            QApplication::clipboard()->setText(text);
            QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
        };
        memo->setFocus();
        paste("a\n7" + QString(2 * kPiece, u'x') + "\r\n" + QString(3000, u'y') + " b");
        QString text =
            "a\u20297" + QString(2 * kPiece, u'x') + u'\u2029' + QString(3000, u'y') + " b";
        memo->moveCursor(QTextCursor::PreviousWord);
        memo->moveCursor(QTextCursor::Left);
        paste(QString(2000, u'z'));
        text.insert(text.size() - 2, QString(2000, u'z'));
        QCOMPARE(memo->Text(), text);
        QCOMPARE(memo->blockCount(), 6);  // "a", the x's in three pieces, the y's and z's in two
        for (QTextBlock block = memo->document()->begin(); block.isValid(); block = block.next())
            QVERIFY(block.length() <= kPiece + 1);
        QTest::keyClick(memo, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(memo, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), QString(text).replace(u'\u2029', u'\n'));
        QTextCursor cursor = memo->textCursor();
        cursor.setPosition(2 + kPiece + 1 + 100);  // inside the second piece of x's
        memo->setTextCursor(cursor);
        QTest::keyClick(memo, Qt::Key_Return);
        QCOMPARE(memo->Text(), QString(text).insert(2 + kPiece + 100, u'\u2029'));
        // Backspace at a joint, and Delete just before one, each remove an x: the joint stays.
        cursor.setPosition(2 + kPiece + 1);
        memo->setTextCursor(cursor);
        QTest::keyClick(memo, Qt::Key_Backspace);
        QTest::keyClick(memo, Qt::Key_Delete);
        QCOMPARE(memo->Text(),
                 QString(text).insert(2 + kPiece + 100, u'\u2029').remove(1 + kPiece, 2));
        for (int undo = 0; undo < 5; ++undo) QTest::keyClick(memo, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(memo->Text(), QString());
    }

    // Tab selects an edit box's text, a click does not. Return and Enter press a focused button;
    // in an edit box they and Esc press nothing (no default or cancel button).
    void keyboard() {
        Edit("EditR1")->setFocus(Qt::TabFocusReason);
        QStringList visited{"EditR1"};
        for (int i = 0; i < 13; ++i) {
            if (QApplication::focusWidget() == Memo()) Press(Qt::Key_X);
            Press(Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
            if (auto* edit = qobject_cast<velmor::InputBox*>(QApplication::focusWidget()))
                QCOMPARE(edit->selectedText(), edit->text());
        }
        QCOMPARE(visited.join(u' '),
                 "EditR1 EditR2 EditR3 EditR4 EditC1 EditC2 EditVcc BitBtnCalc "
                 "Memo EditBeta BitBtnPrint BitBtn2 BitBtn1 EditR1");
        int clicks = 0;
        for (QPushButton* button : window_->findChildren<QPushButton*>()) {
            disconnect(button, nullptr, window_.get(), nullptr);  // no dialog, no print, no close
            connect(button, &QPushButton::clicked, this, [&clicks] { ++clicks; });
            button->setFocus(Qt::TabFocusReason);
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) Press(key);
            // A held key acts once: its repeats are flagged, or (on X) a release and a press at
            // one time stamp. Enter acts on the press, Space on the first release.
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
                for (auto [type, time, repeat] : {std::tuple(QEvent::KeyPress, 41, false),
                                                  {QEvent::KeyRelease, 42, false},
                                                  {QEvent::KeyPress, 42, false},
                                                  {QEvent::KeyPress, 44, true},
                                                  {QEvent::KeyRelease, 43, false}}) {
                    QKeyEvent event(type, key, Qt::NoModifier, {}, repeat);
                    event.setTimestamp(time);
                    QCoreApplication::sendEvent(button, &event);
                }
            }
            QCOMPARE(std::exchange(clicks, 0), 3 + 2);  // each key once, held or not
        }
        for (velmor::InputBox* edit : window_->findChildren<velmor::InputBox*>()) {
            QTest::mouseClick(edit, Qt::LeftButton);
            QVERIFY(edit->hasFocus() && !edit->hasSelectedText());
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) Press(key);
        }
        QCoreApplication::processEvents();
        QCOMPARE(clicks, 0);
        QVERIFY(window_->isVisible());
        QCOMPARE(Memo()->toPlainText(), u"x"_s);  // typed, and no 计算 since
    }
    // A typed character of each bidirectional class (in QChar::Direction's order), and breaks:
    // quoted as typed unless it could move the message around it; then isolated (one more
    // opening for a stray closing isolate, one more closing for an opening one), with line
    // breaks as "↵" and U+2029 as "¶", so that the quote stays in one paragraph.
    void quotedDirections() {
        // The character typed between "1" and "x", as shown (0: as typed), the isolates around.
        const struct {
            char32_t typed, shown;
            int opening, closing;
        } rows[] = {{u'a', 0, 0, 0},   {0x05d0, 0, 1, 1}, {u'5', 0, 0, 0},   {u'+', 0, 0, 0},
                    {u'$', 0, 0, 0},   {0x0660, 0, 1, 1}, {u',', 0, 0, 0},   {u'\n', 0x21b5, 1, 1},
                    {u'\t', 0, 0, 0},  {u' ', 0, 0, 0},   {u'!', 0, 0, 0},   {0x202a, 0, 1, 1},
                    {0x202d, 0, 1, 1}, {0x0627, 0, 1, 1}, {0x202b, 0, 1, 1}, {0x202e, 0, 1, 1},
                    {0x202c, 0, 1, 1}, {0x0300, 0, 0, 0}, {0x00ad, 0, 0, 0}, {0x2066, 0, 1, 2},
                    {0x2067, 0, 1, 2}, {0x2068, 0, 1, 2}, {0x2069, 0, 2, 1}};
        const QChar fsi(0x2068), pdi(0x2069), br(0x21b5);
        QList<std::pair<QString, QString>> cases = {
            {u"1\r\n2\r3\u20284\u00855"_s,
             fsi + u'1' + br + u'2' + br + u'3' + br + u'4' + br + u'5' + pdi},
            {u"1\u20292"_s, fsi + u"1\u00b62"_s + pdi},
            {u"1\u2028x"_s, fsi + u"1\u21b5x"_s + pdi},
            {u"1\U00010800"_s, fsi + u"1\U00010800"_s + pdi}};
        for (int direction = 0; direction <= QChar::DirPDI; ++direction) {
            const auto& row = rows[direction];
            QCOMPARE(QChar::direction(row.typed), QChar::Direction(direction));
            cases.append(
                {u"1"_s + QChar(row.typed) + u'x', QString(row.opening, fsi) + u'1' +
                                                       QChar(row.shown ? row.shown : row.typed) +
                                                       u'x' + QString(row.closing, pdi)});
        }
        for (const auto& [typed, shown] : cases)
            QCOMPARE(velmor::QuotedForDisplay(typed.toStdString()), shown);
    }

    // what() in UTF-8, a full stop after a last character above '.', empty for a non-exception;
    // plain text, a mouse grab released. Typed text is quoted whole up to 256 characters, else
    // its first and last 100; isolated when it could reorder the message. A box fits the screen,
    // a text too long for it shown shortened in the middle (also run on 640×480 and 1280×1024).
    void errorBox() {
        const QString value = "' is not a valid floating point value.", x(100, u'x');
        const QString fsi(QChar(0x2068)), pdi(QChar(0x2069)), rlo(QChar(0x202e)), nul(QChar(0));
        const QString x256 = x + x + x.first(56), moon = u"😀"_s;
        enum Raised { kError, kTyped, kNotAnException };
        const struct {
            Raised raised;
            QString text, shown;
        } rows[] = {{kError, "x-", "x-"},
                    {kError, "输入电阻", "输入电阻."},
                    {kError, "x/", "x/."},
                    {kError, "'<b>5</b>' is bad.", "'<b>5</b>' is bad."},
                    {kNotAnException, "", ""},
                    {kTyped, "1" + nul + "2", "'1" + nul + "2" + value},
                    {kTyped, x256, "'" + x256 + value},
                    {kTyped, x256 + "y", "'" + x + u'…' + x.first(99) + "y" + value},
                    {kTyped, "a" + QString(150, u'电') + moon.repeated(149),
                     "'a" + QString(99, u'电') + u'…' + moon.repeated(100) + value},
                    {kTyped, "5" + rlo + "ab", "'" + fsi + "5" + rlo + "ab" + pdi + value},
                    {kError, "Cannot create file /" + QString(300, u'p'),
                     "Cannot create file /" + QString(300, u'p') + "."},
                    {kError, "Cannot create file /" + QString(4020, u'p'),
                     "Cannot create file /" + QString(4020, u'p') + "."}};
        ModalWatcher watcher;
        for (const auto& [raised, text, shown] : rows) {
            if (&shown == &rows[0].shown) {  // no window active: the box is still owned
                // Deprecated since Qt 6.5, yet no other public call leaves no window active.
                QT_WARNING_PUSH
                QT_WARNING_DISABLE_DEPRECATED
                QApplication::setActiveWindow(nullptr);
                QT_WARNING_POP
            }
            window_->grabMouse();
            QCOMPARE(QWidget::mouseGrabber(), window_.get());
            velmor::RunHandler([&raised = raised, &text = text] {
                if (raised == kNotAnException) throw 42;
                if (raised == kTyped) throw velmor::ConversionError(text.toStdString());
                throw std::runtime_error(text.toStdString());
            });
            QCOMPARE(std::exchange(watcher.texts, {}), QStringList{shown});
        }
        QString look;
        QDebug(&look).noquote() << "Velmor1.0" << window_.get()
                                << "QMessageBox::Critical 1024 OK Qt::PlainText QWidget(0x0) whole";
        look.chop(1);
        QCOMPARE(watcher.looks.first(std::size(rows) - 1), QStringList(std::size(rows) - 1, look));
        QCOMPARE(watcher.looks.last(), QString(look).replace("whole", "shortened"));
    }
};

QTEST_MAIN(TestFrmVelmor)
#include "tst_frmvelmor.moc"
