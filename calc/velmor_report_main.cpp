// velmor-report: prints the amplifier report for the input texts, for scripts and checks.
//
//   velmor-report [R1 R2 R3 R4 C1 C2 Vcc Beta]
//   velmor-report --help
//
// Without arguments the window's default texts are used. The report lines go to standard
// output as UTF-8, one per line. On a fault the lines the report holds at that moment are
// printed, then the message on standard error, and the exit code is 1. --help (or -h) prints the
// usage on standard output and exits with 0; any other argument list prints it on standard
// error and exits with 2.
#include <array>
#include <clocale>
#include <cstdio>
#include <cstring>
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

// The usage, with one line per input from the input table.
void PrintUsage(std::FILE* stream, const char* program) {
    std::fprintf(stream, "usage: %s [", program);
    for (const velmor::InputField& input : velmor::kInputs)
        std::fprintf(stream, &input == &velmor::kInputs[0] ? "%.*s" : " %.*s",
                     int(input.name.size()), input.name.data());
    std::fprintf(stream,
                 "]\n       %s --help\n"
                 "Prints the amplifier report for the input texts; without arguments, for the\n"
                 "default inputs:\n",
                 program);
    for (const velmor::InputField& input : velmor::kInputs)
        std::fprintf(stream, "  %-5.*s %-13.*s default %.*s\n", int(input.name.size()),
                     input.name.data(), int(input.unit.size()), input.unit.data(),
                     int(input.defaultText.size()), input.defaultText.data());
    std::fprintf(stream,
                 "Exit status: 0 the whole report was printed; 1 an input or a step of the\n"
                 "calculation failed (the lines up to it printed, the message on standard\n"
                 "error); 2 wrong arguments.\n");
}

}  // namespace

int main(int argc, char** argv) {
    // The decimal separator follows the environment's numeric locale, as the window's does.
    if (std::setlocale(LC_NUMERIC, "") != nullptr) {
        velmor::SetDecimalSeparator(
            velmor::DecimalSeparatorFromSetting(std::localeconv()->decimal_point));
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout, argv[0]);
        return 0;
    }
    std::array<std::string_view, velmor::kInputCount> texts = velmor::kDefaultInputTexts;
    if (argc == 1 + velmor::kInputCount) {
        for (int i = 0; i < velmor::kInputCount; ++i) texts[i] = argv[i + 1];
    } else if (argc != 1) {
        PrintUsage(stderr, argv[0]);
        return 2;
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
