// DataArchive: every member of the production's "data.zip", generated, in a fixed order.
//
// buildDataMembers() makes the scene, meshes, textures and effects (and the music when its
// generator is part of the build); writeDataArchive() stores them. Nothing depends on the
// time or the machine, so every run gives the same bytes.
#pragma once

#include <string>

#include "city/CityScene.h"
#include "data/ZipWriter.h"

namespace content {

struct DataReport {
  CityStats city;
  uint32_t carTriangles = 0;
};

// Fills writer with every member; 0 on success, otherwise error says what failed.
int buildDataMembers(ZipWriter& writer, const std::string& version, DataReport& report, std::string& error);
int writeDataArchive(const std::string& path, const std::string& version, DataReport& report, std::string& error);

}  // namespace content
