// The report file's encoding of 1,000,000 characters of report text (the default report's lines
// over and over), warm: target 50 ms. Also a text of every character of the basic plane, where
// each character is converted once.
#include <benchmark/benchmark.h>

#include <QString>

#include "amplifier.h"
#include "report.h"
#include "report_encoding.h"

namespace {

QString ReportText(qsizetype size) {
    velmor::ReportLines report;
    velmor::BuildReport(velmor::ReadInputSet(velmor::kDefaultInputTexts), report);
    QString lines;
    for (const std::string& line : report.Lines())
        lines += QString::fromStdString(line) + QStringLiteral("\r\n");
    QString text;
    while (text.size() < size) text += lines;
    text.truncate(size);
    return text;
}

void BM_EncodeReport(benchmark::State& state) {
    const QString text = ReportText(1'000'000);
    for (auto _ : state) benchmark::DoNotOptimize(velmor::EncodeReportText(text).data());
    state.SetItemsProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_EncodeReport)->Unit(benchmark::kMillisecond);

void BM_EncodeWholePlane(benchmark::State& state) {
    QString text;
    for (char16_t c = 1; c != 0; ++c)
        if (!QChar::isSurrogate(c)) text += QChar(c);
    for (auto _ : state) benchmark::DoNotOptimize(velmor::EncodeReportText(text).data());
}
BENCHMARK(BM_EncodeWholePlane)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
