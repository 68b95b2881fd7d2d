#include <algorithm>
#include <cmath>

#include "sync/Sync.h"

const char* syncKeyTypeName(SyncKeyType type) {
  switch (type) {
    case SyncKeyType::STEP:
      return "STEP";
    case SyncKeyType::LINEAR:
      return "LINEAR";
    case SyncKeyType::SMOOTH:
      return "SMOOTH";
    case SyncKeyType::RAMP:
      return "RAMP";
  }
  return "STEP";
}

namespace {
std::vector<SyncKey>::const_iterator firstAtOrAfter(const std::vector<SyncKey>& keys, uint32_t row) {
  return std::lower_bound(keys.begin(), keys.end(), row, [](const SyncKey& key, uint32_t r) { return key.row < r; });
}
}  // namespace

void SyncTrack::setKey(const SyncKey& key) {
  if (keys.empty() || keys.back().row < key.row) {  // keys mostly arrive in row order
    keys.push_back(key);
    return;
  }
  const auto at = keys.begin() + (firstAtOrAfter(keys, key.row) - keys.cbegin());
  if (at != keys.end() && at->row == key.row)
    *at = key;
  else
    keys.insert(at, key);
}

int SyncTrack::deleteKey(uint32_t row) {
  const auto at = firstAtOrAfter(keys, row);
  if (at == keys.end() || at->row != row) return 1;
  keys.erase(at);
  return 0;
}

const SyncKey* SyncTrack::keyAt(uint32_t row) const {
  const auto at = firstAtOrAfter(keys, row);
  return at != keys.end() && at->row == row ? &*at : nullptr;
}

double SyncTrack::value(double row) const {
  if (keys.empty()) return 0.0;
  if (!(row >= keys.front().row)) return keys.front().value;  // before the first key (or NaN)
  // The first key past `row`; the one before it is the key in force.
  const auto next =
      std::upper_bound(keys.begin(), keys.end(), row, [](double r, const SyncKey& key) { return r < key.row; });
  const SyncKey& k0 = *(next - 1);
  if (next == keys.end()) return k0.value;
  const SyncKey& k1 = *next;
  const double u = (row - k0.row) / static_cast<double>(k1.row - k0.row);
  const float d = k1.value - k0.value;  // in float, as the editor's players take it
  double f = 0.0;
  switch (k0.type) {
    case SyncKeyType::STEP:
      return k0.value;
    case SyncKeyType::LINEAR:
      f = u;
      break;
    case SyncKeyType::SMOOTH:
      f = u * u * (3.0 - 2.0 * u);
      break;
    case SyncKeyType::RAMP:
      f = u * u;
      break;
  }
  return k0.value + d * f;
}

int SyncTrackSet::add(const std::string& name) {
  const int found = find(name);
  if (found >= 0) return found;
  tracks.push_back(SyncTrack{name, {}});
  return size() - 1;
}

int SyncTrackSet::find(const std::string& name) const {
  for (size_t i = 0; i < tracks.size(); ++i)
    if (tracks[i].name == name) return static_cast<int>(i);
  return -1;
}

double syncRow(double seconds, double bpm, double rowsPerBeat) { return seconds * bpm * rowsPerBeat / 60.0; }

double syncSeconds(double row, double bpm, double rowsPerBeat) {
  const double rate = bpm * rowsPerBeat;
  return rate > 0.0 ? row * 60.0 / rate : 0.0;
}

double SyncBandLevel::update(const float* spectrum, double dt) {
  const int first = std::clamp(firstBin, 0, kBins - 1);
  const int last = std::clamp(lastBin, first, kBins - 1);
  double sum = 0.0;
  if (spectrum)
    for (int bin = first; bin <= last; ++bin) sum += spectrum[bin];
  double target = sum / (last - first + 1) * gain;
  if (!std::isfinite(target)) target = 0.0;
  const double time = target > level ? attack : release;
  if (!(time > 0.0))
    level = target;  // no time to follow in: the level now, even on a frame of no time
  else if (dt > 0.0)
    level += (target - level) * (1.0 - std::exp(-dt / time));
  return level;
}

double syncBeatRamp(double seconds, double bpm) {
  if (!(bpm > 0.0) || !std::isfinite(seconds)) return 0.0;
  const double beats = seconds * bpm / 60.0;
  return beats - std::floor(beats);
}

float syncWave(float base, float amplitude, float rate, double seconds) {
  const float t = static_cast<float>(seconds);
  return base + amplitude * std::sin(static_cast<float>(rate * t));
}
