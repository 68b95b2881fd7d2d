#include "scene/Envelope.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_set>

#include "platform/MessageBox.h"

namespace envelope_detail {
namespace {

// Envelopes that already showed the unknown post-behaviour message. A modal box on every
// evaluation would stop the program on every frame, so each envelope reports once.
std::unordered_set<const Kestrel::Envelope*>& reportedEnvelopes() {
  static std::unordered_set<const Kestrel::Envelope*> reported;
  return reported;
}

// Bisection steps before bezierParameterAt gives up on the tolerance. A float interval
// halves down to adjacent values long before this; the cap only guards against NaN input.
constexpr int kMaxBisectionSteps = 64;

}  // namespace

void forgetReports() { reportedEnvelopes().clear(); }

Wrapped wrapTime(float v, float lo, float hi) {
  const float r = hi - lo;
  if (r == 0.0f) return {lo, 0};
  // A time or key range that is not finite has no place in the range: the first key, with
  // as many cycles as the direction allows.
  if (std::isnan(v) || !std::isfinite(r)) return {lo, 0};
  if (std::isinf(v)) return {lo, (v > lo) == (r > 0.0f) ? kMaxCycles : -kMaxCycles};
  const float q = (v - lo) / r;
  float w = static_cast<float>(static_cast<double>(v) - static_cast<double>(r) * std::floor(static_cast<double>(q)));
  // Far from the keys the double product loses the last periods: keep the time in range.
  w = std::clamp(w, std::min(lo, hi), std::max(lo, hi));
  const float periods = (v - w) / r;
  // Tiny ranges at large times give more cycles than an int holds. Past 2^24 every float is
  // even, so the even bound keeps the parity (oscillation) the float count has.
  if (!(std::fabs(periods) < static_cast<float>(kMaxCycles))) return {w, periods > 0.0f ? kMaxCycles : -kMaxCycles};
  return {w, static_cast<int>(std::round(periods))};
}

float bezierValue(float x0, float x1, float x2, float x3, float u) {
  const float c = 3.0f * (x1 - x0);
  const float b = 3.0f * (x2 - x1) - c;
  const float a = x3 - x0 - c - b;
  const float u2 = u * u;
  const float u3 = u * u2;
  return x0 + a * u3 + b * u2 + c * u;
}

float bezierParameterAt(float x0, float x1, float x2, float x3, float time) {
  float lo = 0.0f, hi = 1.0f;
  float u = lo + (hi - lo) * 0.5f;
  for (int step = 0; step < kMaxBisectionSteps; ++step) {
    const float v = bezierValue(x0, x1, x2, x3, u);
    if (std::fabs(time - v) <= 0.0001f) return u;
    if (v > time) {
      hi = u;
    } else {
      lo = u;
    }
    // A steep time curve may never come within the tolerance in single precision: stop once
    // the interval can no longer be split.
    const float next = lo + (hi - lo) * 0.5f;
    if (next == u) return u;
    u = next;
  }
  return u;
}

}  // namespace envelope_detail

namespace {

using Kestrel::Key;
using namespace envelope_detail;

// The tangent that leaves k0, chosen by k0's span type.
float outgoing(const Key& k0, const Key& k1, const Key* prev) {
  const float span = k1.time() - k0.time();
  const float ratio = prev ? span / (k1.time() - prev->time()) : 1.0f;
  switch (k0.spantype()) {
    case 0: {
      const float tension = k0.p1(), continuity = k0.p2(), bias = k0.p3();
      const float a = (1.0f - tension) * (1.0f + continuity) * (1.0f + bias);
      const float b = (1.0f - tension) * (1.0f - continuity) * (1.0f - bias);
      const float d = k1.value() - k0.value();
      if (prev) return ratio * (a * (k0.value() - prev->value()) + b * d);
      return b * d;
    }
    case 1:
    case 2:
      return prev ? k0.p5() * ratio : k0.p5();
    case 3: {
      const float d = k1.value() - k0.value();
      if (prev) return ratio * (k0.value() - prev->value() + d);
      return d;
    }
    case 5: {
      const float s = span * k0.p4();
      if (std::fabs(k0.p3()) > 0.00001f) return s / k0.p3();
      return s * 100000.0f;
    }
    default:  // stepped and unknown types leave flat
      return 0.0f;
  }
}

// The tangent that enters k1, chosen by k1's span type (only 0, 1 and 2 reach here).
float incoming(const Key& k0, const Key& k1, const Key* next) {
  const float ratio = next ? (k1.time() - k0.time()) / (next->time() - k0.time()) : 1.0f;
  if (k1.spantype() == 0) {
    const float tension = k1.p1(), continuity = k1.p2(), bias = k1.p3();
    const float a = (1.0f - tension) * (1.0f - continuity) * (1.0f + bias);
    const float b = (1.0f - tension) * (1.0f + continuity) * (1.0f - bias);
    const float d = k1.value() - k0.value();
    if (next) return ratio * (a * d + b * (next->value() - k1.value()));
    return a * d;
  }
  return next ? k1.p4() * ratio : k1.p4();
}

float bezier2(const Key& k0, const Key& k1, float time) {
  const bool handle = k0.spantype() == 5;
  const float x0 = k0.time(), x3 = k1.time();
  const float x1 = handle ? k0.time() + k0.p3() : k0.time() + (k1.time() - k0.time()) / 3.0f;
  const float x2 = k1.time() + k1.p4();
  const float u = bezierParameterAt(x0, x1, x2, x3, time);
  const float y0 = k0.value(), y3 = k1.value();
  const float y1 = handle ? k0.value() + k0.p4() : k0.value() + k0.p5() / 3.0f;
  const float y2 = handle ? k1.value() + k1.p2() : k1.value() + k1.p5();
  return bezierValue(y0, y1, y2, y3, u);
}

// Repeat (2), oscillate (3) and offset repeat (4): move the time into the key range.
void wrapOutside(uint32_t code, const Key& first, const Key& last, float& time, float& offset) {
  const Wrapped w = wrapTime(time, first.time(), last.time());
  time = w.time;
  if (code == 3 && w.cycles % 2 != 0) time = first.time() + last.time() - w.time;  // odd cycles mirror
  if (code == 4) offset = (last.value() - first.value()) * static_cast<float>(w.cycles);
}

void reportUnknownPost(const Kestrel::Envelope& envelope) {
  if (reportedEnvelopes().insert(&envelope).second) {
    platform::showMessageBox("Post behaviour type not implemented", "error", platform::MessageIcon::Error);
  }
}

}  // namespace

float evaluateEnvelope(const Kestrel::Envelope& envelope, float time) {
  const int n = envelope.key_size();
  if (n == 0) return 0.0f;
  if (n == 1) return envelope.key(0).value();

  const Key& first = envelope.key(0);
  const Key& last = envelope.key(n - 1);
  float offset = 0.0f;

  if (time > last.time()) {
    const uint32_t code = envelope.post();
    switch (code) {
      case 0:
        return 0.0f;
      case 1:
        return last.value();
      case 2:
      case 3:
      case 4:
        wrapOutside(code, first, last, time, offset);
        break;
      default:
        // No key lies after the time, so there is no span to interpolate: hold the last value.
        reportUnknownPost(envelope);
        return last.value();
    }
  } else if (time < first.time()) {
    const uint32_t code = envelope.pre();
    switch (code) {
      case 0:
        return 0.0f;
      case 1:
        return first.value();
      case 2:
      case 3:
      case 4:
        wrapOutside(code, first, last, time, offset);
        break;
      default:  // the first span's curve is extended backwards
        break;
    }
  }

  // Linear scan: k1 is the earliest key after key 0 whose time is not below `time`.
  int i = 0;
  for (int j = 1; j <= n - 1; ++j) {
    if (envelope.key(j).time() < time) {
      i = j;
    } else {
      break;
    }
  }
  // A wrapped time that rounding put a hair past the last key has no span after it.
  if (i == n - 1) return last.value() + offset;

  const Key& k0 = envelope.key(i);
  const Key& k1 = envelope.key(i + 1);
  const Key* prev = i > 0 ? &envelope.key(i - 1) : nullptr;
  const Key* next = i + 2 <= n - 1 ? &envelope.key(i + 2) : nullptr;

  if (time == k0.time()) return k0.value() + offset;
  if (time == k1.time()) return k1.value() + offset;
  // Two keys sharing one time give a span of no length, which cannot be extended backwards.
  if (k1.time() == k0.time()) return k0.value() + offset;

  const float t = (time - k0.time()) / (k1.time() - k0.time());
  switch (k1.spantype()) {
    case 0:
    case 1:
    case 2: {
      const float out = outgoing(k0, k1, prev);
      const float in = incoming(k0, k1, next);
      const float t2 = t * t;
      const float t3 = t * t2;
      const float h2 = 3.0f * t2 - 2.0f * t3;
      const float h1 = 1.0f - h2;
      const float h3 = t3 - 2.0f * t2 + t;
      const float h4 = t3 - t2;
      return h1 * k0.value() + h2 * k1.value() + h3 * out + h4 * in + offset;
    }
    case 3:
      return k0.value() + t * (k1.value() - k0.value()) + offset;
    case 4:
      return k0.value() + offset;
    case 5:
      return bezier2(k0, k1, time) + offset;
    default:
      return offset;
  }
}
