// Frustum: the six clip planes of a view, for skipping what cannot reach the picture.
//
// fromTransforms() reads the projection and modelview in force (cg/Transforms.h, column-major)
// and gives the planes in the modelview's object space; sphereOutside() tells whether a
// sphere in that space lies wholly outside one of them. A sphere that is not outside may
// still be invisible (it can straddle two planes' corner); a sphere reported outside is
// never visible, so skipping it leaves the picture unchanged. boxOutsideSides() does the
// same for a box, against every plane but the far one.
#pragma once

#include <array>

struct Frustum {
  // a·x + b·y + c·z + d >= 0 inside, normalised so that the value is a distance.
  std::array<std::array<float, 4>, 6> planes{};

  // clip = projection × modelview, both column-major as glGetFloatv hands them.
  static Frustum fromMatrices(const float* projection, const float* modelview);
  // The matrices of the current GL context.
  static Frustum fromTransforms();

  bool sphereOutside(float x, float y, float z, float radius) const;
  // Whether the axis-aligned box lo..hi lies wholly outside one of the side planes or the
  // near plane. The far plane is left out: some effects pull distant vertices in along their
  // view ray (the far city), which keeps them on the same spot of the screen but not at the
  // same depth.
  bool boxOutsideSides(const float lo[3], const float hi[3]) const;
};
