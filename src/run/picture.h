#pragma once

#include "machine/debugger.h"

#include <string>
#include <vector>

namespace kestrel::run {

// The picture as text, one line a row in the screen's current mode: '#' lit
// and '.' dark, or on a machine of two planes one digit 0-3 a pixel, the
// planes' bits.
std::vector<std::string> PictureText(const PictureView& picture);

} // namespace kestrel::run
