// Start-up of the application object, shared by the program and its tests.
#pragma once

#include <QString>

namespace velmor {

// Prepares the running QApplication before the first window exists: the application title
// "Velmor1.0" (ApplicationTitle), the window font "宋体" mapped to an installed Song/Ming face
// whatever the user's font configuration or language, the window's pictures, Qt's own texts in
// the system's language, the decimal separator read from the locale, and the main window
// presented to assistive technology as a dialog.
void SetUpApplication();

// The title set at start-up; the caption of every message box.
QString ApplicationTitle();

}  // namespace velmor
