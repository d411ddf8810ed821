// The debugger window, opened from CPU › "Debugger...": it breaks a running
// program, steps with F11, stops at a breakpoint clicked in its disassembly,
// and leaves the program running once closed. On Kestrel's machine, whose
// run loop owns the thread, and on a standard one, whose frames come from
// the event loop; so every stage acts from the run's yields.

#include "app_test_support.h"
#include "debugger/debugger_window.h"
#include "debugger/disassembly_model.h"

#include <QAction>
#include <QLabel>
#include <QTableView>

using namespace kestrel;
using namespace kestrel::apptest;

class DebuggerWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void breaksStepsAndStopsAtAClickedBreakpoint_data() {
        QTest::addColumn<QString>("machine");
        QTest::newRow("Kestrel's machine") << QStringLiteral("machineKestrel");
        QTest::newRow("CHIP-8 (modern)") << QStringLiteral("machineModern");
    }

    void breaksStepsAndStopsAtAClickedBreakpoint() {
        QFETCH(QString, machine);
        QTemporaryDir dir;
        // 200 v0 := 0; 202 v0 += 1; 204 call 208; 206 jump 202; 208 v1 += 1; 20A return.
        const QString rom = writeRom(dir, QStringLiteral("loop.ch8"),
                                     {0x6000, 0x7001, 0x2208, 0x1202, 0x7101, 0x00EE});
        Form1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.machine().OpenRom(QFile::encodeName(rom).toStdString());
        form.findChild<QAction*>(machine)->trigger();
        Debugger& debugger = form.machine().Debug();
        DebuggerWindow* window = nullptr;
        const auto shown = [&](const char* label) {
            return window->findChild<QLabel*>(QLatin1String(label))->text();
        };
        const auto halted = [&] { return debugger.State() == ProgramState::Halted; };
        std::uint32_t from = 0;

        struct Stage {
            const char* what;
            std::function<void()> act;
            std::function<bool()> done;
        };
        const std::vector<Stage> stages = {
            {"CPU > Debugger... shows the window, active and attached",
             [&] {
                 form.findChild<QAction*>(QStringLiteral("Debugger"))->trigger();
                 window = form.findChild<DebuggerWindow*>();
             },
             [&] { return debugger.Attached() && QApplication::activeWindow() == window; }},
            {"F5 breaks", [&] { QTest::keyClick(window, Qt::Key_F5); }, halted},
            {"F11 steps one instruction, and the registers show where it went",
             [&] {
                 from = debugger.PC();
                 QTest::keyClick(window, Qt::Key_F11);
             },
             [&] {
                 return halted() && debugger.PC() != from &&
                        shown("registerPC") == RegisterText(RegPC, debugger.PC());
             }},
            {"a click on the line at 0x208 sets its breakpoint",
             [&] {
                 auto* view = window->findChild<QTableView*>(QStringLiteral("disassemblyView"));
                 for (int row = 0; row < view->model()->rowCount(); ++row) {
                     const QModelIndex line = view->model()->index(row, 0);
                     if (line.data(DisassemblyModel::AddressRole).toUInt() != 0x208) continue;
                     view->scrollTo(line);
                     QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                                       view->visualRect(line).center());
                 }
             },
             [&] { return debugger.HasBreakpoint(0x208); }},
            {"F5 runs on to it, and the status line says so",
             [&] { QTest::keyClick(window, Qt::Key_F5); },
             [&] {
                 return halted() && debugger.PC() == 0x208 &&
                        shown("debuggerStatus").startsWith("Halted: Breakpoint at 0x208");
             }},
            {"closing the window leaves the program running", [&] { window->close(); },
             [&] { return !debugger.Attached() && debugger.State() == ProgramState::Running; }},
        };
        std::size_t stage = 0;
        bool acted = false;
        const auto advance = [&] {
            for (; stage < stages.size(); ++stage, acted = false) {
                if (!acted) stages[stage].act();
                acted = true;
                if (!stages[stage].done()) return false;
            }
            return true;
        };
        QVERIFY(runUntil(form, advance));
        QVERIFY2(stage == stages.size(), stages[std::min(stage, stages.size() - 1)].what);
    }
};

QTEST_MAIN(DebuggerWindowTest)
#include "debugger_window_test.moc"
