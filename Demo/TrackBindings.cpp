#include "TrackBindings.h"

#include <algorithm>

#include "cg/CgGL.h"
#include "gui/TweakGui.h"
#include "post/PostChain.h"
#include "runtime/Runtime.h"
#include "scene/Renderer.h"

namespace {

// The tweak bar's copy of a parameter of `effect`, which the frame pushes into the effect
// after the tracks are applied: -1 when the bar is off or does not show it.
int tweakCopy(CGeffect effect, const std::string& name) {
  Runtime* runtime = Runtime::instance();
  if (!runtime->gui || !runtime->tweakGui || !effect) return -1;
  const std::vector<TweakParameter>& parameters = runtime->tweakGui->parameters;
  for (size_t i = 0; i < parameters.size(); ++i)
    if (parameters[i].effect == effect && parameters[i].parameterName == name) return static_cast<int>(i);
  return -1;
}

TweakParameter* tweakParameter(int index) {
  Runtime* runtime = Runtime::instance();
  if (index < 0 || !runtime->tweakGui || index >= static_cast<int>(runtime->tweakGui->parameters.size())) return nullptr;
  return &runtime->tweakGui->parameters[static_cast<size_t>(index)];
}

}  // namespace

int TrackBindings::load(const ProductionFile& production, Loader* loader, std::string* error) {
  bindings.clear();
  if (tracks.load(production, loader, error)) return 1;
  for (const Pylon::Binding& bind : production.message.bind()) {
    Bound bound;
    bound.track = tracks.find(bind.track());
    switch (bind.target_case()) {
      case Pylon::Binding::kParameter:
        bound.target = Target::kParameter, bound.name = bind.parameter();
        break;
      case Pylon::Binding::kPost:
        switch (bind.post()) {
          case Pylon::Binding::FLASH_GAIN: bound.target = Target::kFlashGain; break;
          case Pylon::Binding::FLASH: bound.target = Target::kFlash; break;
          case Pylon::Binding::BLOOM_INTENSITY: bound.target = Target::kParameter, bound.name = "BloomIntensity"; break;
          case Pylon::Binding::SATURATION: bound.target = Target::kParameter, bound.name = "Saturation"; break;
          default: bound.target = Target::kThreshold; break;
        }
        bound.ofPost = bound.target == Target::kParameter;
        break;
      case Pylon::Binding::kFade:
        bound.target = Target::kFade, bound.name = bind.fade();
        break;
      case Pylon::Binding::kCameraFov:
        bound.target = Target::kFov;
        break;
      case Pylon::Binding::kCamera:
        bound.target = Target::kCamera, bound.camera = bind.camera();
        break;
      default:
        continue;  // refused by the production's check
    }
    if (bound.track >= 0) bindings.push_back(bound);
  }
  return 0;
}

void TrackBindings::resolve(const std::function<Effect*(const std::string&)>& part, const PostChain* post,
                            std::vector<std::string>* messages) {
  for (Bound& bound : bindings) {
    bound.wrote = bound.byHand = false;
    if (bound.target == Target::kFade) bound.part = part(bound.name);
    if (bound.target != Target::kParameter) continue;
    if (bound.ofPost) {  // a parameter of the post chain's final pass
      bound.parameterName = bound.name;
    } else {
      const size_t first = bound.name.find(':'), last = bound.name.rfind(':');
      bound.part = part(bound.name.substr(0, first));
      bound.effectName = bound.name.substr(first + 1, last - first - 1);
      bound.parameterName = bound.name.substr(last + 1);
    }
    bound.lookedUp = false;
    bindParameter(bound, post ? post->final.effect : nullptr);
    if (!bound.parameter && messages)
      messages->push_back("track \"" + tracks.tracks[bound.track].name + "\": " +
                          (bound.ofPost ? "the post chain's " + bound.parameterName + " is not a float parameter of its final effect"
                                        : bound.name + " is not a float parameter of a loaded effect of that part") +
                          "; the binding does nothing");
  }
}

void TrackBindings::bindParameter(Bound& bound, CGeffect postEffect) {
  const CGeffect effect = bound.ofPost ? postEffect : bound.part ? bound.part->effectNamed(bound.effectName) : nullptr;
  if (effect == bound.effect && bound.lookedUp) return;
  bound.effect = effect;
  bound.lookedUp = true;
  bound.parameter = effect ? cgGetNamedEffectParameter(effect, bound.parameterName.c_str()) : nullptr;
  if (bound.parameter && cgGetParameterType(bound.parameter) != CG_FLOAT) bound.parameter = nullptr;
  bound.tweak = bound.parameter ? tweakCopy(effect, bound.parameterName) : -1;
}

float* TrackBindings::place(Bound& bound, PostChain& post, Renderer& renderer) {
  switch (bound.target) {
    case Target::kThreshold:
      return &post.thresholdBase;
    case Target::kFlashGain:
      return &renderer.flashGain;
    case Target::kFlash:
      return &renderer.trackFlash;
    case Target::kFov:
      return &renderer.trackFovY;
    case Target::kCamera:
      switch (bound.camera) {
        case Pylon::Binding::POSITION_X: return &renderer.cameraPosition[0];
        case Pylon::Binding::POSITION_Y: return &renderer.cameraPosition[1];
        case Pylon::Binding::POSITION_Z: return &renderer.cameraPosition[2];
        case Pylon::Binding::TARGET_X: return &renderer.cameraTarget[0];
        case Pylon::Binding::TARGET_Y: return &renderer.cameraTarget[1];
        case Pylon::Binding::TARGET_Z: return &renderer.cameraTarget[2];
        default: return &renderer.cameraSwitch;
      }
    default:
      return nullptr;
  }
}

void TrackBindings::apply(double seconds, double dt, const float* spectrum, PostChain& post, Renderer& renderer) {
  if (bindings.empty()) return;
  tracks.evaluate(seconds, dt, spectrum);
  for (Bound& bound : bindings) {
    if (bound.byHand) continue;
    float value = static_cast<float>(tracks.value(bound.track));
    if (bound.target == Target::kFade) {
      bound.written = value;
      continue;
    }
    if (bound.target == Target::kParameter) {
      // --watch replaces a reloaded effect with a new one, whose parameters are new too.
      bindParameter(bound, post.final.effect);
      if (!bound.parameter) continue;
      // With the tweak bar on, the frame pushes the bar's copy into the effect after this:
      // the copy is the value to watch and to write.
      TweakParameter* copy = tweakParameter(bound.tweak);
      float now = 0.0f;
      const bool read = copy ? (now = copy->value, true) : cgGetParameterValuefr(bound.parameter, 1, &now) == 1;
      if (bound.wrote && read && now != bound.written) {
        bound.byHand = true;
        continue;
      }
      cgGLSetParameter1f(bound.parameter, value);
      if (copy) copy->value = value;
    } else {
      if (bound.target == Target::kFlash) value = std::max(value, 0.0f);  // below 0: no flash, not the bin's
      float* target = place(bound, post, renderer);
      if (bound.wrote && *target != bound.written) {
        bound.byHand = true;  // changed on the tweak bar: the hand wins
        continue;
      }
      *target = value;
      if (bound.target == Target::kThreshold) post.thresholdAmplitude = 0.0f;
    }
    bound.written = value;
    bound.wrote = true;
  }
}

float TrackBindings::fadeOf(const Effect* part) const {
  for (const Bound& bound : bindings)
    if (bound.target == Target::kFade && bound.part == part && part) return bound.written;
  return 1.0f;
}

void TrackBindings::clearByHand() {
  for (Bound& bound : bindings) bound.byHand = bound.wrote = false;
}

int TrackBindings::heldByHand() const {
  return static_cast<int>(std::count_if(bindings.begin(), bindings.end(), [](const Bound& b) { return b.byHand; }));
}

std::vector<int> TrackBindings::boundTracks() const {
  std::vector<int> indices;
  for (const Bound& bound : bindings)
    if (std::find(indices.begin(), indices.end(), bound.track) == indices.end()) indices.push_back(bound.track);
  return indices;
}
