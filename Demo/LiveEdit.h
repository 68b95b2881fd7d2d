// LiveEdit: the player's --watch. Files saved while the production plays are reloaded in
// place, without a restart and without touching the demo time or the tweak GUI:
//   - an effect ("*.cgfx") of the scene, the cars or the post-processing chain: recompiled;
//     when it fails the last good effect stays and the error, with its file and line, shows
//     over the picture and in the log until a save that compiles. The tweak GUI's parameters
//     of a replaced effect move to the new one with their values (a parameter the new text
//     adds is not offered to the GUI until the next start);
//   - an image of the scene or the cars: a new GL texture, the old one deleted;
//   - the car meshes and the post chain's quad and cube ("*.mmf"): read (and uploaded)
//     again, the old buffers deleted;
//   - the city's scene file ("city-03.pb" in the data directory, or the --scene glTF file
//     and the buffers and images it reads): imported again; the new scene replaces the
//     old, whose buffers, textures and effects are released. Other files saved beside the
//     glTF file (a screenshot, a backup) are left alone;
//   - the production file (the data directory's production.txtpb, or --production FILE):
//     read and checked again; the demo plays the new one from the same demo time, new and
//     changed parts loaded and the ones they replace released. A file that does not parse
//     or check leaves the last good production playing, its errors on the screen;
//   - a file a scene or shader part loads: that part is made again.
// Each reload is reported in one line on standard error and in the log; the import's notes
// (what is not carried) are printed again only when they change.
// Created by the player once the production is loaded (start()), polled once per frame
// (poll()). Watching needs --data DIR (loose files) and/or --scene; a ZIP archive is not
// watched.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "SceneOverride.h"
#include "platform/FileWatch.h"

struct ProgramOptions;
struct PostChain;
struct Shader;
class Scene01;
class KestrelLibDynamic;

class LiveEdit {
 public:
  // 0 when watching (or when --watch is off); 1 with the reason in `error`. `scene` and
  // `post` (either may be null) hold what is reloaded besides the scene file.
  int start(const ProgramOptions& options, Scene01* scene, PostChain* post, std::string& error);
  // Reloads what was saved since the last call. Returns the number of files reloaded.
  int poll();
  // Reloads one data member (or the scene, for "city-03.pb") as if it had been saved.
  int reloadMember(const std::string& member);
  int reloadScene();
  // The production file again (when `fileSaved`), and the parts that load any of
  // `savedMembers` made again. 1 when the production changed, 0 otherwise.
  int reloadProduction(bool fileSaved, const std::set<std::string>& savedMembers);

  // What failed to reload, one line per file, "" once every file loads again.
  std::string errorText() const;
  long reloads = 0;
  // The --scene import's notes and files; the player's first import fills it.
  OverlaidScene sceneRecord;

  // Releases the GL objects and effects of an uploaded scene.
  static void release(KestrelLibDynamic& scene);

 private:
  int reloadEffect(const std::string& member);
  int reloadTexture(const std::string& member);
  int reloadHeldEffect(Shader& shader, const std::string& member);
  int reloadPostMesh(const std::string& member);
  void fail(const std::string& member, const std::string& problem);
  void succeed(const std::string& member);
  bool readByScene(const std::string& path) const;
  int watchSceneFolders(std::string& problem);

  std::map<std::string, std::string> problems;  // member -> why its last reload failed
  bool active = false;
  Scene01* part = nullptr;
  PostChain* post = nullptr;
  std::string dataDirectory;  // "" unless --data names a directory
  std::string sceneFile, sceneDirectory;
  std::string productionFile;  // canonical path; "" when the production is not a watched file
  std::string cameraName;      // --camera
  std::set<std::string> watchedFolders;
  std::unique_ptr<platform::FileWatch> watch;
};
