// FarCity: the city as seen from afar — plain boxes with small lit windows on a ground of
// lit street grids — out to where the haze takes everything, so that no camera position
// sees the city end. It also holds a plain copy of the detailed towers (one box per tier)
// and of their ground: the far effect shows these only beyond the distance where the
// detailed city would meet the far plane (see Content/effects/city-far.cgfx).
//
// makeFarCity() is deterministic and built once by the scene generator. The far city comes
// in nine tiles: the detailed grid's square (the plain copy) and the eight parts of the ring
// around it, so that the player can skip the tiles behind and beside the camera (each is an
// object with its own bounding box). Each tile's two meshes are in world coordinates and
// each becomes one surface. It is scenery only: nothing here is meant to be flown through
// (the flight stays over the detailed blocks).
#pragma once

#include "city/CityLayout.h"
#include "data/Mesh.h"

#include <vector>

namespace content {

// The far city reaches this many 110-unit blocks beyond the detailed grid on every side.
constexpr int kFarBlocks = 7;
// Height of the far ground: just below the detailed streets and sidewalks.
constexpr float kFarGroundY = -0.2f;

// The normals are tags for the far effect (see FarCity.cpp), not directions.
struct FarTile {
  Mesh towers;  // boxes: walls map the far-facade atlas in world units, roofs have uv (-1, -1)
  Mesh ground;  // the tile's ground in block-sized squares; uv = world position / block size
};
struct FarCity {
  // The detailed grid's square first, then the ring's eight tiles, north-west to south-east.
  std::vector<FarTile> tiles;
};

FarCity makeFarCity(const CityLayout& city);

}  // namespace content
