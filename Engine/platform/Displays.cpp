#include "platform/Displays.h"

#include <SDL.h>

#include <cstdlib>
#include <optional>

#include "platform/Faults.h"
#include "platform/Window.h"

namespace platform {
namespace {
std::optional<DisplayModeRecord> g_pending;
Window* g_fullscreenWindow = nullptr;

const char kNamePrefix[] = "display:";

bool displayFromName(const std::string& name, int& display) {
  if (name.rfind(kNamePrefix, 0) != 0) return false;
  const char* digits = name.c_str() + sizeof(kNamePrefix) - 1;
  char* end = nullptr;
  long value = std::strtol(digits, &end, 10);
  if (end == digits || *end || value < 0 || value >= SDL_GetNumVideoDisplays()) return false;
  display = static_cast<int>(value);
  return true;
}

DisplayModeRecord fromSdl(const SDL_DisplayMode& mode, int display) {
  DisplayModeRecord record;
  record.width = mode.w;
  record.height = mode.h;
  record.bitsPerPixel = SDL_BYTESPERPIXEL(mode.format) * 8;
  record.refreshRate = mode.refresh_rate;
  record.format = mode.format;
  record.display = display;
  return record;
}

bool sameMode(const DisplayModeRecord& a, const DisplayModeRecord& b) {
  return a.width == b.width && a.height == b.height && a.bitsPerPixel == b.bitsPerPixel &&
         a.refreshRate == b.refreshRate && a.format == b.format && a.display == b.display;
}
}  // namespace

bool enumDisplayDevices(int ordinal, DisplayDeviceInfo& out) {
  if (!initVideo() || ordinal < 0 || ordinal >= SDL_GetNumVideoDisplays()) return false;
  const char* name = SDL_GetDisplayName(ordinal);
  out.deviceName = kNamePrefix + std::to_string(ordinal);
  out.deviceString = name ? name : "Display " + std::to_string(ordinal + 1);
  // Every display SDL reports is part of the desktop.
  out.attachedToDesktop = true;
  return true;
}

bool enumDisplaySettings(const std::string& deviceName, int modeNumber, DisplayModeRecord& out) {
  int display = 0;
  if (!initVideo() || !displayFromName(deviceName, display)) return false;
  if (modeNumber < 0 || modeNumber >= SDL_GetNumDisplayModes(display)) return false;
  SDL_DisplayMode mode;
  if (SDL_GetDisplayMode(display, modeNumber, &mode) != 0) return false;
  out = fromSdl(mode, display);
  return true;
}

bool getDesktopSize(int& width, int& height) {
  if (!initVideo()) return false;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
  width = mode.w;
  height = mode.h;
  return true;
}

int changeDisplaySettings(const DisplayModeRecord* mode) {
  if (!mode) {
    g_pending.reset();
    if (g_fullscreenWindow) {
      SDL_SetWindowFullscreen(reinterpret_cast<SDL_Window*>(g_fullscreenWindow), 0);
      g_fullscreenWindow = nullptr;
    }
    return kDisplayChangeSuccessful;
  }
  if (failNow(Fault::ChangeDisplayMode)) return kDisplayChangeFailed;
  if (!initVideo() || mode->display < 0 || mode->display >= SDL_GetNumVideoDisplays()) return kDisplayChangeFailed;
  const int count = SDL_GetNumDisplayModes(mode->display);
  for (int m = 0; m < count; ++m) {
    SDL_DisplayMode offered;
    if (SDL_GetDisplayMode(mode->display, m, &offered) == 0 && sameMode(fromSdl(offered, mode->display), *mode)) {
      g_pending = *mode;
      return kDisplayChangeSuccessful;
    }
  }
  return kDisplayChangeBadMode;
}

const DisplayModeRecord* pendingFullscreenMode() { return g_pending ? &*g_pending : nullptr; }
void setFullscreenWindow(Window* window) { g_fullscreenWindow = window; }
Window* fullscreenWindow() { return g_fullscreenWindow; }

}  // namespace platform
