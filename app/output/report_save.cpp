#include "report_save.h"

#include "report_encoding.h"
#include "report_file.h"
#include "save_dialog.h"

namespace velmor {

void SaveReport(SavePathPrompt& prompt, QStringView text) {
    const std::optional<QString> path = prompt.AskSavePath();
    if (!path) return;
    WriteReportFile(*path, EncodeReportText(text));
}

}  // namespace velmor
