// The tone end to end: SDL's disk driver captures what Kestrel plays. FX18
// with 60 gives one 600 ms tone of 500 Hz at the next tick; a new tone
// replaces one still sounding; a tone asked for while the device is still
// opening is heard whole once it is open.

#include "app_test_support.h"
#include "tone_player.h"

#include <QTest>

#include <vector>

using namespace kestrel;
using namespace kestrel::apptest;

namespace {

struct Burst {
    qsizetype samples = 0; // non-silent samples
    int cycles = 0;        // rising edges through zero
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
            if (silentRun >= gap) found.emplace_back();
            silentRun = 0;
            found.back().samples += 1;
            if (s > 0 && previous <= 0) found.back().cycles += 1;
        }
        previous = s;
    }
    return found;
}

} // namespace

class ToneTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString capture_;

    std::vector<Burst> captured() const {
        QFile file(capture_);
        if (!file.open(QIODevice::ReadOnly)) return {};
        return bursts(file.readAll());
    }

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
};

QTEST_MAIN(ToneTest)
#include "tone_test.moc"
