// MmfWriter: writes a generated Mesh as a mesh file, in the binary or the text form.
//
// Binary form: a header of nine little-endian words (a tag, then size and offset of the
// points, normals, uvs and polygons sections) followed by the four sections. Text form: the
// tagged sections, one tuple a line, plus an optional texture list. Tangents are not kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/Mesh.h"

namespace content {

// The tag in word 0 of binary mesh files written here ("MMFB" read as a little-endian word).
constexpr uint32_t kBinMmfTag = 0x42464d4du;

std::vector<uint8_t> encodeBinMmf(const Mesh& mesh);
std::vector<uint8_t> encodeTextMmf(const Mesh& mesh, const std::vector<std::string>& textures);

}  // namespace content
