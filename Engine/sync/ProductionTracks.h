// ProductionTracks: the tracks of a production file, ready to evaluate at a time.
//
// What it is for
//   A production declares tracks (keyed, fed from the music: a spectrum band's level, the
//   beat ramp; or fed from the clock: a sine wave), may name a prefix of track files (the sync editor's player layout) and binds
//   tracks to targets. load() gathers every track the production declares or binds into one
//   SyncTrackSet (declared tracks first, in file order, then bound tracks it does not declare,
//   in binding order: the order a sync editor is asked for them), takes the keys written in
//   the file and then those of the track files found in the archive or data directory.
//   evaluate() computes every track's value at one instant; value(i) reads it.
//
// Lifecycle
//   load() once per production (again on a reload); evaluate() once a frame before the parts
//   draw (the player), or once (`pylon tracks`). Keys may change between frames (a sync
//   editor's SET_KEY): evaluation reads the set as it is then.
//
// Not for
//   Applying values to parts or the post chain (the player's TrackBindings does that), or
//   threads.
#pragma once

#include <string>
#include <vector>

#include "resources/ProductionFile.h"
#include "sync/Sync.h"

class Loader;

class ProductionTracks {
 public:
  // 0 on success; 1 with a message naming the track file in `error` when one is bad. A track
  // without a file keeps the keys the production gives it.
  int load(const ProductionFile& production, Loader* loader, std::string* error);
  // Every track at demo time `seconds`; `dt` seconds after the previous call (0 for a seek or
  // a pause), `spectrum` the music's 512 magnitudes this frame (null: silence).
  void evaluate(double seconds, double dt, const float* spectrum) { evaluate(seconds, row(seconds), dt, spectrum); }
  // The same with the keyed tracks at `row` (`pylon tracks --row`: the row as given).
  void evaluate(double seconds, double row, double dt, const float* spectrum);
  // The row at `seconds` at the production's tempo (0 without a bpm).
  double row(double seconds) const;
  double value(int index) const { return values[static_cast<size_t>(index)]; }
  int find(const std::string& name) const { return tracks.find(name); }
  // Whether the track at `index` is keyed (not fed from the music or the clock).
  bool keyed(int index) const { return feeds[static_cast<size_t>(index)] == Feed::kKeys; }

  SyncTrackSet tracks;
  std::string prefix;  // the track files' prefix, "" when the production names none
  double bpm = 0.0, rowsPerBeat = 8.0;

 private:
  enum class Feed { kKeys, kBand, kBeat, kWave };
  struct Wave {
    float base = 0.0f, amplitude = 0.0f, rate = 0.0f;
  };
  std::vector<Feed> feeds;
  std::vector<SyncBandLevel> bands;  // by track index (unused for other feeds)
  std::vector<Wave> waves;           // the same
  std::vector<double> values;
};
