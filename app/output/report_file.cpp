#include "report_file.h"

#include <QFile>
#include <QRandomGenerator>

#include <acl/libacl.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/limits.h>
#include <sys/acl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <utility>

#include "file_call_seam.h"
#include "output_errors.h"

namespace velmor {
namespace {

struct Seam {
    std::function<int(const char*)> failure;
    std::function<void(const char*)> made;
};

Seam& TheSeam() {
    static Seam seam;
    return seam;
}

// Makes one system call that answers -1 with errno on failure, unless the test seam fails it
// (before the call, or after it when the seam's answer is negative).
template <typename Call>
auto Sys(const char* name, Call call) -> decltype(call()) {
    const Seam& seam = TheSeam();
    if (seam.failure)
        if (const int error = seam.failure(name)) {
            if (error < 0) {
                call();
                if (seam.made) seam.made(name);
            }
            errno = std::abs(error);
            return -1;
        }
    return call();
}

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

// An open file, closed exactly once: by Close(), or when it goes out of scope.
class OpenFile {
  public:
    explicit OpenFile(int fd) : fd_(fd) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    int Fd() const { return fd_; }
    // A file system that reports its failure only when the file is closed counts too. The
    // descriptor is gone even then: closing its number again could close a file another thread
    // has just opened.
    bool Close() {
        const int fd = std::exchange(fd_, -1);
        return Sys("close", [fd] { return ::close(fd); }) == 0;
    }

  private:
    int fd_;
};

// Cuts the file to length on a path that has already failed: if this fails too, nothing more
// can be done.
void CutTo(int fd, off_t length) {
    [[maybe_unused]] const int ignored = ftruncate(fd, length);
}

// Writes bytes from the file's start; the number of bytes written (fewer on failure).
qsizetype WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = Sys("write", [&] {
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
            const int fd = Sys("open", [&] {
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
        return Sys("fsync", [this] { return fsync(Fd()); }) == 0 && file_->Close();
    }
    // Renamed to base in its folder: from now on it is the file there.
    bool RenameTo(const QByteArray& base) {
        if (Sys("rename", [&] {
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

// The inode flags a user may set, and no-copy-on-write, which a replacement carries. Immutable
// and append-only files can be neither replaced nor rewritten.
constexpr int kCarriedFlags =
    (FS_FL_USER_MODIFIABLE | FS_NOCOW_FL) & ~(FS_IMMUTABLE_FL | FS_APPEND_FL);

// The file's inode flags: 0 where the file system has none, nullopt when they cannot be read.
std::optional<int> InodeFlags(int fd) {
    int flags = 0;
    if (Sys("FS_IOC_GETFLAGS", [&] { return ioctl(fd, FS_IOC_GETFLAGS, &flags); }) == 0)
        return flags;
    return errno == ENOTTY || errno == EOPNOTSUPP ? std::optional(0) : std::nullopt;
}

// Gives the empty file at fd the inode flags of the file oldName (before any data: some, like
// no-copy-on-write, only take on an empty file); false when they cannot all be given.
bool CarryFlags(int fd, const QByteArray& oldName) {
    const OpenFile old(
        ::open(oldName.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    const std::optional<int> was = old.Fd() < 0 ? std::nullopt : InodeFlags(old.Fd());
    const std::optional<int> now = InodeFlags(fd);
    if (!was || !now || (*was & (FS_IMMUTABLE_FL | FS_APPEND_FL))) return false;
    int wanted = (*now & ~kCarriedFlags) | (*was & kCarriedFlags);
    if (wanted == *now) return true;
    if (Sys("FS_IOC_SETFLAGS", [&] { return ioctl(fd, FS_IOC_SETFLAGS, &wanted); }) != 0)
        return false;
    // A file system may take the call and drop a flag it does not keep.
    const std::optional<int> given = InodeFlags(fd);
    return given && (*given & kCarriedFlags) == (*was & kCarriedFlags);
}

bool CarryAcl(int fd, const QByteArray& oldName) {
    acl_t acl = nullptr;
    if (Sys("acl_get_file", [&] {
            acl = acl_get_file(oldName.constData(), ACL_TYPE_ACCESS);
            return acl ? 0 : -1;
        }) != 0)
        return false;
    const bool set = Sys("acl_set_fd", [&] { return acl_set_fd(fd, acl); }) == 0;
    acl_free(acl);
    return set;
}

// Gives the file at fd the ACL and every extended attribute of the file oldName; false when one
// of them cannot be read or given (security.* and trusted.* ones may need privileges).
bool CarryAttributes(int fd, const QByteArray& oldName) {
    QByteArray names(XATTR_LIST_MAX, Qt::Uninitialized), value(XATTR_SIZE_MAX, Qt::Uninitialized);
    const ssize_t size = Sys("llistxattr", [&] {
        return llistxattr(oldName.constData(), names.data(), size_t(names.size()));
    });
    // A file system without extended attributes has none to keep.
    if (size < 0) return errno == ENOTSUP;
    bool acl = false;
    for (const QByteArray& name : names.first(size).split('\0')) {
        if (name.isEmpty()) continue;
        if (name == "system.posix_acl_access") {
            if (!CarryAcl(fd, oldName)) return false;
            acl = true;
            continue;
        }
        const ssize_t length = Sys("lgetxattr", [&] {
            return lgetxattr(oldName.constData(), name.constData(), value.data(),
                             size_t(value.size()));
        });
        if (length < 0 || Sys("fsetxattr", [&] {
                              return fsetxattr(fd, name.constData(), value.constData(),
                                               size_t(length), 0);
                          }) != 0)
            return false;
    }
    // The new file took the folder's default ACL, which the old file may not have had.
    return acl ||
           Sys("fremovexattr", [&] { return fremovexattr(fd, "system.posix_acl_access"); }) == 0 ||
           errno == ENODATA || errno == ENOTSUP;
}

// Gives the file at fd everything the old file carries; false when it cannot carry all of it.
bool CarryOver(int fd, const QByteArray& oldName, const struct stat& old) {
    // Changing the owner drops the set-ID bits, so the mode is set after it.
    if (Sys("fchown", [&] { return fchown(fd, old.st_uid, old.st_gid); }) != 0 ||
        !CarryAttributes(fd, oldName) ||
        Sys("fchmod", [&] { return fchmod(fd, old.st_mode & 07777); }) != 0)
        return false;
    // The kernel drops set-group-ID without an error when the caller is not in the file's group.
    struct stat st = {};
    return Sys("fstat", [&] { return fstat(fd, &st); }) == 0 &&
           (st.st_mode & 07777) == (old.st_mode & 07777);
}

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
    if (!file.IsOpen() || (old && !CarryFlags(file.Fd(), name))) return false;
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
// same file, with its links, owner, mode, ACL and attributes.
void RewriteInPlace(const QString& path, const QByteArray& name, const QByteArray& bytes) {
    // Read access too, as the file is opened for saving (the reservation below needs it where
    // the C library emulates it). O_NONBLOCK: should the path have become a FIFO meanwhile,
    // opening it must not wait; should it have become a symbolic link, it is not followed.
    OpenFile file(Sys("open", [&] {
        return ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    }));
    const int fd = file.Fd();
    struct stat st = {};
    if (fd < 0 || Sys("fstat", [&] { return fstat(fd, &st); }) != 0 || !S_ISREG(st.st_mode))
        throw CannotCreateFileError(path);
    // Room for all the new bytes first: on a full disk or past a size limit the old bytes stay.
    if (!bytes.isEmpty() && Sys("posix_fallocate", [&] {
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
    if (Sys("ftruncate", [&] { return ftruncate(fd, off_t(bytes.size())); }) != 0 || !file.Close())
        throw StreamWriteError();
}

// The link's target, or nullopt when it cannot be read.
std::optional<QByteArray> LinkTarget(const QByteArray& link) {
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t size = readlink(link.constData(), target.data(), size_t(target.size()));
    if (size <= 0 || size >= target.size()) return std::nullopt;
    return target.first(size);
}

// The name with every symbolic link in it resolved (parts that do not exist stay as they are),
// each followed only where MayFollowLink allows; nullopt for a link that is refused, loops or
// cannot be read.
std::optional<QByteArray> ResolveLinks(const QByteArray& name) {
    QByteArray done = name.startsWith('/') ? "/" : ".";  // a folder with no link on its way
    QByteArrayList rest = name.split('/');
    for (int links = 0; !rest.isEmpty();) {
        const QByteArray part = rest.takeFirst();
        if (part.isEmpty() || part == ".") continue;
        const QByteArray next = done + (done.endsWith('/') ? "" : "/") + part;
        struct stat link = {}, folder = {};
        if (part == ".." || lstat(next.constData(), &link) != 0 || !S_ISLNK(link.st_mode)) {
            done = next;
            continue;
        }
        // The kernel gives up after 40 links as well.
        if (++links > 40 || stat(done.constData(), &folder) != 0 ||
            !MayFollowLink(link.st_uid, folder.st_uid, folder.st_mode, geteuid()))
            return std::nullopt;
        const std::optional<QByteArray> target = LinkTarget(next);
        if (!target) return std::nullopt;
        rest = target->split('/') + rest;
        if (target->startsWith('/')) done = "/";
    }
    // A name ending in a slash names a folder, never a report file.
    return name.endsWith('/') ? done + '/' : done;
}

}  // namespace

void SetFileCallFailure(std::function<int(const char* call)> failure,
                        std::function<void(const char* call)> made) {
    TheSeam() = {std::move(failure), std::move(made)};
}

bool MayFollowLink(uid_t linkOwner, uid_t folderOwner, mode_t folderMode, uid_t user) {
    const mode_t guarded = S_ISVTX | S_IWOTH;
    return (folderMode & guarded) != guarded || linkOwner == folderOwner || linkOwner == user;
}

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
