// The bias-point and resistance model of the common-emitter stage with voltage-divider bias.
//
// One operation per result, so that the report can write each line as soon as its value
// exists. Every formula runs left to right in extended arithmetic with binary64 operands and
// only its final value rounded to binary64; a fault raises ArithmeticError at the step where it
// occurs.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace velmor {

// R1..R4 in ohms, C1 and C2 in microfarads (converted, never used), Vcc in volts (negative
// for PNP) and the current gain Beta.
struct InputSet {
    double R1 = 0, R2 = 0, R3 = 0, R4 = 0, C1 = 0, C2 = 0, Vcc = 0, Beta = 0;
};

// One input: its name (the window's edit box is "Edit" + name), its unit as velmor-report's
// usage lists it, the text the window starts with, and the InputSet field it fills.
struct InputField {
    std::string_view name;
    std::string_view unit;
    std::string_view defaultText;
    double InputSet::*value;
};

// Every input, in the order the window, velmor-report and ReadInputSet take them.
inline constexpr std::array kInputs = {
    InputField{"R1", "ohm", "10E3", &InputSet::R1},
    InputField{"R2", "ohm", "1E3", &InputSet::R2},
    InputField{"R3", "ohm", "10E3", &InputSet::R3},
    InputField{"R4", "ohm", "100", &InputSet::R4},
    InputField{"C1", "uF", "47", &InputSet::C1},
    InputField{"C2", "uF", "100", &InputSet::C2},
    InputField{"Vcc", "V", "3", &InputSet::Vcc},
    InputField{"Beta", "current gain", "50", &InputSet::Beta},
};

inline constexpr int kInputCount = static_cast<int>(kInputs.size());

// The texts the window starts with, in the order of kInputs.
inline constexpr std::array<std::string_view, kInputCount> kDefaultInputTexts = [] {
    std::array<std::string_view, kInputCount> texts;
    for (int i = 0; i < kInputCount; ++i) texts[i] = kInputs[i].defaultText;
    return texts;
}();

// The InputSet holding values[i] in the field of kInputs[i].
InputSet MakeInputSet(const std::array<double, kInputCount>& values);

// Converts the texts in the order of kInputs, storing each as binary64, with the process-wide
// decimal separator. The first text that is not a number raises ConversionError; a value beyond
// the binary64 range raises the overflow ArithmeticError before the next text is read.
InputSet ReadInputSet(const std::array<std::string_view, kInputCount>& texts);
// One text of such a set, as ReadInputSet converts and stores it; a caller holding long texts
// can so have each in hand only while it is read.
double ReadInput(std::string_view text);

// The two transistor models: the binary64 values nearest 0.7 and 0.3.
inline constexpr double kVbeFirstPass = 0.7;
inline constexpr double kVbeSecondPass = 0.3;

// VB = (R3 / (R1 + R3)) × Vcc. The result may be an infinity: its overflow is a deferred fault
// that the caller raises when VB is first used (see BaseVoltage).
struct BaseVoltage {
    double value = 0;
    bool overflowed = false;
};
BaseVoltage ComputeBaseVoltage(const InputSet& in);

double ComputeEmitterVoltage(double vb, double vbe);            // VE = VB − VBE
double ComputeEmitterCurrent(const InputSet& in, double ve);    // IE = VE / R4
double ComputeBaseEmitterResistance(double ie);                 // rbe = ((301·IE)·1000)·k
double ComputeBaseCurrent(double vbe, double rbe);              // IB = VBE / rbe
double ComputeCollectorCurrent(double ie, double ib);           // IC = IE + IB
double ComputeCollectorVoltage(const InputSet& in, double ic);  // VC = Vcc − IC·R2
double ComputeCollectorEmitterVoltage(double vc, double ve);    // VCE = VC − VE
double ComputeCollectorBaseVoltage(double vc, double vb);       // VCB = VC − VB
double ComputeDividerResistance(const InputSet& in);            // Rp = R1·R3 / (R1 + R3)
double ComputeInputResistance(double rp, double rbe);           // ri = Rp·rbe / (Rp + rbe)
double ComputeOutputResistance(const InputSet& in);             // ro = R4 / (1 + Beta)

}  // namespace velmor
