#pragma once

#include <string>

namespace kestrel {

// The caption a remap button shows for a host key code: the character with
// that code in Windows-1252, as UTF-8. Control characters show as their
// Unicode control pictures (Enter as U+240D), since they have no look.
std::string KeyCaption(int keyCode);

} // namespace kestrel
