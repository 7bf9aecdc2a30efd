// Writing the report file: an old file is replaced keeping its permissions and its identity (links,
// owner, a FIFO stays a FIFO); on every failure the right message, and where the file is replaced
// by rename the old file keeps its bytes and nothing is left behind.
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "report_file.h"

namespace {

// Longer than the new report below.
const QByteArray kOldBytes = "old report\r\nwith two lines that are longer than the new\r\n";
const QByteArray kNewBytes = "\xb1\xbe\xc8\xed\xbc\xfe\r\n";

enum Setup {
    kNothing,
    kFolderAtPath,
    kLockedFolder,
    kSizeLimit,
    kFullDisk,
    kFifo,
    kHardLink,
    kOtherOwner
};
enum Result {
    kPassed,
    kNoMount,
    kSetupFailed,
    kWrongMessage,
    kWrongBytes,
    kLeftovers,
    kNotRoot,
    kIdentityLost
};

}  // namespace

class ReportFileTest : public QObject {
    Q_OBJECT

  private slots:
    void write_data();
    void write();
};

void ReportFileTest::write_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("setup");
    QTest::addColumn<int>("oldMode");  // 0: no old file
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("size");  // of the data written; 0: a short new report
    const QString cannotCreate = "Cannot create file <path>", streamError = "Stream write error";
    QTest::newRow("replaced, its mode kept") << "result.txt" << int(kNothing) << 0640 << "" << 0;
    QTest::newRow("missing folder")
        << "missing/result.txt" << int(kNothing) << 0 << cannotCreate << 0;
    // The file itself may be written, only the folder forbids a new one (also for root, run as
    // nobody): rewritten in place.
    QTest::newRow("no permission for the folder")
        << "locked/result.txt" << int(kLockedFolder) << 0666 << "" << 0;
    QTest::newRow("FIFO") << "result.txt" << int(kFifo) << 0 << cannotCreate << 0;
    QTest::newRow("hard link, both names see it")
        << "result.txt" << int(kHardLink) << 0644 << "" << 0;
    // Root saving over another user's file: owner and group stay (skipped without root).
    QTest::newRow("other owner kept") << "result.txt" << int(kOtherOwner) << 0644 << "" << 0;
    QTest::newRow("read-only file") << "result.txt" << int(kNothing) << 0444 << cannotCreate << 0;
    QTest::newRow("name too long") << QString(300, u'r') << int(kNothing) << 0 << cannotCreate << 0;
    QTest::newRow("a folder at the path")
        << "f.txt" << int(kFolderAtPath) << 0 << cannotCreate << 0;
    QTest::newRow("file-size limit")
        << "result.txt" << int(kSizeLimit) << 0644 << streamError << 256 * 1024;
    // A small tmpfs in a private mount namespace; skipped without the right to mount. More data
    // than the write buffer holds fails in write(); a report's size only when it is flushed.
    QTest::newRow("full disk") << "tiny/result.txt" << int(kFullDisk) << 0644 << streamError
                               << 64 * 1024;
    QTest::newRow("full disk, report-sized")
        << "tiny/result.txt" << int(kFullDisk) << 0644 << streamError << 2048;
}

// In a child process, so that a user, a limit or a mount does not reach this one.
void ReportFileTest::write() {
    QFETCH(QString, name);
    QFETCH(int, setup);
    QFETCH(int, oldMode);
    QFETCH(QString, message);
    QFETCH(int, size);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(name);
    const QString folder = QFileInfo(path).path();
    const QByteArray folderName = QFile::encodeName(folder), pathName = QFile::encodeName(path);
    message.replace("<path>", path);
    if (setup == kLockedFolder || setup == kFullDisk) QVERIFY(QDir().mkdir(folder));
    if (setup == kFolderAtPath) QVERIFY(QDir().mkdir(path));

    const pid_t pid = fork();
    if (pid == 0) {
        if (setup == kFullDisk &&
            (unshare(CLONE_NEWNS) != 0 ||
             mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
             mount("tmpfs", folderName.constData(), "tmpfs", 0, "size=64k") != 0))
            _exit(kNoMount);
        QFile old(path);
        if (oldMode &&
            (!old.open(QIODevice::WriteOnly) || old.write(kOldBytes) != kOldBytes.size() ||
             chmod(pathName.constData(), mode_t(oldMode)) != 0))
            _exit(kSetupFailed);
        old.close();
        const QByteArray linkName = pathName + ".link";
        if (setup == kOtherOwner && geteuid() != 0) _exit(kNotRoot);
        if ((setup == kFifo && mkfifo(pathName.constData(), 0644) != 0) ||
            (setup == kHardLink && link(pathName.constData(), linkName.constData()) != 0) ||
            (setup == kOtherOwner && chown(pathName.constData(), 65534, 65534) != 0))
            _exit(kSetupFailed);
        QFile filler(folder + "/filler");
        if (setup == kFullDisk && filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            while (filler.write(QByteArray(4096, 'f')) == 4096) {
            }
        if (setup == kLockedFolder &&
            (chmod(folderName.constData(), 0555) != 0 ||
             chmod(QFile::encodeName(dir.path()).constData(), 0755) != 0 ||
             (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))))
            _exit(kSetupFailed);
        const rlimit limit = {16 * 1024, 16 * 1024};
        signal(SIGXFSZ, SIG_IGN);
        if (setup == kSizeLimit && setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(kSetupFailed);

        const auto entries = [&] {
            return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        };
        const QStringList before = entries();
        const QByteArray bytes = size ? QByteArray(size, 'x') : kNewBytes;
        QString outcome;
        try {
            velmor::WriteReportFile(path, bytes);
        } catch (const std::exception& e) {
            outcome = QString::fromUtf8(e.what());
        }
        if (outcome != message) {
            qWarning("got \"%s\"", qPrintable(outcome));
            _exit(kWrongMessage);
        }
        struct stat st = {};
        if (oldMode &&
            (!old.open(QIODevice::ReadOnly) ||
             old.readAll() != (message.isEmpty() ? bytes : kOldBytes) ||
             stat(pathName.constData(), &st) != 0 || (st.st_mode & 07777) != mode_t(oldMode)))
            _exit(kWrongBytes);
        QFile linked(QFile::decodeName(linkName));
        if ((setup == kFifo && (lstat(pathName.constData(), &st) != 0 || !S_ISFIFO(st.st_mode))) ||
            (setup == kHardLink && (!linked.open(QIODevice::ReadOnly) ||
                                    linked.readAll() != bytes || st.st_nlink != 2)) ||
            (setup == kOtherOwner && (st.st_uid != 65534 || st.st_gid != 65534)))
            _exit(kIdentityLost);
        _exit(entries() == before ? kPassed : kLeftovers);
    }
    int status = 0;
    QVERIFY(waitpid(pid, &status, 0) == pid);
    chmod(folderName.constData(), 0755);
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNoMount) QSKIP("cannot mount a tmpfs here");
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNotRoot) QSKIP("needs root to own a file");
    QCOMPARE(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), int(kPassed));
}

QTEST_GUILESS_MAIN(ReportFileTest)
#include "report_file_test.moc"
