// The locale's side of the decimal separator that the number parser and formatter share.
#pragma once

#include <QLocale>

namespace velmor {

// The locale's decimal separator when it is one one-byte character, otherwise '.'.
char DecimalSeparatorOf(const QLocale& locale);

// Makes the separator of the default locale (the system's numeric setting unless the program
// chose another) the process-wide one. Called at start-up and whenever Qt reports a change.
void ReadDecimalSeparator();

}  // namespace velmor
