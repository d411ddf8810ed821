// The window as the user first sees it: layout in pixels, menus, captions,
// the About box and the start-up state.

#include "app_test_support.h"
#include "input/key_map.h"

#include <QActionGroup>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrel;
using namespace kestrel::apptest;

class WindowLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void clientAreaIsFixedAt261By311() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QWidget* client = form.centralWidget();
        QCOMPARE(client->size(), QSize(261, 311));
        // The client area sits right below the menu bar and fills the window.
        QCOMPARE(client->geometry().top(), form.menuBar()->geometry().bottom() + 1);
        QCOMPARE(form.width(), 261);
        QCOMPARE(form.minimumSize(), form.maximumSize());
        form.resize(400, 500);
        QTest::qWait(20);
        QCOMPARE(client->size(), QSize(261, 311));
    }

    void pictureIsAtTheCornerAndCutByTheRightEdge() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        PictureBox* picture = apptest::picture(form);
        QCOMPARE(picture->objectName(), QStringLiteral("Picture1"));
        QCOMPARE(picture->parentWidget(), form.centralWidget());
        QCOMPARE(picture->geometry(), QRect(0, 0, 273, 137));
        // Of its 273 columns the client area shows 261: the right 12 are cut.
        QCOMPARE(picture->visibleRegion().boundingRect(), QRect(0, 0, 261, 137));
    }

    void buttonsSitInTheirGridWithTheirCaptions() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // index: caption, left, top
        const struct {
            const char* caption;
            int left, top;
        } expected[16] = {
            {"1", 56, 144},  {"2", 96, 144},  {"3", 136, 144}, {"4", 56, 176},
            {"5", 96, 176},  {"6", 136, 176}, {"7", 56, 208},  {"8", 96, 208},
            {"9", 136, 208}, {"0", 56, 240},  {"E", 96, 240},  {"F", 136, 240},
            {"A", 176, 144}, {"B", 176, 176}, {"C", 176, 208}, {"D", 176, 240},
        };
        for (int i = 0; i < 16; ++i) {
            QPushButton* button = apptest::button(form, i);
            QCOMPARE(button->parentWidget(), form.centralWidget());
            QCOMPARE(button->text(), QString::fromLatin1(expected[i].caption));
            QCOMPARE(button->geometry(), QRect(expected[i].left, expected[i].top, 33, 25));
            QCOMPARE(button->focusPolicy(), Qt::NoFocus);
            QVERIFY(button->isVisible());
        }
    }

    void labelIsUnderTheGridAndEmpty() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QLabel* label = statusLabel(form);
        QCOMPARE(label->objectName(), QStringLiteral("Label1"));
        QCOMPARE(label->geometry(), QRect(56, 272, 153, 25));
        QCOMPARE(label->text(), QString());
        QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    }

    void pictureComesFirstInTheTabOrder() {
        Form1 form;
        QWidget* next = picture(form)->nextInFocusChain();
        for (int i = 0; i < 16; ++i) {
            QCOMPARE(next, static_cast<QWidget*>(button(form, i)));
            next = next->nextInFocusChain();
        }
    }

    void titleNamesTheAuthor() {
        Form1 form;
        const QString title = form.windowTitle();
        QVERIFY(title.startsWith(QStringLiteral("Kestrel - by ")));
        const QString initials = title.mid(13);
        QCOMPARE(initials.size(), 2);
        QVERIFY(initials.at(0).isLetter() && initials.at(1).isLetter());
    }

    void menusAreFileCpuAndAboutInThatOrder() {
        Form1 form;
        const QList<QAction*> top = form.menuBar()->actions();
        QCOMPARE(top.size(), 3);
        QCOMPARE(top[0]->text(), QStringLiteral("File"));
        QCOMPARE(top[1]->text(), QStringLiteral("CPU"));
        QCOMPARE(top[2]->text(), QStringLiteral("About"));
        QVERIFY(top[0]->menu() != nullptr);
        QVERIFY(top[1]->menu() != nullptr);
        QVERIFY(top[2]->menu() == nullptr); // a command on the bar itself

        const auto captions = [](QMenu* menu) {
            QStringList texts;
            for (QAction* action : menu->actions())
                texts << action->text();
            return texts;
        };
        QCOMPARE(captions(top[0]->menu()), QStringList({"Open ROM", "Exit"}));
        // Reset and Pause first, then the Machine and Speed submenus, then the debugger.
        QCOMPARE(captions(top[1]->menu()),
                 QStringList({"Reset", "Pause", "Machine", "Speed", "Debugger..."}));
        QMenu* machines = top[1]->menu()->actions().at(2)->menu();
        QVERIFY(machines != nullptr);
        QCOMPARE(captions(machines),
                 QStringList({"Kestrel", "CHIP-8 (COSMAC VIP)", "CHIP-8 (modern)",
                              "CHIP-8 (two-page, 64 x 64)", "SUPER-CHIP 1.1", "SUPER-CHIP (modern)",
                              "XO-CHIP", "From the ROM database"}));

        // No access keys, shortcuts or separators anywhere; check marks only
        // on the machines, exclusive, with Kestrel's checked at start.
        QList<QAction*> all = top;
        all += top[0]->menu()->actions();
        all += top[1]->menu()->actions();
        all += machines->actions();
        for (QAction* action : all) {
            QVERIFY2(!action->text().contains('&'), qPrintable(action->text()));
            QVERIFY(action->shortcut().isEmpty());
            QVERIFY(action->shortcuts().isEmpty());
            QCOMPARE(action->isCheckable(), machines->actions().contains(action));
            QVERIFY(!action->isSeparator());
        }
        for (QAction* machine : machines->actions()) {
            QVERIFY(machine->actionGroup() != nullptr && machine->actionGroup()->isExclusive());
            QCOMPARE(machine->isChecked(), machine->text() == QStringLiteral("Kestrel"));
        }
    }

    // Choosing a machine resets on it from the copy of the last opened ROM,
    // and hands the timers from Kestrel's tick to the frame clock and back.
    void choosingAMachineResetsOnItFromTheRomsCopy() {
        QTemporaryDir dir;
        // V1 := 2; V1 := V1 SHR: 1 on Kestrel's machine (VX), 2 >> 1 of VY = V0 = 0 standard;
        // then DT := 30, and spin.
        const QString rom =
            writeRom(dir, QStringLiteral("shift.ch8"), {0x6102, 0x8106, 0x621E, 0xF215, 0x1208});
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Machine& machine = form.machine();
        machine.OpenRom(QFile::encodeName(rom).toStdString());
        // Each run is awaited to its spin at 0x208, past DT := 30.
        const auto spins = [&](int v1) {
            return runUntil(form, [&machine, v1] {
                return machine.State.ProgramCounter == 0x208 && machine.State.V[1] == v1;
            });
        };
        QVERIFY(spins(1));
        QCOMPARE(int(machine.State.V[1]), 1);

        QAction* vip = form.findChild<QAction*>(QStringLiteral("machineCosmacVip"));
        QVERIFY(vip);
        bool switched = false;
        QTimer::singleShot(50, &form, [&] {
            machine.State.V[5] = 7;
            vip->trigger();
            switched = true;
        });
        // The fresh run, and a frame or more of the delay timer after it.
        QVERIFY(runUntil(form, [&] {
            return switched && machine.State.ProgramCounter == 0x208 && machine.State.V[1] == 0 &&
                   machine.State.DelayTimer < 30;
        }));
        QVERIFY(switched);
        QVERIFY(vip->isChecked());
        QCOMPARE(machine.Kind().engine, Engine::Standard);
        QCOMPARE(int(machine.State.V[1]), 0);
        QCOMPARE(int(machine.State.V[5]), 0); // a fresh start
        QCOMPARE(int(machine.State.Memory[0x50]), 0xF0);
        QVERIFY(!timer1(form)->isActive());
        QVERIFY(form.frameClock().isActive());
        // The delay timer counts at 60 a second, on the machine's frames.
        QVERIFY(machine.State.DelayTimer < 30);

        form.findChild<QAction*>(QStringLiteral("machineKestrel"))->trigger();
        QVERIFY(spins(1));
        QCOMPARE(int(machine.State.V[1]), 1);
        QVERIFY(timer1(form)->isActive());
        QVERIFY(!form.frameClock().isActive());
    }

    // CPU › Speed: seven exclusive items, "Machine's own" checked at start, no
    // access key or shortcut; disabled on Kestrel's machine, which sets its
    // own pace; a speed lasts across machines until another is chosen.
    void speedMenuSetsTheStandardMachinesRate() {
        Form1 form;
        auto* cpu = form.findChild<QMenu*>(QStringLiteral("CPU"));
        auto* speed = form.findChild<QMenu*>(QStringLiteral("Speed"));
        QVERIFY(cpu && speed);
        QCOMPARE(cpu->actions().at(3), speed->menuAction());
        const QStringList expected = {"Machine's own",  "7 per frame",   "15 per frame",
                                      "30 per frame",   "100 per frame", "1000 per frame",
                                      "10000 per frame"};
        const QList<QAction*> items = speed->actions();
        QCOMPARE(items.size(), expected.size());
        for (int i = 0; i < items.size(); ++i) {
            QCOMPARE(items[i]->text(), expected[i]);
            QVERIFY(items[i]->isCheckable());
            QCOMPARE(items[i]->isChecked(), i == 0);
            QVERIFY(items[i]->shortcuts().isEmpty());
            QVERIFY(items[i]->actionGroup() && items[i]->actionGroup()->isExclusive());
        }
        QVERIFY(!speed->menuAction()->isEnabled());

        const auto choose = [&](const char* item) {
            form.findChild<QAction*>(QLatin1String(item))->trigger();
        };
        choose("machineCosmacVip");
        QVERIFY(speed->menuAction()->isEnabled());
        QCOMPARE(form.machine().Rate(), 15);
        items[5]->trigger();
        QCOMPARE(form.machine().Rate(), 1000);
        QVERIFY(!items[0]->isChecked());
        choose("machineModern");
        QVERIFY(speed->menuAction()->isEnabled());
        QCOMPARE(form.machine().Rate(), 1000);
        items[1]->trigger();
        QCOMPARE(form.machine().Rate(), 7);
        items[0]->trigger();
        QCOMPARE(form.machine().Rate(), 12);
        choose("machineKestrel");
        QVERIFY(!speed->menuAction()->isEnabled());
    }

    // The speed chosen is what each frame of the window's clock runs: a ROM
    // that adds 1 to I in a loop of two instructions counts them.
    void theSpeedChosenRunsEachFrame() {
        QTemporaryDir dir;
        const QString rom = writeRom(dir, "count.ch8", {0x6001, 0xF01E, 0x1202});
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.findChild<QAction*>(QStringLiteral("machineCosmacVip"))->trigger();
        form.machine().OpenRom(QFile::encodeName(rom).toStdString());
        for (const auto& [item, rate] : {std::pair{"SpeedMachinesOwn", 15}, {"Speed1000", 1000}}) {
            form.findChild<QAction*>(QLatin1String(item))->trigger();
            form.machine().Reset_Click();
            std::vector<std::int64_t> frames;
            form.frameClock().recordLateness(&frames);
            // Until a dozen frames have begun, which takes 0.2 s on a quiet machine.
            QVERIFY(runUntil(form, [&] { return frames.size() >= 12; }));
            form.frameClock().recordLateness(nullptr);
            const auto ran = static_cast<qint64>(2 * form.machine().State.IndexReg + 1);
            const auto begun = static_cast<qint64>(frames.size());
            QVERIFY2(begun >= 10, qPrintable(QString::number(begun)));
            // A frame or two may begin as the run ends, and run nothing.
            QVERIFY2(ran <= rate * begun + 1 && ran >= rate * (begun - 3),
                     qPrintable(QStringLiteral("%1 instructions in %2 frames at %3")
                                    .arg(ran)
                                    .arg(begun)
                                    .arg(rate)));
        }
    }

    void pauseCaptionNeverChanges() {
        Form1 form;
        QAction* pause = form.findChild<QAction*>(QStringLiteral("pausex"));
        QVERIFY(pause);
        pause->trigger();
        QVERIFY(form.machine().State.Paused);
        QCOMPARE(pause->text(), QStringLiteral("Pause"));
        QVERIFY(!pause->isChecked());
        pause->trigger();
        QVERIFY(!form.machine().State.Paused);
    }

    void aboutBoxSaysItsFiveLines() {
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QString text;
        QString title;
        int buttons = -1;
        QMessageBox::StandardButtons standard;
        QMessageBox::Icon icon = QMessageBox::Critical;
        whenModal<QMessageBox>([&](QMessageBox* box) {
            text = box->text();
            title = box->windowTitle();
            buttons = static_cast<int>(box->buttons().size());
            standard = box->standardButtons();
            icon = box->icon();
            box->button(QMessageBox::Ok)->click();
        });
        QAction* about = form.menuBar()->actions().at(2);
        about->trigger(); // returns once the box is closed
        QCOMPARE(title, QStringLiteral("About Kestrel"));
        QCOMPARE(buttons, 1);
        QCOMPARE(standard, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(icon, QMessageBox::NoIcon);

        const QByteArray bytes = text.toUtf8();
        const QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(lines.size(), 6); // five lines each ending in CR LF, then nothing
        QVERIFY(lines[5].isEmpty());
        for (int i = 0; i < 5; ++i)
            QVERIFY2(lines[i].endsWith('\r'), lines[i].constData());
        QVERIFY(lines[0].startsWith("Kestrel - "));
        QVERIFY(lines[0].size() > QByteArray("Kestrel - \r").size());
        QCOMPARE(lines[1], QByteArray("of a Chip8 Virtual Machine.\r"));
        QVERIFY(lines[2].toLower().contains("thank"));
        QVERIFY(lines[2].contains("source code"));
        QCOMPARE(lines[3], QByteArray("This release is beta and won't run many games, yet.\r"));
        QCOMPARE(lines[4], QByteArray("\r"));
        // Line 1 runs on into line 2: it ends in a word, not a full stop.
        QVERIFY(!lines[0].chopped(1).endsWith('.'));
        QCOMPARE(bytes.count("\r\n"), 5);
        QCOMPARE(bytes.count('\r'), 5);
    }

    void startUpLeavesTheDefaultsAndTicks() {
        Form1 form;
        const MachineState& state = form.machine().State;
        for (int i = 1; i <= 16; ++i)
            QCOMPARE(state.KeyMap[static_cast<std::size_t>(i)],
                     DefaultKeyMap[static_cast<std::size_t>(i)]);
        QCOMPARE(state.KeyMap[0], std::uint8_t{0});
        QCOMPARE(state.KeyPressed, 0);
        QCOMPARE(state.ProgramCounter, std::uint32_t{0});
        QVERIFY(!form.machine().RunActive());
        QCOMPARE(timer1(form)->interval(), 17);
        QCOMPARE(timer1(form)->timerType(), Qt::PreciseTimer);
        QVERIFY(timer1(form)->isActive());

        // The tick serves the delay timer while idle; nothing runs.
        form.machine().State.DelayTimer = 5;
        QTRY_COMPARE_WITH_TIMEOUT(static_cast<int>(form.machine().State.DelayTimer), 0, 10000);
        QCOMPARE(state.ProgramCounter, std::uint32_t{0});
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
