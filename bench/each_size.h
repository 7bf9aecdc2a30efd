// Runs a window benchmark once per size given on its command line (in MB), each in a fresh
// process, so that one size's peak memory never counts for the next.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace velmor::bench {

// measure(program, megabytes) answers 0 when the size went as it should. The number of sizes
// that did not.
template <typename Measure>
int RunEachSize(int argc, char* argv[], std::vector<double> sizes, Measure measure) {
    if (argc > 1) sizes.clear();
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atof(argv[i]));
    int failures = 0;
    for (double megabytes : sizes) {
        std::fflush(stdout);
        const pid_t pid = fork();
        if (pid == 0) _exit(measure(argv[0], megabytes));
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
    }
    return failures;
}

}  // namespace velmor::bench
