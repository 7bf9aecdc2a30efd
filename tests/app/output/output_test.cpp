// Saving and printing without the window: the report file's bytes (written down here, as the
// system's converters differ between releases); writing it, keeping an old file's mode and
// identity, and on failure its bytes, with nothing left behind; printing through a fake print
// system whose printers write PDF files, and the real one against print servers of its own.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include <acl/libacl.h>
#include <cups/cups.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sched.h>
#include <sys/acl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <thread>

#include "output_errors.h"
#include "report_encoding.h"
#include "report_file.h"
#include "window_printer.h"

using namespace Qt::StringLiterals;
using velmor::WindowPrinter;

namespace {

// The test's own mount table, set up before any thread starts, so that a tmpfs mounted for a
// test is seen by no other process.
const bool kPrivateMounts =
    unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;

// Installs "missing/Other" (which cannot be used) and "TestPDF", whose jobs are written to files
// once answered. The query raises SystemError when failCode >= 0.
struct FakePrintSystem final : velmor::PrintSystem {
    FakePrintSystem(QString folder, QString name, int code, QString text)
        : folder(folder), defaultName(name), failText(text), failCode(code) {}
    QString folder, defaultName, failText;
    int failCode;

    QString DefaultPrinterName() override {
        if (failCode >= 0) throw velmor::SystemError(failCode, failText);
        return defaultName;
    }
    QStringList InstalledPrinterNames() override { return {"missing/Other", "TestPDF"}; }
    velmor::PrinterSetup Setup(const QString& name) override {
        if (name.contains(u'/')) throw velmor::PrinterNotValidError();
        return {QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, {}), 600};
    }
    void Submit(const QString& name, const QByteArray& pdf,
                velmor::TimedTask::Caller& caller) override {
        QFile file(folder + "/" + name + ".pdf");
        if (caller.Answer() && file.open(QIODevice::WriteOnly)) file.write(pdf);
    }
};

// A row that cannot run says so: ./run-tests lists the reason after CTest's summary.
void NoteSkipped(const QString& row, const char* reason) {
    const QString skipped = qEnvironmentVariable("VELMOR_SKIPPED_DIR");
    QFile note(skipped + "/output_test.txt");
    qWarning("%s skipped: %s", qPrintable(row), reason);
    if (!skipped.isEmpty() && QDir().mkpath(skipped) && note.open(QIODevice::Append))
        note.write("output_test "_ba + QTest::currentTestFunction() + '(' + row.toUtf8() +
                   "): " + reason + '\n');
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

// Stops the test when a step of a row's set-up fails that should not; else nullptr.
const char* Must(bool done, const char* step) {
    if (!done) qFatal("cannot %s: %s", step, strerror(errno));
    return nullptr;
}

// What a row of the saving test does before saving, once the folder and any old file exist: the
// reason it cannot run here, or nullptr.
using Prepare = std::function<const char*(const QByteArray& folder, const QByteArray& file)>;

// The error's message, or an empty text for success.
QString Outcome(const std::function<void()>& action) {
    try {
        action();
        return QString();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
}

ssize_t Append(void* to, ipp_uchar_t* data, size_t size) {
    static_cast<QByteArray*>(to)->append(reinterpret_cast<char*>(data), qsizetype(size));
    return ssize_t(size);
}

// An IPP answer with the given status and what add puts in it.
QByteArray Ipp(ipp_status_t status, const std::function<void(ipp_t*)>& add = {}) {
    ipp_t* ipp = ippNew();
    ippSetStatusCode(ipp, status);
    if (add) add(ipp);
    QByteArray bytes;
    ippWriteIO(&bytes, Append, 1, nullptr, ipp);
    ippDelete(ipp);
    return bytes;
}

// A print server of the test's own on a connection: reply(operation), called once a request's
// header is in (nothing more is read while it runs), gives the answer sent once all is in: IPP,
// "close" (hang up) or HTTP ("HTTP/..."). Counts documents received whole, bytes of one cut off.
std::atomic<int> wholeDocuments = 0;
std::atomic<qsizetype> cutDocument = 0;
void Serve(int peer, const std::function<QByteArray(int)>& reply) {
    QByteArray in, answer;
    char buffer[4096];
    for (ssize_t size; (size = read(peer, buffer, sizeof buffer)) > 0;) {
        in.append(buffer, size);
        const qsizetype end = in.indexOf("\r\n\r\n") + 4;
        const bool chunked = in.left(end).contains("chunked");
        const qsizetype ipp = chunked ? in.indexOf("\r\n", end) + 2 : end;  // past a chunk's size
        if (end < 4 || ipp < end || in.size() < ipp + 8) continue;
        if (answer.isEmpty()) answer = reply(in[ipp + 2] << 8 | uchar(in[ipp + 3]));
        const qsizetype body =
            chunked ? in.indexOf("\r\n0\r\n\r\n", std::max(end, in.size() - size - 7)) + 7 - end
                    : atoll(in.constData() + in.indexOf("Content-Length: ") + 16);
        if (body < 7 || in.size() < end + body) continue;
        if (answer == "close") return;
        wholeDocuments += chunked;
        if (!answer.startsWith("HTTP/"))
            answer = "HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\nContent-Length: " +
                     QByteArray::number(answer.size()) + "\r\n\r\n" +
                     answer.replace(4, 4, in.mid(ipp + 4, 4));  // the request's id
        Must(write(peer, answer, size_t(answer.size())) == answer.size(), "answer");
        in.remove(0, end + body);
        answer.clear();
    }
    if (in.contains("chunked")) cutDocument = in.size();
}

// Serves the real print system's socket (CUPS_SERVER) with reply, a connection each (a worker
// may open one while it holds another), until stopped. Without a reply the socket is left with
// nobody listening; unbound, there is none.
std::jthread Respond(std::function<QByteArray(int)> reply, bool bound = true) {
    const QByteArray path = qgetenv("CUPS_SERVER");
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = {AF_UNIX, {}};
    qstrncpy(address.sun_path, path, sizeof address.sun_path);
    unlink(path);
    Must(!bound || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0,
         "bind");
    if (!reply || listen(listener, 4) != 0) return close(listener), std::jthread();
    return std::jthread([=](std::stop_token stop) {
        const std::stop_callback stopping(stop, [=] { shutdown(listener, SHUT_RDWR); });
        std::vector<std::jthread> connections;
        for (int peer; (peer = accept(listener, nullptr, nullptr)) >= 0;)
            connections.emplace_back([=] { Serve(peer, reply), close(peer); });
        close(listener);
    });
}

// The queue TestPDF, A4 with margins of 3, 5, 5 and 3 mm, as the print server describes it, and
// its job 7.
QByteArray QueueAnswer() {
    return Ipp(IPP_STATUS_OK, [](ipp_t* ipp) {
        ippAddInteger(ipp, IPP_TAG_JOB, IPP_TAG_INTEGER, "job-id", 7);
        ippAddString(ipp, IPP_TAG_PRINTER, IPP_TAG_NAME, "printer-name", nullptr, "TestPDF");
        ippAddString(ipp, IPP_TAG_PRINTER, IPP_TAG_URI, "printer-uri-supported", nullptr,
                     "ipp://localhost/printers/TestPDF");
        ipp_t *size = ippNew(), *col = ippNew();
        ippAddInteger(size, IPP_TAG_ZERO, IPP_TAG_INTEGER, "x-dimension", 21000);
        ippAddInteger(size, IPP_TAG_ZERO, IPP_TAG_INTEGER, "y-dimension", 29700);
        ippAddCollection(col, IPP_TAG_ZERO, "media-size", size);
        for (const char* side : {"left", "top", "right", "bottom"})
            ippAddInteger(col, IPP_TAG_ZERO, IPP_TAG_INTEGER,
                          qPrintable("media-"_L1 + side + "-margin"), 300 + 200 * (*side > 'l'));
        ippAddCollection(ipp, IPP_TAG_PRINTER, "media-col-default", col);
        ippDelete(size);
        ippDelete(col);
    });
}

const QString kTimedOut = "System Error.  Code: 110.\r\nConnection timed out";
const QString kMayPrint =
    "The print job was sent but the print system did not confirm it; it may still print";

}  // namespace

class OutputTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QLabel window_;  // the main window's size
    rlimit limit_ = {};

    auto Fake(const QString& name = "TestPDF", int code = -1, const QString& text = {}) {
        return std::make_unique<FakePrintSystem>(dir_.path(), name, code, text);
    }
    QString Print(WindowPrinter& printer) {
        return Outcome([&] { printer.Print(window_); });
    }
    QStringList Printed() const { return QDir(dir_.path()).entryList(QDir::Files); }

  private slots:
    void initTestCase() {
        QVERIFY(getrlimit(RLIMIT_FSIZE, &limit_) == 0);
        signal(SIGXFSZ, SIG_IGN);  // as the program does
    }
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

    // Saving over what each row prepares (an old file has an ACL entry and a user attribute):
    // the outcome, the old file's bytes and all it carries (mode, owner, ACL, attributes), whether
    // a rename replaced it (a new inode), and nothing left beside it. The failing call, if any,
    // fails once (EIO): a file with one name is then rewritten in place instead; a failure while
    // replacing leaves the old file as it was, one in place what the row names. A user, a limit or
    // a mount set up for a row goes with it.
    void save() {
        const QByteArray old = "old report, longer than the new\r\n", now = "new\r\n";
        const QString stream = "Stream write error", cannot = "Cannot create file ";
        const Prepare linked = [](auto&, auto& file) {
            return Must(link(file, file + ".link") == 0, "link");
        };
        const Prepare foreign = [](auto&, auto& file) {
            return geteuid() != 0 || chown(file, 65534, 65534) != 0
                       ? "cannot give a file another owner (needs root)"
                       : nullptr;
        };
        // Root without CAP_FSETID: the kernel would drop set-group-ID from a new file silently.
        const Prepare noFsetid = [=](auto& folder, auto& file) {
            return foreign(folder, file)
                       ?: Must(chmod(file, 02664) == 0 && SetCapability(CAP_FSETID, false), "drop");
        };
        // Only the folder forbids a new file (root saves as nobody).
        const Prepare locked = [](auto& folder, auto&) {
            return Must(chmod(folder, 0555) == 0 && chmod(folder + "/..", 0755) == 0 &&
                            (geteuid() != 0 || seteuid(65534) == 0),
                        "lock the folder");
        };
        const Prepare fifo = [](auto&, auto& file) {
            return Must(mkfifo(file, 0644) == 0, "FIFO");
        };
        const Prepare limited = [](auto&, auto&) {
            const rlimit small = {16 * 1024, RLIM_INFINITY};
            return Must(setrlimit(RLIMIT_FSIZE, &small) == 0, "limit the file size");
        };
        // The folder's default ACL, which a new file takes and the old one lacks.
        const Prepare aclFolder = [](auto& folder, auto& file) {
            acl_t acl = acl_from_text("u::rwx,u:nobody:rwx,g::r-x,m::rwx,o::---");
            const bool set = acl_set_file(folder, ACL_TYPE_DEFAULT, acl) == 0 &&
                             lremovexattr(file, "system.posix_acl_access") == 0;
            acl_free(acl);
            return set ? nullptr : "no default ACLs here";
        };
        struct Row {
            QString tag;
            Prepare prepare;
            QByteArray call;  // the one that fails, if any
            QString message;  // followed by the path for a file that cannot be created
            QByteArray remains;
            bool renamed;
            int oldMode = 0640;  // 0: no old file
            QByteArray bytes = "new\r\n";
            QString file = "r.txt";
            bool tiny = false;  // in a full 64 KiB tmpfs
            bool modeKept = true;
            bool callMade = false;  // the failing call is made, then reported failed
        };
        const QByteArray big(256 * 1024, 'x');
        QList<Row> rows = {
            {"locked folder", locked, {}, "", now, false, 0666, now, "locked/r.txt"},
            {"FIFO", fifo, {}, cannot, {}, false, 0},  // a folder or device alike
            {"name too long", {}, {}, cannot, {}, false, 0, now, QString(300, u'r')},
            {"read-only file", {}, {}, cannot, old, false, 0444},
            {"size limit", limited, {}, stream, old, false, 0644, big},
            // Rewritten in place, the room is reserved before the old bytes are touched.
            {"hard link, full disk", linked, {}, stream, old, false, 0644, big, "tiny/r.txt", true},
            {"full disk", {}, {}, stream, old, false, 0644, now, "tiny/r.txt", true},
            {"set-ID and sticky bits", {}, {}, "", now, true, 07664},
            {"other owner", foreign, {}, "", now, true, 0644},
            // Written by a caller outside its group, a file loses set-group-ID in place too
            // (Linux 6.2 and later).
            {"set-group-ID, group not the saver's", noFsetid, "", "", now, false, 02664, now,
             "r.txt", false, false},
            {"no ACL in a folder with one", aclFolder, {}, "", now, true},
            {"no ACL, fremovexattr", aclFolder, "fremovexattr", "", now, false},
            {"renamed, fchown", foreign, "fchown", "", now, false},
            {"renamed, write", {}, "write", stream, old, false},
            {"renamed, fsync", {}, "fsync", stream, old, false},
            {"renamed, close", {}, "close", stream, old, false},
            {"renamed, rename", {}, "rename", cannot, old, false},
            {"in place, open", linked, "open", cannot, old, false},
            {"in place, fstat", linked, "fstat", cannot, old, false},
            {"in place, posix_fallocate", linked, "posix_fallocate", stream, old, false},
            // A reservation that failed part of the way (here: all of it) may lengthen the file.
            {"in place, posix_fallocate made", linked, "posix_fallocate", stream, old, false, 0640,
             QByteArray(4096, 'x'), "r.txt", false, true, true},
            {"in place, write", linked, "write", stream, "", false},  // cut to what was written
            {"in place, ftruncate", linked, "ftruncate", stream, now + old.sliced(5), false},
            {"in place, close", linked, "close", stream, now, false}};
        // A call that fails while the new file is given what the old one carries.
        for (const char* call : {"open", "llistxattr", "acl_get_file", "acl_set_fd", "lgetxattr",
                                 "fsetxattr", "fchmod", "fstat"})
            rows.append({"renamed, "_L1 + call, {}, call, "", now, false});
        for (const Row& row : rows) {
            QTemporaryDir dir;
            const QString path = dir.filePath(row.file), folderPath = QFileInfo(path).path();
            const QByteArray name = QFile::encodeName(path), folder = QFile::encodeName(folderPath);
            const auto undo = qScopeGuard([&] {
                Must(seteuid(getuid()) == 0 && setrlimit(RLIMIT_FSIZE, &limit_) == 0, "undo");
                SetCapability(CAP_FSETID, true);
                umount(folder);
                chmod(folder, 0755);
            });
            Must(QDir().mkpath(folderPath), "make the folder");
            QFile file(path), filler(folderPath + "/filler");
            const char* cannotRun =
                row.tiny && (!kPrivateMounts || mount("tmpfs", folder, "tmpfs", 0, "size=64k") != 0)
                    ? "cannot mount a tmpfs (needs root)"
                    : nullptr;
            if (row.oldMode && !cannotRun) {
                Must(file.open(QIODevice::WriteOnly) && file.write(old) > 0, "write the old file");
                file.close();
                if (!row.tiny && !Decorate(name)) cannotRun = "no ACLs or user attributes here";
                Must(chmod(name, mode_t(row.oldMode)) == 0, "set the mode");
            }
            if ((cannotRun = cannotRun ?: row.prepare ? row.prepare(folder, name) : nullptr)) {
                NoteSkipped(row.tag, cannotRun);
                continue;
            }
            if (row.tiny && filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                while (filler.write(QByteArray(4096, 'f')) == 4096) {
                }
            const QString carried = Carried(name).section(u' ', !row.modeKept);
            const QStringList entries = QDir(folderPath).entryList(QDir::AllEntries | QDir::Hidden);
            struct stat was = {}, st = {};
            stat(name, &was);
            QByteArrayList calls;
            velmor::SetFileCallFailure([&](const char* made) {
                calls << made;
                return made == row.call && calls.count(row.call) == 1 ? row.callMade ? -EIO : EIO
                                                                      : 0;
            });
            const QString outcome = Outcome([&] { velmor::WriteReportFile(path, row.bytes); });
            velmor::SetFileCallFailure({});
            const bool kept = row.oldMode != 0 && file.open(QIODevice::ReadOnly);
            const bool renamed = kept && stat(name, &st) == 0 && st.st_ino != was.st_ino;
            const QStringList seen = {
                outcome,
                kept ? file.readAll() : "",
                Carried(name).section(u' ', !row.modeKept),
                renamed ? "renamed" : "kept",
                QDir(folderPath).entryList(QDir::AllEntries | QDir::Hidden).join(u' '),
                row.call.isEmpty() || calls.contains(row.call) ? "" : "not made: " + row.call};
            const QStringList wanted = {row.message + (row.message == cannot ? path : ""),
                                        row.remains,
                                        carried,
                                        row.renamed ? "renamed" : "kept",
                                        entries.join(u' '),
                                        ""};
            QVERIFY2(seen == wanted, qPrintable(row.tag + ": " + seen.join(" | ") +
                                                "\n  instead of: " + wanted.join(" | ")));
        }
    }

    // Asked twice, the same error each time, and nothing printed.
    void errors() {
        const QString none = "There is no default printer currently selected";
        const std::tuple<QString, int, QString, QString> rows[] = {
            {"Gone", -1, "", none},  // not installed (no default at all: cupsPrintSystem)
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
        WindowPrinter blank(Fake(), [](auto&, auto&, auto&) { return QByteArray(); });
        QCOMPARE(Print(blank), "Printer selected is not valid");  // a page that cannot be drawn
        QCOMPARE(Printed(), QStringList());
    }

    // The real print system against servers of the test's own: no scheduler at all (no socket,
    // nobody listening, no library) is no default printer, a server that hangs up is unavailable,
    // a failing listing a server error; the queue's default paper and printable area make the
    // page.
    void cupsPrintSystem() {
        const auto answer = [](int op, QByteArray to) {
            return [=](int asked) { return asked == op ? to : QueueAnswer(); };
        };
        const QString none = "There is no default printer currently selected";
        const std::tuple<const char*, std::function<QByteArray(int)>, QString> rows[] = {
            {"no socket", {}, none},
            {"nobody listening", {}, none},
            {"libcups.so.0-missing", answer(0, {}), none},
            {"hangs up", answer(IPP_OP_CUPS_GET_DEFAULT, "close"),
             "System Error.  Code: 1282.\r\nserver-error-service-unavailable"},
            {"not found", answer(IPP_OP_CUPS_GET_DEFAULT, Ipp(IPP_STATUS_ERROR_NOT_FOUND)), none},
            {"listing fails", answer(IPP_OP_CUPS_GET_PRINTERS, Ipp(IPP_STATUS_ERROR_BUSY)),
             "System Error.  Code: 1287.\r\nserver-error-busy"},
            {"paper", answer(0, {}),
             "TestPDF in TestPDF: QPageLayout(\"A4\", Portrait, l:3 r:5 t:5 b:3 mm) at 1200"}};
        for (const auto& [tag, reply, message] : rows) {
            const std::jthread server = Respond(reply, tag != "no socket"_L1);
            const auto system = velmor::CreateCupsPrintSystem(
                QByteArray(tag).startsWith("libcups") ? tag : "libcups.so.2");
            const QString seen = Outcome([&] {
                const QString name = system->DefaultPrinterName();
                if (name.isEmpty()) throw velmor::NoDefaultPrinterError();  // as the printer
                const QStringList names = system->InstalledPrinterNames();
                const velmor::PrinterSetup setup = system->Setup(name);
                throw std::runtime_error(qPrintable(name + " in " + names.join(',') + ": " +
                                                    QDebug::toString(setup.page) + " at " +
                                                    QString::number(setup.dpi)));
            });
            QVERIFY2(seen == message, qPrintable(tag + ": "_L1 + seen));
        }
    }

    // A queue that asks for a password: the window asks, preset with the login name and the
    // password hidden, while the time limit waits; a wrong one is asked again twice, then, as
    // on 取消, the box.
    void passwordAsked() {
        const std::jthread server = Respond([](int op) {
            return op != IPP_OP_CREATE_JOB ? QueueAnswer()
                                           : "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic "
                                             "realm=\"CUPS\"\r\nContent-Length: 0\r\n\r\n"_ba;
        });
        for (const bool cancel : {false, true}) {
            WindowPrinter printer(velmor::CreateCupsPrintSystem(), &WindowPrinter::PaintPdf,
                                  std::chrono::milliseconds(300));
            QStringList asked;
            QElapsedTimer open;
            QTimer answer;
            connect(&answer, &QTimer::timeout, this, [&] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                auto* password = dialog ? dialog->findChild<QLineEdit*>("password") : nullptr;
                if (password && !open.isValid()) open.start();
                if (!password || open.elapsed() < 500) return;  // open past the time limit
                asked << dialog->findChild<QLineEdit*>("user")->text() +
                             (password->echoMode() == QLineEdit::Password ? " hidden" : "");
                password->setText("wrong");
                open.invalidate();
                cancel ? dialog->reject() : dialog->accept();
            });
            answer.start(10);
            QCOMPARE(Print(printer), "System Error.  Code: 4096.\r\ncups-authentication-canceled");
            QCOMPARE(asked,
                     QStringList(cancel ? 1 : 3, getpwuid(getuid())->pw_name + " hidden"_L1));
        }
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
        // 4256.25 by 2312.5 dots; beyond 32 bits no window gets.
        QCOMPARE(targets, QList<QRect>(2, QRect(0, 0, 4256, 2313)));
        QCOMPARE(velmor::ScaleToPrinter(20000000, 1200, 96), 250000000);
    }

    // The real print system with an answer held back: to the job's creation, or to its document,
    // incomplete (more than the connection holds) or whole. Until it is whole the box says the
    // job failed and it never will be: broken off at once, cancelled once known. A whole one is
    // said to be sent, and so at exit. A request meanwhile starts nothing; the next one prints.
    void printServerNotAnswering() {
        using enum velmor::LeftBehind;
        // held, document size, box, "jobs created, documents whole, cancels[ cut]", left at exit
        const std::tuple<int, int, QString, QString, velmor::LeftBehind> rows[] = {
            {IPP_OP_CREATE_JOB, 4, kTimedOut, "1 0 1", kAbandoned},
            {IPP_OP_SEND_DOCUMENT, 16 << 20, kTimedOut, "1 0 1 cut", kAbandoned},
            {IPP_OP_SEND_DOCUMENT, 4, kMayPrint, "1 1 0", kUnconfirmed}};
        for (const auto& [held, size, message, effect, left] : rows) {
            QSemaphore release;
            std::atomic<int> holding = held, created = 0, cancelled = 0;
            const std::jthread server = Respond([&](int op) {
                if (op == holding) release.acquire();
                created += op == IPP_OP_CREATE_JOB;
                cancelled += op == IPP_OP_CANCEL_JOB;
                return QueueAnswer();
            });
            WindowPrinter printer(
                velmor::CreateCupsPrintSystem(),
                [size = size](auto&, auto&, auto&) { return QByteArray(size, '%'); },
                std::chrono::seconds(3));
            wholeDocuments = cutDocument = 0;
            QStringList seen = {Print(printer), Print(printer)};
            QCOMPARE(velmor::OutputLeftBehind(), left);
            release.release();
            QTRY_VERIFY_WITH_TIMEOUT(!printer.IsPrinting(), 60000);
            seen << u"%1 %2 %3"_s.arg(created).arg(wholeDocuments).arg(cancelled) +
                        (cutDocument > 0 && cutDocument < size ? " cut" : "");
            QCOMPARE(seen, (QStringList{message, kTimedOut, effect}));
            holding = 0;
            QCOMPARE(Print(printer), QString());
            // A completed print leaves nothing to tell at exit.
            QVERIFY(velmor::OutputLeftBehind() < kAbandoned);
        }
    }
};

QTEST_MAIN(OutputTest)
#include "output_test.moc"
