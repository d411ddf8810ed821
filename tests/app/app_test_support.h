#pragma once

// Helpers for the window's tests: little ROM files, runs that end on cue,
// and modal dialogs found from a timer.

#include "form1.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

namespace kestrel::apptest {

// A ROM file of instruction words, big-endian as a ROM holds them.
inline QString writeRom(const QTemporaryDir& dir, const QString& name, std::initializer_list<std::uint16_t> words) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    QByteArray bytes;
    for (const std::uint16_t word : words) {
        bytes.append(static_cast<char>(word >> 8));
        bytes.append(static_cast<char>(word & 0xFF));
    }
    file.write(bytes);
    return path;
}

// Places the words in memory from 512, as a loaded ROM would be.
inline void placeProgram(Machine& machine, std::initializer_list<std::uint16_t> words) {
    std::uint32_t address = ProgramStart;
    for (const std::uint16_t word : words) {
        machine.State.Memory[address++] = static_cast<std::uint8_t>(word >> 8);
        machine.State.Memory[address++] = static_cast<std::uint8_t>(word & 0xFF);
    }
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

// Calls `act` with the first modal widget of type T that shows up, from a
// timer, so that the code that opened it can block in its own event loop.
template <typename T>
void whenModal(std::function<void(T*)> act, int timeoutMs = 5000) {
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

// The colour of device pixel (x, y) of the picture as Picture1 paints it.
inline QRgb paintedPixel(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

// Picture1's rendering, 1:1 whatever the screen's pixel ratio.
inline QImage renderPicture(Form1& form) {
    QImage image = form.picture()->grab().toImage();
    if (image.devicePixelRatio() != 1.0)
        image = image.scaled(form.picture()->size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return image;
}

} // namespace kestrel::apptest
