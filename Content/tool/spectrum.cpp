// pylon spectrum ARCHIVE --at SECONDS [--band N]: the music's spectrum as the demo sees it.
//
// Prints the 512 bands (the mean of both channels) of the stretch of music playback has
// mixed by that time, one "band value" line each, or with --band N that band's value alone,
// so that effects can be timed to the beat.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "resources/Loader.h"
#include "runtime/Options.h"
#include "sound/Sound.h"
#include "tool/Command.h"

namespace {

int usage() {
  std::fprintf(stderr, "usage: pylon spectrum ARCHIVE --at SECONDS [--band N]\n");
  return 1;
}

bool parseNumber(const char* text, double* value) { return parseFiniteNumber(text, *value); }

int runSpectrum(int argc, char** argv) {
  std::string archivePath;
  double seconds = -1.0;
  bool haveTime = false;
  int band = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--at" && i + 1 < argc) {
      if (!parseNumber(argv[++i], &seconds)) {
        std::fprintf(stderr, "pylon spectrum: --at needs a time in seconds, not \"%s\"\n", argv[i]);
        return usage();
      }
      haveTime = true;
    } else if (arg == "--band" && i + 1 < argc) {
      double value = 0;
      if (!parseNumber(argv[++i], &value) || value < 0 || value >= Sound::kBands || value != static_cast<int>(value)) {
        std::fprintf(stderr, "pylon spectrum: --band needs a band number from 0 to %d, not \"%s\"\n", Sound::kBands - 1,
                     argv[i]);
        return usage();
      }
      band = static_cast<int>(value);
    } else if (archivePath.empty() && arg[0] != '-') {
      archivePath = arg;
    } else {
      return usage();
    }
  }
  if (archivePath.empty() || !haveTime) return usage();

  Loader loader;
  std::string error;
  if (loader.openArchive(archivePath, &error) != 0) {
    std::fprintf(stderr, "pylon spectrum: %s: cannot open the archive: %s\n", archivePath.c_str(), error.c_str());
    return 1;
  }
  const uint32_t size = loader.getSize(Sound::kMusicPath);
  if (size == 0) {
    std::fprintf(stderr, "pylon spectrum: %s: the archive holds no %s (or it is empty or too large)\n", archivePath.c_str(), Sound::kMusicPath);
    return 1;
  }
  std::unique_ptr<char[]> music(new char[size]);
  if (loader.read(Sound::kMusicPath, music.get()) != 0) {
    std::fprintf(stderr, "pylon spectrum: %s: %s cannot be read\n", archivePath.c_str(), Sound::kMusicPath);
    return 1;
  }
  float bands[Sound::kBands];
  if (Sound::spectrumAt(music.get(), size, seconds, bands, &error) != 0) {
    std::fprintf(stderr, "pylon spectrum: %s: %s: %s\n", archivePath.c_str(), Sound::kMusicPath, error.c_str());
    return 1;
  }
  if (band >= 0) {
    std::printf("%.6f\n", bands[band]);
    return 0;
  }
  for (int i = 0; i < Sound::kBands; ++i) std::printf("%d %.6f\n", i, bands[i]);
  return 0;
}

CommandRegistrar spectrum("spectrum",
                          "spectrum ARCHIVE --at SECONDS [--band N]  the music's 512-band spectrum at a time",
                          runSpectrum);

}  // namespace
