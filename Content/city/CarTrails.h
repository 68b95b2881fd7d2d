// CarTrails: the light trails the two car streams leave — one streak behind each of the
// 1,600 cars the player draws from 43 s on, red from the tail lamps of the stream along x,
// white from the head lamps of the stream along z (which flies nose last).
//
// carTrails() is deterministic and built once by the scene generator into one surface of
// one object. Its vertices are not geometry: each carries its car's record, and the trail
// effect (Content/effects/city-trails.cgfx) moves it to where the player draws that car at
// the effect's time, so the mesh must not be drawn with any other effect.
#pragma once

#include <array>

#include "data/Mesh.h"

namespace content {

// The cars of the player, laid out exactly as it lays them out: stream A moves along +x
// from x = a at height y, z = b; stream B along +z from z = b at x = a; the speed in units
// per second. Each record is drawn four times, 110 units apart across its stream.
struct CarStreamRecord {
  float a, y, b, speed;
};
void carStreams(std::array<CarStreamRecord, 200>& streamA, std::array<CarStreamRecord, 200>& streamB);

// One quad per car copy. Position: (place across the stream, height of the lamps, stream
// 0 for A or 1 for B); normal: (start along the stream, speed, 0); texture coordinates:
// (0 at the lamps to 1 at the trail's end, -1 to 1 across the trail).
Mesh carTrails();

}  // namespace content
