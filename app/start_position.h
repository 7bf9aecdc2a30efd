// The main window's place at start-up.
#pragma once

#include <QPoint>

class QWidget;

namespace velmor {

// Puts the top-level WINDOW, not yet shown, so that its frame's top-left corner lies on the given
// pixel of its screen, whatever the scale factor, as long as the whole frame then lies inside the
// screen's work area (the screen less its panels); else the frame goes the least distance that
// shows all of it, never above or left of the work area. On X the window manager is asked for the
// frame's borders before the window is shown; where it does not tell them, the window is moved
// once right after it appears, if it has to be. Elsewhere only the position is asked for (a
// Wayland compositor places windows itself).
void PlaceWithinReach(QWidget& window, QPoint pixel);

}  // namespace velmor
