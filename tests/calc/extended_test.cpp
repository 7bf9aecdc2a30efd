// The integer extended arithmetic, bit for bit and flag for flag: a few known results, and the
// machine's own x87 over random operands where there is one.
#include "extended.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfenv>
#include <cfloat>
#include <cmath>
#include <ostream>
#include <random>

namespace velmor {
namespace {

constexpr uint64_t kInt = uint64_t{1} << 63, kAll = ~uint64_t{0};

// What the comparison with the x87 below cannot reach: random operands almost never give a
// denormal that rounds up to the smallest normal, nor widen an infinity.
TEST(ExtendedExact, KnownResults) {
    FpFlags flags;
    EXPECT_EQ(ExtMul({0x0001, kAll}, ExtFromDouble(0.5), flags), (Extended{0x0001, kInt}));
    EXPECT_EQ(ExtFromDouble(-HUGE_VAL), (Extended{0xFFFF, kInt}));
    // Half an ulp and a bit shifted out past all 128 bits is above the tie: it rounds up.
    EXPECT_EQ(ExtAdd({0x3FFF, kInt}, {0x3FBF, kInt | 1}, flags), (Extended{0x3FFF, kInt | 1}));
    EXPECT_FALSE(flags.Any());
    for (uint64_t v : {uint64_t{0}, uint64_t{10}, kInt, kAll})
        EXPECT_EQ(ExtIntegralToUint64(ExtFromUint64(v)), v);
    EXPECT_EQ(ExtIntegralToUint64(ExtFromDouble(-12345)), 12345u);
}

#if LDBL_MANT_DIG == 64 && (defined(__x86_64__) || defined(__i386__))

enum class Op { kAdd, kSub, kMul, kDiv, kRoundToInt, kToDouble, kFromDouble };
const char* const kOpNames[] = {"add", "sub", "mul", "div", "roundToInt", "toDouble", "fromDouble"};

struct Outcome {
    Extended value;
    int flags = 0;  // FE_INVALID, FE_DIVBYZERO and FE_OVERFLOW
    bool operator==(const Outcome&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Outcome& o) {
    return os << std::hex << o.value.signExp << ' ' << o.value.signif << " flags " << o.flags;
}

struct X87Bytes {
    uint64_t signif;
    uint16_t signExp;
    unsigned char padding[sizeof(long double) - 10];
};

Outcome InSoftware(Op op, Extended a, Extended b) {
    FpFlags f;  // binary64 operands and results travel in signif
    Extended r{};
    if (op == Op::kAdd) r = ExtAdd(a, b, f);
    if (op == Op::kSub) r = ExtSub(a, b, f);
    if (op == Op::kMul) r = ExtMul(a, b, f);
    if (op == Op::kDiv) r = ExtDiv(a, b, f);
    if (op == Op::kRoundToInt) r = ExtRoundToInt(a, f);
    if (op == Op::kToDouble) r = {0, std::bit_cast<uint64_t>(ExtToDouble(a, f))};
    if (op == Op::kFromDouble) r = ExtFromDouble(std::bit_cast<double>(a.signif));
    return {r, (f.invalid ? FE_INVALID : 0) | (f.divByZero ? FE_DIVBYZERO : 0) |
                   (f.overflow ? FE_OVERFLOW : 0)};
}

Outcome OnX87(Op op, Extended a, Extended b) {
    // Volatile operands and results keep the compiler from folding or moving the x87 work.
    volatile long double x = std::bit_cast<long double>(X87Bytes{a.signif, a.signExp, {}});
    volatile long double y = std::bit_cast<long double>(X87Bytes{b.signif, b.signExp, {}}), r = 0;
    volatile double d = std::bit_cast<double>(a.signif);
    std::feclearexcept(FE_ALL_EXCEPT);
    if (op == Op::kAdd) r = x + y;
    if (op == Op::kSub) r = x - y;
    if (op == Op::kMul) r = x * y;
    if (op == Op::kDiv) r = x / y;
    if (op == Op::kRoundToInt) {
        long double v = x;
        asm volatile("frndint" : "+t"(v));
        r = v;
    }
    if (op == Op::kToDouble) d = static_cast<double>(x);
    if (op == Op::kFromDouble) r = d;
    const int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    const auto bytes = std::bit_cast<X87Bytes>(static_cast<long double>(r));
    Outcome out{{bytes.signExp, bytes.signif}, raised};
    if (op == Op::kToDouble) out.value = {0, std::bit_cast<uint64_t>(double(d))};
    if (op == Op::kFromDouble) out.flags = 0;  // ours reports none
    return out;
}

// Random operands, many with long runs of trailing zeros or ones so that ties and exact results
// occur, with exponents from the whole range or near where the operation is delicate; a few are
// encodings no operation produces (unnormals, pseudo-denormals, -infinities and -NaNs).
TEST(ExtendedVsX87, Random) {
    int mismatches = 0;  // only the first are reported
    auto check = [&](Op op, Extended a, Extended b = {}) {
        const Outcome x87 = OnX87(op, a, b), ours = InSoftware(op, a, b);
        if (!(x87 == ours) && ++mismatches <= 10) {
            ADD_FAILURE() << kOpNames[int(op)] << ": " << Outcome{a} << ", " << Outcome{b}
                          << ": x87 " << x87 << ", ours " << ours;
        }
    };
    std::mt19937_64 rng(20240611);
    auto coin = [&] { return (rng() & 1) != 0; };
    auto near = [&](int exp, int spread) { return exp - spread + int(rng() % (2 * spread + 1)); };
    auto anyExp = [&] {
        const int edges[] = {0, 0, 1, 0x7FFE, 0x7FFF};
        return rng() % 8 == 0 ? edges[rng() % 5] : int(rng() % 0x8000);
    };
    auto next = [&](int exp) {
        uint64_t sig = rng();
        const unsigned shape = rng() % 4;
        if (shape == 0) sig &= kAll << (rng() % 64);
        if (shape == 1) sig |= (uint64_t{1} << (rng() % 64)) - 1;
        exp = std::clamp(exp, 0, 0x7FFF);
        if (rng() % 16) sig = exp ? sig | kInt : sig & ~kInt;
        return Extended{uint16_t(exp | (rng() & 0x8000)), sig};
    };
    for (Op op : {Op::kAdd, Op::kSub, Op::kMul, Op::kDiv}) {
        for (int i = 0; i < 1'000'000; ++i) {
            const int ea = anyExp(), edge = coin() ? 0 : 0x7FFE;
            int eb = anyExp();
            // Often sums cancel, and products and quotients land near an end of the range.
            if (coin()) eb = near(ea, coin() ? 1 : 66);
            if (op == Op::kMul && coin()) eb = near(edge - ea + kExtBias, 66);
            if (op == Op::kDiv && coin()) eb = near(ea - edge + kExtBias, 66);
            Extended a = next(ea), b = next(eb);
            if (ea == eb && coin()) b.signif = a.signif ^ (b.signif >> near(40, 23));
            check(op, a, b);
        }
    }
    const int edges[] = {kExtBias - 1022, kExtBias - 1075, kExtBias + 1023};
    for (int i = 0; i < 1'000'000; ++i) {
        check(Op::kRoundToInt, next(coin() ? anyExp() : near(kExtBias + 31, 34)));
        check(Op::kToDouble, next(coin() ? anyExp() : near(edges[i % 3], 3)));
        check(Op::kFromDouble, {0, coin() ? rng() : rng() >> (rng() % 64)});
    }
}

#else
TEST(ExtendedVsX87, NeedsX87) {
    GTEST_SKIP() << "no x87 80-bit long double to compare with";
}
#endif

}  // namespace
}  // namespace velmor
