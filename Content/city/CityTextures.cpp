#include "city/CityTextures.h"

#include <cmath>
#include <cstring>

#include "data/Image.h"

namespace content {
namespace {

constexpr float kPi = 3.14159265358979f;

struct FacadeStyle {
  Rgba wall, glass, warmLit, coolLit;
  float litShare;
  int mullion;  // frame width in pixels around each window
};

FacadeStyle facadeStyle(int style) {
  switch (style) {
    case 0:
      return {{0.05f, 0.07f, 0.10f}, {0.03f, 0.05f, 0.09f}, {0.95f, 0.85f, 0.60f}, {0.65f, 0.85f, 1.0f}, 0.38f, 1};
    case 1:
      return {{0.13f, 0.08f, 0.06f}, {0.04f, 0.035f, 0.04f}, {1.0f, 0.72f, 0.38f}, {0.95f, 0.85f, 0.65f}, 0.45f, 3};
    default:
      return {{0.035f, 0.035f, 0.045f}, {0.02f, 0.02f, 0.03f}, {0.80f, 0.62f, 0.85f}, {0.55f, 0.80f, 0.90f}, 0.22f, 2};
  }
}

}  // namespace

std::vector<uint8_t> facadeTexture(int style) {
  const FacadeStyle s = facadeStyle(style);
  const int cell = 16;
  Image img(kFacadeBays * cell, kFacadeFloors * cell, s.wall);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      float n = valueNoise(x / 8.0f, y / 8.0f, 64, 11 + style) * 0.5f + valueNoise(x / 2.0f, y / 2.0f, 256, 12) * 0.5f;
      Rgba& p = img.at(x, y);
      p.r *= 0.8f + 0.4f * n, p.g *= 0.8f + 0.4f * n, p.b *= 0.8f + 0.4f * n;
      p.a = 0;
    }
  for (int fy = 0; fy < kFacadeFloors; ++fy) {
    // Whole floors tend to be lit or dark together (offices), with single windows mixed in.
    float floorLit = hash01(fy, 7, style * 31 + 1);
    for (int bx = 0; bx < kFacadeBays; ++bx) {
      float h = hash01(bx, fy, style * 31 + 2);
      float groupLit = hash01(bx / 4, fy, style * 31 + 3);
      bool lit = h < s.litShare * 0.6f || (floorLit > 0.78f && groupLit < 0.8f) || (groupLit < s.litShare * 0.35f);
      float tone = hash01(bx, fy, style * 31 + 4);
      Rgba c = s.glass;
      if (lit) {
        c = tone < 0.7f ? s.warmLit : s.coolLit;
        if (tone > 0.95f) c = {0.35f, 0.55f, 1.0f};  // a screen's blue
        float dim = 0.55f + 0.45f * hash01(bx, fy, style * 31 + 5);
        c.r *= dim, c.g *= dim, c.b *= dim;
      }
      int x0 = bx * cell + s.mullion, x1 = (bx + 1) * cell - s.mullion;
      int y0 = fy * cell + s.mullion + 1, y1 = (fy + 1) * cell - s.mullion;
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
          Rgba p = c;
          float v = float(y - y0) / float(y1 - y0);
          if (lit) {
            // Light falls off towards the window's top, a blind on some.
            float k = 0.8f + 0.2f * v;
            if (tone > 0.5f && tone < 0.62f && v < 0.35f) k *= 0.35f;
            p.r *= k, p.g *= k, p.b *= k, p.a = 1;
          } else {
            float refl = 0.02f * (1 - v) + 0.015f * hash01(x, y, 5);
            p.r += refl, p.g += refl, p.b += refl * 1.6f, p.a = 0;
          }
          img.at(x, y) = p;
        }
    }
  }
  return img.toPng(true);
}

std::vector<uint8_t> roofTexture() {
  Image img(256, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      float n = valueNoise(x / 4.0f, y / 4.0f, 64, 21) * 0.6f + hash01(x, y, 22) * 0.4f;
      float g = 0.055f + 0.05f * n;
      int edge = std::min(std::min(x, y), std::min(255 - x, 255 - y));
      if (edge < 6) g = 0.16f + 0.03f * n;                 // parapet
      else if (edge < 9) g *= 0.6f;                        // its shadow
      img.at(x, y) = {g, g * 0.98f, g * 1.05f, 1};
    }
  // Vents and a hatch.
  img.fillRect(40, 50, 70, 80, {0.12f, 0.12f, 0.13f, 1});
  img.fillRect(44, 54, 66, 76, {0.05f, 0.05f, 0.06f, 1});
  img.fillRect(170, 150, 210, 175, {0.14f, 0.14f, 0.15f, 1});
  img.fillRect(120, 200, 140, 220, {0.1f, 0.09f, 0.08f, 1});
  return img.toPng(false);
}

std::vector<uint8_t> pavementTexture() {
  Image img(128, 128);
  for (int y = 0; y < 128; ++y)
    for (int x = 0; x < 128; ++x) {
      float g = 0.07f + 0.035f * valueNoise(x / 3.0f, y / 3.0f, 64, 31);
      if (x % 32 == 0 || y % 32 == 0) g *= 0.55f;
      img.at(x, y) = {g, g, g * 1.08f, 1};
    }
  return img.toPng(false);
}

std::vector<uint8_t> asphaltTexture() {
  Image img(256, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      float n = 0.5f * valueNoise(x / 16.0f, y / 16.0f, 16, 41) + 0.3f * valueNoise(x / 4.0f, y / 4.0f, 64, 42) +
                0.2f * hash01(x, y, 43);
      img.at(x, y) = {n, n, n, 1};
    }
  return img.toPng(false);
}

std::vector<uint8_t> skyTexture() {
  const int w = 2048, h = 1024;
  Image img(w, h, {0, 0, 0, 0});
  auto rowOfElevation = [&](float deg) { return int((90.0f - deg) / 100.0f * float(h)); };
  // Stars: many faint, some bright, fewer near the hazy horizon.
  Random rnd(7707);
  for (int i = 0; i < 5200; ++i) {
    float u = rnd.uniform(), e = std::asin(rnd.uniform(0.05f, 1.0f)) * 180.0f / kPi;
    int x = int(u * w), y = rowOfElevation(e);
    float b = rnd.uniform();
    b = 0.15f + 0.85f * b * b * b;
    Rgba c = rnd.chance(0.2f) ? Rgba{0.8f, 0.85f, 1.0f} : Rgba{1.0f, 0.95f, 0.85f};
    img.addPixel(x, y, c, b);
    if (b > 0.7f) {
      for (int d = 0; d < 4; ++d) img.addPixel(x + (d == 0) - (d == 1), y + (d == 2) - (d == 3), c, b * 0.35f);
    }
  }
  // The far skyline: silhouettes rising from the horizon, with a few lit windows each.
  int horizon = rowOfElevation(0);
  int x = 0;
  while (x < w) {
    int bw = 6 + rnd.below(28);
    float e = rnd.uniform(0.6f, 3.2f);
    if (rnd.chance(0.12f)) e += rnd.uniform(2, 5);
    int top = rowOfElevation(e);
    for (int yy = top; yy < h; ++yy)
      for (int xx = x; xx < std::min(x + bw, w); ++xx) {
        Rgba& p = img.at(xx, yy);
        p = {0, 0, 0, 1};
        if (yy < horizon && (xx - x) % 3 == 1 && (yy - top) % 3 == 1 && hash01(xx, yy, 77) < 0.22f) {
          float k = 0.3f + 0.5f * hash01(xx, yy, 78);
          p.r = k, p.g = k * 0.8f, p.b = k * 0.55f;
        }
      }
    if (rnd.chance(0.25f) && bw > 10) {  // a red light on a mast
      int mx = x + bw / 2;
      img.fillRect(mx, top - 6, mx + 1, top, {0, 0, 0, 1});
      img.at(mx, std::max(top - 7, 0)) = {1.0f, 0.15f, 0.1f, 1};
    }
    x += bw + (rnd.chance(0.3f) ? rnd.below(6) : 0);
  }
  return img.toPng(true);
}

namespace {

// Neon tube: adds a bright core and a soft falloff around the segment (x0,y0)-(x1,y1).
void tube(Image& img, float x0, float y0, float x1, float y1, Rgba c, float radius) {
  int bx0 = int(std::min(x0, x1) - radius * 3), bx1 = int(std::max(x0, x1) + radius * 3);
  int by0 = int(std::min(y0, y1) - radius * 3), by1 = int(std::max(y0, y1) + radius * 3);
  float dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
  for (int y = by0; y <= by1; ++y)
    for (int x = bx0; x <= bx1; ++x) {
      float t = len2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / len2 : 0;
      t = clamp01(t);
      float px = x0 + dx * t - x, py = y0 + dy * t - y;
      float d = std::sqrt(px * px + py * py);
      float core = d < radius ? 1.0f : 0.0f;
      float glow = std::exp(-d * d / (radius * radius * 4.0f)) * 0.5f;
      Rgba add{c.r * glow + core * (0.6f + 0.4f * c.r), c.g * glow + core * (0.6f + 0.4f * c.g),
               c.b * glow + core * (0.6f + 0.4f * c.b)};
      img.addPixel(x, y, add, 1);
    }
}

const Rgba kNeon[] = {{1.0f, 0.15f, 0.7f}, {0.1f, 0.9f, 1.0f}, {1.0f, 0.55f, 0.1f},
                      {0.4f, 1.0f, 0.3f},  {0.7f, 0.3f, 1.0f}, {1.0f, 0.2f, 0.25f}};

}  // namespace

std::vector<uint8_t> signTexture() {
  Image img(64 * kSignColumns, 256 * kSignRows, {0.015f, 0.01f, 0.02f, 1});
  Random rnd(4242);
  for (int r = 0; r < kSignRows; ++r)
    for (int c = 0; c < kSignColumns; ++c) {
      float x0 = float(c * 64), y0 = float(r * 256);
      Rgba col = kNeon[(c + r * 3) % 6];
      Rgba col2 = kNeon[(c + r * 3 + 2) % 6];
      tube(img, x0 + 5, y0 + 5, x0 + 58, y0 + 5, col, 1.5f);
      tube(img, x0 + 58, y0 + 5, x0 + 58, y0 + 250, col, 1.5f);
      tube(img, x0 + 58, y0 + 250, x0 + 5, y0 + 250, col, 1.5f);
      tube(img, x0 + 5, y0 + 250, x0 + 5, y0 + 5, col, 1.5f);
      // A column of glyphs made of short strokes.
      for (int g = 0; g < 5; ++g) {
        float gx = x0 + 16, gy = y0 + 18 + g * 46.0f, s = 32;
        int strokes = 2 + rnd.below(3);
        for (int k = 0; k < strokes; ++k) {
          float ax = gx + s * float(rnd.below(3)) / 2, ay = gy + s * float(rnd.below(3)) / 2;
          float bx = gx + s * float(rnd.below(3)) / 2, by = gy + s * float(rnd.below(3)) / 2;
          if (ax == bx && ay == by) bx = gx + s - (ax - gx);
          tube(img, ax, ay, bx, by, col2, 2.0f);
        }
      }
    }
  return img.toPng(false);
}

namespace {
// 5 x 7 glyphs, one string of 35 characters each ('#' set), for the letters used.
struct Glyph {
  char c;
  const char* rows;
};
const Glyph kFont[] = {
    {'A', " ### #   ##   #######   ##   ##   #"}, {'C', " ### #   ##    #    #    #   # ### "},
    {'E', "######    #### #    #    #    #####"}, {'I', " ###   #    #    #    #    #   ### "},
    {'K', "#   ##  # # #  ##   # #  #  # #   #"}, {'L', "#    #    #    #    #    #    #####"},
    {'N', "#   ###  ## # ##  ###   ##   ##   #"}, {'O', " ### #   ##   ##   ##   ##   # ### "},
    {'P', "#### #   ##   ##### #    #    #    "}, {'R', "#### #   ##   ##### # #  #  # #   #"},
    {'S', " #####    #     ###     #    ##### "}, {'T', "#####  #    #    #    #    #    #  "},
    {'V', "#   ##   ##   ##   ##   # # #   #  "}, {'Y', "#   ##   # # #   #    #    #    #  "},
    {'1', "  #   ##    #    #    #    #   ### "}, {'2', " ### #   #    #   #   #   #   #####"},
    {'X', "#   ##   # # #   #   # # #   ##   #"}, {'-', "               #####               "},
};
}  // namespace

void drawText(Image& img, int x, int y, int scale, const char* text, Rgba colour) {
  for (const char* p = text; *p; ++p, x += 6 * scale) {
    for (const Glyph& g : kFont) {
      if (g.c != *p) continue;
      size_t n = std::strlen(g.rows);
      for (size_t i = 0; i < n && i < 35; ++i)
        if (g.rows[i] == '#') {
          int gx = int(i % 5), gy = int(i / 5);
          img.fillRect(x + gx * scale, y + gy * scale, x + (gx + 1) * scale, y + (gy + 1) * scale, colour);
        }
    }
  }
}

std::vector<uint8_t> holoTexture() {
  Image img(512, 128 * kHoloRows, {0.0f, 0.0f, 0.0f, 1});
  const char* words[kHoloRows] = {"VELTRO 12", "PYLON", "NEON", "SKY-LINE"};
  for (int r = 0; r < kHoloRows; ++r) {
    Rgba a = kNeon[(r * 2) % 6], b = kNeon[(r * 2 + 1) % 6];
    int y0 = r * 128;
    for (int y = 0; y < 128; ++y)
      for (int x = 0; x < 512; ++x) {
        float t = float(x) / 511.0f, v = float(y) / 127.0f;
        float band = 0.18f + 0.1f * std::sin(t * 9 + v * 3 + float(r));
        Rgba c = mix(a, b, t);
        img.at(x, y0 + y) = {c.r * band, c.g * band, c.b * band, 1};
      }
    tube(img, 6, float(y0 + 6), 505, float(y0 + 6), a, 1.5f);
    tube(img, 6, float(y0 + 121), 505, float(y0 + 121), b, 1.5f);
    int len = int(std::strlen(words[r]));
    int scale = std::min(10, 480 / (len * 6));
    int tx = (512 - len * 6 * scale) / 2, ty = y0 + (128 - 7 * scale) / 2;
    drawText(img, tx + 3, ty + 3, scale, words[r], {0.1f, 0.02f, 0.1f, 1});
    drawText(img, tx, ty, scale, words[r], {1.0f, 0.97f, 1.0f, 1});
  }
  return img.toPng(false);
}

std::vector<uint8_t> lampRedTexture() { return Image(8, 8, {1.0f, 0.12f, 0.08f, 1}).toPng(false); }
std::vector<uint8_t> lampWhiteTexture() { return Image(8, 8, {1.0f, 1.0f, 0.96f, 1}).toPng(false); }

}  // namespace content
