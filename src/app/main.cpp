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
    kestrel::Form1 form;
    form.show();
    return QApplication::exec();
}
