#pragma once

#include "base/platform.h"

#include <QObject>

#include <functional>

class QAction;
class QMenu;

namespace kestrel {

// CPU › Machine: Kestrel's own machine, the standard ones in the order of
// their history, and "From the ROM database", all radio items. The choice
// lasts until Kestrel closes; each start begins on Kestrel's machine.
class MachineMenu : public QObject {
    Q_OBJECT
  public:
    // Adds the submenu at the end of `cpu`. `choose` is called with the
    // machine an item stands for, `chooseFromDatabase` for the last item.
    MachineMenu(QMenu& cpu, std::function<void(const MachineKind&)> choose,
                std::function<void()> chooseFromDatabase);

  private:
    std::function<void(const MachineKind&)> choose_;
    std::function<void()> chooseFromDatabase_;
};

} // namespace kestrel
