#include "platform/PixelFormat.h"

#include <SDL.h>
#include <SDL_syswm.h>
// X11 after SDL: its macros (None, Bool, Status) must not reach the SDL headers.
#include <GL/glx.h>

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

FramebufferConfig framebufferOf(Display* display, GLXFBConfig config) {
  FramebufferConfig fb;
  readAttribute(display, config, kColorBits, fb.colorBits);
  readAttribute(display, config, kAlphaBits, fb.alphaBits);
  readAttribute(display, config, kDepthBits, fb.depthBits);
  readAttribute(display, config, kStencilBits, fb.stencilBits);
  int samples = 0, doubleBuffer = 0;
  readAttribute(display, config, kSamples, samples);
  readAttribute(display, config, kDoubleBuffer, doubleBuffer);
  fb.samples = samples;
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

}  // namespace

DeviceContext* getDC(Window* window) {
  if (!window || failNow(Fault::GetDC)) return nullptr;
  auto* dc = new DeviceContext;
  dc->window = window;
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
  return fbConfigsUsable(dc);
}

bool choosePixelFormatARB(DeviceContext* dc, const int* intAttributes, const float*, unsigned maxFormats, int* formats,
                          unsigned* numFormats) {
  if (numFormats) *numFormats = 0;
  if (!fbConfigsUsable(dc) || !formats || !numFormats) return false;

  std::vector<std::pair<int, int>> wanted;
  for (const int* a = intAttributes; a && a[0] != 0; a += 2) wanted.emplace_back(a[0], a[1]);

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
    g_reported[number] = framebufferOf(dc->display, configs[i]);
    formats[(*numFormats)++] = number;
  }
  if (configs) XFree(configs);
  return true;
}

bool getPixelFormatAttribivARB(DeviceContext* dc, int format, int, unsigned count, const int* attributes, int* values) {
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
