// SyncLink: the player's side of --sync, a running sync editor driving the production.
//
// What it is for
//   start() makes a SyncClient over the production's tracks (demoPlayer().trackBindings) and
//   connects to the editor; poll(), once a frame before the frame is drawn, hands it the
//   frame's row and carries out what the editor asked: PAUSE pauses or resumes the clock and
//   the music, SET_ROW moves both to that row (as the tweak bar's Pause, Play and Time do),
//   SAVE_TRACKS writes every track file (PREFIX_NAME.track) and their text form
//   (PREFIX-tracks.txtpb) into the data directory, which the production then plays alone
//   (`rocket_tracks { prefix }`). Its messages go to the log and standard error.
//
// Lifecycle
//   start() once at init (it resolves the address: the only call that may wait); poll() every
//   frame, never waiting on the network.
//
// Not for
//   Productions reloaded with --watch to other tracks: the link keeps the tracks it asked for.
#pragma once

#include <memory>
#include <string>

#include "sync/Sync.h"

class SyncLink {
 public:
  // 0, or 1 with a message in `error` (a bad address).
  int start(const std::string& address, std::string* error);
  void poll();
  bool started() const { return client != nullptr; }
  // Where SAVE_TRACKS writes: the data directory (the archive's folder for an archive).
  std::string saveDirectory() const;
  // 0, or 1 with the message logged.
  int save();

  std::unique_ptr<SyncClient> client;
  std::string directory;  // where SAVE_TRACKS writes; "" for saveDirectory()
};
