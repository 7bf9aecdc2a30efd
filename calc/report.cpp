#include "report.h"

#include <initializer_list>
#include <string>
#include <string_view>

#include "decimal_separator.h"
#include "errors.h"
#include "extended.h"
#include "number_text.h"

namespace velmor {
namespace {

constexpr std::string_view kHeading = "本软件试以VBE=0.7V和VBE=0.3V计算直流和交流参数";
constexpr std::string_view kDcSection = "=======直流参数======";
constexpr std::string_view kAcSection = "=====交流参数========";

constexpr std::string_view kVolt = "V";
constexpr std::string_view kAmpere = "A";
constexpr std::string_view kOhm = "omh";  // spelled as in the window's input labels

// Writes "<label><value><unit>" through one buffer that the whole report reuses, so that a line
// costs no allocation of its own before the sink takes it.
class LineWriter {
  public:
    explicit LineWriter(ReportSink& report) : report_(report) { line_.reserve(96); }

    void Append(std::string_view text) { report_.Append(text); }

    void AppendResult(std::string_view label, double value, std::string_view unit) {
        char number[kNumberTextMaxLength];
        const size_t length = WriteNumberText(ExtFromDouble(value), separator_, number);
        line_.assign(label);
        line_.append(number, length);
        line_.append(unit);
        report_.Append(line_);
    }

  private:
    ReportSink& report_;
    const char separator_ = DecimalSeparator();
    std::string line_;
};

// One block of results for one transistor model. Each value is computed just before its line
// is written, so a fault leaves exactly the lines before the failing step.
void AppendBlock(const InputSet& in, const BaseVoltage& vb, double vbe, LineWriter& report) {
    report.Append(kDcSection);
    if (vb.overflowed) throw ArithmeticError(ArithmeticFault::Overflow);
    report.AppendResult("基极静态电位VB=", vb.value, kVolt);
    const double ve = ComputeEmitterVoltage(vb.value, vbe);
    report.AppendResult("发射极静态电位VE=", ve, kVolt);
    const double ie = ComputeEmitterCurrent(in, ve);
    report.AppendResult("发射极静态电流IE=", ie, kAmpere);
    const double rbe = ComputeBaseEmitterResistance(ie);
    report.AppendResult("基极-发射极内阻rbe=", rbe, kOhm);
    const double ib = ComputeBaseCurrent(vbe, rbe);
    report.AppendResult("基极静态电流IB=", ib, kAmpere);
    const double ic = ComputeCollectorCurrent(ie, ib);
    report.AppendResult("集电极静态电流IC=", ic, kAmpere);
    const double vc = ComputeCollectorVoltage(in, ic);
    report.AppendResult("集电极静态电位VC=", vc, kVolt);
    const double vce = ComputeCollectorEmitterVoltage(vc, ve);
    const double vcb = ComputeCollectorBaseVoltage(vc, vb.value);
    report.AppendResult("晶体管基极-发射极压降VBE=", vbe, kVolt);
    report.AppendResult("集电极-发射极静态电位差VCE=", vce, kVolt);
    report.AppendResult("集电极-基极静态电位差VCB=", vcb, kVolt);
    report.Append(kAcSection);
    const double rp = ComputeDividerResistance(in);
    const double ri = ComputeInputResistance(rp, rbe);
    report.AppendResult("输入电阻ri=", ri, kOhm);
    const double ro = ComputeOutputResistance(in);
    report.AppendResult("输出电阻ro=", ro, kOhm);
}

}  // namespace

void BuildReport(const InputSet& in, ReportSink& report) {
    // A division fault in VB raises here, before the previous report is cleared.
    const BaseVoltage vb = ComputeBaseVoltage(in);
    report.Clear();
    LineWriter writer(report);
    writer.Append(kHeading);
    for (const double vbe : {kVbeFirstPass, kVbeSecondPass}) AppendBlock(in, vb, vbe, writer);
}

}  // namespace velmor
