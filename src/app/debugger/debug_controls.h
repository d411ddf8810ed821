#pragma once

#include "machine/debugger.h"

#include <QWidget>

#include <functional>
#include <optional>

class QAction;

namespace kestrel {

// The row of run-control buttons. Each has a shortcut of its own that
// belongs to the debugger window alone (the main window gives every key to
// the program):
//   F5 continue, or break while running; F10 step over; F11 step into;
//   Shift+F11 step out; F8 step one frame; Shift+F8 back one frame;
//   F7 step back.
// Each command goes to `run`, which calls it on the debugger and shows what it did.
class DebugControls : public QWidget {
    Q_OBJECT
  public:
    using Command = std::function<StepResult(Debugger&)>;
    // The shortcuts are `window`'s; `run` runs a command the user chose.
    DebugControls(QWidget& window, std::function<void(const Command&)> run);
    // F5 continues a halted program and breaks a running one.
    void followState(bool halted);

  private:
    std::function<void(const Command&)> run_;
    QAction* continue_ = nullptr;
    std::optional<bool> halted_;
};

} // namespace kestrel
