// The input box against Qt's own line edit, which it replaces: the same keys leave the same text,
// cursor and selection, and a text that fits is drawn pixel for pixel alike. Then what only the
// box does: a line of ten million characters shown from a small part, assistive technology's
// reading and editing, and an input method's composing.
#include <QtTest>
#include <QtWidgets>

#include "application.h"
#include "grapheme.h"
#include "input_box.h"
#include "line_view.h"

using namespace Qt::StringLiterals;

namespace {

// A key pressed, or text typed when `text` is set.
struct Key {
    int key = 0;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    const char16_t* text = nullptr;
};

template <typename Box>
QString State(Box* box) {
    return box->text() + u'|' + QString::number(box->cursorPosition()) + u'|' + box->selectedText();
}

template <typename Box>
void Send(Box* box, const Key& key) {
    if (key.text != nullptr)
        QTest::keyClicks(box, QString::fromUtf16(key.text));
    else
        QTest::keyClick(box, Qt::Key(key.key), key.modifiers);
}

constexpr auto kCtrl = Qt::ControlModifier;
constexpr auto kShift = Qt::ShiftModifier;

}  // namespace

class InputBoxTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        velmor::SetUpApplication();
        // A cursor always lit, so that pictures taken at any moment agree.
        QApplication::setCursorFlashTime(0);
    }

    void keysAsQtLineEdit_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QList<Key>>("keys");
        // Typing makes one undo step, erasing another, a move of the cursor ends one; a paste is
        // a step of its own.
        QTest::newRow("undo steps") << u""_s
                                    << QList<Key>{{0, {}, u"12"},
                                                  {Qt::Key_Left},
                                                  {Qt::Key_Right},
                                                  {0, {}, u"5"},
                                                  {Qt::Key_Z, kCtrl},
                                                  {Qt::Key_Backspace},
                                                  {Qt::Key_Backspace},
                                                  {0, {}, u"3E3"},
                                                  {Qt::Key_Z, kCtrl},
                                                  {Qt::Key_Z, kCtrl},
                                                  {Qt::Key_Z, kCtrl | kShift},
                                                  {Qt::Key_A, kCtrl},
                                                  {Qt::Key_C, kCtrl},
                                                  {Qt::Key_End},
                                                  {Qt::Key_V, kCtrl},
                                                  {Qt::Key_V, kCtrl},
                                                  {Qt::Key_Z, kCtrl},
                                                  {Qt::Key_Z, kCtrl}};
        QTest::newRow("words") << u"10E3 ohm, 4.7k  x"_s
                               << QList<Key>{{Qt::Key_Home},
                                             {Qt::Key_Right, kCtrl},
                                             {Qt::Key_Right, kCtrl},
                                             {Qt::Key_Right, kCtrl | kShift},
                                             {Qt::Key_Left, kCtrl},
                                             {Qt::Key_Backspace, kCtrl},
                                             {Qt::Key_Delete, kCtrl},
                                             {Qt::Key_End},
                                             {Qt::Key_Left, kCtrl | kShift},
                                             {Qt::Key_X, kCtrl},
                                             {Qt::Key_Z, kCtrl}};
        // Arrows and Delete take a whole grapheme, Backspace a code point (a surrogate pair
        // whole).
        QTest::newRow("graphemes")
            << u"e\u0301x\U0001F600y\U0001F1E8\U0001F1F3"_s
            << QList<Key>{{Qt::Key_Home},          {Qt::Key_Right},     {Qt::Key_Delete},
                          {Qt::Key_End},           {Qt::Key_Left},      {Qt::Key_Left},
                          {Qt::Key_Backspace},     {Qt::Key_Backspace}, {Qt::Key_Home},
                          {Qt::Key_Right, kShift}, {Qt::Key_Backspace}, {Qt::Key_Z, kCtrl}};
        QTest::newRow("selection")
            << u"abcdef"_s
            << QList<Key>{{Qt::Key_Home},        {Qt::Key_Right, kShift}, {Qt::Key_Right, kShift},
                          {Qt::Key_Right},       {Qt::Key_Left, kShift},  {Qt::Key_Left},
                          {Qt::Key_End, kShift}, {0, {}, u"z"},           {Qt::Key_A, kCtrl},
                          {Qt::Key_Delete},      {Qt::Key_Z, kCtrl}};
        // Keys the box does not take: Ctrl with a letter types nothing; Enter, Esc and Tab are
        // left to the window.
        QTest::newRow("not typed")
            << u"47"_s
            << QList<Key>{
                   {Qt::Key_Q, kCtrl},          {Qt::Key_Return}, {Qt::Key_Escape}, {Qt::Key_F2},
                   {Qt::Key_A, kCtrl | kShift}, {Qt::Key_Up}};
    }
    void keysAsQtLineEdit() {
        QFETCH(QString, start);
        QFETCH(QList<Key>, keys);
        QWidget window;
        auto* qt = new QLineEdit(start, &window);
        auto* box = new velmor::InputBox(&window);
        box->setText(start);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (qsizetype i = 0; i < keys.size(); ++i) {
            Send(qt, keys[i]);
            Send(box, keys[i]);
            QVERIFY2(State(box) == State(qt), qPrintable(u"after key %1: %2 where Qt has %3"_s.arg(
                                                  QString::number(i), State(box), State(qt))));
        }
    }

    // Both unfocused and focused, with and without a selection, and a line longer than the box
    // shown from its start.
    void drawnAsQtLineEdit_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("number") << u"10E3"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("Chinese and a control") << u"电阻\t10 千欧\u0001"_s;
        QTest::newRow("longer than the box") << u"0.000000000000000000000000000000047E-3"_s;
    }
    void drawnAsQtLineEdit() {
        QFETCH(QString, text);
        QWidget window;
        window.setFont(QFont(u"宋体"_s, 9));
        auto* qt = new QLineEdit(text, &window);
        auto* box = new velmor::InputBox(&window);
        box->setText(text);
        for (QWidget* edit : {static_cast<QWidget*>(qt), static_cast<QWidget*>(box)})
            edit->resize(121, 20);
        box->move(0, 30);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (const char* state : {"unfocused", "cursor at start", "two selected"}) {
            QImage drawn[2];
            for (QWidget* edit : {static_cast<QWidget*>(qt), static_cast<QWidget*>(box)}) {
                edit->setFocus();
                QTest::keyClick(edit, Qt::Key_Home);
                if (state[0] == 't') QTest::keyClick(edit, Qt::Key_Right, kShift);
                if (state[0] == 't') QTest::keyClick(edit, Qt::Key_Right, kShift);
                if (state[0] == 'u') edit->clearFocus();
                drawn[edit == box] = edit->grab().toImage();
            }
            QVERIFY2(drawn[1] == drawn[0], state);
        }
    }

    // Word steps take Qt's text layout's places for every UTF-16 code unit between letters, and
    // character steps its places among clusters of many kinds.
    void stepsAsQtTextLayout() {
        const QString clusters =
            u"e\u0301\U0001F1E8\U0001F1F3\r\n\uAC01\u1100\u1161\U0001F600\u200D\U0001F600x"_s
                .repeated(200);
        QTextLayout graphemes(clusters);
        for (int at = 0; at < clusters.size(); ++at) {
            QCOMPARE(velmor::GraphemeStep(clusters, at, true), graphemes.nextCursorPosition(at));
            QCOMPARE(velmor::GraphemeStep(clusters, at, false),
                     graphemes.previousCursorPosition(at));
        }
        QString text;
        for (char32_t c = 0; c <= 0xFFFF; ++c) text += u"a"_s + QChar(c) + u"b "_s;
        QTextLayout qt(text);
        for (int at = 0; at < text.size(); ++at) {
            QCOMPARE(velmor::WordStep(text, at, true),
                     qt.nextCursorPosition(at, QTextLayout::SkipWords));
            QCOMPARE(velmor::WordStep(text, at, false),
                     qt.previousCursorPosition(at, QTextLayout::SkipWords));
        }
    }

    // Ten million characters: the part laid out is what fills the box, wherever the cursor is.
    void longLineShownInPart() {
        const QString text = QString(10'000'000, u'8').replace(5'000'000, 1, u' ');
        velmor::LineView view;
        view.SetFont(QFont(u"宋体"_s, 9));
        constexpr int kWidth = 113;
        view.SetWidth(kWidth);
        const qreal digit = QFontMetricsF(QFont(u"宋体"_s, 9)).horizontalAdvance(u'8');
        for (qsizetype cursor :
             {text.size(), qsizetype(5'000'001), qsizetype(5'000'000), qsizetype(4'999'990),
              qsizetype(12), qsizetype(0), text.size() - 3, text.size()}) {
            view.Follow(text, cursor);
            const qreal x = view.X(text, cursor);
            QVERIFY2(x >= 0 && x < kWidth, qPrintable(QString::number(cursor)));
            QVERIFY(view.Part(text).text().size() < 2 * kWidth / digit + 64);
            QCOMPARE(view.At(text, x), cursor);
        }
        // A drag past the left edge reaches the character before the part shown.
        QCOMPARE(view.At(text, -3), view.First() - 1);
        // Back at the end the text ends at the box's right edge, with no room after it.
        QVERIFY(kWidth - view.X(text, text.size()) <= digit + 1);
        QVERIFY(view.First() > text.size() - kWidth / digit);
        // Erased at its end, the line moves right rather than leave room after it.
        const QString shorter = text.chopped(5);
        view.Changed(shorter.size(), 5, 0);
        view.Follow(shorter, shorter.size());
        QVERIFY(kWidth - view.X(shorter, shorter.size()) <= digit + 1);
        // Text that now fits is shown from its start.
        view.Changed(0, text.size() - 4, 0);
        view.Follow(u"8888"_s, 4);
        QCOMPARE(view.First(), 0);
    }

    // Read and edited as assistive technology does: what it inserts is undone as if typed.
    void accessible() {
        QWidget window;
        auto* label = new QLabel(u"R1（omh）："_s, &window);
        auto* box = new velmor::InputBox(&window);
        label->setBuddy(box);
        box->setGeometry(80, 0, 121, 20);
        box->setText(u"10E3"_s);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(box);
        QCOMPARE(spoken->role(), QAccessible::EditableText);
        QCOMPARE(spoken->text(QAccessible::Name), label->text());
        QCOMPARE(spoken->text(QAccessible::Value), u"10E3"_s);
        QVERIFY(spoken->state().editable && spoken->state().focusable);
        QAccessibleTextInterface* text = spoken->textInterface();
        QCOMPARE(text->characterCount(), 4);
        const QRect third = text->characterRect(2);
        QVERIFY(QRect(box->mapToGlobal(QPoint(0, 0)), box->size()).contains(third));
        QCOMPARE(text->offsetAtPoint(third.center() - QPoint(1, 0)), 2);
        spoken->editableTextInterface()->insertText(2, u"0"_s);
        spoken->editableTextInterface()->deleteText(0, 1);
        QCOMPARE(box->text(), u"00E3"_s);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Z, kCtrl);
        QTest::keyClick(box, Qt::Key_Z, kCtrl);
        QCOMPARE(box->text(), u"10E3"_s);
    }

    // Composed text shows at the cursor but is not the box's text until committed.
    void inputMethod() {
        velmor::InputBox box;
        box.setText(u"10"_s);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        box.setFocus();
        const QImage before = box.grab().toImage();
        QInputMethodEvent composing(u"qian"_s, {});
        QCoreApplication::sendEvent(&box, &composing);
        QCOMPARE(box.text(), u"10"_s);
        QVERIFY(box.grab().toImage() != before);
        QInputMethodEvent committed;
        committed.setCommitString(u"千"_s, -1, 1);
        QCoreApplication::sendEvent(&box, &committed);
        QCOMPARE(State(&box), u"1千|2|"_s);
        QCOMPARE(box.inputMethodQuery(Qt::ImSurroundingText).toString(), u"1千"_s);
        QCOMPARE(box.grab().toImage().size(), before.size());
    }
};

QTEST_MAIN(InputBoxTest)
#include "input_box_test.moc"
