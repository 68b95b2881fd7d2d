#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scene/Envelope.h"
#include "support/TestSupport.h"

using testing_support::MessageRecorder;

namespace {

struct KeyDesc {
  float time, value;
  unsigned spanType = 3;
  float p1 = 0, p2 = 0, p3 = 0, p4 = 0, p5 = 0;
};

Kestrel::Envelope makeEnvelope(std::initializer_list<KeyDesc> keys, unsigned pre = 1, unsigned post = 1) {
  Kestrel::Envelope envelope;
  envelope.set_pre(pre);
  envelope.set_post(post);
  for (const KeyDesc& k : keys) {
    Kestrel::Key* key = envelope.add_key();
    key->set_time(k.time);
    key->set_value(k.value);
    key->set_spantype(k.spanType);
    key->set_p1(k.p1);
    key->set_p2(k.p2);
    key->set_p3(k.p3);
    key->set_p4(k.p4);
    key->set_p5(k.p5);
  }
  return envelope;
}

// Keys (0 s, 0) and (2 s, 10), both linear.
Kestrel::Envelope ramp(unsigned post) { return makeEnvelope({{0, 0}, {2, 10}}, 1, post); }

}  // namespace

TEST(EnvelopeKeys, NoKeysGiveZeroAndOneKeyGivesItsValueWhateverTheBehaviours) {
  Kestrel::Envelope empty;
  for (float t : {-3.0f, 0.0f, 7.5f}) EXPECT_EQ(evaluateEnvelope(empty, t), 0.0f);
  Kestrel::Envelope single = makeEnvelope({{1, 4.5f}}, 0, 0);
  for (float t : {-3.0f, 1.0f, 7.5f}) EXPECT_EQ(evaluateEnvelope(single, t), 4.5f);
}

TEST(EnvelopeKeys, AbsentBehavioursReadAsConstant) {
  Kestrel::Envelope envelope;
  *envelope.add_key() = makeEnvelope({{0, 3}}).key(0);
  *envelope.add_key() = makeEnvelope({{2, 10}}).key(0);
  EXPECT_EQ(evaluateEnvelope(envelope, -1.0f), 3.0f);
  EXPECT_EQ(evaluateEnvelope(envelope, 9.0f), 10.0f);
}

TEST(EnvelopeKeys, ExactKeyTimesGiveTheKeyValuePlusTheOffset) {
  Kestrel::Envelope envelope = makeEnvelope({{0, 0, 0, 0.3f, -0.2f, 0.1f}, {0.7f, 3.3f, 0}, {2, 10, 0}}, 1, 4);
  EXPECT_EQ(evaluateEnvelope(envelope, 0.7f), 3.3f);
  EXPECT_EQ(evaluateEnvelope(envelope, 2.0f), 10.0f);
  EXPECT_EQ(evaluateEnvelope(envelope, 4.0f), 20.0f);  // wrapped to 0 s, two cycles of 10 added
  EXPECT_NEAR(evaluateEnvelope(envelope, 2.7f), 13.3f, 1e-4f);
}

TEST(EnvelopePost, BehaviourTableAtFiveSeconds) {
  EXPECT_EQ(evaluateEnvelope(ramp(0), 5.0f), 0.0f);
  EXPECT_EQ(evaluateEnvelope(ramp(1), 5.0f), 10.0f);
  EXPECT_FLOAT_EQ(evaluateEnvelope(ramp(2), 5.0f), 5.0f);
  EXPECT_FLOAT_EQ(evaluateEnvelope(ramp(3), 5.0f), 5.0f);  // cycle 2 is even: not mirrored
  EXPECT_FLOAT_EQ(evaluateEnvelope(ramp(4), 5.0f), 25.0f);
}

TEST(EnvelopePost, OscillateMirrorsOddCycles) {
  EXPECT_FLOAT_EQ(evaluateEnvelope(ramp(3), 3.0f), 5.0f);
  EXPECT_FLOAT_EQ(evaluateEnvelope(ramp(3), 2.5f), 7.5f);
  EXPECT_FLOAT_EQ(evaluateEnvelope(ramp(2), 2.5f), 2.5f);
}

TEST(EnvelopePost, UnknownCodeReportsOncePerEnvelopeAndHoldsTheLastValue) {
  envelope_detail::forgetReports();
  MessageRecorder recorder;
  Kestrel::Envelope a = makeEnvelope({{0, 0}, {1, 2}, {2, 7}}, 1, 5);
  Kestrel::Envelope b = makeEnvelope({{0, 1}, {3, -4}}, 1, 9);
  for (int frame = 0; frame < 5; ++frame) {
    EXPECT_EQ(evaluateEnvelope(a, 2.5f + frame), 7.0f);
    EXPECT_EQ(evaluateEnvelope(b, 4.0f), -4.0f);
  }
  ASSERT_EQ(recorder.boxes.size(), 2u);
  EXPECT_EQ(recorder.boxes[0].text, "Post behaviour type not implemented");
  EXPECT_EQ(recorder.boxes[0].caption, "error");
  EXPECT_EQ(recorder.boxes[0].icon, platform::MessageIcon::Error);
  // Inside the keys the envelope evaluates normally and shows nothing.
  EXPECT_FLOAT_EQ(evaluateEnvelope(a, 0.5f), 1.0f);
  EXPECT_EQ(recorder.boxes.size(), 2u);
}

TEST(EnvelopePre, RepeatOscillateAndOffsetWrapBeforeTheFirstKey) {
  const auto wrapped = envelope_detail::wrapTime(0.0f, 1.0f, 3.0f);
  EXPECT_EQ(wrapped.time, 2.0f);
  EXPECT_EQ(wrapped.cycles, -1);
  // Keys (1 s, 0) and (3 s, 10), linear.
  EXPECT_FLOAT_EQ(evaluateEnvelope(makeEnvelope({{1, 0}, {3, 10}}, 2), 0.0f), 5.0f);
  EXPECT_FLOAT_EQ(evaluateEnvelope(makeEnvelope({{1, 0}, {3, 10}}, 3), 0.5f), 2.5f);  // 2.5 s mirrored to 1.5 s
  EXPECT_FLOAT_EQ(evaluateEnvelope(makeEnvelope({{1, 0}, {3, 10}}, 4), 0.0f), -5.0f);
  EXPECT_EQ(evaluateEnvelope(makeEnvelope({{1, 0}, {3, 10}}, 0), 0.0f), 0.0f);
  EXPECT_EQ(evaluateEnvelope(makeEnvelope({{1, 4}, {3, 10}}, 1), 0.0f), 4.0f);
}

TEST(EnvelopePre, UnknownCodeExtendsTheFirstSpanBackwards) {
  EXPECT_FLOAT_EQ(evaluateEnvelope(makeEnvelope({{0, 0}, {1, 1}, {2, 5}}, 5), -1.0f), -1.0f);
  // Hermite keys (0 s, 0, p5 = 2) and (1 s, 1, p4 = 0) at t = -1: h = (-4, 5, -4, -2).
  Kestrel::Envelope hermite = makeEnvelope({{0, 0, 1, 0, 0, 0, 0, 2}, {1, 1, 1}}, 7);
  EXPECT_FLOAT_EQ(evaluateEnvelope(hermite, -1.0f), 5.0f * 1 - 4.0f * 2);
}

TEST(EnvelopeWrap, CyclesCountWholePeriodsAndEqualTimesWrapOntoThatTime) {
  EXPECT_EQ(envelope_detail::wrapTime(2.0f, 0.0f, 2.0f).cycles, 1);
  EXPECT_EQ(envelope_detail::wrapTime(2.0f, 0.0f, 2.0f).time, 0.0f);
  EXPECT_EQ(envelope_detail::wrapTime(-0.5f, 0.0f, 2.0f).cycles, -1);
  EXPECT_EQ(envelope_detail::wrapTime(-4.5f, 0.0f, 2.0f).cycles, -3);
  const auto same = envelope_detail::wrapTime(9.0f, 3.0f, 3.0f);
  EXPECT_EQ(same.time, 3.0f);
  EXPECT_EQ(same.cycles, 0);
  EXPECT_EQ(evaluateEnvelope(makeEnvelope({{3, 1}, {3, 6}}, 2, 2), 9.0f), 1.0f);  // first key's exact hit
  EXPECT_EQ(evaluateEnvelope(makeEnvelope({{3, 1}, {3, 6}}, 4, 4), 0.0f), 1.0f);
  // A span of no length cannot be extended backwards.
  EXPECT_EQ(evaluateEnvelope(makeEnvelope({{3, 1}, {3, 6}}, 5), 0.0f), 1.0f);
}

TEST(EnvelopeWrap, CycleCountsBeyondAnIntAndInfiniteTimesStayBounded) {
  using envelope_detail::kMaxCycles;
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float v, lo, hi;
    int cycles;
  } cases[] = {{1e30f, 0.0f, 1e-3f, kMaxCycles},   {-1e30f, 0.0f, 1e-3f, -kMaxCycles}, {inf, 0.0f, 2.0f, kMaxCycles},
               {-inf, 0.0f, 2.0f, -kMaxCycles},   {3e9f, 0.0f, 1.0f, kMaxCycles},     {1e9f, 0.0f, 1.0f, 1000000000}};
  for (const Case& c : cases) {
    const auto w = envelope_detail::wrapTime(c.v, c.lo, c.hi);
    EXPECT_EQ(w.cycles, c.cycles) << c.v;
    EXPECT_TRUE(w.time >= c.lo && w.time <= c.hi) << c.v << " -> " << w.time;
  }
  // Every behaviour that wraps gives a finite value there.
  for (unsigned code : {2u, 3u, 4u}) {
    const Kestrel::Envelope e = makeEnvelope({{0, 0}, {1e-3f, 1}}, code, code);
    for (float t : {inf, -inf, 1e30f, -1e30f}) EXPECT_TRUE(std::isfinite(evaluateEnvelope(e, t))) << code << " " << t;
  }
}

TEST(EnvelopeSpans, TcbWithoutWeightsThroughThreeKeys) {
  Kestrel::Envelope envelope = makeEnvelope({{0, 0, 0}, {1, 1, 0}, {2, 0, 0}});
  EXPECT_FLOAT_EQ(evaluateEnvelope(envelope, 0.5f), 0.625f);
  EXPECT_FLOAT_EQ(evaluateEnvelope(envelope, 1.5f), 0.625f);
}

TEST(EnvelopeSpans, HermiteWithoutNeighboursUsesTheTangentsUnscaled) {
  Kestrel::Envelope envelope = makeEnvelope({{0, 0, 1, 0, 0, 0, 0, 2}, {1, 1, 1, 0, 0, 0, 0, 0}});
  EXPECT_FLOAT_EQ(evaluateEnvelope(envelope, 0.5f), 0.75f);
  // Span type 2 takes the same tangents.
  Kestrel::Envelope bezier = makeEnvelope({{0, 0, 2, 0, 0, 0, 0, 2}, {1, 1, 2, 0, 0, 0, 0, 0}});
  EXPECT_FLOAT_EQ(evaluateEnvelope(bezier, 0.5f), 0.75f);
}

TEST(EnvelopeSpans, HermiteWithNeighboursScalesTheTangentsByTheTimeRatios) {
  // Middle span 1 s..2 s of keys at 0, 1, 2, 4: ratio out 1/2, ratio in 1/3.
  Kestrel::Envelope envelope = makeEnvelope({{0, 0, 1}, {1, 1, 1, 0, 0, 0, 0, 4}, {2, 2, 1, 0, 0, 0, 6, 0}, {4, 0, 1}});
  const float out = 4.0f * 0.5f, in = 6.0f / 3.0f;
  EXPECT_FLOAT_EQ(evaluateEnvelope(envelope, 1.5f), 0.5f * 1 + 0.5f * 2 + 0.125f * out - 0.125f * in);
}

TEST(EnvelopeSpans, SteppedHoldsUntilTheNextKeyTime) {
  Kestrel::Envelope envelope = makeEnvelope({{0, 1}, {1, 5, 4}, {2, 3, 4}});
  EXPECT_EQ(evaluateEnvelope(envelope, 0.999f), 1.0f);
  EXPECT_EQ(evaluateEnvelope(envelope, 1.0f), 5.0f);
  EXPECT_EQ(evaluateEnvelope(envelope, 1.5f), 5.0f);
  EXPECT_EQ(evaluateEnvelope(envelope, 2.0f), 3.0f);
}

TEST(EnvelopeSpans, LinearAndUnknownSpanTypes) {
  EXPECT_FLOAT_EQ(evaluateEnvelope(makeEnvelope({{1, 2}, {3, 6}}), 2.5f), 5.0f);
  EXPECT_EQ(evaluateEnvelope(makeEnvelope({{0, 2}, {1, 6, 6}}), 0.5f), 0.0f);
  // An unknown span type contributes only the offset: one cycle of 4 at 1.5 s.
  EXPECT_EQ(evaluateEnvelope(makeEnvelope({{0, 2}, {1, 6, 9}}, 1, 4), 1.5f), 4.0f);
}

TEST(EnvelopeSpans, TwoDimensionalBezierWithStraightHandlesIsALine) {
  // Handles a third of the way along the line from (0 s, 0) to (3 s, 6).
  Kestrel::Envelope envelope = makeEnvelope({{0, 0, 5, 0, 0, 1, 2, 0}, {3, 6, 5, 0, -2, 0, -1, 0}});
  for (float t : {0.3f, 1.0f, 1.7f, 2.9f}) EXPECT_NEAR(evaluateEnvelope(envelope, t), 2.0f * t, 0.001f);
}

TEST(EnvelopeSpans, TwoDimensionalBezierAfterAnotherSpanTypeUsesDefaultLeavingHandle) {
  // k0 is linear: leaving handle at a third of the span in time and p5 / 3 in value.
  Kestrel::Envelope envelope = makeEnvelope({{0, 0, 3, 0, 0, 0, 0, 3}, {3, 6, 5, 0, 0, 0, -1, -2}});
  // x = (0, 1, 2, 3) is linear in u, so u = t / 3; y = (0, 1, 4, 6).
  const float u = 0.5f;
  const float expected = 3 * u * (1 - u) * (1 - u) * 1 + 3 * u * u * (1 - u) * 4 + u * u * u * 6;
  EXPECT_NEAR(evaluateEnvelope(envelope, 1.5f), expected, 0.0005f);
}

TEST(EnvelopeSpans, BezierBisectionStopsWhereSinglePrecisionCannotReachTheTolerance) {
  // At 10000 s the float spacing is about 0.001, far coarser than the 0.0001 tolerance.
  const float lo = 10000.0f, hi = 10001.0f;
  const float u = envelope_detail::bezierParameterAt(lo, lo + 0.001f, hi - 0.001f, hi, 10000.4321f);
  EXPECT_GE(u, 0.0f);
  EXPECT_LE(u, 1.0f);
  Kestrel::Envelope envelope = makeEnvelope({{lo, 0, 5, 0, 0, 0.001f, 0}, {hi, 1, 5, 0, 0, 0, -0.001f}});
  const float v = evaluateEnvelope(envelope, 10000.4321f);
  EXPECT_GE(v, -0.01f);
  EXPECT_LE(v, 1.01f);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_LE(envelope_detail::bezierParameterAt(0, 1, 2, 3, nan), 1.0f);
}

TEST(EnvelopeSpans, BezierValueIsTheCubicInPowerForm) {
  EXPECT_FLOAT_EQ(envelope_detail::bezierValue(0, 1, 2, 3, 0.25f), 0.75f);
  EXPECT_FLOAT_EQ(envelope_detail::bezierValue(1, 1, 5, 5, 0.5f), 3.0f);
  EXPECT_FLOAT_EQ(envelope_detail::bezierValue(2, 0, 0, 7, 1.0f), 7.0f);
}

namespace {

// Slope just before and just after `time` (second-order one-sided differences).
void slopes(const Kestrel::Envelope& envelope, float time, float& before, float& after) {
  const float h = 2e-3f;
  auto f = [&](float t) { return evaluateEnvelope(envelope, t); };
  before = (3 * f(time) - 4 * f(time - h) + f(time - 2 * h)) / (2 * h);
  after = (-3 * f(time) + 4 * f(time + h) - f(time + 2 * h)) / (2 * h);
}

void expectThroughEveryKeyAndContinuous(const Kestrel::Envelope& envelope, bool smooth) {
  for (int i = 0; i < envelope.key_size(); ++i) {
    const Kestrel::Key& key = envelope.key(i);
    SCOPED_TRACE("key " + std::to_string(i));
    EXPECT_EQ(evaluateEnvelope(envelope, key.time()), key.value());
    if (i > 0) {
      EXPECT_NEAR(evaluateEnvelope(envelope, key.time() - 1e-4f), key.value(), 0.01f);
    }
    if (i + 1 < envelope.key_size()) {
      EXPECT_NEAR(evaluateEnvelope(envelope, key.time() + 1e-4f), key.value(), 0.01f);
    }
    if (smooth && i > 0 && i + 1 < envelope.key_size()) {
      float before, after;
      slopes(envelope, key.time(), before, after);
      EXPECT_NEAR(before, after, 0.05f + 0.02f * std::fabs(after));
    }
  }
}

}  // namespace

TEST(EnvelopeCurves, TcbThroughUnevenKeysHitsEveryKeyWithMatchingSlopes) {
  // With continuity 0 the time-ratio scaling makes the slope equal on both sides of a key;
  // a missing ratio, a factor on the tangents or swapped weights breaks it.
  Kestrel::Envelope envelope = makeEnvelope({{0, 0, 0, 0.2f, 0, 0.3f},
                                             {1, 2, 0, -0.4f, 0, 0.5f},
                                             {3, -1, 0, 0.5f, 0, -0.6f},
                                             {3.5f, 4, 0, 0, 0, 0},
                                             {5, 1, 0, 0.1f, 0, 0.2f}});
  expectThroughEveryKeyAndContinuous(envelope, true);
}

TEST(EnvelopeCurves, TcbContinuityMakesACorner) {
  Kestrel::Envelope envelope = makeEnvelope({{0, 0, 0}, {1, 2, 0, 0, -1, 0}, {2, 0, 0}});
  expectThroughEveryKeyAndContinuous(envelope, false);
  float before, after;
  slopes(envelope, 1.0f, before, after);
  EXPECT_GT(before, 1.5f);  // continuity -1 keeps each side's own chord
  EXPECT_LT(after, -1.5f);
}

TEST(EnvelopeCurves, HermiteAndBezierThroughUnevenKeysHitEveryKeyWithMatchingSlopes) {
  for (unsigned type : {1u, 2u}) {
    SCOPED_TRACE("span type " + std::to_string(type));
    // Equal incoming and outgoing tangents at each key give one slope on both sides.
    Kestrel::Envelope envelope = makeEnvelope({{0, 0, type, 0, 0, 0, 1, 1},
                                               {0.5f, 3, type, 0, 0, 0, -2, -2},
                                               {2, 1, type, 0, 0, 0, 4, 4},
                                               {2.25f, -2, type, 0, 0, 0, 0.5f, 0.5f},
                                               {4, 0, type, 0, 0, 0, 3, 3}});
    expectThroughEveryKeyAndContinuous(envelope, true);
  }
}

TEST(EnvelopeCurves, TwoDimensionalBezierThroughSeveralKeysHitsEveryKey) {
  Kestrel::Envelope envelope = makeEnvelope({{0, 0, 5, 0, 0, 0.3f, 0.5f},
                                             {1, 2, 5, -0.5f, 0.4f, 0.3f, -0.3f},
                                             {2.5f, -1, 5, 0.2f, 0.7f, 0.4f, -0.4f},
                                             {4, 1, 5, 0.1f, 0, 0, -0.5f}});
  expectThroughEveryKeyAndContinuous(envelope, false);
}
