// A Kestrel window that ends itself in one of the ways the user can, for
// the tests that watch the process end. The first argument names the way:
//   menu    File > Exit while a program waits for a key (FX0A)
//   close   closing the window while a program runs
//   remap   File > Exit while a remap button waits for a key
//   tones   two tones, then File > Exit (for the audio message)
// Anything that runs after the exit prints "continued" and ends with 3.
// Each way acts once the window shows it is ready for it (the key wait's
// label, the count going, the audio message), however slow the machine;
// not ready within the deadline, it says so and ends with 4.

#include "form1.h"
#include "no_settings.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

std::atomic<bool> audioSaid{false};

// Standard error goes through a pipe and on to where it went, unchanged; a
// line from Kestrel sets audioSaid once it is through. Exit ends the process
// at once, so the tones wait for the audio message, which would be lost if
// it were still to come.
void watchStandardError() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    const int original = ::dup(2);
    ::dup2(fds[1], 2);
    ::close(fds[1]);
    std::thread([in = fds[0], original] {
        std::string line;
        char c = 0;
        while (::read(in, &c, 1) == 1) {
            if (::write(original, &c, 1) != 1) return;
            if (c != '\n') {
                line += c;
                continue;
            }
            if (line.rfind("Kestrel:", 0) == 0) audioSaid = true;
            line.clear();
        }
    }).detach();
}

} // namespace

int main(int argc, char** argv) {
    kestrel::KeepNoToolkitSettings();
    watchStandardError();
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
    auto* label = form.findChild<QLabel*>(QStringLiteral("Label1"));
    const auto ready = [&] {
        if (std::strcmp(way, "close") == 0) return machine.State.V[0] > 0;
        if (std::strcmp(way, "tones") == 0) return audioSaid.load();
        return !label->text().isEmpty(); // the label speaks while FX0A waits
    };
    QTimer::singleShot(0, &form, [&] { machine.Reset_Click(); });
    // Polled from inside the run's yields, which serve the timers.
    QElapsedTimer waited;
    waited.start();
    QTimer poll;
    poll.start(10);
    QObject::connect(&poll, &QTimer::timeout, &form, [&] {
        if (!ready()) {
            if (waited.elapsed() < 20000) return;
            std::fprintf(stderr, "exit_helper: %s: not ready after %lld ms (label '%s', V0 %d)\n",
                         way, static_cast<long long>(waited.elapsed()),
                         label->text().toUtf8().constData(), machine.State.V[0]);
            std::_Exit(4);
        }
        poll.stop();
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
