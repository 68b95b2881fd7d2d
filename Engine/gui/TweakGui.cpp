#include "gui/TweakGui.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/tweakbar/TweakBar.h"
#include "post/RenderScale.h"
#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "runtime/Timer.h"
#include "scene/Renderer.h"
#include "sound/Sound.h"
#include "sync/Sync.h"

Runtime* TweakGui::runtime = nullptr;

TweakGui::TweakGui(Runtime* owner) { runtime = owner; }

namespace {

Sound* music() {
  Sound* sound = TweakGui::runtime->sound;
  return sound && sound->loaded ? sound : nullptr;
}

void playCallback(void*) {
  TweakGui::runtime->timer->resume();
  if (Sound* s = music()) s->resume();
}

void pauseCallback(void*) {
  TweakGui::runtime->timer->pause();
  if (Sound* s = music()) s->pause();
}

// The demo time is --from's start plus the timer's seconds; the music plays at demo time,
// so the controls move it to the start plus the timer's new reading.
double startTime() { return programOptions().from.value_or(0.0); }

void resetCallback(void*) {
  TweakGui::runtime->timer->reset();
  if (Sound* s = music()) s->seek(startTime());
  if (TweakGui::runtime->tweakGui->onReset) TweakGui::runtime->tweakGui->onReset();
}

void setTimeCallback(const void* value, void*) {
  const float v = *static_cast<const float*>(value);
  TweakGui::runtime->timer->seek(v);
  if (Sound* s = music()) s->seek(startTime() + v);  // whole milliseconds, truncated toward zero
}

void getTimeCallback(void* value, void*) { *static_cast<float*>(value) = TweakGui::runtime->timer->seconds(); }

void setVolumeCallback(const void* value, void*) {
  if (Sound* s = music()) s->setVolume(*static_cast<const float*>(value));
}

void getVolumeCallback(void* value, void*) {
  Sound* s = music();
  *static_cast<float*>(value) = s ? s->getVolume() : 0.0f;
}

void setParameterCallback(const void* value, void* clientData) {
  TweakGui::runtime->tweakGui->parameters[reinterpret_cast<uintptr_t>(clientData)].value =
      *static_cast<const float*>(value);
}

void getParameterCallback(void* value, void* clientData) {
  *static_cast<float*>(value) = TweakGui::runtime->tweakGui->parameters[reinterpret_cast<uintptr_t>(clientData)].value;
}

// Setting the render scale by hand takes it off auto, which would move it straight back.
void setRenderScaleCallback(const void* value, void*) {
  Renderer* r = TweakGui::runtime->renderer;
  r->renderScale = snapRenderScale(*static_cast<const float*>(value));
  r->renderScaleAuto = false;
}

void getRenderScaleCallback(void* value, void*) { *static_cast<float*>(value) = TweakGui::runtime->renderer->renderScale; }

TweakGui& gui() { return *TweakGui::runtime->tweakGui; }

// A track line: its value now; a value typed keys it at the current row.
void getTrackValueCallback(void* value, void* clientData) {
  const TrackBarModel& model = gui().tracks;
  const size_t listed = reinterpret_cast<uintptr_t>(clientData);
  *static_cast<float*>(value) =
      listed < model.shown.size() && model.value ? static_cast<float>(model.value(model.shown[listed])) : 0.0f;
}

void setTrackValueCallback(const void* value, void* clientData) {
  gui().setKey(static_cast<int>(reinterpret_cast<uintptr_t>(clientData)), *static_cast<const float*>(value));
}

void getRowCallback(void* value, void*) { *static_cast<int32_t*>(value) = static_cast<int32_t>(gui().currentRow()); }
void setRowCallback(const void*, void*) {}  // the row follows the clock: Time moves it

void getTrackChoiceCallback(void* value, void*) { *static_cast<int32_t*>(value) = gui().trackChoice; }
void setTrackChoiceCallback(const void* value, void*) {
  const int count = static_cast<int>(gui().tracks.shown.size());
  gui().trackChoice = std::clamp(*static_cast<const int32_t*>(value), 0, std::max(count - 1, 0));
}

void setKeyCallback(void*) {
  TweakGui& g = gui();
  const TrackBarModel& model = g.tracks;
  if (g.trackChoice < 0 || g.trackChoice >= static_cast<int>(model.shown.size()) || !model.value) return;
  g.setKey(g.trackChoice, static_cast<float>(model.value(model.shown[static_cast<size_t>(g.trackChoice)])));
}

void deleteKeyCallback(void*) { gui().deleteKey(gui().trackChoice); }

void saveCallback(void*) {
  if (gui().tracks.save) gui().tracks.save();
}

// Bar errors are not the user's concern: the demo goes on as if the call had worked.
void ignoreErrors(const char*) {}

}  // namespace

int TweakGui::init() {
  if (!TwInit(TW_OPENGL, nullptr)) return 1;
  bar = TwNewBar("Pylon");
  TwDefine(" Pylon refresh=0.01 size='200 600' valuesWidth=60 ");
  TwDefine(showFlag == 1 ? " Pylon show " : " Pylon iconify ");
  TwAddButton(bar, "Play", playCallback, nullptr, nullptr);
  TwAddButton(bar, "Pause", pauseCallback, nullptr, nullptr);
  TwAddButton(bar, "Reset", resetCallback, nullptr, nullptr);
  TwAddVarCB(bar, "Time", TW_TYPE_FLOAT, setTimeCallback, getTimeCallback, nullptr,
             " min=0 max=1000 step=0.01 precision=4 keydecr=, keyincr=. ");
  if (music())
    TwAddVarCB(bar, "Volume", TW_TYPE_FLOAT, setVolumeCallback, getVolumeCallback, nullptr,
               " min=0.0 max=1.0 step=0.05 ");
  TwHandleErrors(ignoreErrors);
  return 0;
}

void TweakGui::addRendererVariables() {
  Renderer* r = runtime->renderer;
  TwAddVarRW(bar, "postprocess", TW_TYPE_BOOLCPP, &r->postprocess, "label='postprocess'");
  TwAddVarRW(bar, "controlgrid", TW_TYPE_BOOLCPP, &r->controlgrid, "label='control grid'");
  if (music()) TwAddVarRW(bar, "spectrum", TW_TYPE_BOOLCPP, &r->spectrum, "label='spectrum'");
  TwAddVarRW(bar, "fftControl", TW_TYPE_INT32, &r->fftControl, " min=0 max=512 label='fft flash' ");
  TwAddVarRW(bar, "camX", TW_TYPE_FLOAT, &r->camX, " min=-100 max=100 step=0.1 ");
  TwAddVarRW(bar, "camY", TW_TYPE_FLOAT, &r->camY, " min=-100 max=100 step=0.1 ");
  TwAddVarRW(bar, "camZ", TW_TYPE_FLOAT, &r->camZ, " min=-100 max=100 step=0.1 ");
  TwAddVarRW(bar, "camP", TW_TYPE_FLOAT, &r->camP, " min=-360 max=360 step=0.5 ");
  TwAddVarRW(bar, "camH", TW_TYPE_FLOAT, &r->camH, " min=-360 max=360 step=0.5 ");
  TwAddVarRW(bar, "camB", TW_TYPE_FLOAT, &r->camB, " min=-360 max=360 step=0.5 ");
  TwAddVarRW(bar, "fovY", TW_TYPE_FLOAT, &r->fovY, " min=0 max=360 step=0.5 ");
  TwAddVarRW(bar, "zFar", TW_TYPE_FLOAT, &r->zFar, " min=1 max=800 step=0.5 ");
  TwAddVarRW(bar, "zNear", TW_TYPE_FLOAT, &r->zNear, " min=1 max=800 step=0.5 ");
  TwAddVarCB(bar, "renderScale", TW_TYPE_FLOAT, setRenderScaleCallback, getRenderScaleCallback, nullptr,
             " min=0.25 max=1 step=0.025 precision=3 label='render scale' ");
  TwAddVarRW(bar, "renderScaleAuto", TW_TYPE_BOOLCPP, &r->renderScaleAuto, " label='auto scale' ");
}

int TweakGui::addParameter(const std::string& parameterName, void* effect, const std::string& variableName, float value,
                           const std::string& definition) {
  parameters.push_back({effect, value, parameterName, variableName});
  const uintptr_t index = parameters.size() - 1;
  *runtime->logger << "\tadding variable to gui: "
                   << "(eff: " << static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(effect)) << ") "
                   << parameterName << " " << static_cast<double>(value) << " " << definition << "\n";
  if (!TwAddVarCB(bar, variableName.c_str(), TW_TYPE_FLOAT, setParameterCallback, getParameterCallback,
                  reinterpret_cast<void*>(index), definition.c_str())) {
    const char* error = TwGetLastError();
    *runtime->logger << "\tadding variable to gui error: " << (error ? error : "") << "\n";
  }
  return 0;
}

int TweakGui::addTrackBar(TrackBarModel model) {
  tracks = std::move(model);
  trackChoice = std::clamp(trackChoice, 0, std::max(static_cast<int>(tracks.shown.size()) - 1, 0));
  if (!trackBar) {
    trackBar = TwNewBar("Tracks");
    if (!trackBar) return 1;
    TwDefine(" Tracks refresh=0.01 size='240 260' position='220 10' valuesWidth=80 ");  // beside Pylon
    TwDefine(showFlag == 1 ? " Tracks show " : " Tracks iconify ");
    TwAddVarCB(trackBar, "row", TW_TYPE_INT32, setRowCallback, getRowCallback, nullptr, " label='row' ");
    TwAddVarCB(trackBar, "track", TW_TYPE_INT32, setTrackChoiceCallback, getTrackChoiceCallback, nullptr,
               " label='key track (line)' min=0 ");
    TwAddVarRW(trackBar, "keyType", TW_TYPE_INT32, &keyType,
               " label='key type 0-3' min=0 max=3 ");
    TwAddButton(trackBar, "Set key", setKeyCallback, nullptr, nullptr);
    TwAddButton(trackBar, "Delete key", deleteKeyCallback, nullptr, nullptr);
    TwAddButton(trackBar, "Save", saveCallback, nullptr, nullptr);
  }
  for (; trackLines < static_cast<int>(tracks.shown.size()); ++trackLines) {
    const int index = tracks.shown[static_cast<size_t>(trackLines)];
    const std::string name = tracks.tracks ? (*tracks.tracks)[index].name : "track " + std::to_string(index);
    const std::string definition = " group=values label='" + std::to_string(trackLines) + " " + name + "' step=0.01 ";
    TwAddVarCB(trackBar, ("track" + std::to_string(trackLines)).c_str(), TW_TYPE_FLOAT, setTrackValueCallback,
               getTrackValueCallback, reinterpret_cast<void*>(static_cast<uintptr_t>(trackLines)), definition.c_str());
  }
  return 0;
}

uint32_t TweakGui::currentRow() const {
  const double row = tracks.row ? std::floor(tracks.row()) : 0.0;
  return row > 0.0 ? (row < 4294967295.0 ? static_cast<uint32_t>(row) : 4294967295u) : 0u;
}

int TweakGui::setKey(int listed, float value) {
  if (!runtime->timer->paused || !tracks.tracks || listed < 0 || listed >= static_cast<int>(tracks.shown.size()))
    return 1;
  const int index = tracks.shown[static_cast<size_t>(listed)];
  if (tracks.keyed && !tracks.keyed(index)) return 1;
  if (!std::isfinite(value)) return 1;
  (*tracks.tracks)[index].setKey({currentRow(), value, static_cast<SyncKeyType>(std::clamp(keyType, 0, 3))});
  return 0;
}

int TweakGui::deleteKey(int listed) {
  if (!runtime->timer->paused || !tracks.tracks || listed < 0 || listed >= static_cast<int>(tracks.shown.size()))
    return 1;
  const int index = tracks.shown[static_cast<size_t>(listed)];
  if (tracks.keyed && !tracks.keyed(index)) return 1;
  return (*tracks.tracks)[index].deleteKey(currentRow());
}
