// TweakGui: the live tweak bar "Pylon" — playback buttons and time slider, volume, the
// renderer's switches, render scale and camera record, and every float parameter the demo's own effects
// expose.
//
// Owned by Runtime. Everything here is used only while the GUI switch of Runtime is 1:
// Screen::init calls init() and addRendererVariables(), effect loading calls addParameter()
// once per exposed parameter, the frame pushes each parameter's value into its effect and
// draws the bar, and the window procedure offers every message to the bar first. The bar
// callbacks get no context of their own, so the constructor stores the Runtime pointer in a
// static they use.
#pragma once

#include <string>
#include <vector>

class Runtime;
struct TwBar;

struct TweakParameter {
  void* effect = nullptr;  // the effect that owns the parameter
  float value = 0.0f;
  std::string parameterName;
  std::string variableName;
};

class TweakGui {
 public:
  explicit TweakGui(Runtime* runtime);

  // 0 on success, 1 when the bar library cannot start.
  int init();
  // The renderer's variables, in their fixed order; results are not checked.
  void addRendererVariables();
  // Always 0; a variable the bar refuses is logged and still kept in `parameters`.
  int addParameter(const std::string& parameterName, void* effect, const std::string& variableName, float value,
                   const std::string& definition);

  TwBar* bar = nullptr;
  unsigned char showFlag = 1;
  std::vector<TweakParameter> parameters;

  static Runtime* runtime;
};
