// KestrelLibDynamic: the run-time root of an imported scene.
//
// Everything the scene file holds (the generated root message Kestrel::KestrelLib), plus the
// effects created for its shader entries. The owner creates it empty and hands it to
// Loader::loadScene once; after the import it is read-only. `effects` and `techniques` are
// filled in the order of the `shader` array: element n-1 of each belongs to shader entry n.
// Destroying the root releases both arrays, then the message; the effects themselves live
// until the program ends, like every GPU object.
#pragma once

#include <vector>

#include "resources/EffectHandles.h"
#include "resources/KestrelLib.pb.h"

class KestrelLibDynamic : public Kestrel::KestrelLib {
 public:
  KestrelLibDynamic() = default;
  ~KestrelLibDynamic() override = default;

  std::vector<CGeffect> effects;
  std::vector<CGtechnique> techniques;
};
