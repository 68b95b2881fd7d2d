// pylon build-music OUT.ogg: synthesises the production's soundtrack and writes it alone, so the
// track can be built and listened to without building the whole data archive.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "music/Dsp.h"
#include "music/Soundtrack.h"
#include "tool/Command.h"

namespace {

int runBuildMusic(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: pylon build-music OUT.ogg\n");
    return 1;
  }
  const char* path = argv[1];
  std::vector<unsigned char> ogg;
  std::string error;
  music::MasterResult mastered{};
  if (music::buildSoundtrack(ogg, error, &mastered) != 0) {
    std::fprintf(stderr, "pylon build-music: %s: %s\n", path, error.c_str());
    return 1;
  }
  FILE* file = std::fopen(path, "wb");
  if (!file) {
    std::fprintf(stderr, "pylon build-music: cannot write %s: %s\n", path, std::strerror(errno));
    return 1;
  }
  size_t written = std::fwrite(ogg.data(), 1, ogg.size(), file);
  bool closed = std::fclose(file) == 0;
  if (written != ogg.size() || !closed) {
    std::fprintf(stderr, "pylon build-music: writing %s failed: %s\n", path, std::strerror(errno));
    std::remove(path);
    return 1;
  }
  std::printf("%s: %zu bytes, %.1f LUFS, peak %.2f dBFS\n", path, ogg.size(), mastered.loudness,
              music::gainToDb(mastered.peak));
  return 0;
}

CommandRegistrar buildMusic("build-music", "build-music OUT.ogg      synthesise the soundtrack into an Ogg Vorbis file",
                            runBuildMusic);

}  // namespace
