#pragma once

#include "base/platform.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kestrel::run {

// One key going down or up before frame `frame` runs (a tick on Kestrel's
// machine), frames counted from 0: at 0 the key is down from the start.
struct KeyEvent {
    std::uint64_t frame = 0;
    int key = 0; // a CHIP-8 key value 0..15, or Kestrel's keypad number 1..16
    bool down = true;
    bool operator==(const KeyEvent&) const = default;
};

// A script of --keys: events FRAME:KEY+ (press) and FRAME:KEY- (release),
// separated by commas, as in "10:5+,14:5-,20:A+". KEY is one hexadecimal
// digit 0-F on the standard machines, and a keypad number 1-16 in decimal on
// Kestrel's. The events come back in frame order, those of one frame in the
// script's order; otherwise a one-line message that names the bad event.
std::variant<std::vector<KeyEvent>, std::string> ParseKeyScript(std::string_view script,
                                                                Engine engine);

} // namespace kestrel::run
