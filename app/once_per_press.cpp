#include "once_per_press.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPushButton>

namespace velmor {

// A dropped Space leaves the button up, so no later release clicks. Enter's press may have
// closed a message box, whose release then comes here: hence the press, never the release. No
// button is the default one (which would also change its look), so Enter in an edit box still
// presses nothing.
bool OncePerPressFilter::eventFilter(QObject* watched, QEvent* event) {
    auto* button = qobject_cast<QPushButton*>(watched);
    const bool press = event->type() == QEvent::KeyPress;
    if (button == nullptr || (!press && event->type() != QEvent::KeyRelease)) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (!enter && key->key() != Qt::Key_Space) return false;
    if (!press) {
        keyReleased_ = key->timestamp();
        return false;
    }
    const bool repeated =
        key->isAutoRepeat() || (key->timestamp() != 0 && key->timestamp() == keyReleased_);
    if (enter && !repeated) button->click();
    return enter || repeated;
}

}  // namespace velmor
