// The 80-bit extended format in integer arithmetic.
//
// Every finite nonzero operand is first unpacked into a sign, a signed exponent and a significand
// whose integer bit is set (denormals are normalised, so their exponent may drop below 1). The
// exact result is then formed in 128 bits, with any bits shifted out kept as a sticky bit, and
// RoundPack rounds it once to a 64-bit significand. Encodings the x87 rejects as operands
// (unnormals, pseudo-infinities and pseudo-NaNs) give the invalid flag and the default NaN there,
// and so they do here.
#include "extended.h"

#include <bit>
#include <utility>

#include "wide_division.h"

namespace velmor {
namespace {

using U128 = unsigned __int128;

constexpr uint64_t kIntBit = uint64_t{1} << 63;
constexpr uint64_t kQuietBit = uint64_t{1} << 62;
constexpr uint64_t kHalf = uint64_t{1} << 63;

// The "indefinite" QNaN that an invalid operation delivers.
constexpr Extended kDefaultNaN{0xFFFF, 0xC000000000000000};

enum class Kind { kZero, kFinite, kInf, kQNaN, kSNaN, kUnsupported };

Kind Classify(Extended a) {
    const int exp = ExtExpField(a);
    const bool intBit = (a.signif & kIntBit) != 0;
    if (exp == kExtMaxExp) {
        if (!intBit) return Kind::kUnsupported;
        if ((a.signif << 1) == 0) return Kind::kInf;
        return (a.signif & kQuietBit) != 0 ? Kind::kQNaN : Kind::kSNaN;
    }
    if (exp == 0) return a.signif == 0 ? Kind::kZero : Kind::kFinite;
    return intBit ? Kind::kFinite : Kind::kUnsupported;
}

bool IsNaN(Kind k) {
    return k == Kind::kQNaN || k == Kind::kSNaN;
}

// A finite nonzero value: sig × 2^(exp − kExtBias − 63), with the integer bit of sig set.
struct Unpacked {
    bool sign;
    int32_t exp;
    uint64_t sig;
};

// Takes a finite nonzero operand. A denormal or pseudo-denormal has the weight of exponent 1.
Unpacked Unpack(Extended a) {
    const int32_t exp = ExtExpField(a) == 0 ? 1 : ExtExpField(a);
    const int shift = std::countl_zero(a.signif);
    return Unpacked{ExtSign(a), exp - shift, a.signif << shift};
}

Extended Infinity(bool sign) {
    return ExtPack(sign, kExtMaxExp, kIntBit);
}
Extended Zero(bool sign) {
    return ExtPack(sign, 0, 0);
}

// Shifts right by dist, ORing every bit shifted out into bit 0.
U128 ShiftRightJam(U128 a, int32_t dist) {
    if (dist <= 0) return a;
    if (dist >= 128) return a != 0 ? 1 : 0;
    return (a >> dist) | ((a << (128 - dist)) != 0 ? 1 : 0);
}

int CountLeadingZeros(U128 a) {
    const auto hi = static_cast<uint64_t>(a >> 64);
    return hi != 0 ? std::countl_zero(hi) : 64 + std::countl_zero(static_cast<uint64_t>(a));
}

// Rounds (sig + extra / 2^64) × 2^(exp − kExtBias − 63) to the extended format, to nearest with
// ties to even. sig has its integer bit set; bit 63 of extra is the round bit and the rest are
// sticky. A result below the normal range is shifted down to the denormal position first and
// rounded there once; one above the largest finite value is an infinity with the overflow flag.
Extended RoundPack(bool sign, int32_t exp, uint64_t sig, uint64_t extra, FpFlags& flags) {
    if (exp <= 0) {
        const U128 wide = ShiftRightJam((U128{sig} << 64) | extra, 1 - exp);
        sig = static_cast<uint64_t>(wide >> 64);
        extra = static_cast<uint64_t>(wide);
        exp = 0;
    }
    if (extra > kHalf || (extra == kHalf && (sig & 1) != 0)) {
        ++sig;
        if (sig == 0) {
            sig = kIntBit;
            ++exp;
        } else if (exp == 0 && (sig & kIntBit) != 0) {
            exp = 1;  // a denormal rounded up to the smallest normal
        }
    }
    if (exp >= kExtMaxExp) {
        flags.overflow = true;
        return Infinity(sign);
    }
    return ExtPack(sign, exp, sig);
}

// Rounds m × 2^(exp − kExtBias − 127), m nonzero; the low bits of m may hold a sticky bit.
Extended RoundPackWide(bool sign, int32_t exp, U128 m, FpFlags& flags) {
    const int shift = CountLeadingZeros(m);
    m <<= shift;
    return RoundPack(sign, exp - shift, static_cast<uint64_t>(m >> 64), static_cast<uint64_t>(m),
                     flags);
}

Extended Quiet(Extended a) {
    return Extended{a.signExp, a.signif | kQuietBit};
}

// The NaN result of an operation with at least one NaN operand, chosen as the x87 chooses: a
// signalling NaN raises invalid; of two NaNs the one with the larger significand wins (so a quiet
// one, with bit 62 set, beats a signalling one), and on equal significands the positive one.
Extended PropagateNaN(Extended a, Kind ka, Extended b, Kind kb, FpFlags& flags) {
    if (ka == Kind::kSNaN || kb == Kind::kSNaN) flags.invalid = true;
    if (!IsNaN(kb)) return Quiet(a);
    if (!IsNaN(ka)) return Quiet(b);
    if (a.signif != b.signif) return Quiet(a.signif > b.signif ? a : b);
    return Quiet(ExtSign(a) ? b : a);
}

Extended Invalid(FpFlags& flags) {
    flags.invalid = true;
    return kDefaultNaN;
}

// Handles the operand kinds shared by all binary operations: true when *result is final.
bool BinarySpecial(Extended a, Kind ka, Extended b, Kind kb, FpFlags& flags, Extended* result) {
    if (ka == Kind::kUnsupported || kb == Kind::kUnsupported) {
        *result = Invalid(flags);
        return true;
    }
    if (IsNaN(ka) || IsNaN(kb)) {
        *result = PropagateNaN(a, ka, b, kb, flags);
        return true;
    }
    return false;
}

// a + b, or a − b when negateB; b's own sign is kept for NaN propagation, as the x87 does.
Extended AddOrSub(Extended a, Extended b, bool negateB, FpFlags& flags) {
    const Kind ka = Classify(a);
    const Kind kb = Classify(b);
    Extended result;
    if (BinarySpecial(a, ka, b, kb, flags, &result)) return result;
    const bool signA = ExtSign(a);
    const bool signB = ExtSign(b) != negateB;
    if (ka == Kind::kInf) {
        if (kb == Kind::kInf && signA != signB) return Invalid(flags);
        return Infinity(signA);
    }
    if (kb == Kind::kInf) return Infinity(signB);
    if (ka == Kind::kZero && kb == Kind::kZero) return Zero(signA && signB);

    // A zero operand still goes through RoundPack, which re-encodes a pseudo-denormal.
    if (kb == Kind::kZero) {
        const Unpacked x = Unpack(a);
        return RoundPack(signA, x.exp, x.sig, 0, flags);
    }
    if (ka == Kind::kZero) {
        const Unpacked y = Unpack(b);
        return RoundPack(signB, y.exp, y.sig, 0, flags);
    }
    Unpacked x = Unpack(a);
    Unpacked y = Unpack(b);
    x.sign = signA;
    y.sign = signB;
    if (x.exp < y.exp || (x.exp == y.exp && x.sig < y.sig)) std::swap(x, y);  // now |x| >= |y|

    // Bit 127 stays free for the carry of a sum.
    const U128 mx = U128{x.sig} << 63;
    const U128 my = ShiftRightJam(U128{y.sig} << 63, x.exp - y.exp);
    U128 m;
    if (x.sign == y.sign) {
        m = mx + my;
    } else {
        m = mx - my;
        if (m == 0) return Zero(false);  // an exact zero difference is +0 when rounding to nearest
    }
    return RoundPackWide(x.sign, x.exp + 1, m, flags);
}

}  // namespace

Extended ExtAdd(Extended a, Extended b, FpFlags& flags) {
    return AddOrSub(a, b, false, flags);
}

Extended ExtSub(Extended a, Extended b, FpFlags& flags) {
    return AddOrSub(a, b, true, flags);
}

Extended ExtMul(Extended a, Extended b, FpFlags& flags) {
    const Kind ka = Classify(a);
    const Kind kb = Classify(b);
    Extended result;
    if (BinarySpecial(a, ka, b, kb, flags, &result)) return result;
    const bool sign = ExtSign(a) != ExtSign(b);
    if (ka == Kind::kInf || kb == Kind::kInf) {
        if (ka == Kind::kZero || kb == Kind::kZero) return Invalid(flags);
        return Infinity(sign);
    }
    if (ka == Kind::kZero || kb == Kind::kZero) return Zero(sign);

    const Unpacked x = Unpack(a);
    const Unpacked y = Unpack(b);
    // sigA·sigB × 2^(expA + expB − 2·bias − 126), written with the 127-bit scale of RoundPackWide.
    return RoundPackWide(sign, x.exp + y.exp - kExtBias + 1, U128{x.sig} * y.sig, flags);
}

Extended ExtDiv(Extended a, Extended b, FpFlags& flags) {
    const Kind ka = Classify(a);
    const Kind kb = Classify(b);
    Extended result;
    if (BinarySpecial(a, ka, b, kb, flags, &result)) return result;
    const bool sign = ExtSign(a) != ExtSign(b);
    if (ka == Kind::kInf) return kb == Kind::kInf ? Invalid(flags) : Infinity(sign);
    if (kb == Kind::kInf) return Zero(sign);
    if (kb == Kind::kZero) {
        if (ka == Kind::kZero) return Invalid(flags);
        flags.divByZero = true;
        return Infinity(sign);
    }
    if (ka == Kind::kZero) return Zero(sign);

    const Unpacked x = Unpack(a);
    const Unpacked y = Unpack(b);
    // 126 quotient bits of sigA / sigB in two long divisions (the first gives 64 or 65 bits,
    // the second 62 more); a nonzero final remainder becomes the sticky bit. Both significands
    // have their top bit set, so the quotient's 65th bit is simply sigA >= sigB.
    const bool top = x.sig >= y.sig;
    uint64_t r1 = 0;
    const uint64_t q1 = DivideWide(top ? x.sig - y.sig : x.sig, 0, y.sig, r1);
    uint64_t r2 = 0;
    const uint64_t q2 = DivideWide(r1 >> 2, r1 << 62, y.sig, r2);
    U128 m = (((U128{top} << 64) | q1) << 62) | q2;
    if (r2 != 0) m |= 1;
    return RoundPackWide(sign, x.exp - y.exp + kExtBias + 1, m, flags);
}

Extended ExtRoundToInt(Extended a, FpFlags& flags) {
    const Kind k = Classify(a);
    if (k == Kind::kUnsupported) return Invalid(flags);
    if (IsNaN(k)) {
        if (k == Kind::kSNaN) flags.invalid = true;
        return Quiet(a);
    }
    if (k == Kind::kZero || k == Kind::kInf) return a;

    const bool sign = ExtSign(a);
    const int exp = ExtExpField(a);
    if (exp >= kExtBias + 63) return a;  // no fraction bits left
    if (exp < kExtBias) {
        // |a| < 1: above one half it rounds to 1, at one half to the even 0.
        const bool aboveHalf = exp == kExtBias - 1 && a.signif > kIntBit;
        return aboveHalf ? ExtPack(sign, kExtBias, kIntBit) : Zero(sign);
    }
    const uint64_t lastBit = uint64_t{1} << (kExtBias + 63 - exp);
    const uint64_t fraction = a.signif & (lastBit - 1);
    uint64_t sig = a.signif - fraction;
    const uint64_t half = lastBit >> 1;
    if (fraction > half || (fraction == half && (sig & lastBit) != 0)) {
        sig += lastBit;
        if (sig == 0) return ExtPack(sign, exp + 1, kIntBit);
    }
    return ExtPack(sign, exp, sig);
}

Extended ExtFromDouble(double d) {
    const auto bits = std::bit_cast<uint64_t>(d);
    const bool sign = (bits >> 63) != 0;
    const int exp = static_cast<int>((bits >> 52) & 0x7FF);
    const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
    if (exp == 0x7FF) {
        if (fraction == 0) return Infinity(sign);
        // A NaN arrives quiet, as an x87 load makes it (with no flags to report a signalling one).
        return ExtPack(sign, kExtMaxExp, kIntBit | kQuietBit | (fraction << 11));
    }
    if (exp == 0) {
        if (fraction == 0) return Zero(sign);
        // fraction × 2^−1074, normalised.
        const int shift = std::countl_zero(fraction);
        return ExtPack(sign, kExtBias - 1011 - shift, fraction << shift);
    }
    return ExtPack(sign, exp - 1023 + kExtBias, kIntBit | (fraction << 11));
}

Extended ExtFromUint64(uint64_t v) {
    if (v == 0) return Zero(false);
    const int shift = std::countl_zero(v);
    return ExtPack(false, kExtBias + 63 - shift, v << shift);
}

uint64_t ExtIntegralToUint64(Extended a) {
    if (Classify(a) != Kind::kFinite) return 0;
    const Unpacked x = Unpack(a);
    const int32_t e = x.exp - kExtBias;
    if (e < 0 || e > 63) return 0;
    return x.sig >> (63 - e);
}

double ExtToDouble(Extended a, FpFlags& flags) {
    const Kind k = Classify(a);
    const uint64_t signBit = ExtSign(a) ? uint64_t{1} << 63 : 0;
    const uint64_t expMask = uint64_t{0x7FF} << 52;
    switch (k) {
        case Kind::kUnsupported:
            flags.invalid = true;
            return std::bit_cast<double>(uint64_t{0xFFF8000000000000});
        case Kind::kSNaN:
        case Kind::kQNaN:
            if (k == Kind::kSNaN) flags.invalid = true;
            // The top fraction bits are kept, and the quiet bit is set.
            return std::bit_cast<double>(signBit | expMask | (uint64_t{1} << 51) |
                                         ((a.signif << 1) >> 12));
        case Kind::kInf:
            return std::bit_cast<double>(signBit | expMask);
        case Kind::kZero:
            return std::bit_cast<double>(signBit);
        case Kind::kFinite:
            break;
    }
    const Unpacked x = Unpack(a);
    // The biased binary64 exponent of the value; below 1 the significand moves down to the
    // subnormal position and is rounded once there.
    const int32_t exp = x.exp - kExtBias + 1023;
    const int32_t shift = 11 + (exp < 1 ? 1 - exp : 0);
    const U128 wide = ShiftRightJam(U128{x.sig} << 64, shift);
    uint64_t sig = static_cast<uint64_t>(wide >> 64);
    const auto rest = static_cast<uint64_t>(wide);
    if (rest > kHalf || (rest == kHalf && (sig & 1) != 0)) ++sig;
    if (exp < 1) return std::bit_cast<double>(signBit | sig);  // a carry makes it normal
    // The integer bit adds the last 1 to the exponent field, and a carry out of 53 bits one more.
    const uint64_t bits = exp < 0x7FF ? (uint64_t(exp - 1) << 52) + sig : expMask;
    if (bits >= expMask) {
        flags.overflow = true;
        return std::bit_cast<double>(signBit | expMask);
    }
    return std::bit_cast<double>(signBit | bits);
}

}  // namespace velmor
