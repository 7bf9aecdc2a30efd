// Saving and printing without the window: the report file's bytes (written down here, as the
// system's converters differ between releases); writing it, keeping an old file's mode and
// identity, and on failure its bytes, with nothing left behind; printing through a fake print
// system whose printers write PDF files, and the real one with no server.
#include <QLabel>
#include <QtTest>

#include <acl/libacl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/acl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include "output_errors.h"
#include "report_encoding.h"
#include "report_file.h"
#include "window_printer.h"

using namespace Qt::StringLiterals;
using velmor::WindowPrinter;

enum Setup {
    kNothing,
    kFolder,
    kLocked,
    kSizeLimit,
    kFullDisk,
    kFifo,
    kLink,
    kLinkLimit,
    kLinkFull,
    kOwner,
    kAclFolder
};

namespace {

// The test's own mount table, set up before any thread starts, so that a tmpfs mounted for a
// test is seen by no other process.
const bool kPrivateMounts =
    unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;

// Installs "missing/Other" (which cannot be used) and "TestPDF", whose jobs are written to files
// once answered; the default-printer query and the submission wait for gate (a server that does
// not answer), then the query raises SystemError when failCode >= 0.
struct FakePrintSystem final : velmor::PrintSystem {
    FakePrintSystem(const QString& folder, const QString& name, int code = -1,
                    const QString& text = {})
        : folder(folder), defaultName(name), failText(text), failCode(code) {}
    QString folder, defaultName, failText;
    int failCode;
    QSemaphore* gate = nullptr;

    QString DefaultPrinterName() override {
        if (gate) gate->acquire();
        if (failCode >= 0) throw velmor::SystemError(failCode, failText);
        return defaultName;
    }
    QStringList InstalledPrinterNames() override { return {"missing/Other", "TestPDF"}; }
    velmor::PrinterSetup Setup(const QString& name) override {
        if (name.contains(u'/')) throw velmor::PrinterNotValidError();
        return {QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, {}), 1200};
    }
    void Submit(const QString& name, const QByteArray& pdf,
                velmor::TimedTask::Caller& caller) override {
        if (gate) gate->acquire();
        QFile file(folder + "/" + name + ".pdf");
        if (caller.Answer() && file.open(QIODevice::WriteOnly)) file.write(pdf);
    }
};

// A row that cannot run says so: ./run-tests lists the reason after CTest's summary.
void NoteSkipped(const char* reason) {
    const QString skipped = qEnvironmentVariable("VELMOR_SKIPPED_DIR");
    QFile note(skipped + "/output_test.txt");
    if (!skipped.isEmpty() && QDir().mkpath(skipped) && note.open(QIODevice::Append))
        note.write("output_test "_ba + QTest::currentTestFunction() + '(' +
                   QTest::currentDataTag() + "): " + reason + '\n');
}

// Gives the file an ACL entry and a user attribute; false where the file system has neither.
bool Decorate(const QByteArray& name) {
    acl_t acl = acl_from_text("u::rw-,u:nobody:rw-,g::rw-,m::rw-,o::r--");
    const bool set = acl && acl_set_file(name.constData(), ACL_TYPE_ACCESS, acl) == 0 &&
                     lsetxattr(name.constData(), "user.tag", "blue", 4, 0) == 0;
    acl_free(acl);
    return set;
}

// What a file carries besides its bytes, as one text: mode, owner, group, ACL, attributes.
QString Carried(const QByteArray& name) {
    struct stat st = {};
    if (lstat(name.constData(), &st) != 0) return "missing";
    QString text = QString::asprintf("%o %u:%u", st.st_mode & 07777, st.st_uid, st.st_gid);
    acl_t acl = acl_get_file(name.constData(), ACL_TYPE_ACCESS);
    char* entries = acl ? acl_to_any_text(acl, nullptr, ',', 0) : nullptr;
    text += u' ' + QString::fromUtf8(entries);
    acl_free(entries);
    acl_free(acl);
    char names[1024] = {}, value[256] = {};
    const ssize_t size = llistxattr(name.constData(), names, sizeof names);
    for (const QByteArray& key : QByteArray(names, std::max<ssize_t>(size, 0)).split('\0'))
        if (key.startsWith("user.")) {
            const ssize_t length = lgetxattr(name.constData(), key, value, sizeof value);
            text += u' ' + key + u'=' + QByteArray(value, std::max<ssize_t>(length, 0));
        }
    return text;
}

// Sets one capability in the thread's effective set (it stays permitted, so it can come back).
bool SetCapability(int capability, bool on) {
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0) return false;
    const __u32 bit = 1u << capability;
    data[0].effective = on ? data[0].effective | bit : data[0].effective & ~bit;
    return syscall(SYS_capset, &header, data) == 0;
}

// The error's message, or an empty text for success.
QString Outcome(const std::function<void()>& action) {
    try {
        action();
        return QString();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
}

}  // namespace

class OutputTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QLabel window_;  // the main window's size

    auto Fake(const QString& name = "TestPDF", int code = -1, const QString& text = {}) {
        return std::make_unique<FakePrintSystem>(dir_.path(), name, code, text);
    }
    QString Print(WindowPrinter& printer) {
        return Outcome([&] { printer.Print(window_); });
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
    // Exact bytes, no byte-order mark or NUL (the empty box: window test); the rest: the digest.
    void encoding() {
        const std::pair<QString, QByteArray> rows[] = {
            // No break added at the end; CR LF is one break, LF CR two; one after four bytes.
            {u"a\nb\r\nc\rd\n\rµ\u2029中\u2028"_s,
             "61 0d 0a 62 0d 0a 63 0d 0a 64 0d 0a 0d 0a 81 30 85 38 0d 0a d6 d0 0d 0a"},
            {u"R1（omh）："_s, "52 31 a3 a8 6f 6d 68 a3 a9 a3 ba"},
            // Astral characters, and runs in both encodings.
            {u"😀\U00010000\U0010ffffVµ中😀😀x²Ω"_s,
             "94 39 fc 36 90 30 81 30 e3 32 9a 35 56 81 30 85 38 d6 d0 94 39 fc 36 94 39 fc 36 "
             "78 81 30 85 35 a6 b8"},
            {QString(QChar(0xd800)) + u'a' + QChar(0xdc00) + QChar(0xdbff), "3f 61 3f 3f"}};
        for (const auto& [text, hex] : rows)
            QCOMPARE(velmor::EncodeReportText(text).toHex(' '), hex);
        // Every BMP character but surrogates and breaks: code page 936's user-defined areas
        // (U+E7C7 too), its one-byte euro, not GB18030-2022's changes, U+FEFF in four bytes.
        // Same on ICU 72/76.
        QString all;
        for (char16_t c = 1; c != 0; ++c)
            if (!QChar::isSurrogate(c) && !u"\n\r\u2028\u2029"_s.contains(QChar(c))) all += c;
        all += u"😀\U00010000\U0010ffff"_s;
        const QByteArray bytes = velmor::EncodeReportText(all);
        // The whole text as each character alone gives it: the first that differs is named.
        qsizetype at = 0;
        for (const char32_t c : all.toUcs4()) {
            const QByteArray alone = velmor::EncodeReportCharacter(c);
            if (bytes.sliced(at).startsWith(alone))
                at += alone.size();
            else
                QFAIL(qPrintable(QString::asprintf("U+%04X: ", unsigned(c)) +
                                 bytes.mid(at, 4).toHex(' ') + " for " + alone.toHex(' ')));
        }
        QCOMPARE(at, bytes.size());
        QCOMPARE(QCryptographicHash::hash(bytes.first(205509), QCryptographicHash::Sha256).toHex(),
                 "6884719b8ad05f38e271524bfb3d3b9345a55f25e3016641efb11d145e2697b9"_ba);
    }

    void write_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("setup");
        QTest::addColumn<int>("oldMode");  // 0: no old file
        QTest::addColumn<QString>("message");
        const QString cannot = "Cannot create file <path>", stream = "Stream write error";
        // Only the folder forbids a new file (root runs as nobody): rewritten in place.
        QTest::newRow("locked folder") << "locked/r.txt" << +kLocked << 0666 << "";
        QTest::newRow("FIFO") << "r.txt" << +kFifo << 0 << cannot;
        QTest::newRow("hard link, both names see it") << "r.txt" << +kLink << 0644 << "";
        QTest::newRow("other owner kept") << "r.txt" << +kOwner << 0644 << "";
        QTest::newRow("read-only file") << "r.txt" << +kNothing << 0444 << cannot;
        QTest::newRow("name too long") << QString(300, u'r') << +kNothing << 0 << cannot;
        QTest::newRow("a folder at the path") << "f.txt" << +kFolder << 0 << cannot;
        // More than the write buffer fails in write(); a short report on a full disk when flushed.
        QTest::newRow("size limit") << "r.txt" << +kSizeLimit << 0644 << stream;
        // Rewritten in place: the room is reserved before the old bytes are touched.
        QTest::newRow("hard link, size limit") << "r.txt" << +kLinkLimit << 0644 << stream;
        QTest::newRow("hard link, full disk") << "tiny/r.txt" << +kLinkFull << 0644 << stream;
        QTest::newRow("full disk") << "tiny/r.txt" << +kFullDisk << 0644 << stream;
    }
    // A user, a limit or a mount set up here is undone when the row ends.
    void write() {
        QFETCH(QString, name);
        QFETCH(int, setup);
        QFETCH(int, oldMode);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(name), folder = QFileInfo(path).path();
        const QByteArray folderName = QFile::encodeName(folder), pathName = QFile::encodeName(path);
        const QByteArray linkName = pathName + ".link", old = "old report, longer than the new\r\n";
        const bool link = setup == kLink || setup == kLinkLimit || setup == kLinkFull;
        const bool full = setup == kFullDisk || setup == kLinkFull;
        const QByteArray bytes = setup == kSizeLimit || setup == kLinkLimit || setup == kLinkFull
                                     ? QByteArray(256 * 1024, 'x')
                                     : "\xb1\xbe\xc8\xed\r\n"_ba;
        message.replace("<path>", path);
        rlimit limit = {};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &limit) == 0);
        const auto undo = qScopeGuard([=] {
            QVERIFY(seteuid(getuid()) == 0);
            setrlimit(RLIMIT_FSIZE, &limit);
            umount(folderName.constData());
        });
        QVERIFY(QDir().mkpath(setup == kFolder ? path : folder));
        const char* cannotRun =
            full && (!kPrivateMounts ||
                     mount("tmpfs", folderName.constData(), "tmpfs", 0, "size=64k") != 0)
                ? "cannot mount a tmpfs (needs root)"
            : setup == kOwner && geteuid() != 0 ? "cannot give a file another owner (needs root)"
                                                : nullptr;
        if (cannotRun) {
            NoteSkipped(cannotRun);
            QSKIP(cannotRun);
        }
        QFile file(path), filler(folder + "/filler");
        if (oldMode) {
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
            file.close();
            QCOMPARE(chmod(pathName.constData(), mode_t(oldMode)), 0);
        }
        const rlimit small = {16 * 1024, limit.rlim_max};
        QVERIFY(setup != kFifo || mkfifo(pathName.constData(), 0644) == 0);
        QVERIFY(!link || ::link(pathName.constData(), linkName.constData()) == 0);
        QVERIFY(setup != kOwner || chown(pathName.constData(), 65534, 65534) == 0);
        signal(SIGXFSZ, SIG_IGN);  // as the program does
        QVERIFY((setup != kSizeLimit && setup != kLinkLimit) ||
                setrlimit(RLIMIT_FSIZE, &small) == 0);
        QVERIFY(!full || filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.isOpen() && filler.write(QByteArray(4096, 'f')) == 4096) {
        }
        if (setup == kLocked) {
            QCOMPARE(chmod(folderName.constData(), 0555), 0);
            QCOMPARE(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
            QVERIFY(geteuid() != 0 || seteuid(65534) == 0);
        }
        const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden);
        QCOMPARE(Outcome([&] { velmor::WriteReportFile(path, bytes); }), message);
        struct stat st = {};
        lstat(pathName.constData(), &st);  // on failure, zeros that no check accepts
        if (oldMode) {
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), message.isEmpty() ? bytes : old);
            QCOMPARE(st.st_mode & 07777, mode_t(oldMode));
        }
        QVERIFY(setup != kLink || st.st_nlink == 2);
        QVERIFY(setup != kOwner || (st.st_uid == 65534 && st.st_gid == 65534));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden), before);
    }

    // Saving over a file with an ACL entry (or none, in a folder whose default ACL a new file
    // takes) and a user attribute: it keeps all it carries, replaced by rename where a new file can
    // carry it all, else rewritten in place (root without CAP_FSETID: the kernel would drop
    // set-group-ID from the new file without an error). Then each system call of the writer fails
    // once (EIO): a file with one name is rewritten in place instead; a failure while replacing
    // leaves the old file as it was, one in place what the row names. Nothing is left beside the
    // file.
    void saveOver_data() {
        QTest::addColumn<int>("setup");
        QTest::addColumn<QByteArray>("call");  // the one that fails, if any
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("remains");
        const QByteArray old = "old report, longer than the new\r\n", now = "new\r\n";
        const QString stream = "Stream write error", cannot = "Cannot create file <path>";
        QTest::newRow("set-ID and sticky bits") << +kNothing << ""_ba << 07664 << "" << now;
        QTest::newRow("set-group-ID, group not the saver's")
            << +kOwner << ""_ba << 02664 << "" << now;
        QTest::newRow("no ACL in a folder with one") << +kAclFolder << ""_ba << 0640 << "" << now;
        QTest::newRow("no ACL, fremovexattr")
            << +kAclFolder << "fremovexattr"_ba << 0640 << "" << now;
        for (const char* call : {"open", "fchown", "llistxattr", "acl_get_file", "acl_set_fd",
                                 "lgetxattr", "fsetxattr", "fchmod", "fstat"})
            QTest::addRow("renamed, %s", call)
                << +kNothing << QByteArray(call) << 0640 << "" << now;
        const std::tuple<bool, const char*, QString, QByteArray> rows[] = {
            {false, "write", stream, old},
            {false, "fsync", stream, old},
            {false, "close", stream, old},
            {false, "rename", cannot, old},
            {true, "open", cannot, old},
            {true, "fstat", cannot, old},
            {true, "posix_fallocate", stream, old},
            {true, "write", stream, ""},  // cut to what was written
            {true, "ftruncate", stream, now + old.sliced(now.size())},
            {true, "close", stream, now}};
        for (const auto& [linked, call, message, remains] : rows)
            QTest::addRow("%s, %s", linked ? "in place" : "renamed", call)
                << (linked ? +kLink : +kNothing) << QByteArray(call) << 0640 << message << remains;
    }
    void saveOver() {
        QFETCH(int, setup);
        QFETCH(QByteArray, call);
        QFETCH(int, mode);
        QFETCH(QString, message);
        QFETCH(QByteArray, remains);
        QTemporaryDir dir;
        const QString path = dir.filePath("r.txt");
        const QByteArray name = QFile::encodeName(path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) &&
                file.write("old report, longer than the new\r\n") > 0);
        file.close();
        const bool foreign = setup == kOwner;
        const char* cannotRun =
            !Decorate(name) ? "no ACLs or user attributes here"
            : foreign && (geteuid() != 0 || chown(name.constData(), 65534, 65534) != 0)
                ? "cannot give a file another owner (needs root)"
            : chmod(name.constData(), mode_t(mode)) != 0   ? "cannot set the mode"
            : foreign && !SetCapability(CAP_FSETID, false) ? "cannot drop CAP_FSETID"
                                                           : nullptr;
        const auto undo = qScopeGuard([] {
            SetCapability(CAP_FSETID, true);
            velmor::SetFileCallFailure({});
        });
        if (cannotRun) {
            NoteSkipped(cannotRun);
            QSKIP(cannotRun);
        }
        QVERIFY(setup != kLink || link(name.constData(), name + ".link") == 0);
        acl_t acl = acl_from_text("u::rwx,u:nobody:rwx,g::r-x,m::rwx,o::---");
        QVERIFY(setup != kAclFolder ||
                (acl_set_file(QFile::encodeName(dir.path()), ACL_TYPE_DEFAULT, acl) == 0 &&
                 lremovexattr(name.constData(), "system.posix_acl_access") == 0));
        acl_free(acl);
        const QString before = Carried(name);
        struct stat old = {}, now = {};
        QCOMPARE(stat(name.constData(), &old), 0);
        const QStringList entries = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
        QByteArrayList calls;
        velmor::SetFileCallFailure([&](const char* made) {
            calls << made;
            return made == call && calls.count(call) == 1 ? EIO : 0;
        });
        const QString outcome = Outcome([&] { velmor::WriteReportFile(path, "new\r\n"); });
        QVERIFY2(call.isEmpty() || calls.contains(call), qPrintable("made: " + calls.join(' ')));
        QCOMPARE(outcome, message.replace("<path>", path));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), remains);
        // Written by a caller outside its group, a file loses set-group-ID in place too (Linux
        // 6.2 and later).
        QCOMPARE(Carried(name).section(u' ', foreign), before.section(u' ', foreign));
        QCOMPARE(stat(name.constData(), &now), 0);
        QCOMPARE(now.st_ino != old.st_ino, setup != kOwner && setup != kLink && call.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden), entries);
    }

    void printedSize() {
        QCOMPARE(velmor::ScaleToPrinter(681, 600, 96), 4256);             // 4256.25
        QCOMPARE(velmor::ScaleToPrinter(-3, 1, 2), -2);                   // -1.5
        QCOMPARE(velmor::ScaleToPrinter(20000000, 1200, 96), 250000000);  // beyond 32 bits
    }

    // Asked twice, the same error each time, and nothing printed. No server at the real print
    // system's socket: its status and text, not the library's last errno.
    void errors() {
        const QString none = "There is no default printer currently selected";
        const std::tuple<QString, int, QString, QString> rows[] = {
            {"Gone", -1, "", none},  // not installed (no default at all: end to end)
            {"missing/Other", -1, "", "Printer selected is not valid"},
            {"", 5, "Denied. Retry.\t \r\n.", "System Error.  Code: 5.\r\nDenied. Retry"},
            {"", 1283, ".", "System Error.  Code: 1283.\r\n"},
            {"", 0, "x", "A call to an OS function failed"}};
        for (const auto& [name, code, text, message] : rows) {
            WindowPrinter printer(Fake(name, code, text));
            QCOMPARE(Print(printer), message);
            QCOMPARE(Print(printer), message);
            QVERIFY(!printer.IsPrinting());
            QCOMPARE(Printed(), QStringList());
        }
        QVERIFY(qEnvironmentVariable("CUPS_SERVER").startsWith("/nonexistent/"));
        WindowPrinter real(velmor::CreateCupsPrintSystem());
        QCOMPARE(Print(real), "System Error.  Code: 1282.\r\nserver-error-service-unavailable");
    }

    // The default printer, found case-insensitively at the first request, is kept under its
    // installed name for the whole run. While a job is sent, events are processed; a second request
    // fails, and the first job goes on with the picture and size taken before.
    void printerKeptAndBusy() {
        auto system = Fake("testpdf");
        FakePrintSystem& fake = *system;
        QSemaphore release;
        QList<QRect> targets;  // an empty one for a picture not of the window's size
        WindowPrinter printer(std::move(system), [&](const velmor::PrinterSetup&,
                                                     const QImage& image, const QRect& rect) {
            if (targets.isEmpty()) release.acquire();  // the first job waits
            targets.append(image.size() == QSize(681, 370) ? rect : QRect());
            return "%PDF"_ba;
        });
        QString second;
        bool busy = false;
        QTimer::singleShot(0, this, [&] {
            window_.resize(100, 100);
            busy = printer.IsPrinting();
            second = Print(printer);
            release.release();
        });
        QCOMPARE(Print(printer), QString());
        QVERIFY(busy && !printer.IsPrinting());
        QCOMPARE(second, "Printing in progress");
        window_.resize(681, 370);
        fake.failCode = 1;
        QCOMPARE(Print(printer), QString());
        QCOMPARE(printer.PrinterName(), "TestPDF");
        QCOMPARE(targets, QList<QRect>(2, QRect(0, 0, 8513, 4625)));
    }

    // A request ends with a timeout while events go on, and further requests are refused while
    // the print system hangs. A late answer sends nothing: before the job (the printer's lookup)
    // and in it (the job is not answered). Then the chosen printer serves the next request.
    void printServerNotAnswering() {
        auto system = Fake();
        FakePrintSystem& fake = *system;
        QSemaphore gate;
        fake.gate = &gate;
        WindowPrinter printer(std::move(system), &WindowPrinter::PaintPdf,
                              std::chrono::milliseconds(300));
        for (int hang = 0; hang < 2; ++hang) {
            bool answering = false;
            QTimer::singleShot(0, this, [&] { answering = printer.IsPrinting(); });
            QCOMPARE(Print(printer), "System Error.  Code: 110.\r\nConnection timed out");
            QVERIFY(answering);
            QCOMPARE(Print(printer), "Printing in progress");
            gate.release();
            QTRY_VERIFY_WITH_TIMEOUT(!printer.IsPrinting(), 60000);
            QCOMPARE(Printed(), QStringList());
        }
        fake.gate = nullptr;
        QCOMPARE(Print(printer), QString());
        QCOMPARE(Printed(), QStringList{"TestPDF.pdf"});
    }
};

QTEST_MAIN(OutputTest)
#include "output_test.moc"
