#include "run/registers.h"

#include <cstdio>

namespace kestrel::run {

namespace {

std::string line(const char* name, unsigned long long value, int digits) {
    char text[40];
    std::snprintf(text, sizeof text, "%s=%0*llX\n", name, digits, value);
    return text;
}

} // namespace

std::string RegisterLines(const MachineState& state) {
    std::string lines;
    for (int k = 0; k < 16; ++k) {
        const char name[] = {'V', "0123456789ABCDEF"[k], '\0'};
        lines += line(name, state.V[static_cast<std::size_t>(k)], 2);
    }
    lines += line("I", state.IndexReg, 4);
    lines += line("PC", state.ProgramCounter, 4);
    lines += line("SP", static_cast<unsigned>(state.StackPointer), 2);
    lines += line("DT", state.DelayTimer, 2);
    lines += line("ST", state.SoundTimer, 2);
    return lines;
}

} // namespace kestrel::run
