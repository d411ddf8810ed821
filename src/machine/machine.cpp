#include "machine/machine.h"

namespace kestrel {

Machine::Machine(Host& host) : host_(host) {}

void Machine::stopRunAtAddress(std::uint64_t address) {
    stopRun("Instruction " + instructionName() + " at address " +
            std::to_string(instructionAddress_) + " reached address " + std::to_string(address) +
            ", outside memory (0..8192).");
}

std::string Machine::instructionName() const {
    static constexpr char Hex[] = "0123456789ABCDEF";
    return {Hex[State.Nibble1 & 15], Hex[State.Nibble2 & 15], Hex[State.Nibble3 & 15],
            Hex[State.Nibble4 & 15]};
}

} // namespace kestrel
