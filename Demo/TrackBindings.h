// TrackBindings: a production's tracks driving the values they are bound to.
//
// What it is for
//   Each frame, before the parts draw, apply() evaluates every track (ProductionTracks) and
//   writes each bound value: a float parameter of a part's effect ("part:effect:parameter"),
//   the bloom threshold (its sine's base, the sine's amplitude set to 0), the flash gain,
//   the camera's field of view (Renderer::trackFovY), or a part's fade, which the player
//   reads with fadeOf() after the part draws. A value changed by hand (the tweak bar) since
//   the binding last wrote it is left to the hand from then on.
//
// Lifecycle
//   load() with the production (and again on a reload); resolve() once its parts are made,
//   to find the effects and parameters; apply() once a frame.
//
// Not for
//   Productions without bindings: the player makes none, and nothing changes for them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "Effect.h"
#include "cg/Cg.h"
#include "sync/ProductionTracks.h"

class PostChain;
class Renderer;

class TrackBindings {
 public:
  int load(const ProductionFile& production, Loader* loader, std::string* error);
  // Finds each binding's part and effect parameter; a target that is not there is reported
  // in `messages` (one line each) and left unbound.
  void resolve(const std::function<Effect*(const std::string&)>& part, std::vector<std::string>* messages);
  void apply(double seconds, double dt, const float* spectrum, PostChain& post, Renderer& renderer);
  // The fade a track gives `part` (1 when none does).
  float fadeOf(const Effect* part) const;
  bool empty() const { return bindings.empty(); }

  ProductionTracks tracks;

 private:
  enum class Target { kParameter, kThreshold, kFlashGain, kFov, kFade };
  struct Bound {
    int track = -1;
    Target target = Target::kParameter;
    std::string name;  // the text of the target
    Effect* part = nullptr;
    CGparameter parameter = nullptr;
    float written = 0.0f;  // the value last written, to notice a change by hand
    bool wrote = false, byHand = false;
  };
  float* place(Bound& bound, PostChain& post, Renderer& renderer);
  std::vector<Bound> bindings;
};
