// Mesh: geometry being generated — vertex streams and a triangle list — with the helpers the
// generators build shapes from (quads, boxes, transformed copies).
//
// A plain value type: generators fill it, then it is written as a mesh file (MmfWriter) or
// becomes the streams of one scene object. Every vertex has position, normal, tangent and
// texture coordinate; the mesh files keep all but the tangent.
#pragma once

#include <cstdint>
#include <vector>

namespace content {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
Vec3 cross(Vec3 a, Vec3 b);
Vec3 normalize(Vec3 a);

struct Mesh {
  std::vector<float> points;    // 3 per vertex
  std::vector<float> normals;   // 3 per vertex
  std::vector<float> tangents;  // 3 per vertex
  std::vector<float> uvs;       // 2 per vertex
  std::vector<uint32_t> polygons;  // 3 per triangle

  uint32_t vertexCount() const { return uint32_t(points.size() / 3); }
  uint32_t triangleCount() const { return uint32_t(polygons.size() / 3); }

  uint32_t addVertex(Vec3 p, Vec3 n, Vec3 t, float u, float v);
  void addTriangle(uint32_t a, uint32_t b, uint32_t c);

  // A flat quad through a, b, c, d (counter-clockwise seen from its front), with texture
  // coordinates (u0, v0) at a, (u1, v0) at b, (u1, v1) at c and (u0, v1) at d.
  void addQuad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, float u0, float v0, float u1, float v1);

  // Appends another mesh, its indices shifted past ours.
  void append(const Mesh& other);

  // Bounds of the positions; all zero for an empty mesh.
  void bounds(Vec3& lo, Vec3& hi) const;
};

// How addBox maps texture coordinates: Unit gives every face 0..1; World gives u, v in world
// units divided by the tile size, so that a texture repeats at a fixed size on every face.
enum class BoxMapping { Unit, World };

// Axis-aligned box from lo to hi with outward faces; the bottom face only when withBottom.
// tileU and tileV give the world size of one texture repeat for BoxMapping::World;
// sides and top may be mapped differently by calling the function twice with masks.
enum BoxFaces : unsigned { kSides = 1, kTop = 2, kBottom = 4, kAllFaces = 7 };
void addBox(Mesh& mesh, Vec3 lo, Vec3 hi, unsigned faces, BoxMapping mapping, float tileU = 1, float tileV = 1);

}  // namespace content
