#include "car/VeltroCar.h"

#include <cmath>

#include "city/CityTextures.h"
#include "data/Image.h"

namespace content {
namespace {

// Atlas regions (u0, v0, u1, v1), v measured from the bottom of the picture.
struct Region {
  float u0, v0, u1, v1;
};
constexpr Region kPaint{0.0f, 0.5f, 0.5f, 1.0f};
constexpr Region kGlass{0.5f, 0.5f, 1.0f, 1.0f};
constexpr Region kHead{0.0f, 0.0f, 0.25f, 0.25f};
constexpr Region kTail{0.25f, 0.0f, 0.5f, 0.25f};
constexpr Region kGlow{0.5f, 0.0f, 0.75f, 0.25f};
constexpr Region kTrim{0.75f, 0.0f, 1.0f, 0.25f};

struct Section {
  float x, w, bottom, belt, top, cabin;
};
// Cross-sections from tail to nose.
constexpr Section kSections[] = {
    {-2.0f, 0.72f, 0.30f, 0.62f, 0.72f, 0.48f}, {-1.5f, 0.88f, 0.16f, 0.70f, 0.92f, 0.52f},
    {-0.6f, 0.94f, 0.10f, 0.70f, 1.18f, 0.54f}, {0.35f, 0.94f, 0.10f, 0.68f, 1.12f, 0.48f},
    {1.25f, 0.84f, 0.14f, 0.58f, 0.70f, 0.44f}, {2.0f, 0.52f, 0.26f, 0.42f, 0.48f, 0.30f},
};
constexpr int kLoop = 8;

Vec3 loopPoint(const Section& s, int i) {
  // Around the section: bottom left, lower side, belt, roof left, roof right, belt, lower
  // side, bottom right (z from -w to w).
  const float z[kLoop] = {-0.8f * s.w, -s.w, -s.w, -s.cabin, s.cabin, s.w, s.w, 0.8f * s.w};
  const float y[kLoop] = {s.bottom, s.bottom + 0.12f, s.belt, s.top, s.top, s.belt, s.bottom + 0.12f, s.bottom};
  return {s.x, y[i], z[i]};
}

void quad(Mesh& m, Vec3 a, Vec3 b, Vec3 c, Vec3 d, Region r) { m.addQuad(a, b, c, d, r.u0, r.v0, r.u1, r.v1); }

void addCap(Mesh& m, const Section& s, bool nose, Region r) {
  // A flat fan over the section loop, facing out of the car.
  Vec3 n{nose ? 1.0f : -1.0f, 0, 0};
  Vec3 centre{s.x, (s.bottom + s.top) * 0.5f, 0};
  uint32_t c = m.addVertex(centre, n, {0, 0, 1}, (r.u0 + r.u1) * 0.5f, (r.v0 + r.v1) * 0.5f);
  uint32_t first = m.vertexCount();
  for (int i = 0; i < kLoop; ++i) {
    Vec3 p = loopPoint(s, i);
    float u = r.u0 + (r.u1 - r.u0) * (p.z / (2 * s.w) + 0.5f);
    float v = r.v0 + (r.v1 - r.v0) * ((p.y - s.bottom) / (s.top - s.bottom));
    m.addVertex(p, n, {0, 0, 1}, u, v);
  }
  for (int i = 0; i < kLoop; ++i) {
    uint32_t a = first + uint32_t(i), b = first + uint32_t((i + 1) % kLoop);
    if (nose)
      m.addTriangle(c, a, b);
    else
      m.addTriangle(c, b, a);
  }
}

// The nose's two head lamps and the full-width tail bar.
void addHeadAndTailLamps(Mesh& m) {
  const int sections = int(sizeof kSections / sizeof kSections[0]);
  const Section &nose = kSections[sections - 1], &tail = kSections[0];
  float nx = nose.x + 0.02f, tx = tail.x - 0.02f;
  for (float side : {-1.0f, 1.0f}) {
    float z0 = side * 0.08f, z1 = side * (nose.w - 0.04f);
    if (side < 0) std::swap(z0, z1);
    quad(m, {nx, nose.bottom + 0.04f, z1}, {nx, nose.bottom + 0.04f, z0}, {nx, nose.belt - 0.02f, z0},
         {nx, nose.belt - 0.02f, z1}, kHead);
  }
  quad(m, {tx, tail.belt - 0.16f, -tail.w + 0.05f}, {tx, tail.belt - 0.16f, tail.w - 0.05f},
       {tx, tail.belt - 0.02f, tail.w - 0.05f}, {tx, tail.belt - 0.02f, -tail.w + 0.05f}, kTail);
}

// Lights: the head and tail lamps and the side marker strips. The near and the far mesh
// carry them at the same places, so a far car keeps its lamps.
void addLights(Mesh& m) {
  addHeadAndTailLamps(m);
  const Section& mid = kSections[2];
  for (float side : {-1.0f, 1.0f}) {
    float z = side * (mid.w + 0.01f), y = mid.belt - 0.12f;
    Vec3 p0{-1.9f, y, z}, p1{1.9f, y, z}, p2{1.9f, y + 0.05f, z}, p3{-1.9f, y + 0.05f, z};
    if (side > 0)
      quad(m, p0, p1, p2, p3, kGlow);
    else
      quad(m, p1, p0, p3, p2, kGlow);
  }
}

// Two short tail fins, each a thin triangle seen from both sides, with a red lamp on top.
void addFins(Mesh& m) {
  const Section& tail = kSections[0];
  auto twoSided = [&m](Vec3 a, Vec3 b, Vec3 c, Region r) {
    Vec3 n = normalize(cross(b - a, c - a));
    for (float s : {1.0f, -1.0f}) {
      uint32_t i0 = m.addVertex(a, n * s, {1, 0, 0}, r.u0, r.v0);
      uint32_t i1 = m.addVertex(b, n * s, {1, 0, 0}, r.u1, r.v0);
      uint32_t i2 = m.addVertex(c, n * s, {1, 0, 0}, r.u1, r.v1);
      if (s > 0)
        m.addTriangle(i0, i1, i2);
      else
        m.addTriangle(i0, i2, i1);
    }
  };
  for (float side : {-1.0f, 1.0f}) {
    float z = side * 0.42f;
    Vec3 a{-2.0f, tail.top, z}, b{-1.2f, 0.95f, z}, c{-1.75f, 1.25f, z};
    twoSided(a, b, c, kTrim);
    twoSided(c + Vec3{0, 0.02f, -0.06f}, c + Vec3{0.14f, -0.1f, 0}, c + Vec3{0, 0.02f, 0.06f}, kTail);
  }
}

}  // namespace

Mesh veltroMesh() {
  Mesh m;
  const int sections = int(sizeof kSections / sizeof kSections[0]);
  for (int s = 0; s + 1 < sections; ++s) {
    const Section &a = kSections[s], &b = kSections[s + 1];
    for (int i = 0; i < kLoop - 1; ++i) {
      Vec3 a0 = loopPoint(a, i), a1 = loopPoint(a, i + 1), b0 = loopPoint(b, i), b1 = loopPoint(b, i + 1);
      bool roof = i >= 2 && i <= 4;
      bool glass = roof && s >= 1 && s <= 3;
      Region r = glass ? kGlass : kPaint;
      // Paint: u along the car, v around it, so the stripe and panel lines follow the body.
      float u0 = r.u0 + (r.u1 - r.u0) * (float(s) / (sections - 1));
      float u1 = r.u0 + (r.u1 - r.u0) * (float(s + 1) / (sections - 1));
      float v0 = r.v0 + (r.v1 - r.v0) * (float(i) / (kLoop - 1));
      float v1 = r.v0 + (r.v1 - r.v0) * (float(i + 1) / (kLoop - 1));
      m.addQuad(a0, a1, b1, b0, 0, 0, 0, 0);
      size_t n = m.uvs.size();
      float uv[8] = {u0, v0, u0, v1, u1, v1, u1, v0};
      for (int k = 0; k < 8; ++k) m.uvs[n - 8 + k] = uv[k];
    }
    // Underside, in the glow colour: the car's hover light.
    Vec3 a0 = loopPoint(a, kLoop - 1), a1 = loopPoint(a, 0), b0 = loopPoint(b, kLoop - 1), b1 = loopPoint(b, 0);
    quad(m, a0, a1, b1, b0, s == 1 || s == 2 || s == 3 ? kGlow : kTrim);
  }
  addCap(m, kSections[0], false, kTrim);
  addCap(m, kSections[sections - 1], true, kTrim);

  addLights(m);
  addFins(m);
  return m;
}

Mesh veltroFarMesh() {
  // The same body through four of its sections (tail, cabin, its back, nose) and six points
  // around each, on the same atlas, with the near car's lamps and fins: from afar the
  // outline, the red tail bar, the fin lamps, the side markers and the head lamps are what
  // shows, and the bloom sees the same light panels.
  Mesh m;
  const Section* sections[] = {&kSections[0], &kSections[2], &kSections[3], &kSections[5]};
  constexpr int kSectionCount = 4;
  auto point = [](const Section& s, int i) {
    const float z[6] = {-0.8f * s.w, -s.w, -s.cabin, s.cabin, s.w, 0.8f * s.w};
    const float y[6] = {s.bottom, s.belt, s.top, s.top, s.belt, s.bottom};
    return Vec3{s.x, y[i], z[i]};
  };
  for (int s = 0; s + 1 < kSectionCount; ++s) {
    const Section &a = *sections[s], &b = *sections[s + 1];
    for (int i = 0; i < 5; ++i) {
      const bool glass = i == 2 && s < 2;
      quad(m, point(a, i), point(a, i + 1), point(b, i + 1), point(b, i), glass ? kGlass : kPaint);
    }
    quad(m, point(a, 5), point(a, 0), point(b, 0), point(b, 5), s < 2 ? kGlow : kTrim);  // underside
  }
  // Caps: a fan over each end's six points in the trim colour, facing out of the car.
  for (int end = 0; end < 2; ++end) {
    const Section& s = *sections[end == 0 ? 0 : kSectionCount - 1];
    const Vec3 n{end == 0 ? -1.0f : 1.0f, 0, 0};
    uint32_t first = m.vertexCount();
    for (int i = 0; i < 6; ++i)
      m.addVertex(point(s, i), n, {0, 0, 1}, (kTrim.u0 + kTrim.u1) * 0.5f, (kTrim.v0 + kTrim.v1) * 0.5f);
    for (uint32_t i = 1; i + 1 < 6; ++i) {
      if (end == 0)
        m.addTriangle(first, first + i + 1, first + i);
      else
        m.addTriangle(first, first + i, first + i + 1);
    }
  }
  addLights(m);
  addFins(m);
  return m;
}

Mesh veltroDistantMesh() {
  // A tapered box, tail to nose, that covers about the body's outline from the side, from
  // above and from behind, on the same atlas: paint flanks, a glass roof, the glowing
  // underside, trim ends, and the head and tail lamps where the other meshes have them.
  // The side markers and fin lamps are left out: at the distance this mesh is for they are
  // far thinner than a pixel.
  Mesh m;
  struct End {
    float x, w, roof, bottom, top;  // half widths at the bottom and at the roof
  };
  const End ends[2] = {{-2.0f, 0.9f, 0.62f, 0.12f, 1.1f}, {2.0f, 0.7f, 0.45f, 0.2f, 0.7f}};
  auto point = [](const End& e, int i) {
    const float z[4] = {-e.w, -e.roof, e.roof, e.w};
    const float y[4] = {e.bottom, e.top, e.top, e.bottom};
    return Vec3{e.x, y[i], z[i]};
  };
  const End &tail = ends[0], &nose = ends[1];
  // Flanks take the paint's bands of the lower sides, with the stripe; the roof takes glass.
  const float band = (kPaint.v1 - kPaint.v0) / float(kLoop - 1);
  m.addQuad(point(tail, 0), point(tail, 1), point(nose, 1), point(nose, 0), kPaint.u0, kPaint.v0 + band, kPaint.u1,
            kPaint.v0 + 3 * band);
  m.addQuad(point(tail, 1), point(tail, 2), point(nose, 2), point(nose, 1), kGlass.u0, kGlass.v0, kGlass.u1, kGlass.v1);
  m.addQuad(point(tail, 2), point(tail, 3), point(nose, 3), point(nose, 2), kPaint.u0, kPaint.v1 - 3 * band, kPaint.u1,
            kPaint.v1 - band);
  quad(m, point(tail, 3), point(tail, 0), point(nose, 0), point(nose, 3), kGlow);
  quad(m, point(tail, 0), point(tail, 3), point(tail, 2), point(tail, 1), kTrim);
  quad(m, point(nose, 3), point(nose, 0), point(nose, 1), point(nose, 2), kTrim);
  addHeadAndTailLamps(m);
  return m;
}

std::vector<uint8_t> veltroTexture() {
  Image img(512, 512, {0, 0, 0, 0});
  auto rect = [&](Region r, auto&& paint) {
    int x0 = int(r.u0 * 512), x1 = int(r.u1 * 512), y0 = int((1 - r.v1) * 512), y1 = int((1 - r.v0) * 512);
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        img.at(x, y) = paint(float(x - x0) / float(x1 - x0), float(y - y0) / float(y1 - y0));
  };
  // Paint: u along the car (tail to nose), v around it from the bottom left (image bottom) to
  // the bottom right (image top). A deep violet metallic with a cyan stripe along each flank.
  rect(kPaint, [](float u, float v) {
    float around = 1 - v;  // 0 bottom left .. 1 bottom right
    float sheen = 0.5f + 0.5f * std::cos((around - 0.45f) * 5.0f);
    Rgba c{0.10f + 0.22f * sheen, 0.08f + 0.14f * sheen, 0.24f + 0.30f * sheen, 0};
    float stripeL = std::fabs(around - 0.22f), stripeR = std::fabs(around - 0.78f);
    if (stripeL < 0.025f || stripeR < 0.025f) c = {0.15f, 0.85f, 1.0f, 0};
    if (std::fabs(u - 0.42f) < 0.004f || std::fabs(u - 0.7f) < 0.004f) c = {c.r * 0.4f, c.g * 0.4f, c.b * 0.4f, 0};
    c.r += 0.02f * hash01(int(u * 256), int(v * 256), 3);
    return c;
  });
  rect(kGlass, [](float u, float v) {
    float streak = std::exp(-std::pow((u + v - 0.9f) * 7.0f, 2.0f)) * 0.35f;
    return Rgba{0.03f + streak, 0.06f + streak, 0.12f + streak * 1.2f, 0};
  });
  rect(kHead, [](float, float) { return Rgba{1.0f, 0.98f, 0.92f, 1}; });
  rect(kTail, [](float, float) { return Rgba{1.0f, 0.08f, 0.05f, 1}; });
  rect(kGlow, [](float, float) { return Rgba{0.2f, 0.9f, 1.0f, 1}; });
  rect(kTrim, [](float u, float v) {
    float g = 0.05f + 0.03f * hash01(int(u * 128), int(v * 128), 9);
    return Rgba{g, g, g * 1.2f, 0};
  });
  // The name on the flanks' stripe, for anyone close enough.
  drawText(img, 70, 100, 3, "VELTRO 12", {0.9f, 0.95f, 1.0f, 0});
  return img.toPng(true);
}

}  // namespace content
