#include <atomic>
#include <cstring>

#include "decimal_separator.h"

namespace velmor {
namespace {

// Read once by each ReadInputSet and each BuildReport, which pass it on to every parse and format
// they make; replaced whenever the locale changes.
std::atomic<char> gDecimalSeparator{'.'};

}  // namespace

char DecimalSeparator() {
    return gDecimalSeparator.load(std::memory_order_relaxed);
}

void SetDecimalSeparator(char separator) {
    gDecimalSeparator.store(separator, std::memory_order_relaxed);
}

char DecimalSeparatorFromSetting(const char* setting) {
    // Only a setting of exactly one single-byte character is taken; anything longer (a
    // multi-byte character, or several characters) falls back to the full stop.
    if (setting == nullptr || std::strlen(setting) != 1) return '.';
    const auto c = static_cast<unsigned char>(setting[0]);
    return c < 0x80 ? static_cast<char>(c) : '.';
}

}  // namespace velmor
