#include "machine/machine.h"
#include "support/rom_runner.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace kestrel::testing {
namespace {

// One program for most cases: a call, a store and a delay to watch.
const std::vector<std::uint16_t> Program = {
    0x6F3C, // 200: vF := 60
    0xFF15, // 202: delay := vF
    0x6001, // 204: v0 := 1
    0x2210, // 206: call 210
    0x7001, // 208: v0 += 1
    0xA300, // 20A: i := 300
    0xF055, // 20C: save v0
    0x120E, // 20E: jump 20E
    0x6105, // 210: v1 := 5
    0x00EE, // 212: return
};

// A session is a list of steps, tried in turn whenever the machine comes up
// for air: at each yield on Kestrel's machine, before each frame on the
// standard ones, as the debugger window's events would come. A step answers
// whether it is done; the next waits until it is.
struct Session {
    RomRunner& runner;
    Debugger& debug() { return runner.machine.Debug(); }
    bool standard() const { return runner.machine.Kind().engine == Engine::Standard; }
    bool halted() { return debug().State() == ProgramState::Halted; }
    std::vector<std::uint32_t> held; // what a step noted for a later one
};
using Step = std::function<bool(Session&)>;

Step act(std::function<void(Session&)> what) {
    return [what](Session& s) {
        what(s);
        return true;
    };
}
Step untilHalted() {
    return [](Session& s) { return s.halted(); };
}
// `count` more chances, during which the machine may run if it is free to.
Step wait(int count) {
    auto left = std::make_shared<int>(count);
    return [left](Session&) { return (*left)-- <= 0; };
}

struct Case {
    const char* name;
    std::vector<std::uint16_t> program;
    std::vector<Step> steps;
};

const std::vector<Case> Cases = {
    {"a break holds the program and its timers",
     Program,
     {[](Session& s) { return s.debug().DelayTimer() > 1; },
      act([](Session& s) { s.debug().Break(); }), wait(300), act([](Session& s) {
          s.held = {s.debug().PC(), s.debug().DelayTimer()};
      }),
      wait(300), act([](Session& s) {
          s.runner.machine.Timer1_Timer();
          EXPECT_TRUE(s.halted());
          EXPECT_EQ(s.debug().PC(), s.held[0]);
          EXPECT_EQ(s.debug().DelayTimer(), s.held[1]);
      })}},
    {"a breakpoint, then step over the call",
     Program,
     {act([](Session& s) { EXPECT_TRUE(s.debug().SetBreakpoint(0x206)); }), untilHalted(),
      act([](Session& s) {
          EXPECT_EQ(s.debug().Stop().cause, StopCause::Breakpoint);
          EXPECT_EQ(s.debug().PC(), 0x206u);
          s.debug().StepOver();
      }),
      untilHalted(), act([](Session& s) {
          EXPECT_EQ(s.debug().PC(), 0x208u);
          EXPECT_EQ(s.debug().V()[1], 5);
          EXPECT_EQ(s.debug().SP(), 0);
      })}},
    {"step into the call, then out of it",
     Program,
     {act([](Session& s) { s.debug().SetBreakpoint(0x206); }), untilHalted(),
      act([](Session& s) { s.debug().Step(); }), untilHalted(), act([](Session& s) {
          EXPECT_EQ(s.debug().PC(), 0x210u);
          EXPECT_EQ(s.debug().Stack(), std::vector<std::uint32_t>{0x208});
          EXPECT_EQ(s.debug().StepOut(), StepResult::Started);
      }),
      untilHalted(), act([](Session& s) { EXPECT_EQ(s.debug().PC(), 0x208u); })}},
    {"a watched byte written",
     Program,
     {act([](Session& s) {
          EXPECT_TRUE(s.debug().WatchMemory({0x2FF, 0x300}));
      }),
      untilHalted(), act([](Session& s) {
          EXPECT_EQ(s.debug().Stop().cause, StopCause::MemoryWrite);
          EXPECT_EQ(s.debug().Stop().address, 0x20Cu);
          EXPECT_EQ(s.debug().Memory()[0x300], 2);
      })}},
    {"a register taking a value",
     Program,
     {act([](Session& s) {
          EXPECT_TRUE(s.debug().WatchRegister({0, 2}));
      }),
      untilHalted(), act([](Session& s) {
          EXPECT_EQ(s.debug().Stop().cause, StopCause::RegisterValue);
          EXPECT_EQ(s.debug().PC(), 0x20Au);
      })}},
    {"a fault held before its message",
     {0x6000, 0x00EE},
     {act([](Session& s) { s.debug().Attach(); }), untilHalted(), act([](Session& s) {
          EXPECT_EQ(s.debug().Stop().cause, StopCause::Fault);
          EXPECT_EQ(s.debug().Stop().address, 0x202u);
          EXPECT_TRUE(s.runner.host.faults.empty());
          s.debug().Continue();
          EXPECT_EQ(s.runner.host.faults.size(), 1u);
      })}},
    {"step back through a return and a call",
     Program,
     {act([](Session& s) { s.debug().SetBreakpoint(0x20A); }), untilHalted(), act([](Session& s) {
          if (!s.standard()) {
              EXPECT_EQ(s.debug().StepBack(), StepResult::NotOnMachine);
              return;
          }
          EXPECT_EQ(s.debug().StepBack(), StepResult::Done);
          EXPECT_EQ(s.debug().PC(), 0x208u);
          EXPECT_EQ(s.debug().V()[0], 1);
          s.debug().StepBack();
          EXPECT_EQ(s.debug().PC(), 0x212u);
          EXPECT_EQ(s.debug().SP(), 1);
      })}},
    {"random draws replayed exactly",
     {0xC0FF, 0xC1FF, 0xC2FF, 0x1206},
     {act([](Session& s) { s.debug().SetBreakpoint(0x206); }), untilHalted(), act([](Session& s) {
          if (!s.standard()) return;
          // Back, the replay draws what the run drew; forward again, too.
          const auto drawn = s.debug().V();
          s.debug().StepBack();
          EXPECT_EQ(s.debug().V()[1], drawn[1]);
          s.debug().StepBack();
          s.debug().StepBack();
          EXPECT_EQ(s.debug().PC(), 0x200u);
          for (int k = 0; k < 3; ++k)
              s.debug().Step();
          EXPECT_EQ(s.debug().V(), drawn);
      })}},
    {"back one frame, at one instruction a frame",
     Program,
     {act([](Session& s) {
          s.runner.machine.SetSpeed(1);
          s.debug().SetBreakpoint(0x20A);
      }),
      untilHalted(), act([](Session& s) {
          if (!s.standard()) {
              EXPECT_EQ(s.debug().BackOneFrame(), StepResult::NotOnMachine);
              return;
          }
          const auto delay = s.debug().DelayTimer();
          EXPECT_EQ(s.debug().BackOneFrame(), StepResult::Done);
          EXPECT_EQ(s.debug().PC(), 0x208u);
          EXPECT_EQ(s.debug().DelayTimer(), delay + 1);
      })}},
    {"what cannot be done is refused",
     {0xF00A},
     {act([](Session& s) {
          EXPECT_FALSE(
              s.debug().SetBreakpoint(static_cast<std::uint32_t>(s.debug().Memory().size())));
          EXPECT_FALSE(s.debug().WatchMemory({0x300, 0x2FF}));
          if (!s.standard()) {
              EXPECT_EQ(s.debug().StepFrame(), StepResult::NotOnMachine);
          }
      }),
      [](Session& s) { return s.debug().State() == ProgramState::WaitingForKey; },
      act([](Session& s) { EXPECT_EQ(s.debug().Step(), StepResult::WaitingForKey); })}},
    {"closing the debugger while halted runs the program on",
     Program,
     {act([](Session& s) { s.debug().Break(); }), act([](Session& s) { s.debug().Detach(); }),
      wait(2), act([](Session& s) { EXPECT_EQ(s.debug().State(), ProgramState::Running); })}},
    {"a reset while halted starts halted at the first instruction",
     Program,
     {wait(3), act([](Session& s) { s.debug().Break(); }),
      act([](Session& s) { s.runner.machine.Reset_Click(); }), wait(3), act([](Session& s) {
          EXPECT_TRUE(s.halted());
          EXPECT_EQ(s.debug().PC(), 0x200u);
      })}},
};

// Every case on every machine, Kestrel's own included.
TEST(Debugger, EveryCaseOnEveryMachine) {
    const MachineKind* kinds[] = {&KestrelMachine, &CosmacVipMachine, &ModernChip8Machine,
                                  &SuperChipModernMachine, &XoChipMachine};
    for (const MachineKind* kind : kinds) {
        for (const Case& c : Cases) {
            SCOPED_TRACE(std::string(kind->name) + ": " + c.name);
            RomRunner runner(*kind);
            runner.load(c.program);
            Session session{runner, {}};
            std::size_t next = 0;
            const auto serve = [&] {
                while (next < c.steps.size() && c.steps[next](session))
                    ++next;
                if (next == c.steps.size() && !session.standard()) runner.machine.EndAllRuns();
            };
            if (session.standard()) {
                runner.everyFrame = serve;
                runner.runFrames(300);
            } else {
                runner.host.everyYield = serve;
                runner.resetAndRun(200000);
            }
            serve(); // the event loop's turn once a run of Kestrel's machine has stopped
            EXPECT_EQ(next, c.steps.size()) << "the session stopped at step " << next;
        }
    }
}

} // namespace
} // namespace kestrel::testing
