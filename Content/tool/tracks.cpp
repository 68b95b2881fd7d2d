// pylon tracks ARCHIVE|DIR [--at SECONDS | --row R]: every track of the production (keyed in
// the production file, read from its track files, or fed from the music) with its value at
// that time or row, as one JSON object {"track name": value, ...}. Each value is printed
// with 17 significant digits, enough to read back the exact double: what an author runs to
// see why a value is what it is. A band level is its level at that instant, without its
// attack and release (the player follows those from frame to frame).
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "resources/Loader.h"
#include "resources/ProductionFile.h"
#include "runtime/Options.h"
#include "sound/Sound.h"
#include "sync/ProductionTracks.h"
#include "tool/Command.h"
#include "tool/JsonText.h"
#include "tool/ToolProduction.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: pylon tracks ARCHIVE|DIR [--at SECONDS | --row R]\n");
  return 1;
}

int runTracks(int argc, char** argv) {
  std::string path;
  double seconds = 0.0, row = 0.0;
  bool byRow = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--at" || arg == "--row") && i + 1 < argc) {
      double& value = arg == "--at" ? seconds : row;
      if (!parseFiniteNumber(argv[++i], value)) {
        std::fprintf(stderr, "pylon tracks: %s needs a number, not \"%s\"\n", arg.c_str(), argv[i]);
        return usage();
      }
      byRow = arg == "--row";
    } else if (path.empty() && !arg.empty() && arg[0] != '-') {
      path = arg;
    } else {
      return usage();
    }
  }
  if (path.empty()) return usage();

  Loader loader;
  std::string text, name;
  bool builtin = false;
  if (readToolProduction(loader, path, "tracks", &text, &name, &builtin) != 0) return 1;
  ProductionFile production;
  std::vector<ProductionError> errors;
  if (readProduction(text, name, production, errors) != 0) {
    for (const ProductionError& e : errors) std::fprintf(stderr, "%s\n", e.text().c_str());
    return 1;
  }
  ProductionTracks tracks;
  std::string error;
  if (tracks.load(production, &loader, &error) != 0) {
    std::fprintf(stderr, "pylon tracks: %s: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  if (byRow) {
    if (!(tracks.bpm > 0.0)) {
      std::fprintf(stderr, "pylon tracks: %s: --row needs the music's bpm, and the production gives none\n",
                   name.c_str());
      return 1;
    }
    seconds = syncSeconds(row, tracks.bpm, tracks.rowsPerBeat);
  } else {
    row = tracks.row(seconds);
  }

  // The music's spectrum at that instant, for the tracks fed from a band.
  // A time the music does not reach (or no music) is silence.
  std::vector<float> spectrum;
  bool band = false;
  for (const Pylon::Track& track : production.message.tracks()) band |= track.has_band();
  const std::string music = production.message.music().member();
  const uint32_t size = band && !music.empty() ? loader.getSize(music) : 0;
  if (size != 0) {
    std::unique_ptr<char[]> bytes(new char[size]);
    spectrum.resize(Sound::kBands);
    if (loader.read(music, bytes.get()) != 0) {
      std::fprintf(stderr, "pylon tracks: %s: %s cannot be read\n", path.c_str(), music.c_str());
      return 1;
    }
    if (Sound::spectrumAt(bytes.get(), size, seconds, spectrum.data(), &error) != 0) {
      std::fprintf(stderr, "pylon tracks: %s: %s (the bands read silence)\n", music.c_str(), error.c_str());
      spectrum.clear();
    }
  }
  tracks.evaluate(seconds, row, 1e30, spectrum.empty() ? nullptr : spectrum.data());

  std::string out = "{";
  for (int i = 0; i < tracks.tracks.size(); ++i) {
    char value[40];
    std::snprintf(value, sizeof value, "%.17g", tracks.value(i));
    out += (i ? ", " : "") + jsonString(tracks.tracks[i].name) + ": " + value;
  }
  std::printf("%s}\n", out.c_str());
  return 0;
}

CommandRegistrar tracks("tracks",
                        "tracks ARCHIVE|DIR [--at SECONDS | --row R]  every track's value at that time or row, as JSON",
                        runTracks);

}  // namespace
