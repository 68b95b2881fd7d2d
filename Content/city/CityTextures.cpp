#include "city/CityTextures.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "data/Image.h"

namespace content {
namespace {

constexpr float kPi = 3.14159265358979f;

// Small light sources seen from afar: sodium, white, cyan, magenta.
const Rgba kNeonLights[] = {{1.0f, 0.7f, 0.4f}, {0.9f, 0.92f, 1.0f}, {0.3f, 0.9f, 1.0f}, {1.0f, 0.3f, 0.8f}};

struct FacadeStyle {
  Rgba wall, glass, warmLit, coolLit;
  float litShare;
  // Window openings inside a 16 x 16 cell (one bay by one floor): `panes` openings of
  // paneW pixels, gap pixels apart, from row top to row bottom (exclusive, row 0 at the
  // floor's top); the sill is the row under the opening.
  int panes, paneW, gap, top, bottom;
};

FacadeStyle facadeStyle(int style) {
  switch (style) {
    case 0:  // curtain wall: two wide panes split by a thin mullion, a slab band between floors
      return {{0.05f, 0.07f, 0.10f}, {0.03f, 0.05f, 0.09f}, {0.95f, 0.85f, 0.60f}, {0.65f, 0.85f, 1.0f}, 0.38f,
              2, 7, 1, 3, 14};
    case 1:  // brick: two punched windows per bay with stone sills
      return {{0.13f, 0.08f, 0.06f}, {0.04f, 0.035f, 0.04f}, {1.0f, 0.72f, 0.38f}, {0.95f, 0.85f, 0.65f}, 0.45f,
              2, 5, 3, 4, 13};
    default:  // dark stone: three narrow slits
      return {{0.035f, 0.035f, 0.045f}, {0.02f, 0.02f, 0.03f}, {0.80f, 0.62f, 0.85f}, {0.55f, 0.80f, 0.90f}, 0.22f,
              3, 4, 1, 3, 13};
  }
}

void scale(Rgba& p, float k) { p.r *= k, p.g *= k, p.b *= k; }

}  // namespace

namespace {

Image facadeImage(int style) {
  const FacadeStyle s = facadeStyle(style);
  const int cell = 16;
  Image img(kFacadeBays * cell, kFacadeFloors * cell, s.wall);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      float n = valueNoise(x / 8.0f, y / 8.0f, 64, 11 + style) * 0.5f + valueNoise(x / 2.0f, y / 2.0f, 256, 12) * 0.5f;
      Rgba& p = img.at(x, y);
      scale(p, 0.8f + 0.4f * n);
      if (y % cell < 2) scale(p, 0.7f);                  // floor slab
      if (style == 0 && x % cell == 0) scale(p, 1.35f);  // the curtain wall's vertical fins
      p.a = 0;
    }
  const int span = s.panes * s.paneW + (s.panes - 1) * s.gap, left = (cell - span) / 2;
  for (int fy = 0; fy < kFacadeFloors; ++fy) {
    // Whole floors tend to be lit or dark together (offices); rooms of one to four bays share
    // their light, their tone and their blinds.
    float floorLit = hash01(fy, 7, style * 31 + 1);
    int bx = 0;
    while (bx < kFacadeBays) {
      int width = 1 + int(hash01(bx, fy, style * 31 + 6) * 4);
      float h = hash01(bx, fy, style * 31 + 2);
      bool lit = h < s.litShare * 0.75f || (floorLit > 0.8f && h < 0.85f);
      float tone = hash01(bx, fy, style * 31 + 4);
      Rgba c = tone < 0.62f ? s.warmLit : s.coolLit;
      if (tone > 0.93f) c = {0.35f, 0.55f, 1.0f};  // a screen's blue
      scale(c, 0.5f + 0.5f * hash01(bx, fy, style * 31 + 5));
      float blinds = hash01(bx, fy, style * 31 + 8);  // > 0.7: blinds, down to this share
      bool deep = hash01(bx, fy, style * 31 + 9) < 0.3f;  // a back wall seen through the window
      for (int room = bx; room < std::min(bx + width, kFacadeBays); ++room)
        for (int pane = 0; pane < s.panes; ++pane) {
          int x0 = room * cell + left + pane * (s.paneW + s.gap), x1 = x0 + s.paneW;
          int y0 = fy * cell + s.top, y1 = fy * cell + s.bottom;
          for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
              float v = float(y - y0) / float(y1 - y0);  // 0 at the top
              Rgba p = s.glass;
              if (lit) {
                // Ceiling lights at the top, the room darker towards the floor.
                p = c;
                scale(p, v < 0.15f ? 1.15f : 0.95f - 0.35f * v);
                if (deep && v > 0.3f && (x == x0 || x == x1 - 1)) scale(p, 0.55f);
                if (blinds > 0.7f && v < (blinds - 0.7f) * 3.3f) scale(p, (y % 2) ? 0.5f : 0.3f);
                p.a = 1;
              } else {
                float refl = 0.03f * (1 - v) + 0.015f * hash01(x, y, 5);
                p.r += refl, p.g += refl, p.b += refl * 1.6f;
                if (blinds > 0.85f) scale(p, (y % 2) ? 1.4f : 1.0f);
                p.a = 0.4f;
              }
              img.at(x, y) = p;
            }
          // The sill: a lighter line under each opening.
          for (int x = std::max(x0 - 1, room * cell); x <= std::min(x1, room * cell + cell - 1); ++x) {
            Rgba& q = img.at(x, fy * cell + s.bottom);
            q = {s.wall.r * 1.9f + 0.03f, s.wall.g * 1.9f + 0.03f, s.wall.b * 1.9f + 0.03f, 0};
          }
        }
      bx += width;
    }
  }
  return img;
}

}  // namespace

std::vector<uint8_t> facadeAtlasTexture() {
  // Style s lies in the atlas's texture coordinates v from s/3 to (s+1)/3; the file's top
  // row is v = 1, so the last style is painted first.
  Image atlas(kFacadeBays * 16, 3 * kFacadeFloors * 16);
  for (int style = 0; style < 3; ++style) {
    const Image img = facadeImage(style);
    const int top = (2 - style) * img.height();
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) atlas.at(x, top + y) = img.at(x, y);
  }
  return atlas.toPng(true);
}

std::vector<uint8_t> farFacadeTexture() {
  const int cell = 8;
  Image img(kFarBays * cell, kFarFloors * cell, {0.03f, 0.03f, 0.045f, 0});
  for (int fy = 0; fy < kFarFloors; ++fy) {
    float floorLit = hash01(fy, 3, 901);
    for (int bx = 0; bx < kFarBays; ++bx) {
      // Rooms of two to four bays share their light; whole floors go dark together.
      int room = (bx + int(hash01(fy, 1, 902) * 4)) / (2 + (fy % 3));
      float h = hash01(room, fy, 903);
      bool lit = h < 0.26f + 0.3f * (floorLit > 0.7f);
      float tone = hash01(room, fy, 904);
      Rgba c{0.02f, 0.025f, 0.04f, 0};
      if (lit) {
        c = tone < 0.6f ? Rgba{1.0f, 0.74f, 0.42f, 1} : (tone < 0.9f ? Rgba{0.7f, 0.85f, 1.0f, 1} : Rgba{0.95f, 0.5f, 0.8f, 1});
        float dim = 0.5f + 0.5f * hash01(bx, fy, 905);
        c.r *= dim, c.g *= dim, c.b *= dim;
      }
      // A window of 6 x 5 pixels over a spandrel; the middle mullion splits it in two panes.
      for (int y = fy * cell + 1; y < fy * cell + 6; ++y)
        for (int x = bx * cell + 1; x < bx * cell + 7; ++x) {
          Rgba p = c;
          if (x == bx * cell + 4) p.r *= 0.45f, p.g *= 0.45f, p.b *= 0.45f;
          img.at(x, y) = p;
        }
    }
  }
  return img.toPng(true);
}

std::vector<uint8_t> farGroundTexture() {
  const int n = 256;
  const float street = 9.0f / 110.0f * n, kerb = street + 3.0f / 110.0f * n;
  Image img(n, n, {0.02f, 0.018f, 0.025f, 0});
  auto edge = [&](int v) { return float(std::min(v, n - 1 - v)) + 0.5f; };
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) {
      float ex = edge(x), ey = edge(y), e = std::min(ex, ey);
      float noise = valueNoise(x / 6.0f, y / 6.0f, 64, 911);
      Rgba p;
      if (e < street) p = {0.035f, 0.032f, 0.04f, 0};  // asphalt
      else if (e < kerb) p = {0.06f, 0.055f, 0.065f, 0};  // sidewalk
      else p = {0.025f + 0.02f * noise, 0.022f + 0.018f * noise, 0.03f + 0.02f * noise, 0};  // lots
      // Warm light pooled along the street's middle, as seen from far above.
      float pool = std::exp(-e * e / (street * street * 1.2f));
      p.r += 0.2f * pool, p.g += 0.11f * pool, p.b += 0.05f * pool;
      img.at(x, y) = p;
    }
  // Lamps every 24 units along both kerbs of both streets: a bright core and a soft halo.
  const float step = 24.0f / 110.0f * n;
  for (int k = 0; k * step < n; ++k) {
    float along = (float(k) + 0.5f) * step;
    for (float across : {street - 1.5f, float(n) - street + 0.5f})
      for (int side = 0; side < 2; ++side) {
        float lx = side ? along : across, ly = side ? across : along;
        for (int y = int(ly) - 5; y <= int(ly) + 5; ++y)
          for (int x = int(lx) - 5; x <= int(lx) + 5; ++x) {
            float dx = float(x) - lx, dy = float(y) - ly, d2 = dx * dx + dy * dy;
            float w = d2 < 2.5f ? 1.0f : 0.35f * std::exp(-d2 / 9.0f);
            img.addPixel((x + n) % n, (y + n) % n, {1.0f, 0.66f, 0.34f}, w);
            if (d2 < 2.5f) img.at((x + n) % n, (y + n) % n).a = 1;
          }
      }
  }
  // A few lights in the lots: yards, signs, windows seen from above.
  Random rnd(912);
  for (int i = 0; i < 40; ++i) {
    int x = int(kerb) + 2 + rnd.below(n - 2 * int(kerb) - 4), y = int(kerb) + 2 + rnd.below(n - 2 * int(kerb) - 4);
    Rgba c = kNeonLights[rnd.below(4)];
    img.fillRect(x, y, x + 2, y + 2, {c.r * 0.8f, c.g * 0.8f, c.b * 0.8f, 1});
  }
  return img.toPng(true);
}

std::vector<uint8_t> roofTexture() {
  Image img(256, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      float n = valueNoise(x / 4.0f, y / 4.0f, 64, 21) * 0.6f + hash01(x, y, 22) * 0.4f;
      float g = 0.035f + 0.035f * n;
      int edge = std::min(std::min(x, y), std::min(255 - x, 255 - y));
      if (edge < 6) g = 0.09f + 0.03f * n;                 // parapet
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

std::vector<uint8_t> skyTexture() {
  const int w = 2048, h = 1024;
  Image img(w, h, {0, 0, 0, 0});
  auto rowOfElevation = [&](float deg) { return int((90.0f - deg) / 100.0f * float(h)); };
  // Clouds: a layer of noise on a flat deck above the city, seen in perspective (denser and
  // finer towards the horizon, where the haze takes them), lit from below by the city:
  // warm and bright low down, dim and cool overhead.
  std::vector<float> cover(size_t(w) * size_t(h), 0.0f);
  for (int y = 0; y < rowOfElevation(1.5f); ++y) {
    float e = (90.0f - (float(y) + 0.5f) / float(h) * 100.0f) * kPi / 180.0f;
    float r = std::cos(e) / std::max(std::sin(e), 0.03f);  // distance on a deck at height 1
    float fade = clamp01((e * 180.0f / kPi - 1.5f) / 7.0f);
    float glow = std::exp(-e * 2.2f);
    Rgba under = mix(Rgba{0.07f, 0.06f, 0.13f}, Rgba{0.34f, 0.15f, 0.17f}, glow);
    for (int x = 0; x < w; ++x) {
      float hd = (float(x) + 0.5f) / float(w) * 2.0f * kPi;
      float px = r * std::sin(hd) * 3.0f + 500.0f, pz = r * std::cos(hd) * 3.0f + 500.0f;
      float n = 0.55f * valueNoise(px, pz * 1.6f, 4096, 7711) + 0.3f * valueNoise(px * 2.3f, pz * 3.1f, 4096, 7712) +
                0.15f * valueNoise(px * 5.1f, pz * 6.7f, 4096, 7713);
      float c = clamp01((n - 0.42f) * 2.6f) * fade;
      cover[size_t(y) * size_t(w) + size_t(x)] = c;
      float lit = c * (0.55f + 0.45f * clamp01((n - 0.42f) * 4.0f));
      img.at(x, y) = {under.r * lit, under.g * lit, under.b * lit, 0};
    }
  }
  // Stars: many faint, some bright, fewer near the hazy horizon, hidden behind the clouds.
  Random rnd(7707);
  for (int i = 0; i < 5200; ++i) {
    float u = rnd.uniform(), e = std::asin(rnd.uniform(0.05f, 1.0f)) * 180.0f / kPi;
    int x = int(u * w), y = rowOfElevation(e);
    float b = rnd.uniform();
    b = (0.15f + 0.85f * b * b * b) * (1.0f - cover[size_t(std::clamp(y, 0, h - 1)) * size_t(w) + size_t(std::clamp(x, 0, w - 1))]);
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
    for (int yy = top; yy < horizon; ++yy)
      for (int xx = x; xx < std::min(x + bw, w); ++xx) {
        Rgba& p = img.at(xx, yy);
        p = {0, 0, 0, std::min(1.0f, 0.35f + 0.08f * float(horizon - yy))};  // its foot in the haze
        if ((xx - x) % 3 == 1 && (yy - top) % 3 == 1 && hash01(xx, yy, 77) < 0.22f) {
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
  // Below the horizon, the city beyond the far city: rows of street lights, crowding and
  // fading into the haze towards the horizon (alpha 0: the sky effect adds them).
  for (int i = 0; i < 9000; ++i) {
    float depth = rnd.uniform();  // 0 at the horizon, 1 at the bottom of the panorama
    depth = depth * depth;
    int y = horizon + 1 + int(depth * float(h - horizon - 2)), x0 = rnd.below(w);
    float k = (0.12f + 0.3f * rnd.uniform()) * (0.35f + 0.65f * std::sqrt(depth));
    Rgba c = kNeonLights[rnd.chance(0.7f) ? 0 : rnd.below(4)];
    int run = rnd.chance(0.3f) ? 3 + rnd.below(12) : 1;  // a street seen along its length
    for (int j = 0; j < run; ++j) img.addPixel((x0 + j * 2) % w, y, c, k * (j % 2 ? 0.6f : 1.0f));
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

Rgba signColour(int cell) {
  // The atlas is painted top row first; texture row 0 is the picture's bottom row.
  const int c = cell % kSignColumns, r = kSignRows - 1 - cell / kSignColumns;
  return mix(kNeon[(c + r * 3) % 6], kNeon[(c + r * 3 + 2) % 6], 0.4f);
}

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
std::vector<uint8_t> lampSodiumTexture() { return Image(8, 8, {1.0f, 0.86f, 0.62f, 1}).toPng(false); }
std::vector<uint8_t> mastTexture() { return Image(8, 8, {0.22f, 0.2f, 0.24f, 1}).toPng(false); }

}  // namespace content
