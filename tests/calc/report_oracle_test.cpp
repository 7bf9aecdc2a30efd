// Whole reports against an independent model: the same formulas evaluated by the x87 itself in
// its 80-bit long double, each step's exception flags read as it completes, for seeded random,
// tuned and edge input sets, compared line by line and message by message with BuildReport.
#include <gtest/gtest.h>

#include <array>
#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "amplifier.h"
#include "errors.h"
#include "number_text.h"
#include "report.h"

namespace velmor {
namespace {

#if LDBL_MANT_DIG == 64

using Texts = std::array<std::string, kInputCount>;
enum Input { kR1, kR2, kR3, kR4, kC1, kC2, kVcc, kBeta };

struct Outcome {
    std::vector<std::string> lines;
    std::string message;
    bool operator==(const Outcome&) const = default;
};

constexpr const char* kPrevious = "previous report";

// One click on Calculate, into a report box that holds an earlier report.
Outcome Calculate(const Texts& texts) {
    ReportLines report;
    report.Append(kPrevious);
    std::string message;
    try {
        std::array<std::string_view, kInputCount> views;
        for (int i = 0; i < kInputCount; ++i) views[i] = texts[i];
        BuildReport(ReadInputSet(views), report);
    } catch (const VelmorError& e) {
        message = e.what();
    }
    return {report.Lines(), message};
}

struct Fault {
    std::string message;
};

// The oracle reads and writes number texts with calc's own ParseNumberText and FormatNumberText
// (their own tests check them); all arithmetic between is the processor's. Only these two
// functions touch calc's number text API.
Extended ToExtended(long double x) {
    Extended e;
    std::memcpy(&e.signif, &x, sizeof e.signif);
    std::memcpy(&e.signExp, reinterpret_cast<const char*>(&x) + sizeof e.signif, sizeof e.signExp);
    return e;
}
long double Parse(const std::string& text) {
    Extended e;
    try {
        e = ParseNumberText(text);
    } catch (const ConversionError&) {
        throw Fault{"'" + text + "' is not a valid floating point value"};
    }
    long double x = 0;
    std::memcpy(&x, &e.signif, sizeof e.signif);
    std::memcpy(reinterpret_cast<char*>(&x) + sizeof e.signif, &e.signExp, sizeof e.signExp);
    return x;
}
std::string Format(double value) {
    return FormatNumberText(ToExtended(value));
}

// Raises the first fault the processor flagged, in its own order of priority.
void RaiseFlagged() {
    const int raised = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    if (raised & FE_INVALID) throw Fault{"Invalid floating point operation"};
    if (raised & FE_DIVBYZERO) throw Fault{"Floating point division by zero"};
    if (raised & FE_OVERFLOW) throw Fault{"Floating point overflow"};
}

// An extended intermediate value: every operation on it is one x87 step, checked at once (the
// volatile makes the step complete before its flags are read).
struct X {
    X(long double value) : v(value) {}
    long double v;
};
X operator+(X a, X b) {
    const volatile long double r = a.v + b.v;
    RaiseFlagged();
    return r;
}
X operator-(X a, X b) {
    const volatile long double r = a.v - b.v;
    RaiseFlagged();
    return r;
}
X operator*(X a, X b) {
    const volatile long double r = a.v * b.v;
    RaiseFlagged();
    return r;
}
X operator/(X a, X b) {
    const volatile long double r = a.v / b.v;
    RaiseFlagged();
    return r;
}
double Store(X x) {
    const volatile double stored = static_cast<double>(x.v);
    RaiseFlagged();
    return stored;
}

// The model, each formula once, left to right.
const long double kK = 1.0L / 26;
X BaseVoltage(const InputSet& in) {
    return X(in.R3) / (X(in.R1) + in.R3) * in.Vcc;
}
X EmitterCurrent(const InputSet& in, double ve) {
    return X(ve) / in.R4;
}
X BaseEmitterResistance(double ie) {
    return X(301) * ie * 1000 * kK;
}
X CollectorVoltage(const InputSet& in, double ic) {
    return X(in.Vcc) - X(ic) * in.R2;
}
X DividerResistance(const InputSet& in) {
    return X(in.R1) * in.R3 / (X(in.R1) + in.R3);
}
X InputResistance(double rp, double rbe) {
    return X(rp) * rbe / (X(rp) + rbe);
}
X OutputResistance(const InputSet& in) {
    return X(in.R4) / (X(1) + in.Beta);
}

InputSet ReadInputs(const Texts& texts) {
    double v[kInputCount];
    for (int i = 0; i < kInputCount; ++i) v[i] = Store(Parse(texts[i]));
    return {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
}

// The values of one pass up to IC, as the tuned input sets below need them.
struct Currents {
    double vb, ve, ie, rbe, ib, ic;
};
Currents PassCurrents(const InputSet& in, double vbe) {
    Currents c;
    c.vb = Store(BaseVoltage(in));
    c.ve = Store(X(c.vb) - vbe);
    c.ie = Store(EmitterCurrent(in, c.ve));
    c.rbe = Store(BaseEmitterResistance(c.ie));
    c.ib = Store(X(vbe) / c.rbe);
    c.ic = Store(X(c.ie) + c.ib);
    return c;
}

Outcome Oracle(const Texts& texts) {
    std::feclearexcept(FE_ALL_EXCEPT);
    Outcome out{{kPrevious}, ""};
    auto line = [&out](const char* label, double value, const char* unit) {
        out.lines.push_back(label + Format(value) + unit);
    };
    try {
        const InputSet in = ReadInputs(texts);
        const X vbExtended = BaseVoltage(in);
        // VB's overflow is raised only when VB is first used.
        const volatile double vb = static_cast<double>(vbExtended.v);
        const bool vbOverflowed = std::fetestexcept(FE_OVERFLOW);
        std::feclearexcept(FE_OVERFLOW);
        out.lines = {"本软件试以VBE=0.7V和VBE=0.3V计算直流和交流参数"};
        for (const double vbe : {0.7, 0.3}) {
            out.lines.push_back("=======直流参数======");
            if (vbOverflowed) throw Fault{"Floating point overflow"};
            line("基极静态电位VB=", vb, "V");
            const double ve = Store(X(vb) - vbe);
            line("发射极静态电位VE=", ve, "V");
            const double ie = Store(EmitterCurrent(in, ve));
            line("发射极静态电流IE=", ie, "A");
            const double rbe = Store(BaseEmitterResistance(ie));
            line("基极-发射极内阻rbe=", rbe, "omh");
            const double ib = Store(X(vbe) / rbe);
            line("基极静态电流IB=", ib, "A");
            const double ic = Store(X(ie) + ib);
            line("集电极静态电流IC=", ic, "A");
            const double vc = Store(CollectorVoltage(in, ic));
            line("集电极静态电位VC=", vc, "V");
            const double vce = Store(X(vc) - ve);
            const double vcb = Store(X(vc) - vb);
            line("晶体管基极-发射极压降VBE=", vbe, "V");
            line("集电极-发射极静态电位差VCE=", vce, "V");
            line("集电极-基极静态电位差VCB=", vcb, "V");
            out.lines.push_back("=====交流参数========");
            const double rp = Store(DividerResistance(in));
            line("输入电阻ri=", Store(InputResistance(rp, rbe)), "omh");
            line("输出电阻ro=", Store(OutputResistance(in)), "omh");
        }
    } catch (const Fault& fault) {
        out.message = fault.message;
    }
    return out;
}

// ---- Input sets

using Rng = std::mt19937_64;

int Uniform(Rng& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}

std::string WithSeparator(std::string text, char separator) {
    for (char& c : text) {
        if (c == '.') c = separator;
    }
    return text;
}

std::string TextOf(double value, char separator) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return WithSeparator(buffer, separator);
}

Texts TextsOf(const InputSet& in, char separator = '.') {
    const double v[] = {in.R1, in.R2, in.R3, in.R4, in.C1, in.C2, in.Vcc, in.Beta};
    Texts texts;
    for (int i = 0; i < kInputCount; ++i) texts[i] = TextOf(v[i], separator);
    return texts;
}

// Typed texts: mostly numbers of 1 to 21 digits over wide magnitudes and both signs, some at the
// limits of the formats, some not numbers at all.
std::string RandomText(Rng& rng, char separator) {
    static const char* const kBad[] = {"",    "abc", "  ",   "+",      "E5",     "1.2.3", "1e5e5",
                                       "\t1", "- 5", "1 E5", "1E4999", "1E5000", "0x1A"};
    static const char* const kLimits[] = {"0",
                                          "-0",
                                          ".",
                                          "-.",
                                          "1E400",
                                          "-1E309",
                                          "1E-400",
                                          "1E500",
                                          "1E-4999",
                                          "4.9E-324",
                                          "1E",
                                          "1e+",
                                          "1.7976931348623157E308",
                                          " 12 "};
    const int kind = Uniform(rng, 0, 99);
    if (kind < 2) return kBad[Uniform(rng, 0, std::size(kBad) - 1)];
    if (kind < 4) return WithSeparator(kLimits[Uniform(rng, 0, std::size(kLimits) - 1)], separator);
    std::string text = Uniform(rng, 0, 3) == 0 ? "-" : "";
    const int digits = Uniform(rng, 1, 21);
    const int point = Uniform(rng, -1, digits);
    for (int i = 0; i < digits; ++i) {
        if (i == point) text += separator;
        text += static_cast<char>('0' + Uniform(rng, 0, 9));
    }
    const int exponent = Uniform(rng, 0, 9);
    if (exponent >= 8)
        text += "E" + std::to_string(Uniform(rng, -330, 330));
    else if (exponent >= 4)
        text += "e" + std::to_string(Uniform(rng, -12, 12));
    return text;
}

Texts RandomTexts(Rng& rng, char separator = '.') {
    Texts texts;
    for (std::string& text : texts) text = RandomText(rng, separator);
    return texts;
}

double Moderate(Rng& rng) {
    const double magnitude = std::uniform_real_distribution<double>(-4, 6)(rng);
    return (Uniform(rng, 0, 3) == 0 ? -1 : 1) * std::pow(10.0, magnitude);
}

InputSet ModerateSet(Rng& rng) {
    return {Moderate(rng), Moderate(rng), Moderate(rng), Moderate(rng),
            Moderate(rng), Moderate(rng), Moderate(rng), Moderate(rng)};
}

// Whether x lies within one extended step of a point halfway between two binary64 values: there
// any change in how x was computed moves its stored value.
bool NearTie(X x) {
    uint64_t significand;
    std::memcpy(&significand, &x.v, sizeof significand);
    const uint64_t below = significand & 0x7FF;
    return below >= 0x3FF && below <= 0x401;
}

// Two inputs moved by up to a part in 10^9 until the value `of` gives lies next to a binary64 tie.
template <typename Of>
void MoveToTie(InputSet& in, double InputSet::*first, double InputSet::*second, Rng& rng, Of of) {
    const double a = in.*first, b = in.*second;
    std::uniform_real_distribution<double> nudge(0, 1e-9);
    for (int i = 0; i < 20000; ++i) {
        in.*first = a * (1 + nudge(rng));
        in.*second = b * (1 + nudge(rng));
        try {
            std::feclearexcept(FE_ALL_EXCEPT);
            if (NearTie(of(in))) return;
        } catch (const Fault&) {
        }
    }
    ADD_FAILURE() << "no set near a tie";
}

// VB next to a tie and close to a VBE, so that VE = VB − VBE shows VB's every bit.
Texts VbNearVbe(Rng& rng) {
    InputSet in = ModerateSet(rng);
    in.R1 = std::abs(in.R1);
    in.R3 = in.R1 * std::uniform_real_distribution<double>(0.01, 100)(rng);
    in.Vcc = (Uniform(rng, 0, 1) ? 0.7 : 0.3) * (in.R1 + in.R3) / in.R3;
    MoveToTie(in, &InputSet::R3, &InputSet::Vcc, rng, BaseVoltage);
    return TextsOf(in);
}

// rbe next to a tie and Rp close to −rbe, so that ri = Rp·rbe / (Rp + rbe) shows rbe's every bit.
// With R1 = R3, VB = Vcc / 2 whatever R1 is, and Rp = R1 / 2 exactly.
Texts RbeAgainstRp(Rng& rng) {
    InputSet in = ModerateSet(rng);
    in.R1 = in.R3 = 1;
    in.Vcc =
        std::copysign(std::pow(10.0, std::uniform_real_distribution<double>(0.5, 6)(rng)), in.Vcc);
    const double vbe = Uniform(rng, 0, 1) ? 0.7 : 0.3;
    auto rbe = [vbe](const InputSet& set) {
        return BaseEmitterResistance(PassCurrents(set, vbe).ie);
    };
    MoveToTie(in, &InputSet::R4, &InputSet::Vcc, rng, rbe);
    const double scale = Uniform(rng, 0, 7) == 0 ? 1 : 1 + std::pow(10.0, -Uniform(rng, 4, 12));
    try {
        in.R1 = in.R3 = -2 * Store(rbe(in)) * scale;
    } catch (const Fault&) {
    }
    return TextsOf(in);
}

// IC·R2 close to Vcc, so that VC shows the low bits of the extended product.
Texts CollectorNearZero(Rng& rng) {
    InputSet in = ModerateSet(rng);
    try {
        std::feclearexcept(FE_ALL_EXCEPT);
        const double ic = PassCurrents(in, Uniform(rng, 0, 1) ? 0.7 : 0.3).ic;
        in.R2 = in.Vcc / ic * (1 + std::pow(10.0, -Uniform(rng, 3, 14)));
    } catch (const Fault&) {
    }
    return TextsOf(in);
}

// A divider of nearly opposite resistors: VB, Rp and R1 + R3 at the edges of the range.
Texts NearOppositeDivider(Rng& rng) {
    InputSet in = ModerateSet(rng);
    in.R1 = std::pow(10.0, Uniform(rng, 200, 308));
    in.R3 = -in.R1 * (1 - std::pow(10.0, -Uniform(rng, 1, 17)));
    in.Vcc = std::pow(10.0, -Uniform(rng, 0, 320));
    return TextsOf(in);
}

// ---- Comparison

std::string Describe(const Texts& texts, const Outcome& got, const Outcome& want) {
    std::string d = "texts:";
    for (const std::string& t : texts) d += " [" + t + "]";
    size_t i = 0;
    while (i < got.lines.size() && i < want.lines.size() && got.lines[i] == want.lines[i]) ++i;
    d += "\nfirst differing line " + std::to_string(i) + ":\n  got  ";
    d += i < got.lines.size() ? got.lines[i] : "(none)";
    d += "\n  want " + (i < want.lines.size() ? want.lines[i] : std::string("(none)"));
    return d + "\nmessage got [" + got.message + "] want [" + want.message + "]";
}

// Compares every set that `next` makes; stops after a few disagreements. Returns how often each
// message (a conversion error counted as "'") ended a report.
template <typename Next>
std::map<std::string, int> Sweep(int count, Next next) {
    std::map<std::string, int> endings;
    int disagreements = 0;
    for (int i = 0; i < count && disagreements < 3; ++i) {
        const Texts texts = next();
        const Outcome want = Oracle(texts);
        const Outcome got = Calculate(texts);
        if (got != want) {
            ++disagreements;
            ADD_FAILURE() << "set " << i << "\n" << Describe(texts, got, want);
        }
        ++endings[want.message.substr(0, want.message[0] == '\'' ? 1 : std::string::npos)];
    }
    return endings;
}

TEST(ReportOracle, RandomSetsOverWideMagnitudesAndBadTexts) {
    Rng rng(20261206);
    auto endings = Sweep(100000, [&rng] { return RandomTexts(rng); });
    // The sets reach every ending, complete reports included.
    for (const char* message : {"", "'", "Invalid floating point operation",
                                "Floating point division by zero", "Floating point overflow"}) {
        EXPECT_GE(endings[message], 10) << message;
    }
}

TEST(ReportOracle, SetsTunedToShowRoundingAndOrder) {
    Rng rng(7);
    Sweep(500, [&rng] { return VbNearVbe(rng); });
    Sweep(1000, [&rng] { return RbeAgainstRp(rng); });
    Sweep(1000, [&rng] { return CollectorNearZero(rng); });
    Sweep(1000, [&rng] { return NearOppositeDivider(rng); });
}

TEST(ReportOracle, SeparatorFromEachSetting) {
    const struct {
        const char* setting;
        char separator;
    } rows[] = {{",", ','}, {"\xB7", '.'}, {".", '.'}};
    Rng rng(3);
    for (const auto& row : rows) {
        SetDecimalSeparator(DecimalSeparatorFromSetting(row.setting));
        EXPECT_EQ(DecimalSeparator(), row.separator) << "setting " << row.setting;
        Sweep(2000, [&] { return RandomTexts(rng, row.separator); });
    }
    SetDecimalSeparator('.');
}

TEST(ReportOracle, EdgeSets) {
    constexpr const char* kDivision = "Floating point division by zero";
    constexpr const char* kInvalid = "Invalid floating point operation";
    constexpr const char* kOverflow = "Floating point overflow";
    const struct {
        const char* what;
        std::vector<std::pair<Input, const char*>> changes;
        std::string message;
        size_t lines;  // including "previous report" when the report stays untouched
    } rows[] = {
        {"defaults", {}, "", 29},
        {"R1 + R3 = 0", {{kR1, "-5"}, {kR3, "5"}}, kDivision, 1},
        {"R1 = R3 = 0", {{kR1, "0"}, {kR3, "0"}}, kInvalid, 1},
        {"R4 = 0", {{kR4, "0"}}, kDivision, 4},
        {"R4 = 0 and VE = 0", {{kR4, "0"}, {kVcc, "1.4"}}, kInvalid, 4},
        {"VB = 0.7 exactly", {{kVcc, "1.4"}}, kDivision, 6},
        {"VB = 0.3 exactly", {{kVcc, "0.6"}}, kDivision, 20},
        {"IE underflows to 0", {{kVcc, "1.4000000000000001"}, {kR4, "1E308"}}, kDivision, 6},
        {"Rp + rbe = 0",
         {{kR1, "-1157.6923076923088"}, {kR3, "-1157.6923076923088"}, {kR4, "1"}, {kVcc, "1.5"}},
         kDivision,
         13},
        {"Beta = -1", {{kBeta, "-1"}}, kDivision, 14},
        {"VB overflows", {{kR1, "-1"}, {kR3, "2"}, {kVcc, "1E308"}}, kOverflow, 2},
        {"R1 = 1E400 stops the reading", {{kR1, "1E400"}, {kC1, "abc"}}, kOverflow, 1},
        {"Beta beyond binary64", {{kBeta, "-1E309"}}, kOverflow, 1},
        {"C1 not a number", {{kC1, "abc"}}, "'abc' is not a valid floating point value", 1},
        {"beyond extended", {{kVcc, "1E4999"}}, "'1E4999' is not a valid floating point value", 1},
        {"IE overflows", {{kR4, "1E-310"}}, kOverflow, 4},
        {"rbe overflows", {{kR4, "1E-305"}}, kOverflow, 5},
        {"IB overflows", {{kVcc, "1.4000000000000001"}, {kR4, "1E297"}}, kOverflow, 6},
        {"VC overflows", {{kR4, "1E-10"}, {kR2, "1E300"}}, kOverflow, 8},
        {"VCE overflows",
         {{kR1, "0"}, {kR3, "1"}, {kVcc, "-1.7E308"}, {kR4, "1E308"}, {kR2, "1.5E308"}},
         kOverflow,
         9},
        {"Rp overflows",
         {{kR1, "1E308"}, {kR3, "-9.99999999999999E307"}, {kVcc, "1E-300"}},
         kOverflow,
         13},
        {"ro overflows", {{kR4, "1E300"}, {kBeta, "-0.9999999999999999"}}, kOverflow, 14},
    };
    for (const auto& row : rows) {
        Texts texts = {"10E3", "1E3", "10E3", "100", "47", "100", "3", "50"};
        for (const auto& [input, text] : row.changes) texts[input] = text;
        const Outcome want = Oracle(texts);
        EXPECT_EQ(want.message, row.message) << row.what;
        EXPECT_EQ(want.lines.size(), row.lines) << row.what;
        const Outcome got = Calculate(texts);
        EXPECT_TRUE(got == want) << row.what << "\n" << Describe(texts, got, want);
    }
}

#else

TEST(ReportOracle, NeedsTheX87ExtendedFormat) {
    GTEST_SKIP() << "long double is not the 80-bit extended format here";
}

#endif

}  // namespace
}  // namespace velmor
