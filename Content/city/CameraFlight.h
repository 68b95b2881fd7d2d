// CameraFlight: the city's one camera — its 120-second path, the look-at target it follows
// and its zoom — as envelope keys.
//
// The target leads the camera's view freely for the first 41 seconds, then settles straight
// ahead of it (300 units along -z, level): from then on the look-at view equals the view
// built from the camera's position and bank alone, so anything drawn with that simpler view
// (the car streams) lines up with the city.
#pragma once

#include "data/SceneWriter.h"

namespace content {

constexpr float kFlightSeconds = 120.0f;
constexpr float kTargetSettled = 41.0f;   // from here the target sits straight ahead
constexpr float kTargetDistance = 300.0f;

struct CameraFlight {
  Kestrel::Envelope position[3];  // camera x, y, z
  Kestrel::Envelope bank;         // radians
  Kestrel::Envelope target[3];    // target x, y, z
  Kestrel::Envelope zoom;
};

CameraFlight makeCameraFlight();

}  // namespace content
