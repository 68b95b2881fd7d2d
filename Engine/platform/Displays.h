// Displays: the display adapters of the desktop, their display modes and the full-screen
// mode switch, in place of EnumDisplayDevices, EnumDisplaySettings and ChangeDisplaySettings.
//
// Each SDL video display is one adapter attached to the desktop; its device name
// ("display:N") names it for enumDisplaySettings(). A mode record is the platform's own mode,
// handed back unchanged to changeDisplaySettings(). Bits per pixel count storage bits as
// Windows does: a mode of 24-bit colour stored in 32-bit pixels (SDL's RGB888) reports 32.
// A refresh rate the platform does not know is reported as 0.
//
// SDL changes the display mode through a full-screen window, so changeDisplaySettings(mode)
// checks that the display offers exactly that mode and makes it the mode of the next window
// created full screen; the desktop changes when that window is shown.
// changeDisplaySettings(nullptr) brings the desktop mode back at once. The video system
// starts on first use (initVideo() of Window.h). Main thread only.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct Window;

struct DisplayDeviceInfo {
  std::string deviceName;    // names the adapter for enumDisplaySettings()
  std::string deviceString;  // the adapter's description, shown to the user
  bool attachedToDesktop = false;
};

struct DisplayModeRecord {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  int refreshRate = 0;  // Hz, 0 when unknown
  uint32_t format = 0;  // the platform's pixel format code
  int display = -1;     // the adapter it belongs to
};

// False when `ordinal` is past the last adapter (or the video system cannot start).
bool enumDisplayDevices(int ordinal, DisplayDeviceInfo& out);

// False when `modeNumber` is past the adapter's last mode or the name is unknown.
bool enumDisplaySettings(const std::string& deviceName, int modeNumber, DisplayModeRecord& out);

// The size of the first display's current mode; false when unknown.
bool getDesktopSize(int& width, int& height);

constexpr int kDisplayChangeSuccessful = 0;
constexpr int kDisplayChangeFailed = -1;
constexpr int kDisplayChangeBadMode = -2;

// With a mode: kDisplayChangeSuccessful when the display offers it, otherwise a negative
// code. With nullptr: restores the desktop mode and returns kDisplayChangeSuccessful.
int changeDisplaySettings(const DisplayModeRecord* mode);

// For the window layer: the mode a window created full screen takes (nullptr: the current
// one), and the full-screen window that changeDisplaySettings(nullptr) takes back out.
const DisplayModeRecord* pendingFullscreenMode();
void setFullscreenWindow(Window* window);
Window* fullscreenWindow();

}  // namespace platform
