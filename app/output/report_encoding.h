// The report file's encoding: the text of the report box as a Chinese Windows machine reads it,
// the same bytes on every system the program runs on.
#pragma once

#include <QByteArray>
#include <QStringView>

namespace velmor {

// Encodes text for the report file, character by character:
// - every line break (LF, CR LF, a lone CR, U+2028, U+2029) becomes CR LF; nothing is added at
//   the end, so a text that does not end in a line break gives bytes that do not either;
// - a character that code page 936 (GBK) holds is written as its 936 bytes: ASCII as one byte,
//   "中" as D6 D0, "€" as 80, the user-defined areas as their private-use mapping (U+E000 as AA
//   A1);
// - any other character is written as GB18030-2005 writes it: mostly in four bytes ("µ" as
//   81 30 85 38, U+FEFF as 84 31 95 33, "😀" as 94 39 fc 36), a few that 936 leaves to its
//   private-use stand-ins in their two-byte GB18030 code ("ḿ" as A8 BC, the bytes 936 gives
//   U+E7C7). The characters to which GB18030-2022 gives new two-byte codes keep their four-byte
//   2005 codes (U+FE10 stays 84 31 82 36), so the bytes do not depend on which edition the
//   system's converter follows;
// - an unpaired surrogate, which no encoding can hold, becomes "?".
// No byte-order mark, no trailing NUL. An empty text gives no bytes.
// Each character of the basic plane is converted once per call, so a long text takes a few
// milliseconds.
QByteArray EncodeReportText(QStringView text);

// The bytes of one character that is neither a line break nor a surrogate, by the rules above.
QByteArray EncodeReportCharacter(char32_t codePoint);

}  // namespace velmor
