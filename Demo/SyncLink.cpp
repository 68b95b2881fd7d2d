#include "SyncLink.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "DemoPlayer.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"
#include "runtime/Runtime.h"
#include "runtime/Timer.h"
#include "sound/Sound.h"

namespace {

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void say(const std::string& text) {
  *Runtime::instance()->logger << text << "\n";
  std::fprintf(stderr, "%s\n", text.c_str());
}

Sound* music() {
  Sound* sound = Runtime::instance()->sound;
  return sound && sound->loaded ? sound : nullptr;
}

}  // namespace

int SyncLink::start(const std::string& address, std::string* error) {
  std::string host;
  uint16_t port = SyncClient::kDefaultPort;
  if (parseSyncAddress(address, &host, &port, error)) return 1;
  DemoPlayer& player = demoPlayer();
  client = std::make_unique<SyncClient>(&player.trackBindings.tracks.tracks);
  client->onMessage = say;
  client->onPause = [](bool paused) {
    Runtime* runtime = Runtime::instance();
    if (paused) {
      runtime->timer->pause();
      if (Sound* s = music()) s->pause();
    } else {
      runtime->timer->resume();
      if (Sound* s = music()) s->resume();
    }
  };
  client->onSetRow = [](uint32_t row) {
    DemoPlayer& player = demoPlayer();
    const ProductionTracks& tracks = player.trackBindings.tracks;
    if (!(tracks.bpm > 0.0)) return;
    const double seconds = syncSeconds(row, tracks.bpm, tracks.rowsPerBeat);
    Runtime::instance()->timer->seek(seconds - player.startTime);
    if (Sound* s = music()) s->seek(seconds);
    player.trackTime = -1.0;  // a jump feeds the music-fed tracks no time
  };
  client->onSave = [this] { save(); };
  if (client->start(host, port)) {
    if (error) *error = "--sync " + address + ": the address does not resolve";
    client.reset();
    return 1;
  }
  return 0;
}

std::string SyncLink::saveDirectory() const {
  const std::string& data = Runtime::instance()->loader->archivePath;
  std::error_code failure;
  if (std::filesystem::is_directory(data, failure)) return data;
  const std::filesystem::path parent = std::filesystem::path(data).parent_path();
  return parent.empty() ? "." : parent.string();
}

int SyncLink::save() {
  const ProductionTracks& tracks = demoPlayer().trackBindings.tracks;
  const std::string prefix = tracks.prefix.empty() ? "sync" : tracks.prefix;
  const std::string directory = this->directory.empty() ? saveDirectory() : this->directory;
  std::string error;
  if (writeSyncTrackFiles(directory, prefix, tracks.tracks, &error) ||
      writeSyncTracksText(directory + "/" + prefix + "-tracks.txtpb", tracks.tracks, &error)) {
    say("sync: the tracks were not saved: " + error);
    return 1;
  }
  say("sync: " + std::to_string(tracks.tracks.size()) + " tracks saved in " + directory);
  return 0;
}

void SyncLink::poll() {
  if (!client) return;
  DemoPlayer& player = demoPlayer();
  Runtime* runtime = Runtime::instance();
  const double seconds = player.startTime + runtime->timer->seconds();
  client->poll(steadySeconds(), player.trackBindings.tracks.row(seconds), !runtime->timer->paused);
}
