// TweakGui: the live tweak bar "Pylon" — playback buttons and time slider, volume, the
// renderer's switches, render scale and camera record, and every float parameter the demo's own effects
// expose — and the bar "Tracks": the production's bound tracks, their values now, and their
// keys at the current row.
//
// Owned by Runtime. Everything here is used only while the GUI switch of Runtime is 1:
// Screen::init calls init() and addRendererVariables(), effect loading calls addParameter()
// once per exposed parameter, the frame pushes each parameter's value into its effect and
// draws the bar, and the window procedure offers every message to the bar first. The bar
// callbacks get no context of their own, so the constructor stores the Runtime pointer in a
// static they use.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class Runtime;
class SyncTrackSet;
struct TwBar;

struct TweakParameter {
  void* effect = nullptr;  // the effect that owns the parameter
  float value = 0.0f;
  std::string parameterName;
  std::string variableName;
};

// What the "Tracks" bar shows and changes; the player fills it in.
struct TrackBarModel {
  SyncTrackSet* tracks = nullptr;          // the tracks whose keys the bar sets and deletes
  std::vector<int> shown;                  // the indices of the tracks it lists, in order
  std::function<double(int index)> value;  // a track's value now
  std::function<bool(int index)> keyed;    // false for a track fed from the music or the clock
  std::function<double()> row;             // the frame's row
  std::function<int()> save;               // 0 when the tracks were written
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

  // The "Tracks" bar: a line per listed track with its value now (a value typed while the
  // clock is paused keys that track at the current row, with the chosen type), the row, the
  // track and key type the buttons use, "Set key" and "Delete key" (at the current row,
  // while paused) and "Save". The bar is made at the first call; a later one (a reload)
  // takes the new model and adds lines for tracks past the old count. 0, or 1 without a bar.
  int addTrackBar(TrackBarModel model);
  // The whole row the key buttons act on: the model's row rounded down, 0 before row 0.
  uint32_t currentRow() const;
  // The buttons' actions (what "Set key", "Delete key" and a typed value do): 0, or 1 when
  // the clock is running, the track is fed from the music or the clock, or there is none.
  int setKey(int listed, float value);
  int deleteKey(int listed);

  // Called by the "Pylon" bar's Reset after it has moved the clock back.
  std::function<void()> onReset;

  TwBar* bar = nullptr;
  TwBar* trackBar = nullptr;
  TrackBarModel tracks;
  int trackChoice = 0;  // the listed track the buttons act on
  int keyType = 1;      // SyncKeyType of the keys the bar sets (LINEAR)
  int trackLines = 0;   // the track lines the bar has
  unsigned char showFlag = 1;
  std::vector<TweakParameter> parameters;

  static Runtime* runtime;
};
