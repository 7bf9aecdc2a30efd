// The one division the extended arithmetic needs from the processor: 128 bits by 64 when the
// quotient is known to fit 64 bits. Each platform file defines it; the build picks one
// (x86_64_division.cpp on x86-64, portable_division.cpp elsewhere), and both give the same bits.
#pragma once

#include <cstdint>

namespace velmor {

// (high·2^64 + low) / divisor and its remainder, for high < divisor.
uint64_t DivideWide(uint64_t high, uint64_t low, uint64_t divisor, uint64_t& remainder);

}  // namespace velmor
