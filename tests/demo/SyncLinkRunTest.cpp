// --sync in a running engine: the player asks a loopback test editor for its tracks in
// order, the editor's keys drive the bound values, its PAUSE and SET_ROW move the clock, and
// its save writes track files that read back as the keys.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "DemoFixtures.h"
#include "SyncLink.h"
#include "runtime/Timer.h"
#include "support/TestSupport.h"
#include "sync/TestEditor.h"

using namespace demo_fixtures;

using SyncLinkRun = DemoRun;

TEST_F(SyncLinkRun, TheEditorsKeysPauseRowAndSaveReachThePlayer) {
  testing_support::ScratchDir saved;
  TestEditor editor;
  editor.startRow = 8;
  bool ran = false;
  const int code =
      run([] { return demoPlayer().initPost(); },
          [&] {
            DemoPlayer& player = demoPlayer();
            Runtime* runtime = Runtime::instance();
            std::vector<ProductionError> errors;
            ASSERT_EQ(readProduction("length: 10\nmusic { member: \"m.ogg\" bpm: 120 rows_per_beat: 4 }\n"
                                     "part { id: \"a\" shader { effect: \"a.cgfx\" } }\n"
                                     "entry { part: \"a\" end: 5 }\n"
                                     "rocket_tracks { prefix: \"sync\" }\n"
"tracks { name: \"post:threshold\" }\n"
                                     "bind { track: \"camera:fov\" camera_fov: true }\n"
                                     "bind { track: \"post:threshold\" post: BLOOM_THRESHOLD }\n",
                                     "p.txtpb", player.production, errors),
                      0);
            ASSERT_EQ(player.bindTracks(), 0);
            editor.keys["camera:fov"] = {{0, 50.0f, SyncKeyType::STEP}};
            SyncLink link;
            link.directory = saved.path();
            std::string error;
            ASSERT_EQ(link.start(":" + std::to_string(editor.port()), &error), 0) << error;
            auto pumpUntil = [&](const std::function<bool()>& done) {
              for (int i = 0; i < 400 && !done(); ++i) {
                link.poll();
                editor.pump();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
              }
              return done();
            };
            const SyncTrackSet& tracks = player.trackBindings.tracks.tracks;
            ASSERT_TRUE(pumpUntil([&] { return tracks[1].keys.size() == 1 && runtime->timer->paused; }));
            EXPECT_EQ(editor.requested, (std::vector<std::string>{"post:threshold", "camera:fov"}));
            EXPECT_DOUBLE_EQ(runtime->timer->seconds(), 1.0);  // row 8 at 8 rows a second

            editor.setKey(0, {0, 0.25f, SyncKeyType::LINEAR});
            editor.setKey(0, {16, 0.75f, SyncKeyType::STEP});
            ASSERT_TRUE(pumpUntil([&] { return tracks[0].keys.size() == 2; }));
            player.trackBindings.apply(1.0, 0.0, nullptr, player.post, *runtime->renderer);
            EXPECT_EQ(player.post.thresholdBase, 0.5f);
            EXPECT_EQ(runtime->renderer->trackFovY, 50.0f);

            editor.setRow(32);
            ASSERT_TRUE(pumpUntil([&] { return runtime->timer->seconds() == 4.0; }));
            editor.pause(false);
            ASSERT_TRUE(pumpUntil([&] { return !runtime->timer->paused; }));

            editor.save();
            ASSERT_TRUE(pumpUntil([&] { return std::filesystem::exists(saved.file("sync_post-3Athreshold.track")); }));
            SyncTrack back;
            ASSERT_EQ(readSyncTrackFile(saved.file("sync_post-3Athreshold.track"), &back, &error), 0) << error;
            EXPECT_EQ(back.keys, tracks[0].keys);
            EXPECT_TRUE(std::filesystem::exists(saved.file("sync-tracks.txtpb")));
            link.client->stop();
            ran = true;
          });
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(ran);
}
