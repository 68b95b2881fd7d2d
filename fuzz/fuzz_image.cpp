// Fuzz target: an image file through the texture loader's decoding half: the header check,
// then DevIL, then the copy of image 0 or the six cube faces. No GL.
#include <IL/il.h>

#include "FuzzSupport.h"
#include "resources/ImageDecode.h"
#include "runtime/Logger.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool initialised = [] {
    ilInit();
    return true;
  }();
  (void)initialised;
  static Logger silent;  // never created: drops every line
  DecodedImage image;
  // A smaller pixel budget than the engine's, so one input stays within the fuzzer's memory limit.
  if (decodeImage(silent, data, size, image, uint64_t{2048} * 2048) == 0) {
    const size_t face = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4;
    if (image.width <= 0 || image.height <= 0 || image.pixels.size() != face * (image.cube ? 6 : 1))
      __builtin_trap();
  }
  return 0;
}
