#pragma once

// Helpers for the window's tests: little ROM files, runs that end on cue,
// and modal dialogs found from a timer.

#include "form1.h"
#include "no_settings.h"
#include "support/program_bytes.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

namespace kestrel::apptest {

// A ROM file of instruction words, big-endian as a ROM holds them.
inline QString writeRom(const QTemporaryDir& dir, const QString& name,
                        std::initializer_list<std::uint16_t> words) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    const std::vector<std::uint8_t> bytes = testing::WordsToBytes(words);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
}

// Places the words in memory from 512, as a loaded ROM would be.
inline void placeProgram(Machine& machine, std::initializer_list<std::uint16_t> words) {
    testing::PlaceWords(machine.State.Memory, words);
}

// The run loop owns the thread while a program runs, so a test hands it the
// event loop and acts from timers: `during` runs inside the run's yields
// after `ms`, then every run is ended and the loop unwinds back here.
// Returns false if the run did not unwind in time.
inline bool runFor(Form1& form, int ms, const std::function<void()>& during = {}) {
    bool ended = false;
    QTimer::singleShot(ms, &form, [&] {
        if (during) during();
        form.machine().EndAllRuns();
        ended = true;
    });
    return QTest::qWaitFor([&] { return ended && !form.machine().RunActive(); }, ms + 10000);
}

// Like runFor, but `during` runs and the run ends as soon as `done` holds,
// checked every 5 ms from inside the run's yields, or after `timeoutMs`; a
// busy machine runs a program slower, and the deadline costs nothing when
// `done` comes. False only if the run did not unwind: the caller's own
// checks then say what the run left, whether `done` came or not.
inline bool runUntil(Form1& form, const std::function<bool()>& done,
                     const std::function<void()>& during = {}, int timeoutMs = 10000) {
    bool ended = false;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &form, [&] {
        if (!done() && clock.elapsed() < timeoutMs) return;
        poll.stop();
        if (during) during();
        form.machine().EndAllRuns();
        ended = true;
    });
    poll.start(5);
    return QTest::qWaitFor([&] { return ended && !form.machine().RunActive(); }, timeoutMs + 10000);
}

// Calls `act` with the first modal widget of type T that shows up, from a
// timer, so that the code that opened it can block in its own event loop.
template <typename T> void whenModal(std::function<void(T*)> act, int timeoutMs = 10000) {
    auto* poll = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act, started, timeoutMs] {
        if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(modal);
        } else if (started->elapsed() > timeoutMs) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(20);
}

// The window's controls, found by their names as a user's tools would.
inline PictureBox* picture(Form1& form) {
    return form.findChild<PictureBox*>(QStringLiteral("Picture1"));
}
inline QPushButton* button(Form1& form, int index) {
    return form.findChild<QPushButton*>(QStringLiteral("Command1_%1").arg(index));
}
inline QLabel* statusLabel(Form1& form) {
    return form.findChild<QLabel*>(QStringLiteral("Label1"));
}
inline QTimer* timer1(Form1& form) {
    return form.findChild<QTimer*>(QStringLiteral("Timer1"));
}

// The colour of device pixel (x, y) of the picture as Picture1 paints it.
inline QRgb paintedPixel(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFF;
}

// Picture1 as it was last painted into the window, 1:1 whatever the screen's
// pixel ratio. It is read from the screen (on the offscreen platform, the
// window's backing store) and not with grab(), which paints afresh and so
// would hide a repaint that never came.
inline QImage renderPicture(Form1& form) {
    PictureBox* box = picture(form);
    const QPoint at = box->mapTo(&form, QPoint(0, 0));
    QImage image = box->screen()
                       ->grabWindow(form.winId(), at.x(), at.y(), box->width(), box->height())
                       .toImage();
    if (image.devicePixelRatio() != 1.0)
        image = image.scaled((QSizeF(image.size()) / image.devicePixelRatio()).toSize(),
                             Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return image;
}

// Waits until the window shows the machine's screen surface pixel for pixel;
// false if it still does not after `timeoutMs`.
inline bool pictureShowsSurface(Form1& form, int timeoutMs = 10000) {
    const ScreenSurface& surface = form.machine().Surface();
    return QTest::qWaitFor(
        [&] {
            const QImage shown = renderPicture(form);
            if (shown.width() < ScreenSurface::Width || shown.height() < ScreenSurface::Height)
                return false;
            for (int y = 0; y < ScreenSurface::Height; ++y)
                for (int x = 0; x < ScreenSurface::Width; ++x)
                    if (static_cast<std::int32_t>(paintedPixel(shown, x, y)) !=
                        surface.ReadPixel(x, y))
                        return false;
            return true;
        },
        timeoutMs);
}

// Every window test keeps Qt's settings off the disk as the program does, from
// the moment the application exists, so that a test run by hand leaves the
// developer's own file dialog history alone.
Q_COREAPP_STARTUP_FUNCTION(KeepNoToolkitSettings)

} // namespace kestrel::apptest
