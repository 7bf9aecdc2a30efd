#include "window_printer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLibrary>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScopeGuard>
#include <QThread>
#include <QWidget>

#include <cstdint>
#include <cstdlib>

#include "output_errors.h"

namespace velmor {
namespace {

// IPP status codes (RFC 8011): below 0x0400 a request succeeded; 0x0406 is "not found", the
// answer for a default printer that is not set or does not exist.
constexpr int kIppFirstError = 0x0400;
constexpr int kIppNotFound = 0x0406;

// The CUPS library's last error on this thread. Qt's CUPS support loads the library anyway;
// looking it up at run time keeps the build free of a CUPS dependency.
struct CupsLastError {
    int status = 0;
    QString text;
};

CupsLastError LastCupsError() {
    using StatusFn = int (*)();
    using TextFn = const char* (*)();
    static QLibrary library(QStringLiteral("cups"), 2);
    static const auto status = reinterpret_cast<StatusFn>(library.resolve("cupsLastError"));
    static const auto text = reinterpret_cast<TextFn>(library.resolve("cupsLastErrorString"));
    if (!status || !text) return {};
    return {status(), QString::fromLocal8Bit(text())};
}

class QtPrintSystem final : public PrintSystem {
  public:
    QString DefaultPrinterName() override {
        const QString name = QPrinterInfo::defaultPrinterName();
        if (name.isEmpty()) {
            // Qt answers "none" also when the print server cannot be reached; only the library's
            // status tells the two apart.
            const CupsLastError error = LastCupsError();
            if (error.status >= kIppFirstError && error.status != kIppNotFound)
                throw SystemError(error.status, error.text);
        }
        return name;
    }

    QStringList InstalledPrinterNames() override { return QPrinterInfo::availablePrinterNames(); }

    std::unique_ptr<QPrinter> CreatePrinter(const QString& name) override {
        auto printer =
            std::make_unique<QPrinter>(QPrinterInfo::printerInfo(name), QPrinter::HighResolution);
        printer->setDocName(QString());
        return printer;
    }
};

WindowPrinter* applicationPrinter = nullptr;

void DeleteApplicationPrinter() {
    delete applicationPrinter;
    applicationPrinter = nullptr;
}

}  // namespace

std::unique_ptr<PrintSystem> CreateQtPrintSystem() {
    return std::make_unique<QtPrintSystem>();
}

int ScaleToPrinter(int pixels, int printerDpi, int screenDpi) {
    if (screenDpi == 0) return -1;
    const int64_t product = int64_t(pixels) * printerDpi;
    const int64_t quotient = product / screenDpi;
    const int64_t remainder = product % screenDpi;
    // Halves away from zero: compare twice the remainder with the divisor, both as magnitudes.
    if (2 * std::llabs(remainder) >= std::llabs(int64_t(screenDpi)))
        return int(quotient + (((product < 0) != (screenDpi < 0)) ? -1 : 1));
    return int(quotient);
}

bool WindowPrinter::PaintPicture(QPrinter& printer, const QImage& picture, const QRect& target) {
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    // Qt's PDF output, which CUPS jobs go through, stores images as JPEG unless told otherwise.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    painter.drawImage(target, picture);
    // The job is submitted here. A failed submission is not reported: the page has been drawn,
    // and what the print system does with it is its own affair, as with any spooler.
    painter.end();
    return true;
}

WindowPrinter::WindowPrinter(std::unique_ptr<PrintSystem> system, PaintJob job)
    : system_(std::move(system)), job_(std::move(job)) {}

WindowPrinter::~WindowPrinter() = default;

void WindowPrinter::ChoosePrinter() {
    const QString name = system_->DefaultPrinterName();
    if (name.isEmpty()) throw NoDefaultPrinterError();
    if (!installedListed_) {
        installed_ = system_->InstalledPrinterNames();
        installedListed_ = true;
    }
    for (const QString& installed : std::as_const(installed_)) {
        if (installed.compare(name, Qt::CaseInsensitive) == 0) {
            printer_ = system_->CreatePrinter(installed);
            return;
        }
    }
    throw NoDefaultPrinterError();
}

void WindowPrinter::Print(QWidget& window) {
    if (printing_) throw PrintingInProgressError();
    if (!printer_) ChoosePrinter();
    if (!printer_->isValid()) throw PrinterNotValidError();

    // The picture is taken before the job starts: whatever happens in the window while the job
    // is sent does not change it.
    const QImage picture = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int screenDpi = window.logicalDpiY();
    const QRect target(0, 0, ScaleToPrinter(window.width(), printer_->logicalDpiX(), screenDpi),
                       ScaleToPrinter(window.height(), printer_->logicalDpiY(), screenDpi));

    printing_ = true;
    const auto idle = qScopeGuard([this] { printing_ = false; });

    // Rendering and sending the job blocks; it runs on a worker thread while this thread keeps
    // processing events, so the window stays responsive and a second request can be refused.
    bool opened = false;
    QPrinter& printer = *printer_;
    const std::unique_ptr<QThread> worker(
        QThread::create([&] { opened = job_(printer, picture, target); }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();

    if (!opened) throw PrinterNotValidError();
}

WindowPrinter& ApplicationPrinter() {
    if (!applicationPrinter) {
        applicationPrinter = new WindowPrinter(CreateQtPrintSystem());
        // Before the application object goes, while Qt's print support is still loaded.
        qAddPostRoutine(DeleteApplicationPrinter);
    }
    return *applicationPrinter;
}

}  // namespace velmor
