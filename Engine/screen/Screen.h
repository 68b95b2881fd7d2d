// Screen: everything between the operating system and OpenGL.
//
// Owned by Runtime. init() runs once before anything is drawn: it sets the settings
// defaults, enumerates the display adapters, their modes and pixel formats and the sound
// drivers, takes the start-up settings (from the settings dialog, or the pre-selected ones
// with --no-dialog, then the command-line overrides), switches to the chosen full-screen
// mode or centres a window on the work area, creates the window with the chosen pixel
// format and its GL context, loads the GL entry points and checks the GL strings.
// shutdown() undoes it after the frame loop. windowProc() turns Escape and closing the
// window into the end of the program. Main thread only; the GL context is current from
// init() to shutdown().
//
// The pixel format number (PixelFormat.h) is the GLX FBConfig id of a listed format; the
// window is created with that format's framebuffer, which carries its sample count into
// SDL's multisample attributes. Number 1 (no listed format has the wanted sample count)
// means the default framebuffer without multisampling.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "capture/CodecInfo.h"
#include "cg/Cg.h"
#include "platform/Events.h"
#include "platform/PixelFormat.h"
#include "platform/Window.h"
#include "screen/DisplayDevice.h"
#include "screen/UserConfig.h"

class Logger;

class Runtime;

class Screen {
 public:
  explicit Screen(Runtime* runtime);

  // 0 when the window, context and everything below are ready; 1 when start-up must stop.
  int init();
  void shutdown();
  static int64_t windowProc(const platform::Message& message);

  Runtime* runtime = nullptr;
  UserConfig config;
  std::string className;
  std::string caption;  // at most 63 characters
  platform::Window* window = nullptr;
  platform::DeviceContext* dc = nullptr;
  platform::GLContext context = nullptr;
  CGcontext cgContext = nullptr;  // the effect runtime's context, made once the GL context is current
  std::vector<CodecInfo> codecs;  // video compressors offered for capture
  std::vector<DisplayDevice> devices;
  std::vector<std::string> soundDrivers;
  std::vector<int> aaChoices;
  std::vector<unsigned char> icon;  // iconSize × iconSize RGBA
  static constexpr int iconSize = 48;

 private:
  // Places the windowed view centred on the work area by its outer size; after showing,
  // first waits up to the given time for the window manager's frame.
  void centreWindow(int waitForFrameMilliseconds);
};

// Enumeration step of Screen::init: adapters and modes, the pixel formats and maximum
// anisotropy read on a temporary hidden window, and the sound drivers. 0 on success.
int initUserConfig(Screen& screen);

// The settings step: runs the settings dialog (Runtime's ConfigDialog); with --no-dialog it
// stores what the dialog's Start stores when nothing is touched. 0 when the settings were
// accepted; 1 after Exit, the close box, or when the dialog could not be shown (logged).
int getUserConfig(Screen& screen);

// The "Resolution: ", "Fullscreen: ", "VSync: ", "AA samples: " and "Aniso level: x" lines
// for the settings the window opens with.
void logUsedSettings(Logger& log, const UserConfig& config);

// Logs the GL strings and checks that the version strings can be read; 0 on success, 1
// after a message box. The second form reads the strings through `getString` (a
// glGetString stand-in, nullptr for an absent string).
int checkRequirements();
int checkRequirements(const std::function<const char*(unsigned name)>& getString);
