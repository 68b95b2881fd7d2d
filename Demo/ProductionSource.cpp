#include "ProductionSource.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "BuiltinProduction.h"
#include "DemoPlayer.h"
#include "SceneOverride.h"
#include "platform/MessageBox.h"
#include "resources/Loader.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "sound/Sound.h"

namespace {

int readAndCheck(const std::string& text, const std::string& name, Loader& loader, ProductionFile& production,
                 std::vector<ProductionError>& errors) {
  // Every error at once: the members are checked even when the file's own rules failed.
  const int result = readProduction(text, name, production, errors);
  if (!production.parsed) return 1;
  return checkMembers(production, loader, errors) | result;
}

std::string baseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

int readProductionFile(const std::string& path, Loader& loader, ProductionFile& production,
                       std::vector<ProductionError>& errors) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    errors.push_back({path, 0, 0, std::string("cannot be read: ") + std::strerror(errno)});
    return 1;
  }
  // A production file is text of a few kilobytes; anything else (a FIFO, a device, a
  // directory, a huge file) is not one and is never opened.
  if (!S_ISREG(info.st_mode) || info.st_size > (4 << 20)) {
    errors.push_back({path, 0, 0, S_ISREG(info.st_mode) ? "is larger than 4 MB: not a production file" : "is not a regular file"});
    return 1;
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in.good() && !in.eof()) {
    errors.push_back({path, 0, 0, "cannot be read"});
    return 1;
  }
  return readAndCheck(text.str(), path, loader, production, errors);
}

std::string productionFilePath(Loader& loader, const ProgramOptions& options) {
  if (!options.productionFile.empty()) return options.productionFile;
  if (!options.sceneFile.empty()) return "";
  return loader.looseFilePath(kProductionMember);
}

int loadPlayerProduction(Loader& loader, const ProgramOptions& options, ProductionFile& production,
                         std::vector<ProductionError>& errors, OverlaidScene* record) {
  if (!options.sceneFile.empty()) {
    std::string failure;
    OverlaidScene local;
    OverlaidScene& scene = record ? *record : local;
    if (overlayScene(loader, options.sceneFile, failure, "city-03.pb", &scene, options.cameraName) != 0) {
      errors.push_back({"", 0, 0, failure});  // the importer's message names the file
      return 1;
    }
    if (options.productionFile.empty()) {
      SceneProduction made;
      made.title = baseName(options.sceneFile);
      made.member = "city-03.pb";
      made.length = sceneProductionLength(scene.animationLength);
      made.near = scene.cameraNear;
      made.far = scene.cameraFar;
      return readAndCheck(sceneProductionText(made), options.sceneFile + " (its production)", loader, production, errors);
    }
  }
  if (!options.productionFile.empty()) return readProductionFile(options.productionFile, loader, production, errors);
  const uint32_t size = loader.getSize(kProductionMember);
  if (size != 0) {
    std::string text(size, '\0');
    if (loader.read(kProductionMember, text.data()) != 0) {
      errors.push_back({loader.archivePath, 0, 0, std::string(kProductionMember) + " cannot be read"});
      return 1;
    }
    const std::string loose = loader.looseFilePath(kProductionMember);
    return readAndCheck(text, loose.empty() ? loader.archivePath + "/" + kProductionMember : loose, loader, production,
                        errors);
  }
  return readAndCheck(std::string(veltro12ProductionText()), "built-in Veltro 12 production", loader, production,
                      errors);
}

int preparePlayerProduction(const ProgramOptions& options, OverlaidScene* scene) {
  Runtime* runtime = Runtime::instance();
  ProductionFile production;
  std::vector<ProductionError> errors;
  if (loadPlayerProduction(*runtime->loader, options, production, errors, scene) != 0) {
    std::string text;
    for (const ProductionError& e : errors) text += (text.empty() ? "" : "\n") + e.text();
    platform::showMessageBox(text, "Production::load", platform::MessageIcon::Error);
    return 1;
  }
  demoPlayer().setProduction(production);
  runtime->sound->musicMember = production.message.has_music() ? production.message.music().member() : "";
  return 0;
}
