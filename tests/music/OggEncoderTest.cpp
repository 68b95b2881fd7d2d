#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstring>

#include "music/Dsp.h"
#include "music/OggEncoder.h"

namespace {

using namespace music;

// Reads an Ogg Vorbis file back from memory with libvorbisfile.
struct Memory {
  const std::vector<unsigned char>* bytes;
  size_t pos = 0;
};

size_t readMemory(void* out, size_t size, size_t count, void* source) {
  Memory* m = static_cast<Memory*>(source);
  size_t n = std::min(size * count, m->bytes->size() - m->pos);
  std::memcpy(out, m->bytes->data() + m->pos, n);
  m->pos += n;
  return size ? n / size : 0;
}

struct Decoded {
  int channels = 0;
  long rate = 0;
  std::vector<float> left, right;
  std::string vendorTitle;
};

bool decode(const std::vector<unsigned char>& bytes, Decoded& out) {
  Memory memory{&bytes};
  OggVorbis_File file;
  ov_callbacks callbacks{readMemory, nullptr, nullptr, nullptr};
  if (ov_open_callbacks(&memory, &file, nullptr, 0, callbacks) != 0) return false;
  vorbis_info* info = ov_info(&file, -1);
  out.channels = info->channels;
  out.rate = info->rate;
  char** title = ov_comment(&file, -1)->user_comments;
  if (title && *title) out.vendorTitle = *title;
  int section = 0;
  for (;;) {
    float** pcm = nullptr;
    long n = ov_read_float(&file, &pcm, 4096, &section);
    if (n <= 0) break;
    out.left.insert(out.left.end(), pcm[0], pcm[0] + n);
    out.right.insert(out.right.end(), pcm[1], pcm[1] + n);
  }
  ov_clear(&file);
  return true;
}

StereoBuffer testTone() {
  StereoBuffer b(kSampleRate);
  for (size_t i = 0; i < b.frames(); ++i) {
    double t = static_cast<double>(i) / kSampleRate;
    b.left[i] = static_cast<float>(0.5 * std::sin(2.0 * kPi * 440.0 * t));
    b.right[i] = static_cast<float>(0.25 * std::sin(2.0 * kPi * 660.0 * t));
  }
  return b;
}

TEST(OggEncoder, WritesStereo44kVorbisThatDecodesToTheInput) {
  OggEncoder::Settings settings;
  settings.tags = {{"TITLE", "Test"}};
  OggEncoder encoder(settings);
  std::vector<unsigned char> ogg;
  StereoBuffer tone = testTone();
  ASSERT_EQ(encoder.encode(tone, ogg), 0) << encoder.error();
  ASSERT_GT(ogg.size(), 4u);
  EXPECT_EQ(std::memcmp(ogg.data(), "OggS", 4), 0);

  Decoded d;
  ASSERT_TRUE(decode(ogg, d));
  EXPECT_EQ(d.channels, 2);
  EXPECT_EQ(d.rate, kSampleRate);
  EXPECT_EQ(d.vendorTitle, "TITLE=Test");
  ASSERT_EQ(d.left.size(), tone.frames());  // no samples gained or lost
  // Channels stay apart and in level: the left carries the louder tone.
  double el = 0.0, er = 0.0, err = 0.0;
  for (size_t i = 2000; i < tone.frames() - 2000; ++i) {
    el += d.left[i] * d.left[i];
    er += d.right[i] * d.right[i];
    err += (d.left[i] - tone.left[i]) * (d.left[i] - tone.left[i]);
  }
  EXPECT_NEAR(std::sqrt(el / er), 2.0, 0.1);
  EXPECT_LT(err / el, 0.01);  // better than -20 dB error
}

TEST(OggEncoder, SameInputGivesSameBytesWithTheFixedSerialNumber) {
  OggEncoder::Settings settings;
  settings.serialNumber = 0x12345678;
  std::vector<unsigned char> a, b;
  ASSERT_EQ(OggEncoder(settings).encode(testTone(), a), 0);
  ASSERT_EQ(OggEncoder(settings).encode(testTone(), b), 0);
  EXPECT_EQ(a, b);
  // The page header's serial number field (bytes 14 - 17, little-endian).
  uint32_t serial = a[14] | (a[15] << 8) | (a[16] << 16) | (static_cast<uint32_t>(a[17]) << 24);
  EXPECT_EQ(serial, 0x12345678u);
}

TEST(OggEncoder, RefusesChannelsOfDifferentLength) {
  StereoBuffer bad(100);
  bad.right.resize(50);
  std::vector<unsigned char> ogg;
  OggEncoder encoder;
  EXPECT_NE(encoder.encode(bad, ogg), 0);
  EXPECT_FALSE(encoder.error().empty());
  EXPECT_TRUE(ogg.empty());
}

TEST(OggEncoder, EncodesSilenceAndAnEmptyBuffer) {
  std::vector<unsigned char> ogg;
  OggEncoder encoder;
  ASSERT_EQ(encoder.encode(StereoBuffer(0), ogg), 0);
  Decoded d;
  ASSERT_TRUE(decode(ogg, d));
  EXPECT_TRUE(d.left.empty());
  ASSERT_EQ(encoder.encode(StereoBuffer(5000), ogg), 0);
  ASSERT_TRUE(decode(ogg, d));
  ASSERT_EQ(d.left.size(), 5000u);
  for (float v : d.left) ASSERT_EQ(v, 0.0f);
}

}  // namespace
