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
// told apart from "no default printer" by the CUPS library's last error on this thread.
std::unique_ptr<PrintSystem> CreateQtPrintSystem();

// pixels * printerDpi / screenDpi in 64 bits, rounded to nearest with halves away from zero;
// -1 for a screen dpi of 0.
int ScaleToPrinter(int pixels, int printerDpi, int screenDpi);

class WindowPrinter {
  public:
    // Draws picture stretched into target (printer dots, from the printable area's top-left) as
    // one page on printer. Returns false when the printer cannot be opened. Runs on a worker
    // thread while the calling thread keeps processing events.
    using PaintJob = std::function<bool(QPrinter&, const QImage&, const QRect&)>;

    // The real job: a QPainter on the printer, the image stored losslessly.
    static bool PaintPicture(QPrinter& printer, const QImage& picture, const QRect& target);

    explicit WindowPrinter(std::unique_ptr<PrintSystem> system, PaintJob job = &PaintPicture);
    ~WindowPrinter();
    WindowPrinter(const WindowPrinter&) = delete;
    WindowPrinter& operator=(const WindowPrinter&) = delete;

    // Prints window on the printer chosen at the first successful request of this object (the
    // default printer then, looked up case-insensitively among the installed printers, which are
    // listed once). Returns when the job has been sent; meanwhile the caller's thread processes
    // its events, so the window stays usable. Raises PrintingInProgressError while a job of this
    // object is being sent (that job goes on unchanged), NoDefaultPrinterError, SystemError, and
    // PrinterNotValidError when the printer cannot be opened. Nothing is printed on an error.
    void Print(QWidget& window);

    bool IsPrinting() const { return printing_; }
    // The chosen printer, or null before the first successful lookup.
    QPrinter* Printer() const { return printer_.get(); }

  private:
    void ChoosePrinter();

    std::unique_ptr<PrintSystem> system_;
    PaintJob job_;
    std::unique_ptr<QPrinter> printer_;
    QStringList installed_;
    bool installedListed_ = false;
    bool printing_ = false;
};

// The application's printer object: created at the first call, deleted with the application
// object, so the chosen printer is kept for the whole run.
WindowPrinter& ApplicationPrinter();

}  // namespace velmor
