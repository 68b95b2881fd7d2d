// Fuzz target: a glTF file (JSON or binary) through the importer. A file the importer
// accepts must convert to a scene whose every reference holds: the player uploads and draws
// what the import produced without checking it again.
#include "FuzzSupport.h"
#include "import/GltfImport.h"
#include "resources/SceneValidator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quietBoxes();
  gltf_import::ImportedScene imported;
  std::string error;
  if (gltf_import::importGltfMemory(data, size, "fuzz.gltf", {}, imported, error) == 0 &&
      !validateScene(imported.scene).empty())
    __builtin_trap();
  return 0;
}
