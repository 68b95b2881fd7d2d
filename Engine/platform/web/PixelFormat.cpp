// Pixel formats in the browser: WebGL offers a canvas with or without multisampling, so
// there are two formats. 1 is the default framebuffer (24-bit colour, 8-bit alpha, 24-bit
// depth, double buffered), 2 the same with 4 samples (WebGL's antialias attribute). The
// device context is the window itself.
#include "platform/PixelFormat.h"

#include "platform/Faults.h"
#include "platform/Window.h"

namespace platform {
namespace {
constexpr int kFormats = 2;

int attributeOf(int format, int attribute) {
  switch (attribute) {
    case kDrawToWindow:
    case kSupportOpenGL:
    case kDoubleBuffer:
      return 1;
    case kAcceleration:
      return kFullAcceleration;
    case kColorBits:
      return 24;
    case kAlphaBits:
      return 8;
    case kDepthBits:
      return 24;
    case kStencilBits:
      return 0;
    case kSampleBuffers:
      return format == 2 ? 1 : 0;
    case kSamples:
      return format == 2 ? 4 : 0;
    default:
      return 0;
  }
}

bool matches(int format, const int* attributes) {
  for (const int* a = attributes; a && a[0] != 0; a += 2) {
    const int value = attributeOf(format, a[0]);
    const bool exact = a[0] == kDrawToWindow || a[0] == kSupportOpenGL || a[0] == kAcceleration || a[0] == kDoubleBuffer;
    if (exact ? value != a[1] : value < a[1]) return false;
  }
  return true;
}
}  // namespace

DeviceContext* getDC(Window* window) {
  if (!window || failNow(Fault::GetDC)) return nullptr;
  return reinterpret_cast<DeviceContext*>(window);
}

void releaseDC(Window*, DeviceContext*) {}

int choosePixelFormat(DeviceContext* dc, const PixelFormatDescriptor&) { return dc ? 1 : 0; }

bool setPixelFormat(DeviceContext* dc, int format, const PixelFormatDescriptor&) {
  if (!dc || failNow(Fault::SetPixelFormat)) return false;
  return format >= 1 && format <= kFormats;
}

bool pixelFormatQueriesAvailable(DeviceContext* dc) { return dc && !failNow(Fault::PixelFormatQueries); }

bool choosePixelFormatARB(DeviceContext* dc, const int* intAttributes, const float*, unsigned maxFormats, int* formats,
                          unsigned* numFormats) {
  if (!dc || !numFormats) return false;
  *numFormats = 0;
  for (int format = 1; format <= kFormats && *numFormats < maxFormats; ++format)
    if (matches(format, intAttributes)) formats[(*numFormats)++] = format;
  return true;
}

bool getPixelFormatAttribivARB(DeviceContext* dc, int format, int, unsigned count, const int* attributes, int* values) {
  if (!dc || format < 1 || format > kFormats) return false;
  for (unsigned i = 0; i < count; ++i) values[i] = attributeOf(format, attributes[i]);
  return true;
}

bool framebufferForPixelFormat(int format, FramebufferConfig& out) {
  if (format < 1 || format > kFormats) return false;
  out = FramebufferConfig{};
  out.samples = format == 2 ? 4 : 0;
  return true;
}

}  // namespace platform
