// Screen: everything between the operating system and OpenGL.
//
// Owned by Runtime. init() runs once before anything is drawn: it sets the settings
// defaults, applies the command-line overrides, opens the window with its GL context and
// loads the GL entry points; shutdown() undoes it after the frame loop. windowProc() turns
// Escape and closing the window into the end of the program. Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/CodecInfo.h"
#include "cg/Cg.h"
#include "platform/Events.h"
#include "platform/Window.h"
#include "screen/UserConfig.h"

class Runtime;

class Screen {
 public:
  explicit Screen(Runtime* runtime);

  int init();
  void shutdown();
  static int64_t windowProc(const platform::Message& message);

  Runtime* runtime = nullptr;
  UserConfig config;
  std::string className = "Pylon";
  std::string caption;
  platform::Window* window = nullptr;
  platform::GLContext context = nullptr;
  CGcontext cgContext = nullptr;  // the effect runtime's context, made once the GL context is current
  std::vector<CodecInfo> codecs;  // video compressors offered for capture
};
