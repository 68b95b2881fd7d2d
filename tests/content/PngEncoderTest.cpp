// PNG encoder: what it writes decodes, through the engine's image library, to the pixels
// it was given.
#include <IL/il.h>
#include <gtest/gtest.h>

#include "data/PngEncoder.h"

namespace {

std::vector<uint8_t> decodeRgba(const std::vector<uint8_t>& png, int& w, int& h) {
  static bool started = (ilInit(), true);
  (void)started;
  ILuint image = ilGenImage();
  ilBindImage(image);
  std::vector<uint8_t> out;
  if (ilLoadL(IL_TYPE_UNKNOWN, png.data(), ILuint(png.size()))) {
    w = ilGetInteger(IL_IMAGE_WIDTH), h = ilGetInteger(IL_IMAGE_HEIGHT);
    out.resize(size_t(w) * h * 4);
    ilCopyPixels(0, 0, 0, ILuint(w), ILuint(h), 1, IL_RGBA, IL_UNSIGNED_BYTE, out.data());
  }
  ilDeleteImage(image);
  return out;
}

TEST(PngEncoder, RgbAndRgbaImagesOfOddSizesDecodeExactly) {
  for (int channels : {3, 4}) {
    const int w = 37, h = 11;
    std::vector<uint8_t> pixels(size_t(w) * h * channels);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i * 7919u) >> 3 ^ i);
    std::vector<uint8_t> png = content::encodePng(w, h, channels, pixels.data());
    ASSERT_FALSE(png.empty());
    int dw = 0, dh = 0;
    std::vector<uint8_t> rgba = decodeRgba(png, dw, dh);
    ASSERT_EQ(dw, w);
    ASSERT_EQ(dh, h);
    // DevIL may hand rows bottom-up; find the orientation from the first row.
    bool flipped = false;
    for (int x = 0; x < w && !flipped; ++x) flipped = rgba[size_t(x) * 4] != pixels[size_t(x) * channels];
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < 4; ++c) {
          int sy = flipped ? h - 1 - y : y;
          uint8_t want = c < channels ? pixels[(size_t(sy) * w + x) * channels + c] : 255;
          ASSERT_EQ(rgba[(size_t(y) * w + x) * 4 + c], want) << x << "," << y << " channel " << c;
        }
  }
}

TEST(PngEncoder, SamePixelsGiveSameBytesAndBadArgumentsGiveNothing) {
  std::vector<uint8_t> px(64 * 64 * 3, 40);
  EXPECT_EQ(content::encodePng(64, 64, 3, px.data()), content::encodePng(64, 64, 3, px.data()));
  EXPECT_TRUE(content::encodePng(0, 5, 3, px.data()).empty());
  EXPECT_TRUE(content::encodePng(5, 5, 2, px.data()).empty());
  EXPECT_TRUE(content::encodePng(5, 5, 3, nullptr).empty());
}

}  // namespace
