// The report: a heading and one block of results for VBE = 0.7 V and one for 0.3 V.
//
// BuildReport appends each line as soon as its value exists, so a calculation that fails
// part-way leaves exactly the lines before the failing step, then raises the error.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "amplifier.h"

namespace velmor {

// Where the report goes: the calculation only ever clears it and appends whole lines (UTF-8).
class ReportSink {
  public:
    virtual ~ReportSink() = default;
    virtual void Clear() = 0;
    virtual void Append(std::string_view line) = 0;
};

// A report held as a list of lines, for the command-line tool and the tests.
class ReportLines final : public ReportSink {
  public:
    void Clear() override { lines_.clear(); }
    void Append(std::string_view line) override { lines_.emplace_back(line); }
    const std::vector<std::string>& Lines() const { return lines_; }

  private:
    std::vector<std::string> lines_;
};

inline constexpr int kReportLineCount = 29;

void BuildReport(const InputSet& in, ReportSink& report);

}  // namespace velmor
