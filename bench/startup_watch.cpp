// Starts a program on the X display and prints, as one line "<ms> <kib> <cpu ms> <cups>", the time
// from its start to the first drawing on the screen (as the X DAMAGE extension reports it), its
// peak resident set size, the processor time it used, and whether it had the CUPS library loaded
// by then (1 or 0: printing loads it on first use). It is stopped a moment after it has drawn.
//
//   velmor_startup_watch [--settle MS] PROGRAM [ARGUMENT...]
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

int Fail(const char* what) {
    std::fprintf(stderr, "velmor_startup_watch: %s\n", what);
    return 2;
}

// Whether the process has a file whose path contains name mapped.
bool LoadedLibrary(pid_t process, const char* name) {
    const std::string path = "/proc/" + std::to_string(process) + "/maps";
    std::ifstream maps(path);
    for (std::string line; std::getline(maps, line);)
        if (line.find(name) != std::string::npos) return true;
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    int first = 1;
    int settleMs = 300;
    if (argc > 2 && std::strcmp(argv[1], "--settle") == 0) {
        settleMs = std::atoi(argv[2]);
        first = 3;
    }
    if (first >= argc) return Fail("usage: velmor_startup_watch [--settle MS] PROGRAM [ARG...]");

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return Fail("cannot open the display");
    int damageEvent = 0, damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        return Fail("the display has no DAMAGE extension");
    }
    // Damage to the root window includes every drawing into the windows on it.
    XDamageCreate(display, DefaultRootWindow(display), XDamageReportRawRectangles);
    XSync(display, False);
    // A new damage object first reports the whole root window: not a drawing.
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
    }

    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child < 0) return Fail("cannot fork");
    if (child == 0) {
        close(ConnectionNumber(display));
        execvp(argv[first], argv + first);
        std::perror(argv[first]);
        _exit(127);
    }

    double drawnMs = -1;
    while (drawnMs < 0) {
        while (drawnMs < 0 && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == damageEvent + XDamageNotify) {
                drawnMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            }
        }
        if (drawnMs >= 0) break;
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        if (poll(&fd, 1, 100) == 0 && waitpid(child, nullptr, WNOHANG) == child) {
            return Fail("the program ended before it drew anything");
        }
        if (Clock::now() - start > std::chrono::seconds(30)) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
            return Fail("nothing was drawn within 30 s");
        }
    }

    std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    const bool cups = LoadedLibrary(child, "/libcups.so");
    kill(child, SIGTERM);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    std::printf("%.1f %ld %.1f %d\n", drawnMs, usage.ru_maxrss, cpuMs, cups);
    XCloseDisplay(display);
    return 0;
}
