#include "platform/PixelFormat.h"

#include <SDL.h>
#include <SDL_syswm.h>
// X11 after SDL: its macros (None, Bool, Status) must not reach the SDL headers.
#include <GL/glx.h>
#define EGL_NO_X11
#include <EGL/egl.h>

#include <map>
#include <vector>

#include "platform/Faults.h"
#include "platform/Window.h"

namespace platform {

struct DeviceContext {
  Window* window = nullptr;
  Display* display = nullptr;  // null when the window is not an X11 window
  ::Window drawable = 0;
  int screen = 0;
  int format = 0;
  bool egl = false;  // an offscreen window: its formats are the EGL display's configs
};

namespace {

// Framebuffer attributes of every format reported so far, by number.
std::map<int, FramebufferConfig> g_reported;

SDL_Window* native(Window* window) { return reinterpret_cast<SDL_Window*>(window); }

bool findConfig(const DeviceContext* dc, int format, GLXFBConfig& out) {
  if (!dc || !dc->display) return false;
  const int criteria[] = {GLX_FBCONFIG_ID, format, 0};
  int count = 0;
  GLXFBConfig* configs = glXChooseFBConfig(dc->display, dc->screen, criteria, &count);
  if (!configs) return false;
  bool found = count > 0;
  if (found) out = configs[0];
  XFree(configs);
  return found;
}

int glx(Display* display, GLXFBConfig config, int attribute) {
  int value = 0;
  if (glXGetFBConfigAttrib(display, config, attribute, &value) != 0) return 0;
  return value;
}

// One attribute with its WGL meaning; false for an attribute the layer does not know.
bool readAttribute(Display* display, GLXFBConfig config, int attribute, int& value) {
  switch (attribute) {
    case kDrawToWindow:
      value = (glx(display, config, GLX_DRAWABLE_TYPE) & GLX_WINDOW_BIT) ? 1 : 0;
      return true;
    case kSupportOpenGL:
      value = 1;
      return true;
    case kAcceleration:
      value = glx(display, config, GLX_CONFIG_CAVEAT) == GLX_SLOW_CONFIG ? kNoAcceleration : kFullAcceleration;
      return true;
    case kColorBits:
      value = glx(display, config, GLX_RED_SIZE) + glx(display, config, GLX_GREEN_SIZE) +
              glx(display, config, GLX_BLUE_SIZE);
      return true;
    case kAlphaBits:
      value = glx(display, config, GLX_ALPHA_SIZE);
      return true;
    case kDepthBits:
      value = glx(display, config, GLX_DEPTH_SIZE);
      return true;
    case kStencilBits:
      value = glx(display, config, GLX_STENCIL_SIZE);
      return true;
    case kDoubleBuffer:
      value = glx(display, config, GLX_DOUBLEBUFFER) ? 1 : 0;
      return true;
    case kSampleBuffers:
      value = glx(display, config, GLX_SAMPLE_BUFFERS);
      return true;
    case kSamples:
      value = glx(display, config, GLX_SAMPLES);
      return true;
    default:
      return false;
  }
}

bool exactMatch(int attribute) {
  return attribute == kDrawToWindow || attribute == kSupportOpenGL || attribute == kAcceleration ||
         attribute == kDoubleBuffer;
}

template <typename Read>
FramebufferConfig framebufferFrom(Read read) {
  FramebufferConfig fb;
  int doubleBuffer = 0;
  read(kColorBits, fb.colorBits);
  read(kAlphaBits, fb.alphaBits);
  read(kDepthBits, fb.depthBits);
  read(kStencilBits, fb.stencilBits);
  read(kSamples, fb.samples);
  read(kDoubleBuffer, doubleBuffer);
  fb.doubleBuffer = doubleBuffer != 0;
  return fb;
}

bool windowVisual(const DeviceContext* dc, XVisualInfo*& info) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(dc->display, dc->drawable, &attributes) || !attributes.visual) return false;
  XVisualInfo wanted{};
  wanted.visualid = XVisualIDFromVisual(attributes.visual);
  wanted.screen = dc->screen;
  int count = 0;
  info = XGetVisualInfo(dc->display, VisualIDMask | VisualScreenMask, &wanted, &count);
  return info && count > 0;
}

// FBConfigs came with GLX 1.3.
bool fbConfigsUsable(const DeviceContext* dc) {
  if (!dc || !dc->display) return false;
  int major = 0, minor = 0;
  if (!glXQueryVersion(dc->display, &major, &minor)) return false;
  return major > 1 || (major == 1 && minor >= 3);
}

// Offscreen windows (Window.h) are EGL pixel buffers: the same queries answered from the
// configs of the current EGL display that can render desktop GL into a pixel buffer.
// Draw-to-window stands for "draws into the offscreen surface" and double-buffer is 1, as a
// pixel buffer is drawn through its back buffer.
EGLDisplay eglDisplayOf(const DeviceContext* dc) {
  return dc && dc->egl ? eglGetCurrentDisplay() : EGL_NO_DISPLAY;
}

int eglValue(EGLDisplay display, EGLConfig config, EGLint attribute) {
  EGLint value = 0;
  return eglGetConfigAttrib(display, config, attribute, &value) ? value : 0;
}

bool readEglAttribute(EGLDisplay display, EGLConfig config, int attribute, int& value) {
  switch (attribute) {
    case kDrawToWindow:
      value = (eglValue(display, config, EGL_SURFACE_TYPE) & EGL_PBUFFER_BIT) ? 1 : 0;
      return true;
    case kSupportOpenGL:
      value = (eglValue(display, config, EGL_RENDERABLE_TYPE) & EGL_OPENGL_BIT) ? 1 : 0;
      return true;
    case kAcceleration:
      value = eglValue(display, config, EGL_CONFIG_CAVEAT) == EGL_SLOW_CONFIG ? kNoAcceleration : kFullAcceleration;
      return true;
    case kColorBits:
      value = eglValue(display, config, EGL_RED_SIZE) + eglValue(display, config, EGL_GREEN_SIZE) +
              eglValue(display, config, EGL_BLUE_SIZE);
      return true;
    case kAlphaBits: value = eglValue(display, config, EGL_ALPHA_SIZE); return true;
    case kDepthBits: value = eglValue(display, config, EGL_DEPTH_SIZE); return true;
    case kStencilBits: value = eglValue(display, config, EGL_STENCIL_SIZE); return true;
    case kDoubleBuffer: value = 1; return true;
    case kSampleBuffers: value = eglValue(display, config, EGL_SAMPLE_BUFFERS); return true;
    case kSamples: value = eglValue(display, config, EGL_SAMPLES); return true;
    default: return false;
  }
}

std::vector<EGLConfig> eglConfigs(EGLDisplay display, const EGLint* criteria) {
  EGLint count = 0;
  if (!eglChooseConfig(display, criteria, nullptr, 0, &count) || count <= 0) return {};
  std::vector<EGLConfig> configs(static_cast<size_t>(count));
  if (!eglChooseConfig(display, criteria, configs.data(), count, &count)) return {};
  configs.resize(static_cast<size_t>(count));
  return configs;
}

bool eglConfigById(EGLDisplay display, int id, EGLConfig& out) {
  const EGLint criteria[] = {EGL_CONFIG_ID, id, EGL_NONE};
  const std::vector<EGLConfig> configs = eglConfigs(display, criteria);
  if (configs.empty()) return false;
  out = configs[0];
  return true;
}

}  // namespace

DeviceContext* getDC(Window* window) {
  if (!window || failNow(Fault::GetDC)) return nullptr;
  auto* dc = new DeviceContext;
  dc->window = window;
  dc->egl = offscreenVideo();
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(native(window), &info) && info.subsystem == SDL_SYSWM_X11) {
    dc->display = info.info.x11.display;
    dc->drawable = info.info.x11.window;
    dc->screen = DefaultScreen(dc->display);
  }
  return dc;
}

void releaseDC(Window*, DeviceContext* dc) { delete dc; }

int choosePixelFormat(DeviceContext* dc, const PixelFormatDescriptor&) {
  if (!dc) return 0;
  if (!dc->display) return 1;
  // The window's own visual decides: report the FBConfig that carries it.
  XVisualInfo* visual = nullptr;
  if (!windowVisual(dc, visual)) return 0;
  int format = 1;
  int count = 0;
  GLXFBConfig* configs = glXGetFBConfigs(dc->display, dc->screen, &count);
  for (int i = 0; configs && i < count; ++i) {
    if (static_cast<VisualID>(glx(dc->display, configs[i], GLX_VISUAL_ID)) == visual->visualid) {
      format = glx(dc->display, configs[i], GLX_FBCONFIG_ID);
      break;
    }
  }
  if (configs) XFree(configs);
  XFree(visual);
  return format;
}

bool setPixelFormat(DeviceContext* dc, int format, const PixelFormatDescriptor& descriptor) {
  if (!dc || format <= 0 || failNow(Fault::SetPixelFormat)) return false;
  if (!(descriptor.flags & kPfdSupportOpenGL)) return false;
  if (dc->display) {
    XVisualInfo* visual = nullptr;
    if (!windowVisual(dc, visual)) return false;
    int useGL = 0, rgba = 0, doubleBuffer = 0;
    glXGetConfig(dc->display, visual, GLX_USE_GL, &useGL);
    glXGetConfig(dc->display, visual, GLX_RGBA, &rgba);
    glXGetConfig(dc->display, visual, GLX_DOUBLEBUFFER, &doubleBuffer);
    XFree(visual);
    if (!useGL || (descriptor.rgba && !rgba) || ((descriptor.flags & kPfdDoubleBuffer) && !doubleBuffer)) return false;
  }
  dc->format = format;
  return true;
}

bool pixelFormatQueriesAvailable(DeviceContext* dc) {
  if (failNow(Fault::PixelFormatQueries)) return false;
  return fbConfigsUsable(dc) || eglDisplayOf(dc) != EGL_NO_DISPLAY;
}

namespace {

bool chooseEglFormats(DeviceContext* dc, const std::vector<std::pair<int, int>>& wanted, unsigned maxFormats,
                      int* formats, unsigned* numFormats) {
  const EGLDisplay display = eglDisplayOf(dc);
  if (display == EGL_NO_DISPLAY) return false;
  const EGLint criteria[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_NONE};
  for (EGLConfig config : eglConfigs(display, criteria)) {
    if (*numFormats >= maxFormats) break;
    auto read = [&](int a, int& v) { return readEglAttribute(display, config, a, v); };
    bool matches = true;
    for (auto [attribute, value] : wanted) {
      int have = 0;
      matches = matches && read(attribute, have) && (exactMatch(attribute) ? have == value : have >= value);
    }
    if (!matches) continue;
    const int number = eglValue(display, config, EGL_CONFIG_ID);
    g_reported[number] = framebufferFrom(read);
    formats[(*numFormats)++] = number;
  }
  return true;
}

}  // namespace

bool choosePixelFormatARB(DeviceContext* dc, const int* intAttributes, const float*, unsigned maxFormats, int* formats,
                          unsigned* numFormats) {
  if (numFormats) *numFormats = 0;
  if (!formats || !numFormats) return false;
  std::vector<std::pair<int, int>> wanted;
  for (const int* a = intAttributes; a && a[0] != 0; a += 2) wanted.emplace_back(a[0], a[1]);
  if (dc && dc->egl) return chooseEglFormats(dc, wanted, maxFormats, formats, numFormats);
  if (!fbConfigsUsable(dc)) return false;

  // Let the server narrow and order the list with the criteria that translate exactly;
  // every pair is then checked with its WGL meaning.
  std::vector<int> criteria = {GLX_RENDER_TYPE, GLX_RGBA_BIT, GLX_DRAWABLE_TYPE, static_cast<int>(GLX_DONT_CARE)};
  for (auto [attribute, value] : wanted) {
    if (attribute == kDrawToWindow && value) criteria.insert(criteria.end(), {GLX_X_RENDERABLE, 1});
    if (attribute == kDrawToWindow && value) criteria[3] = GLX_WINDOW_BIT;
    if (attribute == kDoubleBuffer) criteria.insert(criteria.end(), {GLX_DOUBLEBUFFER, value ? 1 : 0});
    if (attribute == kAlphaBits) criteria.insert(criteria.end(), {GLX_ALPHA_SIZE, value});
    if (attribute == kDepthBits) criteria.insert(criteria.end(), {GLX_DEPTH_SIZE, value});
    if (attribute == kStencilBits) criteria.insert(criteria.end(), {GLX_STENCIL_SIZE, value});
  }
  criteria.push_back(0);

  int count = 0;
  GLXFBConfig* configs = glXChooseFBConfig(dc->display, dc->screen, criteria.data(), &count);
  for (int i = 0; configs && i < count && *numFormats < maxFormats; ++i) {
    bool matches = true;
    for (auto [attribute, value] : wanted) {
      int have = 0;
      if (!readAttribute(dc->display, configs[i], attribute, have)) {
        matches = false;
        break;
      }
      if (exactMatch(attribute) ? have != value : have < value) {
        matches = false;
        break;
      }
    }
    if (!matches) continue;
    int number = glx(dc->display, configs[i], GLX_FBCONFIG_ID);
    g_reported[number] = framebufferFrom([&](int a, int& v) { return readAttribute(dc->display, configs[i], a, v); });
    formats[(*numFormats)++] = number;
  }
  if (configs) XFree(configs);
  return true;
}

bool getPixelFormatAttribivARB(DeviceContext* dc, int format, int, unsigned count, const int* attributes, int* values) {
  if (dc && dc->egl) {
    const EGLDisplay display = eglDisplayOf(dc);
    EGLConfig config;
    if (display == EGL_NO_DISPLAY || !eglConfigById(display, format, config)) return false;
    for (unsigned i = 0; i < count; ++i)
      if (!readEglAttribute(display, config, attributes[i], values[i])) return false;
    return true;
  }
  GLXFBConfig config;
  if (!fbConfigsUsable(dc) || !findConfig(dc, format, config)) return false;
  for (unsigned i = 0; i < count; ++i) {
    if (!readAttribute(dc->display, config, attributes[i], values[i])) return false;
  }
  return true;
}

bool framebufferForPixelFormat(int format, FramebufferConfig& out) {
  auto found = g_reported.find(format);
  if (found == g_reported.end()) return false;
  out = found->second;
  return true;
}

}  // namespace platform
