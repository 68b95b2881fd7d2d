// StockMeshes: the demo's own small meshes and the wipe's gradient image.
//
// quadMesh: two triangles from (-1, -1, 0) to (1, 1, 0), texture coordinates 0..1, facing +z:
// drawn with identity modelview and projection (or by a vertex program that passes the
// position through) it covers the whole current viewport, texture (0, 0) at its lower left.
// cubeEnvMesh: a cube of edge 100 centred on the origin with outward faces.
#pragma once

#include <cstdint>
#include <vector>

#include "data/Mesh.h"

namespace content {

Mesh quadMesh();
Mesh cubeEnvMesh();
// 256 x 256 grey levels rising from left to right with a soft, wavy front, the order in
// which a wipe uncovers the picture.
std::vector<uint8_t> gradientTexture();

}  // namespace content
