// The tone end to end: SDL's disk driver captures what Kestrel plays. FX18
// with 60 gives one 600 ms tone of 500 Hz at the next tick; a new tone
// replaces one still sounding; a tone asked for while the device is still
// opening is heard whole once it is open. A looped one-bit pattern sounds at
// the pitch its rate gives, and keeps its place in the loop when it changes;
// roms/xochip.ch8 sounds its two pitches.

#include "app_test_support.h"
#include "tone_player.h"

#include <QAction>
#include <QTest>

#include <array>
#include <cmath>
#include <vector>

using namespace kestrel;
using namespace kestrel::apptest;

namespace {

struct Burst {
    qsizetype start = 0;   // index of its first sample
    qsizetype samples = 0; // non-silent samples
    int cycles = 0;        // rising edges through zero
    qsizetype firstRise = -1;
    qsizetype lastRise = -1;
};

// Bursts of sound separated by at least 10 ms of silence.
std::vector<Burst> bursts(const QByteArray& raw) {
    const auto* samples = reinterpret_cast<const std::int16_t*>(raw.constData());
    const qsizetype count = raw.size() / 2;
    const qsizetype gap = TonePlayer::SampleRate / 100;
    std::vector<Burst> found;
    qsizetype silentRun = gap;
    std::int16_t previous = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const std::int16_t s = samples[i];
        if (s == 0) {
            ++silentRun;
        } else {
            if (silentRun >= gap) found.push_back({i});
            silentRun = 0;
            Burst& burst = found.back();
            burst.samples += 1;
            if (s > 0 && previous <= 0) {
                burst.cycles += 1;
                if (burst.firstRise < 0) burst.firstRise = i;
                burst.lastRise = i;
            }
        }
        previous = s;
    }
    return found;
}

using Pattern = std::array<std::uint8_t, 16>;

// The sample rate the standard machines give a pattern at `pitch`.
double patternRate(int pitch) {
    return 4000.0 * std::exp2((pitch - 64) / 48.0);
}

// How many of `count` captured samples, from the first, are `pattern` played
// from `phase` on at `step` bits a sample. `phase` is left where the match
// ended. A sample a hair from a bit boundary matches either bit, since the
// rounding may fall on either side of it.
qsizetype matching(const std::int16_t* captured, qsizetype count, const Pattern& pattern,
                   double step, double& phase) {
    for (qsizetype i = 0; i < count; ++i) {
        const int bit = static_cast<int>(phase);
        const bool on = (pattern[bit / 8] >> (7 - bit % 8) & 1) != 0;
        const bool nearEdge = phase - bit < 1e-6 || phase - bit > 1 - 1e-6;
        if (!nearEdge && captured[i] != (on ? TonePlayer::Amplitude : -TonePlayer::Amplitude))
            return i;
        phase += step;
        if (phase >= 128) phase -= 128;
    }
    return count;
}

} // namespace

class ToneTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString capture_;

    QByteArray raw() const {
        QFile file(capture_);
        if (!file.open(QIODevice::ReadOnly)) return {};
        return file.readAll();
    }
    std::vector<Burst> captured() const { return bursts(raw()); }

    // Whether the capture so far holds `count` bursts, the last followed by
    // silence: the device has played them out. It plays in real time on its
    // own thread, later than that on a busy machine, so the tests wait for
    // this (10 s at most) before closing it; the checks after say what came.
    bool playedOut(std::size_t count) const {
        QFile file(capture_);
        if (!file.open(QIODevice::ReadOnly)) return false;
        const QByteArray raw = file.readAll();
        const auto* samples = reinterpret_cast<const std::int16_t*>(raw.constData());
        qsizetype silent = 0;
        for (qsizetype i = raw.size() / 2; i > 0 && samples[i - 1] == 0; --i)
            ++silent;
        return bursts(raw).size() >= count && silent >= TonePlayer::SampleRate / 100;
    }
    void awaitPlayedOut(std::size_t count) const {
        if (!QTest::qWaitFor([this, count] { return playedOut(count); }, 10000))
            qWarning("after 10 s the capture holds %zu bursts, %zu awaited, the last followed "
                     "by silence",
                     captured().size(), count);
    }

  private slots:
    void initTestCase() {
        capture_ = dir_.filePath(QStringLiteral("tone.raw"));
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", capture_.toLocal8Bit());
    }

    void soundTimerOf60GivesSixHundredMillisecondsOf500Hz() {
        {
            Form1 form;
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            // V0 := 60, ST := V0, then stay.
            placeProgram(form.machine(), {0x603C, 0xF018, 0x1204});
            QTimer::singleShot(0, &form, [&] { form.machine().Reset_Click(); });
            // Ending the run ends its tone: the run lasts until the tone has played out.
            QVERIFY(runUntil(form, [&] {
                const MachineState& state = form.machine().State;
                return state.ProgramCounter == 0x204 && state.SoundTimer == 0 && playedOut(1);
            }));
            QCOMPARE(static_cast<int>(form.machine().State.SoundTimer), 0);
            // Then a long tone cut short by a new one: only the new one is heard.
            form.tone(500, 600);
            form.tone(500, 100);
            awaitPlayedOut(2);
        } // closing the device writes out the capture

        const std::vector<Burst> heard = captured();
        QCOMPARE(heard.size(), std::size_t{2});
        const double firstMs =
            1000.0 * static_cast<double>(heard[0].samples) / TonePlayer::SampleRate;
        const double secondMs =
            1000.0 * static_cast<double>(heard[1].samples) / TonePlayer::SampleRate;
        qInfo("FX18 60: %.1f ms, %d cycles; replaced tone: %.1f ms, %d cycles", firstMs,
              heard[0].cycles, secondMs, heard[1].cycles);
        QVERIFY2(firstMs >= 595 && firstMs <= 605, qPrintable(QString::number(firstMs)));
        QVERIFY2(heard[0].cycles >= 298 && heard[0].cycles <= 302,
                 qPrintable(QString::number(heard[0].cycles)));
        // At most one device buffer of the long tone got out before it was replaced.
        QVERIFY2(secondMs >= 95 && secondMs <= 125, qPrintable(QString::number(secondMs)));
        const double hz = heard[1].cycles / (secondMs / 1000.0);
        QVERIFY2(hz > 480 && hz < 520, qPrintable(QString::number(hz)));
    }

    void toneAskedForWhileTheDeviceOpensSoundsWhole() {
        {
            TonePlayer player;
            player.play(500, 600);
            player.play(500, 300); // replaces the one kept before it
            QVERIFY(!player.available());
            player.startOpening();
            QTRY_VERIFY_WITH_TIMEOUT(player.available(), 10000);
            awaitPlayedOut(1);
        }
        const std::vector<Burst> heard = captured();
        QCOMPARE(heard.size(), std::size_t{1});
        const double ms = 1000.0 * static_cast<double>(heard[0].samples) / TonePlayer::SampleRate;
        QVERIFY2(ms >= 295 && ms <= 305, qPrintable(QString::number(ms)));
        QVERIFY2(heard[0].cycles >= 148 && heard[0].cycles <= 152,
                 qPrintable(QString::number(heard[0].cycles)));
    }

    void patternSoundsAtThePitchItsRateGives_data() {
        QTest::addColumn<int>("pitch");
        for (const int pitch : {0, 64, 128, 255})
            QTest::addRow("pitch %d", pitch) << pitch;
    }

    void patternSoundsAtThePitchItsRateGives() {
        QFETCH(int, pitch);
        Pattern beep;
        beep.fill(0xF0); // four bits up, four down: the fundamental is an eighth of the rate
        {
            TonePlayer player;
            player.startOpening();
            QTRY_VERIFY_WITH_TIMEOUT(player.available(), 5000);
            player.playPattern(beep, patternRate(pitch));
            QTest::qWait(500);
        }
        const std::vector<Burst> heard = captured();
        QCOMPARE(heard.size(), std::size_t{1});
        // Whole cycles between the first rising edge and the last.
        QVERIFY2(heard[0].cycles > 50, qPrintable(QString::number(heard[0].cycles)));
        const double measured = (heard[0].cycles - 1) * double{TonePlayer::SampleRate} /
                                static_cast<double>(heard[0].lastRise - heard[0].firstRise);
        const double expected = patternRate(pitch) / 8;
        qInfo("pitch %d: expected %.2f Hz, measured %.2f Hz", pitch, expected, measured);
        QVERIFY2(std::abs(measured / expected - 1) < 0.01,
                 qPrintable(QStringLiteral("%1 Hz").arg(measured)));
    }

    // roms/xochip.ch8 on the XO-CHIP machine plays a second of eight bits on,
    // eight off at pitch 64, then at pitch 112, each followed by silence: the
    // fundamental is a sixteenth of the rate.
    void xoChipRomSoundsItsTwoPitches() {
        QFile::remove(capture_); // the bursts counted are this test's alone
        {
            Form1 form;
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            form.findChild<QAction*>(QStringLiteral("machineXoChip"))->trigger();
            form.machine().OpenRom(KESTREL_SOURCE_DIR "/roms/xochip.ch8");
            // The third burst's start means the first two were heard whole.
            QVERIFY(QTest::qWaitFor([&] { return captured().size() >= 3; }, 15000));
        }
        const std::vector<Burst> heard = captured();
        QVERIFY(heard.size() >= 3);
        for (const auto& [k, pitch] : {std::pair{0, 64}, std::pair{1, 112}}) {
            const Burst& burst = heard[static_cast<std::size_t>(k)];
            const double ms = 1000.0 * static_cast<double>(burst.samples) / TonePlayer::SampleRate;
            const double measured = (burst.cycles - 1) * double{TonePlayer::SampleRate} /
                                    static_cast<double>(burst.lastRise - burst.firstRise);
            const double expected = patternRate(pitch) / 16;
            qInfo("xochip.ch8 pitch %d: %.0f ms, expected %.2f Hz, measured %.2f Hz", pitch, ms,
                  expected, measured);
            QVERIFY2(burst.cycles > 100, qPrintable(QString::number(burst.cycles)));
            QVERIFY2(std::abs(measured / expected - 1) < 0.01,
                     qPrintable(QStringLiteral("%1 Hz").arg(measured)));
        }
    }

    // Asked for before the device is open, the pattern starts at its first
    // bit; a new pattern and rate go on from the same place; stop() sends the
    // next start back to the first bit.
    void patternKeepsItsPlaceAcrossChangesAndStopStartsItOver() {
        // Neither repeats within its 128 bits, so a restart cannot pass for going on.
        const Pattern first{0x0F, 0xFF, 0x00, 0xF0, 0xCC, 0x33, 0xAA, 0x55,
                            0xFF, 0xFE, 0x01, 0x00, 0x81, 0x7E, 0xC3, 0x3C};
        Pattern second;
        for (std::size_t i = 0; i < second.size(); ++i)
            second[i] = static_cast<std::uint8_t>(i * 0x11);
        const double slowStep = patternRate(40) / TonePlayer::SampleRate;
        const double fastStep = patternRate(100) / TonePlayer::SampleRate;
        {
            TonePlayer player;
            player.playPattern(first, patternRate(40));
            player.startOpening();
            QTRY_VERIFY_WITH_TIMEOUT(player.available(), 5000);
            QTest::qWait(250);
            player.playPattern(second, patternRate(100));
            QTest::qWait(250);
            player.stop();
            QTest::qWait(100);
            player.playPattern(first, patternRate(100));
            QTest::qWait(150);
        }
        const QByteArray bytes = raw();
        const auto* samples = reinterpret_cast<const std::int16_t*>(bytes.constData());
        const std::vector<Burst> heard = bursts(bytes);
        QCOMPARE(heard.size(), std::size_t{2});

        // The first burst is the first pattern from bit 0 up to some sample,
        // then the second from wherever the first had got to.
        const std::int16_t* changed = samples + heard[0].start;
        const qsizetype length = heard[0].samples;
        double phase = 0;
        const qsizetype asFirst = matching(changed, length, first, slowStep, phase);
        QVERIFY2(asFirst > TonePlayer::SampleRate / 10 && asFirst < length,
                 qPrintable(QString::number(asFirst)));
        qsizetype changedAt = -1;
        phase = 0;
        for (qsizetype at = 0; at <= asFirst && changedAt < 0; ++at) {
            double from = phase;
            if (matching(changed + at, length - at, second, fastStep, from) == length - at)
                changedAt = at;
            phase += slowStep;
            if (phase >= 128) phase -= 128;
        }
        QVERIFY2(changedAt >= 0, "no place where the second pattern goes on from the first");
        QVERIFY(length - changedAt > TonePlayer::SampleRate / 10);

        double restart = 0;
        QCOMPARE(matching(samples + heard[1].start, heard[1].samples, first, fastStep, restart),
                 heard[1].samples);
    }
};

QTEST_MAIN(ToneTest)
#include "tone_test.moc"
