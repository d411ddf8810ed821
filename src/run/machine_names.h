#pragma once

#include "base/platform.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestrel::run {

// The machine kestrel-run is asked for by its command-line name: a row of the
// platform table, by its commandName, or the ROM database's choice.
inline constexpr std::string_view DatabaseName = "database";

struct MachineChoice {
    const MachineKind* kind = nullptr; // none: as "From the ROM database" chooses
    bool fromDatabase() const { return kind == nullptr; }
};

// None for a name that is no machine's.
std::optional<MachineChoice> MachineByName(std::string_view name);
// Every name, in CPU › Machine's order, then "database": "kestrel, cosmac-vip, ...".
std::string MachineNameList();

} // namespace kestrel::run
