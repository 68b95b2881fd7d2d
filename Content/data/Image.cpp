#include "data/Image.h"

#include <algorithm>
#include <cmath>

#include "data/PngEncoder.h"

namespace content {

Image::Image(int width, int height, Rgba fill) : w(width), h(height), pixels(size_t(width) * height, fill) {}

void Image::fillRect(int x0, int y0, int x1, int y1, Rgba c) {
  x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, w), y1 = std::min(y1, h);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) at(x, y) = c;
}

void Image::blendRect(int x0, int y0, int x1, int y1, Rgba c) {
  x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, w), y1 = std::min(y1, h);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      Rgba& d = at(x, y);
      d.r = mixf(d.r, c.r, c.a), d.g = mixf(d.g, c.g, c.a), d.b = mixf(d.b, c.b, c.a);
    }
}

void Image::addPixel(int x, int y, Rgba c, float weight) {
  if (x < 0 || y < 0 || x >= w || y >= h) return;
  Rgba& d = at(x, y);
  d.r += c.r * weight, d.g += c.g * weight, d.b += c.b * weight;
}

std::vector<uint8_t> Image::toPng(bool withAlpha) const {
  int channels = withAlpha ? 4 : 3;
  std::vector<uint8_t> bytes;
  bytes.reserve(pixels.size() * channels);
  auto q = [](float v) { return uint8_t(std::lround(clamp01(v) * 255.0f)); };
  for (const Rgba& p : pixels) {
    bytes.push_back(q(p.r));
    bytes.push_back(q(p.g));
    bytes.push_back(q(p.b));
    if (withAlpha) bytes.push_back(q(p.a));
  }
  return encodePng(w, h, channels, bytes.data());
}

float hash01(int x, int y, int seed) {
  uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + uint32_t(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return float(h & 0xffffffu) / 16777216.0f;
}

float valueNoise(float x, float y, int period, int seed) {
  int xi = int(std::floor(x)), yi = int(std::floor(y));
  float fx = x - float(xi), fy = y - float(yi);
  auto wrap = [period](int v) { return ((v % period) + period) % period; };
  float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  float a = hash01(wrap(xi), wrap(yi), seed), b = hash01(wrap(xi + 1), wrap(yi), seed);
  float c = hash01(wrap(xi), wrap(yi + 1), seed), d = hash01(wrap(xi + 1), wrap(yi + 1), seed);
  return mixf(mixf(a, b, sx), mixf(c, d, sx), sy);
}

float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
float mixf(float a, float b, float t) { return a + (b - a) * t; }
Rgba mix(Rgba a, Rgba b, float t) { return {mixf(a.r, b.r, t), mixf(a.g, b.g, t), mixf(a.b, b.b, t), mixf(a.a, b.a, t)}; }

}  // namespace content
