// Loader: the data archive and every resource loading operation.
//
// Owned by Runtime, which constructs it once: construction opens the archive ("data.zip" in
// the working directory, else the one beside the program, or the file named by --data) and
// keeps it open for the life of the process. --data may also name a directory of loose
// files (an unpacked archive, while authoring): its files are found with the same lookup. Every asset is then found by name with
// getSize() and read into a caller-owned block with read(). The mesh, scene and other
// loaders are built on those two and write their progress to the log.
//
// Tools, tests and fuzz targets make an unopened Loader with the default constructor and
// open an archive of their choice with openArchive(); that path shows no message box.
// Not thread-safe: the main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "resources/KestrelLib.pb.h"
#include "resources/KestrelLibDynamic.h"
#include "resources/MmfMesh.h"
#include "resources/Shader.h"

struct zip;

class Runtime;
class Logger;

// One member of the archive, as pylon ls shows it.
struct ArchiveEntry {
  std::string name;
  uint64_t size = 0;            // uncompressed
  uint64_t compressedSize = 0;
};

// The steps of the scene import that need a GL context. Empty members call the Loader's
// own operations (uploadScene, loadSceneTexture, loadSceneShader); tests and tools that
// import a scene without a GPU set them.
struct SceneImportSteps {
  std::function<int(KestrelLibDynamic& scene)> uploadScene;
  std::function<int(Kestrel::Texture& texture)> loadSceneTexture;
  std::function<int(Kestrel::Shader& shader, KestrelLibDynamic& scene)> loadSceneShader;
};

class Loader {
 public:
  // Opens the program's archive; on failure shows "Data file not found." and stays unopened.
  explicit Loader(Runtime* runtime);
  // An unopened loader without a Runtime (no log): for tools, tests and fuzz targets.
  Loader();
  ~Loader();
  Loader(const Loader&) = delete;
  Loader& operator=(const Loader&) = delete;

  // Where the archive is looked for, in order, for an explicit name ("" for the default).
  static std::string findArchive(const std::string& explicitName);
  // The same search for a program living in `programDir`: the working directory's data.zip,
  // `programDir`/data.zip, `programDir`/../share/veltro12/data.zip; "data.zip" when none exists.
  static std::string findArchive(const std::string& explicitName, const std::string& programDir);
  // Why `path` does not open as an archive, given the archive library's `reason`: missing,
  // unreadable, or not a ZIP archive, the file named by its absolute path.
  static std::string describeOpenFailure(const std::string& path, const std::string& reason, bool searched);

  // Opens the archive file at `path` (closing any open one), or the directory of loose files
  // when `path` is a directory. 0 on success; 1 with the reason in `error` (when given). No
  // message box.
  int openArchive(const std::string& path, std::string* error = nullptr);
  // The same over bytes in memory, which must outlive the loader (fuzz targets, tests).
  int openArchiveMemory(const void* data, size_t size, std::string* error = nullptr);

  // The largest member any loader reads (256 MiB; the production's largest is a few MiB).
  static constexpr uint32_t kMaxMemberSize = 256u << 20;

  // The uncompressed size of the named entry, or 0 when there is none or it claims more
  // than kMaxMemberSize (logged either way, naming the entry).
  uint32_t getSize(const std::string& name);
  // Fills `buffer` with the entry's uncompressed bytes (exactly getSize() of them). 0 on
  // success; 1 when the name is not found (silently) or the data is damaged (message box).
  int read(const std::string& name, void* buffer);

  // The members in central-directory order (a directory's files sorted by name).
  std::vector<ArchiveEntry> entries() const;
  // The file behind member `name` when a directory is open ("" otherwise or when missing).
  std::string looseFilePath(const std::string& name);
  // Members laid over the archive (the player's --scene puts an imported scene there): found
  // before the archive's own, by the same lookup; a second call for a name replaces it.
  void overlay(const std::string& name, std::vector<uint8_t> bytes);

  // Binary mesh file `name` into `mesh`. 0 on success, 1 on failure (logged).
  int loadBinMmf(const std::string& name, MmfMesh& mesh);
  // The text mesh file "objects/quad.mmf" into `mesh`. 0 on success, 1 on failure.
  int loadMmf(MmfMesh& mesh);
  // The parsing halves of the two mesh loaders, over bytes already read. `name` is only
  // used in log lines. Same results as the loaders; both refuse (1) a mesh whose triangles
  // name a vertex it does not have: the binary form leaves `mesh` as it was, the text form
  // leaves its arrays empty.
  int parseBinMmf(const std::string& name, const uint8_t* data, size_t size, MmfMesh& mesh);
  int parseMmf(const char* data, size_t size, MmfMesh& mesh, const std::string& name = "objects/quad.mmf");

  // Imports the scene file `member` (Veltro 12's "city-03.pb" by default) into `scene`
  // (empty, owned by the caller): read, parse, check every reference, then upload,
  // textures, material texture names and effects. 0 when the scene is ready to draw, 1 on
  // any failure.
  int loadScene(KestrelLibDynamic& scene, const std::string& member = "city-03.pb");
  // Parses scene file bytes into `scene` (what was parsed before any damage stays) and logs
  // the creator line. False when the bytes could not be parsed to their end.
  bool parseScene(const uint8_t* data, size_t size, KestrelLibDynamic& scene);

  // The GL steps of the import (geometry upload, one scene texture, one scene effect).
  // uploadScene never reads outside a stream: missing values upload as zeros; afterwards the
  // scene's point, normal, tangent, uv and index lists are empty (the GL buffers hold them).
  int uploadScene(KestrelLibDynamic& scene);
  int loadSceneTexture(Kestrel::Texture& texture);
  int loadSceneShader(Kestrel::Shader& shader, KestrelLibDynamic& scene);

  // Effect loading: compiles `shader.source` in the Screen's Cg context and keeps the first
  // technique that validates. 0 when one did, 1 otherwise (each step logged). loadShader
  // then offers the effect's float parameters to the tweak GUI (exposeParameters, which
  // does nothing while the GUI switch is off and always returns 0); compileShader does not
  // (a reload whose parameters the GUI already holds). On failure `shader.effect` may hold
  // the effect that did not validate: the caller destroys it.
  int loadShader(Shader& shader);
  int compileShader(Shader& shader);
  int exposeParameters(Shader& shader);
  // Logs the context's last effect error with its compiler listing; nothing when none.
  void reportCgError();

  // The image `texture.source` as a mip-mapped 2D texture (or a cube map for six images);
  // the GL name goes into `texture.crc`. 0 on success, 1 on failure (logged).
  int loadTexture(Texture& texture);
  // The mesh's index and 32-byte interleaved vertex buffers (sets indexBuffer, vertexBuffer).
  int uploadMesh(MmfMesh& mesh, unsigned usage);

  Runtime* runtime = nullptr;
  char lineBuffer[256] = {};  // the text mesh parser's current line
  std::vector<std::pair<uint32_t, uint32_t>> uploadedGeometry;  // (vboID, vertex buffer name)
  bool opened = false;
  zip* archive = nullptr;
  std::string archivePath;  // the file (or directory) that was opened, "" when none
  // Why the archive did not open: the file it looked for (as an absolute path) and what was
  // wrong with it; "" once opened.
  std::string openProblem;
  bool directory = false;   // archivePath is a directory of loose files
  SceneImportSteps sceneSteps;

  // The log of the owning Runtime, or a log that drops everything when there is none.
  Logger& log();

 private:
  // Index of the entry `name` names (backslashes as slashes, letter case ignored), or -1.
  // In a directory, a name not found makes it look again once: files appear while authoring.
  int64_t lookup(const std::string& name);
  int adopt(zip* opening, const std::string& path);
  int openDirectory(const std::string& path, std::string* error);
  void indexDirectory();
  int readLoose(int64_t index, const std::string& name, void* buffer);
  void close();
  bool readLine(const char* data, size_t size, size_t& position);

  // Lower-cased entry name -> index of the first entry with that name.
  std::unordered_map<std::string, uint64_t> entryIndex;
  // A directory's files ("/"-separated, relative to it) and the size getSize() last reported
  // for each, which bounds what read() may write.
  std::vector<std::string> looseFiles;
  std::vector<uint32_t> looseSizes;
  // Overlaid members by looked-up name (lower case, "/" separators).
  std::unordered_map<std::string, std::vector<uint8_t>> overlaid;
  const std::vector<uint8_t>* overlaidMember(const std::string& name) const;
};
