#include "grapheme.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <array>
#include <string_view>

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

qsizetype GraphemeStep(const QString& text, qsizetype at, bool forward) {
    qsizetype from = std::max<qsizetype>(0, at - kLongestGrapheme);
    qsizetype to = std::min(text.size(), at + kLongestGrapheme);
    // Neither end of the slice may fall between the halves of a surrogate pair.
    if (from > 0 && text.at(from).isLowSurrogate()) ++from;
    if (to < text.size() && text.at(to).isLowSurrogate()) --to;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text.constData() + from,
                                  to - from);
    graphemes.setPosition(at - from);
    const qsizetype step = forward ? graphemes.toNextBoundary() : graphemes.toPreviousBoundary();
    return step < 0 ? at : from + step;
}

namespace {

// The punctuation Qt's text layout stops at between words, all of it ASCII.
constexpr std::array<bool, 128> kWordSeparators = [] {
    std::array<bool, 128> separators{};
    for (char c : std::string_view(".,?!@#$:;-<>[](){}=/+%&^*'\"`~|\\")) separators[c] = true;
    return separators;
}();

// White space as Qt has it (QChar::isSpace), asking Qt only in the one range beyond Latin-1 that
// holds any: a word of ten million characters is crossed in milliseconds.
bool IsSpace(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x1680) return u == 0x20 || (u >= 0x09 && u <= 0x0d) || u == 0x85 || u == 0xa0;
    return u <= 0x3000 && c.isSpace();
}

bool IsWordSeparator(QChar c) {
    return c.unicode() < kWordSeparators.size() && kWordSeparators[c.unicode()];
}

}  // namespace

qsizetype WordStep(const QString& text, qsizetype at, bool forward) {
    const auto space = [&text](qsizetype i) { return IsSpace(text.at(i)); };
    const auto separator = [&text](qsizetype i) { return IsWordSeparator(text.at(i)); };
    const qsizetype size = text.size();
    if (forward) {
        if (at < size && separator(at)) {
            while (++at < size && separator(at)) continue;
        } else {
            while (at < size && !space(at) && !separator(at)) ++at;
        }
        while (at < size && space(at)) ++at;
        return at;
    }
    while (at > 0 && space(at - 1)) --at;
    if (at > 0 && separator(at - 1)) {
        while (--at > 0 && separator(at - 1)) continue;
    } else {
        while (at > 0 && !space(at - 1) && !separator(at - 1)) --at;
    }
    return at;
}

}  // namespace velmor
