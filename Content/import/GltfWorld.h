// GltfWorld: the world `pylon import --world` gives a scene: a colour, or an
// equirectangular image (as Blender's world takes one) reduced to the nine spherical-harmonic
// terms of its light, which is all that diffuse lighting from all round can show.
//
// Internal to the importer and the player's --scene; plain math over decoded pixels, no GL.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace gltf_import {

// Nine terms (bands 0 to 2) of the radiance around the scene, r g b each, in the scene's
// axes (glTF's: +Y up).
using ShTerms = std::array<float, 27>;

// The terms of an equirectangular image of `width` x `height` linear RGB pixels (3 floats
// each, top row first), laid out as Blender lays a world image: the middle of the image
// towards +X, the left and right edges towards -X, its top straight up.
ShTerms equirectTerms(const std::vector<float>& rgb, int width, int height);
// The terms of a world of one colour.
ShTerms uniformTerms(const float colour[3]);
// The radiance the terms give towards the unit direction d (x, y, z), every band in full.
std::array<float, 3> radianceOf(const ShTerms& terms, const float d[3]);

// Reads and reduces an image file (PNG or JPEG, sRGB). 0 on success; 1 with `error` naming
// the file and the problem.
int readWorldImage(const std::string& path, ShTerms& terms, std::string& error);

}  // namespace gltf_import
