// Boundaries in a long text found without reading all of it: only the text around the place
// asked about, or the characters passed over, are examined, so the cost does not grow with the
// text's length.
#pragma once

#include <QString>

namespace velmor {

// The start of the grapheme that contains text[at], or at itself when a grapheme starts there
// (also at 0 and at the end of the text). A grapheme longer than a few dozen code units, which
// no text a user means has, may be split.
qsizetype GraphemeStart(const QString& text, qsizetype at);

// The next or previous grapheme boundary from `at`, as Qt's text layout finds it. A "grapheme"
// longer than kLongestGrapheme code units (a run of combining marks) is stepped through in pieces
// of about that length, never between the halves of a surrogate pair.
constexpr qsizetype kLongestGrapheme = 1024;
qsizetype GraphemeStep(const QString& text, qsizetype at, bool forward);

// The next or previous word place from `at` by the rule of Qt's text layout: forwards, a run of
// word separators (punctuation such as . , - /) or else of other characters up to white space,
// then the white space after it; backwards the same in the other order.
qsizetype WordStep(const QString& text, qsizetype at, bool forward);

}  // namespace velmor
