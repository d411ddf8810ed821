#pragma once

#include "debugger/debug_snapshot.h"

#include <QGroupBox>

#include <cstdint>

class QTableView;

namespace kestrel {

class DisassemblyModel;

// The instructions around the program counter, in the running machine's
// instruction set. The listing follows PC: it moves on when PC comes near
// its end or leaves it. A click on a line asks for its breakpoint to toggle.
class DisassemblyPane : public QGroupBox {
    Q_OBJECT
  public:
    explicit DisassemblyPane(QWidget* parent = nullptr);
    void show(const DebugSnapshot& snapshot);

  signals:
    void lineClicked(std::uint32_t address);

  private:
    bool place(const DebugSnapshot& snapshot); // true: the lines changed

    DisassemblyModel* model_ = nullptr;
    QTableView* view_ = nullptr;
    std::uint32_t from_ = 0;
    std::uint32_t to_ = 0;
    std::uint32_t shownPc_ = UINT32_MAX;
};

} // namespace kestrel
