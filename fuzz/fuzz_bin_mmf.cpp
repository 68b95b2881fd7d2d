// Fuzz target: a binary mesh file.
#include "FuzzSupport.h"
#include "resources/Loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quietBoxes();
  static Loader loader;
  MmfMesh mesh;
  if (loader.parseBinMmf("fuzz.mmf", data, size, mesh) == 0) {
    // Each array is one section of the file (sections may overlap), never more than it has.
    for (size_t count : {mesh.points.size(), mesh.normals.size(), mesh.uvs.size(), mesh.polygons.size()}) {
      if (count * 4 > size) __builtin_trap();
    }
    // Every index of a mesh that loaded names one of its vertices.
    for (int32_t index : mesh.polygons) {
      if (index < 0 || static_cast<size_t>(index) >= mesh.points.size() / 3) __builtin_trap();
    }
  }
  return 0;
}
