// Effect: one demo part on the timeline. init() loads its resources (0 on success) and
// draw() renders it at a local time in seconds since the part's start.
//
// release() frees the part's GL objects and effects while the GL and effect contexts are
// current: a live reload that replaces the part calls it before deleting it. The
// destructor leaves them alone, since at the end of the process the contexts are gone
// first and everything goes with them.
//
// effectNamed() hands a production's track bindings the loaded effect a part knows by that
// name ("part:effect:parameter"), or null.
#pragma once

#include <string>

#include "resources/EffectHandles.h"

class Effect {
 public:
  virtual ~Effect() = default;
  virtual int init() = 0;
  virtual void draw(float localTime) = 0;
  virtual void release() {}
  virtual CGeffect effectNamed(const std::string& /*name*/) { return nullptr; }
};
