#include <gtest/gtest.h>

#include "runtime/Options.h"

namespace {
int parse(std::vector<const char*> args, ProgramOptions& o, std::string& error) {
  args.insert(args.begin(), "veltro12");
  return parseOptions(static_cast<int>(args.size()), args.data(), o, error);
}
}  // namespace

TEST(Options, ParsesValuesOfEveryKind) {
  ProgramOptions o;
  std::string error;
  ASSERT_EQ(parse({"--no-dialog", "--size", "1280x720", "--aa", "4", "--aniso", "8", "--capture", "out.avi",
                   "--fps", "60", "--from", "12.5", "--shot", "43", "f.png", "--data", "x.zip"},
                  o, error),
            0)
      << error;
  EXPECT_TRUE(o.noDialog);
  EXPECT_EQ(*o.width, 1280);
  EXPECT_EQ(*o.height, 720);
  EXPECT_EQ(*o.aaSamples, 4);
  EXPECT_FLOAT_EQ(*o.aniso, 8.0f);
  EXPECT_EQ(o.captureFile, "out.avi");
  EXPECT_EQ(*o.fps, 60);
  EXPECT_DOUBLE_EQ(*o.from, 12.5);
  EXPECT_DOUBLE_EQ(*o.shotTime, 43.0);
  EXPECT_EQ(o.shotFile, "f.png");
  EXPECT_EQ(o.dataFile, "x.zip");
}

TEST(Options, RejectsUnknownOptionsMissingAndBadValues) {
  std::string error;
  ProgramOptions a, b, c, d;
  EXPECT_EQ(parse({"--frobnicate"}, a, error), 1);
  EXPECT_EQ(error, "unknown option: --frobnicate");
  EXPECT_EQ(parse({"--size"}, b, error), 1);
  EXPECT_EQ(parse({"--size", "big"}, c, error), 1);
  EXPECT_EQ(parse({"--fps", "24"}, d, error), 1);
}

TEST(Options, UsageListsEveryOption) {
  const std::string usage = usageText();
  for (const char* name : {"--no-dialog", "--windowed", "--fullscreen", "--size", "--no-vsync", "--aa", "--aniso",
                           "--log", "--gui", "--capture", "--fps", "--codec", "--from", "--to", "--shot",
                           "--sound-output", "--data", "--list-codecs", "--help", "--version"})
    EXPECT_NE(usage.find(name), std::string::npos) << name;
  EXPECT_EQ(versionText().rfind("Veltro 12 ", 0), 0u);
}
