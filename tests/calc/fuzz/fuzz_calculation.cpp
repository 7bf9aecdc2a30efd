// Fuzz target: arbitrary bytes as one number text. Only the system's own error may reject it, and
// every accepted text must format, within the longest number text, into a text that reads back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "errors.h"
#include "extended.h"
#include "number_text.h"

using namespace velmor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte's high bit picks the decimal separator.
    const char separator = (data[0] & 0x80) ? ',' : '.';
    Extended value;
    try {
        value = ParseNumberText({reinterpret_cast<const char*>(data) + 1, size - 1}, separator);
    } catch (const ConversionError&) {
        return 0;
    }
    const std::string formatted = FormatNumberText(value, separator);
    if (formatted.size() > kNumberTextMaxLength) std::abort();
    ParseNumberText(formatted, separator);  // an error escaping here is reported as a crash
    return 0;
}
