// pylon import SCENE.gltf|SCENE.glb OUT.zip [--base ARCHIVE] [--music FILE.ogg] [--name NAME]
// [--camera NAME] [--world R,G,B] [--length S]: a glTF 2.0 scene converted (docs/importing.md) and written
// as an archive the player plays as it is: the scene under NAME, its images and effects, a
// production file that plays the scene over its animation (or S seconds) with the music
// given or none, and every other member of the base archive (the production's own by
// default; its production file is replaced).
// What the file holds that the engine does not carry is listed once on standard error.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "data/ZipWriter.h"
#include "import/GltfImport.h"
#include "platform/MessageBox.h"
#include "resources/Loader.h"
#include "resources/ProductionFile.h"
#include "resources/SceneValidator.h"
#include "runtime/Options.h"
#include "tool/Command.h"

namespace {

int usage(const std::string& problem) {
  std::fprintf(stderr,
               "pylon import: %s\nUsage: pylon import SCENE.gltf|SCENE.glb OUT.zip [--base ARCHIVE] [--music FILE.ogg] "
               "[--name city-03.pb] [--camera NAME] [--world R,G,B] [--length S]\n",
               problem.c_str());
  return 1;
}

std::string folded(std::string name) {
  for (char& c : name) c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

int runImport(int argc, char** argv) {
  platform::setUnattended(true);
  std::string scenePath, outPath, basePath, musicPath, sceneName = "city-03.pb";
  double length = 0;  // --length; 0: the scene's animation
  gltf_import::ImportOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    if (arg == "--base") {
      if (!value(basePath)) return usage("--base needs an archive");
    } else if (arg == "--music") {
      if (!value(musicPath)) return usage("--music needs an Ogg Vorbis file");
    } else if (arg == "--name") {
      if (!value(sceneName) || sceneName.empty()) return usage("--name needs a member name");
    } else if (arg == "--camera") {
      if (!value(options.cameraName)) return usage("--camera needs a name");
    } else if (arg == "--world") {
      std::string text, problem;
      if (!value(text)) return usage("--world needs R,G,B");
      if (gltf_import::parseWorld(text, options, problem) != 0) return usage(problem);
    } else if (arg == "--length") {
      std::string text;
      double seconds = 0;
      if (!value(text) || !parseFiniteNumber(text.c_str(), seconds) || seconds <= 0 || seconds > 86400)
        return usage("--length needs a number of seconds above 0");
      length = seconds;
    } else if (!arg.empty() && arg[0] == '-') {
      return usage("unknown option " + arg);
    } else if (scenePath.empty()) {
      scenePath = arg;
    } else if (outPath.empty()) {
      outPath = arg;
    } else {
      return usage("too many arguments");
    }
  }
  if (scenePath.empty() || outPath.empty()) return usage("a scene and an output archive are needed");

  gltf_import::ImportedScene imported;
  std::string error;
  if (gltf_import::importGltf(scenePath, options, imported, error) != 0) {
    std::fprintf(stderr, "pylon import: %s\n", error.c_str());
    return 1;
  }
  const std::string problem = validateScene(imported.scene);
  if (!problem.empty()) {
    std::fprintf(stderr, "pylon import: %s: the converted scene is inconsistent: %s\n", scenePath.c_str(), problem.c_str());
    return 1;
  }
  for (const std::string& line : imported.messages) std::fprintf(stderr, "pylon import: %s: %s\n", scenePath.c_str(), line.c_str());
  for (const std::string& line : imported.notCarried) std::fprintf(stderr, "pylon import: not carried: %s\n", line.c_str());
  for (const std::string& line : imported.warnings) std::fprintf(stderr, "pylon import: warning: %s\n", line.c_str());

  // New members first in a lookup table; the base's members keep their order, replaced in
  // place where the import writes the same name.
  std::vector<std::pair<std::string, std::vector<uint8_t>>> fresh = imported.members;
  const std::string sceneBytes = imported.scene.SerializeAsString();
  fresh.insert(fresh.begin(), {sceneName, std::vector<uint8_t>(sceneBytes.begin(), sceneBytes.end())});
  std::string musicMember;
  if (!musicPath.empty()) {
    std::ifstream in(musicPath, std::ios::binary);
    std::vector<uint8_t> music((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) music.clear();
    if (music.size() < 4 || std::memcmp(music.data(), "OggS", 4) != 0) {
      std::fprintf(stderr, "pylon import: %s: not an Ogg file\n", musicPath.c_str());
      return 1;
    }
    musicMember = "music/" + std::filesystem::path(musicPath).filename().string();
    fresh.push_back({musicMember, std::move(music)});
  }
  // The production that plays the scene: over its whole animation (or --length), fading
  // in and out, with the music given or none.
  if (length == 0) {
    double animation = 0;
    for (const auto& [channel, curve] : imported.curves)
      if (!curve.times.empty()) animation = std::max(animation, double(curve.times.back()));
    length = sceneProductionLength(animation);
  }
  SceneProduction production;
  production.title = std::filesystem::path(scenePath).stem().string();
  production.member = sceneName;
  production.length = length;
  production.music = musicMember;
  production.near = imported.cameraNear;
  production.far = imported.cameraFar;
  const std::string productionText = sceneProductionText(production);
  fresh.push_back({kProductionMember, std::vector<uint8_t>(productionText.begin(), productionText.end())});
  std::set<std::string> freshNames;
  for (const auto& member : fresh) freshNames.insert(folded(member.first));

  content::ZipWriter zip;
  Loader base;
  const std::string baseArchive = Loader::findArchive(basePath);
  if (base.openArchive(baseArchive, &error) != 0) {
    std::fprintf(stderr, "pylon import: cannot open the base archive %s: %s\n", baseArchive.c_str(), error.c_str());
    return 1;
  }
  for (const ArchiveEntry& entry : base.entries()) {
    const std::string key = folded(entry.name);
    if (freshNames.count(key) || key.rfind(gltf_import::kImportedPrefix, 0) == 0 || entry.name.back() == '/') continue;
    const uint32_t size = base.getSize(entry.name);
    std::vector<uint8_t> bytes(size);
    if (size != 0 && base.read(entry.name, bytes.data()) != 0) {
      std::fprintf(stderr, "pylon import: %s: %s cannot be read\n", baseArchive.c_str(), entry.name.c_str());
      return 1;
    }
    zip.add(entry.name, std::move(bytes));
  }
  for (auto& member : fresh) zip.add(member.first, std::move(member.second));
  if (zip.write(outPath, error) != 0) {
    std::fprintf(stderr, "pylon import: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %d objects, %d materials, %d textures, camera '%s'; %.6g s; %zu members\n", outPath.c_str(),
              imported.scene.object_size(), imported.scene.material_size(), imported.scene.texture_size(),
              imported.scene.camera(0).name().c_str(), length, zip.members().size());
  return 0;
}

CommandRegistrar import("import",
                        "import SCENE.gltf|.glb OUT.zip [--base ARCHIVE] [--music FILE.ogg] [--name city-03.pb] "
                        "[--camera NAME] [--length S]\n"
                        "                          convert a glTF 2.0 scene into a playable archive",
                        runImport);

}  // namespace
