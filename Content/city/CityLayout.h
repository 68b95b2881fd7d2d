// CityLayout: where the city's streets, lots and towers are — the plan every other city
// generator (geometry, rooftop parts, camera flight) works from.
//
// Built once by makeCityLayout(), deterministic. The street grid has centre lines every
// 110 units from -550 to 330 on both axes; the lines at -220, -110, 0 and 110 are the wide
// avenues the car streams fly along. Each block between lines holds 3 x 3 lots with one
// tower on each; five lots near the centre hold the landmark towers of the skyline.
#pragma once

#include <vector>

#include "data/Mesh.h"

namespace content {

struct Box {
  Vec3 lo, hi;
};

struct Tower {
  std::vector<Box> tiers;  // stacked from the ground up; each tier sits on the one below
  int facade = 0;          // facade style, 0 glass, 1 warm, 2 dark
  int seed = 0;            // per-tower random seed for details
  bool landmark = false;
  bool mast = false;       // an antenna mast on the top tier, with a beacon at its tip
  Vec3 mastTop;            // tip of the mast (when mast)
  float height() const { return tiers.back().hi.y; }
  Vec3 roofCentre() const;
};

struct CityLayout {
  std::vector<float> lines;          // street centre lines (same on x and z)
  std::vector<float> avenues;        // the four car avenues, a subset of lines
  std::vector<Tower> towers;
  std::vector<int> landmarks;        // indices into towers
  float extentLo = 0, extentHi = 0;  // the built area, on both axes

  static float halfWidth(float line);  // half the street width of a centre line
  bool isAvenue(float line) const;
};

CityLayout makeCityLayout();

}  // namespace content
