// The report for whole calculations: the default report line for line, and how each kind of
// fault leaves the report box.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "amplifier.h"
#include "decimal_separator.h"
#include "errors.h"
#include "report.h"

namespace velmor {
namespace {

using Texts = std::array<std::string_view, kInputCount>;
constexpr Texts kDefaults = kDefaultInputTexts;

// The 29 lines of the default report, as velmor-report prints them.
std::vector<std::string> ReadDefaultReport() {
    std::ifstream file(VELMOR_DEFAULT_REPORT);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}
const std::vector<std::string> kDefaultReport = ReadDefaultReport();

std::vector<std::string> FirstLines(size_t n) {
    return {kDefaultReport.begin(), kDefaultReport.begin() + static_cast<long>(n)};
}

// Runs one calculation as the Calculate button does, into a report that may hold an earlier
// one; returns the message of the error raised, or "" when there was none.
std::string Calculate(Texts texts, ReportLines& report) {
    try {
        BuildReport(ReadInputSet(texts), report);
        return "";
    } catch (const VelmorError& e) {
        return e.what();
    }
}

Texts With(std::initializer_list<std::pair<int, std::string_view>> changes) {
    Texts texts = kDefaults;
    for (const auto& [index, text] : changes) texts[index] = text;
    return texts;
}

enum Input { kR1, kR2, kR3, kR4, kC1, kC2, kVcc, kBeta };

TEST(BuildReport, DefaultInputsGiveTheFullReportEveryTime) {
    ReportLines report;
    EXPECT_EQ(Calculate(kDefaults, report), "");
    EXPECT_EQ(report.Lines(), kDefaultReport);
    ASSERT_EQ(report.Lines().size(), static_cast<size_t>(kReportLineCount));
    // A second calculation clears the first: 29 lines, not 58.
    EXPECT_EQ(Calculate(kDefaults, report), "");
    EXPECT_EQ(report.Lines(), kDefaultReport);
}

TEST(BuildReport, FaultsLeaveTheLinesBeforeTheFailingStep) {
    struct Case {
        const char* what;
        Texts texts;
        const char* message;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"VB equals VBE: rbe is 0",
         With({{kVcc, "1.4"}}),
         "Floating point division by zero",
         {kDefaultReport[0], kDefaultReport[1], "基极静态电位VB=0.7V", "发射极静态电位VE=0V",
          "发射极静态电流IE=0A", "基极-发射极内阻rbe=0omh"}},
        {"Beta = -1", With({{kBeta, "-1"}}), "Floating point division by zero", FirstLines(14)},
        {"R4 = 0", With({{kR4, "0"}}), "Floating point division by zero", FirstLines(4)},
        {"R4 = 0 and VE = 0",
         With({{kR4, "0"}, {kVcc, "1.4"}}),
         "Invalid floating point operation",
         {kDefaultReport[0], kDefaultReport[1], "基极静态电位VB=0.7V", "发射极静态电位VE=0V"}},
        {"VB overflows", With({{kR1, "-1"}, {kR3, "2"}, {kVcc, "1E308"}}),
         "Floating point overflow", FirstLines(2)},
    };
    for (const Case& c : cases) {
        ReportLines report;
        report.Append("previous report");
        EXPECT_EQ(Calculate(c.texts, report), c.message) << c.what;
        EXPECT_EQ(report.Lines(), c.lines) << c.what;
    }
}

TEST(BuildReport, FaultsBeforeTheClearLeaveThePreviousReport) {
    struct Case {
        const char* what;
        Texts texts;
        const char* message;
    };
    const Case cases[] = {
        {"R1 = R3 = 0", With({{kR1, "0"}, {kR3, "0"}}), "Invalid floating point operation"},
        {"R1 + R3 = 0", With({{kR1, "-5"}, {kR3, "5"}}), "Floating point division by zero"},
        {"C1 is not a number", With({{kC1, "abc"}}), "'abc' is not a valid floating point value"},
        {"Beta is empty", With({{kBeta, ""}}), "'' is not a valid floating point value"},
        // The overflowing R1 stops the reading before C1 is looked at.
        {"R1 beyond binary64", With({{kR1, "1E400"}, {kC1, "abc"}}), "Floating point overflow"},
        {"Beta beyond binary64", With({{kBeta, "-1E309"}}), "Floating point overflow"},
    };
    for (const Case& c : cases) {
        ReportLines report;
        report.Append("previous report");
        EXPECT_EQ(Calculate(c.texts, report), c.message) << c.what;
        EXPECT_EQ(report.Lines(), std::vector<std::string>{"previous report"}) << c.what;
    }
}

TEST(BuildReport, OverflowOfAStoredResultStopsAtItsLine) {
    // IC × R2 is beyond binary64 (held in the extended format), and so is VC.
    ReportLines report;
    EXPECT_EQ(Calculate(With({{kR4, "1E-10"}, {kR2, "1E300"}}), report), "Floating point overflow");
    ASSERT_EQ(report.Lines().size(), 8u);
    EXPECT_EQ(report.Lines()[7], "集电极静态电流IC=8000000000A");
    // IC × R2 alone may exceed binary64 when VC does not.
    EXPECT_EQ(Calculate(With({{kR4, "1E-10"}, {kR2, "1E300"}, {kVcc, "1E309"}}), report),
              "Floating point overflow");
    // Tiny inputs underflow silently instead.
    EXPECT_EQ(Calculate(With({{kC1, "1E-400"}, {kC2, "-1E-320"}}), report), "");
    EXPECT_EQ(report.Lines().size(), static_cast<size_t>(kReportLineCount));
}

TEST(BuildReport, SecondPassKeepsVbAndRo) {
    ReportLines report;
    ASSERT_EQ(Calculate(With({{kVcc, "-12"}, {kBeta, "120"}}), report), "");
    const auto& lines = report.Lines();
    ASSERT_EQ(lines.size(), static_cast<size_t>(kReportLineCount));
    EXPECT_EQ(lines[2], "基极静态电位VB=-6V");
    EXPECT_EQ(lines[16], lines[2]);
    EXPECT_EQ(lines[14], lines[28]);
    EXPECT_EQ(lines[3], "发射极静态电位VE=-6.7V");
    EXPECT_EQ(lines[17], "发射极静态电位VE=-6.3V");
}

TEST(BuildReport, ReadsAndWritesWithTheProcessWideSeparator) {
    SetDecimalSeparator(',');
    ReportLines report;
    const std::string message = Calculate(With({{kVcc, "3,0"}}), report);
    SetDecimalSeparator('.');
    EXPECT_EQ(message, "");
    std::vector<std::string> expected = kDefaultReport;
    for (size_t i = 1; i < expected.size(); ++i) std::ranges::replace(expected[i], '.', ',');
    EXPECT_EQ(report.Lines(), expected);
}

TEST(ComputeBaseEmitterResistance, MultipliesByTheRoundedReciprocalOf26) {
    // 301 × 0.008 × 1000 × k with k = 1/26 rounded to the extended format.
    EXPECT_EQ(ComputeBaseEmitterResistance(0.008), 92.61538461538461);
    EXPECT_EQ(ComputeBaseEmitterResistance(0.0), 0.0);
}

}  // namespace
}  // namespace velmor
