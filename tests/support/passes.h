#pragma once

#include "vm/cadence.h"

#include <cstdint>

namespace kestrel::testing {

// Yield counts and yield numbers worked out from the run loop's cadence, for
// runs whose every instruction opens with `handlerYields` yields (0 for
// programs of DXYN and unmatched words, or a paused run).

// The yields that `passes` passes make.
constexpr std::uint64_t YieldsOfPasses(std::uint64_t passes,
                                       std::uint64_t handlerYields = HandlerYields) {
    return passes * (PassYields + handlerYields);
}

// The number, counted from 1 over the run, of the `nth` yield of pass `pass`
// (from 1): nth 1 is a handler's opening yield, when it makes one.
constexpr std::uint64_t YieldOfPass(std::uint64_t pass, std::uint64_t nth = 1,
                                    std::uint64_t handlerYields = HandlerYields) {
    return YieldsOfPasses(pass - 1, handlerYields) + nth;
}

} // namespace kestrel::testing
