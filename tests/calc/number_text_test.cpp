// Number texts: what the parser accepts and the value it gives, what the formatter writes, and
// the power-of-ten scaling both share.
#include "number_text.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "decimal_separator.h"
#include "errors.h"
#include "extended.h"
#include "power_of_ten.h"

namespace velmor {
namespace {

using namespace std::string_literals;

double Stored(const std::string& text, char separator = '.') {
    FpFlags flags;
    const double d = ExtToDouble(ParseNumberText(text, separator), flags);
    EXPECT_FALSE(flags.Any()) << text;
    return d;
}
std::string Format(double v, char separator = '.') {
    return FormatNumberText(ExtFromDouble(v), separator);
}

TEST(ParseNumberText, AcceptedTextsAndTheirValues) {
    // "651.283538566814002" lies exactly halfway between two binary64 values in extended: ties to
    // even stores the one above, not the one nearest the text. With 6000 fraction digits the power
    // of ten falls off the scale.
    // clang-format off
    const std::pair<std::string, double> rows[] = {
        {"10E3", 10000}, {" 12 ", 12}, {"+5", 5}, {"5.", 5}, {".5", 0.5}, {"00012", 12}, {".", 0},
        {".E5", 0}, {"1E", 1}, {"1e+", 1}, {"1E-", 1}, {"-7  ", -7}, {"-2.5e-3", -0.0025},
        {"25\0junk"s, 25}, {"1E0000000005", 100000}, {"1E-400", 0}, {"1E-4999", 0},
        {"0." + std::string(6000, '0') + "1", 0},
        {"651.283538566814002", 651.2835385668140588677488267421722412109375}};
    // clang-format on
    for (const auto& [text, value] : rows) EXPECT_EQ(Stored(text), value) << '"' << text << '"';
    for (const char* text : {"-0", "-.", "-0E7"}) EXPECT_EQ(ParseNumberText(text, '.'), ExtNeg({}));
    // Beyond binary64 but within the extended range: 10^500 lies in [2^1660, 2^1661).
    EXPECT_EQ(ExtExpField(ParseNumberText("1E500", '.')), kExtBias + 1660);
}

TEST(ParseNumberText, RejectedTextsAreQuotedWhole) {
    // clang-format off
    // Reading an exponent stops at 500 or more, so "1E-5000" leaves a digit unread.
    const std::string rows[] = {"", "   ", "+", "-", "E5", "1.2.3", "1e5e5", "\t5", "5\t", "- 5",
        "1 E5", "1,5", "++5", "0x10", "1E5000", "1E4999", "1E-5000", "0E5000", "abc", "５", "1E+-5",
        "inf", "nan", " 1 2 ", "\0" "5"s, "1.18973149535723177E4932"};
    // clang-format on
    for (const std::string& text : rows) {
        try {
            ParseNumberText(text, '.');
            ADD_FAILURE() << "accepted \"" << text << '"';
        } catch (const ConversionError& e) {
            EXPECT_STREQ(e.what(), ("'" + text + "' is not a valid floating point value").c_str());
        }
    }
}

// However the parser gets there, every bit must be what digit-by-digit rounded extended steps
// (x × 10 + d, then one scaling) give, on both sides of 19 significant digits and up to the ends
// of the extended range.
TEST(ParseNumberText, SameBitsAsDigitByDigitRounding) {
    auto stepByStep = [](const std::string& whole, const std::string& fraction, int exponent) {
        FpFlags flags;
        Extended x;
        for (char c : whole + fraction)
            x = ExtAdd(ExtMul(x, ExtFromUint64(10), flags), ExtFromUint64(c - '0'), flags);
        x = ScaleByPowerOfTen(x, exponent - int(fraction.size()), flags);
        return flags.overflow ? std::nullopt : std::optional<Extended>(x);
    };
    // clang-format off
    std::vector<std::tuple<std::string, std::string, int>> cases = {{"18446744073709551615", "", 0},
        {"18446744073709551616", "", 0}, {"9999999999999999999", "", 0},
        {"99999999999999999999", "", 0}, {"999999999999999999999", "", 0},
        {"00000", "0000000000000000000012345678901234567891", 0}, {"1", std::string(60, '9'), 0},
        {"118973149535723176", "", 4915}, {"118973149535723177", "", 4915},
        {"36451995318824746", "", -4967}, {"1", "", -4951}, {"0", "0", 499}};
    // clang-format on
    std::mt19937_64 random(11);
    for (int i = 0; i < 200000; ++i) {
        std::string all(random() % 4 == 0 ? random() % 5 : 0, '0');
        for (int n = 1 + random() % 24; n > 0; --n) all += char('0' + random() % 10);
        const size_t point = random() % (all.size() + 1);
        const int exponent = random() % 8 ? int(random() % 41) - 20 : int(random() % 9999) - 4999;
        cases.push_back({all.substr(0, point), all.substr(point), exponent});
    }
    for (const auto& [whole, fraction, exponent] : cases) {
        const std::string text = whole + "." + fraction + "E" + std::to_string(exponent);
        if (const auto expected = stepByStep(whole, fraction, exponent)) {
            ASSERT_EQ(ParseNumberText(text, '.'), *expected) << text;
        } else {
            EXPECT_THROW(ParseNumberText(text, '.'), ConversionError) << text;
        }
    }
}

TEST(FormatNumberText, WorkedTable) {
    // clang-format off
    const std::tuple<const char*, double, const char*> rows[] = {{"IE", 0.008, "0.008"},
        {"rbe", 1204.0 / 13.0, "92.6153846153846"}, {"ro", 100.0 / 51.0, "1.96078431372549"},
        {"last fixed", 0.0001, "0.0001"}, {"first exponent", 0.00001, "1E-5"}, {"zero", 0.0, "0"},
        {"negative exponent", 0.0000123, "1.23E-5"}, {"positive exponent", 1.5e20, "1.5E20"},
        {"integer", 1200, "1200"}, {"15 digits", 1e14, "100000000000000"}, {"-0", -0.0, "0"},
        {"15 nines", 999999999999999.0, "999999999999999"}, {"negative", -2.5, "-2.5"},
        {"rounded down", 1.0 / 3.0, "0.333333333333333"}, {"17 digits", 0.1 + 0.2, "0.3"},
        {"rounded up", 2.0 / 3.0, "0.666666666666667"}, {"carry to 10", 9.9999999999999995, "10"},
        {"rounded with exponent", 123456789012345678.0, "1.23456789012346E17"},
        {"rounded to 18 digits (...72500), then 15", 6700.525606197245, "6700.52560619725"},
        {"carry to 1E15", 999999999999999.5, "1E15"}, {"carry to 1E5", 99999.99999999999, "100000"},
        {"carry to 1E-4", 0.00009999999999999999, "0.0001"},
        {"carry to 1E-3", 0.00099999999999999995, "0.001"}, {"-1E16", -9999999999999999.0, "-1E16"},
        {"least", 4.9E-324, "4.94065645841247E-324"}, {"largest", DBL_MAX, "1.79769313486232E308"},
        {"exponent estimate one too large", std::ldexp(1.0, -681), "9.96719495109757E-206"}};
    // clang-format on
    for (const auto& [corner, value, text] : rows) EXPECT_EQ(Format(value), text) << corner;
    // clang-format off
    const std::tuple<const char*, Extended, const char*> extended[] = {
        {"infinity", ExtPack(1, kExtMaxExp, 1ULL << 63), "-INF"},
        {"pseudo-NaN", ExtPack(0, kExtMaxExp, 1), "INF"},
        {"a NaN has no sign", ExtPack(1, kExtMaxExp, 0xC000000000000000), "NAN"},
        {"an unnormal is a NaN", ExtPack(1, kExtBias, 1ULL << 62), "NAN"},
        {"denormal", ExtPack(0, 0, 12345), "0"}, {"no sign on zero", ExtNeg(Extended{}), "0"},
        {"18-digit scratch below 10^18", ParseNumberText("9.99999999999999999999", '.'), "10"},
        {"the same with an exponent", ParseNumberText("9.9999999999999999999E300", '.'), "1E301"}};
    // clang-format on
    for (const auto& [corner, value, text] : extended)
        EXPECT_EQ(FormatNumberText(value, '.'), text) << corner;
}

TEST(FormatNumberText, SmallPowersOfTwoStartWithANonZeroDigit) {
    for (int e = -1074; e < -600; ++e) EXPECT_NE(Format(std::ldexp(1.0, e))[0], '0') << e;
}

TEST(NumberText, SeparatorFromTheArgumentAndTheSetting) {
    EXPECT_EQ(Format(2.5, ','), "2,5");
    EXPECT_EQ(Format(1.5e-20, ','), "1,5E-20");
    EXPECT_EQ(Stored("1,5", ','), 1.5);
    EXPECT_THROW(ParseNumberText("1.5", ','), ConversionError);
    // Only one ASCII character is taken; "\xd9\xab" is U+066B ARABIC DECIMAL SEPARATOR.
    EXPECT_EQ(DecimalSeparatorFromSetting(","), ',');
    for (const char* setting :
         {".", "", static_cast<const char*>(nullptr), ",,", "\xB7", "\xd9\xab"})
        EXPECT_EQ(DecimalSeparatorFromSetting(setting), '.') << (setting ? setting : "null");
}

TEST(ScaleByPowerOfTen, LimitsTablePlacesAndOneRounding) {
    const Extended one = ExtFromUint64(1);
    FpFlags flags;
    for (int k : {-5120, INT_MIN}) EXPECT_EQ(ScaleByPowerOfTen(one, k, flags), Extended{});
    EXPECT_FALSE(ExtIsInf(ScaleByPowerOfTen(one, 4932, flags)));  // 0.84 of the largest
    // Up to 10^19 the power is an integer, and scaling either way costs just one rounding. (The
    // tables' entries are checked against their generator.)
    const Extended third = ExtDiv(one, ExtFromUint64(3), flags);
    uint64_t power = 1;
    for (int k = 0; k <= 19; ++k, power *= 10) {
        const Extended exact = ExtFromUint64(power);
        EXPECT_EQ(ScaleByPowerOfTen(third, k, flags), ExtMul(third, exact, flags)) << k;
        EXPECT_EQ(ScaleByPowerOfTen(third, -k, flags), ExtDiv(third, exact, flags)) << k;
    }
    // Every table entry in its place: each multiple of 32 up to the largest power reads back.
    for (int k = 32; k < 4933; k += 32) {
        EXPECT_EQ(FormatNumberText(ScaleByPowerOfTen(one, k, flags), '.'),
                  "1E" + std::to_string(k));
        EXPECT_EQ(FormatNumberText(ScaleByPowerOfTen(one, -k, flags), '.'),
                  "1E-" + std::to_string(k));
    }
    EXPECT_FALSE(flags.Any());
    EXPECT_TRUE(ExtIsInf(ScaleByPowerOfTen(one, 4933, flags)) && flags.overflow);
    EXPECT_TRUE(ExtIsInf(ScaleByPowerOfTen(one, 5120, flags)));
}

}  // namespace
}  // namespace velmor
