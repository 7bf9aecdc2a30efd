// Velmor: starts the application, shows the main window and runs until it is closed.
#include <QApplication>

#include "application.h"
#include "frmvelmor.h"
#include "handler_guard.h"

int main(int /*argc*/, char* argv[]) {
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
