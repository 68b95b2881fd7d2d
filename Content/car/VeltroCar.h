// VeltroCar: the flying car of the two traffic streams — its mesh and its 512 x 512 texture.
//
// The car is about 4 units long, nose towards +x (the direction of the stream that is drawn
// without a turn), standing on y = 0, centred on x and z. Its texture is an atlas: paint,
// glass, and the light panels (head, tail, underglow), whose alpha is 1 so that the car
// effect draws them at full brightness for the bloom to catch.
#pragma once

#include <cstdint>
#include <vector>

#include "data/Mesh.h"

namespace content {

Mesh veltroMesh();
// The same car with about half the triangles (its outline, lamps and fins kept), for
// cars far from the camera.
Mesh veltroFarMesh();
// A box of a few quads with the head and tail lamps and the glowing underside, for cars
// so far away that they are a few pixels long.
Mesh veltroDistantMesh();
std::vector<uint8_t> veltroTexture();

}  // namespace content
