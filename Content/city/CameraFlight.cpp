#include "city/CameraFlight.h"

#include <vector>

namespace content {
namespace {

struct Waypoint {
  float t, x, y, z;
  uint32_t span;  // the curve of the span that ends at this key
};

// The flight: down from the south-east sky into the avenue at z = 110, west along it, a
// right turn into the avenue at x = -110, a straight cruise north above the traffic, a climb
// past the northern landmark, and a pull-back over the city.
const std::vector<Waypoint> kPath = {
    {0, 150, 185, 300, kTcb},      {9, 95, 120, 215, kTcb},      {18, 40, 55, 118, kTcb},
    {27, -40, 34, 106, kBezier},   {35, -103, 28, 101, kTcb},    {41, -108, 24, 52, kTcb},
    {75, -112, 26, -300, kLinear}, {88, -110, 80, -318, kTcb},   {100, -108, 150, -300, kBezier},
    {110, -110, 200, -200, kTcb},  {120, -112, 240, -60, kTcb},
};

// Where the camera looks before the target settles.
const std::vector<Waypoint> kLook = {
    {0, -110, 90, -110, kTcb}, {9, -70, 110, -40, kTcb}, {18, -40, 90, -30, kTcb},
    {27, -150, 60, 60, kTcb},  {35, -140, 40, -80, kTcb},
};

void addWaypointKeys(Kestrel::Envelope (&env)[3], const std::vector<Waypoint>& path) {
  for (size_t i = 0; i < path.size(); ++i) {
    const Waypoint& w = path[i];
    float v[3] = {w.x, w.y, w.z};
    for (int c = 0; c < 3; ++c) {
      if (w.span == kBezier) {
        // Bezier keys carry explicit tangents, spread like a Catmull-Rom curve's.
        const Waypoint& a = path[i > 0 ? i - 1 : i];
        const Waypoint& b = path[i + 1 < path.size() ? i + 1 : i];
        float va[3] = {a.x, a.y, a.z}, vb[3] = {b.x, b.y, b.z};
        float tangent = vb[c] - va[c];
        addKey(env[c], w.t, v[c], kBezier, 0, 0, 0, tangent, tangent);
      } else {
        addKey(env[c], w.t, v[c], w.span);
      }
    }
  }
}

}  // namespace

CameraFlight makeCameraFlight() {
  CameraFlight f;
  addWaypointKeys(f.position, kPath);

  // Target: its own keys before it settles; from the settling key on, the camera's keys
  // moved 300 units along -z, so both curves run parallel.
  std::vector<Waypoint> look = kLook;
  for (const Waypoint& w : kPath)
    if (w.t >= kTargetSettled) look.push_back({w.t, w.x, w.y, w.z - kTargetDistance, w.span});
  addWaypointKeys(f.target, look);

  // With the music: a roll into the return at 93-95 s.
  const float bank[][2] = {{0, 0},      {9, -0.06f},  {18, 0.12f}, {27, 0.05f},   {35, -0.16f}, {41, 0},
                           {60, 0.04f}, {75, -0.03f}, {88, 0.07f}, {94.5f, -0.12f}, {100, -0.05f}, {110, 0.03f},
                           {120, 0}};
  for (const auto& k : bank) addKey(f.bank, k[0], k[1], kTcb);

  // With the music: a push in on the drop at 43 s, and a widening as the breakdown lifts
  // the camera from 78 s.
  const float zoom[][3] = {{0, 1.25f, kTcb},    {18, 1.1f, kTcb},     {41, 1.3f, kTcb},  {44.5f, 1.55f, kTcb},
                           {60, 1.2f, kLinear}, {75, 1.5f, kLinear},  {82, 1.25f, kTcb}, {100, 1.3f, kTcb},
                           {120, 1.05f, kTcb}};
  for (const auto& k : zoom) addKey(f.zoom, k[0], k[1], uint32_t(k[2]));
  return f;
}

}  // namespace content
