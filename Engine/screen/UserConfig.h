// UserConfig: the start-up settings of one run, chosen in the dialog and kept in memory.
//
// Owned by Screen; defaults are set at the start of Screen::init, before the dialog runs.
#pragma once

#include <string>
#include <vector>

struct UserConfig {
  int width = 1024;
  int height = 768;
  int refreshRate = 60;
  int viewportWidth = 0;
  int viewportHeight = 0;
  bool accepted = false;
  bool fullscreen = true;
  bool vsync = true;
  bool showStats = false;
  bool createLog = false;
  bool captureEnabled = false;
  std::vector<int> captureFrameRates{15, 20, 25, 30, 60};
  int captureFrameRateIndex = 3;
  int codecIndex = 0;
  std::string captureFileName;
  float anisoLevel = 1.0f;
  int deviceIndex = 0;
  int modeIndex = 0;
  int aaSamples = 8;
  int soundDriver = 0;
  int soundOutput = 0;
};
