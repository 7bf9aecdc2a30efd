// The report box as the place the report is written to.
#pragma once

#include <string_view>

#include "report.h"

class QPlainTextEdit;

namespace velmor {

// Clear empties the box; Append adds the line and a line break at the end, so after a report
// the box's text is the lines, each followed by "\n" (the last one too). The view follows the
// end of the text, as the caret does when a line is added.
class MemoReportSink final : public ReportSink {
  public:
    explicit MemoReportSink(QPlainTextEdit& memo) : memo_(memo) {}
    void Clear() override;
    void Append(std::string_view line) override;

  private:
    QPlainTextEdit& memo_;
};

}  // namespace velmor
