// TweakGui: the live tweak bar (playback, renderer switches, camera, effect parameters).
//
// Owned by Runtime; used only while the GUI switch of Runtime is 1. Its construction stores
// the Runtime pointer in a static that the bar callbacks use, since they get no context.
#pragma once

#include <string>
#include <vector>

class Runtime;

struct TweakParameter {
  void* effect = nullptr;  // the effect that owns the parameter
  float value = 0.0f;
  std::string parameterName;
  std::string variableName;
};

class TweakGui {
 public:
  explicit TweakGui(Runtime* runtime);

  void* bar = nullptr;
  unsigned char showFlag = 1;
  std::vector<TweakParameter> parameters;

  static Runtime* runtime;
};
