// Runtime: the one engine object that owns every service of the program.
//
// Runtime::instance() creates it on first use: the storage is allocated zero-filled and
// published in the static slot before the members are constructed, in this fixed order:
// Logger, AviCapture, ConfigDialog, TweakGui, Screen, Sound, Loader, MathUtil, Renderer,
// Timer. A member constructor may call instance() and receives the same, half-built object
// (the members after it are still null); it must only store the pointer. After the last
// member the image library is initialised. The object lives until the process ends.
//
// runEngine() is the program's entry sequence: archive check, Screen::init, Sound::init,
// the demo's init, the non-blocking message loop rendering one demo frame whenever no
// message waits, and the shutdown. It returns the process exit code.
#pragma once

#include <cstdint>
#include <functional>

class Logger;
class AviCapture;
class ConfigDialog;
class TweakGui;
class Screen;
class Sound;
class Loader;
class MathUtil;
class Renderer;
class Timer;

class Runtime {
 public:
  static Runtime* instance();

  // Tests only: observes each member right after its construction, and tears the object
  // down so that the next instance() builds a fresh one.
  static std::function<void(const char* member, Runtime* runtime)> constructionObserver;
  static void destroyForTesting();

  Logger* logger;
  AviCapture* capture;
  ConfigDialog* dialog;
  TweakGui* tweakGui;
  Screen* screen;
  Sound* sound;
  Loader* loader;
  MathUtil* math;
  Renderer* renderer;
  Timer* timer;
  uint8_t gui;  // 1 while the tweak GUI is in use

 private:
  Runtime();
  ~Runtime() = default;
  static Runtime* slot;
};

// What the production plugs into the engine's entry sequence.
struct DemoHooks {
  std::function<int()> init;    // 0 on success
  std::function<void()> frame;  // renders one frame
  // Once the archive is open, before the screen and the sound: what the production needs
  // decided first (which music the sound loads). 0 on success; otherwise the run ends with
  // exit code 1 before any window opens.
  std::function<int()> prepare = nullptr;
};

int runEngine(const DemoHooks& demo);
