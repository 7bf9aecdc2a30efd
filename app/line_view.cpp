#include "line_view.h"

#include <QTextLine>
#include <QTextOption>

#include <algorithm>
#include <limits>

#include "grapheme.h"

namespace velmor {

namespace {

// How many characters a part is first laid out with; doubled until the box is filled.
constexpr qsizetype kFirstReach = 64;

// text[from, to) as the box shows it: controls, line and paragraph separators and the object
// replacement character, which fonts draw as boxes or not at all, are shown as spaces.
QString Shown(const QString& text, qsizetype from, qsizetype to) {
    QString shown = text.mid(from, to - from);
    for (QChar& c : shown)
        if ((c.unicode() < 0x20 && c != u'\t') || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator || c == QChar::ObjectReplacementCharacter)
            c = u' ';
    return shown;
}

}  // namespace

void LineView::SetFont(const QFont& font) {
    font_ = font;
    Invalidate();
}

void LineView::SetDirection(Qt::LayoutDirection direction) {
    direction_ = direction;
    Invalidate();
}

void LineView::SetWidth(int width) {
    width_ = width;
    Invalidate();
}

void LineView::Changed(qsizetype at, qsizetype removed, qsizetype inserted) {
    // Text before the part shown moves it; a change reaching into it starts it at the change.
    if (at + removed <= first_)
        first_ += inserted - removed;
    else if (at < first_)
        first_ = at;
    Invalidate();
}

void LineView::SetPreedit(qsizetype at, const QString& preedit,
                          const QList<QTextLayout::FormatRange>& formats) {
    preeditAt_ = at;
    preedit_ = preedit;
    preeditFormats_ = formats;
    Invalidate();
}

void LineView::SetFirst(qsizetype first) {
    if (first == first_) return;
    first_ = first;
    Invalidate();
}

void LineView::Lay(QTextLayout& layout, const QString& text, qsizetype from, qsizetype to) const {
    layout.setText(Shown(text, from, to));
    layout.setFont(font_);
    QTextOption option;
    option.setTextDirection(direction_);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    layout.setTextOption(option);
    const bool composing = !preedit_.isEmpty() && from <= preeditAt_ && preeditAt_ <= to;
    layout.setPreeditArea(composing ? int(preeditAt_ - from) : -1,
                          composing ? preedit_ : QString());
    QList<QTextLayout::FormatRange> formats;
    if (composing)
        for (QTextLayout::FormatRange range : preeditFormats_) {
            range.start += int(preeditAt_ - from);
            formats.append(range);
        }
    layout.setFormats(formats);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
}

// Lays out from `from` as far as fills the box, and a character more; returns where it ends.
qsizetype LineView::PartEnd(QTextLayout& layout, const QString& text, qsizetype from) const {
    for (qsizetype reach = kFirstReach;; reach *= 2) {
        const bool last = reach >= kLongestPart || text.size() - from <= reach;
        const qsizetype to =
            last ? std::min(text.size(), from + kLongestPart) : GraphemeStart(text, from + reach);
        Lay(layout, text, from, to);
        if (last || layout.lineAt(0).naturalTextWidth() > width_) return to;
    }
}

// The earliest grapheme boundary from which the text up to `end` takes at most `limit` pixels.
qsizetype LineView::FitBefore(const QString& text, qsizetype end, qreal limit) const {
    QTextLayout layout;
    for (qsizetype reach = kFirstReach;; reach *= 2) {
        const bool last = reach >= kLongestPart || end <= reach;
        const qsizetype from =
            last ? std::max<qsizetype>(0, end - kLongestPart) : GraphemeStart(text, end - reach);
        Lay(layout, text, from, end);
        const QTextLine line = layout.lineAt(0);
        const qreal right = line.cursorToX(int(end - from));
        // Widths from a place to the end only shrink as the place moves right.
        int low = 0, high = int(end - from);
        while (low < high) {
            const int middle = low + (high - low) / 2;
            if (right - line.cursorToX(middle) <= limit)
                high = middle;
            else
                low = middle + 1;
        }
        if (!layout.isValidCursorPosition(low)) low = layout.nextCursorPosition(low);
        if (low > 0 || last) return from + low;
    }
}

void LineView::Follow(const QString& text, qsizetype cursor) {
    first_ = GraphemeStart(text, std::min(first_, text.size()));
    Invalidate();
    // Qt's line edit counts a pixel more than the text's width; so does this box.
    QTextLayout start;
    if (PartEnd(start, text, 0) == text.size() &&
        start.lineAt(0).naturalTextWidth() + 1 <= width_) {
        SetFirst(0);
        return;
    }
    if (cursor < first_)
        SetFirst(GraphemeStart(text, cursor));
    else if (X(text, cursor) >= width_)
        SetFirst(FitBefore(text, cursor, width_ - 1));
    if (first_ == 0) return;
    const qreal used = Part(text).lineAt(0).naturalTextWidth();
    if (partEnd_ == text.size() && used + 1 < width_)
        SetFirst(FitBefore(text, text.size(), width_ - 1));
}

const QTextLayout& LineView::Part(const QString& text) {
    if (!partValid_) {
        partEnd_ = PartEnd(part_, text, first_);
        partValid_ = true;
    }
    return part_;
}

qsizetype LineView::InPart(qsizetype at) const {
    const bool after = !preedit_.isEmpty() && at > preeditAt_;
    return at - first_ + (after ? preedit_.size() : 0);
}

qsizetype LineView::FromPart(qsizetype pos) const {
    const qsizetype at = first_ + pos;
    if (preedit_.isEmpty() || at <= preeditAt_) return at;
    // A place inside the composed text is the place it is composed at.
    return std::max(preeditAt_, at - preedit_.size());
}

qreal LineView::X(const QString& text, qsizetype at) {
    Part(text);
    if (at < first_) return -1;
    if (at > partEnd_) return std::numeric_limits<qreal>::max();
    return part_.lineAt(0).cursorToX(int(InPart(at)));
}

qsizetype LineView::At(const QString& text, qreal x) {
    // Left of the box is the character before the part shown, so that a selection dragged past
    // the left edge scrolls the line as one dragged past the right edge does.
    if (x < 0 && first_ > 0) return GraphemeStep(text, first_, false);
    return FromPart(Part(text).lineAt(0).xToCursor(x));
}

}  // namespace velmor
