// Reading typed numbers and writing result numbers: the exact texts users type and see.
//
// Both sides work in the 80-bit extended format and share one decimal separator and one
// power-of-ten scaling step, so that a text round-trips the same way on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "extended.h"

namespace velmor {

// x × 10^n from three tables of correctly rounded powers of ten (at most three roundings);
// n >= 5120 gives +infinity and n <= -5120 gives zero. Overflow is recorded in flags.
Extended ScaleByPowerOfTen(Extended x, int n, FpFlags& flags);

// The typed text's value, or ConversionError quoting the whole text. Accepts leading and
// trailing spaces (code 32 only), a sign, digits with one optional decimal separator, and an
// optional exponent; a NUL byte ends the text. Values below the extended range become zero or
// a denormal; values beyond it are rejected.
Extended ParseNumberText(std::string_view text);

// The decimal form: at most 15 significant digits, the exponent E with value = 0.d1d2… × 10^E.
struct DecimalForm {
    static constexpr int16_t kInfinity = 32767;
    static constexpr int16_t kNaN = -32768;

    std::string digits;  // most significant first, no trailing '0'; empty for zero
    int16_t exponent = 0;
    bool negative = false;
};

// First stage of formatting: rounds to 18 digits, then to 15 by the 16th digit alone.
DecimalForm MakeDecimalForm(Extended value);

// The general format with at most 15 significant digits ("0.008", "1.5E20", "-INF", "NAN").
// Never fails and never records a fault.
std::string FormatNumberText(Extended value);

// The longest text FormatNumberText writes.
inline constexpr size_t kNumberTextMaxLength = 24;

// Writes FormatNumberText's text to out, which has room for kNumberTextMaxLength characters, and
// returns its length; no NUL is written.
size_t WriteNumberText(Extended value, char separator, char* out);

// The one process-wide decimal separator shared by the parser and the formatter ('.' at start).
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// The separator a locale setting gives: the setting itself when it is exactly one one-byte
// (ASCII) character, otherwise '.'. A null setting (unreadable) also gives '.'.
char DecimalSeparatorFromSetting(const char* setting);

}  // namespace velmor
