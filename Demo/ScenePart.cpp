#include "ScenePart.h"

#include "LiveEdit.h"
#include "SceneOverride.h"
#include "platform/MessageBox.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"
#include "runtime/Runtime.h"
#include "scene/BasicDraw.h"
#include "scene/Renderer.h"
#include "scene/SceneLights.h"
#include "scene/SceneRenderer.h"

#include <GL/glew.h>

std::string ScenePart::sceneMember() const {
  return config.has_gltf() ? "imported/parts/" + id + ".pb" : config.member();
}

int ScenePart::init() {
  Runtime* runtime = Runtime::instance();
  Loader& loader = *runtime->loader;
  if (config.has_gltf()) {
    std::string error;
    if (overlaySceneMember(loader, config.gltf(), error, sceneMember()) != 0) {
      *runtime->logger << "scene part " << id << ": " << error << "\n";
      return 1;
    }
  }
  if (loader.loadScene(scene, sceneMember()) != 0) return 1;
  if (config.has_world()) {
    Kestrel::World& world = *scene.mutable_world();
    world.set_r(config.world().r());
    world.set_g(config.world().g());
    world.set_b(config.world().b());
  }
  camera = 0;
  if (config.has_camera_index() || config.has_camera_name()) {
    camera = -1;
    for (int i = 0; i < scene.camera_size() && camera < 0; ++i)
      if (config.has_camera_index() ? i == static_cast<int>(config.camera_index()) : scene.camera(i).name() == config.camera_name())
        camera = i;
    if (camera < 0) {
      *runtime->logger << "scene part " << id << ": " << sceneMember() << " has no camera "
                       << (config.has_camera_index() ? std::to_string(config.camera_index()) : "\"" + config.camera_name() + "\"")
                       << " (it has " << scene.camera_size() << ")\n";
      return 1;
    }
  }
  return 0;
}

void ScenePart::draw(float localTime) {
  Renderer& renderer = *Runtime::instance()->renderer;
  renderer.sceneCamera = camera;
  renderer.sceneNear = config.near();
  renderer.sceneFar = config.far();
  if (scene.has_world()) {
    // The world's colour behind the scene, over the view this part draws into.
    GLint view[4];
    glGetIntegerv(GL_VIEWPORT, view);
    basic::SavedScissor scissor;
    GLfloat clearColour[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    glEnable(GL_SCISSOR_TEST);
    glScissor(view[0], view[1], view[2], view[3]);
    const Kestrel::World& world = scene.world();
    glClearColor(srgbEncode(world.r()), srgbEncode(world.g()), srgbEncode(world.b()), 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(clearColour[0], clearColour[1], clearColour[2], clearColour[3]);
  }
  drawScene(renderer, scene, localTime);
}

void ScenePart::release() { LiveEdit::release(scene); }
