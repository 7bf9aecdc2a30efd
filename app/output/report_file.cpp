#include "report_file.h"

#include <QFileInfo>
#include <QSaveFile>

#include "output_errors.h"

namespace velmor {
namespace {

// An existing file that nobody may write to is read-only. Root passes every permission check,
// so look at the mode bits themselves; QSaveFile itself refuses files the user may not write.
bool IsWriteProtected(const QFileInfo& info) {
    // WriteUser is left out: for root it comes from access(), which always grants.
    constexpr QFile::Permissions kAnyWrite =
        QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return info.exists() && info.isFile() && !(info.permissions() & kAnyWrite);
}

}  // namespace

void WriteReportFile(const QString& path, const QByteArray& bytes) {
    if (IsWriteProtected(QFileInfo(path))) throw CannotCreateFileError(path);

    QSaveFile file(path);
    // Writing in place when the folder forbids the temporary file would put the old file at risk.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) throw CannotCreateFileError(path);

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
}

}  // namespace velmor
