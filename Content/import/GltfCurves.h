// GltfCurves: glTF animation samplers evaluated the way glTF defines them, and turned into
// the engine's envelopes.
//
// A Curve holds one sampler's key times and values (for CUBICSPLINE three values per key:
// in-tangent, value, out-tangent, as the file stores them). The importer builds envelopes
// from curves: translation and scale channels key for key with the matching span type,
// rotations as heading, pitch and bank keys checked against the quaternion curve, with
// keys added until the two agree. Pure functions over plain data; no file or GL access.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "resources/KestrelLib.pb.h"

namespace gltf_import {

enum class Interpolation { Linear, Step, CubicSpline };

struct Curve {
  Interpolation mode = Interpolation::Linear;
  int components = 3;          // 3 (translation, scale) or 4 (rotation quaternion x, y, z, w)
  std::vector<float> times;    // ascending
  std::vector<float> values;   // components per key, or 3 x components for CUBICSPLINE
  // The value at `time` as a glTF viewer shows it: clamped outside the keys, slerp between
  // rotation keys, the cubic Hermite of CUBICSPLINE (normalised for rotations).
  std::vector<float> at(float time) const;
};

using Quat = std::array<double, 4>;  // x, y, z, w
using Euler = std::array<double, 3>; // heading, pitch, bank in radians, as the envelopes hold them

// How the engine composes heading, pitch and bank: objects apply heading first, the scene
// camera applies it last (and both with the signs of their own matrices).
enum class EulerOrder { Object, Camera };

Quat eulerToQuat(const Euler& angles, EulerOrder order);
// The angles of `q`, of the two equivalent solutions the one nearest to `near` (with whole
// turns added so no angle jumps by more than half a turn).
Euler quatToEuler(const Quat& q, EulerOrder order, const Euler& near);
// The angle in degrees between two rotations.
double angleBetween(const Quat& a, const Quat& b);

// Envelope of one component of a translation or scale curve, each value times `factor`:
// LINEAR keys become linear spans, STEP stepped spans and CUBICSPLINE Hermite spans whose
// p4/p5 carry the file's tangents scaled for the envelope's time ratios.
void componentEnvelope(const Curve& curve, int component, float factor, Kestrel::Envelope& out);
// A one-key envelope: the value at every time.
void constantEnvelope(float value, Kestrel::Envelope& out);
// Heading, pitch and bank envelopes of a rotation curve, linear (stepped for STEP) between
// keys; keys are added inside spans until the engine's rotation stays within
// `toleranceDegrees` of the curve's.
void rotationEnvelopes(const Curve& curve, EulerOrder order, double toleranceDegrees,
                       std::array<Kestrel::Envelope*, 3> out);
// The same for any rotation over time (a camera under animated parents): keys at `times`,
// refined the same way.
void rotationEnvelopes(const std::vector<float>& times, const std::function<Quat(float)>& rotationAt, bool step,
                       EulerOrder order, double toleranceDegrees, std::array<Kestrel::Envelope*, 3> out);
// x, y, z envelopes of any position over time: linear keys at `times`, with keys added
// until no coordinate is further than `tolerance` from the position between them.
void positionEnvelopes(const std::vector<float>& times, const std::function<std::array<double, 3>(float)>& positionAt,
                       double tolerance, std::array<Kestrel::Envelope*, 3> out);

}  // namespace gltf_import
