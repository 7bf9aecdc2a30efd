// Printing the window through a fake print system whose printers write PDF files: the printed
// size, the choice of the printer and its errors, a second request while a job is sent, a print
// system that does not answer, and the real print support's status when no server answers. (The
// job's content through CUPS, lossless and pixel for pixel, is checked end to end.)
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

// A print system with settable answers. Its printers write PDF files into folder; the output
// folder of "missing/Other" does not exist, so that one cannot be opened.
struct FakePrintSystem final : velmor::PrintSystem {
    explicit FakePrintSystem(const QString& folder) : folder(folder) {}
    QString folder, defaultName = "TestPDF", failText;
    QStringList installed = {"TestPDF", "missing/Other"};
    int failCode = -1;           // the default-printer query raises SystemError(failCode, failText)
    QSemaphore* gate = nullptr;  // the query waits for it: a print server that does not answer

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

    std::unique_ptr<FakePrintSystem> Fake() {
        return std::make_unique<FakePrintSystem>(dir_.path());
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
            QString defaultName;
            int failCode;
            QString failText, message;
        } rows[] = {{"", -1, "", none},
                    {"Gone", -1, "", none},  // not installed
                    {"missing/Other", -1, "", "Printer selected is not valid"},
                    {"", 1282, "Bad file", "System Error.  Code: 1282.\r\nBad file"},
                    {"", 5, "Denied. Retry.\t \r\n.", "System Error.  Code: 5.\r\nDenied. Retry"},
                    {"", 1283, ".", "System Error.  Code: 1283.\r\n"},
                    {"", 0, "x", "A call to an OS function failed"}};
        for (const auto& row : rows) {
            auto system = Fake();
            system->defaultName = row.defaultName;
            system->failCode = row.failCode;
            system->failText = row.failText;
            WindowPrinter printer(std::move(system));
            QCOMPARE(Outcome(printer, window_), row.message);
            QCOMPARE(Outcome(printer, window_), row.message);
            QVERIFY(!printer.IsPrinting());
            QCOMPARE(Printed(), QStringList());
        }
    }

    // The default printer, looked up case-insensitively at the first request, is used under its
    // installed name for the whole run, whatever the system's default becomes. While a job is
    // sent, the window keeps processing events: a second request fails with "Printing in
    // progress", and the first job goes on with the picture and size taken before.
    void printerKeptAndBusy() {
        auto system = Fake();
        FakePrintSystem& fake = *system;
        fake.defaultName = "testpdf";
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
        QVERIFY(busy);
        QCOMPARE(second, "Printing in progress");
        QCOMPARE(targets, QList<QRect>{QRect(0, 0, 8513, 4625)});
        QVERIFY(!printer.IsPrinting());

        window_.resize(681, 370);
        fake.defaultName.clear();
        fake.failCode = 1;
        QCOMPARE(Outcome(printer, window_), QString());
        QCOMPARE(printer.Printer()->outputFileName(), dir_.filePath("TestPDF.pdf"));
        QCOMPARE(targets, QList<QRect>(2, QRect(0, 0, 8513, 4625)));
    }

    // A print system that does not answer: the window keeps processing events, the request ends
    // with a timeout error, further requests are refused while the query hangs, the late answer
    // prints nothing, and the printer it chose is used by the next request.
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
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
        QCOMPARE(Outcome(printer, window_), "Printing in progress");
        gate.release(2);
        QTRY_VERIFY(!printer.IsPrinting());
        QCOMPARE(Printed(), QStringList());  // nothing after the timeout
        QCOMPARE(Outcome(printer, window_), QString());
        QCOMPARE(Printed(), QStringList{"TestPDF.pdf"});
    }

    // The real print support with no server at the socket: the print system's status and its
    // own text for it, not whatever errno the library saw last.
    void realPrintServerUnreachable() {
        QVERIFY(qEnvironmentVariable("CUPS_SERVER").startsWith("/nonexistent/"));
        WindowPrinter printer(velmor::CreateQtPrintSystem());
        QCOMPARE(Outcome(printer, window_),
                 "System Error.  Code: 1282.\r\nserver-error-service-unavailable");
    }
};

QTEST_MAIN(WindowPrinterTest)
#include "window_printer_test.moc"
