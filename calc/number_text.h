// Reading typed numbers and writing result numbers: the exact texts users type and see.
//
// Both sides work in the 80-bit extended format, take the decimal separator as an argument and
// scale by the same correctly rounded powers of ten, so a text reads and writes the same way on
// every machine. With '.' as the separator:
//
//   ParseNumberText(" 10E3 ")      10000
//   ParseNumberText("-.5e-1")      -0.05
//   ParseNumberText("5.")          5
//   ParseNumberText("1,5")         ConversionError "'1,5' is not a valid floating point value"
//   ParseNumberText("1E4933")      ConversionError (beyond the extended range)
//
//   FormatNumberText(10000)        "10000"
//   FormatNumberText(0.0001)       "0.0001"
//   FormatNumberText(0.00001)      "1E-5"
//   FormatNumberText(1e16)         "1E16"
//   FormatNumberText(2.0 / 3)      "0.666666666666667"
//   FormatNumberText(-1.5e-300)    "-1.5E-300"
//   FormatNumberText(infinity)     "INF"
//
// The longest text FormatNumberText writes has 23 characters, as "-1.29879404384758E-4927".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "extended.h"

namespace velmor {

// The typed text's value, or ConversionError quoting the whole text. Accepts leading and
// trailing spaces (code 32 only), a sign, digits with at most one separator, and an optional
// exponent ("E" or "e", a sign, digits); a NUL byte ends the text. Values below the extended
// range become zero or a denormal; values beyond it are rejected.
Extended ParseNumberText(std::string_view text, char separator);

// The general format with at most 15 significant digits, rounded twice: to 18 digits, then to
// 15 by the 16th digit alone (halves away from zero). Fixed notation for values from 0.0001 up
// to below 10^15 (as rounded), scientific otherwise; "INF", "-INF" or "NAN" for the special values,
// and "0" for zeros and denormals. Never fails and never records a fault.
std::string FormatNumberText(Extended value, char separator);

inline constexpr size_t kNumberTextMaxLength = 23;

// FormatNumberText's text written to out, which has room for kNumberTextMaxLength characters;
// returns its length (no NUL is written). Allocates nothing.
size_t WriteNumberText(Extended value, char separator, char* out);

}  // namespace velmor
