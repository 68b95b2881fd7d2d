// StreetLights: the light of the detailed city's streets — lamp posts along the avenues, the
// signs hung over them, and one ground light map that holds, for the whole street grid, the
// pools the lamps throw, the light of the shop fronts along the kerbs and the wet asphalt's
// reflections of the signs and the lamps.
//
// Everything is baked by the scene generator from the city layout, deterministically: the
// street effect pays one extra texture read per pixel for all of it, and the lamps are plain
// opaque boxes. Scenery only — nothing here moves or answers the music, and the light map
// covers the detailed grid, not the far city (whose ground texture has its own lamps).
#pragma once

#include <cstdint>
#include <vector>

#include "city/CityLayout.h"
#include "data/Image.h"
#include "data/Mesh.h"

namespace content {

// A neon sign on a tower's face towards an avenue: its quad (counter-clockwise from the
// avenue), its cell of the sign atlas, and the unit direction it faces.
struct SignPlate {
  Vec3 corner[4];
  float u0, v0, u1, v1;
  int cell;
  Vec3 facing;
};

// The signs of one tower, appended to out. Draws from rnd in the order the city has always
// been generated with, so callers that go on drawing from it (the mast beacons) keep theirs.
void placeTowerSigns(const Tower& tower, const std::vector<float>& avenues, Random& rnd, std::vector<SignPlate>& out);
std::vector<SignPlate> placeSigns(const CityLayout& city);

// A lamp post on an avenue's kerb: its foot on the sidewalk and the unit direction its head
// reaches out over the street.
struct StreetLamp {
  Vec3 foot;
  Vec3 reach;
};
constexpr float kLampHeight = 7.5f;
std::vector<StreetLamp> streetLamps(const CityLayout& city);
// The dark posts, and the lit tops of their heads; faces only where the flight, always high
// above the lamps, can see them.
void lampMeshes(const std::vector<StreetLamp>& lamps, Mesh& posts, Mesh& heads);

// The ground light map: kGroundLightPixels square over kGroundLightSize world units from
// (kGroundLightOrigin, kGroundLightOrigin) on x and z, the streets' whole extent. Colours
// are the light added to the asphalt times kGroundLightScale (for precision in 8 bits); alpha
// is the asphalt's grain of wet patches.
constexpr float kGroundLightOrigin = -610.0f, kGroundLightSize = 1024.0f, kGroundLightScale = 3.0f;
constexpr int kGroundLightPixels = 512;
Image groundLightImage(const CityLayout& city);
std::vector<uint8_t> groundLightTexture();  // of makeCityLayout()'s city, as PNG

}  // namespace content
