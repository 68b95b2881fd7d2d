// Texture loading of Loader: an image of the archive becomes a mip-mapped 2D texture, or a
// cube map when the file holds six images, decoded by DevIL (ImageDecode.h, which checks
// the header's size first) and uploaded as BGRA to RGBA8.
#include <GL/glew.h>

#include <memory>
#include <vector>

#include "resources/ImageDecode.h"
#include "resources/Loader.h"
#include "resources/Texture.h"
#include "runtime/Logger.h"
#include "runtime/Runtime.h"
#include "screen/Screen.h"

namespace {

float anisotropyLevel(Runtime* runtime) {
  return runtime && runtime->screen ? runtime->screen->config.anisoLevel : 1.0f;
}

void setCommonParameters(GLenum target) {
  glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(target, GL_GENERATE_MIPMAP, GL_TRUE);
  glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

}  // namespace

// Shared by loadTexture and loadSceneTexture: 0 with the GL name in `glName`, 1 on failure.
static int loadTextureFile(Loader& loader, const std::string& source, uint32_t& glName) {
  Logger& log = loader.log();
  log << "load texture: " << source << " .. ";
  const uint32_t size = loader.getSize(source);
  if (size == 0) {
    log << " error, file size 0\n";
    return 1;
  }
  DecodedImage image;
  {
    std::vector<uint8_t> file(size);
    if (loader.read(source, file.data()) != 0) return 1;
    if (decodeImage(log, file.data(), file.size(), image) != 0) return 1;
  }
  const int w = image.width, h = image.height;
  GLuint name = 0;
  glGenTextures(1, &name);
  glName = name;
  if (image.cube) {
    glBindTexture(GL_TEXTURE_CUBE_MAP, name);
    const size_t faceBytes = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
    for (GLenum i = 0; i < 6; ++i) {
      setCommonParameters(GL_TEXTURE_CUBE_MAP);
      glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
      glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + i, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                   image.pixels.data() + i * faceBytes);
    }
  } else {
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropyLevel(loader.runtime));
    setCommonParameters(GL_TEXTURE_2D);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, image.pixels.data());
  }
  log << "ok\n";
  return 0;
}

int Loader::loadTexture(Texture& texture) { return loadTextureFile(*this, texture.source, texture.crc); }

int Loader::loadSceneTexture(Kestrel::Texture& texture) {
  uint32_t name = texture.crc();
  const int result = loadTextureFile(*this, texture.source(), name);
  if (name != texture.crc() || result == 0) texture.set_crc(name);
  return result;
}
