// Which part of a long line an edit box lays out, and where it is drawn.
//
// Only the text around the cursor is laid out: as much on each side as fills the box (at most
// kLongestPart characters a side), so painting, moving the cursor or clicking costs the same for
// a line of ten characters as for one of ten million. The part scrolls by pixels as Qt's line edit
// scrolls its whole line: a line that fits is shown from its start; a longer one moves only when
// the cursor would leave the box, and then just enough, in either direction of writing; it leaves
// no room after either end of the line. The part is laid out anew around the cursor whenever the
// cursor leaves it, and after every change, keeping the text in view where it was.
#pragma once

#include <QFont>
#include <QList>
#include <QString>
#include <QTextLayout>

#include "paragraph_direction.h"

namespace velmor {

class LineView {
  public:
    static constexpr qsizetype kLongestPart = 1024;

    void SetFont(const QFont& font);
    // The width the text is shown in, in pixels.
    void SetWidth(int width);
    // The text changed: `removed` characters at `at` were replaced by `inserted` ones.
    void Changed(qsizetype at, qsizetype removed, qsizetype inserted);
    // Text an input method is composing, shown at `at` with the formats it asks for (counted
    // from the composed text's start) and the cursor `cursor` characters into it; empty when
    // none.
    void SetPreedit(qsizetype at, const QString& preedit,
                    const QList<QTextLayout::FormatRange>& formats = {}, int cursor = 0);

    // Lays out and scrolls as the box requires to show the cursor.
    void Follow(const QString& text, qsizetype cursor);

    // The part laid out, from First(); its positions are InPart() of the text's, and its x
    // Shift() is at the left of the text's area.
    const QTextLayout& Part(const QString& text);
    qsizetype First() const { return first_; }
    // Whether the line is written right to left, as of the last Follow().
    bool RightToLeft() const { return rightToLeft_; }
    int Shift() const { return shift_; }
    qsizetype InPart(qsizetype at) const;
    qsizetype FromPart(qsizetype pos) const;
    // Where a position of the text is drawn, from the left of the text's area: below 0 or at
    // least the width when it is scrolled out of the box.
    qreal X(const QString& text, qsizetype at);
    // Where the cursor at `cursor` is drawn, inside the composed text while there is one.
    qreal CursorX(const QString& text, qsizetype cursor);
    // The position of the text nearest to x; beyond the part laid out, the character just past
    // its edge, so that a selection dragged past the box scrolls the line.
    qsizetype At(const QString& text, qreal x);

  private:
    void Invalidate() { partValid_ = false; }
    void Lay(QTextLayout& layout, const QString& text, qsizetype from, qsizetype to) const;
    qsizetype Reach(const QString& text, qsizetype from, bool forward) const;
    void Recentre(const QString& text, qsizetype cursor);
    bool StartsLeft() const;
    bool EdgeOfLine(bool left) const;
    void Scroll(qsizetype cursor);
    qreal PartX(qsizetype at) const;
    qreal PartCursorX(qsizetype cursor) const;

    QFont font_;
    ParagraphDirection direction_;
    bool rightToLeft_ = false;
    int width_ = 0;
    // The part laid out: text[first_, end_), shown from its x shift_.
    qsizetype first_ = 0;
    qsizetype end_ = 0;
    qsizetype size_ = 0;  // the text's length when the part was laid out
    int shift_ = 0;
    QTextLayout part_;
    bool partValid_ = false;
    // What is kept in place when the part is laid out anew: the text position at the box's left
    // edge and its x there.
    qsizetype leftAt_ = 0;
    qreal leftX_ = 0;
    qsizetype preeditAt_ = 0;
    QString preedit_;
    QList<QTextLayout::FormatRange> preeditFormats_;
    int preeditCursor_ = 0;
};

}  // namespace velmor
