// glTF scenes in the browser: the importer (tinygltf, Draco) is not built for the page.
// A production that plays a glTF scene is refused with the file's name; its archive can
// carry the scene converted beforehand (pylon import SCENE.gltf writes the .pb member).
#include "SceneOverride.h"

int overlayScene(Loader&, const std::string& path, std::string& error, const std::string&, OverlaidScene*,
                 const std::string&) {
  error = path + ": glTF scenes are not imported in the browser; convert it with pylon import and play the archive";
  return 1;
}

int overlaySceneMember(Loader&, const std::string& member, std::string& error, const std::string&, OverlaidScene*) {
  error = member + ": glTF scenes are not imported in the browser; convert it with pylon import and play the archive";
  return 1;
}
