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

void LineView::SetWidth(int width) {
    width_ = width;
    Invalidate();
}

void LineView::Changed(qsizetype at, qsizetype removed, qsizetype inserted) {
    direction_.Changed(at);
    // Text before the place kept at the left edge moves it; a change reaching into it keeps
    // the change's start there.
    if (at + removed <= leftAt_)
        leftAt_ += inserted - removed;
    else if (at < leftAt_)
        leftAt_ = at;
    Invalidate();
}

void LineView::SetPreedit(qsizetype at, const QString& preedit,
                          const QList<QTextLayout::FormatRange>& formats, int cursor) {
    preeditCursor_ = preedit.isEmpty() ? 0 : cursor;
    preeditAt_ = at;
    preedit_ = preedit;
    preeditFormats_ = formats;
    Invalidate();
}

void LineView::Lay(QTextLayout& layout, const QString& text, qsizetype from, qsizetype to) const {
    layout.setText(Shown(text, from, to));
    layout.setFont(font_);
    QTextOption option;
    option.setTextDirection(rightToLeft_ ? Qt::RightToLeft : Qt::LeftToRight);
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

// Where a slice of the text from `from` that fills the box ends (forwards) or starts (backwards):
// a grapheme boundary at most kLongestPart characters away.
qsizetype LineView::Reach(const QString& text, qsizetype from, bool forward) const {
    QTextLayout slice;
    for (qsizetype reach = kFirstReach;; reach *= 2) {
        const qsizetype room = forward ? text.size() - from : from;
        const qsizetype step = std::min({reach, room, kLongestPart});
        const qsizetype to = GraphemeStart(text, forward ? from + step : from - step);
        forward ? Lay(slice, text, from, to) : Lay(slice, text, to, from);
        if (step == room || step == kLongestPart || slice.lineAt(0).naturalTextWidth() >= width_)
            return to;
    }
}

qreal LineView::PartX(qsizetype at) const {
    return part_.lineAt(0).cursorToX(int(InPart(at)));
}

// Whether the part's text starts at its left, as left-to-right text does (Qt reads a line's very
// edges as its logical start and end whatever the writing, so the ends' places are compared).
bool LineView::StartsLeft() const {
    const QTextLine line = part_.lineAt(0);
    return line.cursorToX(0) <= line.cursorToX(int(part_.text().size() + preedit_.size()));
}

// Whether the part's left (or right) edge is an end of the line.
bool LineView::EdgeOfLine(bool left) const {
    if (first_ == 0 && end_ == size_) return true;
    return left == StartsLeft() ? first_ == 0 : end_ == size_;
}

// Lays out the part anew around the cursor, keeping the text at the box's left edge where it
// was; a cursor gone far from it lands at the edge it went towards.
void LineView::Recentre(const QString& text, qsizetype cursor) {
    const bool whole = Reach(text, 0, true) == text.size();
    first_ = whole ? 0 : Reach(text, cursor, false);
    end_ = whole ? text.size() : Reach(text, cursor, true);
    Lay(part_, text, first_, end_);
    partValid_ = true;
    if (first_ <= leftAt_ && leftAt_ <= end_)
        shift_ = qRound(PartX(leftAt_) - leftX_);
    else
        shift_ = qRound(PartCursorX(cursor)) - (cursor > leftAt_ ? width_ - 1 : 0);
}

// Scrolls by Qt's line edit's rules, in the part's pixels: to the cursor when it would leave
// the box, and back from a line's end that would leave room.
void LineView::Scroll(qsizetype cursor) {
    const qreal width = part_.lineAt(0).naturalTextWidth();
    const int x = qRound(PartCursorX(cursor)), used = qRound(width) + 1;
    // A line that fits sits at the box's start: its left, or for right-to-left writing its right.
    if (first_ == 0 && end_ == size_ && used <= width_)
        shift_ = rightToLeft_ ? used - width_ + 1 : 0;
    else if (x - shift_ >= width_)
        shift_ = x - width_ + 1;
    else if (x - shift_ < 0 && shift_ < used)
        shift_ = x;
    else if (EdgeOfLine(false) && used - shift_ < width_)
        shift_ = used - width_ + 1;
    else if (EdgeOfLine(true))
        shift_ = std::max(0, shift_);
}

void LineView::Follow(const QString& text, qsizetype cursor) {
    size_ = text.size();
    if (const bool rightToLeft = direction_.RightToLeft(text); rightToLeft != rightToLeft_) {
        rightToLeft_ = rightToLeft;
        Invalidate();
    }
    // The cursor leads the box through the part: the part is laid out anew only when the cursor
    // leaves it, or the text changed.
    if (!partValid_ || cursor < first_ || cursor > end_) Recentre(text, cursor);
    Scroll(cursor);
    const int left = part_.lineAt(0).xToCursor(shift_);
    leftAt_ = FromPart(left);
    leftX_ = part_.lineAt(0).cursorToX(left) - shift_;
}

const QTextLayout& LineView::Part(const QString& text) {
    if (!partValid_) {
        // Painted before the box followed its cursor: the same stretch of the text, as it is.
        size_ = text.size();
        first_ = GraphemeStart(text, std::min(first_, size_));
        end_ = std::clamp(end_, first_, size_);
        Lay(part_, text, first_, end_);
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

qreal LineView::PartCursorX(qsizetype cursor) const {
    const int inside = cursor == preeditAt_ ? preeditCursor_ : 0;
    return part_.lineAt(0).cursorToX(int(InPart(cursor)) + inside);
}

qreal LineView::CursorX(const QString& text, qsizetype cursor) {
    Part(text);
    if (cursor < first_ || cursor > end_) return X(text, cursor);
    return PartCursorX(cursor) - shift_;
}

qreal LineView::X(const QString& text, qsizetype at) {
    Part(text);
    if (at < first_) return -1;
    if (at > end_) return std::numeric_limits<qreal>::max();
    return PartX(at) - shift_;
}

qsizetype LineView::At(const QString& text, qreal x) {
    const QTextLine line = Part(text).lineAt(0);
    const qreal inPart = x + shift_;
    const bool left = inPart<0, right = inPart> line.naturalTextWidth();
    // Past the part's start, or past its end, whichever side that is.
    if ((left || right) && (left == StartsLeft()) && first_ > 0)
        return GraphemeStep(text, first_, false);
    if ((left || right) && (left != StartsLeft()) && end_ < text.size())
        return GraphemeStep(text, end_, true);
    return FromPart(line.xToCursor(inPart));
}

}  // namespace velmor
