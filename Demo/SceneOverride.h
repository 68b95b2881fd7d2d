// SceneOverride: the player's --scene: a glTF 2.0 file imported at start (with the rules of
// pylon import) and laid over the data archive, so the production plays it in place of the
// archive's scene. The scene goes in under "city-03.pb", its images and effects under their
// imported names; what the file holds that the engine does not carry is listed on standard
// error. Called before the production loads its parts; not a general archive writer.
#pragma once

#include <string>

class Loader;

// 0 on success; 1 with `error` naming the file and the problem (the loader is untouched).
int overlayScene(Loader& loader, const std::string& path, std::string& error);
