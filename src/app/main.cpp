#include "form1.h"
#include "no_settings.h"

#include <QApplication>

int main(int argc, char** argv) {
    // Kestrel reads no command line: the toolkit is given the program's name
    // alone, so its own options (-reverse, -style, ...) change nothing. Its
    // environment variables still apply; the tests and the platform need them.
    char fallbackName[] = "kestrel";
    char* toolkitArgv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName, nullptr};
    int toolkitArgc = 1;
    kestrel::KeepNoToolkitSettings();
    QApplication app(toolkitArgc, toolkitArgv);
    // The desktop links the window to the menu entry by these names: the
    // Wayland app_id comes from the desktop file name, the class of the X11
    // WM_CLASS from the application name (the entry's StartupWMClass).
    QGuiApplication::setDesktopFileName(QStringLiteral(KESTREL_APP_ID));
    QCoreApplication::setApplicationName(QStringLiteral(KESTREL_APP_ID));
    kestrel::Form1 form;
    form.show();
    return QApplication::exec();
}
