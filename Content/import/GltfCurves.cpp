#include "import/GltfCurves.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace gltf_import {
namespace {

constexpr double kPi = 3.14159265358979323846;

Quat multiply(const Quat& a, const Quat& b) {
  return {a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1],
          a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
          a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3],
          a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
}

Quat axisQuat(int axis, double angle) {
  Quat q{0, 0, 0, std::cos(angle * 0.5)};
  q[static_cast<size_t>(axis)] = std::sin(angle * 0.5);
  return q;
}

Quat normalised(Quat q) {
  const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  if (length == 0) return {0, 0, 0, 1};
  for (double& c : q) c /= length;
  return q;
}

Quat slerp(Quat a, Quat b, double u) {
  double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
  if (dot < 0) {
    for (double& c : b) c = -c;
    dot = -dot;
  }
  Quat out;
  if (dot > 0.9999995) {
    for (size_t i = 0; i < 4; ++i) out[i] = a[i] + (b[i] - a[i]) * u;
    return normalised(out);
  }
  const double theta = std::acos(std::min(dot, 1.0));
  const double wa = std::sin((1 - u) * theta) / std::sin(theta), wb = std::sin(u * theta) / std::sin(theta);
  for (size_t i = 0; i < 4; ++i) out[i] = wa * a[i] + wb * b[i];
  return out;
}

// Row-major rotation matrix of a unit quaternion.
std::array<double, 9> matrixOf(const Quat& q) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  return {1 - 2 * (y * y + z * z), 2 * (x * y - z * w),     2 * (x * z + y * w),
          2 * (x * y + z * w),     1 - 2 * (x * x + z * z), 2 * (y * z - x * w),
          2 * (x * z - y * w),     2 * (y * z + x * w),     1 - 2 * (x * x + y * y)};
}

double nearestTurn(double angle, double near) { return angle + 2 * kPi * std::round((near - angle) / (2 * kPi)); }

Quat quatAt(const Curve& curve, float time) {
  const std::vector<float> v = curve.at(time);
  return normalised({v[0], v[1], v[2], v[3]});
}

}  // namespace

std::vector<float> Curve::at(float time) const {
  const size_t c = static_cast<size_t>(components);
  const size_t n = times.size();
  const size_t stride = mode == Interpolation::CubicSpline ? 3 * c : c;
  const size_t skip = mode == Interpolation::CubicSpline ? c : 0;  // the in-tangent before the value
  std::vector<float> out(c, 0.0f);
  if (n == 0 || values.size() < n * stride) return out;
  auto value = [&](size_t k, size_t i) { return static_cast<double>(values[k * stride + skip + i]); };
  size_t k = 0;
  if (time <= times[0]) k = 0;
  else if (time >= times[n - 1]) k = n - 1;
  else k = static_cast<size_t>(std::upper_bound(times.begin(), times.end(), time) - times.begin()) - 1;
  if (time <= times[0] || time >= times[n - 1] || mode == Interpolation::Step) {
    for (size_t i = 0; i < c; ++i) out[i] = static_cast<float>(value(k, i));
    return out;
  }
  const double dt = static_cast<double>(times[k + 1]) - times[k];
  const double u = (static_cast<double>(time) - times[k]) / dt;
  std::vector<double> result(c);
  if (mode == Interpolation::Linear) {
    if (c == 4) {
      const Quat q = slerp({value(k, 0), value(k, 1), value(k, 2), value(k, 3)},
                           {value(k + 1, 0), value(k + 1, 1), value(k + 1, 2), value(k + 1, 3)}, u);
      for (size_t i = 0; i < 4; ++i) out[i] = static_cast<float>(q[i]);
      return out;
    }
    for (size_t i = 0; i < c; ++i) result[i] = value(k, i) + (value(k + 1, i) - value(k, i)) * u;
  } else {
    const double u2 = u * u, u3 = u2 * u;
    for (size_t i = 0; i < c; ++i) {
      const double outTangent = values[k * stride + 2 * c + i], inTangent = values[(k + 1) * stride + i];
      result[i] = (2 * u3 - 3 * u2 + 1) * value(k, i) + (u3 - 2 * u2 + u) * dt * outTangent +
                  (-2 * u3 + 3 * u2) * value(k + 1, i) + (u3 - u2) * dt * inTangent;
    }
    if (c == 4) {
      const Quat q = normalised({result[0], result[1], result[2], result[3]});
      for (size_t i = 0; i < 4; ++i) result[i] = q[i];
    }
  }
  for (size_t i = 0; i < c; ++i) out[i] = static_cast<float>(result[i]);
  return out;
}

// Objects: R = Rz(B) Rx(-P) Ry(-H); the scene camera: R = Ry(-H) Rx(-P) Rz(B).
Quat eulerToQuat(const Euler& a, EulerOrder order) {
  const Quat h = axisQuat(1, -a[0]), p = axisQuat(0, -a[1]), b = axisQuat(2, a[2]);
  return order == EulerOrder::Object ? multiply(multiply(b, p), h) : multiply(multiply(h, p), b);
}

Euler quatToEuler(const Quat& q, EulerOrder order, const Euler& near) {
  const std::array<double, 9> r = matrixOf(normalised(q));
  double h = 0, p = 0, b = 0;  // the angles of the standard right-handed axis rotations
  if (order == EulerOrder::Object) {
    p = std::asin(std::clamp(r[7], -1.0, 1.0));
    if (std::cos(p) > 1e-7) {
      h = std::atan2(-r[6], r[8]);
      b = std::atan2(-r[1], r[4]);
    } else {
      b = std::atan2(r[3], r[0]);
    }
  } else {
    p = std::asin(std::clamp(-r[5], -1.0, 1.0));
    if (std::cos(p) > 1e-7) {
      h = std::atan2(r[2], r[8]);
      b = std::atan2(r[3], r[4]);
    } else {
      h = std::atan2(-r[6], r[0]);
    }
  }
  // Both orders have the twin solution (h + pi, pi - p, b + pi); take the one that moves least.
  Euler best{};
  double bestDistance = 1e300;
  for (const Euler& s : {Euler{-h, -p, b}, Euler{-(h + kPi), -(kPi - p), b + kPi}}) {
    Euler e;
    double distance = 0;
    for (size_t i = 0; i < 3; ++i) {
      e[i] = nearestTurn(s[i], near[i]);
      distance += std::fabs(e[i] - near[i]);
    }
    if (distance < bestDistance) bestDistance = distance, best = e;
  }
  return best;
}

double angleBetween(const Quat& a, const Quat& b) {
  const Quat x = normalised(a), y = normalised(b);
  const double dot = std::fabs(x[0] * y[0] + x[1] * y[1] + x[2] * y[2] + x[3] * y[3]);
  return 2 * std::acos(std::min(dot, 1.0)) * 180.0 / kPi;
}

void constantEnvelope(float value, Kestrel::Envelope& out) {
  out.Clear();
  out.set_pre(1);
  out.set_post(1);
  Kestrel::Key* key = out.add_key();
  key->set_spantype(3);
  key->set_value(value);
  key->set_time(0.0f);
}

void componentEnvelope(const Curve& curve, int component, float factor, Kestrel::Envelope& out) {
  out.Clear();
  out.set_pre(1);
  out.set_post(1);
  const size_t n = curve.times.size(), c = static_cast<size_t>(curve.components), i = static_cast<size_t>(component);
  const bool cubic = curve.mode == Interpolation::CubicSpline;
  const size_t stride = cubic ? 3 * c : c;
  const std::vector<float>& t = curve.times;
  for (size_t k = 0; k < n; ++k) {
    Kestrel::Key* key = out.add_key();
    key->set_time(t[k]);
    key->set_value(factor * curve.values[k * stride + (cubic ? c : 0) + i]);
    if (!cubic) {
      key->set_spantype(curve.mode == Interpolation::Step ? 4 : 3);
      continue;
    }
    // The envelope scales an outgoing tangent by (t[k+1]-t[k]) / (t[k+1]-t[k-1]) and an
    // incoming one by (t[k]-t[k-1]) / (t[k+1]-t[k-1]) where the neighbour exists; the file's
    // tangents are per second, so the span's length and that ratio are folded in here.
    key->set_spantype(1);
    const double inTangent = curve.values[k * stride + i], outTangent = curve.values[k * stride + 2 * c + i];
    if (k + 1 < n) {
      const double span = static_cast<double>(t[k + 1]) - (k > 0 ? t[k - 1] : t[k]);
      key->set_p5(static_cast<float>(factor * outTangent * span));
    }
    if (k > 0) {
      const double span = static_cast<double>(k + 1 < n ? t[k + 1] : t[k]) - t[k - 1];
      key->set_p4(static_cast<float>(factor * inTangent * span));
    }
  }
}

namespace {
void startEnvelopes(std::array<Kestrel::Envelope*, 3> out) {
  for (Kestrel::Envelope* e : out) {
    e->Clear();
    e->set_pre(1);
    e->set_post(1);
  }
}

void addKeys(std::array<Kestrel::Envelope*, 3> out, float time, const std::array<double, 3>& values, uint32_t span) {
  for (size_t i = 0; i < 3; ++i) {
    Kestrel::Key* key = out[i]->add_key();
    key->set_time(time);
    key->set_value(static_cast<float>(values[i]));
    key->set_spantype(span);
  }
}

// Linear keys at `times` and between them wherever `error` (of the straight line between two
// keys, at eight points) exceeds `tolerance`. Keys are made from left to right: `exact` gives
// the value at a time nearest to the key before it, so no component jumps between neighbours.
using Triple = std::array<double, 3>;
void refinedKeys(const std::vector<float>& times, const std::function<Triple(float, const Triple&)>& exact,
                 const std::function<double(float, const Triple&)>& error, double tolerance,
                 std::array<Kestrel::Envelope*, 3> out) {
  auto lerp = [](const Triple& a, const Triple& b, double u) {
    return Triple{a[0] + (b[0] - a[0]) * u, a[1] + (b[1] - a[1]) * u, a[2] + (b[2] - a[2]) * u};
  };
  auto spanError = [&](float t0, const Triple& e0, float t1, const Triple& e1) {
    double worst = 0;
    for (int s = 1; s < 8; ++s) {
      const double u = s / 8.0;
      worst = std::max(worst, error(static_cast<float>(t0 + (static_cast<double>(t1) - t0) * u), lerp(e0, e1, u)));
    }
    return worst;
  };
  if (times.empty()) return;
  float t0 = times[0];
  Triple e0 = exact(t0, Triple{0, 0, 0});
  addKeys(out, t0, e0, 3);
  for (size_t k = 1; k < times.size(); ++k) {
    while (t0 < times[k]) {
      // The longest stretch from t0 towards the next key (halving it at most 12 times) whose
      // straight line stays within the tolerance.
      float t1 = times[k];
      Triple e1 = exact(t1, e0);
      for (int depth = 0; depth < 12 && spanError(t0, e0, t1, e1) > tolerance; ++depth) {
        const float middle = static_cast<float>(0.5 * (static_cast<double>(t0) + t1));
        if (middle <= t0 || middle >= t1) break;
        t1 = middle;
        e1 = exact(t1, e0);
      }
      addKeys(out, t1, e1, 3);
      t0 = t1;
      e0 = e1;
    }
  }
}
}  // namespace

void rotationEnvelopes(const std::vector<float>& times, const std::function<Quat(float)>& rotationAt, bool step,
                       EulerOrder order, double tolerance, std::array<Kestrel::Envelope*, 3> out) {
  startEnvelopes(out);
  if (step) {
    // A stepped span holds the key's angles exactly: nothing to refine.
    Euler previous{0, 0, 0};
    for (float time : times) {
      previous = quatToEuler(rotationAt(time), order, previous);
      addKeys(out, time, previous, 4);
    }
    return;
  }
  refinedKeys(
      times, [&](float time, const Triple& near) { return quatToEuler(rotationAt(time), order, near); },
      [&](float time, const Triple& angles) { return angleBetween(eulerToQuat(angles, order), rotationAt(time)); },
      tolerance, out);
}

void rotationEnvelopes(const Curve& curve, EulerOrder order, double tolerance, std::array<Kestrel::Envelope*, 3> out) {
  rotationEnvelopes(
      curve.times, [&](float time) { return quatAt(curve, time); }, curve.mode == Interpolation::Step, order, tolerance,
      out);
}

void positionEnvelopes(const std::vector<float>& times, const std::function<Triple(float)>& positionAt,
                       double tolerance, std::array<Kestrel::Envelope*, 3> out) {
  startEnvelopes(out);
  refinedKeys(
      times, [&](float time, const Triple&) { return positionAt(time); },
      [&](float time, const Triple& p) {
        const Triple q = positionAt(time);
        return std::max({std::fabs(p[0] - q[0]), std::fabs(p[1] - q[1]), std::fabs(p[2] - q[2])});
      },
      tolerance, out);
}

}  // namespace gltf_import
