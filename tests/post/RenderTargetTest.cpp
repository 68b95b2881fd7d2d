#include <GL/glew.h>
#include <gtest/gtest.h>

#include "platform/Faults.h"
#include "post/PostChain.h"
#include "post/RenderTarget.h"
#include "runtime/Logger.h"
#include "runtime/Runtime.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

// A log file per case, read back as text.
class RenderTargetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Runtime::destroyForTesting();
    logger = Runtime::instance()->logger;
    logger->path = dir.file("Pylon.txt");
    logger->create();
  }
  void TearDown() override { Runtime::destroyForTesting(); }
  std::string logText() {
    logger->flush();
    return readFile(dir.file("Pylon.txt"));
  }
  ScratchDir dir;
  MessageRecorder boxes;
  Logger* logger = nullptr;
};

TEST_F(RenderTargetTest, CompleteTargetIsLoggedAndRendersIntoItsTexture) {
  GLWindow gl(64, 64);
  REQUIRE_GL(gl);
  RenderTarget target;
  EXPECT_EQ(target.create(40, 24), 0);
  EXPECT_EQ(target.width, 40u);
  EXPECT_EQ(target.height, 24u);
  EXPECT_EQ(target.checkStatus(), 0);
  EXPECT_NE(logText().find("fbo " + std::to_string(target.framebuffer) + " status: complete\n"), std::string::npos);

  GLint bound = -1;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
  EXPECT_EQ(bound, 0);  // checkStatus leaves the window bound

  target.bind();
  glViewport(0, 0, 40, 24);
  glClearColor(0, 1, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  std::vector<unsigned char> pixels(40 * 24 * 4);
  glBindTexture(GL_TEXTURE_2D, target.texture);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  EXPECT_EQ(pixels[0], 0);
  EXPECT_EQ(pixels[1], 255);
  EXPECT_EQ(pixels[(40 * 24 - 1) * 4 + 1], 255);
}

TEST_F(RenderTargetTest, AttachLeavesAnotherBoundFramebufferAlone) {
  GLWindow gl(64, 64);
  REQUIRE_GL(gl);
  RenderTarget a, b;
  a.create(16, 16);
  b.create(16, 16);
  a.bind();
  uint32_t depth = 0;
  ASSERT_EQ(createDepthRenderbuffer(16, 16, depth), 0);
  b.attachDepth(depth);  // binds b, attaches, unbinds
  GLint bound = -1;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
  EXPECT_EQ(bound, 0);
  EXPECT_EQ(b.checkStatus(), 0);
}

TEST_F(RenderTargetTest, StatusTextsAndUnknownStatusCountsAsComplete) {
  EXPECT_EQ(reportFramebufferStatus(7, GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT),
            static_cast<int>(GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT));
  EXPECT_EQ(reportFramebufferStatus(7, GL_FRAMEBUFFER_UNSUPPORTED_EXT), static_cast<int>(GL_FRAMEBUFFER_UNSUPPORTED_EXT));
  EXPECT_EQ(reportFramebufferStatus(7, 0x1234), 0);
  const std::string log = logText();
  EXPECT_NE(log.find("fbo 7 status: incomplete_attachment\n"), std::string::npos);
  EXPECT_NE(log.find("fbo 7 status: unsupported\n"), std::string::npos);
  EXPECT_NE(log.find("fbo 7 status: unknown, code: 4660\n"), std::string::npos);
  EXPECT_STREQ(framebufferStatusText(GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT),
               " status: incomplete_missing_attachment");
}

TEST_F(RenderTargetTest, RenderbufferAtTheMaximumSizeIsMadeAndOneAboveFails) {
  GLWindow gl(64, 64);
  REQUIRE_GL(gl);
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &maxSize);
  ASSERT_GT(maxSize, 0);
  uint32_t rb = 0;
  EXPECT_EQ(createDepthRenderbuffer(static_cast<uint32_t>(maxSize), 1, rb), 0);
  EXPECT_NE(rb, 0u);
  GLint bound = -1;
  glGetIntegerv(GL_RENDERBUFFER_BINDING_EXT, &bound);
  EXPECT_EQ(bound, 0);
  uint32_t none = 0;
  EXPECT_EQ(createDepthRenderbuffer(1, static_cast<uint32_t>(maxSize) + 1, none), 1);
  EXPECT_EQ(none, 0u);
  EXPECT_NE(logText().find("RenderBuffer error, max size is: " + std::to_string(maxSize) + "\n"), std::string::npos);
}

}  // namespace

// The chain's targets at start-up: scene, transition A, transition B, bloom and bloom temp,
// each checked and logged in that order; an incomplete one stops the start-up where it is.
TEST_F(RenderTargetTest, ChainTargetsAreMadeCheckedAndLoggedInOrder) {
  GLWindow gl(64, 64);
  REQUIRE_GL(gl);
  PostChain chain;
  ASSERT_EQ(chain.createTargets(64, 36), 0) << logText();
  std::string lines;
  for (const RenderTarget* t : {&chain.scene, &chain.transitionA, &chain.transitionB, &chain.bloom, &chain.bloomTemp})
    lines += "fbo " + std::to_string(t->framebuffer) + " status: complete\n";
  EXPECT_NE(logText().find(lines), std::string::npos) << logText();
  EXPECT_EQ(chain.transitionB.width, 64u);
  EXPECT_EQ(chain.transitionB.height, 36u);
  EXPECT_EQ(chain.bloomTemp.width, 16u);

  platform::setFault(platform::Fault::FramebufferStatus, true, 1);  // the scene target passes, transition A not
  PostChain broken;
  EXPECT_EQ(broken.createTargets(64, 36), 1);
  platform::clearFaults();
  EXPECT_NE(
      logText().find("fbo " + std::to_string(broken.transitionA.framebuffer) + " status: incomplete_attachment\n"),
      std::string::npos);
  EXPECT_EQ(broken.bloom.framebuffer, 0u);

  // A timeline without transitions may leave them out; the log says so.
  PostChain lean;
  ASSERT_EQ(lean.createTargets(64, 36, false), 0);
  EXPECT_EQ(lean.transitionA.framebuffer, 0u);
  EXPECT_NE(logText().find("transition targets left out: the timeline has no cross-fade or wipe\n"), std::string::npos);
}
