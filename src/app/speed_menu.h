#pragma once

#include <QObject>

class QActionGroup;
class QMenu;

namespace kestrel {

class Machine;

// CPU › Speed: how many instructions a frame the standard machines run.
// "Machine's own" gives back the rate of the machine chosen, whatever set it
// (its default, or a rate chosen for the ROM); any other item replaces it
// from the next frame until another is chosen or Kestrel closes. Kestrel's
// machine sets its own pace, so the submenu is disabled while it runs.
class SpeedMenu : public QObject {
    Q_OBJECT
  public:
    // Adds the submenu at the end of `cpu`.
    SpeedMenu(QMenu& cpu, Machine& machine);

    // Enables the submenu for a standard machine: called when a machine is
    // chosen, and again whenever the CPU menu opens, so that the menu is
    // right whatever chose the machine.
    void followMachine();

  private:
    Machine& machine_;
    QMenu* menu_ = nullptr;
};

} // namespace kestrel
