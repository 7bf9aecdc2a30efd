// The report file's bytes: the text of the report box as a Chinese Windows machine reads it.
#pragma once

#include <QByteArray>
#include <QStringView>

namespace velmor {

// Encodes text for the report file:
// - every line break (LF, CR LF, a lone CR, U+2028, U+2029) becomes CR LF; nothing is added at
//   the end, so a text that does not end in a line break gives bytes that do not either;
// - every character that code page 936 (GBK) holds is written as its 936 bytes (ASCII as one
//   byte, U+20AC as 0x80, the user-defined areas as their private-use mapping);
// - any other character is written in its GB18030 four-byte form, so nothing is replaced by "?".
// No byte-order mark, no trailing NUL. An unpaired surrogate, which no encoding can hold, becomes
// "?". An empty text gives no bytes.
QByteArray EncodeReportText(QStringView text);

}  // namespace velmor
