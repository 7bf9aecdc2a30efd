#include "memo_report_sink.h"

#include <QPlainTextEdit>
#include <QString>
#include <QTextCursor>

namespace velmor {

void MemoReportSink::Clear() {
    memo_.clear();
}

void MemoReportSink::Append(std::string_view line) {
    // appendPlainText would start a new paragraph before the line and leave none after it.
    memo_.moveCursor(QTextCursor::End);
    memo_.insertPlainText(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())) +
                          u'\n');
    memo_.ensureCursorVisible();
}

}  // namespace velmor
