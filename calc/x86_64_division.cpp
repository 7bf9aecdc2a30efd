// DivideWide on x86-64: one divq. The general 128-bit division is a library call that cannot
// know the quotient fits 64 bits.
#include "wide_division.h"

namespace velmor {

uint64_t DivideWide(uint64_t high, uint64_t low, uint64_t divisor, uint64_t& remainder) {
    uint64_t quotient;
    __asm__("divq %[d]" : "=a"(quotient), "=d"(remainder) : "a"(low), "d"(high), [d] "rm"(divisor));
    return quotient;
}

}  // namespace velmor
