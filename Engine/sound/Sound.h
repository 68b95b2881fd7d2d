// Sound: plays the production's music from the archive and hands out its spectrum.
//
// Owned by Runtime. init() runs after Screen::init; every playback operation does nothing
// while `loaded` is false.
#pragma once

class Runtime;

class Sound {
 public:
  explicit Sound(Runtime* runtime);

  int init();
  void stop();

  Runtime* engine = nullptr;
  bool loaded = false;
};
