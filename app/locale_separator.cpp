#include "locale_separator.h"

#include <QByteArray>
#include <QString>

#include "decimal_separator.h"

namespace velmor {

char DecimalSeparatorOf(const QLocale& locale) {
    // The setting as bytes: a separator outside ASCII is longer than one byte and falls back.
    const QByteArray setting = locale.decimalPoint().toUtf8();
    return DecimalSeparatorFromSetting(setting.constData());
}

void ReadDecimalSeparator() {
    SetDecimalSeparator(DecimalSeparatorOf(QLocale()));
}

}  // namespace velmor
