#include <gtest/gtest.h>

#include <GL/glew.h>

#include <cmath>
#include <vector>

#include "cg/Transforms.h"
#include "scene/BasicDraw.h"
#include "support/TestSupport.h"

using testing_support::GLWindow;

namespace {

// The projections the engine now works out itself must be the fixed-function GL's own, element
// for element: every picture drawn before through glOrtho and glFrustum depends on them.
TEST(BasicDrawTest, ProjectionsAreTheGLsOwn) {
  GLWindow gl{64, 64};
  REQUIRE_GL(gl);
  const auto expectSame = [](const float* ours) {
    float theirs[16];
    glGetFloatv(GL_PROJECTION_MATRIX, theirs);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(ours[i], theirs[i], 1e-6f * std::max(1.0f, std::fabs(theirs[i]))) << "element " << i;
  };
  float m[16];
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, 1023, 0, 575, -1, 1);
  basic::ortho(0, 1023, 0, 575, -1, 1, m);
  expectSame(m);
  glLoadIdentity();
  glFrustum(-0.071, 0.071, -0.04, 0.04, 0.05, 150);
  basic::frustum(-0.071f, 0.071f, -0.04f, 0.04f, 0.05f, 150.0f, m);
  expectSame(m);
  glLoadIdentity();
}

// The normal matrix turns normals so that they stay at right angles to the surface under any
// model-view, scaling by different amounts along the axes included: N^T * M3 = I.
TEST(BasicDrawTest, NormalMatrixIsTheInverseTransposeAndSurvivesASingularMatrix) {
  const float m[16] = {0.0f, 2.0f, 0.0f, 0, -0.5f, 0.0f, 0.0f, 0, 0.0f, 0.0f, 3.0f, 0, 4.0f, 5.0f, 6.0f, 1};
  float n[9];
  cg::normalMatrix(m, n);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      float sum = 0;  // (N^T M3)(r, c) = sum over k of N(k, r) M3(k, c)
      for (int k = 0; k < 3; ++k) sum += n[r * 3 + k] * m[c * 4 + k];
      EXPECT_NEAR(sum, r == c ? 1.0f : 0.0f, 1e-6f) << r << "," << c;
    }
  const float flat[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  cg::normalMatrix(flat, n);
  for (float v : n) EXPECT_TRUE(std::isfinite(v));
}

// A matrix set while a program is current reaches it before the next draw, as a matrix
// loaded on the fixed-function stack did: a square moved after the program was chosen is
// drawn where it was moved to, in the current colour.
TEST(BasicDrawTest, AMatrixSetWhileAProgramIsCurrentMovesTheNextDraw) {
  GLWindow gl{64, 64};
  REQUIRE_GL(gl);
  glViewport(0, 0, 64, 64);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  float projection[16], moved[16];
  basic::ortho(0, 64, 0, 64, -1, 1, projection);
  cg::setProjection(projection);
  basic::useColourProgram();
  const float shift[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 32, 0, 0, 1};
  std::copy(shift, shift + 16, moved);
  cg::setModelView(moved);
  basic::setColour(0, 1, 0, 1);
  float square[18];
  basic::quad(0, 0, 16, 16, 0, square);
  basic::drawVertices(GL_TRIANGLES, square, 6);
  cg::useProgram(0);
  unsigned char left[4] = {}, right[4] = {};
  glReadPixels(8, 8, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, left);
  glReadPixels(40, 8, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, right);
  EXPECT_EQ(left[1], 0);
  EXPECT_EQ(right[1], 255);
  EXPECT_EQ(right[0], 0);
  cg::setModelView(cg::kIdentityMatrix);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// What glPushAttrib kept for the post chain and the scene parts is now saved by hand: the
// scissor test's switch and box come back as they were, whatever was drawn in between, and
// so does a viewport taken with Viewport::current().
TEST(BasicDrawTest, SavedScissorAndViewportComeBackAsTheyWere) {
  GLWindow gl{64, 64};
  REQUIRE_GL(gl);
  glDisable(GL_SCISSOR_TEST);
  glScissor(1, 2, 3, 4);
  glViewport(5, 6, 40, 30);
  const basic::Viewport outer = basic::Viewport::current();
  {
    basic::SavedScissor saved;
    glEnable(GL_SCISSOR_TEST);
    glScissor(10, 10, 8, 8);
    glViewport(0, 0, 64, 64);
  }
  EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
  GLint box[4] = {};
  glGetIntegerv(GL_SCISSOR_BOX, box);
  EXPECT_EQ((std::vector<GLint>{box[0], box[1], box[2], box[3]}), (std::vector<GLint>{1, 2, 3, 4}));
  outer.apply();
  const basic::Viewport back = basic::Viewport::current();
  EXPECT_EQ((std::vector<int>{back.x, back.y, back.width, back.height}), (std::vector<int>{5, 6, 40, 30}));
  glEnable(GL_SCISSOR_TEST);
  {
    basic::SavedScissor saved;
    glDisable(GL_SCISSOR_TEST);
  }
  EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
  glDisable(GL_SCISSOR_TEST);
}

}  // namespace
