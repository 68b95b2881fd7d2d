#include "DemoPlayer.h"

#include <GL/glew.h>

#include <cmath>
#include <cstdio>
#include <set>

#include "FrameProfile.h"
#include "BuiltinProduction.h"
#include "Scene01.h"
#include "ScenePart.h"
#include "ShaderPart.h"
#include "SyncLink.h"
#include "capture/AviCapture.h"
#include "capture/FrameShot.h"
#include "cg/Cg.h"
#include "cg/CgGL.h"
#include "gui/TweakGui.h"
#include "platform/Events.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"
#include "platform/tweakbar/TweakBar.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "runtime/Timer.h"
#include "scene/Renderer.h"
#include "screen/Screen.h"
#include "sound/Sound.h"

DemoPlayer& demoPlayer() {
  static DemoPlayer player;
  return player;
}

float fadeProgress(float elapsed, float length) { return length > 0.0f ? elapsed / length : 1.0f; }

long captureFrameCount(double from, double to, double step) {
  if (step <= 0 || to < from) return 1;
  long n = static_cast<long>(std::floor((to - from) / step));
  while (from + n * step <= to) ++n;  // settle the rounding of the division either way
  while (n > 1 && from + (n - 1) * step > to) --n;
  return n;
}

double captureFrameTime(double from, double step, long frame) {
  // A start on a frame boundary counts whole frames from 0, so a stretch rendered on its own
  // shows, to the last bit, the instants of the same frames in a whole run.
  const double before = std::round(from / step);
  if (std::fabs(before * step - from) < 1e-6) return (before + static_cast<double>(frame)) * step;
  return from + static_cast<double>(frame) * step;
}

DemoPlayer::~DemoPlayer() {
  for (unsigned i = 0; i < entryCount; ++i)
    if (entries[i].owned) delete entries[i].part;
}

int DemoPlayer::addEntry(const TimelineEntry& entry) {
  if (entryCount >= kMaxEntries) {
    *Runtime::instance()->logger << "timeline full: a part beyond " << kMaxEntries << " entries is refused\n";
    if (entry.owned) delete entry.part;
    return 1;
  }
  entries[entryCount++] = entry;
  return 0;
}

int DemoPlayer::addPart(Effect* part, float start, float end, float fadeIn, float fadeOut) {
  return addEntry({part, start, end, fadeIn, fadeOut, 1, 2});
}

namespace {

// A part of the production, made from its definition (not yet initialised).
std::unique_ptr<Effect> makePart(const Pylon::Part& part) {
  switch (part.kind_case()) {
    case Pylon::Part::kCity: return std::make_unique<Scene01>(part.city());
    case Pylon::Part::kScene: return std::make_unique<ScenePart>(part.id(), part.scene());
    case Pylon::Part::kShader: return std::make_unique<ShaderPart>(part.shader().effect());
    default: return nullptr;
  }
}

// The post chain's values and the flash of a production. A production that gives no
// threshold holds it at 0.5; one that gives no flash has none.
void applyPostValues(const Pylon::Production& production, PostChain& post, Renderer& renderer) {
  const Pylon::Post& values = production.post();
  post.thresholdBase = 0.5f;
  post.thresholdAmplitude = 0.0f;
  post.thresholdRate = 0.0f;
  if (values.has_bloom_threshold()) {
    post.thresholdBase = values.bloom_threshold();
  } else if (values.has_bloom_threshold_wave()) {
    post.thresholdBase = values.bloom_threshold_wave().base();
    post.thresholdAmplitude = values.bloom_threshold_wave().amplitude();
    post.thresholdRate = values.bloom_threshold_wave().rate();
  }
  const bool flash = values.has_flash() && !values.flash().off();
  renderer.fftControl = flash ? static_cast<int>(values.flash().bin()) : 0;
  renderer.flashGain = flash ? values.flash().gain() : 0.0f;
  renderer.postprocess = values.enabled() && !programOptions().postOff;
  // Values only tracks set, until the production's tracks set them again.
  renderer.trackFovY = 0.0f;
  renderer.trackFlash = -1.0f;
  renderer.cameraSwitch = 0.0f;
}

// The built-in production: Veltro 12.
const ProductionFile& builtinProduction() {
  static const ProductionFile file = [] {
    ProductionFile parsed;
    std::vector<ProductionError> errors;
    readProduction(std::string(veltro12ProductionText()), "built-in Veltro 12 production", parsed, errors);
    return parsed;
  }();
  return file;
}

}  // namespace

void DemoPlayer::setProduction(const ProductionFile& file) {
  production = file;
  productionSet = true;
  endTime = file.length;
  applyPostValues(file.message, post, *Runtime::instance()->renderer);
}

Effect* DemoPlayer::productionPart(const std::string& id) const {
  const auto found = parts.find(id);
  return found == parts.end() ? nullptr : found->second.get();
}

int DemoPlayer::addProductionParts() {
  if (!productionSet) setProduction(builtinProduction());
  int result = 0;
  for (const ResolvedEntry& r : production.timeline) {
    const Pylon::Part& definition = production.message.part(r.part);
    std::unique_ptr<Effect>& part = parts[definition.id()];
    if (!part) {
      part = makePart(definition);
      partDefinitions[definition.id()] = definition.SerializeAsString();
    }
    result |= addEntry({part.get(), r.start, r.end, r.fadeIn, r.fadeOut, r.inKind, r.outKind, false});
  }
  return result;
}

int DemoPlayer::replaceProduction(const ProductionFile& file, std::string& error, const std::set<std::string>& refresh) {
  // Make and load what is new first: a part that fails leaves everything as it was.
  std::map<std::string, std::unique_ptr<Effect>> fresh;
  for (const Pylon::Part& definition : file.message.part()) {
    const auto kept = partDefinitions.find(definition.id());
    if (kept != partDefinitions.end() && kept->second == definition.SerializeAsString() && !refresh.count(definition.id()))
      continue;
    bool used = false;
    for (const ResolvedEntry& r : file.timeline) used |= file.message.part(r.part).id() == definition.id();
    if (!used) continue;
    std::unique_ptr<Effect> part = makePart(definition);
    if (!part || part->init() != 0) {
      if (part) part->release();
      for (auto& [id, made] : fresh) made->release();
      error = file.file + ": the part \"" + definition.id() + "\" did not load:\n" +
              Runtime::instance()->logger->recentLines(3);
      return 1;
    }
    fresh[definition.id()] = std::move(part);
  }
  // The new timeline, over kept and fresh parts; every part no entry names any more goes.
  std::map<std::string, std::unique_ptr<Effect>> next;
  std::map<std::string, std::string> definitions;
  for (const ResolvedEntry& r : file.timeline) {
    const Pylon::Part& definition = file.message.part(r.part);
    if (next.count(definition.id())) continue;
    auto made = fresh.find(definition.id());
    next[definition.id()] = made != fresh.end() ? std::move(made->second) : std::move(parts[definition.id()]);
    definitions[definition.id()] = definition.SerializeAsString();
  }
  for (auto& [id, old] : parts)
    if (old) old->release();
  parts = std::move(next);
  partDefinitions = std::move(definitions);
  for (unsigned i = 0; i < entryCount; ++i)
    if (entries[i].owned) delete entries[i].part;
  entryCount = 0;
  for (const ResolvedEntry& r : file.timeline) {
    Effect* part = parts[file.message.part(r.part).id()].get();
    addEntry({part, r.start, r.end, r.fadeIn, r.fadeOut, r.inKind, r.outKind, false});
  }
  production = file;
  const ProgramOptions& options = programOptions();
  endTime = options.to ? *options.to : file.length;
  applyPostValues(file.message, post, *Runtime::instance()->renderer);
  if (bindTracks() != 0) {
    error = file.file + ": " + Runtime::instance()->logger->recentLines(1);
    return 1;
  }
  return 0;
}

int DemoPlayer::bindTracks() {
  Runtime* runtime = Runtime::instance();
  std::string error;
  if (trackBindings.load(production, runtime->loader, &error) != 0) {
    *runtime->logger << "tracks: " << error << "\n";
    return 1;
  }
  std::vector<std::string> messages;
  trackBindings.resolve([this](const std::string& id) { return productionPart(id); }, &post, &messages);
  for (const std::string& line : messages) *runtime->logger << "tracks: " << line << "\n";
  trackTime = -1.0;
  if (runtime->gui && runtime->tweakGui && runtime->tweakGui->bar) {
    runtime->tweakGui->onReset = [] { demoPlayer().trackBindings.clearByHand(); };
    TrackBarModel model;
    model.tracks = &trackBindings.tracks.tracks;
    model.shown = trackBindings.boundTracks();
    model.value = [](int index) { return demoPlayer().trackBindings.tracks.value(index); };
    model.keyed = [](int index) { return demoPlayer().trackBindings.tracks.keyed(index); };
    model.row = [] {
      DemoPlayer& player = demoPlayer();
      return player.trackBindings.tracks.row(player.startTime + Runtime::instance()->timer->seconds());
    };
    model.save = [] { return SyncLink().save(); };
    runtime->tweakGui->addTrackBar(std::move(model));
  }
  return 0;
}

int DemoPlayer::initPost() {
  Runtime* runtime = Runtime::instance();
  runtime->renderer->applyDefaultState();
  const UserConfig& config = runtime->screen->config;
  if (post.createTargets(config.viewportWidth, config.viewportHeight) != 0) return 1;
  return post.load(*runtime->loader);
}

namespace {
// Loading failures are written to the log, which is often not being kept: the user is
// shown the loader's last lines, which name the file and what was wrong with it.
int loadingFailed() {
  platform::showMessageBox("The production could not be loaded:\n\n" + Runtime::instance()->logger->recentLines(6),
                           "DemoPlayer::init", platform::MessageIcon::Error);
  return 1;
}
}  // namespace

int DemoPlayer::init() {
  Runtime* runtime = Runtime::instance();
  const ProgramOptions& options = programOptions();
  if (options.from) startTime = *options.from;
  if (options.to) endTime = *options.to;
  if (options.loopFrom && options.loopTo) {
    loopFrom = *options.loopFrom;
    loopTo = *options.loopTo;
  }
  if (options.shotTime) {
    shotPending = true;
    shotTime = *options.shotTime;
    shotFile = options.shotFile;
    moreShots = options.moreShots;
  }
  const UserConfig& config = runtime->screen->config;
  Renderer& renderer = *runtime->renderer;
  if (options.renderScale) renderer.renderScale = snapRenderScale(*options.renderScale);
  renderer.renderScaleAuto = options.renderScaleAuto;
  const int refresh = platform::refreshRate(runtime->screen->window);
  renderer.targetFps = options.targetFps ? *options.targetFps : refresh > 0 ? refresh : 60;
  if ((renderer.renderScaleAuto || renderer.renderScale < 1.0f) && fullSizeOnly())
    *runtime->logger << "render scale: 1 (capture and shots always render at full size)\n";
  else if (renderer.renderScale < 1.0f)
    *runtime->logger << "render scale: " << static_cast<double>(renderer.renderScale) << "\n";
  if (config.captureEnabled && runtime->capture->init() != 0 && !options.captureFile.empty()) {
    // Asked for on the command line, a capture that cannot be written ends the run: playing
    // two minutes for a file that never comes would be a silent failure. (A file chosen in
    // the dialog still lets the demo run without capture.)
    platform::showMessageBox(
        "The capture file " + config.captureFileName + " cannot be written:\n\n" + runtime->logger->recentLines(1),
        "DemoPlayer::init", platform::MessageIcon::Error);
    return 1;
  }

  loadingBar.fade(1, 1.0f);
  if (entryCount == 0) addProductionParts();
  std::set<Effect*> initialised;  // a part that several entries name loads once
  for (unsigned i = 0; i < entryCount; ++i) {
    if (!entries[i].part || (initialised.insert(entries[i].part).second && entries[i].part->init() != 0)) {
      loadingBar.fade(2, 1.0f);
      return loadingFailed();
    }
    platform::Message message;
    if (platform::peekMessage(message)) {
      // A quit waits until the loop takes it; everything else is handled at once.
      if (message.type == platform::MessageType::Quit)
        platform::postQuitMessage(static_cast<int>(message.wParam));
      else
        platform::dispatchMessage(message);
    }
    loadingBar.progress(entryCount);
  }
  if (initPost() != 0 || bindTracks() != 0) return loadingFailed();
  loadingBar.fade(2, 1.0f);
  runtime->timer->reset();
  runtime->sound->play();
  // The channel exists once playing: --from moves the music with the demo time.
  if (startTime > 0.0) runtime->sound->seek(startTime);
  return 0;
}

void DemoPlayer::renderParts(float time) {
  Runtime* runtime = Runtime::instance();
  Renderer& renderer = *runtime->renderer;
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  mixFactor = 0.0f;
  wipeFactor = 0.0f;
  // With post-processing the parts are drawn straight into the chain's scene target when it
  // can take them, which saves copying the view out of the back buffer; the spectrum
  // display, drawn later over the parts' depth, keeps the back buffer. Only there can they
  // be drawn at a render scale below 1, and never for capture or a shot.
  const bool intoScene = renderer.postprocess && !renderer.spectrum && post.canDrawIntoScene();
  if (renderer.postprocess) post.applyRenderScale(intoScene && !fullSizeOnly() ? renderer.renderScale : 1.0f);
  if (intoScene) post.beginScene();
  glClear(GL_COLOR_BUFFER_BIT);

  for (unsigned i = 0; i < entryCount; ++i) {
    TimelineEntry& e = entries[i];
    if (!(e.start <= time && time < e.end)) continue;
    glClear(GL_DEPTH_BUFFER_BIT);
    e.part->draw(time - e.start);
    if (const float fade = trackBindings.fadeOf(e.part); fade < 1.0f) renderer.fadeQuad(1, fade);
    if ((e.inKind == 1 || e.inKind == 3) && time - e.start <= e.fadeIn)
      renderer.fadeQuad(e.inKind, fadeProgress(time - e.start, e.fadeIn));
    if ((e.outKind == 2 || e.outKind == 4) && e.end - e.fadeOut <= time)
      renderer.fadeQuad(e.outKind, fadeProgress(e.fadeOut + time - e.end, e.fadeOut));
    if ((e.outKind == 5 || e.outKind == 7) && e.end - e.fadeOut <= time) {
      post.copyViewBand(post.transitionA);
      (e.outKind == 5 ? mixStart : wipeStart) = e.end - e.fadeOut;
    }
    if ((e.inKind == 6 || e.inKind == 8) && time < e.start + e.fadeIn) {
      post.copyViewBand(post.transitionB);
      if (e.inKind == 6) {
        mixEnd = e.start + e.fadeIn;
        mixFactor = fadeProgress(time - mixStart, mixEnd - mixStart);
      } else {
        wipeEnd = e.start + e.fadeIn;
        wipeFactor = fadeProgress(time - wipeStart, wipeEnd - wipeStart);
      }
    }
  }

  if (runtime->gui) {
    for (const TweakParameter& p : runtime->tweakGui->parameters) {
      CGeffect effect = static_cast<CGeffect>(p.effect);
      cgGLSetParameter1f(cgGetNamedEffectParameter(effect, p.parameterName.c_str()), p.value);
    }
  }
  // The beat flash rides in the chain's final pass, unless the spectrum display, which the
  // flash covers too, is drawn between the two.
  renderer.flashInPost = renderer.postprocess && !renderer.spectrum;
  if (renderer.postprocess)
    post.run(time, mixFactor, wipeFactor, renderer.flashInPost ? renderer.beatFlash(runtime->sound->getSpectrum()) : 0.0f);
}

bool DemoPlayer::fullSizeOnly() const {
  return shotPending || Runtime::instance()->screen->config.captureEnabled;
}

void DemoPlayer::chooseRenderScale() {
  Runtime* runtime = Runtime::instance();
  Renderer& renderer = *runtime->renderer;
  const auto now = std::chrono::steady_clock::now();
  const std::optional<std::chrono::steady_clock::time_point> last = lastFrameStart;
  lastFrameStart = now;
  if (!renderer.renderScaleAuto || fullSizeOnly()) return;
  char line[160];
  if (!autoScale) {
    autoScale.emplace(renderer.targetFps);
    std::snprintf(line, sizeof line, "render scale: auto, holding %.0f fps with a scale from %.3f to %.3f\n",
                  renderer.targetFps, static_cast<double>(autoScale->floor()), static_cast<double>(autoScale->ceiling()));
    *runtime->logger << line;
  }
  if (!last) return;
  const float lowest = autoScale->lowestUsed(), highest = autoScale->highestUsed();
  renderer.renderScale = autoScale->addFrame(std::chrono::duration<double, std::milli>(now - *last).count());
  if (autoScale->lowestUsed() != lowest || autoScale->highestUsed() != highest) {
    std::snprintf(line, sizeof line, "render scale: %.3f at %.1f s, the range used so far %.3f to %.3f\n",
                  static_cast<double>(renderer.renderScale), static_cast<double>(t),
                  static_cast<double>(autoScale->lowestUsed()), static_cast<double>(autoScale->highestUsed()));
    *runtime->logger << line;
  }
}

double DemoPlayer::followMusic() {
  Runtime* runtime = Runtime::instance();
  // The music starts at demo time 0, so the demo time is the music's time as it is heard.
  // Before the first sample is heard the timer runs from its reset; from then on its zero
  // is the moment the first sample was heard, and it stays on the sound.
  double heard = 0.0;
  if (runtime->sound->getHeardTime(&heard) == 0) runtime->timer->follow(heard - startTime);
  return runtime->timer->seconds();
}

void DemoPlayer::frame() {
  Runtime* runtime = Runtime::instance();
  const UserConfig& config = runtime->screen->config;
  if (firstFrame) {
    firstFrame = false;
    if (config.captureEnabled) {
      fixedStep = 1.0 / captureFrameRate(config);
      runtime->capture->progress.plan(static_cast<int>(captureFrameCount(startTime, endTime, fixedStep)),
                                      startTime + fixedStep, fixedStep);
    }
  }
  chooseRenderScale();
  FrameProfile& profile = frameProfile();
  profile.begin();
  if (runtime->sound->loaded) runtime->sound->update();

  double now = 0.0;
  if (shotPending)
    now = shotTime;
  else if (fixedStep > 0.0)
    now = captureFrameTime(startTime, fixedStep, ++steppedFrames);
  else
    now = startTime + followMusic();
  if (loopTo > loopFrom && fixedStep == 0.0 && now >= loopTo) {
    // A running timer is moved by following, a paused one by seeking.
    if (runtime->timer->paused)
      runtime->timer->seek(loopFrom - startTime);
    else
      runtime->timer->follow(loopFrom - startTime);
    runtime->sound->seek(loopFrom);
    now = loopFrom;
  }
  t = static_cast<float>(now);
  runtime->sound->advanceTo(now);  // capture and --shot: the music's analysis at this instant
  if (!trackBindings.empty()) {
    const double dt = trackTime >= 0.0 && now > trackTime ? now - trackTime : 0.0;
    trackBindings.apply(now, dt, runtime->sound->loaded ? runtime->sound->getSpectrum() : nullptr, post,
                        *runtime->renderer);
    trackTime = now;
  }

  renderParts(t);
  profile.mark(FramePhase::Post);
  runtime->renderer->drawSpectrum();
  if (runtime->gui) TwDraw();
  if (overlay) overlay();

  if (shotPending) {
    shotPending = false;
    const int result = writeFrameShot(shotFile, config.width, config.height);
    if (result == 0 && !moreShots.empty()) {
      // The next shot is drawn as if it were the first frame of its own run: no track
      // integrates the time between the two.
      shotPending = true;
      shotTime = moreShots.front().first;
      shotFile = moreShots.front().second;
      moreShots.erase(moreShots.begin());
      trackTime = -1.0;
      platform::swapBuffers(runtime->screen->window);
      return;
    }
    platform::postQuitMessage(result == 0 ? 0 : 1);
    return;
  }
  if (config.captureEnabled) runtime->capture->writeFrame();
  profile.mark(FramePhase::Overlay);
  platform::swapBuffers(runtime->screen->window);
  profile.mark(FramePhase::Swap);
  // A loop plays until the viewer ends it, whatever the production's length.
  if (now > endTime && !(loopTo > loopFrom && fixedStep == 0.0)) {
    if (autoScale) {
      char line[120];
      std::snprintf(line, sizeof line, "render scale: auto used %.3f to %.3f, %ld changes\n",
                    static_cast<double>(autoScale->lowestUsed()), static_cast<double>(autoScale->highestUsed()),
                    autoScale->changes());
      *runtime->logger << line;
    }
    platform::postQuitMessage(0);
  }
}
