// Fuzz target: arbitrary bytes as one number text, or as the eight input texts of a whole
// calculation. Only the system's own errors may escape, every accepted text must format, and
// every finite formatted number must read back.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "amplifier.h"
#include "decimal_separator.h"
#include "errors.h"
#include "extended.h"
#include "number_text.h"
#include "report.h"

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

void CheckNumberText(std::string_view text, char separator) {
    velmor::Extended value;
    try {
        value = velmor::ParseNumberText(text, separator);
    } catch (const velmor::ConversionError&) {
        return;
    }
    const std::string formatted = velmor::FormatNumberText(value, separator);
    Require(!formatted.empty());
    if (velmor::ExtIsInf(value) || velmor::ExtIsNaN(value)) return;
    Require(formatted.size() <= velmor::kNumberTextMaxLength);
    try {
        velmor::ParseNumberText(formatted, separator);
    } catch (const velmor::ConversionError&) {
        Require(false);
    }
}

void CheckCalculation(std::string_view bytes) {
    std::array<std::string_view, velmor::kInputCount> texts{};
    for (auto& text : texts) {
        const size_t end = bytes.find('\n');
        text = bytes.substr(0, end);
        bytes = end == std::string_view::npos ? std::string_view{} : bytes.substr(end + 1);
    }
    velmor::ReportLines report;
    try {
        velmor::BuildReport(velmor::ReadInputSet(texts), report);
        Require(report.Lines().size() == velmor::kReportLineCount);
    } catch (const velmor::VelmorError&) {
        Require(report.Lines().size() < velmor::kReportLineCount);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    // The first byte picks the mode and, through its high bit, the decimal separator.
    const char separator = (data[0] & 0x80) ? ',' : '.';
    velmor::SetDecimalSeparator(separator);
    if (data[0] & 1) {
        CheckCalculation(rest);
    } else {
        CheckNumberText(rest, separator);
    }
    return 0;
}
