// Saving the report: the whole text of the report box, through the save dialog, to a file.
#pragma once

#include <QStringView>

namespace velmor {

class SavePathPrompt;

// Asks prompt for a path; when the user confirms one, writes text there as EncodeReportText
// gives it (GBK, CR LF), replacing an existing file without asking, through WriteReportFile.
// A cancelled prompt touches nothing. Raises the errors of WriteReportFile.
void SaveReport(SavePathPrompt& prompt, QStringView text);

}  // namespace velmor
