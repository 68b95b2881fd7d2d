#include "platform/Window.h"

#include <GL/glew.h>
#include <SDL.h>
#include <SDL_syswm.h>
// X11 after SDL: its macros (None, Bool, Status) must not reach the SDL headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "platform/Displays.h"
#include "platform/Faults.h"
#include "platform/PixelFormat.h"

namespace platform {
namespace {
std::string g_lastError;
bool g_offscreen = false;

void fail(const std::string& what) { g_lastError = what + ": " + SDL_GetError(); }

SDL_Window* native(Window* window) { return reinterpret_cast<SDL_Window*>(window); }
}  // namespace

const std::string& lastError() { return g_lastError; }

void useOffscreenVideo() { g_offscreen = true; }
bool offscreenVideo() { return g_offscreen; }

bool initVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  if (g_offscreen) SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
  // The engine owns the screen saver switch itself (Screen::init / Screen::shutdown).
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    fail("SDL video");
    return false;
  }
  return true;
}

void shutdownVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

Window* createWindow(const WindowDesc& desc) {
  if (failNow(Fault::CreateWindow)) {
    g_lastError = "window creation refused";
    return nullptr;
  }
  if (!initVideo()) return nullptr;
  FramebufferConfig fb = desc.framebuffer;
  if (desc.pixelFormat != 0) framebufferForPixelFormat(desc.pixelFormat, fb);
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, fb.colorBits / 3);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, fb.colorBits / 3);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, fb.colorBits / 3);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, fb.alphaBits);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, fb.depthBits);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, fb.stencilBits);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, fb.doubleBuffer ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, fb.samples > 0 ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, fb.samples);
  // A compatibility context: the renderer uses fixed-function matrices and client arrays.
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);

  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  if (desc.fullscreen) flags |= SDL_WINDOW_FULLSCREEN;
  if (!desc.bordered) flags |= SDL_WINDOW_BORDERLESS;
  SDL_Window* window = SDL_CreateWindow(desc.caption.c_str(), desc.x, desc.y, desc.width, desc.height, flags);
  if (!window) {
    fail("SDL_CreateWindow");
    return nullptr;
  }
  if (desc.fullscreen) {
    // The mode changes when the window is shown; without a chosen mode it keeps the current one.
    if (const DisplayModeRecord* mode = pendingFullscreenMode()) {
      SDL_DisplayMode wanted{mode->format, mode->width, mode->height, mode->refreshRate, nullptr};
      SDL_SetWindowDisplayMode(window, &wanted);
    }
    setFullscreenWindow(reinterpret_cast<Window*>(window));
  }
  return reinterpret_cast<Window*>(window);
}

void destroyWindow(Window* window) {
  if (!window) return;
  if (fullscreenWindow() == window) setFullscreenWindow(nullptr);
  SDL_DestroyWindow(native(window));
}

void setWindowPosition(Window* window, int x, int y) {
  if (!window) return;
  int top = 0, left = 0, bottom = 0, right = 0;
  getWindowBordersSize(window, top, left, bottom, right);
  // SDL places the client area; the frame sits above and left of it.
  SDL_SetWindowPosition(native(window), x + left, y + top);
}

void getWindowPosition(Window* window, int& x, int& y) {
  x = y = 0;
  if (!window) return;
  int top = 0, left = 0, bottom = 0, right = 0;
  getWindowBordersSize(window, top, left, bottom, right);
  SDL_GetWindowPosition(native(window), &x, &y);
  x -= left;
  y -= top;
}

bool isFullscreen(Window* window) {
  return window && (SDL_GetWindowFlags(native(window)) & SDL_WINDOW_FULLSCREEN) != 0;
}

int refreshRate(Window* window) {
  SDL_DisplayMode mode;
  if (!window || SDL_GetWindowDisplayMode(native(window), &mode) != 0) return 0;
  return mode.refresh_rate;
}

void showWindow(Window* window) {
  if (!window) return;
  SDL_ShowWindow(native(window));
  if (fullscreenWindow() == window && failNow(Fault::FullscreenOnShow))
    SDL_SetWindowFullscreen(native(window), 0);  // as a system that refuses the mode leaves it
}

bool fullscreenRefused(Window* window) {
  if (!window) return false;
  if (!(SDL_GetWindowFlags(native(window)) & SDL_WINDOW_FULLSCREEN)) return true;
  const DisplayModeRecord* wanted = pendingFullscreenMode();
  SDL_DisplayMode current;
  const int display = SDL_GetWindowDisplayIndex(native(window));
  if (!wanted || display < 0 || SDL_GetCurrentDisplayMode(display, &current) != 0) return false;
  return current.w != wanted->width || current.h != wanted->height;
}

void makeWindowed(Window* window) {
  if (!window) return;
  if (fullscreenWindow() == window) changeDisplaySettings(nullptr);  // leaves full screen, forgets the mode
  SDL_SetWindowFullscreen(native(window), 0);
  SDL_SetWindowBordered(native(window), SDL_TRUE);
}

namespace {
// A window manager that follows the desktop conventions announces itself on the root window.
bool windowManagerRunning(Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(native(window), &info)) return false;
  if (info.subsystem != SDL_SYSWM_X11) return true;  // other systems always frame windows
  ::Display* display = info.info.x11.display;
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
  if (check == 0) return false;
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                        &format, &count, &after, &data) == Success &&
                     count == 1;
  if (data) XFree(data);
  return found;
}
}  // namespace

void getShownWindowFrame(Window* window, int waitMilliseconds, int& top, int& left, int& bottom, int& right) {
  getWindowBordersSize(window, top, left, bottom, right);
  if (!window || top + left + bottom + right > 0 || !windowManagerRunning(window)) return;
  // The manager frames the window after it is mapped and then tells its size; until then
  // SDL reports no frame.
  const Uint32 until = SDL_GetTicks() + static_cast<Uint32>(waitMilliseconds);
  while (top + left + bottom + right == 0 && !SDL_TICKS_PASSED(SDL_GetTicks(), until)) {
    SDL_PumpEvents();
    SDL_Delay(5);
    getWindowBordersSize(window, top, left, bottom, right);
  }
}

void hideWindow(Window* window) {
  if (window) SDL_HideWindow(native(window));
}

void setWindowIcon(Window* window, int width, int height, const unsigned char* rgba) {
  if (!window || !rgba) return;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<unsigned char*>(rgba), width, height, 32,
                                                            width * 4, SDL_PIXELFORMAT_RGBA32);
  if (!surface) return;
  SDL_SetWindowIcon(native(window), surface);
  SDL_FreeSurface(surface);
}

void getClientSize(Window* window, int& width, int& height) {
  width = height = 0;
  if (window) SDL_GL_GetDrawableSize(native(window), &width, &height);
}

void getWindowBordersSize(Window* window, int& top, int& left, int& bottom, int& right) {
  top = left = bottom = right = 0;
  if (window) SDL_GetWindowBordersSize(native(window), &top, &left, &bottom, &right);
}

std::string windowCaption(Window* window) { return window ? SDL_GetWindowTitle(native(window)) : ""; }

GLContext createGLContext(Window* window) {
  if (!window) return nullptr;
  if (failNow(Fault::CreateContext)) {
    g_lastError = "context creation refused";
    return nullptr;
  }
  SDL_GLContext context = SDL_GL_CreateContext(native(window));
  if (!context) fail("SDL_GL_CreateContext");
  return context;
}

bool makeCurrent(Window* window, GLContext context) {
  if (context && failNow(Fault::MakeCurrent)) {
    g_lastError = "making the context current refused";
    return false;
  }
  if (SDL_GL_MakeCurrent(native(window), context) != 0) {
    fail("SDL_GL_MakeCurrent");
    return false;
  }
  return true;
}

void deleteGLContext(GLContext context) {
  if (context) SDL_GL_DeleteContext(context);
}

void swapBuffers(Window* window) {
  if (!window) return;
  SDL_GL_SwapWindow(native(window));
  // An offscreen window is an EGL pixel buffer, whose swap does nothing, not even end the
  // frame: the frame is handed to the GL here instead. Without it a software rasteriser
  // gathers frame after frame into one batch until something reads pixels back, and keeps
  // the memory of the largest batch (over 80 MB after the loading screen's frames).
  if (g_offscreen) glFlush();
}

bool setSwapInterval(int interval) { return SDL_GL_SetSwapInterval(interval) == 0; }

void* glProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

bool getWorkArea(Rect& area) {
  if (!initVideo()) return false;
  SDL_Rect r;
  if (SDL_GetDisplayUsableBounds(0, &r) != 0) return false;
  area.left = r.x;
  area.top = r.y;
  area.right = r.x + r.w;
  area.bottom = r.y + r.h;
  return true;
}

void setScreenSaverEnabled(bool enabled) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  if (enabled)
    SDL_EnableScreenSaver();
  else
    SDL_DisableScreenSaver();
}

void setCursorVisible(bool visible) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

}  // namespace platform
