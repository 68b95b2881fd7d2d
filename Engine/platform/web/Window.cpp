// The window in the browser: the page's canvas (#canvas) through SDL's emscripten video
// driver, with a WebGL 2 context (an OpenGL ES 3.0 context to SDL). The page sizes the
// canvas on screen with CSS (16:9, following the browser window) and goes full screen
// itself; the drawing buffer keeps the size the window was created with. There is no
// window manager, frame, icon or position, and a swap waits for the next animation frame
// (Page.h), which is also when the browser shows what was drawn.
#include "platform/Window.h"

#include <SDL.h>

#include "platform/Displays.h"
#include "platform/Faults.h"
#include "platform/PixelFormat.h"
#include "platform/web/Page.h"

namespace platform {
namespace {
std::string g_lastError;

void fail(const std::string& what) { g_lastError = what + ": " + SDL_GetError(); }

SDL_Window* native(Window* window) { return reinterpret_cast<SDL_Window*>(window); }
}  // namespace

const std::string& lastError() { return g_lastError; }

// There is no other kind of video in a browser.
void useOffscreenVideo() {}
bool offscreenVideo() { return false; }

bool initVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  // The swap waits for an animation frame itself; SDL's own yield would add a second wait.
  SDL_SetHint("SDL_EMSCRIPTEN_ASYNCIFY", "0");
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
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  // An opaque canvas: the page must not show through where a frame leaves alpha below 1.
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, fb.depthBits);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, fb.stencilBits);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, fb.samples > 0 ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, fb.samples);
  // ES 3.0 is WebGL 2 to SDL's emscripten driver.
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
  SDL_Window* window = SDL_CreateWindow(desc.caption.c_str(), 0, 0, desc.width, desc.height, SDL_WINDOW_OPENGL);
  if (!window) {
    fail("SDL_CreateWindow");
    return nullptr;
  }
  if (desc.fullscreen) setFullscreenWindow(reinterpret_cast<Window*>(window));
  return reinterpret_cast<Window*>(window);
}

void destroyWindow(Window* window) {
  if (!window) return;
  if (fullscreenWindow() == window) setFullscreenWindow(nullptr);
  SDL_DestroyWindow(native(window));
}

void setWindowPosition(Window*, int, int) {}

void getWindowPosition(Window*, int& x, int& y) { x = y = 0; }

// Full screen is the page's: the canvas fills the screen, its drawing buffer stays.
bool isFullscreen(Window* window) { return window && fullscreenWindow() == window; }

// Browsers do not tell the display's rate; animation frames come at it.
int refreshRate(Window*) { return 0; }

void showWindow(Window*) {}

bool fullscreenRefused(Window*) { return false; }

void makeWindowed(Window* window) {
  if (fullscreenWindow() == window) setFullscreenWindow(nullptr);
}

void getShownWindowFrame(Window*, int, int& top, int& left, int& bottom, int& right) { top = left = bottom = right = 0; }

void hideWindow(Window*) {}

void setWindowIcon(Window*, int, int, const unsigned char*) {}

void getClientSize(Window* window, int& width, int& height) {
  width = height = 0;
  if (window) SDL_GL_GetDrawableSize(native(window), &width, &height);
}

void getWindowBordersSize(Window*, int& top, int& left, int& bottom, int& right) { top = left = bottom = right = 0; }

std::string windowCaption(Window* window) { return window ? SDL_GetWindowTitle(native(window)) : ""; }

GLContext createGLContext(Window* window) {
  if (!window) return nullptr;
  if (failNow(Fault::CreateContext)) {
    g_lastError = "context creation refused";
    return nullptr;
  }
  SDL_GLContext context = SDL_GL_CreateContext(native(window));
  if (!context) fail("WebGL 2 (SDL_GL_CreateContext)");
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
  page::awaitAnimationFrame();
}

// Frames come with the browser's animation frames whatever is asked.
bool setSwapInterval(int) { return true; }

void* glProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

bool getWorkArea(Rect&) { return false; }

void setScreenSaverEnabled(bool) {}

void setCursorVisible(bool visible) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

}  // namespace platform
