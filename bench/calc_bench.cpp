// The calculation against two plain-double peers in the same binary, both producing the same 29
// report lines with hardware double arithmetic: strtod and snprintf("%.15g"), and the fastest
// standard pair, std::from_chars and std::to_chars(general, 15).
#include <benchmark/benchmark.h>

#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "amplifier.h"
#include "extended.h"
#include "number_text.h"
#include "report.h"

namespace {

void BM_BuildReport(benchmark::State& state) {
    velmor::ReportLines report;
    for (auto _ : state) {
        velmor::BuildReport(velmor::ReadInputSet(velmor::kDefaultInputTexts), report);
        benchmark::DoNotOptimize(report.Lines().data());
    }
}
BENCHMARK(BM_BuildReport);

std::string LineSnprintf(const char* label, double v, const char* unit) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15g", v);
    return std::string(label) + buffer + unit;
}

double ReadStrtod(std::string_view text) {
    return std::strtod(std::string(text).c_str(), nullptr);
}

std::string LineToChars(const char* label, double v, const char* unit) {
    char buffer[32];
    *std::to_chars(buffer, buffer + sizeof buffer - 1, v, std::chars_format::general, 15).ptr = 0;
    return std::string(label) + buffer + unit;
}

double ReadFromChars(std::string_view text) {
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

// The same report with hardware doubles; its figures may differ in the last digit.
template <double (*Read)(std::string_view), std::string (*Line)(const char*, double, const char*)>
void PeerReport(std::vector<std::string>& lines) {
    std::array<double, velmor::kInputCount> values;
    for (int i = 0; i < velmor::kInputCount; ++i) values[i] = Read(velmor::kInputs[i].defaultText);
    const velmor::InputSet in = velmor::MakeInputSet(values);
    const double r1 = in.R1, r2 = in.R2, r3 = in.R3, r4 = in.R4, vcc = in.Vcc, beta = in.Beta;
    lines.clear();
    lines.emplace_back("本软件试以VBE=0.7V和VBE=0.3V计算直流和交流参数");
    const double vb = r3 / (r1 + r3) * vcc;
    for (double vbe : {0.7, 0.3}) {
        lines.emplace_back("=======直流参数======");
        lines.push_back(Line("基极静态电位VB=", vb, "V"));
        const double ve = vb - vbe;
        lines.push_back(Line("发射极静态电位VE=", ve, "V"));
        const double ie = ve / r4;
        lines.push_back(Line("发射极静态电流IE=", ie, "A"));
        const double rbe = 301 * ie * 1000 / 26;
        lines.push_back(Line("基极-发射极内阻rbe=", rbe, "omh"));
        const double ib = vbe / rbe;
        lines.push_back(Line("基极静态电流IB=", ib, "A"));
        const double ic = ie + ib;
        lines.push_back(Line("集电极静态电流IC=", ic, "A"));
        const double vc = vcc - ic * r2;
        lines.push_back(Line("集电极静态电位VC=", vc, "V"));
        lines.push_back(Line("晶体管基极-发射极压降VBE=", vbe, "V"));
        lines.push_back(Line("集电极-发射极静态电位差VCE=", vc - ve, "V"));
        lines.push_back(Line("集电极-基极静态电位差VCB=", vc - vb, "V"));
        lines.emplace_back("=====交流参数========");
        const double rp = r1 * r3 / (r1 + r3);
        lines.push_back(Line("输入电阻ri=", rp * rbe / (rp + rbe), "omh"));
        lines.push_back(Line("输出电阻ro=", r4 / (1 + beta), "omh"));
    }
}

template <double (*Read)(std::string_view), std::string (*Line)(const char*, double, const char*)>
void BM_PeerReport(benchmark::State& state) {
    std::vector<std::string> lines;
    for (auto _ : state) {
        PeerReport<Read, Line>(lines);
        benchmark::DoNotOptimize(lines.data());
    }
}
BENCHMARK(BM_PeerReport<ReadStrtod, LineSnprintf>)->Name("BM_BuildReportBaseline");
BENCHMARK(BM_PeerReport<ReadFromChars, LineToChars>)->Name("BM_BuildReportToChars");

// A text of 19 significant digits, and the default R1 with its exponent.
constexpr const char* kParseTexts[] = {"651.283538566814002", "10E3"};

void BM_ParseNumberText(benchmark::State& state) {
    const std::string_view text = kParseTexts[state.range(0)];
    for (auto _ : state) benchmark::DoNotOptimize(velmor::ParseNumberText(text, '.'));
}
BENCHMARK(BM_ParseNumberText)->Arg(0)->Arg(1);

void BM_ParseBaselineStrtod(benchmark::State& state) {
    const char* text = kParseTexts[state.range(0)];
    for (auto _ : state) benchmark::DoNotOptimize(std::strtod(text, nullptr));
}
BENCHMARK(BM_ParseBaselineStrtod)->Arg(0)->Arg(1);

void BM_FormatNumberText(benchmark::State& state) {
    const velmor::Extended value = velmor::ExtFromDouble(-12.558139534883722);
    for (auto _ : state) benchmark::DoNotOptimize(velmor::FormatNumberText(value, '.'));
}
BENCHMARK(BM_FormatNumberText);

void BM_FormatBaselineSnprintf(benchmark::State& state) {
    volatile double value = -12.558139534883722;
    char buffer[32];
    for (auto _ : state) {
        std::snprintf(buffer, sizeof buffer, "%.15g", value);
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_FormatBaselineSnprintf);

}  // namespace

BENCHMARK_MAIN();
