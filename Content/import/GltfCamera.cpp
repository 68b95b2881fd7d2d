#include "import/GltfCamera.h"

#include <algorithm>
#include <cmath>

namespace gltf_import {

namespace {

constexpr double kPi = 3.14159265358979323846;

Vec3 normalised(const Vec3& v) {
  const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  return l > 1e-300 ? Vec3{v[0] / l, v[1] / l, v[2] / l} : Vec3{0, 0, 1};
}

Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

}  // namespace

void Bounds::add(const Vec3& p) {
  for (size_t i = 0; i < 3; ++i) {
    lo[i] = std::min(lo[i], p[i]);
    hi[i] = std::max(hi[i], p[i]);
  }
}

Vec3 Bounds::centre() const {
  if (empty()) return {0, 0, 0};
  return {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
}

double Bounds::radius() const {
  if (empty()) return 1.0;
  const Vec3 d{hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]};
  return std::max(std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) / 2, 1e-3);
}

Quat lookAt(const Vec3& eye, const Vec3& target) {
  const Vec3 forward = normalised({target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]});
  Vec3 right = cross(forward, {0, 1, 0});
  if (right[0] * right[0] + right[1] * right[1] + right[2] * right[2] < 1e-12) right = {1, 0, 0};
  right = normalised(right);
  const Vec3 up = cross(right, forward);
  // The rotation's columns are the camera's axes: X right, Y up, Z backwards.
  const double m[3][3] = {{right[0], up[0], -forward[0]}, {right[1], up[1], -forward[1]}, {right[2], up[2], -forward[2]}};
  const double trace = m[0][0] + m[1][1] + m[2][2];
  Quat q;
  if (trace > 0) {
    const double s = std::sqrt(trace + 1.0) * 2;
    q = {(m[2][1] - m[1][2]) / s, (m[0][2] - m[2][0]) / s, (m[1][0] - m[0][1]) / s, s / 4};
  } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
    const double s = std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]) * 2;
    q = {s / 4, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s, (m[2][1] - m[1][2]) / s};
  } else if (m[1][1] > m[2][2]) {
    const double s = std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]) * 2;
    q = {(m[0][1] + m[1][0]) / s, s / 4, (m[1][2] + m[2][1]) / s, (m[0][2] - m[2][0]) / s};
  } else {
    const double s = std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]) * 2;
    q = {(m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, s / 4, (m[1][0] - m[0][1]) / s};
  }
  return q;
}

Framing frameBounds(const Bounds& bounds, double yfov, double clearance) {
  const Vec3 centre = bounds.centre();
  const double distance = std::max(bounds.radius() / std::sin(yfov / 2) * 1.05, bounds.radius() + clearance);
  // 35 degrees round from the front towards +X, 25 degrees above.
  const double azimuth = 35 * kPi / 180, elevation = 25 * kPi / 180;
  const Vec3 direction{std::sin(azimuth) * std::cos(elevation), std::sin(elevation), std::cos(azimuth) * std::cos(elevation)};
  Framing f;
  f.position = {centre[0] + distance * direction[0], centre[1] + distance * direction[1], centre[2] + distance * direction[2]};
  f.rotation = lookAt(f.position, centre);
  return f;
}

std::pair<double, double> fittedPlanes(const Bounds& bounds, const Vec3& eye) {
  const Vec3 c = bounds.centre();
  const double d = std::sqrt((c[0] - eye[0]) * (c[0] - eye[0]) + (c[1] - eye[1]) * (c[1] - eye[1]) + (c[2] - eye[2]) * (c[2] - eye[2]));
  const double r = bounds.radius();
  const double farPlane = (d + r) * 1.5;
  // In front of the sphere when the eye is outside it, else a small part of the far distance.
  const double nearPlane = d > r * 1.01 ? (d - r) * 0.9 : farPlane * 1e-4;
  return {nearPlane, farPlane};
}

}  // namespace gltf_import
