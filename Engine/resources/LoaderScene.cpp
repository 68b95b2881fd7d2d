// The scene file import of Loader: read "city-03.pb", parse it into the run-time root,
// check its references, then make it drawable (geometry, textures, material texture
// names, effects).
#include <memory>

#include "platform/MessageBox.h"
#include "resources/Loader.h"
#include "resources/SceneValidator.h"
#include "runtime/Logger.h"

bool Loader::parseScene(const uint8_t* data, size_t size, KestrelLibDynamic& scene) {
  // A damaged file leaves what was parsed before the damage, and the reference check that
  // follows decides whether it is usable; the caller warns that it is incomplete.
  const bool complete = scene.ParseFromArray(data, static_cast<int>(size));
  const Kestrel::Info& info = scene.info();
  log() << "scene loaded, file created by: " << info.tool() << ", version: " << info.version() << "\n";
  return complete;
}

int Loader::loadScene(KestrelLibDynamic& scene, const std::string& member) {
  const char* name = member.c_str();
  log() << "\nload pb: " << name << "\n";
  const uint32_t size = getSize(name);
  if (size == 0) {
    log() << " file error, size 0\n";
    return 1;
  }
  {
    std::unique_ptr<uint8_t[]> block(new uint8_t[size]);  // left uninitialised: read over at once
    if (read(name, block.get()) != 0) {
      log() << "\ndecompression error." << name << "\n";
      return 1;
    }
    if (!parseScene(block.get(), size, scene)) {
      const std::string warning = std::string("The scene file ") + name +
                                  " could not be read to its end; the part before the damage is used.";
      log() << "scene warning: " << warning << "\n";
      platform::showMessageBox(warning, "Loader::loadScene", platform::MessageIcon::Warning);
    }
  }

  // Upload and drawing follow every reference without checking it; an inconsistent file
  // stops here instead of reading out of bounds later.
  const std::string problem = validateScene(scene);
  if (!problem.empty()) {
    log() << "scene rejected: " << problem << "\n";
    platform::showMessageBox(std::string("The scene file ") + name + " is damaged: " + problem + ".",
                             "Loader::loadScene", platform::MessageIcon::Error);
    return 1;
  }

  if ((sceneSteps.uploadScene ? sceneSteps.uploadScene(scene) : uploadScene(scene)) != 0) return 1;

  for (int i = 0; i < scene.texture_size(); ++i) {
    Kestrel::Texture& texture = *scene.mutable_texture(i);
    if ((sceneSteps.loadSceneTexture ? sceneSteps.loadSceneTexture(texture) : loadSceneTexture(texture)) != 0) {
      return 1;
    }
  }

  // Materials name their textures by entry; drawing wants the GL texture names.
  for (int i = 0; i < scene.material_size(); ++i) {
    Kestrel::Material& material = *scene.mutable_material(i);
    if (material.ttexid() != 0) material.set_ttexid(scene.texture(material.ttexid() - 1).crc());
    if (material.rtexid() != 0) material.set_rtexid(scene.texture(material.rtexid() - 1).crc());
  }

  for (int i = 0; i < scene.shader_size(); ++i) {
    Kestrel::Shader& shader = *scene.mutable_shader(i);
    if ((sceneSteps.loadSceneShader ? sceneSteps.loadSceneShader(shader, scene) : loadSceneShader(shader, scene)) != 0) {
      return 1;
    }
  }
  return 0;
}
