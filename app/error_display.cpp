#include "error_display.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "application.h"

namespace velmor {

QString WithFullStop(const QString& message) {
    // Compared as UTF-16 code units: every non-ASCII character, both halves of a surrogate pair
    // included, sorts above '.', just as a double-byte character's lead byte does.
    if (!message.isEmpty() && message.back() > QChar(u'.')) return message + u'.';
    return message;
}

void ShowError(const QString& message) {
    // A drag or a pressed button would otherwise keep the mouse away from the box.
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();

    const QPointer<QWidget> active = QApplication::activeWindow();
    const QPointer<QWidget> focus = QApplication::focusWidget();

    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), WithFullStop(message),
                    QMessageBox::Ok, active);
    // Messages quote what the user typed, which must not be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();

    // Not every platform hands the activation back when the box closes (X without a window
    // manager does not): the user goes on where they were.
    if (active) active->activateWindow();
    if (focus) focus->setFocus(Qt::ActiveWindowFocusReason);
}

}  // namespace velmor
