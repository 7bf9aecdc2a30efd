// How an input box is drawn and sized, and how it scrolls: as Qt's line edit.
#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleHints>
#include <QStyleOptionFrame>
#include <QTimerEvent>

#include <algorithm>

#include "input_box.h"

namespace velmor {

namespace {

// The room Qt's line edit leaves between its frame's contents and the text.
constexpr int kHorizontalMargin = 2;
constexpr int kVerticalMargin = 1;

}  // namespace

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
    const QPointF topLeft(line.x() - view_.Shift(),
                          line.y() - (qRound(part.lineAt(0).ascent()) - fontMetrics().ascent()));
    QList<QTextLayout::FormatRange> selections;
    if (hasSelectedText()) {
        const qsizetype from = view_.InPart(SelectionBegin());
        const qsizetype to = view_.InPart(SelectionEnd());
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
    // Written right to left, a character's end is left of its start.
    const auto [left, right] = std::minmax({view_.X(text_, at), view_.X(text_, at + 1)});
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
    if (event->type() == QEvent::ActivationChange &&
        !palette().isEqual(QPalette::Active, QPalette::Inactive))
        update();
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) Shown();
    QWidget::changeEvent(event);
}

}  // namespace velmor
