#include "report.h"

#include <string>

#include "errors.h"
#include "extended.h"
#include "number_text.h"

namespace velmor {
namespace {

constexpr const char* kHeading = "本软件试以VBE=0.7V和VBE=0.3V计算直流和交流参数";
constexpr const char* kDcSection = "=======直流参数======";
constexpr const char* kAcSection = "=====交流参数========";

constexpr const char* kVolt = "V";
constexpr const char* kAmpere = "A";
constexpr const char* kOhm = "omh";  // spelled as in the window's input labels

void AppendResult(ReportSink& report, const char* label, double value, const char* unit) {
    report.Append(std::string(label) + FormatNumberText(ExtFromDouble(value)) + unit);
}

// One block of results for one transistor model. Each value is computed just before its line
// is written, so a fault leaves exactly the lines before the failing step.
void AppendBlock(const InputSet& in, const BaseVoltage& vb, double vbe, ReportSink& report) {
    report.Append(kDcSection);
    if (vb.overflowed) throw ArithmeticError(ArithmeticFault::Overflow);
    AppendResult(report, "基极静态电位VB=", vb.value, kVolt);
    const double ve = ComputeEmitterVoltage(vb.value, vbe);
    AppendResult(report, "发射极静态电位VE=", ve, kVolt);
    const double ie = ComputeEmitterCurrent(in, ve);
    AppendResult(report, "发射极静态电流IE=", ie, kAmpere);
    const double rbe = ComputeBaseEmitterResistance(ie);
    AppendResult(report, "基极-发射极内阻rbe=", rbe, kOhm);
    const double ib = ComputeBaseCurrent(vbe, rbe);
    AppendResult(report, "基极静态电流IB=", ib, kAmpere);
    const double ic = ComputeCollectorCurrent(ie, ib);
    AppendResult(report, "集电极静态电流IC=", ic, kAmpere);
    const double vc = ComputeCollectorVoltage(in, ic);
    AppendResult(report, "集电极静态电位VC=", vc, kVolt);
    const double vce = ComputeCollectorEmitterVoltage(vc, ve);
    const double vcb = ComputeCollectorBaseVoltage(vc, vb.value);
    AppendResult(report, "晶体管基极-发射极压降VBE=", vbe, kVolt);
    AppendResult(report, "集电极-发射极静态电位差VCE=", vce, kVolt);
    AppendResult(report, "集电极-基极静态电位差VCB=", vcb, kVolt);
    report.Append(kAcSection);
    const double rp = ComputeDividerResistance(in);
    const double ri = ComputeInputResistance(rp, rbe);
    AppendResult(report, "输入电阻ri=", ri, kOhm);
    const double ro = ComputeOutputResistance(in);
    AppendResult(report, "输出电阻ro=", ro, kOhm);
}

}  // namespace

void BuildReport(const InputSet& in, ReportSink& report) {
    // A division fault in VB raises here, before the previous report is cleared.
    const BaseVoltage vb = ComputeBaseVoltage(in);
    report.Clear();
    report.Append(kHeading);
    double vbe = kVbeFirstPass;
    for (;;) {
        AppendBlock(in, vb, vbe, report);
        if (vbe != kVbeFirstPass) break;
        vbe = kVbeSecondPass;
    }
}

}  // namespace velmor
