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
#include "paragraph_direction.h"

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
    // Typed text goes as the key events a keyboard layout sends, whatever the characters.
    for (const QChar c : key.text != nullptr ? QString::fromUtf16(key.text) : QString()) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(box, &press);
    }
    if (key.text == nullptr) QTest::keyClick(box, Qt::Key(key.key), key.modifiers);
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
        // In a line written right to left the arrows go the other way in the text; typing a
        // Hebrew letter before the digits turns the line around.
        QTest::newRow("right to left") << u"12 ohm"_s
                                       << QList<Key>{{Qt::Key_Home},
                                                     {0, {}, u"\u05D0\u05D1 "},
                                                     {Qt::Key_Right},
                                                     {Qt::Key_Right, kCtrl},
                                                     {Qt::Key_End},
                                                     {Qt::Key_Right},
                                                     {Qt::Key_Right, kCtrl | kShift},
                                                     {Qt::Key_Left, kCtrl},
                                                     {Qt::Key_Backspace, kCtrl},
                                                     {Qt::Key_Home},
                                                     {Qt::Key_Delete},
                                                     {Qt::Key_Delete},
                                                     {Qt::Key_Delete},
                                                     {Qt::Key_Right}};
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

    // Unfocused and focused, with and without a selection, and lines longer than the box, in
    // either direction of writing, scrolled to their end and back. Each key is painted, as a user
    // sees it: Qt's line edit scrolls when it paints.
    void drawnAsQtLineEdit_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("number") << u"10E3"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("Chinese and a control") << u"电阻\t10 千欧\u0001"_s;
        QTest::newRow("longer than the box") << u"0.000000000000000000000000000000047E-3"_s;
        QTest::newRow("Hebrew longer than the box")
            << u"\u05D0\u05D1\u05D2\u05D3 \u05D4\u05D5\u05D6\u05D7"_s.repeated(6);
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
        const QList<std::pair<const char*, QList<Key>>> states = {
            {"unfocused", {{Qt::Key_Home}}},
            {"cursor at start", {{Qt::Key_Home}}},
            {"two selected", {{Qt::Key_Home}, {Qt::Key_Right, kShift}, {Qt::Key_Right, kShift}}},
            {"cursor at end", {{Qt::Key_End}}},
            {"back from the end", {{Qt::Key_Left}, {Qt::Key_Left}, {Qt::Key_Left}}},
        };
        for (const auto& [state, keys] : states) {
            QImage drawn[2];
            for (QWidget* edit : {static_cast<QWidget*>(qt), static_cast<QWidget*>(box)}) {
                edit->setFocus();
                for (const Key& key : keys) {
                    Send(edit, key);
                    edit->repaint();
                }
                if (state == states.front().first) edit->clearFocus();
                drawn[edit == box] = edit->grab().toImage();
            }
            drawn[0].save(u"/tmp/patho/qt-%1.png"_s.arg(state));
            drawn[1].save(u"/tmp/patho/box-%1.png"_s.arg(state));
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

    // The direction of writing is Qt's for the whole text after every edit, though only part of
    // it is read again: isolates, a stray closing isolate, surrogates, no strong letter at all.
    void directionAsQString() {
        struct Edit {
            qsizetype at, removed;
            const char16_t* inserted;
        };
        QString text;
        velmor::ParagraphDirection direction;
        for (const Edit& edit : std::initializer_list<Edit>{{0, 0, u"12 "},
                                                            {3, 0, u"\u2067\u05D0"},
                                                            {5, 0, u"\u2069"},
                                                            {6, 0, u"ab"},
                                                            {6, 0, u"\U00010800"},
                                                            {0, 0, u"\u2069"},
                                                            {0, 1, u""},
                                                            {3, 4, u""},
                                                            {3, 0, u"\u2066x"},
                                                            {0, 0, u"\xD802"},
                                                            {1, 0, u"\u05D1"},
                                                            {0, text.size(), u"\u0661"}}) {
            const qsizetype at = std::min(edit.at, text.size());
            text.replace(at, std::min(edit.removed, text.size() - at),
                         QString::fromUtf16(edit.inserted));
            direction.Changed(at);
            QVERIFY2(direction.RightToLeft(text) == text.isRightToLeft(), qPrintable(text));
        }
    }

    // Ten million characters written either way: wherever the cursor goes it stays in the box,
    // the part laid out stays a few boxes wide, and the line leaves no room after its end.
    void longLineShownInPart_data() {
        QTest::addColumn<QChar>("c");
        QTest::addColumn<bool>("leftToRight");
        QTest::newRow("digits") << QChar(u'8') << true;
        QTest::newRow("Hebrew") << QChar(0x05D0) << false;
    }
    void longLineShownInPart() {
        QFETCH(QChar, c);
        QFETCH(bool, leftToRight);
        const QString text = QString(10'000'000, c).replace(5'000'000, 1, u' ');
        velmor::LineView view;
        view.SetFont(QFont(u"宋体"_s, 9));
        constexpr int kWidth = 113;
        view.SetWidth(kWidth);
        const qreal advance = QFontMetricsF(QFont(u"宋体"_s, 9)).horizontalAdvance(c);
        QList<qsizetype> cursors = {text.size(), 5'000'001, 5'000'000, 4'999'990, 12, 0};
        // And a character at a time, as arrow keys go, past the part first laid out.
        for (qsizetype step = 0; step < 3 * velmor::LineView::kLongestPart / 8; ++step)
            cursors << 4'999'980 + step;
        for (qsizetype cursor : cursors << text.size() - 3 << text.size()) {
            view.Follow(text, cursor);
            const qreal x = view.X(text, cursor);
            // Places are rounded to whole pixels before scrolling, as in Qt.
            QVERIFY2(x > -1 && x < kWidth, qPrintable(QString::number(cursor)));
            const QTextLayout& part = view.Part(text);
            QVERIFY(part.text().size() < 4 * (kWidth / advance + 64));
            // What is laid out covers the box, but for the two pixels Qt leaves after a line.
            QVERIFY2(
                view.Shift() >= 0 && part.lineAt(0).naturalTextWidth() - view.Shift() >= kWidth - 3,
                qPrintable(u"at %1: part %2 wide from %3, shown from %4"_s.arg(cursor)
                               .arg(part.lineAt(0).naturalTextWidth())
                               .arg(view.First())
                               .arg(view.Shift())));
            // A pixel inside the text's edge: Qt reads a line's very edges as its logical start
            // and end, whatever the writing.
            QCOMPARE(view.At(text, std::clamp<qreal>(x, 1, kWidth - 2)), cursor);
        }
        // The end is at the box's right edge (left, written right to left), and stays there when
        // text is erased before it.
        const auto atEnd = [&](const QString& line) {
            const qreal x = view.X(line, line.size());
            return leftToRight ? kWidth - x <= advance + 2 : x <= 1;
        };
        QVERIFY(atEnd(text));
        const QString shorter = text.chopped(5);
        view.Changed(shorter.size(), 5, 0);
        view.Follow(shorter, shorter.size());
        QVERIFY(atEnd(shorter));
        // A drag past the left edge reaches the text beyond it: before it, or written right to
        // left, after it.
        view.Follow(shorter, 4'000'000);
        const qsizetype edge = view.At(shorter, 1), past = view.At(shorter, -advance);
        QVERIFY2(leftToRight ? past < edge : past > edge,
                 qPrintable(u"%1 %2"_s.arg(past).arg(edge)));
        // Text that now fits sits at the box's start: its left, or written right to left, its
        // right.
        view.Changed(0, shorter.size() - 4, 0);
        view.Follow(QString(4, c), 4);
        const qreal start = view.X(QString(4, c), 0);
        QVERIFY2(leftToRight ? start == 0 : kWidth - start <= 3,
                 qPrintable(QString::number(start)));
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
        box->setText(u"\u05D0\u05D1\u05D2"_s);  // written right to left: the places reversed
        const QRect first = text->characterRect(0), last = text->characterRect(2);
        QVERIFY(!first.isEmpty() && !last.isEmpty() && first.left() > last.right());
        box->setText(u"10E3"_s);
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
        // The cursor at the end of a composition longer than the box stays in the box: the line
        // scrolls past its last digit, where the composition starts.
        box.resize(121, 20);
        box.setText(QString(60, u'7'));
        QInputMethodEvent longer(u"qian"_s.repeated(8), {});
        QCoreApplication::sendEvent(&box, &longer);
        const int x = box.inputMethodQuery(Qt::ImCursorRectangle).toRect().x();
        QVERIFY2(x >= 0 && x < box.width(), qPrintable(QString::number(x)));
        QVERIFY(box.CharacterRect(59).isEmpty());
    }
};

QTEST_MAIN(InputBoxTest)
#include "input_box_test.moc"
