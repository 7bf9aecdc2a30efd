#include "output_errors.h"

#include <QString>

namespace velmor {

CannotCreateFileError::CannotCreateFileError(const QString& path)
    : OutputError("Cannot create file " + path.toStdString()) {}

StreamWriteError::StreamWriteError() : OutputError("Stream write error") {}

NoDefaultPrinterError::NoDefaultPrinterError()
    : OutputError("There is no default printer currently selected") {}

PrinterNotValidError::PrinterNotValidError() : OutputError("Printer selected is not valid") {}

PrintingInProgressError::PrintingInProgressError() : OutputError("Printing in progress") {}

PrintUnconfirmedError::PrintUnconfirmedError()
    : OutputError(
          "The print job was sent but the print system did not confirm it; it may still print") {}

SystemError::SystemError(int code, const QString& text)
    : OutputError(SystemErrorMessage(code, text)) {}

std::string SystemErrorMessage(int code, const QString& text) {
    if (code == 0) return "A call to an OS function failed";
    QString trimmed = text;
    while (!trimmed.isEmpty()) {
        const QChar last = trimmed.back();
        if (last != u' ' && last != u'.' && last.category() != QChar::Other_Control) break;
        trimmed.chop(1);
    }
    return QStringLiteral("System Error.  Code: %1.\r\n%2").arg(code).arg(trimmed).toStdString();
}

}  // namespace velmor
