// Texture: an image of the data archive and, once loaded, its GL texture.
//
// A plain holder owned by demo code: the owner sets `source` (the archive path) before
// loading; the texture loader then stores the GL texture name in `crc`. The texture lives
// until the program ends. Scene files use the schema message Kestrel::Texture instead.
#pragma once

#include <cstdint>
#include <string>

struct Texture {
  uint32_t crc = 0;    // GL texture name once loaded, 0 before
  std::string source;  // archive path of the image
};
