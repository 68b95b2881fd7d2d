#include "TrackBindings.h"

#include "cg/CgGL.h"
#include "post/PostChain.h"
#include "scene/Renderer.h"

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
        bound.target = bind.post() == Pylon::Binding::FLASH_GAIN ? Target::kFlashGain : Target::kThreshold;
        break;
      case Pylon::Binding::kFade:
        bound.target = Target::kFade, bound.name = bind.fade();
        break;
      case Pylon::Binding::kCameraFov:
        bound.target = Target::kFov;
        break;
      default:
        continue;  // refused by the production's check
    }
    if (bound.track >= 0) bindings.push_back(bound);
  }
  return 0;
}

void TrackBindings::resolve(const std::function<Effect*(const std::string&)>& part,
                            std::vector<std::string>* messages) {
  for (Bound& bound : bindings) {
    bound.wrote = bound.byHand = false;
    if (bound.target == Target::kFade) bound.part = part(bound.name);
    if (bound.target != Target::kParameter) continue;
    const size_t first = bound.name.find(':'), last = bound.name.rfind(':');
    Effect* owner = part(bound.name.substr(0, first));
    const CGeffect effect = owner ? owner->effectNamed(bound.name.substr(first + 1, last - first - 1)) : nullptr;
    bound.parameter = effect ? cgGetNamedEffectParameter(effect, bound.name.substr(last + 1).c_str()) : nullptr;
    if (bound.parameter && cgGetParameterType(bound.parameter) != CG_FLOAT) bound.parameter = nullptr;
    if (!bound.parameter && messages)
      messages->push_back("track \"" + tracks.tracks[bound.track].name + "\": " + bound.name +
                          " is not a float parameter of a loaded effect of that part; the binding does nothing");
  }
}

float* TrackBindings::place(Bound& bound, PostChain& post, Renderer& renderer) {
  switch (bound.target) {
    case Target::kThreshold:
      return &post.thresholdBase;
    case Target::kFlashGain:
      return &renderer.flashGain;
    case Target::kFov:
      return &renderer.trackFovY;
    default:
      return nullptr;
  }
}

void TrackBindings::apply(double seconds, double dt, const float* spectrum, PostChain& post, Renderer& renderer) {
  if (bindings.empty()) return;
  tracks.evaluate(seconds, dt, spectrum);
  for (Bound& bound : bindings) {
    if (bound.byHand) continue;
    const float value = static_cast<float>(tracks.value(bound.track));
    if (bound.target == Target::kFade) {
      bound.written = value;
      continue;
    }
    if (bound.target == Target::kParameter) {
      if (!bound.parameter) continue;
      float now = 0.0f;
      if (bound.wrote && cgGetParameterValuefr(bound.parameter, 1, &now) == 1 && now != bound.written) {
        bound.byHand = true;
        continue;
      }
      cgGLSetParameter1f(bound.parameter, value);
    } else {
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
