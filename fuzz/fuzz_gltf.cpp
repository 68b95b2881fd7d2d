// Fuzz target: a glTF file (JSON or binary) through the importer: the GLB chunk checks, the
// JSON pre-pass (version, required extensions, URIs), data URIs, sparse accessors, quantized
// and Draco primitives, texture transforms, the cameras. A file the importer accepts must
// convert to a scene whose every reference holds (the player uploads and draws what the import
// produced without checking it again), with clipping planes 0 < near < far.
#include <cmath>

#include "FuzzSupport.h"
#include "import/GltfImport.h"
#include "resources/SceneValidator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quietBoxes();
  gltf_import::ImportedScene imported;
  std::string error;
  if (gltf_import::importGltfMemory(data, size, "fuzz.gltf", {}, imported, error) != 0) return 0;
  if (!validateScene(imported.scene).empty()) __builtin_trap();
  if (!(imported.cameraNear > 0 && imported.cameraFar > imported.cameraNear && std::isfinite(imported.cameraFar)))
    __builtin_trap();
  return 0;
}
