// Envelope: evaluation of a keyframed animation curve (one scalar channel) at a time.
//
// evaluateEnvelope() is a pure function of the envelope and the time: each call scans the
// keys from the start, picks the span that holds the time and interpolates with the span's
// curve (TCB, Hermite, Bezier, linear, stepped, two-dimensional Bezier). Times outside the
// keys follow the envelope's pre- and post-behaviour (reset, constant, repeat, oscillate,
// offset repeat). Arithmetic is single precision except where the wrap step says otherwise.
// Nothing is cached between calls; the keys must be in ascending time and are not sorted.
// Main thread only (the one failure it reports is a message box).
#pragma once

#include "resources/KestrelLib.pb.h"

// The value of the curve at `time` (seconds). An envelope without keys gives 0.
float evaluateEnvelope(const Kestrel::Envelope& envelope, float time);

// The curve pieces, exposed for the tests of the curve shapes.
namespace envelope_detail {

struct Wrapped {
  float time;
  int cycles;  // whole periods removed: 1 for [hi, hi + r), -1 for [lo - r, lo)
};
// The cycle count is bounded by +-kMaxCycles (even): a time beyond it, or not finite, is
// still wrapped into [lo, hi] without undefined conversions.
constexpr int kMaxCycles = 1 << 30;
Wrapped wrapTime(float v, float lo, float hi);
float bezierValue(float x0, float x1, float x2, float x3, float u);
float bezierParameterAt(float x0, float x1, float x2, float x3, float time);

// Forgets which envelopes already reported an unknown post-behaviour (tests only).
void forgetReports();

}  // namespace envelope_detail
