// A Kestrel window that ends itself in one of the ways the user can, for
// the tests that watch the process end. The first argument names the way:
//   menu    File > Exit while a program waits for a key (FX0A)
//   close   closing the window while a program runs
//   remap   File > Exit while a remap button waits for a key
//   tones   two tones, then File > Exit (for the audio message)
// Anything that runs after the exit prints "continued" and ends with 3.

#include "form1.h"
#include "no_settings.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    kestrel::KeepNoToolkitSettings();
    QApplication app(argc, argv);
    const char* way = argc > 1 ? argv[1] : "menu";
    kestrel::Form1 form;
    form.show();
    auto& machine = form.machine();
    // F00A 1200: wait for a key, again and again. 7001 1200: count in V0 for ever.
    const bool wait = std::strcmp(way, "close") != 0;
    const std::uint8_t waiting[] = {0xF0, 0x0A, 0x12, 0x00};
    const std::uint8_t counting[] = {0x70, 0x01, 0x12, 0x00};
    std::memcpy(&machine.State.Memory[512], wait ? waiting : counting, 4);

    QAction* exitAction = form.findChild<QAction*>(QStringLiteral("Exit"));
    QTimer::singleShot(0, &form, [&] { machine.Reset_Click(); });
    QTimer::singleShot(300, &form, [&] {
        if (std::strcmp(way, "close") == 0) {
            form.close();
        } else if (std::strcmp(way, "remap") == 0) {
            QTimer::singleShot(200, &form, [&] { exitAction->trigger(); });
            form.findChild<QPushButton*>(QStringLiteral("Command1_3"))->click();
        } else if (std::strcmp(way, "tones") == 0) {
            form.tone(500, 50);
            form.tone(500, 50);
            exitAction->trigger();
        } else {
            exitAction->trigger();
        }
        std::puts("continued");
        std::fflush(stdout);
        std::_Exit(3);
    });
    QApplication::exec();
    std::puts("continued");
    return 3;
}
