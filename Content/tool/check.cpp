// pylon check ARCHIVE|DIR: the production's checker on its own. Reads the production file
// (the data's production.txtpb, or Veltro 12's built-in one when there is none), checks its
// rules and then every member it names — scenes (and the images and effects they name),
// glTF files, effects, meshes, images and the music — without a display or a GPU, and
// prints every error found, one per line, "file:line:column: problem". Exit code 1 when
// there is one: what an author runs before rendering or publishing.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cg/EffectParser.h"
#include "import/GltfImport.h"
#include "platform/MessageBox.h"
#include "resources/ImageHeader.h"
#include "resources/Loader.h"
#include "resources/ProductionFile.h"
#include "resources/SceneValidator.h"
#include "tool/Command.h"
#include "tool/ToolProduction.h"

namespace {

struct MemberChecker {
  Loader& loader;
  const ProductionFile& production;
  std::vector<ProductionError>& errors;

  void fail(const std::string& member, const std::string& problem) { errors.push_back({member, 0, 0, problem}); }

  bool read(const std::string& member, std::vector<uint8_t>& bytes) {
    const uint32_t size = loader.getSize(member);
    bytes.assign(size, 0);
    if (size == 0) return false;  // reported by checkMembers()
    if (loader.read(member, bytes.data()) != 0) {
      fail(member, "cannot be read (damaged in the archive)");
      return false;
    }
    return true;
  }

  void effect(const std::string& member) {
    std::vector<uint8_t> bytes;
    if (!read(member, bytes)) return;
    cg::EffectDesc desc;
    std::string error;
    if (cg::parseEffect(reinterpret_cast<const char*>(bytes.data()), bytes.size(), desc, error) != 0) fail(member, error);
  }

  void image(const std::string& member) {
    std::vector<uint8_t> bytes;
    if (!read(member, bytes)) return;
    const std::string problem = imageHeaderProblem(readImageHeader(bytes.data(), bytes.size()));
    if (!problem.empty()) fail(member, problem);
  }

  void mesh(const std::string& member) {
    std::vector<uint8_t> bytes;
    if (!read(member, bytes)) return;
    MmfMesh mesh;
    if (loader.parseBinMmf(member, bytes.data(), bytes.size(), mesh) != 0) fail(member, "is not a readable binary mesh");
  }

  void music(const std::string& member) {
    std::vector<uint8_t> bytes;
    if (!read(member, bytes)) return;
    if (bytes.size() < 4 || std::memcmp(bytes.data(), "OggS", 4) != 0) fail(member, "is not an Ogg Vorbis stream");
  }

  void scene(const std::string& member) {
    std::vector<uint8_t> bytes;
    if (!read(member, bytes)) return;
    KestrelLibDynamic parsed;
    if (!loader.parseScene(bytes.data(), bytes.size(), parsed)) fail(member, "is damaged: it cannot be read to its end");
    const std::string problem = validateScene(parsed);
    if (!problem.empty()) fail(member, "is inconsistent: " + problem);
    for (const Kestrel::Texture& t : parsed.texture()) {
      if (loader.getSize(t.source()) == 0)
        fail(member, "names the image " + t.source() + ", which is not in the data");
      else
        image(t.source());
    }
    for (const Kestrel::Shader& s : parsed.shader()) {
      if (loader.getSize(s.source()) == 0)
        fail(member, "names the effect " + s.source() + ", which is not in the data");
      else
        effect(s.source());
    }
  }

  void gltf(const std::string& member) {
    gltf_import::ImportedScene imported;
    std::string error;
    const std::string loose = loader.looseFilePath(member);
    if (!loose.empty()) {
      if (gltf_import::importGltf(loose, {}, imported, error) != 0) fail(member, error);
      return;
    }
    std::vector<uint8_t> bytes;
    if (read(member, bytes) &&
        gltf_import::importGltfMemory(bytes.data(), bytes.size(), member, {}, imported, error,
                                      gltf_import::archiveMembers(loader)) != 0)
      fail(member, error);
  }

  void all() {
    const Pylon::Production& p = production.message;
    if (p.has_music() && loader.getSize(p.music().member()) != 0) music(p.music().member());
    for (const Pylon::Part& part : p.part()) {
      auto present = [&](const std::string& member) { return loader.getSize(member) != 0; };
      if (part.has_city()) {
        if (present(part.city().scene())) scene(part.city().scene());
        if (part.city().cars()) {
          if (present(part.city().car_mesh())) mesh(part.city().car_mesh());
          for (const std::string& optional : {part.city().car_far_mesh(), part.city().car_distant_mesh()})
            if (present(optional)) mesh(optional);
          if (present(part.city().car_effect())) effect(part.city().car_effect());
          if (present(part.city().car_texture())) image(part.city().car_texture());
        }
      }
      if (part.has_scene() && part.scene().has_member() && present(part.scene().member())) scene(part.scene().member());
      if (part.has_scene() && part.scene().has_gltf() && present(part.scene().gltf())) gltf(part.scene().gltf());
      if (part.has_shader() && present(part.shader().effect())) effect(part.shader().effect());
    }
  }
};

int runCheck(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: pylon check ARCHIVE|DIR\n");
    return 1;
  }
  platform::setUnattended(true);
  const std::string path = argv[1];
  Loader loader;
  std::string text, name;
  bool builtin = false;
  if (readToolProduction(loader, path, "check", &text, &name, &builtin) != 0) return 1;
  if (builtin) {
    std::printf("%s: no %s; checking the built-in Veltro 12 production against it\n", path.c_str(), kProductionMember);
  }

  ProductionFile production;
  std::vector<ProductionError> errors;
  readProduction(text, name, production, errors);
  if (production.parsed) {
    checkMembers(production, loader, errors);
    MemberChecker{loader, production, errors}.all();
  }
  for (const ProductionError& e : errors) std::fprintf(stderr, "%s\n", e.text().c_str());
  if (!errors.empty()) {
    std::fprintf(stderr, "pylon check: %zu error%s\n", errors.size(), errors.size() == 1 ? "" : "s");
    return 1;
  }
  std::printf("%s: \"%s\", %.6g s, %d parts, %d timeline entries: no errors\n", name.c_str(),
              production.message.title().c_str(), production.length, production.message.part_size(),
              production.message.entry_size());
  return 0;
}

CommandRegistrar check("check",
                       "check ARCHIVE|DIR       check the production file and every member it names; every error "
                       "with its file, line and column",
                       runCheck);

}  // namespace
