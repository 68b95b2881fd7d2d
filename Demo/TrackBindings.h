// TrackBindings: a production's tracks driving the values they are bound to.
//
// What it is for
//   Each frame, before the parts draw, apply() evaluates every track (ProductionTracks) and
//   writes each bound value: a float parameter of a part's effect ("part:effect:parameter"),
//   the bloom threshold (its sine's base, the sine's amplitude set to 0), the final pass's
//   bloom intensity and saturation, the flash (its opacity, or its gain), the camera's field
//   of view (Renderer::trackFovY), the camera override (Renderer::cameraOverride and the
//   position and target it looks from and at), or a part's fade, which the player reads with
//   fadeOf() after the part draws. A value changed by hand (the tweak bar) since the binding
//   last wrote it is left to the hand from then on, until clearByHand() (the bar's Reset).
//
// Lifecycle
//   load() with the production (and again on a reload); resolve() once its parts are made
//   and the post chain loaded, to find the effects and parameters; apply() once a frame
//   (which finds a parameter again when --watch has replaced its effect).
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

struct PostChain;
class Renderer;

class TrackBindings {
 public:
  int load(const ProductionFile& production, Loader* loader, std::string* error);
  // Finds each binding's part and effect parameter (the post values' in `post`'s final
  // effect, when given); a target that is not there is reported in `messages` (one line
  // each) and left unbound.
  void resolve(const std::function<Effect*(const std::string&)>& part, const PostChain* post,
               std::vector<std::string>* messages);
  void apply(double seconds, double dt, const float* spectrum, PostChain& post, Renderer& renderer);
  // The fade a track gives `part` (1 when none does).
  float fadeOf(const Effect* part) const;
  bool empty() const { return bindings.empty(); }
  // Every value changed by hand goes back to its track at the next apply().
  void clearByHand();
  // How many bound values the hand holds now.
  int heldByHand() const;
  // The indices of the bound tracks, each once, in the order of their first binding.
  std::vector<int> boundTracks() const;

  ProductionTracks tracks;

 private:
  enum class Target { kParameter, kThreshold, kFlashGain, kFlash, kFov, kFade, kCamera };
  struct Bound {
    int track = -1;
    Target target = Target::kParameter;
    std::string name;  // the text of the target
    Effect* part = nullptr;
    std::string effectName, parameterName;  // of a kParameter
    CGeffect effect = nullptr;  // the parameter's effect as last found
    CGparameter parameter = nullptr;
    int tweak = -1;   // the tweak bar's copy of the parameter (TweakGui::parameters), or -1
    int camera = 0;   // Pylon::Binding::CameraValue for kCamera
    bool ofPost = false;  // a kParameter of the post chain's final effect
    float written = 0.0f;  // the value last written, to notice a change by hand
    bool wrote = false, byHand = false;
    bool lookedUp = false;  // `parameter` was looked up in `effect`
  };
  // Finds the parameter's effect now (the part's by its name, or `postEffect`) and, when it is
  // not the one found before, the parameter in it and the tweak bar's copy of it.
  void bindParameter(Bound& bound, CGeffect postEffect);
  float* place(Bound& bound, PostChain& post, Renderer& renderer);
  std::vector<Bound> bindings;
};
