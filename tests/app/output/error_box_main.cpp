// velmor_error_box MESSAGE: the main window with the error display showing MESSAGE over it,
// exactly as the program shows an error. The end-to-end tests compare a picture of this box
// with the one the real program shows, which checks the program's message text. Ends when the
// box is closed.
#include <QApplication>
#include <QTest>
#include <QTimer>

#include "application.h"
#include "error_display.h"
#include "frmvelmor.h"

int main(int argc, char* argv[]) {
    if (argc != 2) return 2;
    const QString message = QString::fromLocal8Bit(argv[1]);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    velmor::SetUpApplication();

    TFrmVelmor window;
    window.show();
    // The box belongs to the active window, as it does after a click on a button.
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) return 3;
    velmor::ShowError(message);
    return 0;
}
