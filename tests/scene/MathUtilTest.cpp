#include <gtest/gtest.h>

#include "scene/MathUtil.h"

namespace {

void apply(const float* m, const float p[4], float out[4]) {
  for (int r = 0; r < 4; ++r)
    out[r] = m[4 * r] * p[0] + m[4 * r + 1] * p[1] + m[4 * r + 2] * p[2] + m[4 * r + 3] * p[3];
}

void expectMatrixNear(const float* actual, std::initializer_list<float> expected, float tolerance = 1e-6f) {
  int i = 0;
  for (float e : expected) {
    EXPECT_NEAR(actual[i], e, tolerance) << "element " << i;
    ++i;
  }
}

}  // namespace

TEST(MathRotation, NinetyDegreesAboutZTurnsXToMinusY) {
  float m[16];
  MathUtil::rotation(90, 0, 0, 1, m);
  EXPECT_NEAR(m[1], 1.0f, 1e-6f);
  EXPECT_NEAR(m[4], -1.0f, 1e-6f);
  const float p[4] = {1, 0, 0, 1};
  float q[4];
  apply(m, p, q);
  EXPECT_NEAR(q[0], 0.0f, 1e-6f);
  EXPECT_NEAR(q[1], -1.0f, 1e-6f);
  EXPECT_NEAR(q[2], 0.0f, 1e-6f);
  EXPECT_EQ(q[3], 1.0f);
}

TEST(MathRotation, AxisIsNormalisedAndAZeroAxisLeavesOnlyTheCosineDiagonal) {
  float unit[16], longer[16];
  MathUtil::rotation(37, 0, 1, 0, unit);
  MathUtil::rotation(37, 0, 5, 0, longer);
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(unit[i], longer[i]);
  float m[16];
  MathUtil::rotation(60, 0, 0, 0, m);
  expectMatrixNear(m, {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 1});
}

TEST(MathProjection, PerspectiveOfNinetyDegrees) {
  float m[16];
  MathUtil::perspective(90, 1, 1, 3, m);
  expectMatrixNear(m, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -2, -3, 0, 0, -1, 0});
  MathUtil::perspective(90, 2, 1, 3, m);
  EXPECT_NEAR(m[0], 0.5f, 1e-6f);
}

TEST(MathProjection, LookAtAlongMinusZ) {
  float m[16];
  MathUtil::lookAt(0, 0, 5, 0, 0, 0, 0, 1, 0, m);
  expectMatrixNear(m, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, -5, 0, 0, 0, 1});
}

TEST(MathProjection, LookAtPutsTheCenterOnTheViewAxis) {
  float m[16];
  MathUtil::lookAt(1, 2, 3, 4, 6, 3, 0, 1, 0, m);  // the center is 5 units away
  const float center[4] = {4, 6, 3, 1};
  float v[4];
  apply(m, center, v);
  EXPECT_NEAR(v[0], 0, 1e-5f);
  EXPECT_NEAR(v[1], 0, 1e-5f);
  EXPECT_NEAR(v[2], -5, 1e-5f);
}

TEST(MathProducts, MultiplyOrderAndAliasedResult) {
  float t[16], s[16], ts[16];
  MathUtil::translation(1, 2, 3, t);
  MathUtil::scaling(2, 2, 2, s);
  MathUtil::multiply(t, s, ts);  // scale first, then translate
  const float p[4] = {1, 1, 1, 1};
  float q[4];
  apply(ts, p, q);
  EXPECT_FLOAT_EQ(q[0], 3);
  EXPECT_FLOAT_EQ(q[1], 4);
  EXPECT_FLOAT_EQ(q[2], 5);
  float a[16], r[16];
  MathUtil::rotation(30, 1, 2, 3, r);
  std::copy(t, t + 16, a);
  MathUtil::multiply(a, r, a);
  float expected[16];
  MathUtil::multiply(t, r, expected);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(a[i], expected[i]);
  MathUtil::multiply(r, a, a);
  MathUtil::multiply(r, expected, expected);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(a[i], expected[i]);
}

TEST(MathProducts, TransposeAndRowVector) {
  float m[16];
  for (int i = 0; i < 16; ++i) m[i] = static_cast<float>(i);
  MathUtil::transpose(m);
  EXPECT_EQ(m[1], 4.0f);
  EXPECT_EQ(m[4], 1.0f);
  EXPECT_EQ(m[11], 14.0f);
  EXPECT_EQ(m[15], 15.0f);
  MathUtil::transpose(m);
  const float v[4] = {1, 0, 2, 0};
  float row[4];
  MathUtil::transformRow(v, m, row);  // row 0 plus twice row 2
  EXPECT_EQ(row[0], 16.0f);
  EXPECT_EQ(row[1], 19.0f);
  EXPECT_EQ(row[3], 25.0f);
  // The up vector of a banked camera.
  float bank[16];
  MathUtil::rotation(30, 0, 0, 1, bank);
  const float up[4] = {0, 1, 0, 0};
  MathUtil::transformRow(up, bank, row);
  EXPECT_NEAR(row[0], -0.5f, 1e-6f);
  EXPECT_NEAR(row[1], 0.8660254f, 1e-6f);
  EXPECT_EQ(row[2], 0.0f);
}
