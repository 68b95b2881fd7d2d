// pylon ls ARCHIVE: lists the archive's members in central-directory order with their
// uncompressed and stored sizes, the way the engine's loader sees them.
#include <cstdio>
#include <string>

#include "resources/Loader.h"
#include "tool/Command.h"

namespace {

int runLs(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: pylon ls ARCHIVE\n");
    return 1;
  }
  const std::string path = argv[1];
  Loader loader;
  std::string error;
  if (loader.openArchive(path, &error) != 0) {
    std::fprintf(stderr, "pylon ls: cannot open %s as a ZIP archive: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  const std::vector<ArchiveEntry> entries = loader.entries();
  unsigned long long total = 0, stored = 0;
  std::printf("%12s %12s  %s\n", "size", "stored", "name");
  for (const ArchiveEntry& e : entries) {
    std::printf("%12llu %12llu  %s\n", static_cast<unsigned long long>(e.size),
                static_cast<unsigned long long>(e.compressedSize), e.name.c_str());
    total += e.size;
    stored += e.compressedSize;
  }
  std::printf("%12llu %12llu  %zu member%s\n", total, stored, entries.size(), entries.size() == 1 ? "" : "s");
  return 0;
}

CommandRegistrar ls("ls", "ls ARCHIVE              list the archive's members with their sizes", runLs);

}  // namespace
