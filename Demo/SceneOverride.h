// SceneOverride: the player's --scene: a glTF 2.0 file imported at start (with the rules of
// pylon import) and laid over the data archive, so the production plays it in place of the
// archive's scene. The scene goes in under "city-03.pb", its images and effects under their
// imported names; what the file holds that the engine does not carry, and what it plays
// otherwise than its author may expect, is listed on standard error. Called before the
// production loads its parts, and again by --watch for each saved version; not a general
// archive writer.
#pragma once

#include <string>
#include <vector>

class Loader;

// What one import left for the next of the same scene: the notes it printed (printed again
// only when they change) and the files the scene reads.
struct SceneOverlayRecord {
  std::vector<std::string> notes;
  std::vector<std::string> files;  // the scene file first, then its buffers and images
};

// 0 on success; 1 with `error` naming the file and the problem (the loader is untouched).
// `cameraName` picks the camera as pylon import --camera does ("" for the first).
int overlayScene(Loader& loader, const std::string& path, const std::string& cameraName, std::string& error,
                 SceneOverlayRecord* record = nullptr);
