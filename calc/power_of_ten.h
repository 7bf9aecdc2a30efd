// Scaling by a power of ten with correctly rounded table entries, shared by the parser and the
// formatter so that both see the same powers.
#pragma once

#include "extended.h"

namespace velmor {

// x × 10^n from three tables of correctly rounded powers of ten (at most three roundings, and
// one for |n| < 32); n >= 5120 gives +infinity and n <= -5120 gives zero. Overflow is recorded
// in flags.
Extended ScaleByPowerOfTen(Extended x, int n, FpFlags& flags);

}  // namespace velmor
