#include "screen/Screen.h"

#include <GL/glew.h>

#include "capture/CaptureOptions.h"
#include "cg/CgGL.h"
#include "platform/MessageBox.h"
#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"

// Cg errors are looked up where they matter (effect loading logs them); they never stop the program.
static void noErrorHandler(CGcontext, CGerror, void*) {}

Screen::Screen(Runtime* owner) : runtime(owner) {}

int Screen::init() {
  const ProgramOptions& options = programOptions();
  config = UserConfig{};
  config.fullscreen = runtime->gui == 0;
  config.createLog = runtime->gui != 0;
  if (options.windowed) config.fullscreen = false;
  if (options.fullscreen) config.fullscreen = true;
  if (options.width) config.width = *options.width;
  if (options.height) config.height = *options.height;
  if (options.noVsync) config.vsync = false;
  if (options.log) config.createLog = true;
  applyCaptureOptions(options, config, codecs, *runtime->capture);
  caption = "Veltro 12 " PYLON_VERSION_TEXT;
  config.accepted = true;

  if (config.createLog) runtime->logger->create();

  platform::WindowDesc desc;
  desc.caption = caption;
  desc.width = config.width;
  desc.height = config.height;
  desc.fullscreen = config.fullscreen;
  desc.x = desc.y = 0;
  if (!desc.fullscreen) {
    platform::Rect area;
    if (platform::getWorkArea(area)) {
      if (config.width < area.right) desc.x = (area.right - config.width) / 2;
      if (config.height < area.bottom) desc.y = (area.bottom - config.height) / 2;
    }
  }
  window = platform::createWindow(desc);
  if (!window) {
    platform::showMessageBox("CreateWindowEx() failed.", "Screen::init", platform::MessageIcon::Error);
    return 1;
  }
  context = platform::createGLContext(window);
  if (!context) {
    platform::destroyWindow(window);
    window = nullptr;
    platform::showMessageBox("wglCreateContex() failed.", "Screen::init", platform::MessageIcon::Error);
    return 1;
  }
  if (!platform::makeCurrent(window, context)) {
    platform::deleteGLContext(context);
    context = nullptr;
    platform::destroyWindow(window);
    window = nullptr;
    platform::showMessageBox("wglMakeCurrent() failed.", "Screen::init", platform::MessageIcon::Error);
    return 1;
  }
  glewExperimental = GL_TRUE;
  GLenum glewResult = glewInit();
  if (glewResult != GLEW_OK) {
    *runtime->logger << "GLEW error: " << reinterpret_cast<const char*>(glewGetErrorString(glewResult)) << "\n";
  }
  *runtime->logger << "Status: Using GLEW " << reinterpret_cast<const char*>(glewGetString(GLEW_VERSION)) << "\n";

  platform::setSwapInterval(config.vsync ? 1 : 0);
  platform::setScreenSaverEnabled(false);

  cgContext = cgCreateContext();
  if (!cgContext) {
    platform::showMessageBox("Error creating Cg library context", "Cg error", platform::MessageIcon::Error);
    return 1;
  }
  cgSetErrorHandler(noErrorHandler, nullptr);
  cgGLRegisterStates(cgContext);
  cgGLSetManageTextureParameters(cgContext, CG_TRUE);
  platform::setWindowProc(&Screen::windowProc);
  platform::showWindow(window);
  return 0;
}

void Screen::shutdown() {
  if (cgContext) {
    cgDestroyContext(cgContext);
    cgContext = nullptr;
  }
  if (window) {
    if (context) {
      platform::makeCurrent(window, nullptr);
      platform::deleteGLContext(context);
      context = nullptr;
    }
    platform::hideWindow(window);
    if (config.fullscreen) platform::setCursorVisible(true);
    platform::destroyWindow(window);
    window = nullptr;
  }
  platform::setScreenSaverEnabled(true);
  platform::setWindowProc({});
}

int64_t Screen::windowProc(const platform::Message& message) {
  switch (message.type) {
    case platform::MessageType::Close:
      platform::postQuitMessage(0);
      return 0;
    case platform::MessageType::KeyDown:
    case platform::MessageType::Char:
      if (message.wParam == platform::kKeyEscape) platform::postQuitMessage(0);
      return 0;
    default:
      return 0;
  }
}
