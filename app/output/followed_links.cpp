#include "followed_links.h"

#include <QByteArrayList>

#include <linux/limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmor {
namespace {

// The link's target, or nullopt when it cannot be read.
std::optional<QByteArray> LinkTarget(const QByteArray& link) {
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t size = readlink(link.constData(), target.data(), size_t(target.size()));
    if (size <= 0 || size >= target.size()) return std::nullopt;
    return target.first(size);
}

}  // namespace

bool MayFollowLink(uid_t linkOwner, uid_t folderOwner, mode_t folderMode, uid_t user) {
    const mode_t guarded = S_ISVTX | S_IWOTH;
    return (folderMode & guarded) != guarded || linkOwner == folderOwner || linkOwner == user;
}

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

}  // namespace velmor
