// Window: the native window and its OpenGL context, in place of Win32 windows and WGL.
//
// Lifecycle: createWindow() (hidden until showWindow()), createGLContext() once the window
// exists, makeCurrent(), then swapBuffers() every frame; at the end makeCurrent(w, nullptr),
// deleteGLContext(), destroyWindow(). Every creator returns nullptr on failure and leaves the
// reason in lastError(). The GL framebuffer attributes (colour, depth, samples) are chosen
// before the window is created, as a pixel format is on Windows.
//
// The display calls beside them (work area, screen saver, cursor) act on the desktop the
// window lives on. Main thread only; the context is current on the thread that made it so.
#pragma once

#include <string>

namespace platform {

struct Window;  // opaque: an SDL window
using GLContext = void*;

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

struct FramebufferConfig {
  int colorBits = 24;
  int alphaBits = 8;
  int depthBits = 24;
  int stencilBits = 0;
  int samples = 0;  // 0: no multisampling
  bool doubleBuffer = true;
};

struct WindowDesc {
  std::string caption;
  int x = 0, y = 0;
  int width = 640, height = 480;  // client area
  bool fullscreen = false;        // full screen, in the mode set by changeDisplaySettings() (Displays.h)
  bool bordered = true;
  FramebufferConfig framebuffer;
  int pixelFormat = 0;  // 0: `framebuffer` as given; else a format number (PixelFormat.h)
};

// Calls that can fail also fail on purpose when their fault (Faults.h) is armed.
// Starts the video subsystem on first use; false (with lastError()) when no display opens.
bool initVideo();
// Offscreen video, for unattended renders on machines without a display: the next
// initVideo() starts SDL's offscreen driver, whose windows are EGL pixel buffers (Mesa's
// device or surfaceless platform, no X server). Windows are then never shown, and pixel
// formats are EGL configs (PixelFormat.h). Call it before the video subsystem starts.
void useOffscreenVideo();
bool offscreenVideo();
void shutdownVideo();

Window* createWindow(const WindowDesc& desc);
void destroyWindow(Window* window);
void showWindow(Window* window);
void hideWindow(Window* window);
void setWindowIcon(Window* window, int width, int height, const unsigned char* rgba);
void getClientSize(Window* window, int& width, int& height);
void getWindowBordersSize(Window* window, int& top, int& left, int& bottom, int& right);
// Moves the window so that its outer top-left corner (frame included) is at (x, y).
void setWindowPosition(Window* window, int x, int y);
// The outer top-left corner of the window (frame included).
void getWindowPosition(Window* window, int& x, int& y);
bool isFullscreen(Window* window);
// The refresh rate in Hz of the display the window is on; 0 when the platform does not say.
int refreshRate(Window* window);
// After showWindow() of a window created full screen: true when it is not in the mode it
// asked for (the system refused the switch when the window was shown).
bool fullscreenRefused(Window* window);
// Turns a window that lost its full-screen mode into a plain framed window of its size.
void makeWindowed(Window* window);
// The frame a window manager puts around the shown window: waits (pumping events, at most
// `waitMilliseconds`) until the manager has told its size. All 0 without a window manager.
void getShownWindowFrame(Window* window, int waitMilliseconds, int& top, int& left, int& bottom, int& right);
std::string windowCaption(Window* window);

GLContext createGLContext(Window* window);
bool makeCurrent(Window* window, GLContext context);
void deleteGLContext(GLContext context);
// Shows the frame drawn; an offscreen window's frame is flushed to the GL instead.
void swapBuffers(Window* window);
bool setSwapInterval(int interval);
void* glProcAddress(const char* name);

// The usable desktop area of the first display (without panels), false when unknown.
bool getWorkArea(Rect& area);
void setScreenSaverEnabled(bool enabled);
void setCursorVisible(bool visible);

const std::string& lastError();

}  // namespace platform
