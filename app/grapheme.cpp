#include "grapheme.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace velmor {

qsizetype GraphemeStart(const QString& text, qsizetype at) {
    if (at <= 0 || at >= text.size()) return std::clamp<qsizetype>(at, 0, text.size());
    constexpr qsizetype kBefore = 64, kAfter = 16;
    const qsizetype from = std::max<qsizetype>(0, at - kBefore);
    const qsizetype to = std::min(text.size(), at + kAfter);
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text.constData() + from,
                                  to - from);
    graphemes.setPosition(at - from);
    if (graphemes.isAtBoundary()) return at;
    const qsizetype back = graphemes.toPreviousBoundary();
    // Without a boundary in reach, the window's own start is the best there is.
    return back > 0 ? from + back : from;
}

qsizetype CursorStep(const QString& text, qsizetype at, QTextLayout::CursorMode mode,
                     bool forward) {
    for (qsizetype reach = 256;; reach *= 2) {
        const qsizetype from = GraphemeStart(text, at - reach);
        const qsizetype to = GraphemeStart(text, at + reach);
        // Only the characters' properties are read: nothing is shaped.
        QTextLayout slice(text.mid(from, to - from));
        const int inSlice = int(at - from);
        const qsizetype place = from + (forward ? slice.nextCursorPosition(inSlice, mode)
                                                : slice.previousCursorPosition(inSlice, mode));
        // A place at the slice's edge may only be where the slice was cut.
        const bool cut = forward ? place == to && to < text.size() : place == from && from > 0;
        if (!cut) return place;
    }
}

}  // namespace velmor
