#include "carried_attributes.h"

#include <QByteArrayList>

#include <acl/libacl.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/limits.h>
#include <sys/acl.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>

#include <optional>

#include "file_calls.h"

namespace velmor {
namespace {

// The inode flags a user may set, and no-copy-on-write, which a replacement carries. Immutable
// and append-only files can be neither replaced nor rewritten.
constexpr int kCarriedFlags =
    (FS_FL_USER_MODIFIABLE | FS_NOCOW_FL) & ~(FS_IMMUTABLE_FL | FS_APPEND_FL);

// The file's inode flags: 0 where the file system has none, nullopt when they cannot be read.
std::optional<int> InodeFlags(int fd) {
    int flags = 0;
    if (FileCall("FS_IOC_GETFLAGS", [&] { return ioctl(fd, FS_IOC_GETFLAGS, &flags); }) == 0)
        return flags;
    return errno == ENOTTY || errno == EOPNOTSUPP ? std::optional(0) : std::nullopt;
}

bool CarryAcl(int fd, const QByteArray& oldName) {
    acl_t acl = nullptr;
    if (FileCall("acl_get_file", [&] {
            acl = acl_get_file(oldName.constData(), ACL_TYPE_ACCESS);
            return acl ? 0 : -1;
        }) != 0)
        return false;
    const bool set = FileCall("acl_set_fd", [&] { return acl_set_fd(fd, acl); }) == 0;
    acl_free(acl);
    return set;
}

// Gives the file at fd the ACL and every extended attribute of the file oldName; false when one
// of them cannot be read or given (security.* and trusted.* ones may need privileges).
bool CarryAttributes(int fd, const QByteArray& oldName) {
    QByteArray names(XATTR_LIST_MAX, Qt::Uninitialized), value(XATTR_SIZE_MAX, Qt::Uninitialized);
    const ssize_t size = FileCall("llistxattr", [&] {
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
        const ssize_t length = FileCall("lgetxattr", [&] {
            return lgetxattr(oldName.constData(), name.constData(), value.data(),
                             size_t(value.size()));
        });
        if (length < 0 || FileCall("fsetxattr", [&] {
                              return fsetxattr(fd, name.constData(), value.constData(),
                                               size_t(length), 0);
                          }) != 0)
            return false;
    }
    // The new file took the folder's default ACL, which the old file may not have had.
    if (acl) return true;
    const int removed =
        FileCall("fremovexattr", [&] { return fremovexattr(fd, "system.posix_acl_access"); });
    return removed == 0 || errno == ENODATA || errno == ENOTSUP;
}

}  // namespace

bool CarryInodeFlags(int fd, const QByteArray& oldName) {
    const OpenFile old(
        ::open(oldName.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    const std::optional<int> was = old.Fd() < 0 ? std::nullopt : InodeFlags(old.Fd());
    const std::optional<int> now = InodeFlags(fd);
    if (!was || !now || (*was & (FS_IMMUTABLE_FL | FS_APPEND_FL))) return false;
    int wanted = (*now & ~kCarriedFlags) | (*was & kCarriedFlags);
    if (wanted == *now) return true;
    if (FileCall("FS_IOC_SETFLAGS", [&] { return ioctl(fd, FS_IOC_SETFLAGS, &wanted); }) != 0)
        return false;
    // A file system may take the call and drop a flag it does not keep.
    const std::optional<int> given = InodeFlags(fd);
    return given && (*given & kCarriedFlags) == (*was & kCarriedFlags);
}

bool CarryOver(int fd, const QByteArray& oldName, const struct stat& old) {
    // Changing the owner drops the set-ID bits, so the mode is set after it.
    if (FileCall("fchown", [&] { return fchown(fd, old.st_uid, old.st_gid); }) != 0 ||
        !CarryAttributes(fd, oldName) ||
        FileCall("fchmod", [&] { return fchmod(fd, old.st_mode & 07777); }) != 0)
        return false;
    // The kernel drops set-group-ID without an error when the caller is not in the file's group.
    struct stat st = {};
    return FileCall("fstat", [&] { return fstat(fd, &st); }) == 0 &&
           (st.st_mode & 07777) == (old.st_mode & 07777);
}

}  // namespace velmor
