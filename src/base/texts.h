#pragma once

#include <string>

namespace kestrel {

// The status label while FX0A or a remap button waits for a key. Made once:
// the text is too long to live inside a string object, and a wait for a key
// must not allocate each time it begins.
inline const std::string WaitingText = "Waiting for key...";

} // namespace kestrel
