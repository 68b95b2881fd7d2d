// PngEncoder: writes 8-bit RGB or RGBA images as PNG bytes, deterministically.
//
// A plain function used by the data generator; the same pixels always give the same bytes
// (fixed filter choice, fixed zlib level, no time or text chunks). Not a general image
// library: no palettes, no 16-bit channels, no interlacing.
#pragma once

#include <cstdint>
#include <vector>

namespace content {

// pixels: height rows of width * channels bytes, top row first; channels is 3 or 4.
// Returns an empty vector when the arguments make no image.
std::vector<uint8_t> encodePng(int width, int height, int channels, const uint8_t* pixels);

}  // namespace content
