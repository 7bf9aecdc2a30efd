// Boundaries in a long text found without reading all of it: only the text around the place
// asked about is examined, so the cost does not grow with the text's length.
#pragma once

#include <QString>
#include <QTextLayout>

namespace velmor {

// The start of the grapheme that contains text[at], or at itself when a grapheme starts there
// (also at 0 and at the end of the text). A grapheme longer than a few dozen code units, which
// no text a user means has, may be split.
qsizetype GraphemeStart(const QString& text, qsizetype at);

// The next or previous cursor place from `at`, by character (grapheme) or by word, as Qt's text
// layout finds it in the whole text. Only a word as long as the text reads all of it.
qsizetype CursorStep(const QString& text, qsizetype at, QTextLayout::CursorMode mode, bool forward);

}  // namespace velmor
