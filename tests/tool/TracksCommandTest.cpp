// pylon tracks: every track's value as JSON with round-trip digits, over a directory holding
// a production and a track file written byte by byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/TestSupport.h"

using namespace testing_support;

TEST(TracksCommand, PrintsEveryTrackAtATimeOrRowWithRoundTripDigitsAndRefusesBadFiles) {
  ScratchDir dir;
  writeFile(dir.file("production.txtpb"),
            "length: 10\nmusic { bpm: 120 rows_per_beat: 4 member: \"m.ogg\" }\n"
            "part { id: \"a\" shader { effect: \"a.cgfx\" } }\nentry { part: \"a\" end: 5 }\n"
            "rocket_tracks { prefix: \"sync\" }\n"
            "tracks { name: \"beat\" beat: true }\n"
            "bind { track: \"fx:gain\" fade: \"a\" }\n");
  // fx:gain: row 0, 0.0f, SMOOTH; row 10, 1.0f (0x3F800000), STEP.
  writeFile(dir.file("sync_fx-3Again.track"), std::string("\x02\x00\x00\x00"
                                                          "\x00\x00\x00\x00"
                                                          "\x00\x00\x00\x00"
                                                          "\x02"
                                                          "\x0A\x00\x00\x00"
                                                          "\x00\x00\x80\x3F"
                                                          "\x00",
                                                          22));
  const std::string pylon = std::string(PYLON_BINARY_DIR) + "/pylon tracks " + dir.path();
  // Row 3: u = 0.3, 0.09 x 2.4 = 0.216 in double.
  const double u = 0.3, smooth = u * u * (3.0 - 2.0 * u);
  char expected[128];
  std::snprintf(expected, sizeof expected, "{\"beat\": 0.75, \"fx:gain\": %.17g}\n", 0.0 + 1.0f * smooth);
  CommandResult result = runCommand(pylon + " --row 3", dir.file("err.txt"));
  EXPECT_EQ(result.rc, 0) << result.err;
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(std::strtod(result.out.c_str() + result.out.find("gain\": ") + 7, nullptr), smooth);
  // 2.5 s is row 20, past the last key; 1.25 beats into the beat.
  result = runCommand(pylon + " --at 2.625", dir.file("err.txt"));
  EXPECT_EQ(result.out, "{\"beat\": 0.25, \"fx:gain\": 1}\n") << result.err;

  writeFile(dir.file("sync_fx-3Again.track"), std::string("\x05\x00\x00\x00\x00", 5));
  result = runCommand(pylon, dir.file("err.txt"));
  EXPECT_EQ(result.rc, 1);
  EXPECT_NE(result.err.find("sync_fx-3Again.track"), std::string::npos) << result.err;
}
