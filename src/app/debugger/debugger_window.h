#pragma once

#include "debugger/debug_controls.h"
#include "debugger/debug_snapshot.h"

#include <QTimer>
#include <QWidget>

#include <optional>

class QLabel;

namespace kestrel {

class DisassemblyPane;
class MemoryPane;
class RegistersPane;
class StackPane;

// The debugger: a second top-level window beside the main one, which keeps
// working meanwhile. Showing it attaches the debugger to the machine;
// closing it detaches, and a halted program runs on as before the break.
//
// While it is shown it looks at the machine 10 times a second and repaints
// only the panes whose contents changed: nothing is done per instruction.
// The user's own steps show at once, a stop while running within a tenth of
// a second. Ten is enough to follow a running program, and it is the
// painting of the panes' text that costs: at 30 a second the window took 7 %
// of a core beside the main window's 1 %, at 10 it takes 3 %.
class DebuggerWindow : public QWidget {
    Q_OBJECT
  public:
    static constexpr int RefreshMs = 100;
    DebuggerWindow(Debugger& debugger, QWidget* parent);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void run(const DebugControls::Command& command);
    void toggleBreakpoint(std::uint32_t address);
    void say(const QString& message);
    void refresh(bool force = false);

    Debugger& debugger_;
    DebugControls* controls_ = nullptr;
    RegistersPane* registers_ = nullptr;
    StackPane* stack_ = nullptr;
    DisassemblyPane* disassembly_ = nullptr;
    MemoryPane* memory_ = nullptr;
    QLabel* message_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer refresh_{this};
    std::optional<DebugSnapshot> shown_;
    RegisterValues since_{}; // the registers when the program was last sent on
    bool showPcInMemory_ = false;
};

} // namespace kestrel
