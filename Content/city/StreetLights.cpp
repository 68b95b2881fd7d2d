#include "city/StreetLights.h"

#include <algorithm>
#include <cmath>

#include "city/CityTextures.h"

namespace content {

void placeTowerSigns(const Tower& t, const std::vector<float>& avenues, Random& rnd, std::vector<SignPlate>& out) {
  const float su = 1.0f / kSignColumns, sv = 1.0f / kSignRows;
  const Box& b = t.tiers.front();
  for (float a : avenues) {
    float hw = CityLayout::halfWidth(a) + 3.5f;
    int cell = rnd.below(kSignColumns * kSignRows);
    float u0 = float(cell % kSignColumns) * su, v0 = float(cell / kSignColumns) * sv;
    float h = rnd.uniform(9, 16), y0 = rnd.uniform(4, 9), wdt = h / 4;
    if (b.hi.y < y0 + h + 2 || !rnd.chance(0.55f)) continue;
    SignPlate s{{}, u0, v0, u0 + su, v0 + sv, cell, {}};
    // A face of this tower's base close to the avenue line, facing it.
    if (std::fabs(b.lo.x - (a + hw)) < 4) {  // west face, avenue to the west
      float z = rnd.uniform(b.lo.z + 1, b.hi.z - 1 - wdt), x = b.lo.x - 0.6f;
      s.corner[0] = {x, y0, z}, s.corner[1] = {x, y0, z + wdt}, s.facing = {-1, 0, 0};
    } else if (std::fabs(b.hi.x - (a - hw)) < 4) {  // east face
      float z = rnd.uniform(b.lo.z + 1, b.hi.z - 1 - wdt), x = b.hi.x + 0.6f;
      s.corner[0] = {x, y0, z + wdt}, s.corner[1] = {x, y0, z}, s.facing = {1, 0, 0};
    } else if (std::fabs(b.hi.z - (a - hw)) < 4) {  // south face
      float x = rnd.uniform(b.lo.x + 1, b.hi.x - 1 - wdt), z = b.hi.z + 0.6f;
      s.corner[0] = {x, y0, z}, s.corner[1] = {x + wdt, y0, z}, s.facing = {0, 0, 1};
    } else if (std::fabs(b.lo.z - (a + hw)) < 4) {  // north face
      float x = rnd.uniform(b.lo.x + 1, b.hi.x - 1 - wdt), z = b.lo.z - 0.6f;
      s.corner[0] = {x + wdt, y0, z}, s.corner[1] = {x, y0, z}, s.facing = {0, 0, -1};
    } else {
      continue;
    }
    s.corner[2] = s.corner[1] + Vec3{0, h, 0}, s.corner[3] = s.corner[0] + Vec3{0, h, 0};
    out.push_back(s);
  }
}

std::vector<SignPlate> placeSigns(const CityLayout& city) {
  std::vector<SignPlate> signs;
  for (const Tower& t : city.towers) {
    Random rnd(uint32_t(t.seed) ^ 0x5157u);
    placeTowerSigns(t, city.avenues, rnd, signs);
  }
  return signs;
}

std::vector<StreetLamp> streetLamps(const CityLayout& city) {
  // Three lamps on each kerb of every avenue block, facing each other across the street.
  std::vector<StreetLamp> lamps;
  const std::vector<float>& L = city.lines;
  for (float a : city.avenues) {
    const float foot = CityLayout::halfWidth(a) + 0.8f;
    for (size_t i = 0; i + 1 < L.size(); ++i) {
      const float s0 = L[i] + CityLayout::halfWidth(L[i]), s1 = L[i + 1] - CityLayout::halfWidth(L[i + 1]);
      for (float k : {1.0f / 6, 0.5f, 5.0f / 6}) {
        const float s = s0 + (s1 - s0) * k;
        for (float side : {-1.0f, 1.0f}) {
          lamps.push_back({{s, 0.25f, a + side * foot}, {0, 0, -side}});  // the street along x
          lamps.push_back({{a + side * foot, 0.25f, s}, {-side, 0, 0}});  // the street along z
        }
      }
    }
  }
  return lamps;
}

namespace {

// The sides of a box with shared corners (its colour is flat, so faces need no normals of
// their own), but for the one facing `back`: the camera stays high over the streets, so
// neither the bottom nor the side towards the buildings behind a post is ever seen.
void addLampBox(Mesh& m, Vec3 lo, Vec3 hi, Vec3 back) {
  const uint32_t first = m.vertexCount();
  const Vec3 corners[4] = {{lo.x, 0, lo.z}, {hi.x, 0, lo.z}, {hi.x, 0, hi.z}, {lo.x, 0, hi.z}};
  const Vec3 outward[4] = {{0, 0, -1}, {1, 0, 0}, {0, 0, 1}, {-1, 0, 0}};
  for (float y : {lo.y, hi.y})
    for (const Vec3& c : corners) m.addVertex({c.x, y, c.z}, {0, 1, 0}, {1, 0, 0}, 0.5f, 0.5f);
  for (uint32_t i = 0; i < 4; ++i) {
    if (outward[i].x == back.x && outward[i].z == back.z) continue;
    const uint32_t a = first + i, b = first + (i + 1) % 4;
    m.addTriangle(a, b + 4, b);
    m.addTriangle(a, a + 4, b + 4);
  }
}

}  // namespace

void lampMeshes(const std::vector<StreetLamp>& lamps, Mesh& posts, Mesh& heads) {
  for (const StreetLamp& l : lamps) {
    const Vec3 f = l.foot;
    addLampBox(posts, {f.x - 0.15f, f.y, f.z - 0.15f}, {f.x + 0.15f, kLampHeight, f.z + 0.15f}, l.reach * -1.0f);
    // The head: a bar from the post out over the street, its lit top seen from above.
    const Vec3 tip = f + l.reach * 2.4f;
    const float halfW = 0.3f;
    Vec3 lo{std::min(f.x, tip.x) - halfW * std::fabs(l.reach.z), kLampHeight - 0.25f,
            std::min(f.z, tip.z) - halfW * std::fabs(l.reach.x)};
    Vec3 hi{std::max(f.x, tip.x) + halfW * std::fabs(l.reach.z), kLampHeight + 0.05f,
            std::max(f.z, tip.z) + halfW * std::fabs(l.reach.x)};
    const uint32_t first = heads.vertexCount();
    heads.addVertex({lo.x, hi.y, lo.z}, {0, 1, 0}, {1, 0, 0}, 0.5f, 0.5f);
    heads.addVertex({hi.x, hi.y, lo.z}, {0, 1, 0}, {1, 0, 0}, 0.5f, 0.5f);
    heads.addVertex({hi.x, hi.y, hi.z}, {0, 1, 0}, {1, 0, 0}, 0.5f, 0.5f);
    heads.addVertex({lo.x, hi.y, hi.z}, {0, 1, 0}, {1, 0, 0}, 0.5f, 0.5f);
    heads.addTriangle(first, first + 2, first + 1);
    heads.addTriangle(first, first + 3, first + 2);
  }
}

namespace {

// Paints light onto the map in world coordinates.
class GroundPainter {
 public:
  explicit GroundPainter(Image& image) : img(image) {}

  // A soft patch: a Gaussian of deviations sx (along x) and sz (along z) around (x, z).
  void blob(float x, float z, float sx, float sz, Rgba c, float k) {
    forPixels(x - 3 * sx, z - 3 * sz, x + 3 * sx, z + 3 * sz, [&](float wx, float wz) {
      const float dx = (wx - x) / sx, dz = (wz - z) / sz;
      return k * std::exp(-0.5f * (dx * dx + dz * dz));
    }, c);
  }

  // Light spilling across a kerb into the street: from `along0` to `along1` on a street that
  // runs along x (alongX) or z, from the kerb at `kerb` towards `inward` (+1 or -1), falling
  // off over `reach` units into the street and softly at both ends.
  void spill(bool alongX, float along0, float along1, float kerb, float inward, float reach, Rgba c, float k) {
    const float a0 = along0 - 3, a1 = along1 + 3, c0 = kerb, c1 = kerb + inward * reach * 3;
    auto weight = [&](float along, float across) {
      const float d = (across - kerb) * inward;
      if (d < 0) return 0.0f;
      const float ends = clamp01((along - along0 + 3) / 6) * clamp01((along1 + 3 - along) / 6);
      return k * ends * std::exp(-d / reach);
    };
    if (alongX)
      forPixels(a0, std::min(c0, c1), a1, std::max(c0, c1), [&](float wx, float wz) { return weight(wx, wz); }, c);
    else
      forPixels(std::min(c0, c1), a0, std::max(c0, c1), a1, [&](float wx, float wz) { return weight(wz, wx); }, c);
  }

 private:
  template <typename Weight>
  void forPixels(float x0, float z0, float x1, float z1, Weight weight, Rgba c) {
    const float perUnit = float(kGroundLightPixels) / kGroundLightSize;
    const int px0 = std::max(0, int(std::floor((x0 - kGroundLightOrigin) * perUnit)));
    const int px1 = std::min(kGroundLightPixels - 1, int(std::ceil((x1 - kGroundLightOrigin) * perUnit)));
    const int pz0 = std::max(0, int(std::floor((z0 - kGroundLightOrigin) * perUnit)));
    const int pz1 = std::min(kGroundLightPixels - 1, int(std::ceil((z1 - kGroundLightOrigin) * perUnit)));
    for (int pz = pz0; pz <= pz1; ++pz)
      for (int px = px0; px <= px1; ++px) {
        const float wx = kGroundLightOrigin + (float(px) + 0.5f) / perUnit;
        const float wz = kGroundLightOrigin + (float(pz) + 0.5f) / perUnit;
        // Rows are stored top first and texture coordinate v runs from the bottom up.
        img.addPixel(px, kGroundLightPixels - 1 - pz, c, weight(wx, wz) * kGroundLightScale);
      }
  }

  Image& img;
};

// Shop fronts, lobbies and wall lamps: mostly warm, some cold white, the odd coloured one.
Rgba shopLight(float pick) {
  if (pick < 0.55f) return {1.0f, 0.68f, 0.38f};
  if (pick < 0.78f) return {0.75f, 0.85f, 1.0f};
  if (pick < 0.9f) return {1.0f, 0.35f, 0.75f};
  return {0.3f, 0.85f, 1.0f};
}

}  // namespace

Image groundLightImage(const CityLayout& city) {
  Image img(kGroundLightPixels, kGroundLightPixels, {0, 0, 0, 1});
  GroundPainter paint(img);
  const std::vector<float>& L = city.lines;
  Random rnd(31337);

  // Every kerb of every block: stretches of shop light with dark gaps, weaker along the
  // avenues, where the lamps carry the street.
  for (float line : L) {
    const float hw = CityLayout::halfWidth(line), share = city.isAvenue(line) ? 0.6f : 1.0f;
    for (size_t i = 0; i + 1 < L.size(); ++i) {
      const float s0 = L[i] + CityLayout::halfWidth(L[i]), s1 = L[i + 1] - CityLayout::halfWidth(L[i + 1]);
      for (bool alongX : {true, false})
        for (float side : {-1.0f, 1.0f}) {
          float s = s0 + rnd.uniform(0, 4);
          while (s < s1 - 3) {
            const float len = rnd.uniform(4, 14), pick = rnd.uniform(), strength = rnd.uniform(0.03f, 0.1f);
            if (!rnd.chance(0.3f))
              paint.spill(alongX, s, std::min(s + len, s1), line + side * hw, -side, 2.2f, shopLight(pick),
                          strength * share);
            s += len + rnd.uniform(1, 6);
          }
        }
    }
  }

  // The avenue lamps: a pool on the asphalt under each head, and its reflection drawn out
  // along the wet street the way the camera, flying along the avenues, sees it.
  const Rgba sodium{1.0f, 0.7f, 0.4f};
  for (const StreetLamp& l : streetLamps(city)) {
    const Vec3 c = l.foot + l.reach * 2.2f;
    const bool alongX = l.reach.x == 0;
    paint.blob(c.x, c.z, alongX ? 4.5f : 3.5f, alongX ? 3.5f : 4.5f, sodium, 0.42f);
    paint.blob(c.x, c.z, alongX ? 14.0f : 1.2f, alongX ? 1.2f : 14.0f, sodium, 0.08f);
  }

  // The signs' reflections: a long streak in the sign's colour in front of it, starting at
  // the kerb and reaching into the street as far as a tall sign's mirror image would.
  for (const SignPlate& s : placeSigns(city)) {
    const Rgba c = signColour(s.cell);
    const Vec3 mid = (s.corner[0] + s.corner[1]) * 0.5f;
    const bool alongX = s.facing.x == 0;
    // The kerb on the sign's side of the nearest avenue, then a few units into the street.
    const float across = alongX ? mid.z : mid.x;
    float a = city.avenues.front();
    for (float v : city.avenues)
      if (std::fabs(v - across) < std::fabs(a - across)) a = v;
    const float facing = alongX ? s.facing.z : s.facing.x;
    const float centre = a - facing * (CityLayout::halfWidth(a) - 2.5f);
    const Vec3 at = alongX ? Vec3{mid.x, 0, centre} : Vec3{centre, 0, mid.z};
    paint.blob(at.x, at.z, alongX ? 12.0f : 2.2f, alongX ? 2.2f : 12.0f, c, 0.09f);
    paint.blob(at.x, at.z, alongX ? 3.0f : 1.4f, alongX ? 1.4f : 3.0f, c, 0.07f);
  }
  // Alpha: the asphalt's wet patches, which the street effect brightens the light on.
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      img.at(x, y).a = 0.6f * valueNoise(float(x) / 3.0f, float(y) / 3.0f, 512, 4101) +
                       0.4f * valueNoise(float(x) * 0.8f, float(y) * 0.8f, 512, 4102);
  return img;
}

std::vector<uint8_t> groundLightTexture() { return groundLightImage(makeCityLayout()).toPng(true); }

}  // namespace content
