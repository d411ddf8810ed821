#include "run/machine_names.h"

namespace kestrel::run {

std::optional<MachineChoice> MachineByName(std::string_view name) {
    if (name == DatabaseName) return MachineChoice{};
    for (const MachineKind* kind : Platforms) {
        if (kind->commandName == name) return MachineChoice{kind};
    }
    return std::nullopt;
}

std::string MachineNameList() {
    std::string list;
    for (const MachineKind* kind : Platforms)
        list += std::string(kind->commandName) + ", ";
    return list + std::string(DatabaseName);
}

} // namespace kestrel::run
