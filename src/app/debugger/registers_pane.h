#pragma once

#include "debugger/debug_snapshot.h"

#include <QGroupBox>

#include <array>

class QLabel;

namespace kestrel {

// V0-VF, I, PC, SP, DT and ST, each value in bold red while it differs
// from what it was at the last stop.
class RegistersPane : public QGroupBox {
    Q_OBJECT
  public:
    explicit RegistersPane(QWidget* parent = nullptr);
    // `since`: the values at the last stop.
    void show(const RegisterValues& values, const RegisterValues& since);

  private:
    std::array<QLabel*, RegisterCount> values_{};
    std::array<bool, RegisterCount> marked_{};
};

} // namespace kestrel
