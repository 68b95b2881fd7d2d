#include <gtest/gtest.h>

#include <GL/glew.h>

#include "platform/tweakbar/TweakBar.h"
#include "support/TestSupport.h"

using namespace testing_support;
using tweakbar::Definition;
using tweakbar::parseDefinition;

TEST(TweakBarDefinition, BarDefinitionsWithQuotesFlagsAndNumbers) {
  Definition d;
  std::string error;
  ASSERT_TRUE(parseDefinition(" Pylon refresh=0.01 size='200 600' valuesWidth=60 ", true, d, error)) << error;
  EXPECT_EQ(d.target, "Pylon");
  EXPECT_DOUBLE_EQ(d.number("refresh", 0), 0.01);
  EXPECT_EQ(d.get("size"), "200 600");
  EXPECT_DOUBLE_EQ(d.number("valuesWidth", 0), 60);

  ASSERT_TRUE(parseDefinition(" Pylon iconify ", true, d, error));
  EXPECT_TRUE(d.has("iconify"));
  EXPECT_FALSE(d.has("show"));
}

TEST(TweakBarDefinition, VariableDefinitionsKeepPunctuationKeysAndLabels) {
  Definition d;
  std::string error;
  ASSERT_TRUE(parseDefinition(" min=0 max=1000 step=0.01 precision=4 keydecr=, keyincr=. ", false, d, error));
  EXPECT_EQ(d.get("keydecr"), ",");
  EXPECT_EQ(d.get("keyincr"), ".");
  EXPECT_DOUBLE_EQ(d.number("max", 0), 1000);
  ASSERT_TRUE(parseDefinition(" min=0 max=512 label='fft flash' group=\"Bloom Final\"", false, d, error));
  EXPECT_EQ(d.get("label"), "fft flash");
  EXPECT_EQ(d.get("group"), "Bloom Final");
  EXPECT_DOUBLE_EQ(d.number("label", -1), -1);  // not a number: the fallback
}

TEST(TweakBarDefinition, MalformedDefinitionsAreRefused) {
  Definition d;
  std::string error;
  EXPECT_FALSE(parseDefinition(" label='never closed ", false, d, error));
  EXPECT_EQ(error, "unterminated quote");
  EXPECT_FALSE(parseDefinition(" =5 ", false, d, error));
  EXPECT_FALSE(parseDefinition("   ", true, d, error));
}

namespace {
float g_time = 0;
int g_presses = 0;
void setTime(const void* v, void*) { g_time = *static_cast<const float*>(v); }
void getTime(void* v, void*) { *static_cast<float*>(v) = g_time; }
void press(void*) { ++g_presses; }
}  // namespace

// The bar needs a GL window; everything runs in one case so the library starts once.
TEST(TweakBarLibrary, BarsVariablesEventsAndDrawing) {
  GLWindow gl(640, 480);
  REQUIRE_GL(gl);
  EXPECT_EQ(TwNewBar("Early"), nullptr);  // not initialised yet
  ASSERT_EQ(TwInit(TW_OPENGL, nullptr), 1);
  TwBar* bar = TwNewBar("Pylon");
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(TwDefine(" Pylon refresh=0.01 size='200 600' valuesWidth=60 "), 1);
  EXPECT_EQ(TwDefine(" Nobody show "), 0);

  EXPECT_EQ(TwAddButton(bar, "Play", press, nullptr, nullptr), 1);
  EXPECT_EQ(TwAddVarCB(bar, "Time", TW_TYPE_FLOAT, setTime, getTime, nullptr,
                       " min=0 max=1000 step=0.01 precision=4 keydecr=, keyincr=. "),
            1);
  bool flag = true;
  int bin = 2;
  EXPECT_EQ(TwAddVarRW(bar, "postprocess", TW_TYPE_BOOLCPP, &flag, "label='postprocess'"), 1);
  EXPECT_EQ(TwAddVarRW(bar, "fftControl", TW_TYPE_INT32, &bin, " min=0 max=512 label='fft flash' "), 1);

  // A second variable of the same name is refused with a reason.
  EXPECT_EQ(TwAddVarCB(bar, "Time", TW_TYPE_FLOAT, setTime, getTime, nullptr, ""), 0);
  ASSERT_NE(TwGetLastError(), nullptr);
  EXPECT_NE(std::string(TwGetLastError()).find("already exists"), std::string::npos);

  const auto* items = tweakbar::barItems("Pylon");
  ASSERT_NE(items, nullptr);
  ASSERT_EQ(items->size(), 4u);
  EXPECT_EQ((*items)[0].name, "Play");
  EXPECT_EQ((*items)[3].definition.get("label"), "fft flash");

  // Values go through the bound pointers and callbacks.
  tweakbar::setItemValue((*items)[2], 0);
  EXPECT_FALSE(flag);
  tweakbar::setItemValue((*items)[3], 17);
  EXPECT_EQ(bin, 17);
  tweakbar::pressButton((*items)[0]);
  EXPECT_EQ(g_presses, 1);

  // keyincr / keydecr step the variable by its step and are consumed.
  g_time = 1.0f;
  platform::Message dot;
  dot.type = platform::MessageType::Char;
  dot.wParam = '.';
  EXPECT_EQ(TwEventWin(dot), 1);
  EXPECT_NEAR(g_time, 1.01f, 1e-6);
  dot.wParam = ',';
  EXPECT_EQ(TwEventWin(dot), 1);
  dot.wParam = ',';
  EXPECT_EQ(TwEventWin(dot), 1);
  EXPECT_NEAR(g_time, 0.99f, 1e-6);
  platform::Message escape;
  escape.type = platform::MessageType::Char;
  escape.wParam = 27;
  EXPECT_EQ(TwEventWin(escape), 0);  // not the bar's: the window procedure still sees it

  // Drawing puts the bar's panel over a black frame at the top left.
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_EQ(TwDraw(), 1);
  glFinish();
  std::vector<unsigned char> pixels(640 * 480 * 4);
  glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  int lit = 0;
  for (int y = 480 - 300; y < 480 - 20; ++y)
    for (int x = 20; x < 200; ++x)
      if (pixels[(y * 640 + x) * 4] + pixels[(y * 640 + x) * 4 + 1] + pixels[(y * 640 + x) * 4 + 2] > 30) ++lit;
  EXPECT_GT(lit, 1000);
  EXPECT_EQ(TwTerminate(), 1);
}
