#include "capture/FrameShot.h"

#include <GL/glew.h>

#include <cstdio>
#include <vector>

#ifdef PYLON_STB_IMAGES
// The web build has no DevIL: the PNG is written with stb_image_write.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#else
#include <IL/il.h>
#endif

int writeFrameShot(const std::string& path, int width, int height) {
  if (width <= 0 || height <= 0) return 1;
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());

#ifdef PYLON_STB_IMAGES
  // GL rows are bottom first; a PNG's top first.
  stbi_flip_vertically_on_write(1);
  const bool written = stbi_write_png(path.c_str(), width, height, 3, pixels.data(), width * 3) != 0;
  if (!written) std::fprintf(stderr, "veltro12: cannot write %s\n", path.c_str());
  return written ? 0 : 1;
#else

  ILuint image = 0;
  ilGenImages(1, &image);
  ilBindImage(image);
  // GL rows are bottom first, as DevIL's lower-left origin expects.
  bool ok = ilTexImage(static_cast<ILuint>(width), static_cast<ILuint>(height), 1, 3, IL_RGB, IL_UNSIGNED_BYTE,
                       pixels.data());
  if (ok) {
    ilRegisterOrigin(IL_ORIGIN_LOWER_LEFT);
    ilEnable(IL_FILE_OVERWRITE);
    ok = ilSave(IL_PNG, path.c_str());
  }
  if (!ok) std::fprintf(stderr, "veltro12: cannot write %s (image library error %u)\n", path.c_str(), ilGetError());
  ilDeleteImages(1, &image);
  return ok ? 0 : 1;
#endif
}
