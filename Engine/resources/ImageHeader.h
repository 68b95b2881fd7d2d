// ImageHeader: the size of an image file read from its header, before anything decodes it.
//
// The texture loader asks readImageHeader() about every file of the archive before DevIL
// sees it, so that an image whose header claims a size the engine will not take (a damaged
// or hostile file claiming 60000 x 60000 pixels) is refused before the decoder allocates
// its pixels. Only the formats whose header is read here are decoded at all: PNG and JPEG
// (the production's images), BMP and DDS (cube maps). Pure functions over bytes; no DevIL,
// no GL. Not a validator of the rest of the file: the decoder still checks the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

enum class ImageFormat { Unknown, Png, Jpeg, Bmp, Dds };

struct ImageHeader {
  ImageFormat format = ImageFormat::Unknown;
  uint64_t width = 0, height = 0;
  uint64_t layers = 1;  // depth slices times cube faces: images of width x height the decoder holds
  bool truncated = false;  // PNG: a chunk reaches past the end, or no end chunk (the decoder would spin on it)
};

// The largest side and the most pixels (all layers together) a texture may have.
constexpr uint64_t kMaxImageSide = 16384;
constexpr uint64_t kMaxImagePixels = kMaxImageSide * kMaxImageSide;

// The format and size the file's header names; format Unknown when no header was recognised
// (or it was cut short).
ImageHeader readImageHeader(const uint8_t* data, size_t size);

// "" when the image may be decoded (at most `maxPixels` in all layers), otherwise why not.
std::string imageHeaderProblem(const ImageHeader& header, uint64_t maxPixels = kMaxImagePixels);
