// Sampler: binds a texture to a sampler parameter of an effect, by name.
//
// A plain holder, member of a Shader. `name` is the sampler parameter's name inside the
// effect; `texID` is the texture it samples (a 1-based entry, 0 meaning none).
#pragma once

#include <cstdint>
#include <string>

struct Sampler {
  std::string name;
  uint32_t texID = 0;
};
