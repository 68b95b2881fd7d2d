#include <gtest/gtest.h>

#include "runtime/Options.h"
#include "screen/ConfigSelection.h"
#include "screen/WindowIcon.h"

using namespace config_selection;

namespace {

platform::DisplayModeRecord mode(int w, int h, int hz, int bpp = 32) {
  platform::DisplayModeRecord m;
  m.width = w;
  m.height = h;
  m.refreshRate = hz;
  m.bitsPerPixel = bpp;
  return m;
}

DisplayMode listed(int w, int h, int hz) { return {mode(w, h, hz), modeLabel(mode(w, h, hz))}; }

std::vector<PixelFormatEntry> formats(std::initializer_list<std::pair<int, int>> entries) {
  std::vector<PixelFormatEntry> list;
  for (auto [number, samples] : entries) list.push_back({number, samples});
  return list;
}

DisplayDevice device(std::vector<DisplayMode> modes, std::vector<PixelFormatEntry> pixelFormats = {},
                     float maxAnisotropy = 0) {
  DisplayDevice d;
  d.modes = std::move(modes);
  d.pixelFormats = std::move(pixelFormats);
  d.maxAnisotropy = maxAnisotropy;
  return d;
}

}  // namespace

TEST(ModeList, KeepsThirtyTwoBitModesFromSixtyToOneHundredHertz) {
  EXPECT_TRUE(isUsableMode(mode(1024, 768, 60)));
  EXPECT_TRUE(isUsableMode(mode(1024, 768, 100)));
  EXPECT_TRUE(isUsableMode(mode(1024, 768, 75)));
  EXPECT_FALSE(isUsableMode(mode(1024, 768, 59)));
  EXPECT_FALSE(isUsableMode(mode(1024, 768, 101)));
  EXPECT_FALSE(isUsableMode(mode(1024, 768, 60, 16)));
  EXPECT_FALSE(isUsableMode(mode(1024, 768, 60, 24)));
  // A rate the platform does not know is kept: it is often the only mode there is.
  EXPECT_TRUE(isUsableMode(mode(1280, 1024, 0)));
}

TEST(ModeList, LabelsNameSizeDepthAndRate) {
  EXPECT_EQ(modeLabel(mode(1024, 768, 60)), "1024 x 768, 32 bpp @ 60 Hz");
  EXPECT_EQ(modeLabel(mode(1280, 1024, 0)), "1280 x 1024, 32 bpp");
}

TEST(ModeList, DesktopSizeSelectsTheLastMatchAtAnyRate) {
  std::vector<DisplayMode> modes{listed(1280, 1024, 60), listed(1024, 768, 60), listed(1280, 1024, 85),
                                 listed(800, 600, 75)};
  EXPECT_EQ(preselectedMode(modes, false, 1024, 768, 60, 1280, 1024), 2);
  EXPECT_EQ(preselectedMode(modes, false, 1024, 768, 60, 1920, 1080), -1);
  EXPECT_EQ(preselectedMode({}, false, 1024, 768, 60, 1280, 1024), -1);
}

TEST(ModeList, GuiSwitchMatchesWidthHeightAndRate) {
  std::vector<DisplayMode> modes{listed(1024, 768, 60), listed(1024, 768, 75), listed(1280, 1024, 60),
                                 listed(1024, 768, 60)};
  EXPECT_EQ(preselectedMode(modes, true, 1024, 768, 60, 1280, 1024), 3);
  EXPECT_EQ(preselectedMode(modes, true, 1024, 768, 75, 1280, 1024), 1);
  EXPECT_EQ(preselectedMode(modes, true, 1024, 768, 85, 1280, 1024), -1);
}

TEST(AntialiasingList, RepeatedCountsAreListedOnceInFirstMetOrder) {
  auto choices = antialiasingChoices(formats({{5, 0}, {6, 4}, {7, 2}, {8, 4}, {9, 8}, {10, 2}, {11, 0}, {12, 8}}));
  EXPECT_EQ(choices, (std::vector<int>{0, 4, 2, 8}));
  EXPECT_EQ(antialiasingLabels(choices), (std::vector<std::string>{"None", "4 samples", "2 samples", "8 samples"}));
  EXPECT_EQ(antialiasingChoices({}), (std::vector<int>{0}));
}

TEST(AnisotropyList, PowersOfTwoUpToTheMaximum) {
  auto choices = anisotropyChoices(16.0f);
  EXPECT_EQ(anisotropyLabels(choices), (std::vector<std::string>{"None", "2", "4", "8", "16"}));
  EXPECT_EQ(anisotropyLevel(3), 8.0f);
  EXPECT_EQ(anisotropyLevel(0), 1.0f);
  EXPECT_EQ(anisotropyLabels(anisotropyChoices(12.0f)), (std::vector<std::string>{"None", "2", "4", "8"}));
  // Not read (extension missing): None only.
  EXPECT_EQ(anisotropyChoices(0.0f), (std::vector<float>{1.0f}));
}

TEST(PixelFormatChoice, FirstFormatWithTheSampleCountElseNumberOne) {
  std::vector<DisplayDevice> devices{device({}, formats({{260, 4}, {271, 0}, {280, 8}, {290, 0}, {300, 8}})),
                                     device({})};
  EXPECT_EQ(pixelFormatNumber(devices, 0, 0), 271);
  EXPECT_EQ(pixelFormatNumber(devices, 0, 8), 280);
  EXPECT_EQ(pixelFormatNumber(devices, 0, 16), 1);
  // Only the first device has formats; any other, or none, gives number 1.
  EXPECT_EQ(pixelFormatNumber(devices, 1, 0), 1);
  EXPECT_EQ(pixelFormatNumber(devices, 5, 0), 1);
  EXPECT_EQ(pixelFormatNumber({}, 0, 0), 1);
  // A listed format numbered 1 is told from the fallback.
  std::vector<DisplayDevice> one(1);
  one[0].pixelFormats = {{1, 0}, {7, 4}};
  bool listed = false;
  EXPECT_EQ(pixelFormatNumber(one, 0, 0, &listed), 1);
  EXPECT_TRUE(listed);
  EXPECT_EQ(pixelFormatNumber(one, 0, 8, &listed), 1);
  EXPECT_FALSE(listed);
}

TEST(WindowPlacement, CentredOnlyWhenTheClientIsSmallerThanTheWorkArea) {
  int x = -1, y = -1;
  windowPosition({0, 0, 1024, 768}, 1024, 768, 1030, 797, x, y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  // Centred by the outer size, rounding toward zero.
  windowPosition({0, 0, 1280, 1024}, 1024, 768, 1030, 797, x, y);
  EXPECT_EQ(x, 125);
  EXPECT_EQ(y, 113);
  // Each axis on its own.
  windowPosition({0, 0, 1280, 768}, 1024, 768, 1024, 768, x, y);
  EXPECT_EQ(x, 128);
  EXPECT_EQ(y, 0);
}

TEST(CaptureFile, ExtensionOfTheProgramIsReplaced) {
  EXPECT_EQ(captureFileName("/opt/demo/veltro12.exe"), "/opt/demo/veltro12_capture.avi");
  EXPECT_EQ(captureFileName("/opt/demo/veltro.12.bin"), "/opt/demo/veltro.12_capture.avi");
  EXPECT_EQ(captureFileName("/opt/demo/veltro12"), "/opt/demo/veltro12_capture.avi");
  // A dot in a folder name is not an extension.
  EXPECT_EQ(captureFileName("/home/a.b/veltro12"), "/home/a.b/veltro12_capture.avi");
  EXPECT_EQ(captureFileName(""), "_capture.avi");
}

TEST(StartSelection, UntouchedStartStoresThePreselectedValues) {
  std::vector<DisplayDevice> devices{
      device({listed(1024, 768, 60), listed(1280, 1024, 60), listed(1280, 1024, 75), listed(800, 600, 60)},
             formats({{3, 0}, {4, 2}, {5, 8}, {6, 4}}), 16.0f),
      device({listed(640, 480, 60)})};
  UserConfig config;
  config.deviceIndex = 1;
  config.soundDriver = 2;
  config.soundOutput = 7;
  std::vector<int> aaChoices;
  storeStartSelection(config, devices, aaChoices, false, 1280, 1024);
  EXPECT_TRUE(config.accepted);
  EXPECT_EQ(config.deviceIndex, 0);
  EXPECT_EQ(config.modeIndex, 2);
  EXPECT_EQ(config.width, 1280);
  EXPECT_EQ(config.height, 1024);
  EXPECT_EQ(aaChoices, (std::vector<int>{0, 2, 8, 4}));
  EXPECT_EQ(config.aaSamples, 8);
  EXPECT_EQ(config.anisoLevel, 1.0f);
  EXPECT_EQ(config.soundDriver, 0);
  EXPECT_EQ(config.soundOutput, 0);
  EXPECT_TRUE(config.fullscreen);
  EXPECT_TRUE(config.vsync);
}

TEST(StartSelection, UnmatchedListsStoreTheirFirstEntry) {
  std::vector<DisplayDevice> devices{
      device({listed(800, 600, 60), listed(1024, 768, 75)}, formats({{3, 0}, {4, 4}}), 4.0f)};
  UserConfig config;
  config.anisoLevel = 8.0f;  // beyond the device's maximum of 4
  std::vector<int> aaChoices;
  storeStartSelection(config, devices, aaChoices, false, 1920, 1080);
  EXPECT_EQ(config.modeIndex, 0);
  EXPECT_EQ(config.width, 800);
  EXPECT_EQ(config.height, 600);
  EXPECT_EQ(config.aaSamples, 0);  // no 8-sample format: None
  EXPECT_EQ(config.anisoLevel, 1.0f);
}

TEST(StartSelection, NoDeviceOrNoModeKeepsTheSizeAndStaysInRange) {
  UserConfig config;
  std::vector<int> aaChoices;
  storeStartSelection(config, {}, aaChoices, false, 1280, 1024);
  EXPECT_EQ(config.width, 1024);
  EXPECT_EQ(config.height, 768);
  EXPECT_EQ(aaChoices, (std::vector<int>{0}));
  EXPECT_EQ(config.aaSamples, 0);
  EXPECT_EQ(chosenMode({}, config.deviceIndex, config.modeIndex), nullptr);

  std::vector<DisplayDevice> empty{device({})};
  storeStartSelection(config, empty, aaChoices, false, 1280, 1024);
  EXPECT_EQ(chosenMode(empty, config.deviceIndex, config.modeIndex), nullptr);
  EXPECT_EQ(chosenMode(empty, -1, 0), nullptr);
}

TEST(Options, OverrideTheStoredSelection) {
  std::vector<DisplayDevice> devices{
      device({listed(1024, 768, 60), listed(1280, 720, 60), listed(1280, 720, 75)}, {}, 8.0f)};
  UserConfig config;
  ProgramOptions options;
  options.windowed = true;
  options.width = 1280;
  options.height = 720;
  options.noVsync = true;
  options.aaSamples = 4;
  options.aniso = 16.0f;
  options.log = true;
  applyOptions(config, devices, options);
  EXPECT_FALSE(config.fullscreen);
  EXPECT_EQ(config.width, 1280);
  EXPECT_EQ(config.height, 720);
  EXPECT_EQ(config.modeIndex, 2);
  EXPECT_FALSE(config.vsync);
  EXPECT_EQ(config.aaSamples, 4);
  EXPECT_EQ(config.anisoLevel, 8.0f);  // kept within the maximum
  EXPECT_TRUE(config.createLog);

  ProgramOptions other;
  other.fullscreen = true;
  other.width = 640;
  other.height = 480;
  config.fullscreen = false;
  applyOptions(config, devices, other);
  EXPECT_TRUE(config.fullscreen);
  EXPECT_EQ(config.modeIndex, -1);  // no such mode
  EXPECT_EQ(chosenMode(devices, config.deviceIndex, config.modeIndex), nullptr);
}

TEST(WindowIcon, IsAnOpaqueNonFlatPictureWithTransparentCorners) {
  auto icon = makeWindowIcon(48);
  ASSERT_EQ(icon.size(), 48u * 48u * 4u);
  auto at = [&](int x, int y, int c) { return icon[(y * 48 + x) * 4 + c]; };
  EXPECT_EQ(at(0, 0, 3), 0);
  EXPECT_EQ(at(47, 47, 3), 0);
  EXPECT_EQ(at(24, 24, 3), 255);
  // Sky above, road below: the picture is not one colour.
  EXPECT_NE(at(24, 4, 2), at(24, 44, 2));
  EXPECT_GT(at(24, 4, 2), at(24, 4, 0));  // violet sky: more blue than red
  EXPECT_EQ(makeWindowIcon(1).size(), 16u * 16u * 4u);
}
