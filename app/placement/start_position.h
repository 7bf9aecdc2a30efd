// The main window's place at start-up.
#pragma once

#include <QPoint>

class QWidget;

namespace velmor {

// The device pixel of the screen where the main window's frame starts: its designed place, the
// same at every scale factor.
inline constexpr QPoint kDesignedPlace(441, 482);

// Puts the top-level WINDOW, not yet shown, so that its frame's top-left corner lies on the given
// pixel of its screen, whatever the scale factor, as long as the whole frame then lies inside the
// screen's work area (the screen less its panels); else, on each axis where it does not, the
// frame is centred in the work area (FitFrameIntoWorkArea), never above or left of it. On X the
// window manager is asked for the frame's borders before the window is shown; where it does not
// tell them, the window is moved once right after it appears, if it has to be. Elsewhere only the
// position is asked for (a Wayland compositor places windows itself).
void PlaceWithinReach(QWidget& window, QPoint pixel);

}  // namespace velmor
