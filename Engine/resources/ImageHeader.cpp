#include "resources/ImageHeader.h"

#include <cstring>

namespace {

uint32_t bigEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}
uint32_t bigEndian16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 8 | p[1]; }
uint32_t littleEndian32(const uint8_t* p) {
  return static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
}
uint32_t littleEndian16(const uint8_t* p) { return static_cast<uint32_t>(p[1]) << 8 | p[0]; }

// The first start-of-frame segment of a JPEG stream carries its height and width.
ImageHeader jpegHeader(const uint8_t* data, size_t size) {
  size_t at = 2;
  while (at + 4 <= size) {
    if (data[at] != 0xFF) return {};
    const uint8_t marker = data[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if ((marker >= 0xD0 && marker <= 0xD9) || marker == 0x01) {  // no length follows
      at += 2;
      continue;
    }
    const size_t length = bigEndian16(data + at + 2);
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 7 || at + 9 > size) return {};
      return {ImageFormat::Jpeg, bigEndian16(data + at + 7), bigEndian16(data + at + 5), 1};
    }
    if (length < 2) return {};
    at += 2 + length;
  }
  return {};
}

// Every chunk of a PNG file lies inside the file and the end chunk is there: DevIL's reader
// keeps asking for data past the end of a cut file instead of stopping.
bool pngChunksFit(const uint8_t* data, size_t size) {
  size_t at = 8;
  while (at + 12 <= size) {
    const size_t length = bigEndian32(data + at);
    if (length > size - at - 12) return false;
    if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
    at += 12 + length;
  }
  return false;
}

}  // namespace

ImageHeader readImageHeader(const uint8_t* data, size_t size) {
  static const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (size >= 24 && std::memcmp(data, png, 8) == 0 && std::memcmp(data + 12, "IHDR", 4) == 0)
    return {ImageFormat::Png, bigEndian32(data + 16), bigEndian32(data + 20), 1, !pngChunksFit(data, size)};
  if (size >= 4 && data[0] == 0xFF && data[1] == 0xD8) return jpegHeader(data, size);
  if (size >= 26 && data[0] == 'B' && data[1] == 'M') {
    if (littleEndian32(data + 14) == 12)  // the old core header: 16-bit sizes
      return {ImageFormat::Bmp, littleEndian16(data + 18), littleEndian16(data + 20), 1};
    // The height is negative for rows stored top first.
    const int32_t height = static_cast<int32_t>(littleEndian32(data + 22));
    const int32_t width = static_cast<int32_t>(littleEndian32(data + 18));
    const uint64_t rows = height < 0 ? uint64_t{0} - static_cast<uint64_t>(static_cast<int64_t>(height)) : height;
    return {ImageFormat::Bmp, width < 0 ? uint64_t{0} : static_cast<uint64_t>(width), rows, 1};
  }
  if (size >= 128 && std::memcmp(data, "DDS ", 4) == 0) {
    const uint32_t flags = littleEndian32(data + 8);
    const uint64_t depth = (flags & 0x800000u) ? littleEndian32(data + 24) : 1;
    const uint64_t faces = (littleEndian32(data + 112) & 0x200u) ? 6 : 1;  // a cube map
    return {ImageFormat::Dds, littleEndian32(data + 16), littleEndian32(data + 12), (depth ? depth : 1) * faces};
  }
  return {};
}

std::string imageHeaderProblem(const ImageHeader& header, uint64_t maxPixels) {
  if (header.format == ImageFormat::Unknown) return "not a PNG, JPEG, BMP or DDS image (or its header is cut short)";
  const std::string size = std::to_string(header.width) + "x" + std::to_string(header.height);
  if (header.width == 0 || header.height == 0) return "image size " + size + " not supported";
  if (header.width > kMaxImageSide || header.height > kMaxImageSide)
    return "image size " + size + " not supported (at most " + std::to_string(kMaxImageSide) + " a side)";
  // Each factor is at most 2^32, so the product of the two sides cannot overflow; the
  // layers are compared by division.
  const uint64_t pixels = header.width * header.height;
  if (header.layers > maxPixels / pixels)
    return "image size " + size + " x " + std::to_string(header.layers) + " layers not supported (at most " +
           std::to_string(maxPixels) + " pixels)";
  if (header.truncated) return "damaged PNG file: a chunk reaches past the end of the file, or the end chunk is missing";
  return "";
}
