// Small helpers shared by the calculation tests.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "extended.h"

namespace velmor {

// The binary64 value an extended value is stored as; fails the test if storing faults.
inline double ExtToDoubleChecked(Extended x) {
    FpFlags flags;
    const double d = ExtToDouble(x, flags);
    EXPECT_FALSE(flags.Any());
    return d;
}

inline uint64_t Bits(double d) {
    return std::bit_cast<uint64_t>(d);
}

}  // namespace velmor
