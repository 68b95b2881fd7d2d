// Helpers for the demo tests: an engine run over the build's data.zip with the test's own
// timeline, flat test parts, and read-back of the view band.
#pragma once

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "DemoPlayer.h"
#include "Effect.h"
#include "platform/Events.h"
#include "platform/MessageBox.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "scene/Renderer.h"
#include "screen/Screen.h"

namespace demo_fixtures {

constexpr int kWindowWidth = 256, kWindowHeight = 192;  // view 256 x 144, 24 rows above and below

// Fills the view with one grey level (fixed-function, whatever the matrices), optionally
// leaving all but a centred square black; records the local times it was drawn at.
class FlatPart : public Effect {
 public:
  explicit FlatPart(float grey, std::vector<float>* drawn = nullptr, float square = 0.0f)
      : grey(grey), square(square), drawn(drawn) {}
  int init() override { return 0; }
  void draw(float localTime) override {
    if (drawn) drawn->push_back(localTime);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    if (square > 0.0f) {
      glColor3f(0, 0, 0);
      glRectf(-1, -1, 1, 1);
      glClear(GL_DEPTH_BUFFER_BIT);
      glColor3f(grey, grey, grey);
      glRectf(-square, -square, square, square);
    } else {
      glColor3f(grey, grey, grey);
      glRectf(-1, -1, 1, 1);
    }
    glEnable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
  }

 private:
  float grey, square;
  std::vector<float>* drawn;
};

// The window's back buffer as RGB rows, bottom-up.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  int at(int x, int y, int channel = 0) const { return rgb[(static_cast<size_t>(y) * width + x) * 3 + channel]; }
  // The mean of the red channel over [x0, x1) x [y0, y1).
  double mean(int x0, int y0, int x1, int y1) const {
    double sum = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) sum += at(x, y);
    return sum / ((x1 - x0) * (y1 - y0));
  }
};

inline Picture readBack() {
  Picture p;
  p.width = kWindowWidth;
  p.height = kWindowHeight;
  p.rgb.resize(static_cast<size_t>(p.width) * p.height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, p.width, p.height, GL_RGB, GL_UNSIGNED_BYTE, p.rgb.data());
  return p;
}

// Runs the engine (real window, Cg context, sound, the build's archive) with `init` as the
// demo's initialisation and `frame` called once; the run ends after that frame.
class DemoRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
    Runtime::destroyForTesting();
    ProgramOptions& options = programOptions();
    options = ProgramOptions{};
    options.dataFile = std::string(PYLON_BINARY_DIR) + "/data.zip";
    options.windowed = true;
    options.noDialog = true;
    options.width = kWindowWidth;
    options.height = kWindowHeight;
    platform::setUnattended(true);
  }
  void TearDown() override {
    Runtime::destroyForTesting();
    programOptions() = ProgramOptions{};
  }
  int run(std::function<int()> init, std::function<void()> frame) {
    Runtime::destroyForTesting();  // every run starts from a fresh engine
    DemoHooks hooks;
    hooks.init = std::move(init);
    hooks.frame = [frame] {
      frame();
      platform::postQuitMessage(0);
    };
    return runEngine(hooks);
  }
  // Renders `player`'s parts at each time (post chain as the renderer's switch says) and
  // reads the window back after each.
  std::vector<Picture> render(DemoPlayer& player, const std::vector<float>& times, bool postprocess = true) {
    std::vector<Picture> pictures;
    const int code = run([&] { return player.initPost(); },
                         [&] {
                           Runtime::instance()->renderer->postprocess = postprocess;
                           for (float t : times) {
                             player.renderParts(t);
                             pictures.push_back(readBack());
                           }
                         });
    EXPECT_EQ(code, 0);
    return pictures;
  }
};

}  // namespace demo_fixtures
