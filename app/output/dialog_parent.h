// The window a dialog of the program belongs to.
#pragma once

class QWidget;

namespace velmor {

// The active window, or else a shown main window of the program; null only when none is shown.
// A dialog is always made transient for one: Wayland compositors place a dialog by its parent,
// and there no window need be active (the compositor decides that).
QWidget* DialogParent();

}  // namespace velmor
