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
#include <fcntl.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sched.h>
#include <sys/acl.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <thread>

#include "file_call_seam.h"
#include "followed_links.h"
#include "output_errors.h"
#include "report_encoding.h"
#include "report_file.h"
#include "window_printer.h"

using namespace Qt::StringLiterals;
using velmor::WindowPrinter;

namespace {

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

// Gives the file an ACL entry, a user attribute and the inode flags nodump, noatime and sync;
// false where the file system lacks one of them.
bool Decorate(const QByteArray& name) {
    acl_t acl = acl_from_text("u::rw-,u:nobody:rw-,g::rw-,m::rw-,o::r--");
    const bool set = acl && acl_set_file(name.constData(), ACL_TYPE_ACCESS, acl) == 0 &&
                     lsetxattr(name.constData(), "user.tag", "blue", 4, 0) == 0 &&
                     QProcess::execute("chattr", {"+dAS", QFile::decodeName(name)}) == 0;
    acl_free(acl);
    return set;
}

// What a file carries besides its bytes, as one text: mode, owner, group, inode flags, ACL,
// attributes.
QString Carried(const QByteArray& name) {
    struct stat st = {};
    if (lstat(name.constData(), &st) != 0) return "missing";
    const int fd = open(name, O_RDONLY | O_NONBLOCK);
    int flags = 0;
    ioctl(fd, FS_IOC_GETFLAGS, &flags);
    close(fd);
    QString text = QString::asprintf("%o %u:%u %x", st.st_mode & 07777, st.st_uid, st.st_gid,
                                     flags & FS_FL_USER_MODIFIABLE);
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

const QByteArray kOld = "old report, longer than the new\r\n", kNew = "new\r\n";
const QString kCannot = "Cannot create file ", kStream = "Stream write error";

// One save and what it leaves. The old file, unless oldMode is 0, holds kOld and carries an ACL
// entry, a user attribute and inode flags.
struct SaveRow {
    QString tag;
    Prepare prepare = {};
    QByteArray call = {};  // the call that fails, the first time it is made, with error
    int error = EIO;       // negative: the call is made, then reported failed with -error
    QString message = {};  // kCannot is followed by the path
    std::optional<QByteArray> remains = {};  // by default the new bytes, or after a failure the old
    bool renamed = false;                    // a new inode at the path
    int oldMode = 0640;                      // 0: no old file
    QByteArray bytes = kNew;
    QString file = "r.txt";
    bool tiny = false;  // in a full 64 KiB tmpfs
    int mode = 0;       // that of a file the save creates or changes (0: the old one; -1: any)
};

// What the path and its folder hold: the file's bytes, all it carries, its inode, the other
// entries.
QStringList Look(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    QFile file(path);
    struct stat st = {};
    const bool regular = stat(name, &st) == 0 && S_ISREG(st.st_mode) && file.open(QFile::ReadOnly);
    QStringList entries = QDir(QFileInfo(path).path()).entryList(QDir::AllEntries | QDir::Hidden);
    entries.removeOne(QFileInfo(path).fileName());
    return {regular ? file.readAll() : "", Carried(name), QString::number(st.st_ino),
            entries.join(u' ')};
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
    bool privateMounts_ = false;

    auto Fake(const QString& name = "TestPDF", int code = -1, const QString& text = {}) {
        return std::make_unique<FakePrintSystem>(dir_.path(), name, code, text);
    }
    QString Print(WindowPrinter& printer) {
        return Outcome([&] { printer.Print(window_); });
    }
    QStringList Printed() const { return QDir(dir_.path()).entryList(QDir::Files); }

    // Makes the row's folder and old file and runs its preparation: why the row cannot run
    // here, or nullptr.
    const char* PrepareSave(const SaveRow& row, const QString& path) {
        const QString folderPath = QFileInfo(path).path();
        const QByteArray name = QFile::encodeName(path), folder = QFile::encodeName(folderPath);
        QFile file(path), filler(folderPath + "/filler");
        Must(QDir().mkpath(folderPath), "make the folder");
        if (row.tiny && (!privateMounts_ || mount("tmpfs", folder, "tmpfs", 0, "size=64k") != 0))
            return "cannot mount a tmpfs (needs root)";
        if (row.oldMode) {
            Must(file.open(QIODevice::WriteOnly) && file.write(kOld) > 0 && file.flush(), "write");
            if (!row.tiny && !Decorate(name)) return "no ACLs, user attributes or inode flags";
            Must(chmod(name, mode_t(row.oldMode)) == 0, "set the mode");
        }
        if (const char* reason = row.prepare ? row.prepare(folder, name) : nullptr) return reason;
        if (row.tiny && filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            while (filler.write(QByteArray(4096, 'f')) == 4096) continue;
        return nullptr;
    }
    // Saves as the row asks and compares what the save leaves with the row. Once a descriptor
    // is closed, another thread may open a file under its number (here: the seam does).
    void CheckSave(const SaveRow& row, const QString& path) {
        const QStringList was = Look(path);
        QByteArrayList calls;
        int taken = -1;
        velmor::SetFileCallFailure(
            [&](const char* call) {
                calls << call;
                return call == row.call && calls.count(row.call) == 1 ? row.error : 0;
            },
            [&](const char*) { taken = open("/dev/null", O_RDONLY); });
        const mode_t umasked = umask(row.mode > 0 ? 0777 & ~row.mode : 022);
        const QString outcome = Outcome([&] { velmor::WriteReportFile(path, row.bytes); });
        umask(umasked);
        velmor::SetFileCallFailure({});
        QStringList seen = Look(path), wanted = was;
        wanted[0] = row.remains.value_or(row.message.isEmpty() ? kNew : row.oldMode ? kOld : "");
        if (row.mode > 0)
            std::tie(seen[1], wanted[1]) =
                std::pair(seen[1].section(u' ', 0, 0), QString::number(row.mode, 8));
        if (row.mode < 0)
            for (QString* carried : {&seen[1], &wanted[1]}) *carried = carried->section(u' ', 1);
        seen[2] = seen[2] == was[2] ? "same inode" : "new inode";
        wanted[2] = row.renamed ? "new inode" : "same inode";
        const bool made = row.call.isEmpty() || calls.contains(row.call);
        seen << outcome << (taken >= 0 && close(taken) != 0 ? "closed twice" : "")
             << (made ? "" : "not made: " + row.call);
        wanted << row.message + (row.message == kCannot ? path : "") << ""
               << "";
        QVERIFY2(seen == wanted, qPrintable(row.tag + ": " + seen.join(" | ") +
                                            "\n  instead of: " + wanted.join(" | ")));
    }

  private slots:
    void initTestCase() {
        // A mount table of this thread's own (it makes every save), so that a tmpfs or a bind
        // mount made for a row is seen by no other process.
        privateMounts_ = unshare(CLONE_NEWNS) == 0 &&
                         mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
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

    // Saving over what each row prepares. A failing call makes a file with one name be rewritten
    // in place instead; a failure while replacing leaves the old file as it was, one in place what
    // the row names. A user, a capability or a mount set up for a row goes with it.
    void save() {
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
        // The folder's default ACL, which a new file takes and the old one lacks.
        const Prepare aclFolder = [](auto& folder, auto& file) {
            acl_t acl = acl_from_text("u::rwx,u:nobody:rwx,g::r-x,m::rwx,o::---");
            const bool set = acl_set_file(folder, ACL_TYPE_DEFAULT, acl) == 0 &&
                             lremovexattr(file, "system.posix_acl_access") == 0;
            acl_free(acl);
            return set ? nullptr : "no default ACLs here";
        };
        // The file or its folder moved aside, with a link in its place: the user's own, in a
        // folder that is not sticky, or another user's in a sticky one everyone may write to.
        const auto moveAside = [](const QByteArray& name) {
            return Must(rename(name, name + "2") == 0 && symlink(name + "2", name) == 0, "link");
        };
        const auto plant = [=](const QByteArray& name, const QByteArray& folder) -> const char* {
            QFile setting("/proc/sys/fs/protected_symlinks");
            if (!setting.open(QFile::ReadOnly) || setting.readAll() != "0\n")
                return "fs.protected_symlinks is 1 here: the kernel itself refuses such a link";
            if (geteuid() != 0) return "cannot give a link another owner (needs root)";
            return moveAside(name)
                       ?: Must(lchown(name, 65534, 65534) == 0 && chmod(folder, 01777) == 0,
                               "plant a link");
        };
        const Prepare ownLink = [=](auto&, auto& file) { return moveAside(file); };
        const Prepare planted = [=](auto& folder, auto& file) { return plant(file, folder); };
        const Prepare toFolder = [=](auto& folder, auto&) { return plant(folder, folder + "/.."); };
        // The old file bind-mounted over itself, which a rename cannot replace (EBUSY).
        const Prepare bound = [this](auto&, auto& file) {
            return privateMounts_ ? Must(mount(file, file, nullptr, MS_BIND, nullptr) == 0, "bind")
                                  : "no mount namespace of its own (needs root)";
        };
        const QString longest = QString(251, u'n') + ".txt";  // 255 bytes, a name's limit
        // clang-format off
        QList<SaveRow> rows = {
            {.tag = "locked folder", .prepare = locked, .oldMode = 0666, .file = "locked/r.txt"},
            {.tag = "FIFO (a folder or device alike)",
             .prepare = [](auto&, auto& file) { return Must(mkfifo(file, 0644) == 0, "FIFO"); },
             .message = kCannot, .oldMode = 0},
            {.tag = "name too long", .message = kCannot, .oldMode = 0, .file = QString(256, u'r')},
            {.tag = "new, longest name", .renamed = true, .oldMode = 0, .file = longest,
             .mode = 0644},
            {.tag = "new, 85 Chinese characters", .renamed = true, .oldMode = 0,
             .file = QString(85, u'报'), .mode = 0640},
            {.tag = "longest name", .renamed = true, .file = longest},
            {.tag = "bind mount", .prepare = bound},
            {.tag = "own symbolic link", .prepare = ownLink},
            {.tag = "another user's link to it", .prepare = planted, .message = kCannot},
            {.tag = "another user's link to its folder", .prepare = toFolder,
             .message = kCannot, .file = "sub/r.txt"},
            {.tag = "read-only file", .message = kCannot, .oldMode = 0444},
            // Rewritten in place, the room is reserved before the old bytes are touched.
            {.tag = "hard link, full disk", .prepare = linked, .message = kStream,
             .bytes = QByteArray(256 * 1024, 'x'), .file = "tiny/r.txt", .tiny = true},
            {.tag = "full disk", .message = kStream, .file = "tiny/r.txt", .tiny = true},
            {.tag = "set-ID and sticky bits", .renamed = true, .oldMode = 07664},
            {.tag = "other owner", .prepare = foreign, .renamed = true},
            // Written from outside its group, a file loses set-group-ID in place too (Linux 6.2+).
            {.tag = "set-group-ID, group not the saver's", .prepare = noFsetid, .oldMode = 02664,
             .mode = -1},
            {.tag = "no ACL in a folder with one", .prepare = aclFolder, .renamed = true},
            {.tag = "no ACL, fremovexattr", .prepare = aclFolder, .call = "fremovexattr"},
            {.tag = "renamed, fchown", .prepare = foreign, .call = "fchown"},
            {.tag = "renamed, write", .call = "write", .message = kStream},
            {.tag = "renamed, fsync", .call = "fsync", .message = kStream},
            {.tag = "renamed, close", .call = "close", .error = -EIO, .message = kStream},
            {.tag = "renamed, rename", .call = "rename", .message = kCannot},
            {.tag = "renamed, rename across mounts", .call = "rename", .error = EXDEV},
            {.tag = "in place, open", .prepare = linked, .call = "open", .message = kCannot},
            // A reservation that failed part of the way (here: all of it) may lengthen the file.
            {.tag = "in place, posix_fallocate made", .prepare = linked, .call = "posix_fallocate",
             .error = -EIO, .message = kStream, .bytes = QByteArray(4096, 'x')},
            {.tag = "in place, write: cut to what was written", .prepare = linked, .call = "write",
             .message = kStream, .remains = ""},
            {.tag = "in place, ftruncate", .prepare = linked, .call = "ftruncate",
             .message = kStream, .remains = kNew + kOld.sliced(5)},
            {.tag = "in place, close", .prepare = linked, .call = "close", .error = -EIO,
             .message = kStream, .remains = kNew}};
        // clang-format on
        // A call that fails while the new file is given what the old one carries.
        for (const char* call : {"open", "FS_IOC_GETFLAGS", "FS_IOC_SETFLAGS", "llistxattr",
                                 "acl_get_file", "acl_set_fd", "lgetxattr", "fsetxattr", "fchmod"})
            rows.append({.tag = "renamed, "_L1 + call, .call = call});
        for (const SaveRow& row : rows) {
            QTemporaryDir dir;
            const QString path = dir.filePath(row.file);
            const QByteArray folder = QFile::encodeName(QFileInfo(path).path());
            const auto undo = qScopeGuard([&] {
                Must(seteuid(getuid()) == 0, "undo");
                SetCapability(CAP_FSETID, true);
                umount(QFile::encodeName(path));
                umount(folder);
                chmod(folder, 0755);
            });
            if (const char* reason = PrepareSave(row, path))
                NoteSkipped(row.tag, reason);
            else
                CheckSave(row, path);
            if (QTest::currentTestFailed()) return;
        }
    }
    // Whose symbolic links are followed in each kind of folder (the saver is user 5).
    void linkProtection() {
        const std::tuple<const char*, uid_t, uid_t, mode_t, bool> rows[] = {
            {"sticky, everyone writes: another user's link", 7, 0, 01777, false},
            {"sticky, everyone writes: the folder owner's link", 0, 0, 01777, true},
            {"sticky, everyone writes: the saver's own link", 5, 0, 01777, true},
            {"sticky, the group writes", 7, 0, 01775, true},
            {"everyone writes, not sticky", 7, 0, 0777, true}};
        for (const auto& [corner, link, folder, mode, followed] : rows)
            QVERIFY2(velmor::MayFollowLink(link, folder, mode, 5) == followed, corner);
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
    // on 取消, the box. The dialog belongs to the window even when no window is active.
    void passwordAsked() {
        const std::jthread server = Respond([](int op) {
            return op != IPP_OP_CREATE_JOB ? QueueAnswer()
                                           : "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic "
                                             "realm=\"CUPS\"\r\nContent-Length: 0\r\n\r\n"_ba;
        });
        for (const bool cancel : {false, true}) {
            // The first question stays open longer than the whole time limit.
            constexpr int kLimitMs = 3000, kFirstOpenMs = kLimitMs + 500;
            WindowPrinter printer(velmor::CreateCupsPrintSystem(), &WindowPrinter::PaintPdf,
                                  std::chrono::milliseconds(kLimitMs));
            QStringList asked;
            QElapsedTimer open;
            QTimer answer;
            connect(&answer, &QTimer::timeout, this, [&] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                auto* password = dialog ? dialog->findChild<QLineEdit*>("password") : nullptr;
                if (password && !open.isValid()) open.start();
                if (!password || open.elapsed() < (asked.isEmpty() ? kFirstOpenMs : 0)) return;
                asked << dialog->findChild<QLineEdit*>("user")->text() +
                             (password->echoMode() == QLineEdit::Password ? " hidden" : "") +
                             (dialog->parentWidget() == &window_ ? "" : " without a parent");
                password->setText("wrong");
                open.invalidate();
                cancel ? dialog->reject() : dialog->accept();
            });
            answer.start(10);
            // Deprecated since Qt 6.5, yet no other public call leaves no window active.
            QT_WARNING_PUSH
            QT_WARNING_DISABLE_DEPRECATED
            QApplication::setActiveWindow(nullptr);
            QT_WARNING_POP
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
