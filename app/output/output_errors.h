// The errors that saving and printing raise. Each carries the message a user sees (UTF-8) and
// nothing else; the application's error display shows it, as for any other error.
#pragma once

#include <string>

#include "errors.h"

class QString;

namespace velmor {

// Every error of saving and printing; a VelmorError like those of the calculation.
class OutputError : public VelmorError {
  public:
    using VelmorError::VelmorError;
};

// "Cannot create file <path>": the file could not be created or replaced.
class CannotCreateFileError : public OutputError {
  public:
    explicit CannotCreateFileError(const QString& path);
};

// "Stream write error": not all of the data could be written (a full disk, a size limit).
class StreamWriteError : public OutputError {
  public:
    StreamWriteError();
};

// "There is no default printer currently selected".
class NoDefaultPrinterError : public OutputError {
  public:
    NoDefaultPrinterError();
};

// "Printer selected is not valid": the chosen printer cannot be opened for a job.
class PrinterNotValidError : public OutputError {
  public:
    PrinterNotValidError();
};

// "Printing in progress": a job of this process is still being sent.
class PrintingInProgressError : public OutputError {
  public:
    PrintingInProgressError();
};

// "The print job was sent but the print system did not confirm it; it may still print": the
// job's whole document reached the print system, whose answer did not come in time. Not a
// failure: the job may well print.
class PrintUnconfirmedError : public OutputError {
  public:
    PrintUnconfirmedError();
};

// A failure of the print system itself, with its error number and text; see SystemErrorMessage.
class SystemError : public OutputError {
  public:
    SystemError(int code, const QString& text);
};

// "System Error.  Code: <code>." followed by CR LF and the system's text, cut of every trailing
// space, control character and full stop. Without a text the message ends in the line break, so
// the error display adds no full stop; code 0 (no error number) gives "A call to an OS function
// failed".
std::string SystemErrorMessage(int code, const QString& text);

}  // namespace velmor
