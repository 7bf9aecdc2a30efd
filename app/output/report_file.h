// Writing the report file safely.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace velmor {

// Creates or replaces the file at path with exactly bytes, without asking. The path keeps naming
// the same file it named before, with everything that file carried:
// - a new file, or an existing regular file with one name whose owner, group, mode (set-user-ID,
//   set-group-ID and sticky bits included), ACL entries and extended attributes a new file in its
//   folder can be given, is replaced by a temporary file that gets all of them and is renamed over
//   it once everything is written and synced: on any failure the old file keeps its bytes and
//   nothing is left behind;
// - any other existing regular file (hard or symbolic links to it, another user's file, one in a
//   folder the user may not write to, one whose group, special bits, ACL or attributes a new file
//   could not keep) is rewritten in place, as far as the user may write to it: the room for the
//   new bytes is reserved first, so a full disk or a file-size limit leaves the old bytes as they
//   were; a write that still fails after that leaves the file cut to what was written (should
//   that last cut fail, the old bytes beyond the new length stay after the new ones).
//
// Raises CannotCreateFileError(path) when the file cannot be created or opened (missing folder,
// no permission, an existing file without write permission - also for root, as a read-only file
// is on Windows - a name the file system refuses, a folder, FIFO, socket or device at the path) or
// a finished new file cannot be renamed over the old one, and StreamWriteError when the data
// cannot all be written (a full disk, a file-size limit; the caller ignores SIGXFSZ).
void WriteReportFile(const QString& path, const QByteArray& bytes);

// For tests: asked before each system call the writer makes, with the call's name ("open",
// "write", "fsync", ...); a positive answer fails that call with that errno instead of making it,
// a negative one makes the call and then fails it with minus that errno (a call that failed part
// of the way). Empty (the default): every call is made.
void SetFileCallFailure(std::function<int(const char* call)> failure);

}  // namespace velmor
