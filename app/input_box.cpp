#include "input_box.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QStyle>
#include <QStyleHints>
#include <QStyleOptionFrame>
#include <QTextCharFormat>

#include <algorithm>

#include "grapheme.h"

namespace velmor {

namespace {

// The room Qt's line edit leaves between its frame's contents and the text.
constexpr int kHorizontalMargin = 2;
constexpr int kVerticalMargin = 1;

// The keys Qt's line edit takes for itself before shortcuts see them.
bool IsEditingKey(QKeyEvent* event) {
    using K = QKeySequence;
    for (K::StandardKey key : {K::Copy,
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
                               K::SelectEndOfDocument})
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
    view_.SetDirection(layoutDirection());
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
    const qsizetype start = std::min(cursor_, anchor_);
    return text_.mid(start, std::max(cursor_, anchor_) - start);
}

int InputBox::selectionStart() const {
    return hasSelectedText() ? int(std::min(cursor_, anchor_)) : -1;
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

// ---- What the box looks like

void InputBox::InitStyleOption(QStyleOptionFrame& option) const {
    option.initFrom(this);
    option.rect = contentsRect();
    option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    option.features = QStyleOptionFrame::None;
}

QRect InputBox::Contents() const {
    QStyleOptionFrame panel;
    InitStyleOption(panel);
    return style()->subElementRect(QStyle::SE_LineEditContents, &panel, this);
}

// The line the text is drawn on, as Qt's line edit places it: centred in the frame.
QRect InputBox::LineRect() const {
    const QRect contents = Contents();
    const QFontMetrics metrics = fontMetrics();
    const QTextLayout& part = view_.Part(text_);
    const int height =
        std::max(metrics.boundingRect(part.text() + preedit_).height(), metrics.height());
    return QRect(contents.x() + kHorizontalMargin,
                 contents.y() + (contents.height() - height + 1) / 2,
                 contents.width() - 2 * kHorizontalMargin, height);
}

int InputBox::TextLeft() const {
    return Contents().x() + kHorizontalMargin;
}

void InputBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionFrame panel;
    InitStyleOption(panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    const QRect contents = Contents();
    painter.setClipRect(contents);

    const QRect line = LineRect();
    const QTextLayout& part = view_.Part(text_);
    // The baseline stays where the font puts it, whatever scripts the part shown holds.
    const QPointF topLeft(line.x(),
                          line.y() - (qRound(part.lineAt(0).ascent()) - fontMetrics().ascent()));
    QList<QTextLayout::FormatRange> selections;
    if (hasSelectedText()) {
        const qsizetype from = view_.InPart(std::min(cursor_, anchor_));
        const qsizetype to = view_.InPart(std::max(cursor_, anchor_));
        QTextLayout::FormatRange selected;
        selected.start = int(std::max<qsizetype>(from, 0));
        selected.length = int(std::clamp<qsizetype>(to, 0, part.text().size()) - selected.start);
        selected.format.setBackground(palette().brush(QPalette::Highlight));
        selected.format.setForeground(palette().brush(QPalette::HighlightedText));
        if (selected.length > 0) selections.append(selected);
    }
    painter.setPen(palette().text().color());
    part.draw(&painter, topLeft, selections, contents);
    if (CursorShown())
        part.drawCursor(&painter, topLeft, int(view_.InPart(cursor_)) + preeditCursor_,
                        style()->pixelMetric(QStyle::PM_TextCursorWidth, &panel, this));
}

bool InputBox::CursorShown() const {
    if (!(hasFocus() || dropping_) || !blinkOn_ || preeditCursorHidden_) return false;
    if (!hasSelectedText() || dropping_) return true;
    QStyleOptionFrame panel;
    InitStyleOption(panel);
    return style()->styleHint(QStyle::SH_BlinkCursorWhenTextSelected, &panel, this);
}

QSize InputBox::sizeHint() const {
    ensurePolished();
    const QFontMetrics metrics(font());
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    const int height = std::max(metrics.height(), std::max(14, iconSize - 2)) + 2 * kVerticalMargin;
    const int width = metrics.horizontalAdvance(u'x') * 17 + 2 * kHorizontalMargin;
    QStyleOptionFrame option;
    InitStyleOption(option);
    return style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(width, height), this);
}

QSize InputBox::minimumSizeHint() const {
    ensurePolished();
    const QFontMetrics metrics = fontMetrics();
    const int height = metrics.height() + std::max(2 * kVerticalMargin, metrics.leading());
    const int width = metrics.maxWidth();
    QStyleOptionFrame option;
    InitStyleOption(option);
    return style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(width, height), this);
}

QRect InputBox::CharacterRect(int at) const {
    const QRect line = LineRect();
    const qreal left = view_.X(text_, at), right = view_.X(text_, at + 1);
    if (left < 0 || right > line.width()) return {};
    return QRect(QPoint(line.x() + int(left), line.y()),
                 QPoint(line.x() + int(right) - 1, line.bottom()));
}

int InputBox::PositionAt(QPoint point) const {
    return int(view_.At(text_, point.x() - TextLeft()));
}

void InputBox::ShowPosition(int position) {
    view_.Follow(text_, std::clamp<qsizetype>(position, 0, text_.size()));
    update();
}

// Scrolls to the cursor and repaints, with the cursor lit.
void InputBox::Shown() {
    view_.SetWidth(Contents().width() - 2 * kHorizontalMargin);
    view_.Follow(text_, cursor_);
    RestartBlink();
    update();
    updateMicroFocus();
}

void InputBox::RestartBlink() {
    blinkOn_ = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flash >= 2)
        blink_.start(flash / 2, this);
    else
        blink_.stop();
}

void InputBox::timerEvent(QTimerEvent* event) {
    if (event->timerId() == blink_.timerId()) {
        blinkOn_ = !blinkOn_;
        update();
    } else if (event->timerId() == tripleClick_.timerId()) {
        tripleClick_.stop();
    }
    QWidget::timerEvent(event);
}

void InputBox::resizeEvent(QResizeEvent* event) {
    Shown();
    QWidget::resizeEvent(event);
}

void InputBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) view_.SetFont(font());
    if (event->type() == QEvent::LayoutDirectionChange) view_.SetDirection(layoutDirection());
    if (event->type() == QEvent::ActivationChange &&
        !palette().isEqual(QPalette::Active, QPalette::Inactive))
        update();
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange ||
        event->type() == QEvent::LayoutDirectionChange)
        Shown();
    QWidget::changeEvent(event);
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

void InputBox::insert(const QString& text) {
    Replace(std::min(cursor_, anchor_), std::max(cursor_, anchor_), text, LineHistory::Kind::Typed);
}

void InputBox::del() {
    if (hasSelectedText())
        Replace(std::min(cursor_, anchor_), std::max(cursor_, anchor_), {},
                LineHistory::Kind::Other);
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

void InputBox::EraseWord(bool forward) {
    Go(forward ? Move::NextWord : Move::PreviousWord, true);
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
    Replace(std::min(cursor_, anchor_), std::max(cursor_, anchor_), pasted,
            LineHistory::Kind::Other);
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
            QAccessibleTextSelectionEvent selection(this, int(std::min(cursor_, anchor_)),
                                                    int(std::max(cursor_, anchor_)));
            QAccessible::updateAccessibility(&selection);
        }
        QAccessibleTextCursorEvent moved(this, int(cursor_));
        QAccessible::updateAccessibility(&moved);
    }
    Shown();
}

void InputBox::Go(Move move, bool select) {
    const qsizetype start = std::min(cursor_, anchor_), end = std::max(cursor_, anchor_);
    switch (move) {
        case Move::Home:
            return MoveCursor(0, select);
        case Move::End:
            return MoveCursor(text_.size(), select);
        case Move::NextCharacter:
            // A selection collapses to its end, as on every desktop but Windows.
            if (!select && start != end && !WindowsKeys()) return MoveCursor(end, false);
            return MoveCursor(GraphemeStep(text_, cursor_, true), select);
        case Move::PreviousCharacter:
            if (!select && start != end && !WindowsKeys()) return MoveCursor(start, false);
            return MoveCursor(GraphemeStep(text_, cursor_, false), select);
        case Move::NextWord:
            return MoveCursor(WordStep(text_, cursor_, true), select);
        case Move::PreviousWord:
            return MoveCursor(WordStep(text_, cursor_, false), select);
    }
}

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
    view_.SetPreedit(cursor_, preedit_, formats);
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
            const qreal x = view_.X(text_, cursor_);
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
