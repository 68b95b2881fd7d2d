#include "SceneOverride.h"

#include <cstdio>

#include "import/GltfImport.h"
#include "resources/Loader.h"
#include "resources/SceneValidator.h"

int overlayScene(Loader& loader, const std::string& path, const std::string& cameraName, std::string& error,
                 SceneOverlayRecord* record) {
  gltf_import::ImportedScene imported;
  gltf_import::ImportOptions options;
  options.cameraName = cameraName;
  if (gltf_import::importGltf(path, options, imported, error) != 0) return 1;
  const std::string problem = validateScene(imported.scene);
  if (!problem.empty()) {
    error = path + ": the converted scene is inconsistent: " + problem;
    return 1;
  }
  std::vector<std::string> notes;
  for (const std::string& line : imported.notCarried) notes.push_back("not carried: " + line);
  for (const std::string& line : imported.warnings) notes.push_back("warning: " + line);
  if (!record || record->notes != notes)
    for (const std::string& line : notes) std::fprintf(stderr, "veltro12: %s\n", line.c_str());
  if (record) {
    record->notes = std::move(notes);
    record->files = {path};
    record->files.insert(record->files.end(), imported.files.begin(), imported.files.end());
  }
  const std::string scene = imported.scene.SerializeAsString();
  loader.overlay("city-03.pb", std::vector<uint8_t>(scene.begin(), scene.end()));
  for (auto& [name, bytes] : imported.members) loader.overlay(name, std::move(bytes));
  return 0;
}
