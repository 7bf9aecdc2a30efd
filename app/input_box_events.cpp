// What an input box does with keys, input methods, the mouse, its context menu and drops.
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTextCharFormat>

#include <algorithm>

#include "grapheme.h"
#include "input_box.h"

namespace velmor {

namespace {

// The keys Qt's line edit takes for itself before shortcuts see them.
bool IsEditingKey(QKeyEvent* event) {
    using K = QKeySequence;
    static constexpr K::StandardKey kTaken[] = {K::Copy,
                                                K::Paste,
                                                K::Cut,
                                                K::Redo,
                                                K::Undo,
                                                K::SelectAll,
                                                K::DeleteCompleteLine,
                                                K::MoveToNextWord,
                                                K::MoveToPreviousWord,
                                                K::MoveToStartOfLine,
                                                K::MoveToEndOfLine,
                                                K::MoveToStartOfDocument,
                                                K::MoveToEndOfDocument,
                                                K::SelectNextWord,
                                                K::SelectPreviousWord,
                                                K::SelectStartOfLine,
                                                K::SelectEndOfLine,
                                                K::SelectStartOfBlock,
                                                K::SelectEndOfBlock,
                                                K::SelectStartOfDocument,
                                                K::SelectEndOfDocument};
    for (K::StandardKey key : kTaken)
        if (event->matches(key)) return true;
    const Qt::KeyboardModifiers plain = event->modifiers() & ~Qt::KeypadModifier;
    if (plain != Qt::NoModifier && plain != Qt::ShiftModifier) return false;
    if (event->key() < Qt::Key_Escape) return true;
    switch (event->key()) {
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Left:
        case Qt::Key_Right:
            return true;
        default:
            return false;
    }
}

// A key whose text is typed into the box: printable text, formatting characters and private
// use characters, never with Ctrl alone (only AltGr, which is Ctrl and Alt, types).
bool TypesText(const QKeyEvent* event) {
    const QString text = event->text();
    if (text.isEmpty()) return false;
    const QChar first = text.front();
    if (first.category() == QChar::Other_Format) return true;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (modifiers == Qt::ControlModifier || modifiers == (Qt::ShiftModifier | Qt::ControlModifier))
        return false;
    return first.isPrint() || first.category() == QChar::Other_PrivateUse ||
           (first.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate());
}

}  // namespace

// ---- Keys

bool InputBox::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsEditingKey(key)) key->accept();
        return true;
    }
    return QWidget::event(event);
}

bool InputBox::ActOnStandardKey(QKeyEvent* event) {
    using K = QKeySequence;
    struct Binding {
        K::StandardKey key;
        Move move;
        bool select;
    };
    static constexpr Binding kMoves[] = {
        {K::MoveToStartOfLine, Move::Home, false},
        {K::MoveToStartOfBlock, Move::Home, false},
        {K::MoveToEndOfLine, Move::End, false},
        {K::MoveToEndOfBlock, Move::End, false},
        {K::SelectStartOfLine, Move::Home, true},
        {K::SelectStartOfBlock, Move::Home, true},
        {K::SelectEndOfLine, Move::End, true},
        {K::SelectEndOfBlock, Move::End, true},
        {K::MoveToNextChar, Move::NextCharacter, false},
        {K::SelectNextChar, Move::NextCharacter, true},
        {K::MoveToPreviousChar, Move::PreviousCharacter, false},
        {K::SelectPreviousChar, Move::PreviousCharacter, true},
        {K::MoveToNextWord, Move::NextWord, false},
        {K::MoveToPreviousWord, Move::PreviousWord, false},
        {K::SelectNextWord, Move::NextWord, true},
        {K::SelectPreviousWord, Move::PreviousWord, true},
    };
    if (event == K::Undo)
        undo();
    else if (event == K::Redo)
        redo();
    else if (event == K::SelectAll)
        selectAll();
    else if (event == K::Copy)
        copy();
    else if (event == K::Paste)
        paste();
    else if (event == K::Cut)
        cut();
    else if (event == K::DeleteEndOfLine) {
        setSelection(int(cursor_), int(text_.size() - cursor_));
        cut();
    } else if (event == K::Delete)
        del();
    else if (event == K::DeleteEndOfWord)
        EraseWord(true);
    else if (event == K::DeleteStartOfWord)
        EraseWord(false);
    else if (event == K::DeleteCompleteLine) {
        selectAll();
        cut();
    } else {
        const auto* found =
            std::find_if(std::begin(kMoves), std::end(kMoves),
                         [event](const Binding& b) { return event->matches(b.key); });
        if (found == std::end(kMoves)) return false;
        Go(found->move, found->select);
    }
    return true;
}

bool InputBox::ActOnBackspace(QKeyEvent* event) {
    if (event->key() != Qt::Key_Backspace) return false;
    if (event->modifiers() & Qt::ControlModifier)
        EraseWord(false);
    else
        Backspace();
    return true;
}

void InputBox::keyPressEvent(QKeyEvent* event) {
    // Enter and Return belong to the window, as in Qt's line edit; what is composed is kept.
    if (event->key() == Qt::Key_Enter || event->key() == Qt::Key_Return) {
        QGuiApplication::inputMethod()->commit();
        return event->ignore();
    }
    if (ActOnStandardKey(event) || ActOnBackspace(event)) {
        if (QGuiApplication::clipboard()->supportsSelection()) CopyTo(QClipboard::Selection);
        return event->accept();
    }
    if (!TypesText(event)) return event->ignore();
    insert(event->text());
    event->accept();
}

// ---- Input methods

void InputBox::inputMethodEvent(QInputMethodEvent* event) {
    const bool input = !event->commitString().isEmpty() || event->preeditString() != preedit_ ||
                       event->replacementLength() > 0;
    if (input && hasSelectedText()) del();
    const qsizetype from =
        std::clamp<qsizetype>(cursor_ + event->replacementStart(), 0, text_.size());
    const qsizetype to = std::min(text_.size(), from + event->replacementLength());
    if (!event->commitString().isEmpty() || to > from)
        Replace(from, to, event->commitString(), LineHistory::Kind::Typed);
    for (const QInputMethodEvent::Attribute& attribute : event->attributes())
        if (attribute.type == QInputMethodEvent::Selection) {
            anchor_ = std::clamp<qsizetype>(attribute.start, 0, text_.size());
            cursor_ = std::clamp<qsizetype>(attribute.start + attribute.length, 0, text_.size());
        }
    TakePreedit(event);
    Shown();
}

// A click or a key that moves the cursor ends the composing: the input method commits what it
// has, or else it is dropped.
void InputBox::CommitPreedit() {
    if (preedit_.isEmpty()) return;
    QGuiApplication::inputMethod()->commit();
    if (preedit_.isEmpty()) return;
    preedit_.clear();
    preeditCursor_ = 0;
    view_.SetPreedit(cursor_, preedit_);
}

// The composed text, where the input method puts its cursor in it, and how it is to look.
void InputBox::TakePreedit(const QInputMethodEvent* event) {
    preedit_ = event->preeditString();
    preeditCursor_ = int(preedit_.size());
    preeditCursorHidden_ = false;
    QList<QTextLayout::FormatRange> formats;
    for (const QInputMethodEvent::Attribute& attribute : event->attributes()) {
        if (attribute.type == QInputMethodEvent::Cursor) {
            preeditCursor_ = attribute.start;
            preeditCursorHidden_ = attribute.length == 0;
        } else if (attribute.type == QInputMethodEvent::TextFormat) {
            const QTextCharFormat format =
                qvariant_cast<QTextFormat>(attribute.value).toCharFormat();
            if (format.isValid()) formats.append({attribute.start, attribute.length, format});
        }
    }
    // Without composed text the cursor is the box's own.
    if (preedit_.isEmpty()) preeditCursor_ = 0;
    view_.SetPreedit(cursor_, preedit_, formats, preeditCursor_);
}

QVariant InputBox::inputMethodQuery(Qt::InputMethodQuery query) const {
    // The text around the cursor, not all of it: an input method wants the context of a word.
    constexpr qsizetype kAround = 1024;
    const qsizetype from = std::max<qsizetype>(0, cursor_ - kAround);
    switch (query) {
        case Qt::ImEnabled:
            return isEnabled();
        case Qt::ImCursorRectangle: {
            const QRect line = LineRect();
            const qreal x = view_.CursorX(text_, cursor_);
            return QRect(line.x() + qRound(x), line.y(), 1, line.height());
        }
        case Qt::ImFont:
            return font();
        case Qt::ImAbsolutePosition:
            return int(cursor_);
        case Qt::ImCursorPosition:
            return int(cursor_ - from);
        case Qt::ImAnchorPosition:
            return int(std::clamp(anchor_, from, cursor_ + kAround) - from);
        case Qt::ImSurroundingText:
            return text_.mid(from, 2 * kAround);
        case Qt::ImTextBeforeCursor:
            return text_.mid(from, cursor_ - from);
        case Qt::ImTextAfterCursor:
            return text_.mid(cursor_, kAround);
        case Qt::ImCurrentSelection:
            return selectedText();
        case Qt::ImReadOnly:
            return false;
        default:
            return QWidget::inputMethodQuery(query);
    }
}

// ---- Mouse

void InputBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) return;
    const QPoint at = event->position().toPoint();
    if (tripleClick_.isActive() &&
        (at - tripleClickAt_).manhattanLength() < QApplication::startDragDistance())
        return selectAll();
    MoveCursor(PositionAt(at), event->modifiers() & Qt::ShiftModifier);
}

void InputBox::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton)
        MoveCursor(PositionAt(event->position().toPoint()), true);
}

void InputBox::mouseReleaseEvent(QMouseEvent* event) {
    if (!QGuiApplication::clipboard()->supportsSelection()) return;
    if (event->button() == Qt::LeftButton) {
        CopyTo(QClipboard::Selection);
    } else if (event->button() == Qt::MiddleButton) {
        deselect();
        PasteFrom(QClipboard::Selection);
    }
}

// Selects the word clicked, without the spaces after it, as Qt's line edit does.
void InputBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const qsizetype at = PositionAt(event->position().toPoint());
    const qsizetype next = std::min(at + 1, text_.size());
    const qsizetype start = WordStep(text_, next, false);
    qsizetype end = WordStep(text_, start, true);
    while (end > at && text_.at(end - 1).isSpace()) --end;
    MoveCursor(start, false);
    MoveCursor(end, true);
    tripleClick_.start(QApplication::doubleClickInterval(), this);
    tripleClickAt_ = event->position().toPoint();
}

// ---- Context menu

QMenu* InputBox::CreateContextMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("qt_edit_menu"));
    // Qt's own words, in the desktop's language where Qt has a translation.
    const auto add = [menu](const char* text, QKeySequence::StandardKey key, bool enabled,
                            const char* icon) {
        QString label = QCoreApplication::translate("QLineEdit", text);
        if (key != QKeySequence::UnknownKey)
            label += u'\t' + QKeySequence(key).toString(QKeySequence::NativeText);
        QAction* action = menu->addAction(QIcon::fromTheme(QLatin1String(icon)), label);
        action->setEnabled(enabled);
        return action;
    };
    const bool selected = hasSelectedText();
    connect(add("&Undo", QKeySequence::Undo, isUndoAvailable(), "edit-undo"), &QAction::triggered,
            this, &InputBox::undo);
    connect(add("&Redo", QKeySequence::Redo, isRedoAvailable(), "edit-redo"), &QAction::triggered,
            this, &InputBox::redo);
    menu->addSeparator();
    connect(add("Cu&t", QKeySequence::Cut, selected, "edit-cut"), &QAction::triggered, this,
            &InputBox::cut);
    connect(add("&Copy", QKeySequence::Copy, selected, "edit-copy"), &QAction::triggered, this,
            &InputBox::copy);
    const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
    connect(add("&Paste", QKeySequence::Paste, clipboard && clipboard->hasText(), "edit-paste"),
            &QAction::triggered, this, &InputBox::paste);
    connect(add("Delete", QKeySequence::UnknownKey, selected, "edit-delete"), &QAction::triggered,
            this, &InputBox::del);
    menu->addSeparator();
    connect(add("Select All", QKeySequence::SelectAll,
                !text_.isEmpty() && selectionLength() != text_.size(), "edit-select-all"),
            &QAction::triggered, this, &InputBox::selectAll);
    return menu;
}

void InputBox::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = CreateContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

// ---- Drag and drop: text dropped in is inserted where it is dropped

void InputBox::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void InputBox::dragMoveEvent(QDragMoveEvent* event) {
    if (!event->mimeData()->hasFormat(QStringLiteral("text/plain"))) return;
    event->acceptProposedAction();
    dropping_ = true;
    MoveCursor(PositionAt(event->position().toPoint()), false);
}

void InputBox::dragLeaveEvent(QDragLeaveEvent*) {
    dropping_ = false;
    update();
}

void InputBox::dropEvent(QDropEvent* event) {
    dropping_ = false;
    const QString text = event->mimeData()->text();
    if (text.isEmpty()) return;
    MoveCursor(PositionAt(event->position().toPoint()), false);
    history_.Close();
    Replace(cursor_, cursor_, text, LineHistory::Kind::Other);
    event->acceptProposedAction();
    activateWindow();
    setFocus(Qt::MouseFocusReason);
}

}  // namespace velmor
