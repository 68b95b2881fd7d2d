// Image: a floating-point RGBA canvas that the texture generators paint on, and the
// deterministic random numbers and hash noise they paint with.
//
// Painters work in linear 0..1 values; toPng() clamps, rounds and encodes (top row first).
// Random wraps std::mt19937 (whose sequence the C++ standard fixes) with our own conversion
// to floats, so the generated content is the same with every compiler and library.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace content {

struct Rgba {
  float r = 0, g = 0, b = 0, a = 1;
};

class Image {
 public:
  Image(int width, int height, Rgba fill = {});

  int width() const { return w; }
  int height() const { return h; }
  Rgba& at(int x, int y) { return pixels[size_t(y) * w + x]; }
  const Rgba& at(int x, int y) const { return pixels[size_t(y) * w + x]; }

  // Fills [x0, x1) x [y0, y1), clipped to the image.
  void fillRect(int x0, int y0, int x1, int y1, Rgba c);
  // Mixes c over [x0, x1) x [y0, y1) with weight c.a; the destination alpha is kept.
  void blendRect(int x0, int y0, int x1, int y1, Rgba c);
  // Adds c * weight to one pixel (clipped).
  void addPixel(int x, int y, Rgba c, float weight);

  std::vector<uint8_t> toPng(bool withAlpha) const;

 private:
  int w, h;
  std::vector<Rgba> pixels;
};

class Random {
 public:
  explicit Random(uint32_t seed) : engine(seed) {}
  float uniform() { return float(double(engine()) / 4294967296.0); }  // [0, 1)
  float uniform(float lo, float hi) { return lo + (hi - lo) * uniform(); }
  int below(int n) { return int(uniform() * float(n)) % n; }  // 0 .. n-1
  bool chance(float p) { return uniform() < p; }

 private:
  std::mt19937 engine;
};

// Integer hash noise in [0, 1) and smooth value noise over a lattice of the given period.
float hash01(int x, int y, int seed);
float valueNoise(float x, float y, int period, int seed);

float clamp01(float v);
float mixf(float a, float b, float t);
Rgba mix(Rgba a, Rgba b, float t);

}  // namespace content
