// Fuzz target: arbitrary bytes as one number text, or as the eight input texts of a whole
// calculation. Only the system's own errors may end a calculation, and every accepted text must
// format, within the longest number text, into a text that reads back.
#include <algorithm>
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

using namespace velmor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    // The first byte picks the mode and, through its high bit, the decimal separator.
    const char separator = (data[0] & 0x80) ? ',' : '.';
    SetDecimalSeparator(separator);
    if (data[0] & 1) {
        std::array<std::string_view, kInputCount> texts{};
        for (auto& text : texts) {
            text = bytes.substr(0, bytes.find('\n'));
            bytes.remove_prefix(std::min(bytes.size(), text.size() + 1));
        }
        ReportLines report;
        try {
            BuildReport(ReadInputSet(texts), report);
            if (report.Lines().size() != kReportLineCount) std::abort();
        } catch (const VelmorError&) {
            if (report.Lines().size() >= kReportLineCount) std::abort();
        }
        return 0;
    }
    Extended value;
    try {
        value = ParseNumberText(bytes, separator);
    } catch (const ConversionError&) {
        return 0;
    }
    const std::string formatted = FormatNumberText(value, separator);
    if (formatted.size() > kNumberTextMaxLength) std::abort();
    ParseNumberText(formatted, separator);  // an error escaping here is reported as a crash
    return 0;
}
