// SceneOverride: glTF 2.0 scenes imported at start (with the rules of pylon import) and
// laid over the data archive, so that the production plays them as if the archive held
// them. The player's --scene and a production's `scene` part with a `gltf` source use it,
// and --watch again for each saved version. The scene goes in under the member name the
// caller gives, its images and effects under their imported names; what the file holds that
// the engine does not carry, and what it plays otherwise than its author may expect, is
// listed on standard error (again only when it changes). Not a general archive writer.
#pragma once

#include <string>
#include <vector>

class Loader;

// What an import laid over the archive, kept by the caller for the next import of the same
// scene.
struct OverlaidScene {
  double animationLength = 0.0;  // the last key time of any animated channel, seconds
  int cameras = 0;
  float cameraNear = 0, cameraFar = 0;  // the scene camera's planes (0 when the file gives none)
  std::vector<std::string> notes;       // printed by the last import; printed again only when they change
  std::vector<std::string> files;       // the scene file first, then the buffers and images it reads
};

// Imports the glTF file `path` and lays it over `loader` as `sceneMember`, with the camera
// of that name (as pylon import --camera; "" for the first). 0 on success; 1 with `error`
// naming the file and the problem (the loader is untouched).
int overlayScene(Loader& loader, const std::string& path, std::string& error, const std::string& sceneMember = "city-03.pb",
                 OverlaidScene* result = nullptr, const std::string& cameraName = "");
// The same for a glTF member of the loader's own data (a .glb, or a .gltf whose files lie
// beside it in a data directory).
int overlaySceneMember(Loader& loader, const std::string& member, std::string& error, const std::string& sceneMember,
                       OverlaidScene* result = nullptr);
