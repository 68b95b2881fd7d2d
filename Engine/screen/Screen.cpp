#include "screen/Screen.h"

#include <GL/glew.h>

#include <cstdio>
#include <cstring>

#include "capture/CaptureOptions.h"
#include "cg/CgGL.h"
#include "gui/TweakGui.h"
#include "platform/Clock.h"
#include "platform/Displays.h"
#include "platform/MessageBox.h"
#include "platform/ProgramPath.h"
#include "platform/tweakbar/TweakBar.h"
#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "screen/ConfigDialog.h"
#include "screen/ConfigSelection.h"
#include "screen/WindowIcon.h"
#include "sound/Sound.h"

namespace {

constexpr int kMaxPixelFormats = 128;

// The descriptor of the window's own pixel format: double-buffered RGBA, 24 colour bits and
// 24 depth bits, swapped by exchange.
platform::PixelFormatDescriptor windowDescriptor() {
  platform::PixelFormatDescriptor pfd;
  pfd.flags = platform::kPfdDrawToWindow | platform::kPfdSupportOpenGL | platform::kPfdDoubleBuffer |
              platform::kPfdSwapExchange;
  pfd.colorBits = 24;
  pfd.depthBits = 24;
  return pfd;
}

void boxError(const char* text) { platform::showMessageBox(text, "Screen::init", platform::MessageIcon::Error); }

// The temporary window of the enumeration, released in reverse order whatever happens.
struct TemporaryWindow {
  platform::Window* window = nullptr;
  platform::DeviceContext* dc = nullptr;
  platform::GLContext context = nullptr;
  bool current = false;
  ~TemporaryWindow() {
    if (current) platform::makeCurrent(window, nullptr);
    platform::deleteGLContext(context);
    if (dc) platform::releaseDC(window, dc);
    platform::destroyWindow(window);
  }
};

// Reads the formats of the first device and logs one line per format.
void enumeratePixelFormats(Screen& screen, platform::DeviceContext* dc) {
  const int attributes[] = {platform::kDrawToWindow,
                            1,
                            platform::kSupportOpenGL,
                            1,
                            platform::kAcceleration,
                            platform::kFullAcceleration,
                            platform::kColorBits,
                            24,
                            platform::kAlphaBits,
                            8,
                            platform::kDepthBits,
                            24,
                            platform::kStencilBits,
                            0,
                            platform::kDoubleBuffer,
                            1,
                            0};
  int formats[kMaxPixelFormats];
  unsigned count = 0;
  if (!platform::choosePixelFormatARB(dc, attributes, nullptr, kMaxPixelFormats, formats, &count) || count == 0) {
    return;
  }
  const int queried[10] = {platform::kDrawToWindow, platform::kSupportOpenGL, platform::kAcceleration,
                           platform::kColorBits,    platform::kAlphaBits,     platform::kDepthBits,
                           platform::kStencilBits,  platform::kDoubleBuffer,  platform::kSampleBuffers,
                           platform::kSamples};
  const char* labels[10] = {
      " draw_to_window: ", " support_opengl: ", " acceleration: ",  " color_bits: ",     " alpha_bits: ",
      " depth_bits: ",     " stencil_bits: ",   " double_buffer: ", " sample_buffers: ", " samples: "};
  Logger& log = *screen.runtime->logger;
  for (unsigned i = 0; i < count; ++i) {
    int values[10] = {};
    if (!platform::getPixelFormatAttribivARB(dc, formats[i], 0, 10, queried, values)) continue;
    if (!screen.devices.empty()) screen.devices.front().pixelFormats.push_back({formats[i], values[9]});
    log << "id: " << formats[i];
    for (int a = 0; a < 10; ++a) log << labels[a] << values[a];
    log << "\n";
  }
}

}  // namespace

int initUserConfig(Screen& screen) {
  // An unattended render (--capture, --shot) needs no display: without one it draws offscreen.
  const ProgramOptions& options = programOptions();
  const bool rendersAlone = !options.captureFile.empty() || options.shotTime.has_value();
  if (rendersAlone && (!platform::hasDisplay() || !platform::initVideo())) {
    platform::useOffscreenVideo();
    std::fputs("veltro12: no display reachable; rendering offscreen through EGL\n", stderr);
  }
  // Without a display there is nothing to enumerate or to draw into.
  if ((!platform::hasDisplay() && !platform::offscreenVideo()) || !platform::initVideo()) {
    const std::string reason = platform::hasDisplay() ? platform::lastError() : "DISPLAY is not set";
    platform::showMessageBox("No display available (" + reason + ").", "Screen::init", platform::MessageIcon::Error);
    return 1;
  }

  screen.devices.clear();
  platform::DisplayDeviceInfo info;
  for (int i = 0; platform::enumDisplayDevices(i, info); ++i) {
    DisplayDevice device;
    platform::DisplayModeRecord mode;
    for (int m = 0; platform::enumDisplaySettings(info.deviceName, m, mode); ++m) {
      if (config_selection::isUsableMode(mode)) device.modes.push_back({mode, config_selection::modeLabel(mode)});
    }
    device.ordinal = i;
    device.description = info.deviceString;
    device.name = info.deviceName;
    if (info.attachedToDesktop) screen.devices.push_back(std::move(device));
  }

  TemporaryWindow temp;
  platform::WindowDesc desc;
  desc.caption = screen.caption;
  desc.width = 640;
  desc.height = 480;
  temp.window = platform::createWindow(desc);
  if (!temp.window) return 1;
  temp.dc = platform::getDC(temp.window);
  if (!temp.dc) return 1;

  platform::PixelFormatDescriptor basic;
  basic.flags = platform::kPfdDrawToWindow | platform::kPfdSupportOpenGL | platform::kPfdDoubleBuffer;
  basic.colorBits = 24;
  basic.depthBits = 24;
  int format = platform::choosePixelFormat(temp.dc, basic);
  if (!platform::setPixelFormat(temp.dc, format, basic)) return 1;
  temp.context = platform::createGLContext(temp.window);
  if (!temp.context) return 1;
  temp.current = platform::makeCurrent(temp.window, temp.context);
  if (!temp.current) return 1;

  if (!platform::pixelFormatQueriesAvailable(temp.dc)) {
    platform::showMessageBox("Extension WGL_ARB_pixel_format is required.", "Init error", platform::MessageIcon::Error);
    return 1;
  }

  if (!screen.devices.empty()) {
    // Left at 0 where the extension is missing (the query then only raises a GL error).
    GLfloat maxAnisotropy = 0;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &maxAnisotropy);
    while (glGetError() != GL_NO_ERROR) {
    }
    screen.devices.front().maxAnisotropy = maxAnisotropy;
  }

  enumeratePixelFormats(screen, temp.dc);

  screen.soundDrivers.clear();
  if (screen.runtime->sound->getDeviceName(screen.soundDrivers) != 0) return 1;
  return 0;
}

int getUserConfig(Screen& screen) {
  UserConfig& c = screen.config;
  Logger& log = *screen.runtime->logger;
  if (!programOptions().noDialog) {
    // The dialog stores the user's choices and sets `accepted` on Start.
    int error = 0;
    if (screen.runtime->dialog->run(screen, error) != 0) {
      log << "dialog box failed. error " << error << "\n";
      // Without this line the run would end with exit code 1 and its reason only in a log
      // that may not exist.
      std::fprintf(stderr, "veltro12: the settings dialog could not open (error %d); --no-dialog starts without it\n",
                   error);
    }
    return c.accepted ? 0 : 1;
  }
  // Unattended: what Start stores when nothing is touched. The settings reach the log once
  // the options and the display have had their say (logUsedSettings).
  int desktopWidth = 0, desktopHeight = 0;
  platform::getDesktopSize(desktopWidth, desktopHeight);
  config_selection::storeStartSelection(c, screen.devices, screen.aaChoices, screen.runtime->gui != 0, desktopWidth,
                                        desktopHeight);
  return c.accepted ? 0 : 1;
}

void logUsedSettings(Logger& log, const UserConfig& c) {
  log << "Resolution: " << c.width << "x" << c.height << "\n";
  log << "Fullscreen: " << (c.fullscreen ? 1 : 0) << "\n";
  log << "VSync: " << (c.vsync ? 1 : 0) << "\n";
  log << "AA samples: " << c.aaSamples << " samples\n";
  log << "Aniso level: x" << static_cast<double>(c.anisoLevel) << "\n";
}

#ifdef __EMSCRIPTEN__
namespace {
// WebGL 2 names its versions "OpenGL ES 3.0 (WebGL 2.0 ...)" and "OpenGL ES GLSL ES 3.00
// (...)": the numbers follow the prefix.
const char* afterEsPrefix(const char* text) {
  if (!text) return text;
  for (const char* prefix : {"OpenGL ES GLSL ES ", "OpenGL ES "})
    if (std::strncmp(text, prefix, std::strlen(prefix)) == 0) return text + std::strlen(prefix);
  return text;
}
}  // namespace
#endif

int checkRequirements(const std::function<const char*(unsigned name)>& getString) {
  Logger& log = *Runtime::instance()->logger;
  const char* version = getString(GL_VERSION);
  log << "Renderer: " << getString(GL_RENDERER) << "\n";
  log << "Device Vendor: " << getString(GL_VENDOR) << "\n";
  log << "GL Version: " << version << "\n";

  int major = 0, minor = 0;
#ifdef __EMSCRIPTEN__
  version = afterEsPrefix(version);
#endif
  if (!version || std::sscanf(version, "%d.%d", &major, &minor) != 2) {
    platform::showMessageBox("Invalid GL_VERSION format", "Req check error", platform::MessageIcon::Error);
    return 1;
  }

  const char* extensions = getString(GL_EXTENSIONS);
  int slMajor = 0, slMinor = 0;
  if (major == 1) {
    const std::string list = extensions ? extensions : "";
    if (list.find("GL_ARB_shading_language_100") != std::string::npos) slMajor = 1;
  } else if (major >= 2) {
    const char* sl = getString(GL_SHADING_LANGUAGE_VERSION);
#ifdef __EMSCRIPTEN__
    sl = afterEsPrefix(sl);
#endif
    if (!sl || std::sscanf(sl, "%d.%d", &slMajor, &slMinor) != 2) {
      platform::showMessageBox("Invalid GL_SHADING_LANGUAGE_VERSION format", "Req check error",
                               platform::MessageIcon::Error);
      return 1;
    }
  }
  log << "GL Shading Language Version: " << slMajor << "." << slMinor << "\n";
  log << "\nSupported Extensions:\n" << extensions << "\n";
  return 0;
}

int checkRequirements() {
  return checkRequirements(
      [](unsigned name) { return reinterpret_cast<const char*>(glGetString(static_cast<GLenum>(name))); });
}

// Cg errors are looked up where they matter (effect loading logs them); they never stop the program.
static void noErrorHandler(CGcontext, CGerror, void*) {}

Screen::Screen(Runtime* owner) : runtime(owner) {}

int Screen::init() {
  // The GL library starts its rasteriser threads in here: they must not inherit the
  // timer's pin to one processor.
  platform::UnpinnedScope unpinned;
  // Settings defaults; the GUI switch decides full screen and the log.
  config = UserConfig{};
  config.fullscreen = runtime->gui == 0;
  config.createLog = runtime->gui != 0;
  config.captureFileName = defaultCaptureFileName();

  className = "Pylon";
  caption = std::string("Veltro 12 ") + PYLON_VERSION_TEXT;
  if (caption.size() > 63) caption.resize(63);

  // A log asked for on the command line opens at once, so that it also holds the
  // enumeration's lines. It is tried once: a file that cannot be created has shown its box.
  const bool logTried = programOptions().log;
  if (logTried) runtime->logger->create();

  // The class's procedure and icon serve every window opened below.
  platform::setWindowProc(&Screen::windowProc);
  if (icon.empty()) icon = makeWindowIcon(iconSize);

  if (initUserConfig(*this) != 0) {
    *runtime->logger << "init user config failed.\n";
    return 1;
  }
  if (getUserConfig(*this) != 0 || !config.accepted) {
    *runtime->logger << "get user config failed or exit by user.\n";
    return 1;
  }
  // What the dialog logged, to tell whether the options changed it.
  const UserConfig chosen = config;
  config_selection::applyOptions(config, devices, programOptions());
  applyCaptureOptions(programOptions(), config, codecs, *runtime->capture);

  if (config.createLog && !logTried) runtime->logger->create();

  // The full-screen mode: the chosen one; for a size given on the command line that the
  // adapter does not list, a record of that size, which the switch then refuses. Without any
  // mode at all the view opens in a window.
  platform::DisplayModeRecord fullscreenMode;
  if (const DisplayMode* mode = config_selection::chosenMode(devices, config.deviceIndex, config.modeIndex)) {
    fullscreenMode = mode->mode;
  } else if (const DisplayMode* first = config_selection::chosenMode(devices, config.deviceIndex, 0)) {
    fullscreenMode = first->mode;
    fullscreenMode.width = config.width;
    fullscreenMode.height = config.height;
  } else if (config.fullscreen) {
    *runtime->logger << "no display mode to switch to: running in a " << config.width << " x " << config.height
                     << " window.\n";
    config.fullscreen = false;
  }

  platform::WindowDesc desc;
  desc.caption = caption;
  desc.width = config.width;
  desc.height = config.height;
  if (config.fullscreen) {
    if (platform::changeDisplaySettings(&fullscreenMode) != platform::kDisplayChangeSuccessful) {
      platform::showMessageBox("Full screen mode failed", "Screen::init", platform::MessageIcon::Warning);
      config.fullscreen = false;
    } else {
      desc.fullscreen = true;
      desc.bordered = false;
      if (runtime->gui == 0) platform::setCursorVisible(false);
    }
  }
  // The log holds the mode the window really opens with: without the dialog, that is the
  // only record; after it, only where the command line or the display changed its choice.
  if (programOptions().noDialog || chosen.width != config.width || chosen.height != config.height ||
      chosen.fullscreen != config.fullscreen || chosen.vsync != config.vsync || chosen.aaSamples != config.aaSamples ||
      chosen.anisoLevel != config.anisoLevel)
    logUsedSettings(*runtime->logger, config);

  // X11 fixes the framebuffer at window creation, so the format is chosen first. The
  // fallback number 1 means the default framebuffer, even where a listed format is also
  // numbered 1.
  bool listed = false;
  const int format = config_selection::pixelFormatNumber(devices, config.deviceIndex, config.aaSamples, &listed);
  desc.pixelFormat = listed ? format : 0;
  window = platform::createWindow(desc);
  if (!window) {
    boxError("CreateWindowEx() failed.");
    return 1;
  }
  if (!config.fullscreen) centreWindow(0);
  platform::setWindowIcon(window, iconSize, iconSize, icon.data());

  dc = platform::getDC(window);
  if (!dc) {
    platform::destroyWindow(window);
    window = nullptr;
    boxError("GetDC() failed.");
    return 1;
  }
  if (!platform::setPixelFormat(dc, format, windowDescriptor())) {
    platform::releaseDC(window, dc);
    dc = nullptr;
    platform::destroyWindow(window);
    window = nullptr;
    boxError("SetPixelFormat() failed.");
    return 1;
  }
  context = platform::createGLContext(window);
  if (!context) {
    platform::releaseDC(window, dc);
    dc = nullptr;
    platform::destroyWindow(window);
    window = nullptr;
    boxError("wglCreateContex() failed.");
    return 1;
  }
  if (!platform::makeCurrent(window, context)) {
    platform::deleteGLContext(context);
    context = nullptr;
    platform::releaseDC(window, dc);
    dc = nullptr;
    platform::destroyWindow(window);
    window = nullptr;
    boxError("wglMakeCurrent() failed.");
    return 1;
  }

  // glewInit loads the GL entry points and then the GLX ones. An offscreen (EGL) context has
  // no GLX display, which GLEW reports once the GL part is loaded: nothing is missing then.
  glewExperimental = GL_TRUE;
  GLenum glewResult = glewInit();
  if (glewResult == GLEW_ERROR_NO_GLX_DISPLAY && platform::offscreenVideo()) glewResult = GLEW_OK;
  if (glewResult != GLEW_OK) {
    *runtime->logger << "GLEW error: " << reinterpret_cast<const char*>(glewGetErrorString(glewResult)) << "\n";
  }
  *runtime->logger << "Status: Using GLEW " << reinterpret_cast<const char*>(glewGetString(GLEW_VERSION)) << "\n";

  if (checkRequirements() != 0) return 1;

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

  if (runtime->gui) {
    if (runtime->tweakGui->init() == 1) {
      platform::showMessageBox(" GUI init error.", "Screen::init", platform::MessageIcon::Warning);
      return 1;
    }
    runtime->tweakGui->addRendererVariables();
  }
  platform::showWindow(window);
  // The switch itself happens as the window is shown, and the system may refuse it only
  // then: the same box as a refused switch (the first was not shown), then a framed window.
  if (config.fullscreen && platform::fullscreenRefused(window)) {
    platform::showMessageBox("Full screen mode failed", "Screen::init", platform::MessageIcon::Warning);
    config.fullscreen = false;
    *runtime->logger << "Fullscreen: 0 (the display refused the switch)\n";
    platform::makeWindowed(window);
    platform::setCursorVisible(true);
  }
  // A window manager frames the window once it is shown: centre it again by its outer size.
  if (!config.fullscreen) centreWindow(250);
  return 0;
}

void Screen::centreWindow(int waitForFrameMilliseconds) {
  platform::Rect area;
  if (!platform::getWorkArea(area)) return;
  int top = 0, left = 0, bottom = 0, right = 0;
  if (waitForFrameMilliseconds > 0)
    platform::getShownWindowFrame(window, waitForFrameMilliseconds, top, left, bottom, right);
  else
    platform::getWindowBordersSize(window, top, left, bottom, right);
  int x = 0, y = 0;
  config_selection::windowPosition(area, config.width, config.height, config.width + left + right,
                                   config.height + top + bottom, x, y);
  platform::setWindowPosition(window, x, y);
}

void Screen::shutdown() {
  if (cgContext) {
    cgDestroyContext(cgContext);
    cgContext = nullptr;
  }
  if (window) {
    if (dc) {
      platform::makeCurrent(window, nullptr);
      platform::deleteGLContext(context);
      context = nullptr;
      platform::releaseDC(window, dc);
      dc = nullptr;
    }
    platform::hideWindow(window);
    if (config.fullscreen) {
      platform::changeDisplaySettings(nullptr);
      platform::setCursorVisible(true);
    }
    platform::destroyWindow(window);
    window = nullptr;
  }
  platform::setScreenSaverEnabled(true);
  platform::setWindowProc({});
}

int64_t Screen::windowProc(const platform::Message& message) {
  // The tweak bar sees input first, so that a key typed into one of its fields (Escape
  // included) does not also reach the demo.
  Runtime* runtime = Runtime::instance();
  if (runtime->gui && TwEventWin(message)) return 0;
  switch (message.type) {
    case platform::MessageType::Close:
      // The window itself stays until Screen::shutdown.
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
