// The one process-wide decimal separator, '.' at start. It is read where inputs are read and
// where a report is built, and passed from there to the parser and the formatter.
#pragma once

namespace velmor {

char DecimalSeparator();
void SetDecimalSeparator(char separator);

// The separator a locale setting gives: the setting itself when it is exactly one one-byte
// (ASCII) character, otherwise '.'. A null setting (unreadable) also gives '.'.
char DecimalSeparatorFromSetting(const char* setting);

}  // namespace velmor
