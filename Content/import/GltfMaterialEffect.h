// GltfMaterialEffect: the effect source the importer writes for a glTF material of a given
// shape: which textures it reads (with their sampler states), its alpha mode and whether it
// is double-sided. Its factors are effect parameters that the scene's shader entry gives
// values to (Kestrel::ShaderValue), so every material of one shape shares one effect file
// and one compiled program.
//
// The effect lights in linear space with the metallic-roughness model of glTF 2.0 (Lambert
// diffuse, GGX distribution, height-correlated Smith visibility, Schlick Fresnel) under the
// scene's punctual lights and its ambient colour, which the renderer sets every frame
// (kLightParameters), and writes sRGB-encoded colour. Pure text; nothing here touches GL.
#pragma once

#include <string>

namespace gltf_import {

// The filter and wrap states of one texture's sampler.
struct MapSampler {
  bool nearest = false;  // magnification unfiltered
  std::string wrapS = "Repeat", wrapT = "Repeat";
  bool operator==(const MapSampler&) const = default;
};

enum class AlphaMode { Opaque, Mask, Blend };

struct MaterialShape {
  // The textures the material reads; a sampler for each one present.
  bool baseColour = false, metallicRoughness = false, normal = false, occlusion = false, emissive = false;
  MapSampler baseColourSampler, metallicRoughnessSampler, normalSampler, occlusionSampler, emissiveSampler;
  AlphaMode alpha = AlphaMode::Opaque;
  bool doubleSided = false;
  // KHR_materials_unlit: the base colour (factor, texture, alpha) as it is; no light, and
  // the metal, roughness, normal, occlusion and emission are not read.
  bool unlit = false;
  // The lights the effect is written to read, the scene's own (at most kMaxLights). The
  // software rasteriser runs a branch on a uniform for every fragment whether it is taken or
  // not, so a light slot that the scene never fills would still cost its whole reflection.
  int lights = 8;
};

// The effect text for materials of this shape (the same text for the same shape).
std::string materialEffect(const MaterialShape& shape);

// How many lights the scene drawing hands an effect (the nearest or strongest first).
constexpr int kMaxLights = 8;

}  // namespace gltf_import
