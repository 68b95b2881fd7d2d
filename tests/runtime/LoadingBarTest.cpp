#include <gtest/gtest.h>

#include <GL/glew.h>

#include "runtime/LoadingBar.h"
#include "runtime/Runtime.h"
#include "screen/Screen.h"
#include "support/TestSupport.h"

using namespace testing_support;

TEST(LoadingBarProgress, OnePartJumpsFromEmptyToFull) {
  LoadingBar bar;
  EXPECT_EQ(bar.fill, 2);
  bar.advance(1);
  EXPECT_EQ(bar.fill, 477);
  EXPECT_EQ(bar.step, 1);
}

TEST(LoadingBarProgress, StepsAreEvenShareOfTheWidthAndStopPastTheLastPart) {
  LoadingBar bar;
  bar.advance(4);
  EXPECT_EQ(bar.fill, 120);
  bar.advance(4);
  EXPECT_EQ(bar.fill, 240);
  bar.advance(4);
  bar.advance(4);
  EXPECT_EQ(bar.fill, 477);  // 480 clamped to width - 3
  bar.advance(4);            // step 4 <= 4: one more clamped step
  EXPECT_EQ(bar.step, 5);
  bar.advance(4);  // step 5 > 4: nothing
  EXPECT_EQ(bar.step, 5);
  EXPECT_EQ(bar.fill, 477);
}

TEST(LoadingBarProgress, NoPartsLeavesTheBarEmpty) {
  LoadingBar bar;
  bar.advance(0);
  EXPECT_EQ(bar.fill, 2);
  EXPECT_EQ(bar.step, 0);
}

// Draws the bar in a real window and reads back the outline, the filled part and the
// background at their expected pixels.
TEST(LoadingBarDraw, OutlineAndFillReadBackInTheBarColour) {
  const int W = 640, H = 480;
  GLWindow gl(W, H);
  REQUIRE_GL(gl);
  Screen* screen = Runtime::instance()->screen;
  screen->window = gl.window;
  screen->config.width = W;
  screen->config.height = H;

  LoadingBar bar;
  bar.fill = 200;
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_DITHER);
  glClearColor(0, 0, 0, 1);
  glReadBuffer(GL_BACK);
  bar.render();
  glFinish();

  const int x0 = (W - bar.width) >> 1, y0 = (H - bar.height) >> 1;
  auto pixel = [&](int x, int y) {
    unsigned char p[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return std::array<int, 3>{p[0], p[1], p[2]};
  };
  const std::array<int, 3> gold{255, 199, 38};
  auto near = [](std::array<int, 3> a, std::array<int, 3> b) {
    for (int i = 0; i < 3; ++i)
      if (std::abs(a[i] - b[i]) > 3) return false;
    return true;
  };
  EXPECT_TRUE(near(pixel(x0 + 100, y0 + 7), gold));                 // inside the fill
  EXPECT_TRUE(near(pixel(x0 + bar.width - 1, y0 + 7), gold));       // right edge of the outline
  EXPECT_TRUE(near(pixel(x0 + 300, y0), gold));                     // bottom edge of the outline
  EXPECT_TRUE(near(pixel(x0 + 300, y0 + 7), {0, 0, 0}));            // unfilled inside
  EXPECT_TRUE(near(pixel(x0 + 100, y0 + bar.height + 5), {0, 0, 0}));  // outside the bar
  screen->window = nullptr;
}
