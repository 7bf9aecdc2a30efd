// Giving a new file what an old one carries besides its bytes, so that it can stand in for it.
#pragma once

#include <QByteArray>

#include <sys/stat.h>

namespace velmor {

// Gives the empty file at fd the user-settable inode flags of the file oldName (before any data:
// some, like no-copy-on-write, only take on an empty file); false when they cannot all be given,
// as for an immutable or append-only file.
bool CarryInodeFlags(int fd, const QByteArray& oldName);

// Gives the file at fd the owner, group, mode (set-user-ID, set-group-ID and sticky bits
// included), ACL entries and extended attributes of the file oldName, whose status is old; false
// when it cannot carry all of them.
bool CarryOver(int fd, const QByteArray& oldName, const struct stat& old);

}  // namespace velmor
