// Printing a picture of the main window on the default printer.
//
// One page holding the window's client area, rendered off screen (not copied from the screen),
// drawn at the top-left of the printable area at the size the window has on screen: W x H pixels
// at the screen's logical dpi become W * printer dpi / screen dpi by H * printer dpi / screen dpi
// printer dots, rounded to nearest with halves away from zero. The image goes to the job
// losslessly, so the printed colours are the window's. The job has an empty document name.
#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

class QPrinter;
class QWidget;

namespace velmor {

// The print system as the printer object needs it.
class PrintSystem {
  public:
    virtual ~PrintSystem() = default;
    // The default printer's name; empty when there is none. Raises SystemError when the print
    // system itself cannot be asked.
    virtual QString DefaultPrinterName() = 0;
    // The installed printers (queues) by name.
    virtual QStringList InstalledPrinterNames() = 0;
    // A printer on the named queue with that queue's default settings (paper, orientation,
    // resolution) and an empty document name. Never null; isValid() tells whether it can be used.
    virtual std::unique_ptr<QPrinter> CreatePrinter(const QString& name) = 0;
};

// The print system through Qt Print Support (CUPS on Linux). A failed default-printer query is
// told apart from "no default printer" by the CUPS library's last status on the calling thread,
// reported with the print system's own text for that status. Printers start from the queue's
// default page size; the resolution stays Qt's 1200 dpi (Qt does not tell a queue's default).
std::unique_ptr<PrintSystem> CreateQtPrintSystem();

// pixels * printerDpi / screenDpi in 64 bits, rounded to nearest with halves away from zero.
// screenDpi must be positive.
int ScaleToPrinter(int pixels, int printerDpi, int screenDpi);

class WindowPrinter {
  public:
    // Draws picture stretched into target (printer dots, from the printable area's top-left) as
    // one page on printer. Returns false when the printer cannot be opened. Runs on a worker
    // thread while the calling thread keeps processing events.
    using PaintJob = std::function<bool(QPrinter&, const QImage&, const QRect&)>;

    // The real job: a QPainter on the printer, the image stored losslessly.
    static bool PaintPicture(QPrinter& printer, const QImage& picture, const QRect& target);

    // How long a request waits for the print system before it reports a timeout.
    static constexpr std::chrono::milliseconds kDefaultTimeout{7000};

    explicit WindowPrinter(std::unique_ptr<PrintSystem> system, PaintJob job = &PaintPicture,
                           std::chrono::milliseconds timeout = kDefaultTimeout);
    ~WindowPrinter();
    WindowPrinter(const WindowPrinter&) = delete;
    WindowPrinter& operator=(const WindowPrinter&) = delete;

    // Prints window on the printer chosen at the first successful request of this object (the
    // default printer then, looked up case-insensitively among the installed printers, which are
    // listed once). The picture is taken at once; everything that talks to the print system
    // (the lookup, opening the printer, sending the job) runs on a worker thread while the
    // caller's thread keeps processing its events, so the window stays usable.
    //
    // Returns when the job has been sent. Raises PrintingInProgressError while an earlier
    // request of this object is still with the print system (it goes on unchanged),
    // NoDefaultPrinterError, SystemError, and PrinterNotValidError when the printer cannot be
    // opened; nothing is printed on these errors. When the print system has not finished within
    // the timeout, raises SystemError for ETIMEDOUT and leaves the worker to finish on its own
    // (later requests are refused as in progress until it has); a worker still looking up the
    // printer then sends no job, one already sending it cannot be stopped. When the caller's event
    // loop is told to quit meanwhile, returns at once, leaving the worker likewise.
    void Print(QWidget& window);

    // Whether a request's worker is still with the print system.
    bool IsPrinting() const;
    // The chosen printer, or null before the first successful lookup or while printing.
    QPrinter* Printer() const;

  private:
    struct Session;
    std::shared_ptr<Session> session_;
    std::chrono::milliseconds timeout_;
};

// Whether a worker of any WindowPrinter is still inside the print system, even one whose window
// is gone. A process that ends must then end without running its static destructors, which
// that worker could still reach.
bool PrintWorkRunning();

}  // namespace velmor
