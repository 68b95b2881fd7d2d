// MmfMesh: one mesh read from a mesh file of the data archive.
//
// Filled by Loader::loadBinMmf (binary form) or Loader::loadMmf (text form), which replace
// every array; uploaded to GL buffers afterwards, which sets `indexBuffer` and
// `vertexBuffer`. Owned by the demo object that draws it, for the life of the program.
#pragma once

#include <cstdint>
#include <vector>

#include "resources/Texture.h"

struct MmfMesh {
  uint32_t indexBuffer = 0;   // GL buffer names, 0 until uploaded
  uint32_t vertexBuffer = 0;
  std::vector<float> points;     // 3 per vertex
  std::vector<float> normals;    // 3 per vertex
  std::vector<float> uvs;        // 2 per vertex, empty when the file has none
  std::vector<int32_t> polygons; // 3 vertex indices per triangle
  std::vector<Texture> textures; // paths read from the file, crc 0
};
