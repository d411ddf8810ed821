#pragma once

#include "base/machine_state.h"

#include <string>

namespace kestrel::run {

// V0-VF, I, PC, SP, DT and ST, one NAME=HEX a line: V and the timers in two
// digits, I and PC in four, SP (the return addresses held) in two.
std::string RegisterLines(const MachineState& state);

} // namespace kestrel::run
