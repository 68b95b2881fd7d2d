#include <GL/glew.h>
#include <gtest/gtest.h>

#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "scene/Renderer.h"
#include "screen/Screen.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

class RendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (gl.unavailable()) GTEST_SKIP() << "no display";
    Runtime::destroyForTesting();
    programOptions().dataFile = "/nonexistent.zip";
    runtime = Runtime::instance();
    runtime->screen->config.width = 160;
    runtime->screen->config.height = 120;
  }
  void TearDown() override {
    Runtime::destroyForTesting();
    programOptions() = ProgramOptions{};
  }
  std::array<int, 3> pixel(int x, int y) {
    unsigned char p[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
  }
  GLWindow gl{160, 120};
  MessageRecorder boxes;
  Runtime* runtime = nullptr;
};

TEST_F(RendererTest, DefaultStateCentresTheSixteenByNineBand) {
  runtime->renderer->applyDefaultState();
  EXPECT_EQ(runtime->screen->config.viewportWidth, 160);
  EXPECT_EQ(runtime->screen->config.viewportHeight, 90);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[1], 15);
  EXPECT_EQ(viewport[3], 90);
  EXPECT_FLOAT_EQ(runtime->renderer->aspect, 160.0f / 90.0f);
}

TEST_F(RendererTest, FadesAreBlackOrWhiteWithTheirOpacityAndFlashFollowsTheBand) {
  Renderer& r = *runtime->renderer;
  r.applyDefaultState();
  glClearColor(1, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  r.fadeQuad(1, 0.0f);  // from black, at its start: fully black
  EXPECT_EQ(pixel(80, 60), (std::array<int, 3>{0, 0, 0}));
  EXPECT_EQ(pixel(80, 5), (std::array<int, 3>{255, 0, 0}));  // outside the band: untouched
  glClear(GL_COLOR_BUFFER_BIT);
  r.fadeQuad(4, 0.5f);  // half-way to white
  auto half = pixel(80, 60);
  EXPECT_NEAR(half[0], 255, 1);
  EXPECT_NEAR(half[1], 128, 2);
  glClear(GL_COLOR_BUFFER_BIT);
  r.fadeQuad(2, 7.0f);  // clamped to 1: black
  EXPECT_EQ(pixel(80, 60), (std::array<int, 3>{0, 0, 0}));
  GLboolean depthTest = GL_FALSE;
  glGetBooleanv(GL_DEPTH_TEST, &depthTest);
  EXPECT_TRUE(depthTest);

  // No music: the spectrum reads zero and the flash leaves the picture alone; bins 0 and
  // beyond the 512 bands draw nothing.
  for (int bin : {0, 2, 512, 900}) {
    r.fftControl = bin;
    glClear(GL_COLOR_BUFFER_BIT);
    r.drawSpectrum();
    EXPECT_EQ(pixel(80, 60), (std::array<int, 3>{255, 0, 0})) << bin;
  }
}

}  // namespace
