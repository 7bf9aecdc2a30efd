// The platform's printers and the sending of a job to one of them.
#pragma once

#include <QByteArray>
#include <QPageLayout>
#include <QString>
#include <QStringList>

#include <memory>

#include "timed_task.h"

namespace velmor {

// What a page for a printer is drawn for: its paper with the printable area as margins, and
// the resolution it is drawn at.
struct PrinterSetup {
    QPageLayout page;
    int dpi = 0;
};

// The print system as the printer object needs it. Its calls may wait for a print server, so
// they run on a worker (see TimedTask) and take its caller.
class PrintSystem {
  public:
    virtual ~PrintSystem() = default;
    // The default printer's name; empty when there is none. Raises NoDefaultPrinterError when
    // there is no print system at all, SystemError when it cannot be asked.
    virtual QString DefaultPrinterName() = 0;
    // The installed printers (queues) by name.
    virtual QStringList InstalledPrinterNames() = 0;
    // The named printer's default paper and printable area. Raises PrinterNotValidError when the
    // printer cannot be used, SystemError when the print system fails.
    virtual PrinterSetup Setup(const QString& name) = 0;
    // Sends pdf to the named printer as one job with an empty name, and answers the caller once
    // the print system has accepted it. Commits (see TimedTask) only once the document is
    // complete but for its end: a job whose caller gave up before is never started, broken off,
    // or cancelled once it is known. Raises PrinterNotValidError when the printer no longer exists,
    // SystemError for any other refusal or failure; no job is left behind then.
    virtual void Submit(const QString& name, const QByteArray& pdf, TimedTask::Caller& caller) = 0;
};

// The print system through the CUPS library, loaded from soname at the first request: the
// user's default destination and the server's queues; the paper and printable area as the queue
// states them by default (Letter or A4 by the locale when it states none), drawn at 1200 dpi;
// jobs sent as PDF from memory. No library, or no scheduler to connect to, is no default
// printer; a password the server asks for is asked in the window (AskPrintPassword) on a worker,
// never on a terminal, and cancelled (cups-authentication-canceled) elsewhere or on 取消. A
// failure is reported with the server's IPP status and CUPS's name for it; a connection that
// broke before the answer is service-unavailable.
std::unique_ptr<PrintSystem> CreateCupsPrintSystem(const char* soname = "libcups.so.2");

}  // namespace velmor
