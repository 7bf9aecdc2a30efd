// Printing the window: the printed size, the choice of the printer and its errors, a second
// request while a job is sent, and the real drawing into Qt's PDF output, whose image must hold
// the window's pixels unchanged.
#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "output_errors.h"
#include "window_printer.h"

using velmor::ScaleToPrinter;
using velmor::WindowPrinter;

namespace {

// A print system with settable answers that counts how it is asked. Its printers write PDF
// files into a folder.
class FakePrintSystem final : public velmor::PrintSystem {
  public:
    QString defaultName;
    QStringList installed;
    bool failQuery = false;
    QString pdfFolder;
    int resolution = 1200;
    int defaultQueries = 0;
    int listings = 0;
    QStringList created;

    QString DefaultPrinterName() override {
        ++defaultQueries;
        if (failQuery) throw velmor::SystemError(1282, "Bad file descriptor");
        return defaultName;
    }
    QStringList InstalledPrinterNames() override {
        ++listings;
        return installed;
    }
    std::unique_ptr<QPrinter> CreatePrinter(const QString& name) override {
        created.append(name);
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdfFolder + "/" + name + ".pdf");
        printer->setResolution(resolution);
        printer->setDocName(QString());
        return printer;
    }
};

// A paint job that records what it was given and draws nothing.
struct RecordedJob {
    int runs = 0;
    QImage picture;
    QRect target;
    bool opens = true;

    WindowPrinter::PaintJob Job() {
        return [this](QPrinter&, const QImage& image, const QRect& rect) {
            ++runs;
            picture = image;
            target = rect;
            return opens;
        };
    }
};

// A window of the main window's size with a recognisable picture: a fill, a one-pixel frame of
// another colour and a gradient, so that any scaling, shift or lossy compression shows.
class PatternWindow : public QWidget {
  public:
    PatternWindow() { setFixedSize(681, 370); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(240, 240, 240));
        for (int x = 0; x < 256; ++x) painter.fillRect(40 + x, 40, 1, 200, QColor(x, 255 - x, 77));
        painter.setPen(QColor(0, 0, 255));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        painter.fillRect(600, 300, 3, 3, QColor(255, 0, 0));
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

// The data of the stream that follows the dictionary at offset, inflated. Qt gives stream
// lengths as separate objects, so the data is taken up to "endstream".
QByteArray StreamAfter(const QByteArray& pdf, qsizetype dictionaryStart) {
    qsizetype start = pdf.indexOf("stream", dictionaryStart) + 6;
    if (pdf[start] == '\r') ++start;
    if (pdf[start] == '\n') ++start;
    qsizetype end = pdf.indexOf("endstream", start);
    if (end > start && pdf[end - 1] == '\n') --end;
    if (end > start && pdf[end - 1] == '\r') --end;
    const QByteArray raw = pdf.mid(start, end - start);
    // qUncompress wants zlib data behind a big-endian size hint.
    const quint32 hint = 8 * 1024 * 1024;
    QByteArray withHint;
    for (int shift = 24; shift >= 0; shift -= 8) withHint.append(char((hint >> shift) & 0xff));
    return qUncompress(withHint + raw);
}

}  // namespace

class WindowPrinterTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void printedSize_data();
    void printedSize();
    void systemErrorMessage_data();
    void systemErrorMessage();
    void noDefaultPrinter();
    void defaultPrinterNotInstalled();
    void queryFailure();
    void printerChosenOnceAndKept();
    void printerCannotBeOpened();
    void pictureAndTarget_data();
    void pictureAndTarget();
    void secondRequestWhileSending();
    void pdfHoldsTheWindowLosslessly();

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<PatternWindow> window_;
};

void WindowPrinterTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    window_ = std::make_unique<PatternWindow>();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QCOMPARE(window_->logicalDpiY(), 96);
}

void WindowPrinterTest::printedSize_data() {
    QTest::addColumn<int>("pixels");
    QTest::addColumn<int>("printerDpi");
    QTest::addColumn<int>("screenDpi");
    QTest::addColumn<int>("dots");
    QTest::newRow("681 at 1200 dpi, 8512.5") << 681 << 1200 << 96 << 8513;
    QTest::newRow("370 at 1200 dpi") << 370 << 1200 << 96 << 4625;
    QTest::newRow("681 at 600 dpi, 4256.25") << 681 << 600 << 96 << 4256;
    QTest::newRow("370 at 600 dpi, 2312.5") << 370 << 600 << 96 << 2313;
    QTest::newRow("681 at 72 dpi, 510.75") << 681 << 72 << 96 << 511;
    QTest::newRow("370 at 72 dpi, 277.5") << 370 << 72 << 96 << 278;
    QTest::newRow("120 dpi screen") << 851 << 600 << 120 << 4255;
    QTest::newRow("negative half away from zero") << -3 << 1 << 2 << -2;
    QTest::newRow("negative below half") << -5 << 1 << 4 << -1;
    QTest::newRow("product beyond 32 bits") << 20000000 << 1200 << 96 << 250000000;
    QTest::newRow("no screen dpi") << 681 << 600 << 0 << -1;
}

void WindowPrinterTest::printedSize() {
    QFETCH(int, pixels);
    QFETCH(int, printerDpi);
    QFETCH(int, screenDpi);
    QFETCH(int, dots);
    QCOMPARE(ScaleToPrinter(pixels, printerDpi, screenDpi), dots);
}

void WindowPrinterTest::systemErrorMessage_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("plain") << 1282 << "Bad file descriptor"
                           << "System Error.  Code: 1282.\r\nBad file descriptor";
    QTest::newRow("trailing dots, spaces, breaks") << 5 << "Access is denied. \r\n.\t"
                                                   << "System Error.  Code: 5.\r\nAccess is denied";
    QTest::newRow("inner full stop stays") << 7 << "a.b."
                                           << "System Error.  Code: 7.\r\na.b";
    QTest::newRow("no text") << 1283 << ""
                             << "System Error.  Code: 1283.\r\n";
    QTest::newRow("only a full stop") << 1283 << "."
                                      << "System Error.  Code: 1283.\r\n";
    QTest::newRow("no error number") << 0 << "whatever"
                                     << "A call to an OS function failed";
}

void WindowPrinterTest::systemErrorMessage() {
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QCOMPARE(QString::fromStdString(velmor::SystemErrorMessage(code, text)), message);
}

void WindowPrinterTest::noDefaultPrinter() {
    auto system = std::make_unique<FakePrintSystem>();
    FakePrintSystem& fake = *system;
    fake.installed = {"TestPDF"};
    RecordedJob job;
    WindowPrinter printer(std::move(system), job.Job());
    // Every request asks again, and fails again, without printing.
    for (int i = 1; i <= 2; ++i) {
        QCOMPARE(Outcome(printer, *window_), "There is no default printer currently selected");
        QCOMPARE(fake.defaultQueries, i);
    }
    QCOMPARE(job.runs, 0);
    QVERIFY(!printer.Printer());
    QVERIFY(!printer.IsPrinting());
}

void WindowPrinterTest::defaultPrinterNotInstalled() {
    auto system = std::make_unique<FakePrintSystem>();
    FakePrintSystem& fake = *system;
    fake.defaultName = "Gone";
    fake.installed = {"TestPDF", "Other"};
    RecordedJob job;
    WindowPrinter printer(std::move(system), job.Job());
    QCOMPARE(Outcome(printer, *window_), "There is no default printer currently selected");
    QCOMPARE(Outcome(printer, *window_), "There is no default printer currently selected");
    // The list of installed printers is made once.
    QCOMPARE(fake.listings, 1);
    QCOMPARE(fake.created, QStringList());
    QCOMPARE(job.runs, 0);
}

void WindowPrinterTest::queryFailure() {
    auto system = std::make_unique<FakePrintSystem>();
    system->failQuery = true;
    RecordedJob job;
    WindowPrinter printer(std::move(system), job.Job());
    QCOMPARE(Outcome(printer, *window_), "System Error.  Code: 1282.\r\nBad file descriptor");
    QCOMPARE(job.runs, 0);
}

void WindowPrinterTest::printerChosenOnceAndKept() {
    auto system = std::make_unique<FakePrintSystem>();
    FakePrintSystem& fake = *system;
    fake.pdfFolder = dir_->path();
    fake.defaultName = "testpdf";
    fake.installed = {"Other", "TestPDF"};
    RecordedJob job;
    WindowPrinter printer(std::move(system), job.Job());

    QCOMPARE(Outcome(printer, *window_), QString());
    // Found case-insensitively, and used under its installed name.
    QCOMPARE(fake.created, QStringList{"TestPDF"});
    QVERIFY(printer.Printer());

    // Later changes of the system's default are not noticed.
    fake.defaultName.clear();
    fake.failQuery = true;
    QCOMPARE(Outcome(printer, *window_), QString());
    QCOMPARE(job.runs, 2);
    QCOMPARE(fake.defaultQueries, 1);
    QCOMPARE(fake.listings, 1);
    QCOMPARE(fake.created.size(), 1);
}

void WindowPrinterTest::printerCannotBeOpened() {
    auto system = std::make_unique<FakePrintSystem>();
    system->pdfFolder = dir_->path();
    system->defaultName = "TestPDF";
    system->installed = {"TestPDF"};
    RecordedJob job;
    job.opens = false;
    WindowPrinter printer(std::move(system), job.Job());
    QCOMPARE(Outcome(printer, *window_), "Printer selected is not valid");
    QVERIFY(!printer.IsPrinting());

    // The real job on a printer whose output cannot be created.
    auto unwritable = std::make_unique<FakePrintSystem>();
    unwritable->pdfFolder = dir_->filePath("missing");
    unwritable->defaultName = "TestPDF";
    unwritable->installed = {"TestPDF"};
    WindowPrinter real(std::move(unwritable));
    QCOMPARE(Outcome(real, *window_), "Printer selected is not valid");
}

void WindowPrinterTest::pictureAndTarget_data() {
    QTest::addColumn<int>("resolution");
    QTest::addColumn<QRect>("target");
    QTest::newRow("1200 dpi") << 1200 << QRect(0, 0, 8513, 4625);
    QTest::newRow("600 dpi") << 600 << QRect(0, 0, 4256, 2313);
    QTest::newRow("72 dpi") << 72 << QRect(0, 0, 511, 278);
}

void WindowPrinterTest::pictureAndTarget() {
    QFETCH(int, resolution);
    QFETCH(QRect, target);
    auto system = std::make_unique<FakePrintSystem>();
    system->pdfFolder = dir_->path();
    system->defaultName = "TestPDF";
    system->installed = {"TestPDF"};
    system->resolution = resolution;
    RecordedJob job;
    WindowPrinter printer(std::move(system), job.Job());

    // Covered by another window: the picture is rendered, not taken from the screen.
    QWidget cover;
    cover.setGeometry(window_->geometry());
    cover.setStyleSheet("background: black");
    cover.show();
    QVERIFY(QTest::qWaitForWindowExposed(&cover));

    QCOMPARE(Outcome(printer, *window_), QString());
    QCOMPARE(job.runs, 1);
    QCOMPARE(job.target, target);
    QCOMPARE(job.picture.size(), QSize(681, 370));
    QCOMPARE(job.picture.format(), QImage::Format_RGB32);
    QCOMPARE(job.picture.pixelColor(0, 0), QColor(0, 0, 255));
    QCOMPARE(job.picture.pixelColor(1, 1), QColor(240, 240, 240));
    QCOMPARE(job.picture.pixelColor(601, 301), QColor(255, 0, 0));
    QCOMPARE(job.picture.pixelColor(40 + 200, 100), QColor(200, 55, 77));
}

// While a job is sent, the window keeps processing events: a timer fires, a second request
// fails with "Printing in progress", and the first job then finishes unchanged.
void WindowPrinterTest::secondRequestWhileSending() {
    auto system = std::make_unique<FakePrintSystem>();
    system->pdfFolder = dir_->path();
    system->defaultName = "TestPDF";
    system->installed = {"TestPDF"};
    QSemaphore release;
    int runs = 0;
    bool jobSawRelease = false;
    WindowPrinter printer(std::move(system), [&](QPrinter&, const QImage&, const QRect&) {
        ++runs;
        // Give up after a while instead of hanging when events are not processed.
        jobSawRelease = release.tryAcquire(1, 10000);
        return true;
    });

    QString second;
    bool busyDuringJob = false;
    QTimer::singleShot(50, [&] {
        busyDuringJob = printer.IsPrinting();
        second = Outcome(printer, *window_);
        release.release();
    });
    QCOMPARE(Outcome(printer, *window_), QString());
    QVERIFY(jobSawRelease);
    QVERIFY(busyDuringJob);
    QCOMPARE(second, "Printing in progress");
    QCOMPARE(runs, 1);
    QVERIFY(!printer.IsPrinting());

    // And the next request after it prints again.
    release.release();
    QCOMPARE(Outcome(printer, *window_), QString());
    QCOMPARE(runs, 2);
}

// The real drawing, into Qt's PDF output as CUPS jobs get it: one page, one image of 681 x 370
// pixels stored with Flate (not JPEG) whose pixels are the window's. (Where it lands on the page
// is checked on a real CUPS queue by the end-to-end test.)
void WindowPrinterTest::pdfHoldsTheWindowLosslessly() {
    auto system = std::make_unique<FakePrintSystem>();
    system->pdfFolder = dir_->path();
    system->defaultName = "TestPDF";
    system->installed = {"TestPDF"};
    WindowPrinter printer(std::move(system));
    QCOMPARE(Outcome(printer, *window_), QString());

    QFile file(dir_->filePath("TestPDF.pdf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray pdf = file.readAll();
    QVERIFY(pdf.startsWith("%PDF-"));
    QCOMPARE(pdf.count("/Type /Page\n") + pdf.count("/Type /Page "), 1);
    QVERIFY(pdf.contains("/Count 1"));
    QVERIFY(!pdf.contains("/DCTDecode"));
    QCOMPARE(pdf.count("/Subtype /Image"), 1);

    const qsizetype imageDict = pdf.lastIndexOf("<<", pdf.indexOf("/Subtype /Image"));
    const QByteArray dict = pdf.mid(imageDict, pdf.indexOf("stream", imageDict) - imageDict);
    QVERIFY2(dict.contains("/Width 681") && dict.contains("/Height 370"), dict.constData());
    QVERIFY(dict.contains("/ColorSpace /DeviceRGB") && dict.contains("/BitsPerComponent 8"));
    QVERIFY(dict.contains("/Filter /FlateDecode"));
    QVERIFY(!dict.contains("/SMask"));
    const QByteArray samples = StreamAfter(pdf, imageDict);
    QCOMPARE(samples.size(), 681 * 370 * 3);
    const QImage expected = window_->grab().toImage().convertToFormat(QImage::Format_RGB888);
    int differingRows = 0;
    for (int y = 0; y < 370; ++y) {
        const QByteArray row = samples.mid(qsizetype(y) * 681 * 3, 681 * 3);
        if (row != QByteArray::fromRawData(reinterpret_cast<const char*>(expected.constScanLine(y)),
                                           681 * 3))
            ++differingRows;
    }
    QCOMPARE(differingRows, 0);
}

QTEST_MAIN(WindowPrinterTest)
#include "window_printer_test.moc"
