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
#include <string>
#include <tuple>

namespace velmor {
namespace {

constexpr uint64_t kInt = uint64_t{1} << 63, kAll = ~uint64_t{0};
constexpr Extended kOne{0x3FFF, kInt}, kMax{0x7FFE, kAll}, kInf{0x7FFF, kInt};
constexpr int kI = 1, kZ = 2, kO = 4, kBias = kExtBias;  // invalid, division by zero, overflow

enum class Op { kAdd, kSub, kMul, kDiv, kRoundToInt, kToDouble, kFromDouble };

struct Outcome {
    Extended value;
    int flags = 0;
    bool operator==(const Outcome&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Outcome& o) {
    return os << std::hex << o.value.signExp << ' ' << o.value.signif << " flags " << o.flags;
}
Extended D(double d) {
    return Extended{0, std::bit_cast<uint64_t>(d)};
}

Outcome InSoftware(Op op, Extended a, Extended b) {
    FpFlags f;  // binary64 operands and results travel in signif
    Extended r{};
    if (op == Op::kAdd) r = ExtAdd(a, b, f);
    if (op == Op::kSub) r = ExtSub(a, b, f);
    if (op == Op::kMul) r = ExtMul(a, b, f);
    if (op == Op::kDiv) r = ExtDiv(a, b, f);
    if (op == Op::kRoundToInt) r = ExtRoundToInt(a, f);
    if (op == Op::kToDouble) r = D(ExtToDouble(a, f));
    if (op == Op::kFromDouble) r = ExtFromDouble(std::bit_cast<double>(a.signif));
    return {r, (f.invalid ? kI : 0) | (f.divByZero ? kZ : 0) | (f.overflow ? kO : 0)};
}

TEST(ExtendedExact, KnownResults) {
    const auto W = ExtFromDouble;
    // Ties go to even; a denormal result is rounded once at its own precision; half an ulp above
    // the largest finite value is a tie, and the odd largest rounds up.
    // clang-format off
    const std::tuple<Op, Extended, Extended, Outcome> known[] = {
        {Op::kDiv, kOne, W(3), {{0x3FFD, 0xAAAAAAAAAAAAAAAB}}},
        {Op::kAdd, kOne, {0x3FBF, kInt}, {kOne}}, {Op::kAdd, kMax, {0x7FBD, kAll}, {kMax}},
        {Op::kAdd, {0x3FFF, kInt | 1}, {0x3FBF, kInt}, {{0x3FFF, kInt | 2}}},
        {Op::kMul, {0x0001, kAll}, W(0.5), {{0x0001, kInt}}},
        {Op::kAdd, kMax, {0x7FBE, kInt}, {kInf, kO}}, {Op::kDiv, W(-1), W(0), {ExtNeg(kInf), kZ}},
        {Op::kDiv, W(0), W(-0.0), {{0xFFFF, 0xC000000000000000}, kI}},
        {Op::kRoundToInt, W(2.5), {}, {W(2)}}, {Op::kRoundToInt, W(-0.3), {}, {W(-0.0)}},
        {Op::kToDouble, {0x43FE, 0xFFFFFFFFFFFFFC00}, {}, {D(HUGE_VAL), kO}},
        {Op::kFromDouble, D(0.7), {}, {{0x3FFE, 0xB333333333333000}}},
        {Op::kFromDouble, D(-HUGE_VAL), {}, {ExtNeg(kInf)}}};
    // clang-format on
    for (const auto& [op, a, b, want] : known)
        EXPECT_EQ(InSoftware(op, a, b), want) << Outcome{a} << ", " << Outcome{b};
    for (uint64_t v : {uint64_t{0}, uint64_t{10}, kInt, kAll})
        EXPECT_EQ(ExtIntegralToUint64(ExtFromUint64(v)), v);
    EXPECT_EQ(ExtIntegralToUint64(W(-12345)), 12345u);
}

#if LDBL_MANT_DIG == 64 && (defined(__x86_64__) || defined(__i386__))

struct X87Bytes {
    uint64_t signif;
    uint16_t signExp;
    unsigned char padding[sizeof(long double) - 10];
};

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
    const int raised = std::fetestexcept(FE_ALL_EXCEPT);
    const auto bytes = std::bit_cast<X87Bytes>(static_cast<long double>(r));
    Outcome out{{bytes.signExp, bytes.signif},
                (raised & FE_INVALID ? kI : 0) | (raised & FE_DIVBYZERO ? kZ : 0) |
                    (raised & FE_OVERFLOW ? kO : 0)};
    if (op == Op::kToDouble) out.value = D(d);
    if (op == Op::kFromDouble) out.flags = 0;  // ours reports none
    return out;
}

// Compares each case of one operation with the x87; the first mismatches are reported.
struct Checker {
    Op op;
    int mismatches = 0;
    void operator()(Extended a, Extended b = {}) {
        const Outcome x87 = OnX87(op, a, b), ours = InSoftware(op, a, b);
        if (!(x87 == ours) && ++mismatches <= 10) {
            ADD_FAILURE() << int(op) << ": " << Outcome{a} << ", " << Outcome{b} << ": x87 " << x87
                          << ", ours " << ours;
        }
    }
};

// Random operands, many with long runs of trailing zeros or ones so that ties and exact results
// occur, with exponents from the whole range or near where the operation is delicate; a few are
// encodings no operation produces (unnormals, pseudo-denormals, -infinities and -NaNs).
TEST(ExtendedVsX87, Random) {
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
        Checker check{op};
        for (int i = 0; i < 1'000'000; ++i) {
            const int ea = anyExp(), edge = coin() ? 0 : 0x7FFE;
            int eb = anyExp();
            // Often sums cancel, and products and quotients land near an end of the range.
            if (coin()) eb = near(ea, coin() ? 1 : 66);
            if (op == Op::kMul && coin()) eb = near(edge - ea + kBias, 66);
            if (op == Op::kDiv && coin()) eb = near(ea - edge + kBias, 66);
            Extended a = next(ea), b = next(eb);
            if (ea == eb && coin()) b.signif = a.signif ^ (b.signif >> near(40, 23));
            check(a, b);
        }
    }
    Checker round{Op::kRoundToInt}, narrow{Op::kToDouble}, widen{Op::kFromDouble};
    const int edges[] = {kBias - 1022, kBias - 1075, kBias + 1023};
    for (int i = 0; i < 1'000'000; ++i) {
        round(next(coin() ? anyExp() : near(kBias + 31, 34)));
        narrow(next(coin() ? anyExp() : near(edges[i % 3], 3)));
        widen({0, coin() ? rng() : rng() >> (rng() % 64)});  // binary64 bits in signif
    }
}

#else
TEST(ExtendedVsX87, NeedsX87) {
    GTEST_SKIP() << "no x87 80-bit long double to compare with";
}
#endif

}  // namespace
}  // namespace velmor
