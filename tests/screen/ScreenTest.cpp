#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/Displays.h"
#include "platform/Events.h"
#include "platform/Faults.h"
#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "screen/Screen.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

bool quitPending(int& code) {
  platform::Message message;
  while (platform::peekMessage(message)) {
    if (message.type == platform::MessageType::Quit) {
      code = static_cast<int>(message.wParam);
      return true;
    }
  }
  return false;
}

platform::Message message(platform::MessageType type, int64_t wParam = 0) {
  platform::Message m;
  m.type = type;
  m.wParam = wParam;
  return m;
}

TEST(WindowProc, EscapeAndClosingPostQuitZeroAndOtherKeysAreConsumed) {
  platform::clearMessages();
  for (auto m : {message(platform::MessageType::KeyDown, platform::kKeyEscape),
                 message(platform::MessageType::Char, platform::kKeyEscape), message(platform::MessageType::Close)}) {
    EXPECT_EQ(Screen::windowProc(m), 0);
    int code = -1;
    EXPECT_TRUE(quitPending(code));
    EXPECT_EQ(code, 0);
  }
  for (auto m : {message(platform::MessageType::KeyDown, 'a'), message(platform::MessageType::Char, 'q'),
                 message(platform::MessageType::KeyDown, 13)}) {
    EXPECT_EQ(Screen::windowProc(m), 0);
    int code = -1;
    EXPECT_FALSE(quitPending(code));
  }
}

// The rest open real windows on the test display (Xvfb: one 1280 x 1024 mode of unknown rate).
class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
    Runtime::destroyForTesting();
    platform::clearMessages();
    platform::clearFaults();
    programOptions() = ProgramOptions{};
    programOptions().noDialog = true;  // unattended: the settings dialog has its own tests
    programOptions().dataFile = std::string(PYLON_TEST_DATA) + "/tiny.zip";
    programOptions().log = true;
    runtime = Runtime::instance();
    runtime->logger->path = dir.file("Pylon.txt");
    screen = runtime->screen;
  }
  void TearDown() override {
    if (screen) screen->shutdown();
    platform::clearFaults();
    platform::clearMessages();
    Runtime::destroyForTesting();
    programOptions() = ProgramOptions{};
  }
  void windowed(int width, int height) {
    programOptions().windowed = true;
    programOptions().width = width;
    programOptions().height = height;
  }
  std::string log() const { return readFile(dir.file("Pylon.txt")); }
  void expectReleased() const {
    EXPECT_EQ(screen->window, nullptr);
    EXPECT_EQ(screen->dc, nullptr);
    EXPECT_EQ(screen->context, nullptr);
  }
  // The context draws: a cleared back buffer reads back in the clear colour.
  void expectWorkingContext() const {
    int w = 0, h = 0;
    platform::getClientSize(screen->window, w, h);
    glViewport(0, 0, w, h);
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    unsigned char pixel[4] = {};
    glReadPixels(w / 2, h / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 0);
    EXPECT_EQ(pixel[1], 255);
    EXPECT_EQ(pixel[2], 0);
  }
  void expectCentred(int width, int height) const {
    platform::Rect area;
    ASSERT_TRUE(platform::getWorkArea(area));
    int top = 0, left = 0, bottom = 0, right = 0;
    platform::getWindowBordersSize(screen->window, top, left, bottom, right);
    int x = -1, y = -1;
    platform::getWindowPosition(screen->window, x, y);
    EXPECT_EQ(x, width < area.right ? (area.right - width - left - right) / 2 : 0);
    EXPECT_EQ(y, height < area.bottom ? (area.bottom - height - top - bottom) / 2 : 0);
  }

  ScratchDir dir;
  MessageRecorder boxes;
  Runtime* runtime = nullptr;
  Screen* screen = nullptr;
};

TEST_F(ScreenTest, WindowedStartOpensTheCaptionedCentredWindowAndLogsTheGL) {
  windowed(1024, 768);
  ASSERT_EQ(screen->init(), 0) << log();
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(screen->caption, std::string("Veltro 12 ") + PYLON_VERSION_TEXT);
  EXPECT_EQ(platform::windowCaption(screen->window), screen->caption);
  EXPECT_FALSE(platform::isFullscreen(screen->window));
  int w = 0, h = 0;
  platform::getClientSize(screen->window, w, h);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);
  expectCentred(1024, 768);
  expectWorkingContext();

  ASSERT_FALSE(screen->devices.empty());
  const DisplayDevice& first = screen->devices.front();
  EXPECT_FALSE(first.modes.empty());
  EXPECT_FALSE(first.pixelFormats.empty());
  EXPECT_LE(first.pixelFormats.size(), 128u);
  EXPECT_GE(first.maxAnisotropy, 2.0f);
  EXPECT_EQ(screen->aaChoices.front(), 0);

  const std::string text = log();
  EXPECT_NE(text.find("id: " + std::to_string(first.pixelFormats.front().format) +
                      " draw_to_window: 1 support_opengl: 1"
                      " acceleration: 8231 color_bits: "),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(" sample_buffers: "), std::string::npos);
  EXPECT_NE(text.find("Status: Using GLEW "), std::string::npos);
  EXPECT_NE(text.find("Renderer: "), std::string::npos);
  EXPECT_NE(text.find("GL Version: "), std::string::npos);
  EXPECT_NE(text.find("\nSupported Extensions:\nGL_"), std::string::npos);

  screen->shutdown();
  expectReleased();
}

TEST_F(ScreenTest, ChosenSampleCountPicksItsFormatAndTheWindowIsMultisampled) {
  windowed(320, 240);
  programOptions().aaSamples = 4;
  ASSERT_EQ(screen->init(), 0);
  bool listed = false;
  for (const PixelFormatEntry& f : screen->devices.front().pixelFormats) listed |= f.samples == 4;
  if (!listed) GTEST_SKIP() << "the display lists no 4-sample window format";
  GLint samples = 0;
  glGetIntegerv(GL_SAMPLES, &samples);
  EXPECT_EQ(samples, 4);
}

TEST_F(ScreenTest, DefaultStartRunsFullScreenInThePreselectedModeAndRestoresTheDesktop) {
  int desktopW = 0, desktopH = 0;
  ASSERT_TRUE(platform::getDesktopSize(desktopW, desktopH));
  ASSERT_EQ(screen->init(), 0) << log();
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_TRUE(screen->config.fullscreen);
  EXPECT_TRUE(platform::isFullscreen(screen->window));
  EXPECT_EQ(screen->config.width, desktopW);
  EXPECT_EQ(screen->config.height, desktopH);
  expectWorkingContext();
  screen->shutdown();
  expectReleased();
  int w = 0, h = 0;
  ASSERT_TRUE(platform::getDesktopSize(w, h));
  EXPECT_EQ(w, desktopW);
  EXPECT_EQ(h, desktopH);
}

TEST_F(ScreenTest, RefusedFullScreenSwitchShowsTheBoxOnceAndOpensACentredWindow) {
  // The display lists no 1024 x 768 mode, so the switch to it is refused.
  programOptions().fullscreen = true;
  programOptions().width = 1024;
  programOptions().height = 768;
  platform::DisplayModeRecord probe;
  for (int m = 0; platform::enumDisplaySettings("display:0", m, probe); ++m) {
    if (probe.width == 1024 && probe.height == 768) GTEST_SKIP() << "the display has a 1024 x 768 mode";
  }
  ASSERT_EQ(screen->init(), 0) << log();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Full screen mode failed");
  EXPECT_EQ(boxes.boxes[0].caption, "Screen::init");
  EXPECT_EQ(boxes.boxes[0].icon, platform::MessageIcon::Warning);
  EXPECT_FALSE(screen->config.fullscreen);
  EXPECT_FALSE(platform::isFullscreen(screen->window));
  int w = 0, h = 0;
  platform::getClientSize(screen->window, w, h);
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);
  expectCentred(1024, 768);
  expectWorkingContext();
}

TEST_F(ScreenTest, LogFileThatCannotBeCreatedShowsItsBoxOnceAndTheStartGoesOn) {
  std::filesystem::create_directory(dir.file("Pylon.txt"));  // a folder is in the way
  windowed(320, 240);
  ASSERT_EQ(screen->init(), 0);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Error creating log file.");
  EXPECT_EQ(boxes.boxes[0].caption, "Logger::init");
  EXPECT_FALSE(runtime->logger->enabled);
}

TEST_F(ScreenTest, SwitchRefusedByTheLayerFallsBackToAWindowOfTheModeSize) {
  platform::setFault(platform::Fault::ChangeDisplayMode, true);
  ASSERT_EQ(screen->init(), 0) << log();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Full screen mode failed");
  EXPECT_FALSE(platform::isFullscreen(screen->window));
  expectCentred(screen->config.width, screen->config.height);
  expectWorkingContext();
  screen->shutdown();
  expectReleased();
}

TEST_F(ScreenTest, SwitchRefusedWhenTheWindowIsShownIsDetectedAndBecomesACentredWindow) {
  platform::setFault(platform::Fault::FullscreenOnShow, true);
  ASSERT_EQ(screen->init(), 0) << log();
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Full screen mode failed");
  EXPECT_EQ(boxes.boxes[0].icon, platform::MessageIcon::Warning);
  EXPECT_FALSE(screen->config.fullscreen);
  EXPECT_FALSE(platform::isFullscreen(screen->window));
  expectCentred(screen->config.width, screen->config.height);
  expectWorkingContext();
  screen->shutdown();
  expectReleased();
}

struct FailureCase {
  const char* name;
  platform::Fault fault;
  int succeedFirst;  // 1: the enumeration's temporary window gets through, the real one fails
  const char* box;   // nullptr: no box
  const char* caption;
  const char* logLine;  // nullptr: none expected
};

class ScreenFailureTest : public ScreenTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ScreenFailureTest, ReportsItsTextReleasesWhatItMadeAndStops) {
  const FailureCase& c = GetParam();
  windowed(640, 480);
  platform::setFault(c.fault, true, c.succeedFirst);
  EXPECT_EQ(screen->init(), 1);
  if (c.box) {
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, c.box);
    EXPECT_EQ(boxes.boxes[0].caption, c.caption);
    EXPECT_EQ(boxes.boxes[0].icon, platform::MessageIcon::Error);
  } else {
    EXPECT_TRUE(boxes.boxes.empty());
  }
  if (c.logLine) {
    EXPECT_NE(log().find(c.logLine), std::string::npos) << log();
  }
  expectReleased();

  // With the fault gone the same screen starts cleanly.
  platform::clearFaults();
  screen->shutdown();
  EXPECT_EQ(screen->init(), 0);
  expectWorkingContext();
}

INSTANTIATE_TEST_SUITE_P(EveryStep, ScreenFailureTest,
                         ::testing::Values(FailureCase{"WindowCreation", platform::Fault::CreateWindow, 1,
                                                       "CreateWindowEx() failed.", "Screen::init", nullptr},
                                           FailureCase{"DeviceContext", platform::Fault::GetDC, 1, "GetDC() failed.",
                                                       "Screen::init", nullptr},
                                           FailureCase{"PixelFormat", platform::Fault::SetPixelFormat, 1,
                                                       "SetPixelFormat() failed.", "Screen::init", nullptr},
                                           FailureCase{"ContextCreation", platform::Fault::CreateContext, 1,
                                                       "wglCreateContex() failed.", "Screen::init", nullptr},
                                           FailureCase{"MakeCurrent", platform::Fault::MakeCurrent, 1,
                                                       "wglMakeCurrent() failed.", "Screen::init", nullptr},
                                           FailureCase{"PixelFormatQueries", platform::Fault::PixelFormatQueries, 0,
                                                       "Extension WGL_ARB_pixel_format is required.", "Init error",
                                                       "init user config failed.\n"},
                                           FailureCase{"TemporaryWindow", platform::Fault::CreateWindow, 0, nullptr,
                                                       nullptr, "init user config failed.\n"},
                                           FailureCase{"TemporaryDeviceContext", platform::Fault::GetDC, 0, nullptr,
                                                       nullptr, "init user config failed.\n"}),
                         [](const ::testing::TestParamInfo<FailureCase>& info) {
                           return std::string(info.param.name);
                         });

// The whole program: Escape and closing end it with exit code 0 after a normal shutdown.
std::string exitName(const ::testing::TestParamInfo<platform::Message>& info) {
  if (info.param.type == platform::MessageType::Close) return "Close";
  return info.param.type == platform::MessageType::Char ? "EscapeCharacter" : "EscapeKey";
}

class PlayerExitTest : public ScreenTest, public ::testing::WithParamInterface<platform::Message> {};

TEST_P(PlayerExitTest, EndsTheRunWithCodeZero) {
  windowed(320, 240);
  screen = nullptr;  // runEngine shuts the screen down itself
  int frames = 0;
  platform::Message input = GetParam();
  DemoHooks hooks{[] { return 0; },
                  [&] {
                    if (++frames == 3) platform::postMessage(input);
                    if (frames > 100) platform::postQuitMessage(9);
                  }};
  EXPECT_EQ(runEngine(hooks), 0);
  EXPECT_EQ(frames, 3);
  EXPECT_EQ(runtime->screen->window, nullptr);
  EXPECT_EQ(runtime->screen->context, nullptr);
}

INSTANTIATE_TEST_SUITE_P(EscapeAndClose, PlayerExitTest,
                         ::testing::Values(message(platform::MessageType::KeyDown, platform::kKeyEscape),
                                           message(platform::MessageType::Char, platform::kKeyEscape),
                                           message(platform::MessageType::Close)),
                         exitName);

}  // namespace

namespace {

// Restores an environment variable when the scope ends.
class SavedVariable {
 public:
  explicit SavedVariable(const char* name) : name(name) {
    if (const char* value = std::getenv(name)) saved = value;
    had = std::getenv(name) != nullptr;
  }
  ~SavedVariable() {
    if (had) setenv(name, saved.c_str(), 1);
  }

 private:
  const char* name;
  std::string saved;
  bool had = false;
};

TEST(ScreenWithoutDisplay, SaysSoAndStopsStartUp) {
  SavedVariable display("DISPLAY"), wayland("WAYLAND_DISPLAY");
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  Runtime::destroyForTesting();
  programOptions() = ProgramOptions{};
  programOptions().dataFile = std::string(PYLON_TEST_DATA) + "/tiny.zip";
  MessageRecorder boxes;
  Screen* screen = Runtime::instance()->screen;
  EXPECT_EQ(screen->init(), 1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "No display available (DISPLAY is not set).");
  EXPECT_EQ(boxes.boxes[0].caption, "Screen::init");
  EXPECT_EQ(screen->window, nullptr);
  screen->shutdown();
  Runtime::destroyForTesting();
  programOptions() = ProgramOptions{};
}

}  // namespace
