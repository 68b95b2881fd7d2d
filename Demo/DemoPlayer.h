// DemoPlayer: the production — its timeline of parts, the post-processing resources, the
// loading bar and the frame.
//
// One static instance (demoPlayer()). init() opens the capture file when capturing, loads
// every part while the loading bar shows progress, sets the GL default state, makes the
// render targets and post effects, and starts the music; frame() is called by the message
// loop whenever no message waits: it advances demo time, draws the parts active at that
// time with their fades and transitions, post-processes, draws the spectrum and beat flash
// and the tweak bar, captures, swaps, and ends the program after 125 s (or --to).
//
// While capturing (or when a benchmark sets fixedStep), demo time advances by exactly one
// step per frame instead of following the clock, so every frame of the video is one
// instant apart whatever each took to draw. With --shot the
// frame at that time is rendered once through the whole chain and written to a PNG file.
//
// The parts are drawn at the renderer's render scale (--render-scale, the tweak bar), or,
// with the scale on auto, at the scale a RenderScaleController picks from the wall time of
// each frame. Capture and --shot always draw at scale 1.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Effect.h"
#include "post/PostChain.h"
#include "post/RenderScale.h"
#include "resources/ProductionFile.h"
#include "runtime/LoadingBar.h"
#include "TrackBindings.h"

struct TimelineEntry {
  Effect* part = nullptr;  // owned by the entry unless `owned` is false (a production's part)
  float start = 0;
  float end = 0;
  float fadeIn = 0;
  float fadeOut = 0;
  int inKind = 1;   // 1 from black, 3 from white, 6 cross-fade target, 8 wipe target
  int outKind = 2;  // 2 to black, 4 to white, 5 cross-fade source, 7 wipe source
  bool owned = true;
};

class DemoPlayer {
 public:
  static constexpr unsigned kMaxEntries = 64;

  DemoPlayer() = default;
  ~DemoPlayer();
  DemoPlayer(const DemoPlayer&) = delete;
  DemoPlayer& operator=(const DemoPlayer&) = delete;

  // Appends a part fading in from and out to black; the player owns it from now on. 0, or
  // 1 (logged, the part deleted) when the timeline is full.
  int addPart(Effect* part, float start, float end, float fadeIn, float fadeOut);
  // The same with explicit transition kinds.
  int addEntry(const TimelineEntry& entry);

  int init();
  void frame();

  // The production's timeline: the entries of the production set with setProduction() (Veltro
  // 12's built-in one when none was), each part made once however many entries name it.
  int addProductionParts();
  // Takes the production's length, post values and flash, and remembers its timeline for
  // addProductionParts(). Before init().
  void setProduction(const ProductionFile& file);
  // --watch: plays `file` from now on, keeping the demo time. Parts whose definition did not
  // change are kept; new and changed ones are made and initialised first, and only when all
  // of them load are the ones they replace released. 0, or 1 with `error` (nothing changed).
  // Parts named in `refresh` are made again even when their definition did not change (a
  // file they load was saved).
  int replaceProduction(const ProductionFile& file, std::string& error, const std::set<std::string>& refresh = {});
  // The production being played (Veltro 12's until setProduction()).
  const ProductionFile& currentProduction() const { return production; }
  // The part of the production with this id, or null.
  Effect* productionPart(const std::string& id) const;
  // The production's tracks and their bindings, made again from `production` once its parts
  // are loaded (init, replaceProduction). 0, or 1 with the message logged (a bad track file).
  int bindTracks();
  // init() without the production's parts, capture, music or loading bar: the GL state,
  // the targets and the post resources (tests use it with parts of their own).
  int initPost();
  // The timer's seconds, first steered onto the music as it is heard (real-time play).
  double followMusic();
  // Steps 4 to 7 of a frame at time `time`: parts, transitions, parameters, post chain.
  void renderParts(float time);
  // True while capturing or taking a shot: the frame is drawn at scale 1.
  bool fullSizeOnly() const;
  // With the render scale on auto: the time since the last frame began goes to the
  // controller, whose scale the renderer takes (made on first use; its range is logged).
  void chooseRenderScale();

  unsigned entryCount = 0;
  LoadingBar loadingBar;
  PostChain post;
  TimelineEntry entries[kMaxEntries];
  float t = 0.0f;
  float mixStart = 0, mixEnd = 0, mixFactor = 0;
  float wipeStart = 0, wipeEnd = 0, wipeFactor = 0;

  // The stretch of the timeline to play (--from, --to).
  double startTime = 0.0;
  double endTime = 125.0;

  // Fixed-step time: frame n shows startTime + n x fixedStep. Capturing sets the step from
  // the capture frame rate on the first frame; 0 follows the timer.
  bool firstFrame = true;
  double fixedStep = 0.0;
  long steppedFrames = 0;

  // --loop FROM TO: past TO, the timer, the music and the picture go back to FROM.
  double loopFrom = 0.0, loopTo = 0.0;
  // Drawn over every frame after the tweak bars, before capture and swap (the --watch
  // message); nothing when empty.
  std::function<void()> overlay;

  // The production's parts by id, with the text of their definitions (to tell a changed part
  // from a kept one on a reload).
  ProductionFile production;
  bool productionSet = false;
  std::map<std::string, std::unique_ptr<Effect>> parts;
  std::map<std::string, std::string> partDefinitions;

  // The production's tracks, applied once a frame before the parts draw; the demo time they
  // were last applied at (a step back or a pause feeds the music-fed tracks no time).
  TrackBindings trackBindings;
  double trackTime = -1.0;

  // --shot: the frame at that time goes to this PNG file and the program ends (--shots:
  // after the last of them; each is shown before the next is drawn).
  bool shotPending = false;
  double shotTime = 0.0;
  std::string shotFile;
  // --shots: the shots still to take after this one, in order (time, file).
  std::vector<std::pair<double, std::string>> moreShots;

  // --render-scale auto: the controller, and when the last frame began.
  std::optional<RenderScaleController> autoScale;
  std::optional<std::chrono::steady_clock::time_point> lastFrameStart;
};

DemoPlayer& demoPlayer();

// How far a fade or transition of `length` seconds is `elapsed` seconds in: elapsed /
// length, and 1 (done) for one of no length, which would otherwise give 0 / 0.
float fadeProgress(float elapsed, float length);

// The frames a capture from `from` to `to` writes: frame n (from 1) shows from + n × step,
// and the first one past `to` is the last.
long captureFrameCount(double from, double to, double step);

// The demo time of capture frame `frame` (1, 2, …) of a run that starts at `from`.
double captureFrameTime(double from, double step, long frame);
