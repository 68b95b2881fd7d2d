// Sync: float tracks keyed on rows of the music, their files, and the sync editor's link.
//
// What it is for
//   A track is a named float value that moves with the music: a list of keys, each on a
//   whole row (rows run at the production's tempo: row = t x BPM x rows per beat / 60), each
//   with a value and the interpolation type that shapes the way to the next key. Track names
//   are "group:name" (the editor shows the group as a tab). This module evaluates tracks the
//   way the sync editors and their players do, bit for bit; reads and writes the editor's
//   track files and a text form of tracks; talks to a running sync editor over TCP; and
//   offers two values fed from the music instead of keys (a spectrum band's level and a
//   beat ramp).
//
// The pieces
//   SyncKey, SyncKeyType   one key: whole row, float value, STEP / LINEAR / SMOOTH / RAMP.
//   SyncTrack              a named, row-sorted key list; value(row) evaluates it.
//   SyncTrackSet           the tracks a production binds, by index (the order they were
//                          added) and by name.
//   syncRow / syncSeconds  demo time <-> fractional row at a tempo.
//   syncTrackFileName      "camera:fov" with prefix "sync" -> "sync_camera-3Afov.track".
//   parseSyncTrackFile / readSyncTrackFile / writeSyncTrackFile / writeSyncTrackFiles
//                          the editor's binary track files (little-endian u32 count, then
//                          9 bytes a key: u32 row, f32 value, u8 type); writing is atomic.
//   syncTracksText / writeSyncTracksText
//                          the text form: protobuf text format with the fields `tracks`,
//                          `name`, `key`, `row`, `value`, `type`, which a production file
//                          (or a file merged into one) reads with its own schema.
//   SyncClient             the link to a sync editor (GNU Rocket's protocol);
//                          parseSyncAddress reads --sync's "[HOST][:PORT]".
//   SyncBandLevel, syncBeatRamp
//                          values fed from the music; syncWave, one fed from the clock.
//
// Lifecycle in a player
//   1. At start: a SyncTrackSet; add() every track name the production binds (keys from the
//      production file or from its track files, read with readSyncTrackFile or, for an
//      archive member, parseSyncTrackFile).
//   2. With --sync: SyncClient client(&tracks); set its callbacks (onPause, onSetRow, onSave,
//      onMessage); parseSyncAddress(--sync's text), then client.start(host, port) once (resolves the address: may wait
//      on name lookup, so at start only). Tracks added to the set later are requested with client.requestTrack(index).
//   3. Every frame, before the parts draw: client.poll(wallSeconds, row, playing) (never
//      waits; reconnects now and then; sends SET_ROW when the whole row changes while
//      playing); then tracks[i].value(row) for each bound track at the frame's row.
//   4. In poll, in the order the editor sent them: onPause(flag) -> pause or resume the
//      clock and the music; onSetRow(row) -> seek both to syncSeconds(row, ...);
//      onSave() -> writeSyncTrackFiles (and writeSyncTracksText); onMessage(text) -> the
//      log and standard error.
//   5. Without --sync, only steps 1 and 3 (the value half).
//
// The link
//   start() connects; once up the client sends "hello, synctracker!" and waits for
//   "hello, demo!"; then it asks for every track of the set in index order (GET_TRACK), after
//   clearing the keys it had, since the editor answers each with all its keys. A lost link,
//   a wrong greeting, an unknown command, a bad track index or type, or a command cut short
//   closes the link with a message; the tracks keep the keys they have, and poll() tries
//   again every `retrySeconds`. A connection or greeting that takes longer than
//   `answerSeconds`, or a command left incomplete that long, counts as lost.
//
// Not for
//   Threads (one thread owns a client and its set), more than one editor, or tracks whose
//   keys fall between rows (keys sit on whole rows; evaluation takes fractional rows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Socket.h"

// The editor's numbers for the interpolation types (on the wire and in track files).
enum class SyncKeyType : uint8_t { STEP = 0, LINEAR = 1, SMOOTH = 2, RAMP = 3 };

const char* syncKeyTypeName(SyncKeyType type);  // "STEP", "LINEAR", "SMOOTH", "RAMP"

struct SyncKey {
  uint32_t row = 0;
  float value = 0.0f;
  SyncKeyType type = SyncKeyType::STEP;
  bool operator==(const SyncKey&) const = default;
};

class SyncTrack {
 public:
  std::string name;
  std::vector<SyncKey> keys;  // rows strictly increasing

  // Adds the key, or replaces the one on its row.
  void setKey(const SyncKey& key);
  // Removes the key on `row`; 0 when there was one, 1 when there was none.
  int deleteKey(uint32_t row);
  // The key on `row`, or null.
  const SyncKey* keyAt(uint32_t row) const;

  // The value at a fractional row. Between keys k0 <= row < k1: u = (row - k0.row) /
  // (k1.row - k0.row) in double; d = k1.value - k0.value in float; value = k0.value + d * f(u)
  // with f = 0 (STEP), u (LINEAR), u*u*(3 - 2u) (SMOOTH), u*u (RAMP) of k0's type. Before the
  // first key the first value, from the last key on the last one; 0 without keys.
  double value(double row) const;
};

class SyncTrackSet {
 public:
  // The index of the track named `name`, added without keys when it is new.
  int add(const std::string& name);
  // The index of the track named `name`, or -1.
  int find(const std::string& name) const;
  int size() const { return static_cast<int>(tracks.size()); }
  SyncTrack& operator[](int index) { return tracks[static_cast<size_t>(index)]; }
  const SyncTrack& operator[](int index) const { return tracks[static_cast<size_t>(index)]; }

  std::vector<SyncTrack> tracks;  // by index
};

// The fractional row at demo time `seconds`: seconds x bpm x rowsPerBeat / 60, in that order
// and in double. syncSeconds is its inverse (row x 60 / (bpm x rowsPerBeat)).
double syncRow(double seconds, double bpm, double rowsPerBeat);
double syncSeconds(double row, double bpm, double rowsPerBeat);

// ---- Track files ------------------------------------------------------------------------

// PREFIX "_" NAME ".track", where in NAME A-Z, a-z, 0-9, '.', '_' and '/' stand as they are
// and every other byte becomes '-' and two upper-case hex digits.
std::string syncTrackFileName(const std::string& prefix, const std::string& name);

// syncTrackFileName(prefix, name) into `relative` when that file lies inside the folder it is
// read from or written to; 1 with a message naming the track when it would not (a ".." part or
// an absolute path).
int syncTrackFilePath(const std::string& prefix, const std::string& name, std::string* relative, std::string* error);

// Reads a track file's bytes (`label` names it in messages) into `track`'s keys (its name is
// left alone). 1 with a message naming `label` when the size is not 4 + 9 x count, a key's
// type is not 0..3, its value is not finite, or rows do not increase.
int parseSyncTrackFile(const std::string& label, const void* bytes, size_t size, SyncTrack* track, std::string* error);
int readSyncTrackFile(const std::string& path, SyncTrack* track, std::string* error);
// Reads the file of every track of the set found in `directory`; the names of tracks without
// a file go to `missing` (when given) and keep their keys. Stops at the first bad file.
int readSyncTrackFiles(const std::string& directory, const std::string& prefix, SyncTrackSet* tracks,
                       std::vector<std::string>* missing, std::string* error);
// Writes the track's file at `path` through a temporary file beside it and a rename, so a
// reader sees the old file or the new one, never a part.
int writeSyncTrackFile(const std::string& path, const SyncTrack& track, std::string* error);
// Every track of the set into `directory` under syncTrackFilePath(prefix, name), making the
// folders a name with '/' asks for. Stops at the first failure.
int writeSyncTrackFiles(const std::string& directory, const std::string& prefix, const SyncTrackSet& tracks,
                        std::string* error);

// The text form of the set, one `tracks { name: "..." key { row: R value: V type: T } ... }`
// block a track; values with 9 significant digits, so they read back as the same float.
std::string syncTracksText(const SyncTrackSet& tracks);
int writeSyncTracksText(const std::string& path, const SyncTrackSet& tracks, std::string* error);

// ---- Values fed from the music -----------------------------------------------------------

// The mean of spectrum bins firstBin..lastBin (of the 512 the music hands out each frame),
// times `gain`, followed with an attack (rising) and a release (falling) time in seconds:
// level += (target - level) x (1 - exp(-dt / time)), a time of 0 following at once.
class SyncBandLevel {
 public:
  static constexpr int kBins = 512;
  int firstBin = 0;
  int lastBin = 0;
  float gain = 1.0f;
  double attack = 0.0;
  double release = 0.0;

  // Feeds one frame's spectrum (null: silence) after `dt` seconds; returns the new level.
  // dt <= 0 (paused, a seek, a single shot) leaves the level as it is, except where the
  // time of the way it would go is 0: then it is the band's level now, as at any dt.
  double update(const float* spectrum, double dt);
  void reset() { level = 0.0; }
  double value() const { return level; }

 private:
  double level = 0.0;
};

// 0 -> 1 over every beat at `bpm`: the fraction of seconds x bpm / 60 (0 when bpm <= 0).
double syncBeatRamp(double seconds, double bpm);

// base + amplitude x sin(rate x t) with t = `seconds` as a float, every step in float: the
// post chain's threshold wave to the last bit.
float syncWave(float base, float amplitude, float rate, double seconds);

// ---- The editor's link --------------------------------------------------------------------

// The editor's address from --sync's argument, "[HOST][:PORT]": "" is 127.0.0.1:1338,
// "studio" is studio:1338, ":1400" is 127.0.0.1:1400; an IPv6 address goes in brackets
// ("[::1]:1338"). 1 with a message quoting `text` when the port is not 1..65535.
int parseSyncAddress(const std::string& text, std::string* host, uint16_t* port, std::string* error);

class SyncClient {
 public:
  static constexpr uint16_t kDefaultPort = 1338;

  explicit SyncClient(SyncTrackSet* tracks);
  SyncClient(const SyncClient&) = delete;
  SyncClient& operator=(const SyncClient&) = delete;

  // Called from poll(), in the order the editor's commands arrived.
  std::function<void(bool paused)> onPause;
  std::function<void(uint32_t row)> onSetRow;
  std::function<void()> onSave;
  std::function<void(const std::string& text)> onMessage;  // "sync: ..." lines

  double retrySeconds = 1.0;   // between connection attempts
  double answerSeconds = 5.0;  // longest wait for a connection, the greeting or a command's end

  // Resolves host:port (the only call that may wait) and connects at the next poll. 0 on
  // success; 1 with a message when the address does not resolve.
  int start(const std::string& host, uint16_t port);
  // Once a frame: `now` in seconds on any steady clock, `row` the frame's row, `playing`
  // false while paused. Never waits.
  void poll(double now, double row, bool playing);
  // Asks the editor for the track at `index` when the link is up (else at the next connect).
  void requestTrack(int index);
  // Closes the link (with no message) and stops reconnecting.
  void stop();

  bool connected() const { return state == State::kReady; }
  bool paused() const { return editorPaused; }
  int connections() const { return established; }  // links that came up so far

 private:
  enum class State { kIdle, kConnecting, kGreeting, kReady };
  void tryConnect(double now);
  void drop(const std::string& why);
  void queueTrackRequest(int index);
  void flush();
  void receive(double now);
  int handleCommands();  // 1 when the link was dropped

  SyncTrackSet* tracks;
  platform::Socket socket;
  platform::SocketAddress address;
  bool started = false;
  State state = State::kIdle;
  double nextAttempt = 0.0;
  double waitingSince = 0.0;  // connection, greeting or a partial command began
  double lastNow = 0.0;       // poll()'s clock, for the time of the next attempt
  bool quiet = false;         // a failed attempt was reported: the next ones are not
  bool editorPaused = false;
  int64_t lastRow = -1;  // the whole row last sent or set by the editor
  int established = 0;
  std::vector<unsigned char> outgoing;
  std::vector<unsigned char> incoming;
};
