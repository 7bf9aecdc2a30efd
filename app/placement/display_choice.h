// Which display the program opens, decided before Qt starts, so that a missing display is
// reported in one line instead of ending the process with Qt's abort.
#pragma once

#include <optional>
#include <string>

namespace velmor {

// Unless QT_QPA_PLATFORM already names Qt's platform, chooses X when DISPLAY can be opened (also
// under Xwayland, where the window's position holds), else Wayland when WAYLAND_DISPLAY names a
// compositor that answers and Qt's Wayland plugin is installed. Returns the line to show when
// no display can be used (for example "velmor: cannot open a display (DISPLAY and
// WAYLAND_DISPLAY are unset)"), nothing when one can.
std::optional<std::string> ChooseDisplay();

// What the choice asks of the system: whether an X display opens, whether a Wayland compositor
// answers, whether Qt's Wayland plugin is installed. ChooseDisplay() asks the real system; other
// answers let the choice be made without any display at hand.
struct DisplayProbes {
    bool (*canOpenX)(const std::string& display);
    bool (*canReachWayland)(const std::string& display);
    bool (*hasWaylandPlugin)();
};
std::optional<std::string> ChooseDisplay(const DisplayProbes& probes);

}  // namespace velmor
