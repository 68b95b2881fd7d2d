#include "SceneOverride.h"

#include <algorithm>
#include <cstdio>

#include "import/GltfImport.h"
#include "runtime/Options.h"
#include "resources/Loader.h"
#include "resources/SceneValidator.h"

namespace {

int layOver(Loader& loader, gltf_import::ImportedScene& imported, const std::string& name, std::string& error,
            const std::string& sceneMember, OverlaidScene* result) {
  const std::string problem = validateScene(imported.scene);
  if (!problem.empty()) {
    error = name + ": the converted scene is inconsistent: " + problem;
    return 1;
  }
  // Compared without the file's name, which a reload may spell otherwise (its full path).
  std::vector<std::string> notes;
  for (const std::string& line : imported.messages) notes.push_back(line);
  for (const std::string& line : imported.notCarried) notes.push_back("not carried: " + line);
  for (const std::string& line : imported.warnings) notes.push_back("warning: " + line);
  if (!result || result->notes != notes) {
    for (size_t i = 0; i < notes.size(); ++i)
      std::fprintf(stderr, "veltro12: %s%s\n", i < imported.messages.size() ? (name + ": ").c_str() : "", notes[i].c_str());
  }
  if (result) {
    result->animationLength = 0.0;
    for (const auto& [channel, curve] : imported.curves)
      if (!curve.times.empty()) result->animationLength = std::max(result->animationLength, double(curve.times.back()));
    result->cameras = imported.scene.camera_size();
    result->cameraNear = imported.cameraNear;
    result->cameraFar = imported.cameraFar;
    result->notes = std::move(notes);
    result->files = {name};
    result->files.insert(result->files.end(), imported.files.begin(), imported.files.end());
  }
  const std::string scene = imported.scene.SerializeAsString();
  loader.overlay(sceneMember, std::vector<uint8_t>(scene.begin(), scene.end()));
  for (auto& [member, bytes] : imported.members) loader.overlay(member, std::move(bytes));
  return 0;
}

}  // namespace

int overlayScene(Loader& loader, const std::string& path, std::string& error, const std::string& sceneMember,
                 OverlaidScene* result, const std::string& cameraName) {
  gltf_import::ImportedScene imported;
  gltf_import::ImportOptions options;
  options.cameraName = cameraName;
  if (const std::string& world = programOptions().world; !world.empty() && gltf_import::parseWorld(world, options, error) != 0)
    return 1;
  if (gltf_import::importGltf(path, options, imported, error) != 0) return 1;
  return layOver(loader, imported, path, error, sceneMember, result);
}

int overlaySceneMember(Loader& loader, const std::string& member, std::string& error, const std::string& sceneMember,
                       OverlaidScene* result) {
  // A data directory's file is imported from where it lies, so that a .gltf finds its
  // buffers and images beside it.
  const std::string loose = loader.looseFilePath(member);
  if (!loose.empty()) return overlayScene(loader, loose, error, sceneMember, result);
  const uint32_t size = loader.getSize(member);
  std::vector<uint8_t> bytes(size);
  if (size == 0 || loader.read(member, bytes.data()) != 0) {
    error = member + ": not found in " + loader.archivePath;
    return 1;
  }
  gltf_import::ImportedScene imported;
  if (gltf_import::importGltfMemory(bytes.data(), bytes.size(), member, {}, imported, error,
                                    gltf_import::archiveMembers(loader)) != 0)
    return 1;
  return layOver(loader, imported, member, error, sceneMember, result);
}
