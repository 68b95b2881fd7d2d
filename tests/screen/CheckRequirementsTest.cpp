#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "screen/Screen.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

// GL strings served from a table; a missing entry is an absent string.
class CheckRequirementsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Runtime::destroyForTesting();
    programOptions().dataFile = std::string(PYLON_TEST_DATA) + "/tiny.zip";
    Logger& log = *Runtime::instance()->logger;
    log.path = dir.file("Pylon.txt");
    ASSERT_EQ(log.create(), 0);
    strings[GL_RENDERER] = "llvmpipe";
    strings[GL_VENDOR] = "Mesa";
    strings[GL_EXTENSIONS] = "GL_ARB_multisample GL_EXT_texture_filter_anisotropic";
  }
  void TearDown() override {
    Runtime::destroyForTesting();
    programOptions() = ProgramOptions{};
  }
  int run() {
    return checkRequirements([this](unsigned name) -> const char* {
      asked.push_back(name);
      auto found = strings.find(name);
      return found == strings.end() ? nullptr : found->second.c_str();
    });
  }
  bool askedFor(unsigned name) const { return std::find(asked.begin(), asked.end(), name) != asked.end(); }
  std::string log() const { return readFile(dir.file("Pylon.txt")); }

  ScratchDir dir;
  MessageRecorder boxes;
  std::map<unsigned, std::string> strings;
  std::vector<unsigned> asked;
};

TEST_F(CheckRequirementsTest, VersionsThatStartWithTwoNumbersAreAccepted) {
  strings[GL_VERSION] = "2.1 Mesa 22.3";
  strings[GL_SHADING_LANGUAGE_VERSION] = "1.20";
  EXPECT_EQ(run(), 0);
  strings[GL_VERSION] = "4.5 (Compatibility Profile) Mesa 22.3.6";
  strings[GL_SHADING_LANGUAGE_VERSION] = "4.50";
  EXPECT_EQ(run(), 0);
  EXPECT_TRUE(boxes.boxes.empty());
  const std::string text = log();
  EXPECT_NE(text.find("Renderer: llvmpipe\nDevice Vendor: Mesa\nGL Version: 2.1 Mesa 22.3\n"
                      "GL Shading Language Version: 1.20\n\nSupported Extensions:\n"
                      "GL_ARB_multisample GL_EXT_texture_filter_anisotropic\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("GL Version: 4.5 (Compatibility Profile) Mesa 22.3.6\nGL Shading Language Version: 4.50\n"),
            std::string::npos);
}

TEST_F(CheckRequirementsTest, AVersionThatIsNotTwoNumbersIsRefused) {
  for (const char* bad : {"Mesa 22.3", "OpenGL ES 3.2", "4", ""}) {
    strings[GL_VERSION] = bad;
    EXPECT_EQ(run(), 1) << bad;
  }
  strings.erase(GL_VERSION);
  EXPECT_EQ(run(), 1);
  ASSERT_EQ(boxes.boxes.size(), 5u);
  for (const RecordedBox& box : boxes.boxes) {
    EXPECT_EQ(box.text, "Invalid GL_VERSION format");
    EXPECT_EQ(box.caption, "Req check error");
    EXPECT_EQ(box.icon, platform::MessageIcon::Error);
  }
  EXPECT_EQ(log().find("Shading Language"), std::string::npos);
}

TEST_F(CheckRequirementsTest, MajorVersionOneTakesTheShadingLanguageFromTheExtensions) {
  strings[GL_VERSION] = "1.5 Generic";
  strings[GL_SHADING_LANGUAGE_VERSION] = "9.99";  // must not be read for a version 1 context
  EXPECT_EQ(run(), 0);
  strings[GL_EXTENSIONS] = "GL_ARB_multisample GL_ARB_shading_language_100";
  EXPECT_EQ(run(), 0);
  EXPECT_FALSE(askedFor(GL_SHADING_LANGUAGE_VERSION));
  const std::string text = log();
  const size_t first = text.find("GL Shading Language Version: 0.0\n");
  ASSERT_NE(first, std::string::npos) << text;
  EXPECT_NE(text.find("GL Shading Language Version: 1.0\n", first), std::string::npos) << text;

  // Below 1 there is no shading language at all.
  strings[GL_VERSION] = "0.9 Ancient";
  EXPECT_EQ(run(), 0);
  EXPECT_NE(log().rfind("GL Shading Language Version: 0.0\n"), first);
  EXPECT_FALSE(askedFor(GL_SHADING_LANGUAGE_VERSION));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(CheckRequirementsTest, AnUnreadableShadingLanguageVersionIsRefused) {
  strings[GL_VERSION] = "3.3 Mesa";
  EXPECT_EQ(run(), 1);
  strings[GL_SHADING_LANGUAGE_VERSION] = "GLSL";
  EXPECT_EQ(run(), 1);
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].text, "Invalid GL_SHADING_LANGUAGE_VERSION format");
  EXPECT_EQ(boxes.boxes[0].caption, "Req check error");
  EXPECT_EQ(boxes.boxes[1].icon, platform::MessageIcon::Error);
}

}  // namespace
