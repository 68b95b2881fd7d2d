// Fuzz target: a text mesh file.
#include "FuzzSupport.h"
#include "resources/Loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quietBoxes();
  static Loader loader;
  MmfMesh mesh;
  loader.parseMmf(reinterpret_cast<const char*>(data), size, mesh);
  // Each data line adds whole tuples.
  if (mesh.points.size() % 3 || mesh.normals.size() % 3 || mesh.uvs.size() % 2 || mesh.polygons.size() % 3) {
    __builtin_trap();
  }
  return 0;
}
