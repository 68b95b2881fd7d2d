// PixelFormat: a window's device context and the GL pixel formats of the display, in place
// of GetDC, ChoosePixelFormat, SetPixelFormat and the WGL_ARB_pixel_format queries.
//
// On X11 a pixel format is a GLX FBConfig and its number is the FBConfig's GLX_FBCONFIG_ID.
// The attribute names below keep the WGL values and meanings; the layer answers them from
// the FBConfig: draw-to-window from GLX_WINDOW_BIT, support-OpenGL is 1, acceleration is
// "none" for a GLX_SLOW_CONFIG and "full" otherwise, colour bits are red + green + blue
// (alpha excluded), the others are the GLX attribute of the same name. choosePixelFormatARB()
// takes attribute/value pairs ended by 0 with WGL's matching rules: draw-to-window,
// support-OpenGL, acceleration and double-buffer must be equal, the bit and sample counts
// are minimums. The formats come back in the server's order of preference.
//
// For an offscreen window (Window.h: useOffscreenVideo) a pixel format is an EGL config of
// the current EGL display that renders desktop GL into a pixel buffer, numbered by its
// EGL_CONFIG_ID; "draw to window" then means "draws into the offscreen surface".
//
// X11 fixes a window's framebuffer when the window is created, so the number is given to
// createWindow() (WindowDesc::pixelFormat) and the window is created with that format's
// colour, depth, stencil, double-buffer and multisample attributes (SDL's GL attributes).
// A number the layer has not reported (1 when nothing was enumerated) stands for the
// default framebuffer: 24-bit colour, 8-bit alpha, 24-bit depth, double buffered, no
// multisampling. setPixelFormat() then checks that the window's visual can draw with GL as
// the descriptor asks; it fails for a window that was created for another number.
//
// getDC() and releaseDC() bracket the use of a window's context; the device context must
// be released before its window is destroyed. Main thread only.
#pragma once

namespace platform {

struct Window;
struct DeviceContext;  // opaque: the window's display connection and drawable
struct FramebufferConfig;

constexpr int kDrawToWindow = 0x2001;
constexpr int kAcceleration = 0x2003;
constexpr int kSupportOpenGL = 0x2010;
constexpr int kDoubleBuffer = 0x2011;
constexpr int kColorBits = 0x2014;
constexpr int kAlphaBits = 0x201B;
constexpr int kDepthBits = 0x2022;
constexpr int kStencilBits = 0x2023;
constexpr int kSampleBuffers = 0x2041;
constexpr int kSamples = 0x2042;
constexpr int kNoAcceleration = 0x2025;
constexpr int kFullAcceleration = 0x2027;

// The descriptor of ChoosePixelFormat/SetPixelFormat; the flags keep their Windows values.
constexpr unsigned kPfdDoubleBuffer = 0x1;
constexpr unsigned kPfdDrawToWindow = 0x4;
constexpr unsigned kPfdSupportOpenGL = 0x20;
constexpr unsigned kPfdSwapExchange = 0x200;
struct PixelFormatDescriptor {
  int version = 1;
  unsigned flags = 0;
  bool rgba = true;
  int colorBits = 0;
  int depthBits = 0;
};

// nullptr when the window has no drawable the layer can reach.
DeviceContext* getDC(Window* window);
void releaseDC(Window* window, DeviceContext* dc);

// The number of the window's own format as it matches the descriptor (0 on failure).
int choosePixelFormat(DeviceContext* dc, const PixelFormatDescriptor& descriptor);
bool setPixelFormat(DeviceContext* dc, int format, const PixelFormatDescriptor& descriptor);

// Whether the two format queries below can be used on this display (GLX 1.3 FBConfigs).
bool pixelFormatQueriesAvailable(DeviceContext* dc);
bool choosePixelFormatARB(DeviceContext* dc, const int* intAttributes, const float* floatAttributes,
                          unsigned maxFormats, int* formats, unsigned* numFormats);
bool getPixelFormatAttribivARB(DeviceContext* dc, int format, int layerPlane, unsigned count, const int* attributes,
                               int* values);

// The framebuffer attributes of a number reported by choosePixelFormatARB(); false (and
// `out` untouched) for any other number.
bool framebufferForPixelFormat(int format, FramebufferConfig& out);

}  // namespace platform
