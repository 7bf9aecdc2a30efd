#include "window_printer.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QPixmap>
#include <QWidget>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "output_errors.h"

namespace velmor {

// What a request's worker uses. The worker holds it too, so a worker left behind (after a
// timeout, or when the window is gone) never touches freed memory; only one worker at a time
// uses it, and the GUI thread reads it only while no worker runs.
struct WindowPrinter::Session {
    std::unique_ptr<PrintSystem> system;
    PaintJob job;
    QString printer;  // empty until chosen
    PrinterSetup setup;
    QStringList installed;
    bool installedListed = false;

    void ChoosePrinter();
    void Run(const QImage& picture, QSize windowSize, int screenDpi, TimedTask::Caller& caller);
};

int ScaleToPrinter(int pixels, int printerDpi, int screenDpi) {
    Q_ASSERT(pixels >= 0 && printerDpi >= 0 && screenDpi > 0);
    const int64_t product = int64_t(pixels) * printerDpi;
    const int64_t quotient = product / screenDpi;
    // Halves up: compare twice the remainder with the divisor.
    if (2 * (product % screenDpi) >= screenDpi) return int(quotient + 1);
    return int(quotient);
}

QByteArray WindowPrinter::PaintPdf(const PrinterSetup& setup, const QImage& picture,
                                   const QRect& target) {
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(QString());
        writer.setPageLayout(setup.page);
        writer.setResolution(setup.dpi);
        QPainter painter;
        if (!painter.begin(&writer)) return {};
        // Qt's PDF output stores images as JPEG unless told otherwise.
        painter.setRenderHint(QPainter::LosslessImageRendering);
        painter.drawImage(target, picture);
        if (!painter.end()) return {};
    }
    return pdf;
}

WindowPrinter::WindowPrinter(std::unique_ptr<PrintSystem> system, PaintJob job,
                             std::chrono::milliseconds timeout)
    : session_(std::make_shared<Session>()), timeout_(timeout) {
    session_->system = std::move(system);
    session_->job = std::move(job);
}

WindowPrinter::~WindowPrinter() = default;

bool WindowPrinter::IsPrinting() const {
    return task_.Busy();
}

QString WindowPrinter::PrinterName() const {
    return IsPrinting() ? QString() : session_->printer;
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
            setup = system->Setup(candidate);
            printer = candidate;
            return;
        }
    }
    throw NoDefaultPrinterError();
}

void WindowPrinter::Session::Run(const QImage& picture, QSize windowSize, int screenDpi,
                                 TimedTask::Caller& caller) {
    if (printer.isEmpty()) ChoosePrinter();
    const QRect target(0, 0, ScaleToPrinter(windowSize.width(), setup.dpi, screenDpi),
                       ScaleToPrinter(windowSize.height(), setup.dpi, screenDpi));
    const QByteArray pdf = job(setup, picture, target);
    if (pdf.isEmpty()) throw PrinterNotValidError();
    if (caller.Abandoned()) return;
    system->Submit(printer, pdf, caller);
}

namespace {

// What the print system would have said is not known: the failure is the wait itself, reported
// as the system's own timeout error with its own text.
SystemError TimedOut() {
    return SystemError(ETIMEDOUT, QString::fromLocal8Bit(strerror(ETIMEDOUT)));
}

}  // namespace

void WindowPrinter::Print(QWidget& window) {
    if (task_.Waiting()) throw PrintingInProgressError();
    // The user has been told about that request; its worker still waits for the print system,
    // which has not answered it yet. One worker at a time: see TimedTask::Run.
    if (task_.Busy()) throw TimedOut();

    // The picture is taken before anything else: whatever happens in the window while the job
    // is sent does not change it.
    const QImage picture = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QSize windowSize = window.size();
    const int screenDpi = window.logicalDpiY();

    const auto outcome = task_.Run(
        [session = session_, picture, windowSize, screenDpi](TimedTask::Caller& caller) {
            session->Run(picture, windowSize, screenDpi, caller);
        },
        timeout_);
    // When the application is quitting, nobody is told.
    if (outcome == TimedTask::Outcome::kTimedOut) throw TimedOut();
    if (outcome == TimedTask::Outcome::kUnconfirmed) throw PrintUnconfirmedError();
}

}  // namespace velmor
