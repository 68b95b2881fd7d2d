// Texture loading of Loader: an image of the archive becomes a mip-mapped 2D texture, or a
// cube map when the file holds six images, decoded by DevIL and uploaded as BGRA to RGBA8.
#include <GL/glew.h>
#include <IL/il.h>

#include <memory>
#include <vector>

#include "resources/Loader.h"
#include "resources/Texture.h"
#include "runtime/Logger.h"
#include "runtime/Runtime.h"
#include "screen/Screen.h"

namespace {

// Larger images are refused before anything is allocated: no driver takes them, and
// width x height x 4 must not overflow.
constexpr ILint kMaxTextureSide = 16384;

float anisotropyLevel(Runtime* runtime) {
  return runtime && runtime->screen ? runtime->screen->config.anisoLevel : 1.0f;
}

// DevIL's image name, deleted on every path out.
struct DevilImage {
  ILuint name = 0;
  DevilImage() { ilGenImages(1, &name); }
  ~DevilImage() { ilDeleteImages(1, &name); }
};

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
  std::vector<unsigned char> file(size);
  if (loader.read(source, file.data()) != 0) return 1;

  DevilImage image;
  ilBindImage(image.name);
  if (!ilLoadL(IL_TYPE_UNKNOWN, file.data(), size)) {
    log << "ilLoadL errorcode: " << static_cast<unsigned>(ilGetError()) << "\n";
    return 1;
  }
  file.clear();
  file.shrink_to_fit();

  const ILint w = ilGetInteger(IL_IMAGE_WIDTH);
  const ILint h = ilGetInteger(IL_IMAGE_HEIGHT);
  const ILint bytesPerPixel = ilGetInteger(IL_IMAGE_BYTES_PER_PIXEL);
  ILint further = ilGetInteger(IL_NUM_IMAGES);
  // DevIL 1.7.8 reports the faces of a cube-map file as faces of image 0, not as images.
  const ILint faces = ilGetInteger(IL_NUM_FACES);
  const bool facesAsImages = further != 5 && faces == 5;
  if (facesAsImages) further = faces;
  log << w << "x" << h << "x" << bytesPerPixel * 8 << "bit (x" << further + 1 << ") .. ";
  if (w <= 0 || h <= 0 || w > kMaxTextureSide || h > kMaxTextureSide) {
    log << "image size " << w << "x" << h << " not supported\n";
    return 1;
  }

  std::vector<unsigned char> pixels(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  ilEnable(IL_ORIGIN_SET);

  if (further == 5) {
    ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    GLuint name = 0;
    glGenTextures(1, &name);
    glName = name;
    glBindTexture(GL_TEXTURE_CUBE_MAP, name);
    for (ILuint i = 0; i < 6; ++i) {
      ilBindImage(image.name);
      const ILboolean active = facesAsImages ? ilActiveFace(i) : ilActiveImage(i);
      if (!active || !ilCopyPixels(0, 0, 0, static_cast<ILuint>(w), static_cast<ILuint>(h), 1, IL_BGRA,
                                   IL_UNSIGNED_BYTE, pixels.data())) {
        log << "ilCopyPixels errorcode: " << static_cast<unsigned>(ilGetError()) << "\n";
        return 1;
      }
      setCommonParameters(GL_TEXTURE_CUBE_MAP);
      glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
      glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + i, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    }
  } else {
    ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
    ilBindImage(image.name);
    ilActiveImage(0);
    if (!ilCopyPixels(0, 0, 0, static_cast<ILuint>(w), static_cast<ILuint>(h), 1, IL_BGRA, IL_UNSIGNED_BYTE,
                      pixels.data())) {
      log << "ilCopyPixels errorcode: " << static_cast<unsigned>(ilGetError()) << "\n";
      return 1;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glName = name;
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropyLevel(loader.runtime));
    setCommonParameters(GL_TEXTURE_2D);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
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
