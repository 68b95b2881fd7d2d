// DisplayDevice: one display adapter attached to the desktop, with the display modes and
// pixel formats the start-up dialog offers for it.
//
// Filled once by the screen's enumeration before the dialog runs and read by the dialog and
// Screen::init afterwards; nothing changes them later. The platform mode record is kept
// exactly as enumerated, since the full-screen switch hands it back unchanged.
#pragma once

#include <string>
#include <vector>

#include "platform/Displays.h"

struct DisplayMode {
  platform::DisplayModeRecord mode;
  std::string label;  // "1024 x 768, 32 bpp @ 60 Hz"
};

struct PixelFormatEntry {
  int format = 0;   // pixel format number
  int samples = 0;  // multisample count (its samples attribute)
};

struct DisplayDevice {
  int ordinal = 0;          // the adapter's index in the platform's enumeration
  std::string description;  // shown in the dialog
  std::string name;         // names the adapter for mode enumeration
  float maxAnisotropy = 0;  // read on a temporary context; first device only, 0 when unknown
  std::vector<DisplayMode> modes;
  std::vector<PixelFormatEntry> pixelFormats;  // first device only
};
