// BinMmfHeader: the fixed header of a binary mesh file.
//
// Nine little-endian 32-bit words at the start of the file: one word the loader does not
// interpret, then size and offset (both in bytes, the offset from the start of the file) of
// the points, normals, uvs and polygons sections. Sections follow the header in any order;
// points, normals and uvs are float arrays (3, 3 and 2 per vertex), polygons an array of
// signed 32-bit vertex indices, 3 per triangle. A size of 0 means the section is absent.
// Used by Loader::loadBinMmf to read and by the content tools to write such files.
#pragma once

#include <cstdint>

struct BinMmfHeader {
  uint32_t tag;
  uint32_t pointsSize, pointsOffset;
  uint32_t normalsSize, normalsOffset;
  uint32_t uvsSize, uvsOffset;
  uint32_t polygonsSize, polygonsOffset;
};
static_assert(sizeof(BinMmfHeader) == 36, "nine packed 32-bit words");
