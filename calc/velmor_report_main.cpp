// velmor-report: prints the amplifier report for eight input texts, for scripts and checks.
//
//   velmor-report [R1 R2 R3 R4 C1 C2 Vcc Beta]
//
// Without arguments the window's default texts are used. The report lines go to standard
// output as UTF-8, one per line. On a fault the lines the report holds at that moment are
// printed, then the message on standard error, and the exit code is 1; a wrong argument count
// prints the usage and exits with 2.
#include <array>
#include <clocale>
#include <cstdio>
#include <exception>
#include <string_view>

#include "amplifier.h"
#include "decimal_separator.h"
#include "errors.h"
#include "report.h"

namespace {

void PrintLines(const velmor::ReportLines& report) {
    for (const std::string& line : report.Lines()) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

int Usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s [R1 R2 R3 R4 C1 C2 Vcc Beta]\n"
                 "Prints the amplifier report for the eight input texts (ohm, ohm, ohm, ohm, uF,\n"
                 "uF, V, current gain); without arguments, for the default inputs.\n",
                 program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // The decimal separator follows the environment's numeric locale, as the window's does.
    if (std::setlocale(LC_NUMERIC, "") != nullptr) {
        velmor::SetDecimalSeparator(
            velmor::DecimalSeparatorFromSetting(std::localeconv()->decimal_point));
    }
    std::array<std::string_view, velmor::kInputCount> texts = velmor::kDefaultInputTexts;
    if (argc == 1 + velmor::kInputCount) {
        for (int i = 0; i < velmor::kInputCount; ++i) texts[i] = argv[i + 1];
    } else if (argc != 1) {
        return Usage(argv[0]);
    }

    velmor::ReportLines report;
    try {
        const velmor::InputSet inputs = velmor::ReadInputSet(texts);
        velmor::BuildReport(inputs, report);
    } catch (const velmor::VelmorError& error) {
        PrintLines(report);
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    PrintLines(report);
    return 0;
}
