#include "capture/FrameShot.h"

#include <GL/glew.h>
#include <IL/il.h>

#include <cstdio>
#include <vector>

int writeFrameShot(const std::string& path, int width, int height) {
  if (width <= 0 || height <= 0) return 1;
  std::vector<unsigned char> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());

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
}
