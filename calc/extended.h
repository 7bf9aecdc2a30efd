// The 80-bit extended floating-point format, computed with integers only.
//
// Guarantees: every operation is the IEEE 754 correctly rounded result for a 64-bit significand
// and the full 15-bit exponent range (round to nearest, ties to even, gradual underflow), the
// same bits on every CPU. Nothing here reads or writes the processor's floating-point state;
// faults are reported in the FpFlags the caller passes in, never trapped.
#pragma once

#include <cstdint>

namespace velmor {

// Sign, 15-bit exponent biased by 16383, and a 64-bit significand with an explicit integer bit.
struct Extended {
    uint16_t signExp = 0;
    uint64_t signif = 0;

    friend bool operator==(const Extended&, const Extended&) = default;
};

// The faults that the calculation treats as errors. Underflow and inexact are not recorded:
// they never stop a calculation.
struct FpFlags {
    bool invalid = false;
    bool divByZero = false;
    bool overflow = false;

    bool Any() const { return invalid || divByZero || overflow; }
};

inline constexpr int kExtBias = 16383;
inline constexpr uint16_t kExtMaxExp = 0x7FFF;

constexpr bool ExtSign(Extended a) {
    return (a.signExp >> 15) != 0;
}
constexpr int ExtExpField(Extended a) {
    return a.signExp & 0x7FFF;
}
constexpr Extended ExtPack(bool sign, int expField, uint64_t signif) {
    return Extended{static_cast<uint16_t>((sign ? 0x8000 : 0) | (expField & 0x7FFF)), signif};
}
constexpr Extended ExtNeg(Extended a) {
    return Extended{static_cast<uint16_t>(a.signExp ^ 0x8000), a.signif};
}
constexpr Extended ExtAbs(Extended a) {
    return Extended{static_cast<uint16_t>(a.signExp & 0x7FFF), a.signif};
}
constexpr bool ExtIsInf(Extended a) {
    return ExtExpField(a) == kExtMaxExp && (a.signif << 1) == 0;
}

Extended ExtAdd(Extended a, Extended b, FpFlags& flags);
Extended ExtSub(Extended a, Extended b, FpFlags& flags);
Extended ExtMul(Extended a, Extended b, FpFlags& flags);
Extended ExtDiv(Extended a, Extended b, FpFlags& flags);

// Rounds to an integral value (nearest, ties to even), keeping the extended format.
Extended ExtRoundToInt(Extended a, FpFlags& flags);

// Exact widening of a binary64 value (subnormals become normal extended values).
Extended ExtFromDouble(double d);

// Exact conversion of an unsigned integer.
Extended ExtFromUint64(uint64_t v);

// The value of an integral Extended below 2^64, as an integer (the sign is ignored; anything not
// integral or out of range is a caller's error and gives an unspecified result).
uint64_t ExtIntegralToUint64(Extended a);

// Rounds to binary64 (nearest, ties to even; gradual underflow). A finite value too large for
// binary64 sets the overflow flag and gives an infinity; a signalling NaN sets invalid.
double ExtToDouble(Extended a, FpFlags& flags);

}  // namespace velmor
