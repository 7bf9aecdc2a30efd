// Writing the report file safely.
#pragma once

#include <QByteArray>
#include <QString>

namespace velmor {

// Creates or replaces the file at path with exactly bytes, without asking. The path keeps naming
// the same file it named before, with everything that file carried:
// - a new file (mode as the umask gives, the folder's default ACL), or an existing regular file
//   with one name whose owner, group, mode (set-user-ID, set-group-ID and sticky bits included),
//   ACL entries, extended attributes and user-settable inode flags a new file in its folder can
//   be given, is replaced by a temporary file (a short hidden name, so any name the file system
//   accepts can be saved) that gets all of them and is renamed over it once everything is written
//   and synced: on any failure the old file keeps its bytes and nothing is left behind;
// - any other existing regular file (hard or symbolic links to it, another user's file, one in a
//   folder the user may not write to, one whose group, special bits, ACL, attributes or flags a
//   new file could not keep, one that cannot be renamed over because it is a mount point) is
//   rewritten in place, as far as the user may write to it: the room for the new bytes is
//   reserved first, so a full disk or a file-size limit leaves the old bytes as they were; a
//   write that still fails after that leaves the file cut to what was written (should that last
//   cut fail, the old bytes beyond the new length stay after the new ones).
// Every symbolic link on the way to the file is followed only where the kernel's protection of
// sticky folders would follow it (see followed_links.h).
//
// Raises CannotCreateFileError(path) when the file cannot be created or opened (missing folder,
// no permission, an existing file without write permission - also for root, as a read-only file
// is on Windows - a name the file system refuses, a folder, FIFO, socket or device at the path, a
// symbolic link that is refused or points nowhere) or a finished new file cannot be renamed over
// the old one, and StreamWriteError when the data cannot all be written (a full disk, a
// file-size limit; the caller ignores SIGXFSZ).
void WriteReportFile(const QString& path, const QByteArray& bytes);

}  // namespace velmor
