#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "TestEditor.h"
#include "support/TestSupport.h"
#include "sync/Sync.h"

namespace {

// A player's side of the link with its clock, and the editor it talks to, polled in turn.
struct Link {
  SyncTrackSet tracks;
  SyncClient client{&tracks};
  TestEditor editor;
  double now = 0.0;  // poll()'s clock: a frame of 1/60 s each round
  double row = 0.0;
  bool playing = true;
  std::vector<std::string> events, messages;

  explicit Link(std::vector<std::string> names = {"camera:fov", "post:bloom", "fx:glow"}) {
    for (const std::string& name : names) tracks.add(name);
    client.retrySeconds = 0.05;
    client.answerSeconds = 1.0;
    client.onPause = [this](bool on) { events.push_back(on ? "pause 1" : "pause 0"); };
    client.onSetRow = [this](uint32_t r) {
      events.push_back("row " + std::to_string(r));
      row = r;  // the player seeks its clock there
    };
    client.onSave = [this] { events.push_back("save"); };
    client.onMessage = [this](const std::string& text) { messages.push_back(text); };
  }
  int start() { return client.start("127.0.0.1", editor.port()); }
  // Polls both sides until `done` (true) or 400 frames have gone by (false).
  bool until(const std::function<bool()>& done) {
    for (int frame = 0; frame < 400; ++frame) {
      client.poll(now, row, playing);
      editor.pump();
      if (done()) return true;
      now += 1.0 / 60;
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    return false;
  }
  bool upWithAllTracks() {
    return until([&] { return client.connected() && editor.requested.size() == size_t(tracks.size()); });
  }
  bool said(const std::string& part) const {
    for (const std::string& m : messages)
      if (m.find(part) != std::string::npos) return true;
    return false;
  }
};

std::string getTrack(const std::string& name) { return std::string(1, '\2') + bigEndian(uint32_t(name.size())) + name; }

}  // namespace

TEST(SyncClient, GreetsAsksForEveryTrackInOrderAndFollowsTheEditorsKeys) {
  Link link;
  link.editor.startRow = 12;
  link.editor.keys["post:bloom"] = {{0, 0.5f, SyncKeyType::LINEAR}, {16, 1.5f, SyncKeyType::STEP}};
  ASSERT_EQ(link.start(), 0);
  ASSERT_TRUE(link.upWithAllTracks());
  EXPECT_EQ(link.editor.received.substr(0, 19 + 15 + 15 + 12),
            "hello, synctracker!" + getTrack("camera:fov") + getTrack("post:bloom") + getTrack("fx:glow"));
  EXPECT_EQ(link.editor.requested, (std::vector<std::string>{"camera:fov", "post:bloom", "fx:glow"}));
  ASSERT_TRUE(link.until([&] { return link.tracks[1].keys.size() == 2; }));
  EXPECT_EQ(link.tracks[1].value(8.0), 1.0);
  EXPECT_EQ(link.events, (std::vector<std::string>{"pause 1", "row 12"}));  // what the editor sends on connect
  EXPECT_TRUE(link.client.paused());
  EXPECT_TRUE(link.said("connected to the editor at 127.0.0.1:"));

  link.editor.setKey(0, {0, 45.0f, SyncKeyType::LINEAR});
  link.editor.setKey(0, {8, 90.0f, SyncKeyType::SMOOTH});
  ASSERT_TRUE(link.until([&] { return link.tracks[0].value(4.0) == 67.5; }));
  link.editor.setKey(0, {0, 45.0f, SyncKeyType::RAMP});  // the type changes the shape
  ASSERT_TRUE(link.until([&] { return link.tracks[0].value(4.0) == 45.0 + 45.0 / 4; }));
  link.editor.deleteKey(0, 8);
  ASSERT_TRUE(link.until([&] { return link.tracks[0].value(4.0) == 45.0; }));
  link.editor.deleteKey(0, 3);  // no key there: nothing changes, the link stays
  link.editor.setKey(2, {4, -1.0f, SyncKeyType::STEP});
  ASSERT_TRUE(link.until([&] { return link.tracks[2].keys.size() == 1; }));
  EXPECT_TRUE(link.client.connected());

  // A track bound after the link came up is asked for at once, with the next index.
  link.client.requestTrack(link.tracks.add("late:one"));
  ASSERT_TRUE(link.until([&] { return link.editor.requested.size() == 4; }));
  EXPECT_EQ(link.editor.requested[3], "late:one");
}

TEST(SyncClient, RowsGoBothWaysAndPauseAndSaveReachThePlayer) {
  testing_support::ScratchDir dir;
  Link link;
  link.editor.keys["camera:fov"] = {{0, 60.0f, SyncKeyType::SMOOTH}, {32, 30.0f, SyncKeyType::STEP}};
  link.client.onSave = [&] {
    link.events.push_back("save");
    std::string error;
    EXPECT_EQ(writeSyncTrackFiles(dir.path(), "sync", link.tracks, &error), 0) << error;
  };
  ASSERT_EQ(link.start(), 0);
  ASSERT_TRUE(link.upWithAllTracks());
  ASSERT_TRUE(link.until([&] { return link.tracks[0].keys.size() == 2; }));
  link.events.clear();

  // While playing, each new whole row goes to the editor once.
  link.row = 3.5;
  ASSERT_TRUE(link.until([&] { return !link.editor.rows.empty(); }));
  link.row = 3.9;
  link.until([] { return false; });
  link.row = 4.0;
  ASSERT_TRUE(link.until([&] { return link.editor.rows.size() == 2; }));
  link.playing = false;  // paused: the row moves (scrubbing) but is not sent
  link.row = 9.0;
  link.until([] { return false; });
  EXPECT_EQ(link.editor.rows, (std::vector<uint32_t>{3, 4}));

  // The editor moves the clock, resumes it and asks for a save.
  link.playing = true;
  link.editor.setRow(100);
  link.editor.pause(false);
  link.editor.save();
  ASSERT_TRUE(link.until([&] { return link.events.size() == 3; }));
  EXPECT_EQ(link.events, (std::vector<std::string>{"row 100", "pause 0", "save"}));
  EXPECT_FALSE(link.client.paused());
  link.until([&] { return link.editor.rows.size() > 3; });
  // Row 9 where it resumed, then nothing: the editor's own row is not echoed back.
  EXPECT_EQ(link.editor.rows, (std::vector<uint32_t>{3, 4, 9}));

  // The saved files play alone: read back into a player without a link.
  SyncTrackSet alone;
  alone.add("camera:fov");
  std::string error;
  ASSERT_EQ(readSyncTrackFiles(dir.path(), "sync", &alone, nullptr, &error), 0) << error;
  EXPECT_EQ(alone[0].keys, link.tracks[0].keys);
  EXPECT_EQ(alone[0].value(16.0), link.tracks[0].value(16.0));
}

TEST(SyncClient, ALostLinkKeepsTheKeysAndReconnectsAskingInTheSameOrder) {
  Link link;
  link.editor.keys["fx:glow"] = {{0, 2.0f, SyncKeyType::LINEAR}, {10, 4.0f, SyncKeyType::LINEAR}};
  ASSERT_EQ(link.start(), 0);
  ASSERT_TRUE(link.upWithAllTracks());
  ASSERT_TRUE(link.until([&] { return link.tracks[2].keys.size() == 2; }));

  link.editor.dropPlayer();
  ASSERT_TRUE(link.until([&] { return !link.client.connected(); }));
  EXPECT_TRUE(link.said("link closed, playing on with the keys it has"));
  EXPECT_EQ(link.tracks[2].value(5.0), 3.0);

  link.editor.keys["fx:glow"] = {{0, 7.0f, SyncKeyType::STEP}};  // edited while apart
  ASSERT_TRUE(link.upWithAllTracks());
  EXPECT_EQ(link.editor.accepted, 2);
  EXPECT_EQ(link.client.connections(), 2);
  EXPECT_EQ(link.editor.received.substr(0, 19), "hello, synctracker!");
  EXPECT_EQ(link.editor.requested, (std::vector<std::string>{"camera:fov", "post:bloom", "fx:glow"}));
  ASSERT_TRUE(link.until([&] { return link.tracks[2].value(5.0) == 7.0; }));
  EXPECT_EQ(link.tracks[2].keys.size(), 1u);  // the editor's keys replace the old ones

  // No editor at all: attempts go on without a message each, and without waiting.
  link.editor.dropPlayer();
  link.editor.stopListening();
  link.messages.clear();
  const auto begun = std::chrono::steady_clock::now();
  link.until([] { return false; });
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(5));
  EXPECT_FALSE(link.client.connected());
  EXPECT_LE(link.messages.size(), 2u);  // the lost link, then one failed attempt
  EXPECT_EQ(link.tracks[2].value(5.0), 7.0);
}

TEST(SyncClient, GarbageTruncatedOrSilentEditorsCloseTheLinkAndSaySo) {
  struct Case {
    std::string bytes;  // sent after the greeting
    bool thenClose;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"\x07", false, "unknown command 7 from the editor"},
      {std::string("\x00", 1) + bigEndian(9) + bigEndian(0) + bigEndian(0) + "\x01", false,
       "SET_KEY for track 9 from the editor at 127.0.0.1:"},
      {std::string("\x01", 1) + bigEndian(3) + bigEndian(0), false, "DELETE_KEY for track 3"},
      {std::string("\x00", 1) + bigEndian(0) + bigEndian(0) + bigEndian(0) + "\x09", false,
       "SET_KEY with the unknown type 9"},
      {std::string("\x00\x00\x00", 3), true, "closed the link in the middle of a command (3 of 14 bytes)"},
      {std::string("\x03\x00", 2), false, "stayed incomplete for 1 s (2 of 5 bytes)"},
  };
  for (const Case& c : cases) {
    Link link;
    link.editor.keys["camera:fov"] = {{0, 1.0f, SyncKeyType::STEP}};
    ASSERT_EQ(link.start(), 0);
    ASSERT_TRUE(link.upWithAllTracks()) << c.message;
    ASSERT_TRUE(link.until([&] { return link.tracks[0].keys.size() == 1; }));
    link.editor.send(c.bytes);
    if (c.thenClose) link.editor.dropPlayer();
    EXPECT_TRUE(link.until([&] { return !link.client.connected(); })) << c.message;
    EXPECT_TRUE(link.said(c.message)) << c.message << "\nlast: " << link.messages.back();
    EXPECT_EQ(link.tracks[0].value(0.0), 1.0);         // keeps playing with what it has
    EXPECT_TRUE(link.upWithAllTracks()) << c.message;  // and comes back
  }

  // A program that answers the greeting wrongly, and one that never answers.
  for (const bool answers : {true, false}) {
    Link link;
    link.editor.greets = false;
    ASSERT_EQ(link.start(), 0);
    ASSERT_TRUE(link.until([&] { return link.editor.received.size() >= 19; }));
    if (answers) link.editor.send("hello, worl!");
    const std::string expected =
        answers ? "did not greet as a sync editor (\"hello, demo!\")" : "did not greet within 1 s";
    EXPECT_TRUE(link.until([&] { return link.said(expected); })) << expected;
    EXPECT_FALSE(link.client.connected());
    EXPECT_TRUE(link.editor.requested.empty());
  }
}

TEST(SyncClient, AddressesReadAsHostAndPortWithTheEditorsDefaults) {
  struct Case {
    std::string text, host;
    uint16_t port;
  };
  for (const Case& c : std::vector<Case>{{"", "127.0.0.1", 1338},
                                         {"studio", "studio", 1338},
                                         {":1400", "127.0.0.1", 1400},
                                         {"10.0.0.2:9", "10.0.0.2", 9},
                                         {"[::1]:1338", "::1", 1338},
                                         {"[::1]", "::1", 1338}}) {
    std::string host, error;
    uint16_t port = 0;
    ASSERT_EQ(parseSyncAddress(c.text, &host, &port, &error), 0) << c.text << ": " << error;
    EXPECT_EQ(host, c.host);
    EXPECT_EQ(port, c.port);
  }
  for (const std::string bad : {"host:", "host:0", "host:65536", "host:12ab", "[::1", "[::1]x"}) {
    std::string host, error;
    uint16_t port = 0;
    EXPECT_EQ(parseSyncAddress(bad, &host, &port, &error), 1) << bad;
    EXPECT_NE(error.find("--sync " + bad + ": "), std::string::npos) << error;
  }
}
