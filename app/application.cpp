#include "application.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

#include "frmvelmor.h"
#include "input_box_accessible.h"
#include "locale_separator.h"

// Registers the pictures compiled into this library (outside any namespace, as Qt requires).
static void InitResources() {
    Q_INIT_RESOURCE(velmor);
}

namespace velmor {

namespace {

// Qt's own texts (the file dialog's, the message box's button) in the system's language, as
// the desktop's own dialogs speak it; the program's messages are not translated.
void LoadQtTranslation() {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

// Assistive technology meets the main window as a dialog, which it is, not as a bare panel.
QAccessibleInterface* AccessibleAsDialog(const QString& className, QObject* object) {
    if (className == QLatin1String(TFrmVelmor::staticMetaObject.className()) &&
        object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Dialog);
    return nullptr;
}

}  // namespace

void SetUpApplication() {
    InitResources();

    // The title goes into the application name, not the display name: Qt appends a display
    // name to every window caption, and the main window's caption must read "Velmor" alone.
    QCoreApplication::setApplicationName(QStringLiteral("Velmor1.0"));
    // The desktop entry's name, which Wayland compositors match the window against.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.velmor.Velmor"));
    // The picture task bars and window switchers show for the program's windows. On X the same
    // property gives a title bar its icon, where the window manager draws one: the task bar is
    // what tells the window apart. The 32 × 32 picture comes with larger ones of its design,
    // for panels at a scale factor of 2.
    QIcon icon(QStringLiteral(":/velmor.png"));
    for (int size : {64, 128}) icon.addFile(QStringLiteral(":/icons/velmor-%1.png").arg(size));
    QGuiApplication::setWindowIcon(icon);

    // The window asks for "宋体". Where no face of that name is installed, Qt tries these in
    // order before its own fallback, so the choice does not depend on fontconfig or LANG.
    QFont::insertSubstitutions(QStringLiteral("宋体"),
                               {QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL UMing TW"),
                                QStringLiteral("WenQuanYi Micro Hei")});

    // Before any window: naming a form's controls can already make Qt build (and keep) the
    // window's accessible interface, which must then be the dialog's.
    QAccessible::installFactory(AccessibleAsDialog);
    QAccessible::installFactory(AccessibleInputBox);

    LoadQtTranslation();
    ReadDecimalSeparator();
}

QString ApplicationTitle() {
    return QCoreApplication::applicationName();
}

}  // namespace velmor
