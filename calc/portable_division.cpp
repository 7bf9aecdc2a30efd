// DivideWide for any processor, through the compiler's 128-bit integers.
#include "wide_division.h"

namespace velmor {

uint64_t DivideWide(uint64_t high, uint64_t low, uint64_t divisor, uint64_t& remainder) {
    const unsigned __int128 n = (static_cast<unsigned __int128>(high) << 64) | low;
    remainder = static_cast<uint64_t>(n % divisor);
    return static_cast<uint64_t>(n / divisor);
}

}  // namespace velmor
