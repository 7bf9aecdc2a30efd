// Printing the window through a fake print system whose printers write PDF files: the printed
// size, the printer's choice and errors, busy, a print system that does not answer, and the real
// print support with no server. (The job's content through CUPS is checked end to end.)
#include <QElapsedTimer>
#include <QLabel>
#include <QPrinter>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "output_errors.h"
#include "window_printer.h"

using velmor::WindowPrinter;

namespace {

// Installs "TestPDF" and "missing/Other" (whose output folder does not exist); the default-printer
// query waits for gate (a server that does not answer), then raises SystemError when failCode >= 0.
struct FakePrintSystem final : velmor::PrintSystem {
    FakePrintSystem(const QString& folder, const QString& name, int code = -1,
                    const QString& text = {})
        : folder(folder), defaultName(name), failText(text), failCode(code) {}
    QString folder, defaultName, failText;
    QStringList installed = {"TestPDF", "missing/Other"};
    int failCode;
    QSemaphore* gate = nullptr;

    QString DefaultPrinterName() override {
        if (gate) gate->acquire();
        if (failCode >= 0) throw velmor::SystemError(failCode, failText);
        return defaultName;
    }
    QStringList InstalledPrinterNames() override { return installed; }
    std::unique_ptr<QPrinter> CreatePrinter(const QString& name) override {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFileName(folder + "/" + name + ".pdf");
        printer->setResolution(1200);
        return printer;
    }
};

QString Outcome(WindowPrinter& printer, QWidget& window) {
    try {
        printer.Print(window);
        return QString();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
}

}  // namespace

class WindowPrinterTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QLabel window_;  // the main window's size

    auto Fake(const QString& name = "TestPDF", int code = -1, const QString& text = {}) {
        return std::make_unique<FakePrintSystem>(dir_.path(), name, code, text);
    }
    QStringList Printed() const { return QDir(dir_.path()).entryList(QDir::Files); }

  private slots:
    void init() {
        for (const QString& name : Printed()) QFile::remove(dir_.filePath(name));
        window_.resize(681, 370);
        window_.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window_));
        QCOMPARE(window_.logicalDpiY(), 96);
    }

    // pixels * printer dpi / screen dpi, rounded to nearest with halves away from zero.
    void printedSize() {
        QCOMPARE(velmor::ScaleToPrinter(681, 600, 96), 4256);             // 4256.25
        QCOMPARE(velmor::ScaleToPrinter(-3, 1, 2), -2);                   // -1.5
        QCOMPARE(velmor::ScaleToPrinter(20000000, 1200, 96), 250000000);  // beyond 32 bits
    }

    // Asked twice, the same error each time, and nothing printed.
    void errors() {
        const QString none = "There is no default printer currently selected";
        const struct {
            QString name;
            int code;
            QString text, message;
        } rows[] = {{"", -1, "", none},
                    {"Gone", -1, "", none},  // not installed
                    {"missing/Other", -1, "", "Printer selected is not valid"},
                    {"", 1282, "Bad file", "System Error.  Code: 1282.\r\nBad file"},
                    {"", 5, "Denied. Retry.\t \r\n.", "System Error.  Code: 5.\r\nDenied. Retry"},
                    {"", 1283, ".", "System Error.  Code: 1283.\r\n"},
                    {"", 0, "x", "A call to an OS function failed"}};
        for (const auto& row : rows) {
            WindowPrinter printer(Fake(row.name, row.code, row.text));
            QCOMPARE(Outcome(printer, window_), row.message);
            QCOMPARE(Outcome(printer, window_), row.message);
            QVERIFY(!printer.IsPrinting());
            QCOMPARE(Printed(), QStringList());
        }
    }

    // The default printer, found case-insensitively at the first request, is kept under its
    // installed name for the whole run. While a job is sent, events are processed; a second request
    // fails, and the first job goes on with the picture and size taken before.
    void printerKeptAndBusy() {
        auto system = Fake("testpdf");
        FakePrintSystem& fake = *system;
        fake.installed = {"Other", "TestPDF"};
        QSemaphore release;
        QList<QRect> targets;  // an empty one for a picture not of the window's size
        WindowPrinter printer(std::move(system),
                              [&](QPrinter&, const QImage& image, const QRect& rect) {
                                  if (targets.isEmpty()) release.acquire();  // the first job waits
                                  targets.append(image.size() == QSize(681, 370) ? rect : QRect());
                                  return true;
                              });
        QString second;
        bool busy = false;
        QTimer::singleShot(0, this, [&] {
            window_.resize(100, 100);
            busy = printer.IsPrinting();
            second = Outcome(printer, window_);
            release.release();
        });
        QCOMPARE(Outcome(printer, window_), QString());
        QVERIFY(busy && !printer.IsPrinting());
        QCOMPARE(second, "Printing in progress");
        window_.resize(681, 370);
        fake.failCode = 1;
        QCOMPARE(Outcome(printer, window_), QString());
        QCOMPARE(printer.Printer()->outputFileName(), dir_.filePath("TestPDF.pdf"));
        QCOMPARE(targets, QList<QRect>(2, QRect(0, 0, 8513, 4625)));
    }

    // A request ends with a timeout while events go on; further requests are refused while the
    // query hangs; the late answer prints nothing, and its printer serves the next request.
    void printServerNotAnswering() {
        auto system = Fake();
        QSemaphore gate;
        system->gate = &gate;
        WindowPrinter printer(std::move(system), &WindowPrinter::PaintPicture,
                              std::chrono::milliseconds(300));
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(Outcome(printer, window_), "System Error.  Code: 110.\r\nConnection timed out");
        QVERIFY2(clock.elapsed() < 2000 && ticks >= 5, qPrintable(QString::number(ticks)));
        QCOMPARE(Outcome(printer, window_), "Printing in progress");
        gate.release(2);
        QTRY_VERIFY(!printer.IsPrinting());
        QCOMPARE(Printed(), QStringList());
        QCOMPARE(Outcome(printer, window_), QString());
        QCOMPARE(Printed(), QStringList{"TestPDF.pdf"});
    }

    // No server at the socket: the print system's status and text, not the library's last errno.
    void realPrintServerUnreachable() {
        QVERIFY(qEnvironmentVariable("CUPS_SERVER").startsWith("/nonexistent/"));
        WindowPrinter printer(velmor::CreateQtPrintSystem());
        QCOMPARE(Outcome(printer, window_),
                 "System Error.  Code: 1282.\r\nserver-error-service-unavailable");
    }
};

QTEST_MAIN(WindowPrinterTest)
#include "window_printer_test.moc"
