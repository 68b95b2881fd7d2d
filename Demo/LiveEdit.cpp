#include "LiveEdit.h"

#include <GL/glew.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "DemoPlayer.h"
#include "ProductionSource.h"
#include "Scene01.h"
#include "SceneOverride.h"
#include "cg/Cg.h"
#include "gui/TweakGui.h"
#include "post/PostChain.h"
#include "platform/MessageBox.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "screen/Screen.h"

namespace {

std::string folded(std::string name) {
  for (char& c : name) c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

std::string extensionOf(const std::string& path) {
  const size_t dot = path.rfind('.');
  return dot == std::string::npos ? "" : folded(path.substr(dot + 1));
}

bool isImage(const std::string& extension) {
  return extension == "png" || extension == "jpg" || extension == "jpeg" || extension == "tga" || extension == "bmp";
}

// Why effect file `member` did not load, one line per message of the effect runtime's
// listing ("line N...: ..." on the file's own lines), each naming the file.
std::string effectProblem(const std::string& member) {
  // An editor may save in two steps; the empty file between them never reached the runtime.
  if (Runtime::instance()->loader->getSize(member) == 0)
    return member + ": the file is empty or cannot be read (the last good effect stays)";
  const char* listing = cgGetLastListing(Runtime::instance()->screen->cgContext);
  const std::string text = listing && *listing ? listing : "no technique validates on this GL";
  std::string why;
  for (size_t from = 0; from < text.size();) {
    size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    if (end > from) why += (why.empty() ? "" : "\n") + member + ": " + text.substr(from, end - from);
    from = end + 1;
  }
  return why + " (the last good effect stays)";
}

// Message boxes of a reload go to standard error: a modal box would stop the demo.
struct QuietBoxes {
  QuietBoxes() { platform::setUnattended(true); }
  ~QuietBoxes() { platform::setUnattended(programOptions().noDialog); }
};

}  // namespace

int LiveEdit::start(const ProgramOptions& options, Scene01* scene, PostChain* chain, std::string& problem) {
  if (!options.watch) return 0;
  part = scene;
  post = chain;
  watch = std::make_unique<platform::FileWatch>();
  const Loader& loader = *Runtime::instance()->loader;
  if (loader.directory) {
    dataDirectory = loader.archivePath;
    if (watch->add(dataDirectory, true, &problem) != 0) return 1;
  }
  if (!options.sceneFile.empty()) {
    sceneFile = std::filesystem::weakly_canonical(options.sceneFile).string();
    sceneDirectory = std::filesystem::path(sceneFile).parent_path().string();
    cameraName = options.cameraName;
    if (sceneRecord.files.empty()) sceneRecord.files = {sceneFile};
    if (watchSceneFolders(problem) != 0) return 1;
  }
  productionFile = productionFilePath(*Runtime::instance()->loader, options);
  if (!productionFile.empty()) {
    productionFile = std::filesystem::weakly_canonical(productionFile).string();
    const std::string folder = std::filesystem::path(productionFile).parent_path().string();
    if ((dataDirectory.empty() || productionFile.rfind(dataDirectory + "/", 0) != 0) && folder != sceneDirectory &&
        watch->add(folder, false, &problem) != 0)
      return 1;
  }
  if (dataDirectory.empty() && sceneFile.empty() && productionFile.empty()) {
    problem = "--watch needs --data DIR (a directory of the archive's files), --scene FILE or --production FILE";
    return 1;
  }
  active = true;
  *Runtime::instance()->logger << ("watching for saved files: " + (dataDirectory.empty() ? sceneDirectory : dataDirectory) +
                                   (dataDirectory.empty() || sceneDirectory.empty() ? "" : " and " + sceneDirectory) +
                                   "\n");
  return 0;
}

std::string LiveEdit::errorText() const {
  std::string text;
  for (const auto& [member, why] : problems) text += (text.empty() ? "" : "\n") + why;
  return text;
}

void LiveEdit::fail(const std::string& member, const std::string& problem) {
  problems[member] = problem;
  *Runtime::instance()->logger << ("reload failed: " + problem + "\n");
  std::fprintf(stderr, "veltro12: reload failed: %s\n", problem.c_str());
}

void LiveEdit::succeed(const std::string& member) {
  problems.erase(member);
  ++reloads;
  *Runtime::instance()->logger << ("reloaded: " + member + "\n");
  std::fprintf(stderr, "veltro12: reloaded: %s\n", member.c_str());
}

// True for the --scene file and the buffers and images its last import read.
bool LiveEdit::readByScene(const std::string& path) const {
  const std::string changed = std::filesystem::weakly_canonical(path).string();
  for (const std::string& file : sceneRecord.files)
    if (std::filesystem::weakly_canonical(file).string() == changed) return true;
  return false;
}

// The folders of the scene's files (a glTF file may keep its images in a subfolder).
int LiveEdit::watchSceneFolders(std::string& problem) {
  for (const std::string& file : sceneRecord.files) {
    const std::string folder = std::filesystem::weakly_canonical(file).parent_path().string();
    if (watchedFolders.count(folder)) continue;
    if (watch->add(folder, false, &problem) != 0) return 1;
    watchedFolders.insert(folder);
  }
  return 0;
}

int LiveEdit::poll() {
  if (!active) return 0;
  int done = 0;
  bool scene = false, production = false;
  std::set<std::string> members;
  for (const std::string& path : watch->changed()) {
    if (!productionFile.empty() && std::filesystem::weakly_canonical(path).string() == productionFile) {
      production = true;
      continue;
    }
    if (!sceneFile.empty() && readByScene(path)) scene = true;
    if (!dataDirectory.empty() && path.rfind(dataDirectory + "/", 0) == 0) {
      const std::string member = path.substr(dataDirectory.size() + 1);
      members.insert(member);
      if (part && folded(member) == folded(part->config.scene())) scene = true;
      else if (reloadMember(member) == 0) ++done;
    }
  }
  if (scene && reloadScene() == 0) {
    ++done;
    members.insert("city-03.pb");  // a scene part showing the --scene file
  }
  // Parts other than the city are made again when a file they load was saved.
  if (production || !members.empty()) done += reloadProduction(production, members);
#ifdef __GLIBC__
  // A reload frees what the old effect, scene or image held, the compiler's working memory
  // among it; glibc keeps those pages for the process unless told to hand them back.
  if (done > 0) malloc_trim(0);
#endif
  return done;
}

int LiveEdit::reloadProduction(bool fileSaved, const std::set<std::string>& savedMembers) {
  DemoPlayer& player = demoPlayer();
  ProductionFile next = player.currentProduction();
  const std::string name = productionFile.empty() ? std::string(kProductionMember) : productionFile;
  if (fileSaved) {
    QuietBoxes quiet;
    std::vector<ProductionError> errors;
    if (readProductionFile(productionFile, *Runtime::instance()->loader, next, errors) != 0) {
      std::string why;
      for (const ProductionError& e : errors) why += (why.empty() ? "" : "\n") + e.text();
      fail(name, why + "\n(the last good production plays on)");
      return 0;
    }
  }
  std::set<std::string> refresh, causes;
  for (const Pylon::Part& part : next.message.part()) {
    if (part.has_city()) continue;  // the city reloads its own files in place
    for (const std::string& member : savedMembers) {
      const std::string key = folded(member);
      const bool uses = part.has_shader() ? key == folded(part.shader().effect())
                        : part.scene().has_gltf() ? key == folded(part.scene().gltf()) || extensionOf(key) == "bin" ||
                                                        isImage(extensionOf(key))
                                                  : key == folded(part.scene().member()) || extensionOf(key) == "cgfx" ||
                                                        isImage(extensionOf(key));
      if (uses) {
        refresh.insert(part.id());
        // The --scene file's reload has said so already.
        if (sceneFile.empty() || key != "city-03.pb") causes.insert(member);
      }
    }
  }
  if (!fileSaved && refresh.empty()) return 0;
  QuietBoxes quiet;
  std::string why;
  if (player.replaceProduction(next, why, refresh) != 0) {
    fail(name, why + "\n(the last good production plays on)");
    return 0;
  }
  // The city part may have been made again.
  part = nullptr;
  for (unsigned i = 0; i < player.entryCount && !part; ++i) part = dynamic_cast<Scene01*>(player.entries[i].part);
  if (fileSaved) succeed(name);
  for (const std::string& member : causes) succeed(member);
  return 1;
}

int LiveEdit::reloadMember(const std::string& member) {
  if (part && folded(member) == folded(part->config.scene())) return reloadScene();
  const std::string extension = extensionOf(member);
  if (extension == "cgfx") return reloadEffect(member);
  if (isImage(extension)) return reloadTexture(member);
  if (extension == "mmf") {
    QuietBoxes quiet;
    const int result = part ? part->reloadCarMesh(member) : 2;
    if (result == 2) return reloadPostMesh(member);
    if (result == 0) succeed(member);
    else if (result == 1) fail(member, member + ": the mesh does not load (see the log); the last good one stays");
    return result == 0 ? 0 : 1;
  }
  return 1;  // not something the production loads by itself
}

int LiveEdit::reloadEffect(const std::string& member) {
  int replaced = 0;
  if (part) {
    KestrelLibDynamic& city = part->city;
    Loader& loader = *Runtime::instance()->loader;
    for (int k = 0; k < city.shader_size() && static_cast<size_t>(k) < city.effects.size(); ++k) {
      if (folded(city.shader(k).source()) != folded(member)) continue;
      QuietBoxes quiet;
      KestrelLibDynamic compiled;
      const int result = loader.loadSceneShader(*city.mutable_shader(k), compiled);
      CGeffect effect = compiled.effects.empty() ? nullptr : compiled.effects[0];
      if (result != 0) {
        const std::string why = effectProblem(member);
        if (effect) cgDestroyEffect(effect);
        fail(member, why);
        return 1;
      }
      if (city.effects[static_cast<size_t>(k)]) cgDestroyEffect(city.effects[static_cast<size_t>(k)]);
      city.effects[static_cast<size_t>(k)] = effect;
      city.techniques[static_cast<size_t>(k)] = compiled.techniques[0];
      ++replaced;
    }
  }
  std::vector<Shader*> held;
  if (part) held.push_back(&part->carEffect);
  if (post)
    held.insert(held.end(), {&post->brightPass, &post->gaussH, &post->gaussV, &post->final, &post->overlay,
                             &post->mixer, &post->wipe});
  for (Shader* shader : held) {
    if (folded(shader->source) != folded(member)) continue;
    if (reloadHeldEffect(*shader, member) != 0) return 1;
    ++replaced;
  }
  if (replaced == 0) return 1;
  succeed(member);
  return 0;
}

// An effect the demo holds in a Shader (cars, post chain): the Shader keeps its place, so
// whoever holds it draws the new effect from the next frame on.
int LiveEdit::reloadHeldEffect(Shader& shader, const std::string& member) {
  QuietBoxes quiet;
  Runtime& runtime = *Runtime::instance();
  Shader fresh;
  fresh.source = shader.source;
  if (runtime.loader->compileShader(fresh) != 0) {
    const std::string why = effectProblem(member);
    if (fresh.effect) cgDestroyEffect(fresh.effect);
    fail(member, why);
    return 1;
  }
  if (runtime.tweakGui)
    for (TweakParameter& parameter : runtime.tweakGui->parameters)
      if (parameter.effect == shader.effect) parameter.effect = fresh.effect;
  if (shader.effect) cgDestroyEffect(shader.effect);
  shader.effect = fresh.effect;
  shader.technique = fresh.technique;
  return 0;
}

// The post chain's meshes: the text-form quad it draws every pass with, and the cube it
// loads (and does not draw).
int LiveEdit::reloadPostMesh(const std::string& member) {
  const std::string key = folded(member);
  if (!post || (key != "objects/quad.mmf" && key != "objects/cube_env100out.mmf")) return 1;
  Loader& loader = *Runtime::instance()->loader;
  MmfMesh fresh;
  const bool quad = key == "objects/quad.mmf";
  if ((quad ? loader.loadMmf(fresh) : loader.loadBinMmf(key, fresh)) != 0 || fresh.points.empty()) {
    fail(member, member + ": the mesh does not load (see the log); the last good one stays");
    return 1;
  }
  MmfMesh& mesh = quad ? post->quad : post->cube;
  if (quad) {
    loader.uploadMesh(fresh, GL_STATIC_DRAW);
    const GLuint old[2] = {mesh.indexBuffer, mesh.vertexBuffer};
    glDeleteBuffers(2, old);
  }
  mesh = std::move(fresh);
  succeed(member);
  return 0;
}

int LiveEdit::reloadTexture(const std::string& member) {
  if (!part) return 1;
  KestrelLibDynamic& city = part->city;
  Loader& loader = *Runtime::instance()->loader;
  QuietBoxes quiet;
  int replaced = 0;
  for (int i = 0; i < city.texture_size(); ++i) {
    Kestrel::Texture& entry = *city.mutable_texture(i);
    if (folded(entry.source()) != folded(member)) continue;
    Kestrel::Texture fresh;
    fresh.set_source(entry.source());
    if (loader.loadSceneTexture(fresh) != 0) {
      fail(member, member + ": the image does not load (see the log); the last good one stays");
      return 1;
    }
    const GLuint old = entry.crc();
    entry.set_crc(fresh.crc());
    for (Kestrel::Material& m : *city.mutable_material()) {
      if (m.ttexid() == old) m.set_ttexid(fresh.crc());
      if (m.rtexid() == old) m.set_rtexid(fresh.crc());
    }
    glDeleteTextures(1, &old);
    ++replaced;
  }
  if (folded(part->carTexture.source) == folded(member)) {
    Texture fresh;
    fresh.source = part->carTexture.source;
    if (loader.loadTexture(fresh) != 0) {
      fail(member, member + ": the image does not load (see the log); the last good one stays");
      return 1;
    }
    const GLuint old = part->carTexture.crc;
    part->carTexture.crc = fresh.crc;
    glDeleteTextures(1, &old);
    ++replaced;
  }
  if (replaced == 0) return 1;
  succeed(member);
  return 0;
}

int LiveEdit::reloadScene() {
  Loader& loader = *Runtime::instance()->loader;
  QuietBoxes quiet;
  const std::string member = sceneFile.empty() ? (part ? part->config.scene() : "city-03.pb") : sceneFile;
  if (!sceneFile.empty()) {
    std::string why;
    if (overlayScene(loader, sceneFile, why, "city-03.pb", &sceneRecord, cameraName) != 0) {
      fail(member, why + " (the last good scene stays)");
      return 1;
    }
    // A new version may read another buffer or image, in another folder.
    std::string problem;
    if (watchSceneFolders(problem) != 0) *Runtime::instance()->logger << ("not watched: " + problem + "\n");
  }
  // Without a city, a scene part shows the --scene file: reloadProduction() makes it again.
  if (!part) {
    if (sceneFile.empty()) return 1;
    succeed(member);
    return 0;
  }
  KestrelLibDynamic fresh;
  if (loader.loadScene(fresh, part->config.scene()) != 0) {
    // What a half-finished import made is not released: its IDs cannot be told from names.
    fail(member, member + ": the scene does not load (see the log); the last good one stays");
    return 1;
  }
  part->city.Swap(&fresh);
  std::swap(part->city.effects, fresh.effects);
  std::swap(part->city.techniques, fresh.techniques);
  release(fresh);
  succeed(member);
  return 0;
}

void LiveEdit::release(KestrelLibDynamic& scene) {
  std::set<GLuint> buffers, textures;
  for (const Kestrel::Object& o : scene.object())
    if (o.polygonsid() && o.pointsid() && o.normalsid()) buffers.insert(o.pointsid());
  for (const Kestrel::Polygons& p : scene.polygons())
    if (p.crc()) buffers.insert(p.crc());
  for (const Kestrel::Texture& t : scene.texture())
    if (t.crc()) textures.insert(t.crc());
  const std::vector<GLuint> b(buffers.begin(), buffers.end()), t(textures.begin(), textures.end());
  if (!b.empty()) glDeleteBuffers(static_cast<GLsizei>(b.size()), b.data());
  if (!t.empty()) glDeleteTextures(static_cast<GLsizei>(t.size()), t.data());
  // Shader entries of one effect file share its effect: each effect is destroyed once.
  for (CGeffect effect : std::set<CGeffect>(scene.effects.begin(), scene.effects.end()))
    if (effect) cgDestroyEffect(effect);
  scene.effects.clear();
  scene.techniques.clear();
}
