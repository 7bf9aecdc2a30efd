#include "dialog_parent.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>

namespace velmor {

QWidget* DialogParent() {
    if (QWidget* active = QApplication::activeWindow()) return active;
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto shown = std::find_if(windows.begin(), windows.end(), [](const QWidget* window) {
        return window->isVisible() && window->windowType() == Qt::Window;
    });
    return shown == windows.end() ? nullptr : *shown;
}

}  // namespace velmor
