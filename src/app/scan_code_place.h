#pragma once

#include "base/key_place.h"

#include <cstdint>

namespace kestrel {

// The place in the letter block of the key with this native scan code. On
// xcb and Wayland, the platforms Kestrel runs on, Qt's native scan code is the
// X keycode (the kernel's evdev code + 8), which names the key's place on the
// keyboard whatever the layout prints on it. Any other key has no place.
KeyPlace PlaceOfScanCode(std::uint32_t nativeScanCode);

} // namespace kestrel
