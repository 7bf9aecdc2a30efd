// The power-of-ten scaling: the tables against a multi-precision reference, and the order and
// limits of the scaling steps.
#include <gtest/gtest.h>

#include <vector>

#include "extended.h"
#include "power_of_ten.h"
#include "test_support.h"

#ifdef VELMOR_HAVE_MPFR
#include <mpfr.h>
#endif

namespace velmor {
namespace {

#ifdef VELMOR_HAVE_MPFR
// 10^k rounded once to a 64-bit significand (MPFR at precision 64, nearest-even).
Extended ReferencePowerOfTen(int k) {
    mpfr_t x;
    mpfr_init2(x, 64);
    mpfr_ui_pow_ui(x, 10, static_cast<unsigned long>(k), MPFR_RNDN);
    mpfr_exp_t e = 0;
    mpz_t m;
    mpz_init(m);
    e = mpfr_get_z_2exp(m, x);  // x = m × 2^e with m of 64 bits
    const uint64_t signif = mpz_get_ui(m);
    mpz_clear(m);
    mpfr_clear(x);
    return ExtPack(false, static_cast<int>(e + 63 + kExtBias), signif);
}

TEST(ScaleByPowerOfTen, EveryTableEntryIsTheCorrectlyRoundedPower) {
    std::vector<int> powers;
    for (int k = 0; k < 32; ++k) powers.push_back(k);           // the small table
    for (int k = 32; k < 512; k += 32) powers.push_back(k);     // the medium table
    for (int k = 512; k < 5120; k += 512) powers.push_back(k);  // the large table
    for (int k : powers) {
        FpFlags flags;
        EXPECT_EQ(ScaleByPowerOfTen(ExtFromUint64(1), k, flags), ReferencePowerOfTen(k)) << k;
        EXPECT_FALSE(flags.Any());
    }
}
#endif

TEST(ScaleByPowerOfTen, LimitsAndOverflow) {
    const Extended one = ExtFromUint64(1);
    FpFlags flags;
    EXPECT_EQ(ScaleByPowerOfTen(one, 0, flags), one);
    EXPECT_TRUE(ExtIsInf(ScaleByPowerOfTen(one, 5120, flags)));
    EXPECT_EQ(ScaleByPowerOfTen(one, -5120, flags), Extended{});
    EXPECT_EQ(ScaleByPowerOfTen(one, INT_MIN, flags), Extended{});
    EXPECT_FALSE(flags.Any());

    // 10^4932 is about 0.84 of the largest extended value; 10^4933 overflows.
    EXPECT_FALSE(ExtIsInf(ScaleByPowerOfTen(one, 4932, flags)));
    EXPECT_FALSE(flags.overflow);
    EXPECT_TRUE(ExtIsInf(ScaleByPowerOfTen(one, 4933, flags)));
    EXPECT_TRUE(flags.overflow);
}

TEST(ScaleByPowerOfTen, SmallPowersCostOneRounding) {
    // 3 × 10^25 is exact; 7 × 10^-3 is one correctly rounded division.
    FpFlags flags;
    EXPECT_EQ(ExtToDoubleChecked(ScaleByPowerOfTen(ExtFromUint64(3), 25, flags)), 3e25);
    EXPECT_EQ(ExtToDoubleChecked(ScaleByPowerOfTen(ExtFromUint64(7), -3, flags)), 0.007);
}

}  // namespace
}  // namespace velmor
