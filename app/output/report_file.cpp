#include "report_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "output_errors.h"

namespace velmor {
namespace {

// An existing file that nobody may write to is read-only. Root passes every permission check,
// so look at the mode bits themselves.
bool IsWriteProtected(const struct stat& st) {
    return S_ISREG(st.st_mode) && !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH));
}

// Whether a new file renamed over the old one would be the same file to everyone who names it:
// one name only (no symbolic or hard link sees the old bytes afterwards), and an owner the new
// file can be given.
bool ReplaceableByRename(const struct stat& linkSt, const struct stat& st) {
    return S_ISREG(linkSt.st_mode) && st.st_nlink == 1 &&
           (st.st_uid == geteuid() || geteuid() == 0);
}

// Writes all of bytes to fd; false when fewer could be written.
bool WriteAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        left -= written;
    }
    return true;
}

// Replaces the file through a temporary file and a rename, keeping the old file's owner and
// group. False (and nothing changed) when the temporary file cannot be made or given the owner;
// raises StreamWriteError when the data cannot be written, with the old file untouched.
bool ReplaceByRename(const QString& path, const QByteArray& bytes, const struct stat* old) {
    QSaveFile file(path);
    // Writing in place is decided by the caller, not left to QSaveFile.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (old && (old->st_uid != geteuid() || old->st_gid != getegid()) &&
        fchown(file.handle(), old->st_uid, old->st_gid) != 0) {
        file.cancelWriting();
        return false;
    }

    // commit() in Qt 6.4 does not report a failure to flush its buffer: on a full disk a small
    // report would replace the old file with an empty one. Flushing first surfaces the failure
    // while the old file is still in place.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        throw StreamWriteError();
    }
    if (!file.commit()) {
        // The data is flushed and synced inside commit(); a rename failure means the old file
        // could not be replaced.
        if (file.error() == QFileDevice::RenameError) throw CannotCreateFileError(path);
        throw StreamWriteError();
    }
    return true;
}

// Cuts the existing regular file to nothing and writes bytes into it: the file stays the same
// file, with its links, owner and mode.
void RewriteInPlace(const QString& path, const QByteArray& bytes) {
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: should the path have become a FIFO meanwhile, opening it must not wait.
    const int fd = ::open(name.constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw CannotCreateFileError(path);
    struct stat st = {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ftruncate(fd, 0) != 0) {
        ::close(fd);
        throw CannotCreateFileError(path);
    }
    const bool written = WriteAll(fd, bytes);
    // A file system that reports its failure only when the file is closed counts too.
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) throw StreamWriteError();
}

}  // namespace

void WriteReportFile(const QString& path, const QByteArray& bytes) {
    const QByteArray name = QFile::encodeName(path);
    struct stat linkSt = {}, st = {};
    if (lstat(name.constData(), &linkSt) != 0) {
        // Nothing there yet (or not reachable): a new file, made whole before it appears.
        if (!ReplaceByRename(path, bytes, nullptr)) throw CannotCreateFileError(path);
        return;
    }
    // A symbolic link names the file it points to; one that points nowhere is refused.
    if (stat(name.constData(), &st) != 0) throw CannotCreateFileError(path);
    // FIFOs, sockets, devices and folders are not report files.
    if (!S_ISREG(st.st_mode) || IsWriteProtected(st)) throw CannotCreateFileError(path);

    if (ReplaceableByRename(linkSt, st) && ReplaceByRename(path, bytes, &st)) return;
    // A linked file, another user's, or one in a folder without write permission: rewritten in
    // place, as far as the user may write to it.
    RewriteInPlace(path, bytes);
}

}  // namespace velmor
