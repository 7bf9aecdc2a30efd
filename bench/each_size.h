// Runs a window benchmark once per size given on its command line (in MB), each in a fresh
// process with a window of its own, so that one size's peak memory never counts for the next.
#pragma once

#include <QApplication>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "application.h"
#include "frmvelmor.h"

namespace velmor::bench {

// measure(window, megabytes), given the shown main window on the offscreen platform (or the one
// QT_QPA_PLATFORM names), answers 0 when the size went as it should. The number of sizes that
// did not.
template <typename Measure>
int RunEachSize(int argc, char* argv[], std::vector<double> sizes, Measure measure) {
    if (argc > 1) sizes.clear();
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atof(argv[i]));
    int failures = 0;
    for (double megabytes : sizes) {
        std::fflush(stdout);
        const pid_t pid = fork();
        if (pid == 0) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            int qtArgc = 1;
            QApplication app(qtArgc, argv);
            SetUpApplication();
            TFrmVelmor window;
            window.show();
            _exit(measure(window, megabytes));
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
    }
    return failures;
}

}  // namespace velmor::bench
