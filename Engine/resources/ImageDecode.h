// ImageDecode: an image file's bytes decoded by DevIL into BGRA pixels, ready for GL.
//
// The decoding half of the texture loader, kept apart from the GL upload so that it can be
// run (and fuzzed) without a GL context. decodeImage() first reads the header
// (ImageHeader.h) and refuses a format it does not know or a size the engine will not take,
// so DevIL never allocates for such a file; then it decodes, and copies image 0 (bottom row
// first) or, for a file of six images, the six cube faces (top row first). Writes the
// loader's log lines as it goes. DevIL must have been initialised (ilInit); main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "resources/ImageHeader.h"

class Logger;

struct DecodedImage {
  int width = 0, height = 0;
  bool cube = false;                  // six faces, +X, -X, +Y, -Y, +Z, -Z
  std::vector<unsigned char> pixels;  // width x height x 4 bytes per face
};

// Initialises DevIL once for a program that has no Runtime (the tools, the importer's checks).
void ensureImageDecoder();

// 0 with `image` filled; 1 after logging why not. `maxPixels` bounds all layers together
// (the engine's limit unless a caller wants a smaller one).
int decodeImage(Logger& log, const uint8_t* data, size_t size, DecodedImage& image,
                uint64_t maxPixels = kMaxImagePixels);
