// GltfCamera: the geometry of the importer's own camera, for a glTF scene that has none, and
// of clipping planes fitted to a scene's bounds.
//
// Internal to the importer; pure functions over the scene's world-space bounds at its first
// frame. glTF's conventions: +Y up, the front of a model faces +Z, a camera looks along its -Z.
#pragma once

#include <array>
#include <utility>

#include "import/GltfCurves.h"

namespace gltf_import {

using Vec3 = std::array<double, 3>;

struct Bounds {
  Vec3 lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
  bool empty() const { return lo[0] > hi[0]; }
  void add(const Vec3& p);
  Vec3 centre() const;
  double radius() const;  // half the diagonal; at least a small positive size
};

struct Framing {
  Vec3 position;
  Quat rotation;  // glTF's: the camera looks along its -Z, +Y up
};

// A three-quarter view from the front and a little above, far enough that the sphere around
// `bounds` fits the vertical field of view `yfov` (the narrower one of a wide view) and that no
// part of it is nearer than `clearance`.
Framing frameBounds(const Bounds& bounds, double yfov, double clearance);

// The rotation that turns a camera at `eye` to look at `target`, +Y up.
Quat lookAt(const Vec3& eye, const Vec3& target);

// Near and far planes that hold the whole of `bounds` seen from `eye`.
std::pair<double, double> fittedPlanes(const Bounds& bounds, const Vec3& eye);

}  // namespace gltf_import
