// Reading typed numbers: the accepted form, the values, and the rejected texts with their
// message.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "errors.h"
#include "extended.h"
#include "number_text.h"
#include "power_of_ten.h"
#include "test_support.h"

namespace velmor {
namespace {

double Stored(const std::string& text) {
    return ExtToDoubleChecked(ParseNumberText(text, '.'));
}

TEST(ParseNumberText, AcceptedFormsAndTheirValues) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"10E3", 10000},
        {"47", 47},
        {" 12 ", 12},
        {"+5", 5},
        {"5.", 5},
        {".5", 0.5},
        {"00012", 12},
        {".", 0},
        {".E5", 0},
        {"1E", 1},
        {"1e+", 1},
        {"1E-", 1},
        {"1E0000000005", 100000},
        {"-2.5e-3", -0.0025},
        {"  -7  ", -7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Stored(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(ParseNumberText, MinusZeroForms) {
    for (const char* text : {"-0", "-.", "-0E7"}) {
        const Extended x = ParseNumberText(text, '.');
        EXPECT_EQ(x, ExtNeg(Extended{})) << text;
        EXPECT_EQ(FormatNumberText(x, '.'), "0");
    }
}

TEST(ParseNumberText, RejectsTextsOutsideTheForm) {
    const std::string rejected[] = {
        "",    "   ", "+",    "-",      "E5",     "1.2.3", "1e5e5", "\t5",   "5\t", "- 5", "1 E5",
        "1,5", "++5", "0x10", "1E5000", "1E4999", "abc",   "５",    "1E+-5", "inf", "nan",
    };
    for (const std::string& text : rejected) {
        try {
            ParseNumberText(text, '.');
            ADD_FAILURE() << "accepted \"" << text << '"';
        } catch (const ConversionError& e) {
            EXPECT_EQ(std::string(e.what()), "'" + text + "' is not a valid floating point value");
        }
    }
}

TEST(ParseNumberText, ExtremeExponents) {
    // Accepted in the extended format although beyond binary64.
    const Extended big = ParseNumberText("1E500", '.');
    EXPECT_EQ(ExtExpField(big), kExtBias + 1660);  // 10^500 lies in [2^1660, 2^1661)
    FpFlags flags;
    ExtToDouble(big, flags);
    EXPECT_TRUE(flags.overflow);

    EXPECT_EQ(ParseNumberText("1E-4999", '.'), Extended{});
    EXPECT_EQ(Stored("1E-400"), 0.0);
    // The largest extended value is about 1.1897E4932.
    EXPECT_NO_THROW(ParseNumberText("1.18973149535723176E4932", '.'));
    EXPECT_THROW(ParseNumberText("1.18973149535723177E4932", '.'), ConversionError);
    // So many fraction digits that the power of ten falls off the scale: the value is zero.
    EXPECT_EQ(ParseNumberText("0." + std::string(6000, '0') + "1", '.'), Extended{});
}

TEST(ParseNumberText, NulByteEndsTheText) {
    using namespace std::string_literals;
    EXPECT_EQ(Stored("25\0junk"s), 25);
    EXPECT_THROW(ParseNumberText("\0"
                                 "5"s,
                                 '.'),
                 ConversionError);
}

TEST(ParseNumberText, DoubleRoundingToBinary64) {
    // The extended value lies exactly halfway between two binary64 values; ties to even then
    // stores the one above, not the one nearest the text.
    const Extended x = ParseNumberText("651.283538566814002", '.');
    // 651.28353856681400202432996593415737152099609375 exactly:
    EXPECT_EQ(x, ExtPack(false, 0x4008, 0xA2D2257EF1E7BC00ULL));
    EXPECT_EQ(Stored("651.283538566814002"), 651.2835385668140588677488267421722412109375);
    EXPECT_NE(Stored("651.283538566814002"), 651.283538566814002);
}

TEST(ParseNumberText, TextThatIsNotANumberIsQuotedWhole) {
    try {
        ParseNumberText(" 1 2 ", '.');
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "' 1 2 ' is not a valid floating point value");
    }
}

// The value every digit string stands for when each digit is taken as x × 10 + d in rounded
// extended steps and then scaled once; nullopt when that overflows.
std::optional<Extended> StepByStep(const std::string& whole, const std::string& fraction,
                                   int exponent) {
    FpFlags flags;
    Extended x;
    for (char c : whole + fraction) {
        x = ExtAdd(ExtMul(x, ExtFromUint64(10), flags), ExtFromUint64(uint64_t(c - '0')), flags);
    }
    x = ScaleByPowerOfTen(x, exponent - static_cast<int>(fraction.size()), flags);
    if (flags.overflow) return std::nullopt;
    return x;
}

// However the parser gets there, every bit must be what the rounded steps give, on both sides
// of 19 significant digits and up to the ends of the extended range.
TEST(ParseNumberText, SameBitsAsDigitByDigitRounding) {
    std::mt19937_64 random(11);
    auto digits = [&](int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += char('0' + random() % 10);
        return s;
    };
    struct Case {
        std::string whole, fraction;
        int exponent;
    };
    std::vector<Case> cases = {
        {"18446744073709551615", "", 0},  // 2^64 - 1
        {"18446744073709551616", "", 0},
        {"9999999999999999999", "", 0},
        {"99999999999999999999", "", 0},
        {"999999999999999999999", "", 0},
        {"00000", "0000000000000000000012345678901234567891", 0},
        {"1", std::string(60, '9'), 0},
        {"118973149535723176", "", 4915},
        {"118973149535723177", "", 4915},
        {"36451995318824746", "", -4967},
        {"1", "", -4951},
        {"0", "0", 499},
    };
    for (int i = 0; i < 200000; ++i) {
        const int leadingZeros = random() % 4 == 0 ? int(random() % 5) : 0;
        const std::string all = std::string(leadingZeros, '0') + digits(1 + random() % 24);
        const size_t point = random() % (all.size() + 1);
        const int exponent =
            random() % 8 == 0 ? int(random() % 9999) - 4999 : int(random() % 41) - 20;
        cases.push_back({all.substr(0, point), all.substr(point), exponent});
    }
    for (const Case& c : cases) {
        const std::string text = c.whole + "." + c.fraction + "E" + std::to_string(c.exponent);
        const std::optional<Extended> expected = StepByStep(c.whole, c.fraction, c.exponent);
        if (!expected) {
            EXPECT_THROW(ParseNumberText(text, '.'), ConversionError) << text;
            continue;
        }
        const Extended x = ParseNumberText(text, '.');
        ASSERT_EQ(x.signExp, expected->signExp) << text;
        ASSERT_EQ(x.signif, expected->signif) << text;
    }
}

// Every 15-significant-digit decimal in the normal binary64 range comes back unchanged after
// being read, stored as binary64 and written again (in scientific notation, to compare texts).
TEST(NumberTextRoundTrip, FifteenDigitDecimalsSurviveParseStoreFormat) {
    std::mt19937_64 random(20261206);
    std::uniform_int_distribution<uint64_t> mantissa(100'000'000'000'000ULL,
                                                     999'999'999'999'999ULL);
    std::uniform_int_distribution<int> power(-308, 308);
    for (int i = 0; i < 200000; ++i) {
        uint64_t m = mantissa(random);
        while (m % 10 == 0) m /= 10;
        const int p = power(random);
        const std::string digits = std::to_string(m);
        if ((p >= -4 && p <= 14) || (p == 308 && digits > "179769313486231")) continue;
        std::string text = digits.substr(0, 1);
        if (digits.size() > 1) text += "." + digits.substr(1);
        text += "E" + std::to_string(p);
        ASSERT_EQ(FormatNumberText(ExtFromDouble(Stored(text)), '.'), text);
    }
}

}  // namespace
}  // namespace velmor
