// Printing a picture of the main window on the default printer.
//
// One page holding the window's client area, rendered off screen (not copied from the screen),
// drawn at the top-left of the printable area at the size the window has on screen: W x H pixels
// at the screen's logical dpi become W * printer dpi / screen dpi by H * printer dpi / screen dpi
// printer dots, rounded to nearest with halves up. The image goes to the job
// losslessly, so the printed colours are the window's. The job has an empty document name.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

#include "print_system.h"
#include "timed_task.h"

class QWidget;

namespace velmor {

// pixels * printerDpi / screenDpi in 64 bits, rounded to nearest with halves up. pixels and
// printerDpi must not be negative, screenDpi must be positive.
int ScaleToPrinter(int pixels, int printerDpi, int screenDpi);

class WindowPrinter {
  public:
    // Draws picture stretched into target (printer dots, from the printable area's top-left) as
    // the one page of a PDF document for setup; an empty result when it cannot be drawn. Runs
    // on the worker.
    using PaintJob = std::function<QByteArray(const PrinterSetup&, const QImage&, const QRect&)>;

    // The real job: the image stored losslessly.
    static QByteArray PaintPdf(const PrinterSetup& setup, const QImage& picture,
                               const QRect& target);

    // How long a request waits for the print system before it reports a timeout.
    static constexpr std::chrono::milliseconds kDefaultTimeout{7000};

    explicit WindowPrinter(std::unique_ptr<PrintSystem> system, PaintJob job = &PaintPdf,
                           std::chrono::milliseconds timeout = kDefaultTimeout);
    ~WindowPrinter();
    WindowPrinter(const WindowPrinter&) = delete;
    WindowPrinter& operator=(const WindowPrinter&) = delete;

    // Prints window on the printer chosen at the first successful request of this object (the
    // default printer then, looked up case-insensitively among the installed printers, which are
    // listed once). The picture is taken at once; everything that talks to the print system
    // runs on a worker while the caller's thread keeps processing its events.
    //
    // Returns when the print system has accepted the job. Raises PrintingInProgressError while
    // an earlier request still waits (it goes on unchanged), NoDefaultPrinterError when there is
    // no print system or no default printer, PrinterNotValidError when the printer cannot be
    // used, and SystemError for a failure of the print system; nothing is printed on these
    // errors. When the print system has not answered within the timeout: SystemError for
    // ETIMEDOUT once nothing of the job can print any more (it is never sent, its transfer is
    // broken off, or it is cancelled once known), but PrintUnconfirmedError once its document
    // was complete (it may print). A request while the worker of such a request still waits
    // for the print system starts nothing and raises SystemError for ETIMEDOUT at once. When
    // the caller's event loop is told to quit meanwhile, returns at once, giving the job up
    // likewise.
    void Print(QWidget& window);

    // Whether a request's worker is still running, given up or not.
    bool IsPrinting() const;
    // The chosen printer's name, empty before the first successful lookup or while printing.
    QString PrinterName() const;

  private:
    struct Session;
    std::shared_ptr<Session> session_;
    TimedTask task_;
    std::chrono::milliseconds timeout_;
};

}  // namespace velmor
