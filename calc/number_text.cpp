#include "number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string>

#include "errors.h"
#include "power_of_ten.h"

namespace velmor {
namespace {

constexpr uint64_t kTenPow15 = 1'000'000'000'000'000ULL;
constexpr uint64_t kTenPow17 = 100'000'000'000'000'000ULL;
constexpr uint64_t kTenPow18 = 1'000'000'000'000'000'000ULL;
constexpr int kPrecision = 15;
constexpr int kScratchDigits = 18;

// Reading stops directly after the digit that brings the exponent to this or more, so that
// "1E5000" leaves its last "0" unread.
constexpr int kExponentReadLimit = 500;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The text as the parser sees it: a NUL byte ends it, as the end of the text does.
class TextCursor {
  public:
    explicit TextCursor(std::string_view text) : text_(text) {}
    char Peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
    void Advance() { ++pos_; }
    void SkipSpaces() {
        while (Peek() == ' ') Advance();
    }

  private:
    std::string_view text_;
    size_t pos_ = 0;
};

// The integer of all digits read so far. Up to 19 significant digits every x × 10 + d is an
// integer below 2^64, so the extended steps it stands for are exact and an integer holds the
// same value; from the 20th digit on, each step is rounded to a 64-bit significand as the
// extended arithmetic rounds it.
class DigitAccumulator {
  public:
    void Add(char digit, FpFlags& flags) {
        const auto d = static_cast<uint64_t>(digit - '0');
        if (significant_ < kExactDigits) {
            exact_ = exact_ * 10 + d;
            if (exact_ != 0) ++significant_;
            return;
        }
        if (significant_ == kExactDigits) {
            rounded_ = ExtFromUint64(exact_);
            ++significant_;
        }
        rounded_ = ExtMul(rounded_, ExtFromUint64(10), flags);
        rounded_ = ExtAdd(rounded_, ExtFromUint64(d), flags);
    }

    Extended Value() const {
        return significant_ <= kExactDigits ? ExtFromUint64(exact_) : rounded_;
    }

  private:
    static constexpr int kExactDigits = 19;

    uint64_t exact_ = 0;
    int significant_ = 0;  // kExactDigits + 1 once rounded_ holds the value
    Extended rounded_;
};

struct ParsedForm {
    bool negative = false;
    DigitAccumulator digits;  // every integer and fraction digit
    int64_t fractionDigits = 0;
    int exponent = 0;  // signed
};

int ReadExponent(TextCursor& cursor) {
    bool negative = false;
    if (cursor.Peek() == '+' || cursor.Peek() == '-') {
        negative = cursor.Peek() == '-';
        cursor.Advance();
    }
    int value = 0;
    while (IsDigit(cursor.Peek())) {
        value = value * 10 + (cursor.Peek() - '0');
        cursor.Advance();
        if (value >= kExponentReadLimit) break;
    }
    return negative ? -value : value;
}

// Reads the accepted form; false when the text does not have it.
bool ReadForm(std::string_view text, char separator, ParsedForm& form, FpFlags& flags) {
    TextCursor cursor(text);
    cursor.SkipSpaces();
    if (cursor.Peek() == '+' || cursor.Peek() == '-') {
        form.negative = cursor.Peek() == '-';
        cursor.Advance();
    }
    bool tookMantissa = false;
    while (IsDigit(cursor.Peek())) {
        form.digits.Add(cursor.Peek(), flags);
        cursor.Advance();
        tookMantissa = true;
    }
    if (cursor.Peek() == separator) {
        cursor.Advance();
        tookMantissa = true;
        while (IsDigit(cursor.Peek())) {
            form.digits.Add(cursor.Peek(), flags);
            ++form.fractionDigits;
            cursor.Advance();
        }
    }
    if (!tookMantissa) return false;
    if (cursor.Peek() == 'E' || cursor.Peek() == 'e') {
        cursor.Advance();
        form.exponent = ReadExponent(cursor);
    }
    cursor.SkipSpaces();
    return cursor.Peek() == '\0';
}

int ClampToInt(int64_t v) {
    // Beyond ±5120 every power of ten gives the same result, so clamping changes nothing.
    constexpr int64_t kLimit = 1'000'000;
    return static_cast<int>(v < -kLimit ? -kLimit : (v > kLimit ? kLimit : v));
}

// |value| × 10^(18 − E), rounded to an integer.
Extended ScaledDigits(Extended magnitude, int e) {
    FpFlags ignored;
    return ExtRoundToInt(ScaleByPowerOfTen(magnitude, kScratchDigits - e, ignored), ignored);
}

// The 18 significant digits of a finite non-zero value and its decimal exponent.
uint64_t EighteenDigits(Extended magnitude, int& e) {
    const int e2 = ExtExpField(magnitude) - kExtBias;
    // 19728 / 65536 approximates log10(2); the shift floors toward minus infinity.
    e = ((e2 * 19728) >> 16) + 1;
    // The estimate is never more than one off, so the scaled digits stay below 2.4 × 10^18 and
    // an integer holds them exactly.
    uint64_t digits = ExtIntegralToUint64(ScaledDigits(magnitude, e));
    // Far below 2^-680 the estimate can be one too large, which would leave a leading zero and
    // one digit fewer; scaling once more by ten keeps every significant digit.
    if (digits < kTenPow17) {
        --e;
        digits = ExtIntegralToUint64(ScaledDigits(magnitude, e));
    }
    if (digits >= kTenPow18) {
        // The extended quotient digits / 10 keeps at least three fraction bits, and of the ten
        // possible remainders only 5 lands on one half; so rounding the quotient to the extended
        // format and then to an integer is rounding it to an integer once, half to even.
        const uint64_t rest = digits % 10;
        digits /= 10;
        if (rest > 5 || (rest == 5 && (digits & 1) != 0)) ++digits;
        ++e;
    }
    // Only an extended value a few units below a power of ten can round up to 10^18 here.
    if (digits >= kTenPow18) {
        digits /= 10;
        ++e;
    }
    return digits;
}

// Rounds the 18 digits to 15 by the 16th digit alone (halves away from zero); a carry past the
// first digit gives 10^14 and one more in the exponent.
uint64_t RoundToPrecision(uint64_t eighteen, int& e) {
    uint64_t fifteen = eighteen / 1000;
    if (eighteen % 1000 >= 500) ++fifteen;
    if (fifteen == kTenPow15) {
        fifteen = kTenPow15 / 10;
        ++e;
    }
    return fifteen;
}

// The decimal form: at most 15 significant digits (most significant first, none for zero, no
// trailing '0') and the exponent E with value = 0.d1d2… × 10^E.
struct DecimalForm {
    static constexpr int kInfinity = 32767;
    static constexpr int kNaN = -32768;

    char digits[kPrecision];
    int count = 0;
    int exponent = 0;
    bool negative = false;
};

// "00" to "99": two digits per division.
constexpr auto kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// Writes the last 2 × pairs decimal digits of v ending just before end.
void WritePairs(uint32_t v, char* end, int pairs) {
    for (; pairs > 0; --pairs, v /= 100) {
        end -= 2;
        std::memcpy(end, &kDigitPairs[2 * (v % 100)], 2);
    }
}

// Writes v < 10^15 as exactly 15 digits, with leading zeros.
void WriteFifteenDigits(uint64_t v, char* out) {
    const auto high = static_cast<uint32_t>(v / 100'000'000);  // 7 digits
    WritePairs(static_cast<uint32_t>(v % 100'000'000), out + 15, 4);
    WritePairs(high % 1'000'000, out + 7, 3);
    out[0] = static_cast<char>('0' + high / 1'000'000);
}

DecimalForm MakeDecimalForm(Extended value) {
    DecimalForm form;
    const int expField = ExtExpField(value);
    if (expField == 0) return form;
    if (expField == kExtMaxExp) {
        const bool integerBitOnly = value.signif == (uint64_t{1} << 63);
        const bool integerBitClear = (value.signif >> 63) == 0;
        if (integerBitOnly || integerBitClear) {
            form.exponent = DecimalForm::kInfinity;
            form.negative = ExtSign(value);
        } else {
            form.exponent = DecimalForm::kNaN;
        }
        return form;
    }
    // An unnormal (integer bit clear) is an operand no operation accepts, and nothing the
    // calculation makes; it has no digits to write.
    if ((value.signif >> 63) == 0) {
        form.exponent = DecimalForm::kNaN;
        return form;
    }
    int e = 0;
    uint64_t fifteen = RoundToPrecision(EighteenDigits(ExtAbs(value), e), e);
    WriteFifteenDigits(fifteen, form.digits);
    form.count = kPrecision;
    while (form.digits[form.count - 1] == '0') --form.count;
    form.exponent = e;
    form.negative = ExtSign(value);
    return form;
}

char* Append(char* out, const char* from, int count) {
    std::memcpy(out, from, static_cast<size_t>(count));
    return out + count;
}

char* AppendScientific(char* out, const DecimalForm& form, char separator) {
    *out++ = form.digits[0];
    if (form.count > 1) {
        *out++ = separator;
        out = Append(out, form.digits + 1, form.count - 1);
    }
    *out++ = 'E';
    int power = form.exponent - 1;
    if (power < 0) {
        *out++ = '-';
        power = -power;
    }
    return std::to_chars(out, out + 8, power).ptr;
}

char* AppendFixed(char* out, const DecimalForm& form, char separator) {
    const int e = form.exponent;
    if (e > 0) {
        out = Append(out, form.digits, std::min(e, form.count));
        if (form.count < e) out = std::fill_n(out, e - form.count, '0');
        if (form.count > e) {
            *out++ = separator;
            out = Append(out, form.digits + e, form.count - e);
        }
        return out;
    }
    *out++ = '0';
    if (form.count == 0) return out;
    *out++ = separator;
    out = std::fill_n(out, -e, '0');
    return Append(out, form.digits, form.count);
}

}  // namespace

Extended ParseNumberText(std::string_view text, char separator) {
    FpFlags flags;
    ParsedForm form;
    if (!ReadForm(text, separator, form, flags)) throw ConversionError(std::string(text));
    const int n = ClampToInt(int64_t{form.exponent} - form.fractionDigits);
    Extended value = ScaleByPowerOfTen(form.digits.Value(), n, flags);
    if (form.negative) value = ExtNeg(value);
    if (flags.overflow || flags.invalid) throw ConversionError(std::string(text));
    return value;
}

size_t WriteNumberText(Extended value, char separator, char* out) {
    const DecimalForm form = MakeDecimalForm(value);
    std::string_view special;
    if (form.exponent == DecimalForm::kInfinity) special = form.negative ? "-INF" : "INF";
    if (form.exponent == DecimalForm::kNaN) special = "NAN";
    if (!special.empty()) return static_cast<size_t>(special.copy(out, special.size()));
    char* end = out;
    if (form.negative) *end++ = '-';
    if (form.exponent > kPrecision || form.exponent < -3) {
        end = AppendScientific(end, form, separator);
    } else {
        end = AppendFixed(end, form, separator);
    }
    return static_cast<size_t>(end - out);
}

std::string FormatNumberText(Extended value, char separator) {
    char text[kNumberTextMaxLength];
    return std::string(text, WriteNumberText(value, separator, text));
}

}  // namespace velmor
