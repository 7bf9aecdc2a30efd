#include "amplifier.h"

#include "decimal_separator.h"
#include "errors.h"
#include "extended.h"
#include "number_text.h"

namespace velmor {
namespace {

// One formula evaluated left to right in extended arithmetic: every step is checked at once,
// so a fault is raised by the step that caused it and nothing after it runs.
class Formula {
  public:
    explicit Formula(double first) : x_(ExtFromDouble(first)) {}
    explicit Formula(Extended first) : x_(first) {}

    Formula& Plus(Extended y) { return Step(ExtAdd(x_, y, flags_)); }
    Formula& Minus(Extended y) { return Step(ExtSub(x_, y, flags_)); }
    Formula& Times(Extended y) { return Step(ExtMul(x_, y, flags_)); }
    Formula& DividedBy(Extended y) { return Step(ExtDiv(x_, y, flags_)); }
    Formula& Plus(double y) { return Plus(ExtFromDouble(y)); }
    Formula& Minus(double y) { return Minus(ExtFromDouble(y)); }
    Formula& Times(double y) { return Times(ExtFromDouble(y)); }
    Formula& DividedBy(double y) { return DividedBy(ExtFromDouble(y)); }

    Extended Value() const { return x_; }

    // Rounds the formula's value to binary64, as it is stored.
    double Store() {
        const double stored = ExtToDouble(x_, flags_);
        RaiseOnFault(flags_);
        return stored;
    }

  private:
    Formula& Step(Extended result) {
        x_ = result;
        RaiseOnFault(flags_);
        return *this;
    }

    Extended x_;
    FpFlags flags_;
};

// 1/26 rounded to the extended format: rbe multiplies by it rather than dividing by 26, which
// can differ in the last bit of the stored result.
Extended OneOverTwentySix() {
    FpFlags unused;
    static const Extended k = ExtDiv(ExtFromUint64(1), ExtFromUint64(26), unused);
    return k;
}

}  // namespace

InputSet ReadInputSet(const std::array<std::string_view, kInputCount>& texts) {
    std::array<double, kInputCount> stored{};
    // Each value is stored before the next text is read, so an overflowing value stops the
    // reading there.
    for (int i = 0; i < kInputCount; ++i) stored[i] = ReadInput(texts[i]);
    return MakeInputSet(stored);
}

double ReadInput(std::string_view text) {
    return Formula(ParseNumberText(text, DecimalSeparator())).Store();
}

InputSet MakeInputSet(const std::array<double, kInputCount>& values) {
    InputSet in;
    for (int i = 0; i < kInputCount; ++i) in.*kInputs[i].value = values[i];
    return in;
}

BaseVoltage ComputeBaseVoltage(const InputSet& in) {
    const Extended sum = Formula(in.R1).Plus(in.R3).Value();
    const Extended product = Formula(in.R3).DividedBy(sum).Times(in.Vcc).Value();
    // An overflow in storing VB is not raised here: it surfaces only when VB is first used.
    FpFlags storeFlags;
    const double vb = ExtToDouble(product, storeFlags);
    return BaseVoltage{vb, storeFlags.overflow};
}

double ComputeEmitterVoltage(double vb, double vbe) {
    return Formula(vb).Minus(vbe).Store();
}

double ComputeEmitterCurrent(const InputSet& in, double ve) {
    return Formula(ve).DividedBy(in.R4).Store();
}

double ComputeBaseEmitterResistance(double ie) {
    return Formula(ExtFromUint64(301))
        .Times(ie)
        .Times(ExtFromUint64(1000))
        .Times(OneOverTwentySix())
        .Store();
}

double ComputeBaseCurrent(double vbe, double rbe) {
    return Formula(vbe).DividedBy(rbe).Store();
}

double ComputeCollectorCurrent(double ie, double ib) {
    return Formula(ie).Plus(ib).Store();
}

double ComputeCollectorVoltage(const InputSet& in, double ic) {
    const Extended drop = Formula(ic).Times(in.R2).Value();
    return Formula(in.Vcc).Minus(drop).Store();
}

double ComputeCollectorEmitterVoltage(double vc, double ve) {
    return Formula(vc).Minus(ve).Store();
}

double ComputeCollectorBaseVoltage(double vc, double vb) {
    return Formula(vc).Minus(vb).Store();
}

double ComputeDividerResistance(const InputSet& in) {
    const Extended product = Formula(in.R1).Times(in.R3).Value();
    const Extended sum = Formula(in.R1).Plus(in.R3).Value();
    return Formula(product).DividedBy(sum).Store();
}

double ComputeInputResistance(double rp, double rbe) {
    const Extended product = Formula(rp).Times(rbe).Value();
    const Extended sum = Formula(rp).Plus(rbe).Value();
    return Formula(product).DividedBy(sum).Store();
}

double ComputeOutputResistance(const InputSet& in) {
    const Extended onePlusBeta = Formula(ExtFromUint64(1)).Plus(in.Beta).Value();
    return Formula(in.R4).DividedBy(onePlusBeta).Store();
}

}  // namespace velmor
