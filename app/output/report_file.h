// Writing the report file safely.
#pragma once

#include <QByteArray>
#include <QString>

namespace velmor {

// Creates or replaces the file at path with exactly bytes, without asking. The path keeps naming
// the same file it named before:
// - a new file, or an existing regular file with one name whose owner and group the new file can
//   keep, is replaced by a temporary file renamed over it once everything is written and flushed:
//   on any failure the old file keeps its bytes and nothing is left behind; the old file's
//   permission bits, owner and group are kept;
// - any other existing regular file (hard or symbolic links to it, another user's file, a folder
//   the user may not write to) is cut to nothing and rewritten in place, as far as the user may
//   write to it; a failed write leaves it holding what was written.
//
// Raises CannotCreateFileError(path) when the file cannot be created or opened (missing folder,
// no permission, an existing file without write permission - also for root, as a read-only file
// is on Windows - a name the file system refuses, a folder, FIFO, socket or device at the path),
// and StreamWriteError when the data cannot all be written (a full disk, a file-size limit; the
// caller ignores SIGXFSZ).
void WriteReportFile(const QString& path, const QByteArray& bytes);

}  // namespace velmor
