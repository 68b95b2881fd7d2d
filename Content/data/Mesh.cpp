#include "data/Mesh.h"

#include <algorithm>
#include <cmath>

namespace content {

Vec3 cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

Vec3 normalize(Vec3 a) {
  float l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
  return l > 0 ? a * (1.0f / l) : a;
}

uint32_t Mesh::addVertex(Vec3 p, Vec3 n, Vec3 t, float u, float v) {
  uint32_t index = vertexCount();
  points.insert(points.end(), {p.x, p.y, p.z});
  normals.insert(normals.end(), {n.x, n.y, n.z});
  tangents.insert(tangents.end(), {t.x, t.y, t.z});
  uvs.insert(uvs.end(), {u, v});
  return index;
}

void Mesh::addTriangle(uint32_t a, uint32_t b, uint32_t c) { polygons.insert(polygons.end(), {a, b, c}); }

void Mesh::addQuad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, float u0, float v0, float u1, float v1) {
  Vec3 n = normalize(cross(b - a, d - a));
  Vec3 t = normalize(b - a);
  uint32_t i0 = addVertex(a, n, t, u0, v0);
  uint32_t i1 = addVertex(b, n, t, u1, v0);
  uint32_t i2 = addVertex(c, n, t, u1, v1);
  uint32_t i3 = addVertex(d, n, t, u0, v1);
  addTriangle(i0, i1, i2);
  addTriangle(i0, i2, i3);
}

void Mesh::append(const Mesh& other) {
  uint32_t base = vertexCount();
  points.insert(points.end(), other.points.begin(), other.points.end());
  normals.insert(normals.end(), other.normals.begin(), other.normals.end());
  tangents.insert(tangents.end(), other.tangents.begin(), other.tangents.end());
  uvs.insert(uvs.end(), other.uvs.begin(), other.uvs.end());
  for (uint32_t i : other.polygons) polygons.push_back(i + base);
}

void Mesh::bounds(Vec3& lo, Vec3& hi) const {
  lo = hi = Vec3{};
  for (size_t i = 0; i + 2 < points.size(); i += 3) {
    Vec3 p{points[i], points[i + 1], points[i + 2]};
    if (i == 0) {
      lo = hi = p;
      continue;
    }
    lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
    hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
  }
}

void addBox(Mesh& m, Vec3 lo, Vec3 hi, unsigned faces, BoxMapping mapping, float tileU, float tileV) {
  bool world = mapping == BoxMapping::World;
  float sx = hi.x - lo.x, sy = hi.y - lo.y, sz = hi.z - lo.z;
  auto uv = [&](float along, float up, float& u1, float& v1) {
    u1 = world ? along / tileU : 1;
    v1 = world ? up / tileV : 1;
  };
  float u1, v1;
  if (faces & kSides) {
    // South (+z), east (+x), north (-z), west (-x); each seen from outside, counter-clockwise.
    uv(sx, sy, u1, v1);
    m.addQuad({lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}, 0, 0, u1, v1);
    uv(sz, sy, u1, v1);
    m.addQuad({hi.x, lo.y, hi.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, 0, 0, u1, v1);
    uv(sx, sy, u1, v1);
    m.addQuad({hi.x, lo.y, lo.z}, {lo.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, 0, 0, u1, v1);
    uv(sz, sy, u1, v1);
    m.addQuad({lo.x, lo.y, lo.z}, {lo.x, lo.y, hi.z}, {lo.x, hi.y, hi.z}, {lo.x, hi.y, lo.z}, 0, 0, u1, v1);
  }
  if (faces & kTop) {
    uv(sx, sz, u1, v1);
    m.addQuad({lo.x, hi.y, hi.z}, {hi.x, hi.y, hi.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z}, 0, 0, u1, v1);
  }
  if (faces & kBottom) {
    uv(sx, sz, u1, v1);
    m.addQuad({lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, lo.y, hi.z}, {lo.x, lo.y, hi.z}, 0, 0, u1, v1);
  }
}

}  // namespace content
