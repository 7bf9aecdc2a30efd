// The exact texts of result numbers: the worked formatting table, the double rounding, the
// notation boundaries and the locale's separator.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "decimal_separator.h"
#include "errors.h"
#include "extended.h"
#include "number_text.h"
#include "test_support.h"

namespace velmor {
namespace {

std::string Format(double v) {
    return FormatNumberText(ExtFromDouble(v), '.');
}

struct FormatCase {
    double value;
    const char* text;
};

TEST(FormatNumberText, WorkedTable) {
    const volatile double third = 1.0, three = 3.0, two = 2.0, tenth = 0.1, fifth = 0.2;
    const FormatCase cases[] = {
        {0.008, "0.008"},
        {1204.0 / 13.0, "92.6153846153846"},
        {0.0001, "0.0001"},
        {0.00001, "1E-5"},
        {0.0000123, "1.23E-5"},
        {1200, "1200"},
        {third / three, "0.333333333333333"},
        {two / three, "0.666666666666667"},
        {100.0 / 51.0, "1.96078431372549"},
        {tenth + fifth, "0.3"},
        {-2.5, "-2.5"},
        {1e14, "100000000000000"},
        {999999999999999.0, "999999999999999"},
        {999999999999999.5, "1E15"},
        {1e15, "1E15"},
        {1.5e20, "1.5E20"},
        {123456789012345678.0, "1.23456789012346E17"},
        {99999.99999999999, "100000"},
        {0.0, "0"},
        {-0.0, "0"},
        {std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"},
        {std::numeric_limits<double>::max(), "1.79769313486232E308"},
        {0.00009999999999999999, "0.0001"},
        // Rounded twice, first to 18 digits (...72500): the exact value gives ...724 in 15.
        {6700.525606197245, "6700.52560619725"},
        // A carry past the first digit raises the exponent.
        {9.9999999999999995, "10"},
        {0.00099999999999999995, "0.001"},
        {-9999999999999999.0, "-1E16"},
    };
    for (const FormatCase& c : cases) {
        EXPECT_EQ(Format(c.value), c.text) << "value " << c.value;
    }
}

TEST(FormatNumberText, SpecialValues) {
    const struct {
        Extended value;
        const char* text;
    } cases[] = {
        {ExtPack(true, kExtMaxExp, uint64_t{1} << 63), "-INF"},
        {ExtPack(false, kExtMaxExp, uint64_t{1} << 63), "INF"},
        {ExtPack(false, kExtMaxExp, 1), "INF"},  // the integer bit clear: an infinity too
        {ExtPack(true, kExtMaxExp, 0xC000000000000000ULL), "NAN"},  // a NaN has no sign
        {ExtPack(true, kExtBias, 0x4000000000000000ULL), "NAN"},    // an unnormal
        {ExtPack(false, 0, 12345), "0"},  // extended denormals are written as zero
    };
    for (const auto& c : cases) EXPECT_EQ(FormatNumberText(c.value, '.'), c.text) << c.text;
}

TEST(FormatNumberText, TinyMagnitudesKeepAllSignificantDigits) {
    // The exponent estimate is one too large here; the digits still start with a non-zero.
    EXPECT_EQ(Format(std::ldexp(1.0, -681)), "9.96719495109757E-206");
    for (int e = -1074; e < -600; ++e) {
        EXPECT_NE(Format(std::ldexp(1.0, e))[0], '0') << "2^" << e;
    }
}

TEST(FormatNumberText, ExtendedValueJustBelowAPowerOfTen) {
    // Only reachable with extended values: the 18-digit scratch would round up to 10^18.
    const Extended justBelowTen = ParseNumberText("9.99999999999999999999", '.');
    EXPECT_EQ(FormatNumberText(justBelowTen, '.'), "10");
    EXPECT_EQ(FormatNumberText(ParseNumberText("9.9999999999999999999E300", '.'), '.'), "1E301");
}

TEST(NumberText, CommaAsTheSeparatorOnBothSides) {
    EXPECT_EQ(FormatNumberText(ExtFromDouble(2.5), ','), "2,5");
    EXPECT_EQ(FormatNumberText(ExtFromDouble(1.5e-20), ','), "1,5E-20");
    EXPECT_EQ(ExtToDoubleChecked(ParseNumberText("1,5", ',')), 1.5);
    EXPECT_THROW(ParseNumberText("1.5", ','), ConversionError);
}

TEST(DecimalSeparatorFromSetting, TakesOnlyOneSingleByteCharacter) {
    EXPECT_EQ(DecimalSeparatorFromSetting(","), ',');
    EXPECT_EQ(DecimalSeparatorFromSetting("."), '.');
    EXPECT_EQ(DecimalSeparatorFromSetting(""), '.');
    EXPECT_EQ(DecimalSeparatorFromSetting(nullptr), '.');
    EXPECT_EQ(DecimalSeparatorFromSetting(",,"), '.');
    EXPECT_EQ(DecimalSeparatorFromSetting("\xd9\xab"), '.');  // U+066B ARABIC DECIMAL SEPARATOR
}

}  // namespace
}  // namespace velmor
