#include "input_box.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QKeySequence>

#include <algorithm>

#include "grapheme.h"

namespace velmor {

namespace {

// Whether the platform's keys are Windows' (Qt's offscreen platform has them too), where an
// arrow key moves from the cursor even with a selection. Their scheme alone redoes with Ctrl+Y.
bool WindowsKeys() {
    return QKeySequence::keyBindings(QKeySequence::Redo)
        .contains(QKeySequence(Qt::CTRL | Qt::Key_Y));
}

}  // namespace

InputBox::InputBox(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::IBeamCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setSizePolicy(QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed, QSizePolicy::LineEdit));
    setBackgroundRole(QPalette::Base);
    setAttribute(Qt::WA_KeyCompression);
    setAcceptDrops(true);
    view_.SetFont(font());
}

void InputBox::setText(const QString& text) {
    const QString before = text_;
    text_ = text;
    cursor_ = anchor_ = text_.size();
    history_.Clear();
    Changed(0, before, text_);
}

void InputBox::setCursorPosition(int position) {
    MoveCursor(std::clamp<qsizetype>(position, 0, text_.size()), false);
}

QString InputBox::selectedText() const {
    return text_.mid(SelectionBegin(), selectionLength());
}

int InputBox::selectionStart() const {
    return hasSelectedText() ? int(SelectionBegin()) : -1;
}

void InputBox::setSelection(int start, int length) {
    const qsizetype from = std::clamp<qsizetype>(start, 0, text_.size());
    anchor_ = from;
    MoveCursor(std::clamp<qsizetype>(from + length, 0, text_.size()), true);
}

void InputBox::selectAll() {
    anchor_ = 0;
    MoveCursor(text_.size(), true);
}

void InputBox::deselect() {
    MoveCursor(cursor_, false);
}

// ---- Changing the text

void InputBox::Replace(qsizetype from, qsizetype to, const QString& with, LineHistory::Kind kind) {
    if (from == to && with.isEmpty()) return;
    LineChange change{from, text_.mid(from, to - from), with, cursor_, anchor_, 0, 0};
    change.cursorAfter = change.anchorAfter = from + with.size();
    text_.replace(from, to - from, with);
    cursor_ = anchor_ = change.cursorAfter;
    history_.Record(change, kind);
    Changed(from, change.removed, with);
}

void InputBox::Apply(const LineChange* step, bool undoing) {
    if (step == nullptr) return;
    const QString& now = undoing ? step->inserted : step->removed;
    const QString& then = undoing ? step->removed : step->inserted;
    text_.replace(step->at, now.size(), then);
    cursor_ = undoing ? step->cursorBefore : step->cursorAfter;
    anchor_ = undoing ? step->anchorBefore : step->anchorAfter;
    Changed(step->at, now, then);
}

void InputBox::Changed(qsizetype at, const QString& removed, const QString& inserted) {
    view_.Changed(at, removed.size(), inserted.size());
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent update(this, int(at), removed, inserted);
        QAccessible::updateAccessibility(&update);
    }
    Shown();
}

void InputBox::ReplaceSelection(const QString& with, LineHistory::Kind kind) {
    Replace(SelectionBegin(), SelectionEnd(), with, kind);
}

void InputBox::insert(const QString& text) {
    ReplaceSelection(text, LineHistory::Kind::Typed);
}

void InputBox::del() {
    if (hasSelectedText())
        ReplaceSelection({}, LineHistory::Kind::Other);
    else if (cursor_ < text_.size())
        Replace(cursor_, GraphemeStep(text_, cursor_, true), {}, LineHistory::Kind::ErasedForward);
}

// Backspace takes one character back, a surrogate pair whole but a combining mark alone, as in
// Qt's line edit: a mistyped accent can be typed again.
void InputBox::Backspace() {
    if (hasSelectedText()) return del();
    if (cursor_ == 0) return;
    const bool pair = cursor_ >= 2 && text_.at(cursor_ - 1).isLowSurrogate() &&
                      text_.at(cursor_ - 2).isHighSurrogate();
    Replace(cursor_ - (pair ? 2 : 1), cursor_, {}, LineHistory::Kind::ErasedBackward);
}

// Ctrl+Delete and Ctrl+Backspace erase towards the text's end and start, however it is written.
void InputBox::EraseWord(bool forward) {
    MoveCursor(WordStep(text_, cursor_, forward), true);
    if (hasSelectedText()) del();
}

void InputBox::undo() {
    Apply(history_.Undo(), true);
}

void InputBox::redo() {
    Apply(history_.Redo(), false);
}

void InputBox::cut() {
    if (!hasSelectedText()) return;
    copy();
    del();
}

void InputBox::copy() const {
    CopyTo(QClipboard::Clipboard);
}

void InputBox::CopyTo(int mode) const {
    if (hasSelectedText())
        QGuiApplication::clipboard()->setText(selectedText(), QClipboard::Mode(mode));
}

void InputBox::paste() {
    PasteFrom(QClipboard::Clipboard);
}

void InputBox::PasteFrom(int mode) {
    const QString pasted = QGuiApplication::clipboard()->text(QClipboard::Mode(mode));
    if (pasted.isEmpty() && !hasSelectedText()) return;
    history_.Close();
    ReplaceSelection(pasted, LineHistory::Kind::Other);
}

// ---- Moving the cursor

void InputBox::MoveCursor(qsizetype to, bool select) {
    CommitPreedit();
    const bool hadSelection = hasSelectedText();
    // Typing elsewhere is another step to undo.
    if (to != cursor_) history_.Close();
    cursor_ = to;
    if (!select) anchor_ = to;
    if (QAccessible::isActive()) {
        if (hadSelection || hasSelectedText()) {
            QAccessibleTextSelectionEvent selection(this, int(SelectionBegin()),
                                                    int(SelectionEnd()));
            QAccessible::updateAccessibility(&selection);
        }
        QAccessibleTextCursorEvent moved(this, int(cursor_));
        QAccessible::updateAccessibility(&moved);
    }
    Shown();
}

// The arrow keys' "next" is the way the line is written, as in Qt's line edit: in a line written
// right to left, Right goes back in the text.
void InputBox::Go(Move move, bool select) {
    const qsizetype start = SelectionBegin(), end = SelectionEnd();
    const bool ahead = !view_.RightToLeft();
    switch (move) {
        case Move::Home:
            return MoveCursor(0, select);
        case Move::End:
            return MoveCursor(text_.size(), select);
        case Move::NextCharacter:
            // A selection collapses to its end, as on every desktop but Windows.
            if (!select && start != end && !WindowsKeys()) return MoveCursor(end, false);
            return MoveCursor(GraphemeStep(text_, cursor_, ahead), select);
        case Move::PreviousCharacter:
            if (!select && start != end && !WindowsKeys()) return MoveCursor(start, false);
            return MoveCursor(GraphemeStep(text_, cursor_, !ahead), select);
        case Move::NextWord:
            return MoveCursor(WordStep(text_, cursor_, ahead), select);
        case Move::PreviousWord:
            return MoveCursor(WordStep(text_, cursor_, !ahead), select);
    }
}

// ---- Focus

void InputBox::focusInEvent(QFocusEvent* event) {
    const Qt::FocusReason reason = event->reason();
    if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
         reason == Qt::ShortcutFocusReason) &&
        !hasSelectedText())
        selectAll();
    RestartBlink();
    updateMicroFocus();
    update();
    QWidget::focusInEvent(event);
}

void InputBox::focusOutEvent(QFocusEvent* event) {
    const Qt::FocusReason reason = event->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) deselect();
    blink_.stop();
    update();
    QWidget::focusOutEvent(event);
}

}  // namespace velmor
