// Which part of a long line an edit box shows, and where its positions are drawn.
//
// Only the characters that reach into the box are laid out (and the one crossing its right
// edge), so that painting, moving the cursor or clicking costs the same for a line of ten
// characters as for one of ten million. The line scrolls by whole characters: the part shown
// starts at a grapheme boundary. A line that fits is shown from its start; a longer one scrolls
// as little as keeps the cursor in the box, and leaves no room after its end.
#pragma once

#include <QFont>
#include <QString>
#include <QTextLayout>

namespace velmor {

class LineView {
  public:
    // The most of the line laid out at once: a run this long that still does not fill the box
    // (zero-width characters) is shown cut.
    static constexpr qsizetype kLongestPart = 1024;

    void SetFont(const QFont& font);
    void SetDirection(Qt::LayoutDirection direction);
    // The width the text is shown in, in pixels.
    void SetWidth(int width);
    // The text changed: `removed` characters at `at` were replaced by `inserted` ones.
    void Changed(qsizetype at, qsizetype removed, qsizetype inserted);
    // Text an input method is composing, shown at `at` with the formats it asks for (counted
    // from the composed text's start); empty when none.
    void SetPreedit(qsizetype at, const QString& preedit,
                    const QList<QTextLayout::FormatRange>& formats = {});

    // Scrolls as the box requires to show the cursor.
    void Follow(const QString& text, qsizetype cursor);

    qsizetype First() const { return first_; }
    // The part laid out, from First(); its positions are InPart() of the text's.
    const QTextLayout& Part(const QString& text);
    qsizetype InPart(qsizetype at) const;
    qsizetype FromPart(qsizetype pos) const;
    // Where a position of the text is drawn, from the left of the text's area: below 0 or at
    // least the width when it is scrolled out of the box.
    qreal X(const QString& text, qsizetype at);
    // The position of the text nearest to x; left of the box, the one before the part shown.
    qsizetype At(const QString& text, qreal x);

  private:
    void Invalidate() { partValid_ = false; }
    void SetFirst(qsizetype first);
    void Lay(QTextLayout& layout, const QString& text, qsizetype from, qsizetype to) const;
    qsizetype PartEnd(QTextLayout& layout, const QString& text, qsizetype from) const;
    qsizetype FitBefore(const QString& text, qsizetype end, qreal limit) const;

    QFont font_;
    Qt::LayoutDirection direction_ = Qt::LeftToRight;
    int width_ = 0;
    qsizetype first_ = 0;
    qsizetype preeditAt_ = 0;
    QString preedit_;
    QList<QTextLayout::FormatRange> preeditFormats_;
    QTextLayout part_;
    qsizetype partEnd_ = 0;
    bool partValid_ = false;
};

}  // namespace velmor
