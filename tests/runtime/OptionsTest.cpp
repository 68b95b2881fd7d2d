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
                           "--sound-output", "--data", "--scene", "--camera", "--watch", "--loop", "--list-codecs", "--help",
                           "--version"})
    EXPECT_NE(usage.find(name), std::string::npos) << name;
  EXPECT_EQ(versionText().rfind("Veltro 12 ", 0), 0u);
}

TEST(Options, NonFiniteAndOutOfRangeNumbersAreRefusedForEveryNumericOption) {
  // "--to nan" used to be taken: no time is past NaN, so the player never ended.
  const std::vector<std::vector<const char*>> cases = {
      {"--from", "nan"},    {"--from", "inf"},   {"--from", "-1"},     {"--from", "1e999"}, {"--to", "nan"},
      {"--to", "NAN"},      {"--to", "-inf"},    {"--to", "1001"},     {"--shot", "nan", "f.png"},
      {"--shot", "infinity", "f.png"},           {"--size", "nanxnan"}, {"--size", "1e9x720"},
      {"--size", "99999999999x720"},             {"--aa", "nan"},      {"--aa", "65"},      {"--aniso", "inf"},
      {"--aniso", "0"},     {"--fps", "nan"},    {"--fps", "1e2"}};
  for (const auto& args : cases) {
    ProgramOptions o;
    std::string error;
    EXPECT_EQ(parse(args, o, error), 1) << args[0] << " " << args[1];
    EXPECT_EQ(error.rfind(std::string("invalid value for ") + args[0], 0), 0u) << error;
  }
  double value = 0;
  EXPECT_TRUE(parseFiniteNumber("-2.5e3", value));
  EXPECT_EQ(value, -2500.0);
}

TEST(Options, AuthoringOptionsAndTheirBadValues) {
  std::string error;
  ProgramOptions o, bad;
  ASSERT_EQ(parse({"--data", "work", "--scene", "s.glb", "--watch", "--loop", "2.5", "10"}, o, error), 0) << error;
  EXPECT_EQ(o.sceneFile, "s.glb");
  EXPECT_TRUE(o.watch);
  EXPECT_EQ(*o.loopFrom, 2.5);
  EXPECT_EQ(*o.loopTo, 10.0);
  EXPECT_EQ(parse({"--loop", "5", "5"}, bad, error), 1);
  EXPECT_EQ(error, "invalid value for --loop: 5");
  EXPECT_EQ(parse({"--loop", "5"}, bad, error), 1);
  EXPECT_EQ(parse({"--scene"}, bad, error), 1);
  ProgramOptions camera, lonely;
  ASSERT_EQ(parse({"--scene", "s.glb", "--camera", "FlyCam"}, camera, error), 0) << error;
  EXPECT_EQ(camera.cameraName, "FlyCam");
  EXPECT_EQ(parse({"--camera", "FlyCam"}, lonely, error), 1);
  EXPECT_EQ(error.rfind("--camera needs --scene FILE", 0), 0u) << error;
}

TEST(Options, UnattendedRendersSkipTheDialogInA1080pWindowUnlessTold) {
  std::string error;
  ProgramOptions shot, capture, sized, full, played;
  ASSERT_EQ(parse({"--shot", "3", "x.png"}, shot, error), 0);
  ASSERT_EQ(parse({"--capture", "v.mp4"}, capture, error), 0);
  ASSERT_EQ(parse({"--capture", "v.mp4", "--size", "800x600"}, sized, error), 0);
  ASSERT_EQ(parse({"--fullscreen", "--shot", "3", "x.png"}, full, error), 0);
  ASSERT_EQ(parse({"--size", "800x600"}, played, error), 0);
  for (const ProgramOptions* o : {&shot, &capture}) {
    EXPECT_TRUE(o->noDialog);
    EXPECT_TRUE(o->windowed);
    EXPECT_EQ(*o->width, 1920);
    EXPECT_EQ(*o->height, 1080);
  }
  EXPECT_EQ(*sized.width, 800);
  EXPECT_TRUE(full.noDialog);
  EXPECT_FALSE(full.windowed);
  EXPECT_TRUE(full.fullscreen);
  // A run someone watches keeps the dialog and the desktop's mode.
  EXPECT_FALSE(played.noDialog);
  EXPECT_FALSE(played.windowed);
}

TEST(Options, RenderScaleTakesAScaleOrAutoWithATargetAndTheHelpSaysCaptureIgnoresIt) {
  std::string error;
  ProgramOptions fixed, automatic, last;
  ASSERT_EQ(parse({"--render-scale", "0.5"}, fixed, error), 0) << error;
  EXPECT_FLOAT_EQ(*fixed.renderScale, 0.5f);
  EXPECT_FALSE(fixed.renderScaleAuto);
  ASSERT_EQ(parse({"--render-scale", "auto", "--target-fps", "75"}, automatic, error), 0) << error;
  EXPECT_TRUE(automatic.renderScaleAuto);
  EXPECT_FALSE(automatic.renderScale);
  EXPECT_EQ(*automatic.targetFps, 75);
  // The last one given counts.
  ASSERT_EQ(parse({"--render-scale", "auto", "--render-scale", "1"}, last, error), 0) << error;
  EXPECT_FALSE(last.renderScaleAuto);
  EXPECT_FLOAT_EQ(*last.renderScale, 1.0f);
  for (const std::vector<const char*>& args : std::vector<std::vector<const char*>>{
           {"--render-scale", "0.2"}, {"--render-scale", "1.01"}, {"--render-scale", "nan"},
           {"--render-scale", "Auto"}, {"--target-fps", "0"}, {"--target-fps", "60.5"}}) {
    ProgramOptions o;
    EXPECT_EQ(parse(args, o, error), 1) << args[0] << " " << args[1];
    EXPECT_EQ(error, std::string("invalid value for ") + args[0] + ": " + args[1]);
  }
  const std::string usage = usageText();
  EXPECT_NE(usage.find("--render-scale S|auto"), std::string::npos);
  EXPECT_NE(usage.find("--target-fps N"), std::string::npos);
  EXPECT_NE(usage.find("Capture and --shot always render at 1"), std::string::npos);
}

TEST(Options, ShotsNameEachPictureByItsTimeAsWrittenAndRenderUnattended) {
  std::string error;
  ProgramOptions o, slash, bad, empty, lonely;
  ASSERT_EQ(parse({"--shots", "1,43.5,90", "out"}, o, error), 0) << error;
  EXPECT_DOUBLE_EQ(*o.shotTime, 1.0);
  EXPECT_EQ(o.shotFile, "out/1.png");
  ASSERT_EQ(o.moreShots.size(), 2u);
  EXPECT_DOUBLE_EQ(o.moreShots[0].first, 43.5);
  EXPECT_EQ(o.moreShots[0].second, "out/43.5.png");
  EXPECT_EQ(o.moreShots[1].second, "out/90.png");
  EXPECT_TRUE(o.noDialog);
  EXPECT_EQ(*o.width, 1920);
  ASSERT_EQ(parse({"--shots", "7", "/shots/"}, slash, error), 0) << error;
  EXPECT_EQ(slash.shotFile, "/shots/7.png");
  EXPECT_TRUE(slash.moreShots.empty());
  EXPECT_EQ(parse({"--shots", "1,nan", "out"}, bad, error), 1);
  EXPECT_EQ(parse({"--shots", "1,,2", "out"}, empty, error), 1);
  EXPECT_EQ(parse({"--shots", "1,2"}, lonely, error), 1);
  EXPECT_NE(usageText().find("--shots T1,T2,... FOLDER"), std::string::npos);
}
