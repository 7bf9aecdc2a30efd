#include "window_printer.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLibrary>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <thread>

#include "output_errors.h"

namespace velmor {
namespace {

// IPP status codes (RFC 8011): below 0x0400 a request succeeded; 0x0406 is "not found", the
// answer for a default printer that is not set or does not exist.
constexpr int kIppFirstError = 0x0400;
constexpr int kIppNotFound = 0x0406;

// The CUPS library's last status on this thread. Qt's CUPS support loads the library anyway;
// looking it up at run time keeps the build free of a CUPS dependency. The library's own
// "last error string" is not used: it holds whatever errno said last (after a failed connection
// often "Bad file descriptor", after a timeout "Success"), not the failure behind the status.
struct CupsLastError {
    int status = 0;
    QString text;
};

CupsLastError LastCupsError() {
    using StatusFn = int (*)();
    using TextFn = const char* (*)(int);
    static QLibrary library(QStringLiteral("cups"), 2);
    static const auto status = reinterpret_cast<StatusFn>(library.resolve("cupsLastError"));
    static const auto text = reinterpret_cast<TextFn>(library.resolve("ippErrorString"));
    if (!status || !text) return {};
    const int code = status();
    return {code, QString::fromLatin1(text(code))};
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
        const QPrinterInfo info = QPrinterInfo::printerInfo(name);
        auto printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        // QPrinter starts from the paper of the locale, not the queue's.
        const QPageSize paper = info.defaultPageSize();
        if (paper.isValid()) printer->setPageSize(paper);
        printer->setDocName(QString());
        return printer;
    }
};

std::atomic<int> runningWorkers = 0;

}  // namespace

// What a request's worker uses. The worker holds it too, so a worker left behind (after a
// timeout, or when the window is gone) never touches freed memory; only one worker at a time
// uses it, and the GUI thread reads it only while busy is false.
struct WindowPrinter::Session {
    std::unique_ptr<PrintSystem> system;
    PaintJob job;
    std::unique_ptr<QPrinter> printer;
    QStringList installed;
    bool installedListed = false;
    std::exception_ptr error;
    std::atomic<bool> busy = false;
    // Set when the request has already been answered (a timeout): no job is started after it.
    std::atomic<bool> abandoned = false;

    void ChoosePrinter();
    void Run(const QImage& picture, QSize windowSize, int screenDpi);
};

std::unique_ptr<PrintSystem> CreateQtPrintSystem() {
    return std::make_unique<QtPrintSystem>();
}

int ScaleToPrinter(int pixels, int printerDpi, int screenDpi) {
    Q_ASSERT(screenDpi > 0);
    const int64_t product = int64_t(pixels) * printerDpi;
    const int64_t quotient = product / screenDpi;
    const int64_t remainder = product % screenDpi;
    // Halves away from zero: compare twice the remainder's magnitude with the divisor.
    if (2 * std::llabs(remainder) >= screenDpi) return int(quotient + (product < 0 ? -1 : 1));
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

WindowPrinter::WindowPrinter(std::unique_ptr<PrintSystem> system, PaintJob job,
                             std::chrono::milliseconds timeout)
    : session_(std::make_shared<Session>()), timeout_(timeout) {
    session_->system = std::move(system);
    session_->job = std::move(job);
}

WindowPrinter::~WindowPrinter() = default;

bool WindowPrinter::IsPrinting() const {
    return session_->busy.load();
}

QPrinter* WindowPrinter::Printer() const {
    return IsPrinting() ? nullptr : session_->printer.get();
}

void WindowPrinter::Session::ChoosePrinter() {
    const QString name = system->DefaultPrinterName();
    if (name.isEmpty()) throw NoDefaultPrinterError();
    if (!installedListed) {
        installed = system->InstalledPrinterNames();
        installedListed = true;
    }
    for (const QString& candidate : std::as_const(installed)) {
        if (candidate.compare(name, Qt::CaseInsensitive) == 0) {
            printer = system->CreatePrinter(candidate);
            return;
        }
    }
    throw NoDefaultPrinterError();
}

void WindowPrinter::Session::Run(const QImage& picture, QSize windowSize, int screenDpi) {
    if (!printer) ChoosePrinter();
    if (!printer->isValid()) throw PrinterNotValidError();
    const QRect target(0, 0, ScaleToPrinter(windowSize.width(), printer->logicalDpiX(), screenDpi),
                       ScaleToPrinter(windowSize.height(), printer->logicalDpiY(), screenDpi));
    if (abandoned) return;
    if (!job(*printer, picture, target)) throw PrinterNotValidError();
}

void WindowPrinter::Print(QWidget& window) {
    if (session_->busy.load()) throw PrintingInProgressError();

    // The picture is taken before anything else: whatever happens in the window while the job
    // is sent does not change it.
    const QImage picture = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QSize windowSize = window.size();
    const int screenDpi = window.logicalDpiY();

    session_->error = nullptr;
    session_->abandoned = false;
    session_->busy = true;
    ++runningWorkers;
    // A plain thread, not a QThread: one that is left behind must never be waited for, neither
    // by a QThread destructor nor by the application's thread pool.
    try {
        std::thread([session = session_, image = picture, windowSize, screenDpi]() mutable {
            try {
                session->Run(image, windowSize, screenDpi);
            } catch (...) {
                session->error = std::current_exception();
            }
            session->busy = false;
            // The last owner may be this thread (the window is gone): the printer goes here,
            // before the process is told that no worker is left.
            session.reset();
            image = QImage();
            --runningWorkers;
        }).detach();
    } catch (...) {
        session_->busy = false;
        --runningWorkers;
        throw;
    }

    // The worker cannot post to this loop safely once the loop may be gone, so the loop looks.
    const QDeadlineTimer deadline(timeout_);
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!session_->busy.load() || deadline.hasExpired()) loop.quit();
    });
    poll.start();
    loop.exec();

    if (!session_->busy.load()) {
        if (session_->error) std::rethrow_exception(session_->error);
        return;
    }
    // What the print system would have said is not known: the failure is the wait itself,
    // reported as the system's own timeout error with its own text.
    session_->abandoned = true;
    if (deadline.hasExpired())
        throw SystemError(ETIMEDOUT, QString::fromLocal8Bit(strerror(ETIMEDOUT)));
    // The application is quitting: the worker finishes, or not, on its own.
}

bool PrintWorkRunning() {
    return runningWorkers.load() > 0;
}

}  // namespace velmor
