// SceneWriter: helpers that fill a scene root (the generated Kestrel classes) from generated
// meshes — geometry streams, objects with their surfaces and motion, materials, shaders,
// textures — and build the envelopes that animate them.
//
// Used by the scene generators while they assemble one scene; every reference it writes is
// the 1-based position the scene format expects. It does no validation of its own; the
// scene tests check the finished file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/Mesh.h"
#include "resources/KestrelLib.pb.h"

namespace content {

// Span types and behaviours of envelope keys.
enum SpanType : uint32_t { kTcb = 0, kHermite = 1, kBezier = 2, kLinear = 3, kStepped = 4, kBezier2D = 5 };
enum Behaviour : uint32_t { kReset = 0, kConstant = 1, kRepeat = 2, kOscillate = 3, kOffsetRepeat = 4 };

Kestrel::Envelope constantEnvelope(float value);
void addKey(Kestrel::Envelope& envelope, float time, float value, uint32_t spanType = kTcb, float p1 = 0,
            float p2 = 0, float p3 = 0, float p4 = 0, float p5 = 0);

// Nine motion channels: position, heading/pitch/bank (radians), scale.
struct Motion {
  Kestrel::Envelope channel[9];
  Motion(Vec3 position = {}, float heading = 0);
};

// A mesh split into ranges drawn with different materials.
struct SurfaceMesh {
  Mesh mesh;
  struct Range {
    uint32_t material, first, count, mini, maxi;
  };
  std::vector<Range> ranges;
  // Appends part as one range drawn with material (empty parts add nothing).
  void add(const Mesh& part, uint32_t material);
};

struct Geometry {
  uint32_t points = 0, normals = 0, tangents = 0, uvs = 0, polygons = 0, vbo = 0;
  std::vector<SurfaceMesh::Range> ranges;
  uint32_t triangles = 0;
};

class SceneWriter {
 public:
  explicit SceneWriter(Kestrel::KestrelLib& root) : root(root) {}

  uint32_t texture(const std::string& source);
  // shader: the effect file and its samplers (name, texture number).
  uint32_t shader(const std::string& source, const std::vector<std::pair<std::string, uint32_t>>& samplers);
  uint32_t material(float r, float g, float b, uint32_t shader, uint32_t tTexID, Kestrel::MappingType mapping);

  // Stores the streams of a mesh under a new sharing key.
  Geometry geometry(const SurfaceMesh& mesh);
  // An object drawing geometry (sharing its streams and key); materials may replace those of
  // the ranges, in range order. Returns the object's number.
  uint32_t object(const Geometry& g, const Motion& motion, const std::vector<uint32_t>& materials = {});
  uint32_t nullObject(const Motion& motion);
  void setParent(uint32_t object, uint32_t parent);
  void setDissolve(uint32_t object, const Kestrel::Envelope& dissolve);

  uint32_t trianglesDrawn = 0;  // over all objects, instances counted each
  uint32_t drawCalls = 0;       // surfaces over all objects

 private:
  Kestrel::KestrelLib& root;
  uint32_t nextVbo = 1;
};

}  // namespace content
