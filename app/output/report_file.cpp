#include "report_file.h"

#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "carried_attributes.h"
#include "file_calls.h"
#include "followed_links.h"
#include "output_errors.h"

namespace velmor {
namespace {

// A name as the folder that holds it and its last part.
struct Place {
    QByteArray folder, base;
};

Place Split(const QByteArray& name) {
    const qsizetype slash = name.lastIndexOf('/');
    if (slash < 0) return {".", name};
    return {slash == 0 ? "/" : name.first(slash), name.sliced(slash + 1)};
}

// An existing file that nobody may write to is read-only. Root passes every permission check,
// so look at the mode bits themselves.
bool IsWriteProtected(const struct stat& st) {
    return S_ISREG(st.st_mode) && !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH));
}

// Cuts the file to length on a path that has already failed: if this fails too, nothing more
// can be done.
void CutTo(int fd, off_t length) {
    [[maybe_unused]] const int ignored = ftruncate(fd, length);
}

// Writes bytes from the file's start; the number of bytes written (fewer on failure).
qsizetype WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = FileCall("write", [&] {
            return ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        });
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        done += written;
    }
    return done;
}

// A new, empty file in the folder of a place, under a short hidden name of its own (so that it
// fits wherever the place's name fits), removed again unless renamed.
class TemporaryFile {
  public:
    TemporaryFile(const Place& place, mode_t mode)
        : folder_(::open(place.folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {
        for (int attempt = 0; attempt < 64 && folder_.Fd() >= 0; ++attempt) {
            name_ = '.' + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
            const int fd = FileCall("open", [&] {
                return ::openat(folder_.Fd(), name_.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, mode);
            });
            if (fd >= 0) {
                file_.emplace(fd);
                return;
            }
            if (errno != EEXIST) return;
        }
    }
    ~TemporaryFile() {
        if (file_) {
            file_.reset();
            ::unlinkat(folder_.Fd(), name_.constData(), 0);
        }
    }
    bool IsOpen() const { return file_.has_value(); }
    int Fd() const { return file_->Fd(); }
    // Synced and closed: all its bytes are on the disk, and a failure to store them is known.
    bool Finish() {
        return FileCall("fsync", [this] { return fsync(Fd()); }) == 0 && file_->Close();
    }
    // Renamed to base in its folder: from now on it is the file there.
    bool RenameTo(const QByteArray& base) {
        if (FileCall("rename", [&] {
                return ::renameat(folder_.Fd(), name_.constData(), folder_.Fd(), base.constData());
            }) != 0)
            return false;
        file_.reset();
        return true;
    }

  private:
    OpenFile folder_;
    QByteArray name_;
    std::optional<OpenFile> file_;
};

// Replaces the file by a temporary file renamed over it. False (and nothing changed) when the
// temporary file cannot be made, cannot carry all that the old file carries or cannot be renamed
// over it for a reason rewriting in place does not share; raises StreamWriteError when the data
// cannot be stored and CannotCreateFileError when the rename fails otherwise, with the old file
// untouched.
bool ReplaceByRename(const QString& path, const QByteArray& name, const QByteArray& bytes,
                     const struct stat* old) {
    // A new file gets the usual mode and the folder's default ACL; a replacement starts private.
    const Place place = Split(name);
    TemporaryFile file(place, old ? 0600 : 0666);
    if (!file.IsOpen() || (old && !CarryInodeFlags(file.Fd(), name))) return false;
    if (WriteAll(file.Fd(), bytes) != bytes.size()) throw StreamWriteError();
    // After the data: writing would drop set-ID bits and file capabilities again.
    if (old && !CarryOver(file.Fd(), name, *old)) return false;
    if (!file.Finish()) throw StreamWriteError();
    if (file.RenameTo(place.base)) return true;
    // A mount point (a bind-mounted file) or a name on another mount can still be rewritten.
    if (old && (errno == EBUSY || errno == EXDEV || errno == ENAMETOOLONG)) return false;
    throw CannotCreateFileError(path);
}

// Writes bytes over the existing regular file and cuts it to their length: the file stays the
// same file, with its links, owner, mode, ACL, attributes and inode flags.
void RewriteInPlace(const QString& path, const QByteArray& name, const QByteArray& bytes) {
    // Read access too, as the file is opened for saving (the reservation below needs it where
    // the C library emulates it). O_NONBLOCK: should the path have become a FIFO meanwhile,
    // opening it must not wait; should it have become a symbolic link, it is not followed.
    OpenFile file(FileCall("open", [&] {
        return ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    }));
    const int fd = file.Fd();
    struct stat st = {};
    if (fd < 0 || FileCall("fstat", [&] { return fstat(fd, &st); }) != 0 || !S_ISREG(st.st_mode))
        throw CannotCreateFileError(path);
    // Room for all the new bytes first: on a full disk or past a size limit the old bytes stay.
    if (!bytes.isEmpty() && FileCall("posix_fallocate", [&] {
                                errno = posix_fallocate(fd, 0, off_t(bytes.size()));
                                return errno == 0 ? 0 : -1;
                            }) != 0) {
        // A reservation that failed part of the way may have lengthened the file.
        CutTo(fd, st.st_size);
        throw StreamWriteError();
    }
    const qsizetype written = WriteAll(fd, bytes);
    // A failed write leaves the file cut to what was written, as a plain rewrite would.
    if (written != bytes.size()) {
        CutTo(fd, off_t(written));
        throw StreamWriteError();
    }
    // The old bytes beyond the new length go; should that fail, they stay after the new ones.
    if (FileCall("ftruncate", [&] { return ftruncate(fd, off_t(bytes.size())); }) != 0 ||
        !file.Close())
        throw StreamWriteError();
}

}  // namespace

void WriteReportFile(const QString& path, const QByteArray& bytes) {
    const QByteArray name = QFile::encodeName(path);
    const std::optional<QByteArray> resolved = ResolveLinks(name);
    if (!resolved) throw CannotCreateFileError(path);
    struct stat linkSt = {}, st = {};
    if (lstat(name.constData(), &linkSt) != 0) {
        // Nothing there yet (or not reachable): a new file, made whole before it appears.
        if (!ReplaceByRename(path, *resolved, bytes, nullptr)) throw CannotCreateFileError(path);
        return;
    }
    // A symbolic link names the file it points to; one that points nowhere fails.
    if (stat(resolved->constData(), &st) != 0) throw CannotCreateFileError(path);
    // FIFOs, sockets, devices and folders are not report files.
    if (!S_ISREG(st.st_mode) || IsWriteProtected(st)) throw CannotCreateFileError(path);

    // With one name only, no symbolic or hard link sees the old bytes after a rename.
    const bool oneName = S_ISREG(linkSt.st_mode) && st.st_nlink == 1;
    if (oneName && ReplaceByRename(path, *resolved, bytes, &st)) return;
    RewriteInPlace(path, *resolved, bytes);
}

}  // namespace velmor
