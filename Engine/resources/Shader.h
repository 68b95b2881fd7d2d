// Shader: an effect file of the data archive with its compiled effect and chosen technique.
//
// A plain holder owned by demo code (post-processing and car effects): the owner sets
// `source` before loading; the effect loader fills `effect` and `technique`, which stay
// empty (null) until then and stay valid until the program ends. Scene files use the schema
// message Kestrel::Shader instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resources/EffectHandles.h"
#include "resources/Sampler.h"

struct Shader {
  uint32_t crc = 0;
  std::string source;               // archive path of the effect file
  CGeffect effect = nullptr;        // null until loaded
  CGtechnique technique = nullptr;  // null until a technique validated
  std::vector<Sampler> sampler;
};
