// Writing the report file: exact bytes, replacement of an existing file, and every failure,
// after which an existing file must still hold its old bytes and no partial file may be left.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

#include "output_errors.h"
#include "report_file.h"

using velmor::CannotCreateFileError;
using velmor::StreamWriteError;
using velmor::WriteReportFile;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "<unreadable>";
    return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

mode_t ModeOf(const QString& path) {
    struct stat st = {};
    if (stat(QFile::encodeName(path).constData(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

// The message WriteReportFile raised, or "" when it returned normally.
QString Outcome(const QString& path, const QByteArray& bytes) {
    try {
        WriteReportFile(path, bytes);
        return QString();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// Runs check in a child process (for a user, a limit or a mount that must not reach this one);
// the child's exit code is check's result, 0 for success.
int InChild(const std::function<int()>& check) {
    const pid_t pid = fork();
    if (pid == 0) _exit(check());
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The report of a later test run is larger than any old file below.
const QByteArray kOldBytes = "old report\r\nwith two lines that are longer than the new\r\n";
const QByteArray kNewBytes = "\xb1\xbe\xc8\xed\xbc\xfe\r\n";

}  // namespace

class ReportFileTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void createsNewFile();
    void replacesLongerFileKeepingItsPermissions();
    void emptyTextGivesEmptyFile();
    void cannotCreate_data();
    void cannotCreate();
    void folderWithoutPermission();
    void fileSizeLimitIsAStreamWriteError();
    void fullDiskIsAStreamWriteError();

  private:
    std::unique_ptr<QTemporaryDir> dir_;
};

void ReportFileTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void ReportFileTest::createsNewFile() {
    const QString path = dir_->filePath("result.txt");
    const mode_t mask = umask(022);
    const QString outcome = Outcome(path, kNewBytes);
    umask(mask);
    QCOMPARE(outcome, QString());
    QCOMPARE(ReadAll(path), kNewBytes);
    QCOMPARE(ModeOf(path), mode_t(0644));
    QCOMPARE(Entries(dir_->path()), QStringList{"result.txt"});
}

void ReportFileTest::replacesLongerFileKeepingItsPermissions() {
    const QString path = dir_->filePath("result.txt");
    WriteAll(path, kOldBytes);
    QVERIFY(chmod(QFile::encodeName(path).constData(), 0640) == 0);

    QCOMPARE(Outcome(path, kNewBytes), QString());
    QCOMPARE(ReadAll(path), kNewBytes);
    QCOMPARE(ModeOf(path), mode_t(0640));
    QCOMPARE(Entries(dir_->path()), QStringList{"result.txt"});
}

void ReportFileTest::emptyTextGivesEmptyFile() {
    const QString fresh = dir_->filePath("fresh.txt");
    const QString old = dir_->filePath("old.txt");
    WriteAll(old, kOldBytes);
    QCOMPARE(Outcome(fresh, QByteArray()), QString());
    QCOMPARE(Outcome(old, QByteArray()), QString());
    QCOMPARE(QFileInfo(fresh).size(), 0);
    QCOMPARE(QFileInfo(old).size(), 0);
}

void ReportFileTest::cannotCreate_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("oldFileThere");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("missing folder") << "no-such-folder/result.txt" << false << false;
    QTest::newRow("read-only existing file") << "result.txt" << true << true;
    QTest::newRow("name too long") << QString(300, u'r') + ".txt" << false << false;
    QTest::newRow("a folder of that name") << "folder.txt" << false << false;
}

void ReportFileTest::cannotCreate() {
    QFETCH(QString, name);
    QFETCH(bool, oldFileThere);
    QFETCH(bool, readOnly);
    const QString path = dir_->filePath(name);
    if (oldFileThere) WriteAll(path, kOldBytes);
    if (readOnly) QVERIFY(chmod(QFile::encodeName(path).constData(), 0444) == 0);
    if (name == "folder.txt") QVERIFY(QDir(dir_->path()).mkdir(name));
    const QStringList before = Entries(dir_->path());

    QCOMPARE(Outcome(path, kNewBytes), "Cannot create file " + path);
    QCOMPARE(Entries(dir_->path()), before);
    if (oldFileThere) {
        QCOMPARE(ReadAll(path), kOldBytes);
        QCOMPARE(ModeOf(path), mode_t(0444));
    }
}

// A folder the user may not write to. Root may write anywhere, so then the check runs as
// "nobody" in a child process.
void ReportFileTest::folderWithoutPermission() {
    const QString folder = dir_->filePath("locked");
    QVERIFY(QDir(dir_->path()).mkdir("locked"));
    const QString path = folder + "/result.txt";
    WriteAll(path, kOldBytes);
    QVERIFY(chmod(QFile::encodeName(path).constData(), 0666) == 0);
    QVERIFY(chmod(QFile::encodeName(folder).constData(), 0555) == 0);
    QVERIFY(chmod(QFile::encodeName(dir_->path()).constData(), 0755) == 0);

    const int result = InChild([&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 10;
        if (Outcome(path, kNewBytes) != "Cannot create file " + path) return 1;
        return 0;
    });
    chmod(QFile::encodeName(folder).constData(), 0755);
    QCOMPARE(result, 0);
    QCOMPARE(ReadAll(path), kOldBytes);
    QCOMPARE(Entries(folder), QStringList{"result.txt"});
}

// A file-size limit stops the write half-way, as a full disk does.
void ReportFileTest::fileSizeLimitIsAStreamWriteError() {
    const QString path = dir_->filePath("result.txt");
    WriteAll(path, kOldBytes);
    const QByteArray big(256 * 1024, 'x');

    const int result = InChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {16 * 1024, 16 * 1024};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
        if (Outcome(path, big) != "Stream write error") return 1;
        return 0;
    });
    QCOMPARE(result, 0);
    QCOMPARE(ReadAll(path), kOldBytes);
    QCOMPARE(Entries(dir_->path()), QStringList{"result.txt"});
}

// A real full file system: a small tmpfs, mounted in a private mount namespace of a child
// process. Needs the right to mount; skipped without it.
void ReportFileTest::fullDiskIsAStreamWriteError() {
    const QString folder = dir_->filePath("tiny");
    QVERIFY(QDir(dir_->path()).mkdir("tiny"));
    const QString path = folder + "/result.txt";

    enum { kPassed, kNoMount, kSetupFailed, kWrongOutcome, kOldFileChanged, kLeftovers };
    const int result = InChild([&]() -> int {
        const QByteArray target = QFile::encodeName(folder);
        if (unshare(CLONE_NEWNS) != 0) return kNoMount;
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return kNoMount;
        if (mount("tmpfs", target.constData(), "tmpfs", 0, "size=64k") != 0) return kNoMount;
        QFile old(path);
        if (!old.open(QIODevice::WriteOnly) || old.write(kOldBytes) != kOldBytes.size())
            return kSetupFailed;
        old.close();
        // Fill the rest of the file system.
        QFile filler(folder + "/filler");
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return kSetupFailed;
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
        filler.close();

        if (Outcome(path, QByteArray(32 * 1024, 'x')) != "Stream write error") return kWrongOutcome;
        if (ReadAll(path) != kOldBytes) return kOldFileChanged;
        if (Entries(folder) != QStringList{"filler", "result.txt"}) return kLeftovers;
        return kPassed;
    });
    if (result == kNoMount) QSKIP("no permission to mount a tmpfs here");
    QCOMPARE(result, int(kPassed));
}

QTEST_GUILESS_MAIN(ReportFileTest)
#include "report_file_test.moc"
