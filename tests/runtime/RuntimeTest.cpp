#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/AviCapture.h"
#include "gui/TweakGui.h"
#include "platform/Events.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "runtime/Timer.h"
#include "scene/MathUtil.h"
#include "scene/Renderer.h"
#include "screen/ConfigDialog.h"
#include "screen/Screen.h"
#include "sound/Sound.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

// Each case starts from a fresh Runtime and an empty message queue.
class RuntimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Runtime::destroyForTesting();
    platform::clearMessages();
  }
  void TearDown() override {
    Runtime::constructionObserver = nullptr;
    Runtime::destroyForTesting();
    platform::clearMessages();
    programOptions() = ProgramOptions{};
  }
  MessageRecorder boxes;
};

TEST_F(RuntimeTest, MembersAreConstructedInOrderOnOneHalfBuiltObject) {
  std::vector<std::string> order;
  std::vector<Runtime*> seen;
  Runtime::constructionObserver = [&](const char* member, Runtime* runtime) {
    order.push_back(member);
    seen.push_back(runtime);
    // A member constructor that asks for the instance gets this same object.
    EXPECT_EQ(Runtime::instance(), runtime);
  };
  Runtime* runtime = Runtime::instance();
  EXPECT_EQ(order, (std::vector<std::string>{"Logger", "AviCapture", "ConfigDialog", "TweakGui", "Screen", "Sound",
                                             "Loader", "MathUtil", "Renderer", "Timer"}));
  for (Runtime* r : seen) EXPECT_EQ(r, runtime);
  EXPECT_EQ(Runtime::instance(), runtime);

  // Every service holds its back pointer to the one object.
  EXPECT_EQ(runtime->logger->runtime, runtime);
  EXPECT_EQ(runtime->capture->engine, runtime);
  EXPECT_EQ(ConfigDialog::runtime, runtime);
  EXPECT_EQ(TweakGui::runtime, runtime);
  EXPECT_EQ(runtime->screen->runtime, runtime);
  EXPECT_EQ(runtime->sound->engine, runtime);
  EXPECT_EQ(runtime->loader->runtime, runtime);
  EXPECT_EQ(runtime->math->runtime, runtime);
  EXPECT_EQ(runtime->renderer->runtime, runtime);
  EXPECT_EQ(runtime->gui, 0);
  EXPECT_EQ(runtime->tweakGui->showFlag, 1);
  EXPECT_DOUBLE_EQ(runtime->math->pi, 3.141592653589793);
}

TEST_F(RuntimeTest, LaterMembersAreStillEmptyWhileAnEarlierOneIsBuilt) {
  Runtime::constructionObserver = [](const char* member, Runtime* runtime) {
    if (std::string(member) == "Screen") {
      EXPECT_NE(runtime->tweakGui, nullptr);
      EXPECT_EQ(runtime->sound, nullptr);
      EXPECT_EQ(runtime->timer, nullptr);
    }
  };
  Runtime::instance();
}

TEST_F(RuntimeTest, MissingArchiveEndsWithExitCodeOneAndNoWindow) {
  ScratchDir dir;
  WorkingDir cwd(dir.path());
  programOptions().dataFile = dir.file("nothing-here.zip");
  programOptions().log = true;
  int frames = 0;
  DemoHooks hooks{[] { return 0; }, [&] { ++frames; }};
  EXPECT_EQ(runEngine(hooks), 1);
  EXPECT_EQ(frames, 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  const std::string why = dir.file("nothing-here.zip") + ": No such file or directory";
  EXPECT_EQ(boxes.boxes[0].text, "Data file not found.\n\n" + why + ".");
  // --log still gets the reason, though the run ends before the settings step opens it.
  EXPECT_NE(readFile(dir.file("Pylon.txt")).find("Loader::loader: Data file not found. (" + why + ")\n"),
            std::string::npos);
  EXPECT_EQ(boxes.boxes[0].caption, "Loader::loader");
  EXPECT_EQ(Runtime::instance()->screen->window, nullptr);
}

// The rest open a real window: they need an archive to pass the archive check.
class RuntimeLoopTest : public RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
    programOptions().dataFile = std::string(PYLON_TEST_DATA) + "/tiny.zip";
    programOptions().noDialog = true;  // unattended: no settings dialog to wait for
    programOptions().windowed = true;
    programOptions().width = 320;
    programOptions().height = 240;
  }
};

TEST_F(RuntimeLoopTest, QuitPostedDuringStartUpEndsTheLoopBeforeTheFirstFrame) {
  int frames = 0;
  DemoHooks hooks{[] {
                    platform::postQuitMessage(0);
                    return 0;
                  },
                  [&] { ++frames; }};
  EXPECT_EQ(runEngine(hooks), 0);
  EXPECT_EQ(frames, 0);
  // The shutdown still ran: the window and context are gone.
  EXPECT_EQ(Runtime::instance()->screen->window, nullptr);
  EXPECT_EQ(Runtime::instance()->screen->context, nullptr);
}

TEST_F(RuntimeLoopTest, FailedDemoInitEndsWithExitCodeOneAfterShutdown) {
  int frames = 0;
  DemoHooks hooks{[] { return 1; }, [&] { ++frames; }};
  EXPECT_EQ(runEngine(hooks), 1);
  EXPECT_EQ(frames, 0);
  EXPECT_EQ(Runtime::instance()->screen->window, nullptr);
}

TEST_F(RuntimeLoopTest, DemoQuitCarriesExitCodeZeroAndFramesRunUntilThen) {
  int frames = 0;
  DemoHooks hooks{[] { return 0; }, [&] {
                    if (++frames == 5) platform::postQuitMessage(0);
                  }};
  EXPECT_EQ(runEngine(hooks), 0);
  EXPECT_EQ(frames, 5);
}

TEST_F(RuntimeLoopTest, WaitingMessagesAreTakenBeforeAnyFrame) {
  int frames = 0;
  DemoHooks hooks{[] {
                    platform::Message escape;
                    escape.type = platform::MessageType::Char;
                    escape.wParam = platform::kKeyEscape;
                    platform::postMessage(escape);
                    return 0;
                  },
                  [&] { ++frames; }};
  // The window procedure turns the Escape character into quit 0 before a frame is drawn.
  EXPECT_EQ(runEngine(hooks), 0);
  EXPECT_EQ(frames, 0);
}

}  // namespace
