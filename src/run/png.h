#pragma once

#include "run/picture.h"

#include <string>

namespace kestrel::run {

// The picture as a PNG file's bytes, one pixel a CHIP-8 pixel in its colours:
// 8-bit RGB, its image data in stored (uncompressed) deflate blocks, which
// every reader takes and which need no compressor.
std::string EncodePng(const PictureView& picture);

} // namespace kestrel::run
