#include "resources/ImageDecode.h"

#include "resources/ImageHeader.h"
#include "runtime/Logger.h"

namespace {
// Both decoders read the header first and refuse what it rules out, with its reason in the log.
bool checkHeader(Logger& log, const uint8_t* data, size_t size, uint64_t maxPixels, ImageHeader& header) {
  header = readImageHeader(data, size);
  const std::string problem = imageHeaderProblem(header, maxPixels);
  if (problem.empty()) return true;
  log << problem << "\n";
  return false;
}
}  // namespace

#ifdef PYLON_STB_IMAGES
// The web build has no DevIL: PNG, JPEG and BMP files are decoded with stb_image instead,
// with the same header checks first and the same pixel layout after.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#include <stb_image.h>

void ensureImageDecoder() {}

int decodeImage(Logger& log, const uint8_t* data, size_t size, DecodedImage& image, uint64_t maxPixels) {
  ImageHeader header;
  if (!checkHeader(log, data, size, maxPixels, header)) return 1;
  if (header.format == ImageFormat::Dds) {
    log << "DDS images are not decoded in the browser (PNG, JPEG and BMP are)\n";
    return 1;
  }
  int w = 0, h = 0, channels = 0;
  unsigned char* rgba = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &channels, 4);
  if (!rgba) {
    log << "image decoding failed: " << stbi_failure_reason() << "\n";
    return 1;
  }
  log << w << "x" << h << "x" << channels * 8 << "bit (x1) .. ";
  if (w <= 0 || h <= 0 || static_cast<uint64_t>(w) > header.width || static_cast<uint64_t>(h) > header.height) {
    stbi_image_free(rgba);
    log << "image size " << w << "x" << h << " not supported\n";
    return 1;
  }
  image.width = w;
  image.height = h;
  image.cube = false;
  const size_t rowBytes = static_cast<size_t>(w) * 4;
  image.pixels.assign(rowBytes * static_cast<size_t>(h), 0);
  // stb_image gives RGBA rows top first; textures take BGRA rows bottom first.
  for (int y = 0; y < h; ++y) {
    const unsigned char* from = rgba + static_cast<size_t>(y) * rowBytes;
    unsigned char* to = image.pixels.data() + static_cast<size_t>(h - 1 - y) * rowBytes;
    for (int x = 0; x < w; ++x, from += 4, to += 4) {
      to[0] = from[2];
      to[1] = from[1];
      to[2] = from[0];
      to[3] = from[3];
    }
  }
  stbi_image_free(rgba);
  return 0;
}
#else
#include <IL/il.h>

namespace {

// DevIL's image name, deleted on every path out.
struct DevilImage {
  ILuint name = 0;
  DevilImage() { ilGenImages(1, &name); }
  ~DevilImage() { ilDeleteImages(1, &name); }
};

ILenum devilType(ImageFormat format) {
  switch (format) {
    case ImageFormat::Png:
      return IL_PNG;
    case ImageFormat::Jpeg:
      return IL_JPG;
    case ImageFormat::Bmp:
      return IL_BMP;
    case ImageFormat::Dds:
      return IL_DDS;
    case ImageFormat::Unknown:
      break;
  }
  return IL_TYPE_UNKNOWN;
}

}  // namespace

void ensureImageDecoder() {
  static const bool initialised = [] {
    ilInit();
    return true;
  }();
  (void)initialised;
}

int decodeImage(Logger& log, const uint8_t* data, size_t size, DecodedImage& image, uint64_t maxPixels) {
  // The header is read before DevIL allocates anything for the file.
  ImageHeader header;
  if (!checkHeader(log, data, size, maxPixels, header)) return 1;
  DevilImage devil;
  ilBindImage(devil.name);
  // The format the header names, so DevIL cannot take the bytes for another one.
  if (!ilLoadL(devilType(header.format), data, static_cast<ILuint>(size))) {
    log << "ilLoadL errorcode: " << static_cast<unsigned>(ilGetError()) << "\n";
    return 1;
  }
  const ILint w = ilGetInteger(IL_IMAGE_WIDTH);
  const ILint h = ilGetInteger(IL_IMAGE_HEIGHT);
  const ILint bytesPerPixel = ilGetInteger(IL_IMAGE_BYTES_PER_PIXEL);
  ILint further = ilGetInteger(IL_NUM_IMAGES);
  // DevIL 1.7.8 reports the faces of a cube-map file as faces of image 0, not as images.
  const ILint faces = ilGetInteger(IL_NUM_FACES);
  const bool facesAsImages = further != 5 && faces == 5;
  if (facesAsImages) further = faces;
  log << w << "x" << h << "x" << bytesPerPixel * 8 << "bit (x" << further + 1 << ") .. ";
  // What DevIL decoded must still be what the header promised (a JPEG may name its height later).
  if (w <= 0 || h <= 0 || static_cast<uint64_t>(w) > header.width || static_cast<uint64_t>(h) > header.height) {
    log << "image size " << w << "x" << h << " not supported\n";
    return 1;
  }

  image.width = w;
  image.height = h;
  image.cube = further == 5;
  const size_t faceBytes = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
  image.pixels.assign(faceBytes * (image.cube ? 6 : 1), 0);
  ilEnable(IL_ORIGIN_SET);
  // 2D textures are bottom row first (GL's convention), cube faces top row first.
  ilOriginFunc(image.cube ? IL_ORIGIN_UPPER_LEFT : IL_ORIGIN_LOWER_LEFT);
  for (ILuint i = 0; i < (image.cube ? 6u : 1u); ++i) {
    ilBindImage(devil.name);
    const ILboolean active = !image.cube ? ilActiveImage(0) : facesAsImages ? ilActiveFace(i) : ilActiveImage(i);
    if (!active || !ilCopyPixels(0, 0, 0, static_cast<ILuint>(w), static_cast<ILuint>(h), 1, IL_BGRA,
                                 IL_UNSIGNED_BYTE, image.pixels.data() + i * faceBytes)) {
      log << "ilCopyPixels errorcode: " << static_cast<unsigned>(ilGetError()) << "\n";
      return 1;
    }
  }
  return 0;
}
#endif
