// Writing the report file safely.
#pragma once

#include <QByteArray>
#include <QString>

namespace velmor {

// Creates or replaces the file at path with exactly bytes, without asking.
//
// The data goes to a temporary file in the same folder, which replaces the old file by a rename
// only once everything is written and flushed to disk. So on any failure an existing file keeps
// its bytes and no partial file is left behind. A replaced file keeps its permission bits; a new
// one gets the usual 0666 less the umask.
//
// Raises CannotCreateFileError(path) when the file cannot be created or replaced (missing folder,
// no permission for the folder, an existing file without write permission - also for root, as a
// read-only file is on Windows - or a name the file system refuses), and
// StreamWriteError when the data cannot all be written (a full disk, a file-size limit).
void WriteReportFile(const QString& path, const QByteArray& bytes);

}  // namespace velmor
