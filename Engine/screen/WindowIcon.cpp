#include "screen/WindowIcon.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

struct Colour {
  float r, g, b;
};

Colour mix(Colour a, Colour b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Deterministic noise for the building heights and lit windows.
uint32_t hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

// The picture at a point of the unit square (u right, v down).
Colour scene(float u, float v) {
  const Colour skyTop{0.10f, 0.06f, 0.28f}, skyLow{0.98f, 0.45f, 0.20f};
  const float horizon = 0.62f, roadTop = 0.74f;

  Colour c = mix(skyTop, skyLow, std::clamp(v / horizon, 0.0f, 1.0f));
  // Low sun behind the towers.
  float du = u - 0.68f, dv = v - 0.50f;
  if (du * du + dv * dv < 0.018f) c = mix(c, Colour{1.0f, 0.86f, 0.45f}, 0.9f);

  // Skyline: 10 columns of towers with hashed heights.
  int column = std::clamp(static_cast<int>(u * 10.0f), 0, 9);
  float top = 0.22f + 0.30f * static_cast<float>(hash(column + 7) % 100) / 100.0f;
  if (v >= top && v < roadTop) {
    c = {0.07f, 0.06f, 0.14f};
    int wx = static_cast<int>(u * 40.0f), wy = static_cast<int>(v * 40.0f);
    bool window = (wx % 2 == 1) && (wy % 2 == 1) && (hash(wx * 131 + wy * 17) % 3 == 0);
    if (window && v < horizon + 0.08f) c = {1.0f, 0.82f, 0.35f};
  }

  // Road with a lane marking.
  if (v >= roadTop) {
    c = {0.16f, 0.16f, 0.19f};
    if (std::fabs(v - 0.90f) < 0.012f && std::fmod(u * 6.0f, 1.0f) < 0.5f) c = {0.9f, 0.9f, 0.8f};
  }

  // The car: a red body with a cabin, two wheels and a headlight.
  auto inBox = [&](float x0, float y0, float x1, float y1) { return u >= x0 && u < x1 && v >= y0 && v < y1; };
  if (inBox(0.18f, 0.70f, 0.78f, 0.82f)) c = {0.85f, 0.08f, 0.10f};
  if (inBox(0.32f, 0.61f, 0.64f, 0.71f)) c = {0.70f, 0.05f, 0.08f};
  if (inBox(0.36f, 0.63f, 0.60f, 0.70f)) c = {0.55f, 0.75f, 0.95f};
  for (float wheel : {0.31f, 0.65f}) {
    float x = u - wheel, y = v - 0.83f;
    if (x * x + y * y < 0.0042f) c = {0.05f, 0.05f, 0.05f};
  }
  if (inBox(0.74f, 0.72f, 0.78f, 0.76f)) c = {1.0f, 0.97f, 0.7f};
  return c;
}

}  // namespace

std::vector<unsigned char> makeWindowIcon(int size) {
  size = std::clamp(size, 16, 256);
  std::vector<unsigned char> pixels(static_cast<size_t>(size) * size * 4);
  const float radius = 0.18f;
  const int grid = 4;  // 4 × 4 samples per pixel smooth the edges
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      Colour sum{0, 0, 0};
      float coverage = 0;
      for (int sy = 0; sy < grid; ++sy) {
        for (int sx = 0; sx < grid; ++sx) {
          float u = (x + (sx + 0.5f) / grid) / size, v = (y + (sy + 0.5f) / grid) / size;
          // Rounded-square outline: outside the corner circles the icon is transparent.
          float cx = std::clamp(u, radius, 1 - radius), cy = std::clamp(v, radius, 1 - radius);
          if ((u - cx) * (u - cx) + (v - cy) * (v - cy) > radius * radius) continue;
          Colour c = scene(u, v);
          sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
          coverage += 1;
        }
      }
      unsigned char* p = &pixels[(static_cast<size_t>(y) * size + x) * 4];
      float n = coverage > 0 ? coverage : 1;
      p[0] = static_cast<unsigned char>(std::lround(255 * sum.r / n));
      p[1] = static_cast<unsigned char>(std::lround(255 * sum.g / n));
      p[2] = static_cast<unsigned char>(std::lround(255 * sum.b / n));
      p[3] = static_cast<unsigned char>(std::lround(255 * coverage / (grid * grid)));
    }
  }
  return pixels;
}
