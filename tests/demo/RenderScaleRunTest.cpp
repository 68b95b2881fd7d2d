// The render scale under the test display: the targets follow a scale change in the middle
// of a run without new GL objects, the picture scaled up fills the view band, a cross-fade
// keeps working at a smaller scale, and capture and shots draw at full size whatever it is.
#include <GL/glew.h>

#include <array>

#include "DemoFixtures.h"

using namespace demo_fixtures;

namespace {

constexpr int kViewTop = 24, kViewBottom = 24 + 144;

struct Sizes {
  uint32_t scene, sceneHeight, bloom, bloomHeight, transition;
};

Sizes sizesOf(const PostChain& post) {
  return {post.scene.width, post.scene.height, post.bloom.width, post.bloomTemp.height, post.transitionA.width};
}

std::array<uint32_t, 6> namesOf(const PostChain& post) {
  return {post.scene.framebuffer, post.scene.texture,     post.depthRenderbuffer,
          post.bloom.texture,     post.bloomTemp.texture, post.transitionA.texture};
}

// Every pixel of the band's outer rows and columns and a grid inside is `grey`, give or take 2.
void expectFlatBand(const Picture& p, int grey, const char* what) {
  int off = 0;
  for (int y = kViewTop; y < kViewBottom; ++y)
    for (int x = 0; x < kWindowWidth; ++x) {
      const bool edge = y == kViewTop || y == kViewBottom - 1 || x == 0 || x == kWindowWidth - 1;
      if ((edge || (x % 7 == 0 && y % 5 == 0)) && std::abs(p.at(x, y) - grey) > 2) ++off;
    }
  EXPECT_EQ(off, 0) << what;
}

}  // namespace

using RenderScaleRun = DemoRun;

TEST_F(RenderScaleRun, TargetsFollowAScaleChangeInPlaceAndTheScaledUpPictureFillsTheBand) {
  DemoPlayer player;
  // A cross-fade from 0.1 grey to 0.4 from 8 s to 10 s.
  player.addEntry({new FlatPart(0.1f), 0.0f, 10.0f, 0.0f, 2.0f, 1, 5});
  player.addEntry({new FlatPart(0.4f), 8.0f, 20.0f, 2.0f, 0.0f, 6, 2});
  const float scales[] = {1.0f, 0.5f, 0.75f, 1.0f};
  std::vector<Picture> still, mixed;
  std::vector<Sizes> sizes;
  std::vector<std::array<uint32_t, 6>> names;
  std::vector<uint32_t> finished;  // the target a scaled frame is finished in, before its blit
  bool direct = false;
  const int code = run([&] { return player.initPost(); },
                       [&] {
                         Renderer& renderer = *Runtime::instance()->renderer;
                         direct = player.post.canDrawIntoScene();
                         for (float scale : scales) {
                           renderer.renderScale = scale;
                           player.renderParts(9.0f);  // halfway through the cross-fade
                           mixed.push_back(readBack());
                           player.renderParts(15.0f);
                           still.push_back(readBack());
                           sizes.push_back(sizesOf(player.post));
                           names.push_back(namesOf(player.post));
                           finished.push_back(player.post.finished.framebuffer);
                         }
                       });
  ASSERT_EQ(code, 0);
  ASSERT_TRUE(direct) << "the test window cannot take the parts into the scene target";
  ASSERT_EQ(sizes.size(), 4u);
  // The view is 256 x 144: scene, bloom (a quarter) and the transition images at the scale.
  EXPECT_EQ(sizes[0].scene, 256u);
  EXPECT_EQ(sizes[1].scene, 128u);
  EXPECT_EQ(sizes[1].sceneHeight, 72u);
  EXPECT_EQ(sizes[1].bloom, 32u);
  EXPECT_EQ(sizes[1].bloomHeight, 18u);
  EXPECT_EQ(sizes[1].transition, 128u);
  EXPECT_EQ(sizes[2].scene, 192u);
  EXPECT_EQ(sizes[2].bloomHeight, 27u);
  EXPECT_EQ(sizes[3].scene, 256u);
  EXPECT_EQ(sizes[3].transition, 256u);
  // The same framebuffers, textures and renderbuffer throughout: resizing makes nothing new.
  for (const auto& n : names) EXPECT_EQ(n, names[0]);
  // A run at scale 1 never makes it; the first scaled frame does, once.
  EXPECT_EQ(finished[0], 0u);
  EXPECT_NE(finished[1], 0u);
  EXPECT_EQ(finished[2], finished[1]);
  EXPECT_EQ(finished[3], finished[1]);
  // At every scale the band is the part's grey to its last row and column, and halfway
  // through the cross-fade the mean of both parts (26 and 102 of 255).
  const char* labels[] = {"scale 1", "scale 0.5", "scale 0.75", "scale 1 again"};
  for (size_t i = 0; i < 4; ++i) {
    expectFlatBand(still[i], 102, labels[i]);
    expectFlatBand(mixed[i], 64, labels[i]);
  }
  // Back at scale 1 the picture is the first one, to the byte.
  EXPECT_EQ(still[3].rgb, still[0].rgb);
  EXPECT_EQ(mixed[3].rgb, mixed[0].rgb);
}

TEST_F(RenderScaleRun, CaptureAndShotsDrawAtFullSizeWhateverTheScaleSays) {
  DemoPlayer player;
  player.addPart(new FlatPart(1.0f, nullptr, 0.1f), 0.0f, 10.0f, 0.0f, 0.0f);  // a bloomed square
  std::vector<Picture> p;
  std::vector<uint32_t> widths;
  const int code = run([&] { return player.initPost(); },
                       [&] {
                         Runtime* runtime = Runtime::instance();
                         UserConfig& config = runtime->screen->config;
                         player.renderParts(5.0f);
                         p.push_back(readBack());
                         runtime->renderer->renderScale = 0.5f;
                         runtime->renderer->renderScaleAuto = true;
                         config.captureEnabled = true;
                         player.chooseRenderScale();  // auto keeps out of a capture
                         player.renderParts(5.0f);
                         p.push_back(readBack());
                         widths.push_back(player.post.scene.width);
                         config.captureEnabled = false;
                         player.shotPending = true;
                         player.chooseRenderScale();
                         player.renderParts(5.0f);
                         p.push_back(readBack());
                         widths.push_back(player.post.scene.width);
                         player.shotPending = false;
                         runtime->renderer->renderScaleAuto = false;
                         player.renderParts(5.0f);
                         p.push_back(readBack());
                         widths.push_back(player.post.scene.width);
                       });
  ASSERT_EQ(code, 0);
  ASSERT_EQ(p.size(), 4u);
  EXPECT_FALSE(player.autoScale.has_value());
  EXPECT_EQ(widths, (std::vector<uint32_t>{256u, 256u, 128u}));
  EXPECT_EQ(p[1].rgb, p[0].rgb);
  EXPECT_EQ(p[2].rgb, p[0].rgb);
  // Drawn at half size the square is scaled up: still white at its centre, soft at its edge.
  EXPECT_EQ(p[3].at(128, 96), 255);
  EXPECT_NE(p[3].rgb, p[0].rgb);
  EXPECT_LT(p[3].at(250, 30), 3);
}
