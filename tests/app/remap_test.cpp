// The remap buttons in the window: a click waits for a key inside the click,
// binds it and shows its character; a new run ends the wait with nothing bound.

#include "app_test_support.h"
#include "input/key_map.h"
#include "support/key_codes.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

using namespace kestrel;
using namespace kestrel::apptest;
using namespace kestrel::testing;

class RemapTest : public QObject {
    Q_OBJECT

    // Clicks button `index` with the mouse and presses `key` while it waits.
    static void remap(Form1& form, int index, Qt::Key key,
                      Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QString labelDuringWait;
        QTimer::singleShot(50, &form, [&] {
            labelDuringWait = statusLabel(form)->text();
            QTest::keyClick(&form, key, modifiers);
        });
        QTest::mouseClick(button(form, index), Qt::LeftButton);
        QCOMPARE(labelDuringWait, QStringLiteral("Waiting for key..."));
    }

  private slots:
    void clickThenKeyBindsTheKeyAndShowsIt_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("caption");
        QTest::newRow("1 <- Q") << 0 << int(Qt::Key_Q) << 0 << 81 << QStringLiteral("Q");
        QTest::newRow("C <- keypad -") << 14 << int(Qt::Key_Minus) << int(Qt::KeypadModifier)
                                       << key::NumPadSubtract << QStringLiteral("m");
        QTest::newRow("5 <- keypad 5") << 4 << int(Qt::Key_5) << int(Qt::KeypadModifier)
                                       << key::NumPad5 << QStringLiteral("e");
        QTest::newRow("0 <- keypad 0") << 9 << int(Qt::Key_0) << int(Qt::KeypadModifier)
                                       << key::NumPad0 << QStringLiteral("`");
        QTest::newRow("9 <- keypad 9") << 8 << int(Qt::Key_9) << int(Qt::KeypadModifier)
                                       << key::NumPad9 << QStringLiteral("i");
        QTest::newRow("B <- Enter")
            << 13 << int(Qt::Key_Return) << 0 << key::Enter << QString(QChar(0x240D));
        QTest::newRow("2 <- Shift") << 1 << int(Qt::Key_Shift) << int(Qt::ShiftModifier)
                                    << key::Shift << QString(QChar(0x2410));
        // Up is 38, the code of '&': it shows as itself, not as a mnemonic.
        QTest::newRow("D <- Up") << 15 << int(Qt::Key_Up) << 0 << 38 << QStringLiteral("&&");
        QTest::newRow("E <- !") << 10 << int(Qt::Key_Exclam) << int(Qt::ShiftModifier) << 49
                                << QStringLiteral("1");
    }

    void clickThenKeyBindsTheKeyAndShowsIt() {
        QFETCH(int, index);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, code);
        QFETCH(QString, caption);
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        remap(form, index, static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
        const MachineState& state = form.machine().State;
        QCOMPARE(static_cast<int>(state.KeyMap[static_cast<std::size_t>(index + 1)]), code);
        QCOMPARE(button(form, index)->text(), caption);
        QCOMPARE(statusLabel(form)->text(), QString());
        // Only that entry and that caption changed.
        for (int i = 0; i < 16; ++i) {
            if (i == index) continue;
            QCOMPARE(state.KeyMap[static_cast<std::size_t>(i + 1)],
                     DefaultKeyMap[static_cast<std::size_t>(i + 1)]);
        }
    }

    void theNewKeyGivesThatKeypadKey() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        remap(form, 0, Qt::Key_Q);
        QTest::keyPress(&form, Qt::Key_Q);
        QCOMPARE(form.machine().State.KeyPressed, 1);
        QTest::keyRelease(&form, Qt::Key_Q);
        // Keypad 7, the old binding of entry 1, now gives nothing.
        QTest::keyPress(&form, Qt::Key_7, Qt::KeypadModifier);
        QCOMPARE(form.machine().State.KeyPressed, 0);
    }

    void anAmpersandCaptionIsShownAsItself() {
        Form1 form;
        form.setButtonCaption(3, "&");
        QCOMPARE(button(form, 3)->text(), QStringLiteral("&&"));
        form.setButtonCaption(3, "\xE2\x82\xAC"); // the euro sign of code 128, as UTF-8
        QCOMPARE(button(form, 3)->text(), QString(QChar(0x20AC)));
    }

    // The wait starts while no program runs; Reset during the wait starts the
    // run only after the click has unwound, never inside it.
    void resetDuringAnIdleRemapRunsAfterTheWaitUnwinds() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Machine& machine = form.machine();
        placeProgram(machine, {0x7001, 0x1200}); // V0 counts up for ever
        QAction* reset = form.findChild<QAction*>(QStringLiteral("Reset"));
        QVERIFY(reset);

        bool clickReturned = false;
        bool runActiveAtCheck = false;
        bool clickReturnedAtCheck = false;
        int counterAtCheck = 0;
        bool checked = false;
        QTimer::singleShot(100, &form, [&] { reset->trigger(); });
        // Checked once the run has counted, or after 10 s: the checks below
        // then say what was missing.
        QElapsedTimer clock;
        clock.start();
        QTimer poll;
        poll.start(5);
        connect(&poll, &QTimer::timeout, &form, [&] {
            if (clock.elapsed() < 10000 &&
                !(clickReturned && machine.RunActive() && machine.State.V[0] > 0))
                return;
            poll.stop();
            runActiveAtCheck = machine.RunActive();
            clickReturnedAtCheck = clickReturned;
            counterAtCheck = machine.State.V[0];
            machine.EndAllRuns();
            checked = true;
        });
        QTest::mouseClick(button(form, 2), Qt::LeftButton);
        clickReturned = true;
        // The click came back without a run on the stack beneath it.
        QVERIFY(!machine.RunActive());
        QTRY_VERIFY_WITH_TIMEOUT(checked, 20000);
        QVERIFY(clickReturnedAtCheck);
        QVERIFY(runActiveAtCheck);
        QVERIFY(counterAtCheck > 0);
        // Nothing was bound, the caption stayed, the label is empty.
        QCOMPARE(machine.State.KeyMap[3], DefaultKeyMap[3]);
        QCOMPARE(button(form, 2)->text(), QStringLiteral("3"));
        QCOMPARE(statusLabel(form)->text(), QString());
    }

    // While a button waits inside a running program, the program stands still.
    void theRunStandsStillWhileAButtonWaits() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Machine& machine = form.machine();
        placeProgram(machine, {0x7001, 0x1200});
        int before = -1;
        int after = -1;
        QTimer::singleShot(0, &form, [&] { machine.Reset_Click(); });
        // Once the run counts; a running count would move thousands of times
        // in the 200 ms held, however busy the machine.
        const bool unwound = runUntil(
            form, [&] { return machine.State.V[0] > 0; },
            [&] {
                QTimer::singleShot(100, &form, [&] {
                    before = machine.State.V[0];
                    QTimer::singleShot(200, &form, [&] {
                        after = machine.State.V[0];
                        QTest::keyClick(&form, Qt::Key_K);
                    });
                });
                button(form, 6)->click(); // waits here, inside the run's yield
            });
        QVERIFY(unwound);
        QVERIFY(before >= 0);
        QCOMPARE(after, before);
        QCOMPARE(static_cast<int>(machine.State.KeyMap[7]), 75);
        QCOMPARE(button(form, 6)->text(), QStringLiteral("K"));
    }
};

QTEST_MAIN(RemapTest)
#include "remap_test.moc"
