#include "scene/Frustum.h"

#include <cmath>

#include "cg/Transforms.h"

Frustum Frustum::fromMatrices(const float* p, const float* mv) {
  // Column-major: element (row r, column c) is m[c * 4 + r].
  float clip[16];
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += p[k * 4 + r] * mv[c * 4 + k];
      clip[c * 4 + r] = sum;
    }
  auto row = [&](int r, int i) { return clip[i * 4 + r]; };
  Frustum f;
  // Inside means -w <= x, y, z <= w: each plane is row 3 plus or minus rows 0, 1, 2.
  for (int axis = 0; axis < 3; ++axis)
    for (int side = 0; side < 2; ++side) {
      std::array<float, 4>& plane = f.planes[static_cast<size_t>(axis * 2 + side)];
      const float sign = side == 0 ? 1.0f : -1.0f;
      for (int i = 0; i < 4; ++i) plane[static_cast<size_t>(i)] = row(3, i) + sign * row(axis, i);
      const float length = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
      if (length > 0.0f)
        for (float& v : plane) v /= length;
    }
  return f;
}

Frustum Frustum::fromTransforms() { return fromMatrices(cg::projection(), cg::modelView()); }

bool Frustum::sphereOutside(float x, float y, float z, float radius) const {
  for (const auto& p : planes)
    if (p[0] * x + p[1] * y + p[2] * z + p[3] < -radius) return true;
  return false;
}

bool Frustum::boxOutsideSides(const float lo[3], const float hi[3]) const {
  // Planes 0-3 are the sides, 4 the near plane and 5 the far plane. The box is outside a
  // plane when even its corner farthest along the plane's normal lies behind it.
  for (size_t i = 0; i < 5; ++i) {
    const auto& p = planes[i];
    const float x = p[0] >= 0.0f ? hi[0] : lo[0], y = p[1] >= 0.0f ? hi[1] : lo[1], z = p[2] >= 0.0f ? hi[2] : lo[2];
    if (p[0] * x + p[1] * y + p[2] * z + p[3] < 0.0f) return true;
  }
  return false;
}
