// Following symbolic links the way the kernel does where it protects sticky folders.
#pragma once

#include <QByteArray>

#include <sys/types.h>

#include <optional>

namespace velmor {

// Whether user may follow a symbolic link owned by linkOwner in a folder of folderOwner with
// folderMode, by the rule the kernel applies with fs.protected_symlinks: in a sticky folder that
// everyone may write to (/tmp), only links of the folder's owner or of the user themselves.
bool MayFollowLink(uid_t linkOwner, uid_t folderOwner, mode_t folderMode, uid_t user);

// The name with every symbolic link in it resolved (parts that do not exist stay as they are),
// each followed only where MayFollowLink allows it for the effective user; nullopt for a link
// that is refused, loops or cannot be read.
std::optional<QByteArray> ResolveLinks(const QByteArray& name);

}  // namespace velmor
