// pylon build-data OUT.zip: generates the production's data archive.
#include <cstdio>
#include <string>

#include "data/DataArchive.h"
#include "tool/Command.h"

namespace {

int runBuildData(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: pylon build-data OUT.zip\n");
    return 1;
  }
  content::DataReport report;
  std::string error;
  if (content::writeDataArchive(argv[1], PYLON_VERSION_TEXT, report, error) != 0) {
    std::fprintf(stderr, "pylon build-data: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: scene %u triangles in %u draw calls over %u objects; car %u triangles\n", argv[1],
              report.city.trianglesDrawn, report.city.drawCalls, report.city.objects, report.carTriangles);
  return 0;
}

CommandRegistrar buildData("build-data", "build-data OUT.zip      generate the production's data archive", runBuildData);

}  // namespace
