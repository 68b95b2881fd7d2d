#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "ResourceFixtures.h"
#include "resources/ImageDecode.h"
#include "resources/Texture.h"
#include "screen/Screen.h"

using namespace resource_fixtures;
using testing_support::GLWindow;
using testing_support::readFile;

namespace {

// The signature and header chunk of a PNG file of w x h pixels (no image data).
std::string pngHeader(uint32_t w, uint32_t h) {
  std::string bytes("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16);
  for (uint32_t v : {w, h})
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>((v >> shift) & 0xFF));
  return bytes + std::string("\x08\x06\0\0\0\0\0\0\0", 9);
}

// One PNG chunk (its checksum left 0).
std::string pngChunk(const char* type, const std::string& data) {
  std::string bytes;
  for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>((data.size() >> shift) & 0xFF));
  return bytes + type + data + std::string(4, '\0');
}

// Pixels of a GL 2D texture (or cube face) as RGBA rows, bottom row first.
std::vector<unsigned char> texturePixels(GLenum target, GLuint name, GLenum face, int& w, int& h) {
  glBindTexture(target, name);
  glGetTexLevelParameteriv(face, 0, GL_TEXTURE_WIDTH, &w);
  glGetTexLevelParameteriv(face, 0, GL_TEXTURE_HEIGHT, &h);
  std::vector<unsigned char> pixels(static_cast<size_t>(w) * h * 4);
  glGetTexImage(face, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

// An uncompressed 32-bit cube-map DDS whose six faces are filled with the given colours.
std::string cubeMapDds(int size, const std::vector<std::array<unsigned char, 4>>& faces) {
  std::string dds(128, '\0');
  auto put = [&](size_t offset, uint32_t v) { std::memcpy(&dds[offset], &v, 4); };
  std::memcpy(&dds[0], "DDS ", 4);
  put(4, 124);                           // header size
  put(8, 0x1 | 0x2 | 0x4 | 0x1000);      // caps, height, width, pixel format
  put(12, static_cast<uint32_t>(size));  // height
  put(16, static_cast<uint32_t>(size));  // width
  put(20, static_cast<uint32_t>(size * 4));
  put(76, 32);          // pixel format size
  put(80, 0x41);        // RGB | alpha pixels
  put(88, 32);          // bits
  put(92, 0x00ff0000);  // red mask
  put(96, 0x0000ff00);
  put(100, 0x000000ff);
  put(104, 0xff000000);
  put(108, 0x1000 | 0x8);   // texture, complex
  put(112, 0x200 | 0xfc00);  // cube map with all six faces
  for (const auto& c : faces)
    for (int i = 0; i < size * size; ++i) {
      dds.push_back(static_cast<char>(c[2]));  // stored B, G, R, A
      dds.push_back(static_cast<char>(c[1]));
      dds.push_back(static_cast<char>(c[0]));
      dds.push_back(static_cast<char>(c[3]));
    }
  return dds;
}

class TextureLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (gl.unavailable()) GTEST_SKIP() << "no display for a GL context";
  }
  // ImageMagick draws a 4 x 2 image: top row red, bottom row blue, then writes it as `name`.
  std::string magick(const std::string& name, const std::string& type) {
    const std::string path = rt.dir.file(name);
    // PNG24: and PNG32: keep ImageMagick from writing a palette image for two colours.
    std::string target = path;
    if (type == "TrueColor" && name.size() > 4 && name.substr(name.size() - 4) == ".png") target = "PNG24:" + path;
    if (type == "TrueColorAlpha") target = "PNG32:" + path;
    const std::string command = "convert -size 4x1 xc:red -size 4x1 xc:blue -append -type " + type + " " + target;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return readFile(path);
  }
  int loadFrom(const std::vector<Member>& members, Texture& texture) {
    writeArchive(rt.dir.file("t.zip"), members);
    EXPECT_EQ(loader.openArchive(rt.dir.file("t.zip")), 0);
    loader.runtime = rt.runtime;
    return loader.loadTexture(texture);
  }
  GLWindow gl{64, 64};
  LoggedRuntime rt;
  Loader loader;
};

TEST_F(TextureLoadTest, PngAndJpegFromAnotherToolLoadBottomRowFirst) {
  struct Case {
    const char* file;
    const char* type;
    const char* bits;
    int tolerance;
  } cases[] = {{"rgb.png", "TrueColor", "4x2x24bit (x1) .. ", 0},
               {"rgba.png", "TrueColorAlpha", "4x2x32bit (x1) .. ", 0},
               {"rgb.jpg", "TrueColor", "4x2x24bit (x1) .. ", 40}};
  for (const Case& c : cases) {
    rt.mark();
    Texture texture;
    texture.source = std::string("textures/") + c.file;
    ASSERT_EQ(loadFrom({{texture.source, magick(c.file, c.type)}}, texture), 0) << c.file;
    EXPECT_NE(texture.crc, 0u);
    EXPECT_NE(rt.log().find("load texture: textures/" + std::string(c.file) + " .. "), std::string::npos);
    EXPECT_NE(rt.log().find(c.bits), std::string::npos) << rt.log();
    EXPECT_NE(rt.log().find("ok\n"), std::string::npos);
    int w = 0, h = 0;
    auto px = texturePixels(GL_TEXTURE_2D, texture.crc, GL_TEXTURE_2D, w, h);
    ASSERT_EQ(w, 4);
    ASSERT_EQ(h, 2);
    // GL row 0 is the image's bottom row (blue); alpha is full even for 24-bit files.
    EXPECT_NEAR(px[0], 0, c.tolerance);
    EXPECT_NEAR(px[2], 255, c.tolerance);
    EXPECT_EQ(px[3], 255);
    EXPECT_NEAR(px[4 * 4 + 0], 255, c.tolerance);
    EXPECT_NEAR(px[4 * 4 + 2], 0, c.tolerance);
    GLint wrap = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);
  }
}

TEST_F(TextureLoadTest, AnisotropyComesFromTheSettings) {
  rt.runtime->screen->config.anisoLevel = 4.0f;
  Texture texture;
  texture.source = "a.png";
  ASSERT_EQ(loadFrom({{"a.png", magick("a.png", "TrueColor")}}, texture), 0);
  GLfloat aniso = 0;
  glBindTexture(GL_TEXTURE_2D, texture.crc);
  glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &aniso);
  EXPECT_FLOAT_EQ(aniso, 4.0f);
}

TEST_F(TextureLoadTest, SixFacesBecomeACubeMapInFaceOrder) {
  const std::vector<std::array<unsigned char, 4>> colours = {
      {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 0, 255}, {0, 255, 255, 255}, {255, 0, 255, 255}};
  Texture texture;
  texture.source = "textures/sky.dds";
  ASSERT_EQ(loadFrom({{texture.source, cubeMapDds(4, colours)}}, texture), 0) << rt.log();
  EXPECT_NE(rt.log().find("4x4x32bit (x6) .. "), std::string::npos) << rt.log();
  for (int face = 0; face < 6; ++face) {
    int w = 0, h = 0;
    auto px = texturePixels(GL_TEXTURE_CUBE_MAP, texture.crc, GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, w, h);
    ASSERT_EQ(w, 4) << face;
    EXPECT_EQ(px[0], colours[face][0]) << face;
    EXPECT_EQ(px[1], colours[face][1]) << face;
    EXPECT_EQ(px[2], colours[face][2]) << face;
  }
}

TEST_F(TextureLoadTest, MissingAndDamagedImagesFailWithTheirLines) {
  Texture missing;
  missing.source = "textures/none.png";
  EXPECT_EQ(loadFrom({{"other.png", magick("o.png", "TrueColor")}}, missing), 1);
  EXPECT_NE(rt.log().find(" file not found: textures/none.png\n"), std::string::npos);
  EXPECT_NE(rt.log().find(" error, file size 0\n"), std::string::npos);
  EXPECT_EQ(missing.crc, 0u);

  rt.mark();
  Texture damaged;
  damaged.source = "textures/bad.png";
  // A PNG header of a 4 x 4 image over garbage: accepted by the header check, refused by DevIL.
  const std::string garbage = pngHeader(4, 4) + pngChunk("IDAT", std::string(300, '\x5a')) + pngChunk("IEND", "");
  EXPECT_EQ(loadFrom({{"textures/bad.png", garbage}}, damaged), 1);
  EXPECT_NE(rt.log().find("ilLoadL errorcode: "), std::string::npos) << rt.log();
  EXPECT_EQ(damaged.crc, 0u);
}

TEST(ImageHeaderCheck, SizesTheEngineWillNotTakeAreRefusedBeforeDecoding) {
  LoggedRuntime rt;
  std::string dds(128, '\0');
  std::memcpy(&dds[0], "DDS ", 4);
  const uint32_t side = 8192, cube = 0x200;
  std::memcpy(&dds[12], &side, 4);
  std::memcpy(&dds[16], &side, 4);
  std::memcpy(&dds[112], &cube, 4);
  // A baseline JPEG frame header (SOF0) of 20000 x 10 after the start marker.
  const std::string jpeg = std::string("\xFF\xD8\xFF\xC0\x00\x11\x08\x00\x0A\x4E\x20", 11) + std::string(20, '\0');
  const struct {
    std::string bytes, line;
  } cases[] = {
      {pngHeader(60000, 60000), "image size 60000x60000 not supported (at most 16384 a side)\n"},
      {pngHeader(0, 16), "image size 0x16 not supported\n"},
      {jpeg, "image size 20000x10 not supported (at most 16384 a side)\n"},
      {dds, "image size 8192x8192 x 6 layers not supported (at most 268435456 pixels)\n"},
      {"GIF89a" + std::string(40, '\x01'), "not a PNG, JPEG, BMP or DDS image (or its header is cut short)\n"},
      {pngHeader(4, 4).substr(0, 20), "not a PNG, JPEG, BMP or DDS image (or its header is cut short)\n"},
      // A last chunk claiming 4100 bytes the file does not have: DevIL would keep reading.
      {pngHeader(4, 4) + pngChunk("gAMA", "").substr(0, 2) + std::string("\x10\x04gAMA", 6),
       "damaged PNG file: a chunk reaches past the end of the file, or the end chunk is missing\n"}};
  for (const auto& c : cases) {
    rt.mark();
    DecodedImage image;
    EXPECT_EQ(decodeImage(*rt.runtime->logger, reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), image), 1);
    rt.runtime->logger->flush();
    EXPECT_EQ(rt.log(), c.line);
    EXPECT_TRUE(image.pixels.empty());
  }
}

}  // namespace
