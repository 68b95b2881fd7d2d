// ShaderPart: a production's `shader` part — one effect drawn over the whole view, the
// full-view pictures (titles, tunnels, fields of light) that demos are made of.
//
// The effect's first pass draws the quad mesh "objects/quad.mmf" over the view. Each frame
// the part sets, when the effect declares them:
//   float  Time        the part's local time in seconds
//   float2 Resolution  the view's width and height in pixels
//   sampler2D Music    512 x 2 texels: row 0 the 512 spectrum bands, row 1 (its first 256
//                      texels) the wave data mapped from -1..1 to 0..1; in the red channel
// Created from the production's part by the demo and initialised with the other parts;
// release() frees its effect, mesh and texture (a live reload replacing the part).
#pragma once

#include <cstdint>
#include <string>

#include "Effect.h"
#include "resources/MmfMesh.h"
#include "resources/Shader.h"

class ShaderPart : public Effect {
 public:
  explicit ShaderPart(const std::string& effect) { shader.source = effect; }
  // Its effect, as "effect" or by its member name.
  CGeffect effectNamed(const std::string& name) override {
    return name == "effect" || name == shader.source ? shader.effect : nullptr;
  }
  int init() override;
  void draw(float localTime) override;
  void release() override;

  // The Music texture's texels for a spectrum of 512 bands and 256 wave values (either may
  // be null: zeros), row 0 then row 1.
  static void musicTexels(const float* spectrum, const float* wave, float* texels);

  Shader shader;
  MmfMesh quad;
  uint32_t musicTexture = 0;
};
