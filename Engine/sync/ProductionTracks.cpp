#include "sync/ProductionTracks.h"

#include <vector>

#include "resources/Loader.h"

int ProductionTracks::load(const ProductionFile& production, Loader* loader, std::string* error) {
  const Pylon::Production& p = production.message;
  *this = ProductionTracks{};
  if (p.has_music() && p.music().has_bpm()) bpm = p.music().bpm();
  if (p.has_music()) rowsPerBeat = p.music().rows_per_beat();
  if (p.has_rocket_tracks()) prefix = p.rocket_tracks().prefix();
  for (const Pylon::Track& declared : p.tracks()) {
    const int index = tracks.add(declared.name());
    if (index < static_cast<int>(feeds.size())) continue;  // a second track of that name (the check refuses it)
    for (const Pylon::Key& key : declared.key())
      tracks[index].setKey({key.row(), key.value(), static_cast<SyncKeyType>(key.type())});
    SyncBandLevel band;
    if (declared.has_band()) {
      const Pylon::Band& b = declared.band();
      band.firstBin = static_cast<int>(b.first_bin()) - 1;
      band.lastBin = static_cast<int>(b.has_last_bin() ? b.last_bin() : b.first_bin()) - 1;
      band.gain = b.gain();
      band.attack = b.attack();
      band.release = b.release();
    }
    Wave wave;
    if (declared.has_wave()) wave = {declared.wave().base(), declared.wave().amplitude(), declared.wave().rate()};
    feeds.push_back(declared.has_band()   ? Feed::kBand
                    : declared.has_beat() ? Feed::kBeat
                    : declared.has_wave() ? Feed::kWave
                                          : Feed::kKeys);
    bands.push_back(band);
    waves.push_back(wave);
  }
  for (const Pylon::Binding& bind : p.bind()) {
    if (tracks.find(bind.track()) >= 0) continue;
    tracks.add(bind.track());
    feeds.push_back(Feed::kKeys);
    bands.emplace_back();
    waves.emplace_back();
  }
  values.assign(feeds.size(), 0.0);
  if (prefix.empty() || !loader) return 0;
  // The keys of every keyed track from its file, when the archive or directory holds one.
  std::vector<char> bytes;
  for (int i = 0; i < tracks.size(); ++i) {
    if (feeds[static_cast<size_t>(i)] != Feed::kKeys) continue;
    std::string member;
    if (syncTrackFilePath(prefix, tracks[i].name, &member, error)) return 1;
    const uint32_t size = loader->getSize(member);
    if (size == 0) continue;
    bytes.resize(size);
    if (loader->read(member, bytes.data()) != 0) {
      if (error) *error = member + ": could not be read";
      return 1;
    }
    if (parseSyncTrackFile(member, bytes.data(), bytes.size(), &tracks[i], error)) return 1;
  }
  return 0;
}

double ProductionTracks::row(double seconds) const { return bpm > 0.0 ? syncRow(seconds, bpm, rowsPerBeat) : 0.0; }

void ProductionTracks::evaluate(double seconds, double at, double dt, const float* spectrum) {
  for (size_t i = 0; i < feeds.size(); ++i) {
    switch (feeds[i]) {
      case Feed::kKeys:
        values[i] = tracks[static_cast<int>(i)].value(at);
        break;
      case Feed::kBand:
        values[i] = bands[i].update(spectrum, dt);
        break;
      case Feed::kBeat:
        values[i] = syncBeatRamp(seconds, bpm);
        break;
      case Feed::kWave:
        values[i] = syncWave(waves[i].base, waves[i].amplitude, waves[i].rate, seconds);
        break;
    }
  }
}
