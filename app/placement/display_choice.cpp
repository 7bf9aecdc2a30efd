#include "display_choice.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QDir>
#include <QLibraryInfo>
#include <QStringList>

#include <cstdlib>
#include <cstring>

namespace velmor {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool CanOpenX(const std::string& display) {
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool opened = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return opened;
}

// The compositor's socket as the Wayland library finds it: a path, or a name in the user's
// runtime folder.
bool CanReachWayland(const std::string& display) {
    const std::string path =
        display.front() == '/' ? display : Variable("XDG_RUNTIME_DIR") + '/' + display;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool reached = socket >= 0 && ::connect(socket, reinterpret_cast<sockaddr*>(&address),
                                                  sizeof address) == 0;
    if (socket >= 0) ::close(socket);
    return reached;
}

// Qt looks for platform plugins in its own folder and in the folders the user adds.
bool HasWaylandPlugin() {
    QStringList folders{QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms",
                        qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH")};
    for (const QString& folder : qEnvironmentVariable("QT_PLUGIN_PATH").split(u':'))
        folders << folder + "/platforms";
    for (const QString& folder : folders)
        if (QDir::isAbsolutePath(folder) &&
            !QDir(folder).entryList({"libqwayland*.so"}, QDir::Files).isEmpty())
            return true;
    return false;
}

}  // namespace

std::optional<std::string> ChooseDisplay() {
    return ChooseDisplay({&CanOpenX, &CanReachWayland, &HasWaylandPlugin});
}

std::optional<std::string> ChooseDisplay(const DisplayProbes& probes) {
    if (!Variable("QT_QPA_PLATFORM").empty()) return std::nullopt;
    const std::string x = Variable("DISPLAY"), wayland = Variable("WAYLAND_DISPLAY");
    if (!x.empty() && probes.canOpenX(x)) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        return std::nullopt;
    }
    if (!wayland.empty() && !probes.canReachWayland(wayland))
        return x.empty() ? "velmor: cannot open the Wayland display \"" + wayland + '"'
                         : "velmor: cannot open the X display \"" + x +
                               "\" nor the Wayland display \"" + wayland + '"';
    if (!wayland.empty() && !probes.hasWaylandPlugin())
        return "velmor: the Wayland display \"" + wayland +
               "\" needs Qt's Wayland plugin (package qt6-wayland), which is not installed";
    if (!wayland.empty()) {
        setenv("QT_QPA_PLATFORM", "wayland", 1);
        return std::nullopt;
    }
    if (!x.empty()) return "velmor: cannot open the X display \"" + x + '"';
    return "velmor: cannot open a display (DISPLAY and WAYLAND_DISPLAY are unset)";
}

}  // namespace velmor
