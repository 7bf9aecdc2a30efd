#include "number_text.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "errors.h"

namespace velmor {
namespace {

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
bool ReadForm(std::string_view text, ParsedForm& form, FpFlags& flags) {
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
    if (cursor.Peek() == DecimalSeparator()) {
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

bool AtLeast(Extended integral, uint64_t bound) {
    return !ExtLess(integral, ExtFromUint64(bound));
}

// The 18 significant digits of a finite non-zero value and its decimal exponent.
uint64_t EighteenDigits(Extended magnitude, int& e) {
    const int e2 = ExtExpField(magnitude) - kExtBias;
    // 19728 / 65536 approximates log10(2); the shift floors toward minus infinity.
    e = ((e2 * 19728) >> 16) + 1;
    Extended s = ScaledDigits(magnitude, e);
    // Far below 2^-680 the estimate can be one too large, which would leave a leading zero and
    // one digit fewer; scaling once more by ten keeps every significant digit.
    if (!AtLeast(s, kTenPow17)) {
        --e;
        s = ScaledDigits(magnitude, e);
    }
    FpFlags ignored;
    if (AtLeast(s, kTenPow18)) {
        s = ExtDiv(s, ExtFromUint64(10), ignored);
        ++e;
    }
    s = ExtRoundToInt(s, ignored);
    uint64_t digits = ExtIntegralToUint64(s);
    // Only an extended value a few units below a power of ten can round up to 10^18 here.
    if (digits >= kTenPow18) {
        digits /= 10;
        ++e;
    }
    return digits;
}

// Rounds the 18 digits to 15 by the 16th digit alone (halves away from zero) and drops
// trailing zeros; a carry past the first digit gives "1" and one more in the exponent.
std::string RoundToPrecision(uint64_t eighteen, int& e) {
    std::string all(kScratchDigits, '0');
    for (int i = kScratchDigits - 1; i >= 0; --i, eighteen /= 10) {
        all[i] = static_cast<char>('0' + eighteen % 10);
    }
    std::string digits = all.substr(0, kPrecision);
    if (all[kPrecision] >= '5') {
        int i = kPrecision - 1;
        while (i >= 0 && digits[i] == '9') digits[i--] = '0';
        if (i < 0) {
            ++e;
            return "1";
        }
        ++digits[i];
    }
    digits.erase(digits.find_last_not_of('0') + 1);
    return digits;
}

void AppendScientific(std::string& out, const DecimalForm& form, char separator) {
    out += form.digits[0];
    if (form.digits.size() > 1) {
        out += separator;
        out.append(form.digits, 1);
    }
    out += 'E';
    const int power = form.exponent - 1;
    if (power < 0) out += '-';
    out += std::to_string(power < 0 ? -power : power);
}

void AppendFixed(std::string& out, const DecimalForm& form, char separator) {
    const int e = form.exponent;
    const int count = static_cast<int>(form.digits.size());
    if (e > 0) {
        out.append(form.digits, 0, static_cast<size_t>(std::min(e, count)));
        if (count < e) out.append(static_cast<size_t>(e - count), '0');
        if (count > e) {
            out += separator;
            out.append(form.digits, static_cast<size_t>(e));
        }
        return;
    }
    out += '0';
    if (form.digits.empty()) return;
    out += separator;
    out.append(static_cast<size_t>(-e), '0');
    out += form.digits;
}

}  // namespace

Extended ParseNumberText(std::string_view text) {
    FpFlags flags;
    ParsedForm form;
    if (!ReadForm(text, form, flags)) throw ConversionError(std::string(text));
    const int n = ClampToInt(int64_t{form.exponent} - form.fractionDigits);
    Extended value = ScaleByPowerOfTen(form.digits.Value(), n, flags);
    if (form.negative) value = ExtNeg(value);
    if (flags.overflow || flags.invalid) throw ConversionError(std::string(text));
    return value;
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
    int e = 0;
    const uint64_t eighteen = EighteenDigits(ExtAbs(value), e);
    form.digits = RoundToPrecision(eighteen, e);
    form.exponent = static_cast<int16_t>(e);
    form.negative = ExtSign(value);
    return form;
}

std::string FormatNumberText(Extended value) {
    const DecimalForm form = MakeDecimalForm(value);
    if (form.exponent == DecimalForm::kInfinity) return form.negative ? "-INF" : "INF";
    if (form.exponent == DecimalForm::kNaN) return "NAN";
    std::string out;
    if (form.negative) out += '-';
    const char separator = DecimalSeparator();
    if (form.exponent > kPrecision || form.exponent < -3) {
        AppendScientific(out, form, separator);
    } else {
        AppendFixed(out, form, separator);
    }
    return out;
}

}  // namespace velmor
