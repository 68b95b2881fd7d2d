#include "resources/ImageDecode.h"

#include <IL/il.h>

#include "resources/ImageHeader.h"
#include "runtime/Logger.h"

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
  const ImageHeader header = readImageHeader(data, size);
  const std::string problem = imageHeaderProblem(header, maxPixels);
  if (!problem.empty()) {
    log << problem << "\n";
    return 1;
  }
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
