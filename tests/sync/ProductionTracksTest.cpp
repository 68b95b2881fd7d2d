// A production's tracks: keys from the file, keys from track files in the data directory
// (which win), tracks only a binding names, and the values fed from the music.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "BuiltinProduction.h"
#include "resources/Loader.h"
#include "scene/Renderer.h"
#include "support/TestSupport.h"
#include "sync/ProductionTracks.h"

TEST(ProductionTracks, KeysComeFromTheFileThenFromTrackFilesAndMusicFedTracksFollowTheMusic) {
  testing_support::ScratchDir dir;
  // camera:fov in a track file: one key, row 0, 30.0f (0x41F00000), STEP.
  testing_support::writeFile(dir.file("sync_camera-3Afov.track"), std::string("\x01\x00\x00\x00"
                                                                              "\x00\x00\x00\x00"
                                                                              "\x00\x00\xF0\x41"
                                                                              "\x00",
                                                                              13));
  const std::string text =
      "length: 10\nmusic { member: \"m.ogg\" bpm: 120 rows_per_beat: 4 }\n"
      "part { id: \"a\" shader { effect: \"a.cgfx\" } }\nentry { part: \"a\" end: 5 }\n"
      "rocket_tracks { prefix: \"sync\" }\n"
      "tracks { name: \"post:threshold\" key { row: 0 value: 0 type: LINEAR } key { row: 8 value: 1 } }\n"
      "tracks { name: \"camera:fov\" key { row: 0 value: 70 } }\n"
      "tracks { name: \"music:beat\" beat: true }\n"
      "tracks { name: \"music:bass\" band { first_bin: 1 last_bin: 2 gain: 2 } }\n"
      "bind { track: \"a:fade\" fade: \"a\" }\n";
  ProductionFile production;
  std::vector<ProductionError> errors;
  ASSERT_EQ(readProduction(text, "p.txtpb", production, errors), 0);
  Loader loader;
  ASSERT_EQ(loader.openArchive(dir.path()), 0);
  ProductionTracks tracks;
  std::string error;
  ASSERT_EQ(tracks.load(production, &loader, &error), 0) << error;
  ASSERT_EQ(tracks.tracks.size(), 5);
  EXPECT_EQ(tracks.tracks[4].name, "a:fade");  // bound, not declared: after the declared ones

  std::vector<float> spectrum(512, 0.0f);
  spectrum[0] = 1.0f, spectrum[1] = 3.0f;
  tracks.evaluate(0.75, 1.0 / 60, spectrum.data());  // row 6, 1.5 beats
  EXPECT_EQ(tracks.value(0), 0.75);
  EXPECT_EQ(tracks.value(1), 30.0);  // the track file's key, not the production's
  EXPECT_EQ(tracks.value(2), 0.5);
  EXPECT_EQ(tracks.value(3), 4.0);  // mean 2 times gain 2, no attack
  EXPECT_EQ(tracks.value(4), 0.0);  // no key anywhere

  // A bad track file is refused by name.
  testing_support::writeFile(dir.file("sync_camera-3Afov.track"), std::string("\x02\x00\x00\x00", 4));
  ASSERT_EQ(loader.openArchive(dir.path()), 0);
  EXPECT_EQ(tracks.load(production, &loader, &error), 1);
  EXPECT_NE(error.find("sync_camera-3Afov.track"), std::string::npos) << error;
}

// Veltro 12's threshold and flash are tracks: at any instant, with the frame's spectrum and no
// time since the last frame (a single shot), they give the post chain's wave and the flash
// bin's opacity of the fixed values they replace, to the bit.
TEST(ProductionTracks, Veltro12sThresholdAndFlashAreTheFixedValuesToTheBit) {
  ProductionFile production;
  std::vector<ProductionError> errors;
  ASSERT_EQ(readProduction(std::string(veltro12ProductionText()), "veltro12", production, errors), 0);
  ProductionTracks tracks;
  std::string error;
  ASSERT_EQ(tracks.load(production, nullptr, &error), 0) << error;
  const int threshold = tracks.find("post:threshold"), flash = tracks.find("post:flash");
  ASSERT_GE(threshold, 0);
  ASSERT_GE(flash, 0);
  Renderer fixed(nullptr), driven(nullptr);
  fixed.fftControl = 2, fixed.flashGain = 0.1f;
  driven.fftControl = 0;
  std::vector<float> spectrum(512, 0.0f);
  for (const double seconds : {0.0, 15.0, 42.99, 43.0, 100.0, 119.99}) {
    for (const float level : {0.0f, 0.0196f, 0.0197f, 0.3f, 7.77f, 12.0f}) {
      spectrum[1] = level * static_cast<float>(1.0 + seconds / 1000);
      tracks.evaluate(seconds, 0.0, spectrum.data());
      const float t = static_cast<float>(seconds);
      EXPECT_EQ(static_cast<float>(tracks.value(threshold)), 0.5f + 0.02f * std::sin(static_cast<float>(24.0f * t)));
      driven.trackFlash = static_cast<float>(tracks.value(flash));
      EXPECT_EQ(driven.beatFlash(spectrum.data()), fixed.beatFlash(spectrum.data())) << seconds << " " << level;
    }
  }
}
