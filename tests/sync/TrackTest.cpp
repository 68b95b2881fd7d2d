#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "support/TestSupport.h"
#include "sync/Sync.h"

using testing_support::readFile;
using testing_support::writeFile;

namespace {

SyncTrack keyed(std::vector<SyncKey> keys) {
  SyncTrack track;
  track.name = "test:value";
  for (const SyncKey& key : keys) track.setKey(key);
  return track;
}

// The value the editor's players compute for k0 < row < k1: the difference in float.
double byFormula(const SyncKey& k0, const SyncKey& k1, double row, double (*shape)(double)) {
  const double u = (row - k0.row) / double(k1.row - k0.row);
  const float d = k1.value - k0.value;
  return k0.value + d * shape(u);
}

}  // namespace

TEST(SyncTrack, EachTypeAtFractionalNegativeAndPastTheEndRows) {
  const SyncTrack track = keyed({{0, 1.0f, SyncKeyType::LINEAR},
                                 {10, 3.0f, SyncKeyType::SMOOTH},
                                 {20, 2.0f, SyncKeyType::RAMP},
                                 {30, 5.0f, SyncKeyType::STEP},
                                 {40, 0.1f, SyncKeyType::LINEAR}});
  // Worked by hand: LINEAR u = 1/4 of 1 -> 3; SMOOTH u = 1/4 and 1/2 of 3 -> 2
  // (f = 1/16 x 5/2 = 5/32; f = 1/2); RAMP u = 1/4 and 3/4 of 2 -> 5 (f = 1/16, 9/16); STEP holds.
  EXPECT_EQ(track.value(-5.0), 1.0);
  EXPECT_EQ(track.value(-0.5), 1.0);
  EXPECT_EQ(track.value(0.0), 1.0);
  EXPECT_EQ(track.value(2.5), 1.5);
  EXPECT_EQ(track.value(10.0), 3.0);
  EXPECT_EQ(track.value(12.5), 3.0 - 5.0 / 32.0);
  EXPECT_EQ(track.value(15.0), 2.5);
  EXPECT_EQ(track.value(22.5), 2.0 + 3.0 / 16.0);
  EXPECT_EQ(track.value(27.5), 2.0 + 3.0 * 9.0 / 16.0);
  EXPECT_EQ(track.value(30.0), 5.0);
  EXPECT_EQ(track.value(39.75), 5.0);
  EXPECT_EQ(track.value(40.0), double(0.1f));  // the last key's float, widened
  EXPECT_EQ(track.value(1e12), double(0.1f));
  EXPECT_EQ(track.value(NAN), 1.0);  // held at the first key, never an index outside them
  EXPECT_EQ(SyncTrack{}.value(3.0), 0.0);
  EXPECT_EQ(keyed({{7, -2.0f, SyncKeyType::SMOOTH}}).value(100.0), -2.0);
}

TEST(SyncTrack, SmoothAndRampTakeTheDifferenceInFloatBitForBit) {
  const SyncKey k0{0, 0.1f, SyncKeyType::SMOOTH}, k1{3, 0.7f, SyncKeyType::LINEAR};
  const SyncTrack smooth = keyed({k0, k1});
  SyncTrack ramp = smooth;
  ramp.keys[0].type = SyncKeyType::RAMP;
  auto smoothShape = [](double u) { return u * u * (3.0 - 2.0 * u); };
  auto rampShape = [](double u) { return u * u; };
  for (const double row : {1.0, 1.7, 2.9999}) {
    EXPECT_EQ(smooth.value(row), byFormula(k0, k1, row, smoothShape)) << row;
    EXPECT_EQ(ramp.value(row), byFormula(k0, k1, row, rampShape)) << row;
  }
  // The difference taken in double would give another value: the test tells them apart.
  const double u = 1.0 / 3.0;
  EXPECT_NE(smooth.value(1.0), double(0.1f) + (double(0.7f) - double(0.1f)) * smoothShape(u));
}

TEST(SyncTrack, KeysStaySortedAndRowsFollowTheTempo) {
  SyncTrack track;
  track.setKey({20, 2.0f, SyncKeyType::STEP});
  track.setKey({5, 1.0f, SyncKeyType::STEP});
  track.setKey({12, 9.0f, SyncKeyType::STEP});
  track.setKey({12, 4.0f, SyncKeyType::RAMP});  // replaces the key on its row
  ASSERT_EQ(track.keys.size(), 3u);
  EXPECT_EQ(track.keys[1], (SyncKey{12, 4.0f, SyncKeyType::RAMP}));
  EXPECT_EQ(track.keys[0].row, 5u);
  EXPECT_EQ(track.deleteKey(12), 0);
  EXPECT_EQ(track.deleteKey(12), 1);
  EXPECT_EQ(track.keyAt(12), nullptr);
  EXPECT_EQ(track.value(12.0), 1.0);

  EXPECT_EQ(syncRow(43.0, 120.0, 8.0), 688.0);
  EXPECT_EQ(syncRow(0.1, 125.0, 4.0), 0.1 * 125.0 * 4.0 / 60.0);
  EXPECT_EQ(syncSeconds(688.0, 120.0, 8.0), 43.0);
  EXPECT_EQ(syncSeconds(10.0, 0.0, 8.0), 0.0);

  SyncTrackSet set;
  EXPECT_EQ(set.add("a:x"), 0);
  EXPECT_EQ(set.add("b:y"), 1);
  EXPECT_EQ(set.add("a:x"), 0);
  EXPECT_EQ(set.find("b:y"), 1);
  EXPECT_EQ(set.find("c"), -1);
}

TEST(SyncTrackFile, NamesEncodeEveryOtherByteAsHex) {
  EXPECT_EQ(syncTrackFileName("sync", "camera:fov"), "sync_camera-3Afov.track");
  EXPECT_EQ(syncTrackFileName("sync", "Az09._/ b\xC3\xA9"), "sync_Az09._/-20b-C3-A9.track");
  std::string relative, error;
  EXPECT_EQ(syncTrackFilePath("sync", "group/x", &relative, &error), 0);
  EXPECT_EQ(relative, "sync_group/x.track");
  EXPECT_EQ(syncTrackFilePath("sync", "a/../../../etc/x", &relative, &error), 1);
  EXPECT_NE(error.find("outside"), std::string::npos);
  EXPECT_EQ(syncTrackFilePath("/tmp/sync", "x", &relative, &error), 1);
}

TEST(SyncTrackFile, HandMadeBytesReadBackAndBadSizesAreRefusedByName) {
  testing_support::ScratchDir dir;
  // Two keys: row 0, 1.0f (0x3F800000), LINEAR; row 16, -2.5f (0xC0200000), SMOOTH.
  const std::string bytes(
      "\x02\x00\x00\x00"
      "\x00\x00\x00\x00"
      "\x00\x00\x80\x3F"
      "\x01"
      "\x10\x00\x00\x00"
      "\x00\x00\x20\xC0"
      "\x02",
      22);
  writeFile(dir.file("sync_a-3Ab.track"), bytes);
  SyncTrack track;
  std::string error;
  ASSERT_EQ(readSyncTrackFile(dir.file("sync_a-3Ab.track"), &track, &error), 0) << error;
  EXPECT_EQ(track.keys, (std::vector<SyncKey>{{0, 1.0f, SyncKeyType::LINEAR}, {16, -2.5f, SyncKeyType::SMOOTH}}));

  // Written back: the same bytes, through a temporary file that does not stay.
  writeFile(dir.file("out.track"), "old");
  ASSERT_EQ(writeSyncTrackFile(dir.file("out.track"), track, &error), 0) << error;
  EXPECT_EQ(readFile(dir.file("out.track")), bytes);
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.track.writing")));

  struct Bad {
    std::string bytes, problem;
  };
  const std::vector<Bad> bad = {
      {bytes.substr(0, 3), "too short"},
      {std::string("\x03\x00\x00\x00", 4) + bytes.substr(4), "the count says 3 keys (27 bytes) but only 18"},
      {std::string("\xFF\xFF\xFF\xFF", 4), "the count says 4294967295 keys"},
      {bytes + "x", "19 bytes after the count are not 9 bytes for each of its 2 keys"},
      {bytes.substr(0, 21) + "\x04", "key 1 (row 16) has the unknown type 4"},
      {bytes.substr(0, 13) + std::string("\x00\x00\x00\x00"
                                         "\x00\x00\xC0\x7F"
                                         "\x01",
                                         9),
       "not a finite number"},
      {bytes.substr(0, 13) + bytes.substr(4, 9), "key 1 (row 0) does not come after"},
  };
  for (const Bad& b : bad) {
    writeFile(dir.file("bad.track"), b.bytes);
    SyncTrack kept = track;
    EXPECT_EQ(readSyncTrackFile(dir.file("bad.track"), &kept, &error), 1) << b.problem;
    EXPECT_EQ(error.find(dir.file("bad.track") + ": "), 0u) << error;
    EXPECT_NE(error.find(b.problem), std::string::npos) << error;
    EXPECT_EQ(kept.keys, track.keys);  // a refused file changes nothing
  }
  EXPECT_EQ(readSyncTrackFile(dir.file("absent.track"), &track, &error), 1);
  EXPECT_NE(error.find("absent.track"), std::string::npos);
}

TEST(SyncTrackFile, ASetWritesItsFilesAndItsTextForm) {
  testing_support::ScratchDir dir;
  SyncTrackSet set;
  set[set.add("camera:fov")].keys = {{0, 60.0f, SyncKeyType::SMOOTH}, {64, 0.1f, SyncKeyType::STEP}};
  set.add("fx/glow \"hot\"");
  std::string error;
  ASSERT_EQ(writeSyncTrackFiles(dir.path(), "sync", set, &error), 0) << error;
  EXPECT_TRUE(std::filesystem::exists(dir.file("sync_fx/glow-20-22hot-22.track")));

  SyncTrackSet read;
  read.add("camera:fov");
  read.add("fx/glow \"hot\"");
  read.add("never:saved");
  std::vector<std::string> missing;
  ASSERT_EQ(readSyncTrackFiles(dir.path(), "sync", &read, &missing, &error), 0) << error;
  EXPECT_EQ(read[0].keys, set[0].keys);
  EXPECT_TRUE(read[1].keys.empty());
  EXPECT_EQ(missing, std::vector<std::string>{"never:saved"});

  EXPECT_EQ(syncTracksText(set),
            "tracks {\n  name: \"camera:fov\"\n"
            "  key { row: 0 value: 60 type: SMOOTH }\n"
            "  key { row: 64 value: 0.100000001 type: STEP }\n}\n"
            "tracks {\n  name: \"fx/glow \\\"hot\\\"\"\n}\n");
  EXPECT_EQ(std::strtof("0.100000001", nullptr), 0.1f);  // 9 digits read back as the same float
  ASSERT_EQ(writeSyncTracksText(dir.file("tracks.txtpb"), set, &error), 0);
  EXPECT_NE(readFile(dir.file("tracks.txtpb")).find(syncTracksText(set)), std::string::npos);

  set.add("a/../../escape");
  EXPECT_EQ(writeSyncTrackFiles(dir.path(), "sync", set, &error), 1);
  EXPECT_NE(error.find("outside"), std::string::npos);
}

TEST(SyncMusicValues, BandLevelFollowsWithAttackAndReleaseAndTheBeatRamps) {
  float spectrum[SyncBandLevel::kBins] = {};
  spectrum[2] = 0.5f;
  spectrum[3] = 0.75f;
  SyncBandLevel band;
  band.firstBin = 2;
  band.lastBin = 3;
  band.gain = 2.0f;
  band.release = 0.1;
  EXPECT_EQ(band.update(spectrum, 1.0 / 60), 1.25);  // no attack time: at once
  EXPECT_EQ(band.update(spectrum, 0.0), 1.25);       // paused: held
  spectrum[3] = 0.25f;
  EXPECT_EQ(band.update(spectrum, 0.0), 1.25);  // falling, with a release: held at dt 0
  band.release = 0.0;
  EXPECT_EQ(band.update(spectrum, 0.0), 0.75);  // no release: the spectrum now, even at dt 0
  spectrum[3] = 0.75f;
  band.release = 0.1;
  EXPECT_EQ(band.update(spectrum, 0.0), 1.25);  // rising without an attack: at once, at dt 0
  EXPECT_DOUBLE_EQ(band.update(nullptr, 0.1), 1.25 * std::exp(-1.0));
  band.attack = 0.5;
  const double before = band.value();
  EXPECT_DOUBLE_EQ(band.update(spectrum, 0.25), before + (1.25 - before) * (1.0 - std::exp(-0.5)));
  band.firstBin = -40;
  band.lastBin = 9000;  // clamped to the spectrum
  band.reset();
  EXPECT_DOUBLE_EQ(band.update(spectrum, 1e9), 1.25 * 2.0 / 512.0);

  EXPECT_EQ(syncBeatRamp(0.0, 120.0), 0.0);
  EXPECT_EQ(syncBeatRamp(0.25, 120.0), 0.5);
  EXPECT_EQ(syncBeatRamp(1.375, 120.0), 0.75);
  EXPECT_EQ(syncBeatRamp(-0.25, 120.0), 0.5);
  EXPECT_EQ(syncBeatRamp(3.0, 0.0), 0.0);
}

TEST(SyncClockValues, WaveIsThePostChainsThresholdToTheBit) {
  // The post chain's threshold, as it computes it from its float members and the frame's
  // float time.
  const float base = 0.5f, amplitude = 0.02f, rate = 24.0f;
  for (const double seconds : {0.0, 1.0 / 60, 5.0, 42.99, 43.0, 43.5, 100.0, 119.99, 121.0, 1e4 + 1.0 / 3, -7.25}) {
    const float t = static_cast<float>(seconds);
    const float chain = base + amplitude * std::sin(static_cast<float>(rate * t));
    const float wave = syncWave(base, amplitude, rate, seconds);
    EXPECT_EQ(std::memcmp(&chain, &wave, sizeof chain), 0) << seconds;
  }
  EXPECT_EQ(syncWave(0.25f, 0.0f, 3.0f, 2.0), 0.25f);
}
