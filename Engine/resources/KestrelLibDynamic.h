// KestrelLibDynamic: the run-time root of an imported scene.
//
// Everything the scene file holds (the generated root message Kestrel::KestrelLib), plus the
// effects created for its shader entries. The owner creates it empty and hands it to
// Loader::loadScene once; after the import it is read-only. `effects` and `techniques` are
// filled in the order of the `shader` array: element n-1 of each belongs to shader entry n.
// Destroying the root releases both arrays, then the message; the effects themselves live
// until the program ends, like every GPU object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resources/EffectHandles.h"
#include "resources/KestrelLib.pb.h"

// Entry `id` (1-based, as the scene's references count) of one of the scene's lists, or
// nullptr for 0 or past the end.
template <typename Repeated>
auto kestrelEntry(const Repeated& list, uint32_t id) -> decltype(&list.Get(0)) {
  if (id == 0 || id > static_cast<uint32_t>(list.size())) return nullptr;
  return &list.Get(static_cast<int>(id - 1));
}

class KestrelLibDynamic : public Kestrel::KestrelLib {
 public:
  KestrelLibDynamic() = default;
  ~KestrelLibDynamic() override = default;

  std::vector<CGeffect> effects;  // by shader index, once loaded
  // The loaded effect of the shader whose source is `source`, or null.
  CGeffect effectNamed(const std::string& source) const {
    for (int i = 0; i < shader_size() && i < static_cast<int>(effects.size()); ++i)
      if (shader(i).source() == source) return effects[static_cast<size_t>(i)];
    return nullptr;
  }
  std::vector<CGtechnique> techniques;
};
