// Displays in the browser: one adapter, the page's canvas, whose one mode is the size of the
// screen the page is on (what full screen shows). A full-screen switch only checks that
// mode; the page itself makes the canvas fill the screen.
#include "platform/Displays.h"

#include <SDL.h>
#include <emscripten.h>

#include <optional>

#include "platform/Faults.h"

namespace platform {
namespace {
std::optional<DisplayModeRecord> g_pending;
Window* g_fullscreenWindow = nullptr;

EM_JS(int, pylon_screen_width, (), { return (typeof screen !== 'undefined' && screen.width) || 1920; });
EM_JS(int, pylon_screen_height, (), { return (typeof screen !== 'undefined' && screen.height) || 1080; });

DisplayModeRecord screenMode() {
  DisplayModeRecord mode;
  mode.width = pylon_screen_width();
  mode.height = pylon_screen_height();
  mode.bitsPerPixel = 32;
  mode.refreshRate = 0;
  mode.format = SDL_PIXELFORMAT_RGB888;
  mode.display = 0;
  return mode;
}
}  // namespace

bool enumDisplayDevices(int ordinal, DisplayDeviceInfo& out) {
  if (ordinal != 0) return false;
  out.deviceName = "display:0";
  out.deviceString = "Browser canvas";
  out.attachedToDesktop = true;
  return true;
}

bool enumDisplaySettings(const std::string& deviceName, int modeNumber, DisplayModeRecord& out) {
  if (deviceName != "display:0" || modeNumber != 0) return false;
  out = screenMode();
  return true;
}

bool getDesktopSize(int& width, int& height) {
  const DisplayModeRecord mode = screenMode();
  width = mode.width;
  height = mode.height;
  return true;
}

int changeDisplaySettings(const DisplayModeRecord* mode) {
  if (!mode) {
    g_pending.reset();
    g_fullscreenWindow = nullptr;
    return kDisplayChangeSuccessful;
  }
  if (failNow(Fault::ChangeDisplayMode)) return kDisplayChangeFailed;
  const DisplayModeRecord offered = screenMode();
  if (mode->display != 0 || mode->width != offered.width || mode->height != offered.height) return kDisplayChangeBadMode;
  g_pending = *mode;
  return kDisplayChangeSuccessful;
}

const DisplayModeRecord* pendingFullscreenMode() { return g_pending ? &*g_pending : nullptr; }
void setFullscreenWindow(Window* window) { g_fullscreenWindow = window; }
Window* fullscreenWindow() { return g_fullscreenWindow; }

}  // namespace platform
