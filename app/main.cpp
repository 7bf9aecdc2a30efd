// Velmor: starts the application, shows the main window and runs until it is closed.
#include <QApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "application.h"
#include "display_choice.h"
#include "frmvelmor.h"
#include "handler_guard.h"
#include "timed_task.h"

int main(int /*argc*/, char* argv[]) {
    // A write beyond the file-size limit and a write to a closed pipe or socket (a print server
    // that went away) are errors the program reports, not reasons for the system to end it.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);

    // Without a display Qt would abort with a core dump; one line says what is missing.
    if (const auto problem = velmor::ChooseDisplay()) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 1;
    }

    // The program takes no options: Qt sees the program name alone, so -platform, -geometry,
    // -title and the like on the command line change nothing.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    // An error escaping start-up is shown like any other. Errors of the handlers never get here:
    // Qt does not carry an exception through exec(), so each handler runs inside RunHandler.
    // The exit code is 0 whatever happened.
    velmor::RunHandler([] {
        velmor::SetUpApplication();
        TFrmVelmor FrmVelmor;
        FrmVelmor.show();
        QApplication::exec();
    });
    // A print server that never answered still holds a worker; the window is gone and nothing
    // is left to save, so the process ends now rather than wait for it, saying what became of
    // the job.
    const velmor::LeftBehind left = velmor::OutputLeftBehind();
    switch (left) {
        case velmor::LeftBehind::kNothing:
        case velmor::LeftBehind::kFinishing:
            break;
        case velmor::LeftBehind::kAbandoned:
            std::fputs("Velmor: the print system did not answer; the print job was abandoned.\n",
                       stderr);
            break;
        case velmor::LeftBehind::kUnconfirmed:
            std::fputs(
                "Velmor: the print job was sent but the print system did not confirm it; it may "
                "still print.\n",
                stderr);
            break;
    }
    // Qt's Wayland client can deadlock while it takes its connection down (its event thread
    // waits for a read that the main thread prepared and will never make): the process ends
    // without that teardown there too.
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (left == velmor::LeftBehind::kNothing && !wayland) return 0;
    std::fflush(nullptr);
    std::_Exit(0);
}
