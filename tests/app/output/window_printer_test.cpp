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

#include <atomic>

#include "output_errors.h"
#include "window_printer.h"

using velmor::WindowPrinter;

namespace {

// A print system with settable answers. Its printers write PDF files into pdfFolder; the output
// folder of "missing/Other" does not exist, so that one cannot be opened.
class FakePrintSystem final : public velmor::PrintSystem {
  public:
    explicit FakePrintSystem(const QString& folder) : pdfFolder(folder) {}
    QString defaultName = "TestPDF";
    QStringList installed = {"TestPDF", "missing/Other"};
    int failCode = -1;  // the default-printer query raises SystemError(failCode, failText)
    QString failText;
    QString pdfFolder;
    QSemaphore* gate = nullptr;  // the query waits for it: a print server that does not answer

    QString DefaultPrinterName() override {
        if (gate) gate->acquire();
        if (failCode >= 0) throw velmor::SystemError(failCode, failText);
        return defaultName;
    }
    QStringList InstalledPrinterNames() override { return installed; }
    std::unique_ptr<QPrinter> CreatePrinter(const QString& name) override {
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdfFolder + "/" + name + ".pdf");
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

  private slots:
    void init();
    void printedSize();
    void errors_data();
    void errors();
    void printerKeptAndBusy();
    void printServerNotAnswering();
    void realPrintServerUnreachable();

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QLabel> window_;
};

void WindowPrinterTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    // The main window's size, every pixel different, so that any scaling, shift or lossy
    // compression shows.
    QImage pattern(681, 370, QImage::Format_RGB32);
    for (int y = 0; y < 370; ++y)
        for (int x = 0; x < 681; ++x) pattern.setPixel(x, y, qRgb(x, y, (x * 7) ^ (y * 13)));
    window_ = std::make_unique<QLabel>();
    window_->setPixmap(QPixmap::fromImage(pattern));
    window_->resize(681, 370);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QCOMPARE(window_->logicalDpiY(), 96);
}

// pixels * printer dpi / screen dpi, rounded to nearest with halves away from zero.
void WindowPrinterTest::printedSize() {
    const struct {
        int pixels, printerDpi, screenDpi, dots;
    } cases[] = {{681, 1200, 96, 8513},                           // 8512.5
                 {681, 600, 96, 4256},                            // 4256.25
                 {370, 600, 96, 2313},                            // 2312.5
                 {851, 600, 120, 4255},          {-3, 1, 2, -2},  // -1.5
                 {20000000, 1200, 96, 250000000}};                // beyond 32 bits
    for (const auto& c : cases)
        QCOMPARE(velmor::ScaleToPrinter(c.pixels, c.printerDpi, c.screenDpi), c.dots);
}

void WindowPrinterTest::errors_data() {
    QTest::addColumn<QString>("defaultName");
    QTest::addColumn<int>("failCode");
    QTest::addColumn<QString>("failText");
    QTest::addColumn<QString>("message");
    const QString none = "There is no default printer currently selected", sys = "System Error.  ";
    QTest::newRow("no default printer") << "" << -1 << "" << none;
    QTest::newRow("default not installed") << "Gone" << -1 << "" << none;
    QTest::newRow("not valid") << "missing/Other" << -1 << ""
                               << "Printer selected is not valid";
    QTest::newRow("query fails") << "" << 1282 << "Bad file" << sys + "Code: 1282.\r\nBad file";
    QTest::newRow("trailing spaces, controls, full stops")
        << "" << 5 << "Denied. Retry.\t \r\n." << sys + "Code: 5.\r\nDenied. Retry";
    QTest::newRow("no text left") << "" << 1283 << "." << sys + "Code: 1283.\r\n";
    QTest::newRow("no error number") << "" << 0 << "x"
                                     << "A call to an OS function failed";
}

// Asked twice, the same error each time, and nothing printed.
void WindowPrinterTest::errors() {
    QFETCH(QString, defaultName);
    QFETCH(int, failCode);
    QFETCH(QString, failText);
    QFETCH(QString, message);
    auto system = std::make_unique<FakePrintSystem>(dir_->path());
    system->defaultName = defaultName;
    system->failCode = failCode;
    system->failText = failText;
    WindowPrinter printer(std::move(system));
    QCOMPARE(Outcome(printer, *window_), message);
    QCOMPARE(Outcome(printer, *window_), message);
    QVERIFY(!printer.IsPrinting());
    QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

// The default printer, looked up case-insensitively at the first request, is used under its
// installed name for the whole run, whatever the system's default becomes. While a job is sent,
// the window keeps processing events: a second request fails with "Printing in progress", and
// the first job goes on with the picture and size taken before.
void WindowPrinterTest::printerKeptAndBusy() {
    auto system = std::make_unique<FakePrintSystem>(dir_->path());
    FakePrintSystem& fake = *system;
    fake.defaultName = "testpdf";
    fake.installed = {"Other", "TestPDF"};
    QSemaphore release;
    std::atomic<int> jobs = 0;
    QList<QRect> targets;  // an empty one for a picture not of the window's size
    WindowPrinter printer(std::move(system),
                          [&](QPrinter&, const QImage& image, const QRect& rect) {
                              if (++jobs == 1) release.acquire();  // the first job waits
                              targets.append(image.size() == QSize(681, 370) ? rect : QRect());
                              return true;
                          });
    QString second;
    bool busy = false;
    QObject context;  // ends the timer if the test ends early
    QTimer::singleShot(0, &context, [&] {
        window_->resize(100, 100);
        busy = printer.IsPrinting();
        second = Outcome(printer, *window_);
        release.release();
    });
    QCOMPARE(Outcome(printer, *window_), QString());
    QVERIFY(busy);
    QCOMPARE(second, "Printing in progress");
    QCOMPARE(targets, QList<QRect>{QRect(0, 0, 8513, 4625)});
    QVERIFY(!printer.IsPrinting());

    window_->resize(681, 370);
    fake.defaultName.clear();
    fake.failCode = 1;
    QCOMPARE(Outcome(printer, *window_), QString());
    QCOMPARE(printer.Printer()->outputFileName(), dir_->filePath("TestPDF.pdf"));
    QCOMPARE(targets, QList<QRect>(2, QRect(0, 0, 8513, 4625)));
}

// A print system that does not answer: the window keeps processing events, the request ends
// with a timeout error, further requests are refused while the query hangs, the late answer
// prints nothing, and the printer it chose is used by the next request.
void WindowPrinterTest::printServerNotAnswering() {
    auto system = std::make_unique<FakePrintSystem>(dir_->path());
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
    QCOMPARE(Outcome(printer, *window_), "System Error.  Code: 110.\r\nConnection timed out");
    QVERIFY(clock.elapsed() < 2000);
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    QVERIFY(printer.IsPrinting());
    QCOMPARE(Outcome(printer, *window_), "Printing in progress");
    gate.release(2);
    QTRY_VERIFY(!printer.IsPrinting());
    QVERIFY(!QFile::exists(dir_->filePath("TestPDF.pdf")));  // nothing after the timeout
    QCOMPARE(Outcome(printer, *window_), QString());
    QVERIFY(QFile::exists(dir_->filePath("TestPDF.pdf")));
}

// The real print support with no server at the socket: the print system's status and its own
// text for it, not whatever errno the library saw last.
void WindowPrinterTest::realPrintServerUnreachable() {
    QVERIFY(qEnvironmentVariable("CUPS_SERVER").startsWith("/nonexistent/"));
    WindowPrinter printer(velmor::CreateQtPrintSystem());
    QCOMPARE(Outcome(printer, *window_),
             "System Error.  Code: 1282.\r\nserver-error-service-unavailable");
}

QTEST_MAIN(WindowPrinterTest)
#include "window_printer_test.moc"
