#include "data/PngEncoder.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace content {
namespace {

void put32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v >> 24));
  out.push_back(uint8_t(v >> 16));
  out.push_back(uint8_t(v >> 8));
  out.push_back(uint8_t(v));
}

void putChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  put32(out, uint32_t(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  uLong crc = crc32(0L, out.data() + start, uInt(out.size() - start));
  put32(out, uint32_t(crc));
}

uint8_t paeth(int a, int b, int c) {
  int p = a + b - c;
  int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return uint8_t(a);
  if (pb <= pc) return uint8_t(b);
  return uint8_t(c);
}

// Filters one row with each of the five PNG filters and keeps the one with the smallest sum
// of absolute values, the usual heuristic; ties go to the lower filter number.
void filterRow(const uint8_t* row, const uint8_t* prev, size_t len, int bpp, std::vector<uint8_t>& out) {
  std::vector<uint8_t> best, trial(len);
  uint64_t bestScore = UINT64_MAX;
  for (int f = 0; f < 5; ++f) {
    uint64_t score = 0;
    for (size_t i = 0; i < len; ++i) {
      int a = i >= size_t(bpp) ? row[i - bpp] : 0;
      int b = prev ? prev[i] : 0;
      int c = (prev && i >= size_t(bpp)) ? prev[i - bpp] : 0;
      int x = row[i];
      uint8_t v = 0;
      switch (f) {
        case 0: v = uint8_t(x); break;
        case 1: v = uint8_t(x - a); break;
        case 2: v = uint8_t(x - b); break;
        case 3: v = uint8_t(x - ((a + b) >> 1)); break;
        case 4: v = uint8_t(x - paeth(a, b, c)); break;
      }
      trial[i] = v;
      score += v < 128 ? v : 256 - v;
    }
    if (score < bestScore) {
      bestScore = score;
      best.assign(1, uint8_t(f));
      best.insert(best.end(), trial.begin(), trial.end());
    }
  }
  out.insert(out.end(), best.begin(), best.end());
}

}  // namespace

std::vector<uint8_t> encodePng(int width, int height, int channels, const uint8_t* pixels) {
  if (width <= 0 || height <= 0 || (channels != 3 && channels != 4) || !pixels) return {};
  size_t rowLen = size_t(width) * channels;
  std::vector<uint8_t> raw;
  raw.reserve((rowLen + 1) * height);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = pixels + rowLen * y;
    filterRow(row, y ? row - rowLen : nullptr, rowLen, channels, raw);
  }
  uLongf packedLen = compressBound(uLong(raw.size()));
  std::vector<uint8_t> packed(packedLen);
  if (compress2(packed.data(), &packedLen, raw.data(), uLong(raw.size()), 6) != Z_OK) return {};
  packed.resize(packedLen);

  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::vector<uint8_t> ihdr;
  put32(ihdr, uint32_t(width));
  put32(ihdr, uint32_t(height));
  ihdr.push_back(8);                         // bits per channel
  ihdr.push_back(channels == 4 ? 6 : 2);     // colour type: RGBA or RGB
  ihdr.push_back(0);                         // deflate
  ihdr.push_back(0);                         // adaptive filtering
  ihdr.push_back(0);                         // no interlace
  putChunk(out, "IHDR", ihdr);
  putChunk(out, "IDAT", packed);
  putChunk(out, "IEND", {});
  return out;
}

}  // namespace content
