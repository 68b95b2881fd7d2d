#include "SceneOverride.h"

#include <cstdio>

#include "import/GltfImport.h"
#include "resources/Loader.h"
#include "resources/SceneValidator.h"

int overlayScene(Loader& loader, const std::string& path, std::string& error) {
  gltf_import::ImportedScene imported;
  if (gltf_import::importGltf(path, {}, imported, error) != 0) return 1;
  const std::string problem = validateScene(imported.scene);
  if (!problem.empty()) {
    error = path + ": the converted scene is inconsistent: " + problem;
    return 1;
  }
  for (const std::string& line : imported.messages) std::fprintf(stderr, "veltro12: %s: %s\n", path.c_str(), line.c_str());
  for (const std::string& line : imported.notCarried) std::fprintf(stderr, "veltro12: not carried: %s\n", line.c_str());
  const std::string scene = imported.scene.SerializeAsString();
  loader.overlay("city-03.pb", std::vector<uint8_t>(scene.begin(), scene.end()));
  for (auto& [name, bytes] : imported.members) loader.overlay(name, std::move(bytes));
  return 0;
}
