// SceneLights: a scene's punctual lights as the effects that read them see them: placed in
// view space at the frame's time, in the engine's units, the strongest at the camera first.
//
// drawScene() converts the scene's light records every frame (sceneLight), keeps at most
// kSceneLightLimit of them (chooseLights) and hands them to every effect of the scene that
// declares the parameters (docs/importing.md names them). Plain math; no GL here.
#pragma once

#include "resources/KestrelLib.pb.h"

// The most lights an effect receives; beyond it, the ones that light the camera's
// surroundings least are left out.
constexpr int kSceneLightLimit = 8;
// Light intensities are photometric (lux for directional lights, candela for point and
// spot lights); the renderer's linear colour is radiometric, at 683 lumens per watt, so a
// white surface facing a 683 lux sun reflects 1/pi.
constexpr float kLumensPerWatt = 683.0f;

struct SceneLight {
  float position[4];  // view space; w 0: directional, xyz towards the light; w 1: point or spot, xyz its place
  float colour[4];    // rgb: colour times intensity in watts (per m2, or per steradian); a: range, 0 for none
  float axis[3];      // view space: where a spot points
  float cone[2];      // spot: scale and offset on the cosine from the axis; (0, 1) for other lights
  float rank;         // light reaching the camera: the brightest colour component, over the distance squared
};

// Light record `light` whose node has the row-major view-from-node transform `viewFromNode`
// (the light's node shines along its -Z; null for a light fixed to the camera, which shines
// from above, right and behind it).
SceneLight sceneLight(const Kestrel::Light& light, const float* viewFromNode);
// A linear colour component as the screen shows it (the sRGB curve, clamped to 0..1).
float srgbEncode(float linear);

// Orders lights[0..count) by rank, the highest first, and returns how many an effect takes.
int chooseLights(SceneLight* lights, int count);
