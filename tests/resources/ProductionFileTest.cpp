// The production file's reader and checker: every rule's error names the file and the
// place, every error of a file is reported, times in beats and rows resolve at the tempo,
// and the built-in Veltro 12 production is the timeline the frame has always played.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "BuiltinProduction.h"
#include "resources/Loader.h"
#include "resources/ProductionFile.h"
#include "sound/Sound.h"
#include "sync/Sync.h"
#include "support/TestSupport.h"

namespace {

const char* const kParts =
    "part { id: \"a\" shader { effect: \"shaders/a.cgfx\" } }\n"
    "part { id: \"b\" scene { member: \"b.pb\" } }\n";

std::vector<ProductionError> errorsOf(const std::string& text, ProductionFile* out = nullptr) {
  ProductionFile production;
  std::vector<ProductionError> errors;
  const int result = readProduction(text, "p.txtpb", production, errors);
  EXPECT_EQ(result != 0, !errors.empty());
  if (out) *out = production;
  return errors;
}

std::string joined(const std::vector<ProductionError>& errors) {
  std::string text;
  for (const ProductionError& e : errors) text += e.text() + "\n";
  return text;
}

}  // namespace

TEST(ProductionFile, SyntaxErrorsNameTheFileLineAndColumnAndUnknownFieldsDoNotStopTheCheck) {
  // An unknown field is skipped and reported, and the rest of the file is still checked.
  auto errors = errorsOf(std::string("length: 10\n  colour: 3\n") + kParts + "entry { part: \"c\" end: 5 }\n");
  ASSERT_EQ(errors.size(), 2u) << joined(errors);
  EXPECT_EQ(errors[0].line, 2);
  EXPECT_GT(errors[0].column, 2);
  EXPECT_NE(errors[0].message.find("colour"), std::string::npos);
  EXPECT_EQ(errors[1].text(), "p.txtpb:5:9: entry 1 (part \"c\"): there is no part \"c\"");

  errors = errorsOf(std::string("length: 10\n") + kParts + "entry { part: \"a\" end: 5 in: FROM_BLAK }\n");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].line, 4);
  EXPECT_NE(errors[0].message.find("FROM_BLAK"), std::string::npos);

  errors = errorsOf("length: 10\npart { id: \"a\" ");  // cut short
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].line, 2);
}

TEST(ProductionFile, TheTimelinesRulesEachNameTheEntry) {
  const std::string head = std::string("length: 40\n") + kParts;
  struct Case {
    const char* entries;
    const char* expected;
  } cases[] = {
      {"entry { part: \"a\" start: 5 end: 5 }", "entry 1 (part \"a\"): ends at 5 s, not after its start at 5 s"},
      {"entry { part: \"a\" end: 5 fade_in: -1 }", "a fade cannot be negative"},
      {"entry { part: \"a\" end: 5 fade_out: 6 }", "a fade is longer than the entry"},
      {"entry { part: \"a\" end: 5 in: TO_BLACK }", "TO_BLACK is a transition out, not in"},
      {"entry { part: \"a\" end: 10 fade_out: 2 out: CROSSFADE_OUT }", "a cross-fade out that no later entry takes in"},
      {"entry { part: \"b\" start: 0 end: 5 fade_in: 1 in: WIPE_IN }", "a wipe in with no wipe out of an earlier entry"},
      // In the wrong order: the incoming part's entry comes first.
      {"entry { part: \"b\" start: 8 end: 20 fade_in: 2 in: CROSSFADE_IN }\n"
       "entry { part: \"a\" end: 10 fade_out: 2 out: CROSSFADE_OUT }",
       "entry 1 (part \"b\"): a cross-fade in with no cross-fade out"},
      // Two cross-fades at once would share the transition targets.
      {"entry { part: \"a\" end: 10 fade_out: 4 out: CROSSFADE_OUT }\n"
       "entry { part: \"b\" start: 6 end: 20 fade_in: 4 in: CROSSFADE_IN }\n"
       "entry { part: \"b\" end: 11 fade_out: 4 out: WIPE_OUT }\n"
       "entry { part: \"a\" start: 7 end: 20 fade_in: 4 in: WIPE_IN }",
       "entry 4 (part \"a\"): its wipe overlaps the transition of entries 1 and 2"},
      {"entry { part: \"a\" end_beat: 8 }", "end_beat is in beats or rows, but the music gives no bpm"},
  };
  for (const Case& c : cases) {
    const auto errors = errorsOf(head + c.entries + "\n");
    // Entries in the wrong order leave both sides unpaired: two errors, the first the one sought.
    ASSERT_FALSE(errors.empty()) << c.entries;
    EXPECT_LE(errors.size(), 2u) << c.entries << "\n" << joined(errors);
    EXPECT_NE(errors[0].text().find(c.expected), std::string::npos) << errors[0].text();
    EXPECT_GE(errors[0].line, 4) << errors[0].text();
  }

  std::string many = head;
  for (int i = 0; i < kMaxProductionEntries + 1; ++i) many += "entry { part: \"a\" end: 1 }\n";
  const auto errors = errorsOf(many);
  ASSERT_EQ(errors.size(), 1u) << joined(errors);
  EXPECT_NE(errors[0].text().find("p.txtpb:68:1: entry 65 (part \"a\"): the timeline holds at most 64 entries"),
            std::string::npos)
      << errors[0].text();
}

TEST(ProductionFile, TimesInBeatsAndRowsResolveAtTheTempoAndAPairedCrossFadeChecks) {
  ProductionFile production;
  const auto errors = errorsOf(std::string("length_beats: 64\nmusic { member: \"m.ogg\" bpm: 120 rows_per_beat: 4 }\n") +
                                   kParts +
                                   "entry { part: \"a\" end_beat: 20 fade_out_beats: 4 out: CROSSFADE_OUT }\n"
                                   "entry { part: \"b\" start_row: 64 end: 32 fade_in_rows: 16 in: CROSSFADE_IN }\n",
                               &production);
  ASSERT_TRUE(errors.empty()) << joined(errors);
  EXPECT_DOUBLE_EQ(production.length, 32.0);
  ASSERT_EQ(production.timeline.size(), 2u);
  EXPECT_EQ(production.timeline[0].end, 10.0f);
  EXPECT_EQ(production.timeline[0].fadeOut, 2.0f);
  EXPECT_EQ(production.timeline[0].outKind, 5);
  EXPECT_EQ(production.timeline[1].start, 8.0f);
  EXPECT_EQ(production.timeline[1].fadeIn, 2.0f);
  EXPECT_EQ(production.timeline[1].part, 1);
}

TEST(ProductionFile, MembersThatAreMissingAreNamedWithThePartsPlace) {
  testing_support::ScratchDir dir;
  std::filesystem::create_directories(dir.file("shaders"));
  testing_support::writeFile(dir.file("shaders/a.cgfx"), "x");
  Loader loader;
  ASSERT_EQ(loader.openArchive(dir.path()), 0);
  ProductionFile production;
  std::vector<ProductionError> errors;
  ASSERT_EQ(readProduction(std::string("length: 10\nmusic { member: \"m.ogg\" }\n") + kParts +
                               "entry { part: \"a\" end: 5 }\n",
                           "p.txtpb", production, errors),
            0);
  EXPECT_EQ(checkMembers(production, loader, errors), 1);
  ASSERT_EQ(errors.size(), 2u) << joined(errors);
  EXPECT_NE(errors[0].text().find("the music m.ogg is not in"), std::string::npos) << errors[0].text();
  EXPECT_EQ(errors[1].line, 4);
  EXPECT_NE(errors[1].text().find("part \"b\": the scene b.pb is not in"), std::string::npos) << errors[1].text();
}

TEST(ProductionFile, TheBuiltInProductionIsVeltro12sTimelineAndTheArchiveHoldsTheSameText) {
  ProductionFile production;
  std::vector<ProductionError> errors;
  ASSERT_EQ(readProduction(std::string(veltro12ProductionText()), "built-in", production, errors), 0) << joined(errors);
  EXPECT_EQ(production.message.title(), "Veltro 12");
  EXPECT_EQ(production.length, 125.0);
  EXPECT_EQ(production.message.music().member(), Sound::kMusicPath);
  ASSERT_EQ(production.timeline.size(), 1u);
  const ResolvedEntry& city = production.timeline[0];
  EXPECT_TRUE(production.message.part(city.part).has_city());
  EXPECT_EQ(production.message.part(city.part).city().cars_from(), 43.0);
  EXPECT_EQ(city.start, 0.0f);
  EXPECT_EQ(city.end, 120.0f);
  EXPECT_EQ(city.fadeIn, 2.0f);
  EXPECT_EQ(city.fadeOut, 4.0f);
  EXPECT_EQ(city.inKind, 1);
  EXPECT_EQ(city.outKind, 2);
  // The threshold's wave and the flash's band are tracks bound to the post chain.
  ASSERT_EQ(production.message.tracks_size(), 2);
  EXPECT_EQ(production.message.tracks(0).wave().ShortDebugString(), "base: 0.5 amplitude: 0.02 rate: 24");
  EXPECT_EQ(production.message.tracks(1).band().ShortDebugString(), "first_bin: 2 gain: 0.1");
  ASSERT_EQ(production.message.bind_size(), 2);
  EXPECT_EQ(production.message.bind(0).post(), Pylon::Binding::BLOOM_THRESHOLD);
  EXPECT_EQ(production.message.bind(1).post(), Pylon::Binding::FLASH);

  Loader archive;
  ASSERT_EQ(archive.openArchive(std::string(PYLON_BINARY_DIR) + "/data.zip"), 0);
  const uint32_t size = archive.getSize(kProductionMember);
  std::string text(size, '\0');
  ASSERT_EQ(archive.read(kProductionMember, text.data()), 0);
  EXPECT_EQ(text, veltro12ProductionText());
  errors.clear();
  EXPECT_EQ(checkMembers(production, archive, errors), 0) << joined(errors);
}

TEST(ProductionFile, TracksTakeTheSyncTextFormAndBindingsNameTheirTrackAndTarget) {
  // The text the sync module saves reads as the production's tracks as it is.
  SyncTrackSet saved;
  SyncTrack& fov = saved[saved.add("camera:fov")];
  fov.setKey({0, 60.0f, SyncKeyType::SMOOTH});
  fov.setKey({16, 0.1f, SyncKeyType::RAMP});
  const std::string head = std::string("length: 10\nmusic { member: \"m.ogg\" bpm: 120 }\n") + kParts +
                           "entry { part: \"a\" end: 5 }\n";
  ProductionFile production;
  auto errors = errorsOf(head + syncTracksText(saved) + "bind { track: \"camera:fov\" camera_fov: true }\n", &production);
  ASSERT_TRUE(errors.empty()) << joined(errors);
  ASSERT_EQ(production.message.tracks_size(), 1);
  const Pylon::Track& track = production.message.tracks(0);
  ASSERT_EQ(track.key_size(), 2);
  EXPECT_EQ(track.key(1).row(), 16u);
  EXPECT_EQ(track.key(1).value(), 0.1f);
  EXPECT_EQ(track.key(0).type(), Pylon::Key::SMOOTH);

  errors = errorsOf(head +
                    "tracks { name: \"a:b\" key { row: 4 value: 1 } key { row: 4 value: 2 } }\n"  // line 6
                    "tracks { name: \"beat\" beat: true key { row: 1 value: 1 } }\n"
                    "tracks { name: \"band\" band { first_bin: 9 last_bin: 3 } }\n"
                    "bind { track: \"nope\" post: BLOOM_THRESHOLD }\n"  // line 9
                    "bind { track: \"a:b\" parameter: \"a:fx\" }\n"
                    "bind { track: \"a:b\" parameter: \"z:fx:Gain\" }\n"
                    "bind { track: \"a:b\" fade: \"q\" }\n"
                    "bind { track: \"a:b\" }\n");
  ASSERT_EQ(errors.size(), 8u) << joined(errors);
  EXPECT_EQ(errors[0].text(), "p.txtpb:6:46: track \"a:b\": the key on row 4 does not come after the row of the key before it");
  EXPECT_NE(errors[1].message.find("fed from the music"), std::string::npos);
  EXPECT_NE(errors[2].message.find("bins 1 to 512"), std::string::npos);
  EXPECT_EQ(errors[3].text(), "p.txtpb:9:8: binding 1: there is no track \"nope\" (and no rocket_tracks to read it from)");
  EXPECT_NE(errors[4].message.find("\"a:fx\" is not part:effect:parameter"), std::string::npos);
  EXPECT_NE(errors[5].message.find("there is no part \"z\""), std::string::npos);
  EXPECT_NE(errors[6].message.find("there is no part \"q\""), std::string::npos);
  EXPECT_NE(errors[7].message.find("has no target"), std::string::npos);

  // With track files, a binding may name a track the file does not declare.
  errors = errorsOf(head + "rocket_tracks { prefix: \"sync\" }\nbind { track: \"x:y\" fade: \"b\" }\n");
  EXPECT_TRUE(errors.empty()) << joined(errors);
}
