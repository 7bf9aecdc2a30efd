// Velmor: starts the application, shows the main window and runs until it is closed.
#include <QApplication>

#include <csignal>

#include "application.h"
#include "frmvelmor.h"
#include "handler_guard.h"

int main(int /*argc*/, char* argv[]) {
    // A write beyond the file-size limit and a write to a closed pipe or socket (a print server
    // that went away) are errors the program reports, not reasons for the system to end it.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);

    // The program takes no options: Qt sees the program name alone, so -platform, -geometry,
    // -title and the like on the command line change nothing.
    int qtArgc = 1;
    QApplication app(qtArgc, argv);

    // An error escaping start-up or the event loop is shown like any other; the exit code is
    // 0 whatever happened.
    velmor::RunHandler([] {
        velmor::SetUpApplication();
        TFrmVelmor FrmVelmor;
        FrmVelmor.show();
        QApplication::exec();
    });
    return 0;
}
