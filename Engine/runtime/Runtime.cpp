#include "runtime/Runtime.h"

#ifndef PYLON_STB_IMAGES
#include <IL/il.h>
#endif

#include <cstdlib>
#include <cstring>
#include <new>

#include "capture/AviCapture.h"
#include "gui/TweakGui.h"
#include "platform/Events.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Timer.h"
#include "scene/MathUtil.h"
#include "scene/Renderer.h"
#include "screen/ConfigDialog.h"
#include "screen/Screen.h"
#include "sound/Sound.h"

Runtime* Runtime::slot = nullptr;
std::function<void(const char*, Runtime*)> Runtime::constructionObserver;

Runtime* Runtime::instance() {
  if (!slot) {
    // Publish the zero-filled storage first: member constructors call instance() to get
    // their back pointer, and must see this object rather than start a second one.
    void* storage = std::calloc(1, sizeof(Runtime));
    if (!storage) throw std::bad_alloc();
    slot = static_cast<Runtime*>(storage);
    new (storage) Runtime();
  }
  return slot;
}

namespace {
template <typename T>
T* construct(Runtime* runtime, const char* name) {
  T* member = new T(runtime);
  if (Runtime::constructionObserver) Runtime::constructionObserver(name, runtime);
  return member;
}
}  // namespace

// The members are assigned in the constructor body, not in an initialiser list, so each
// constructor finds the ones before it already in place.
Runtime::Runtime() {
  Runtime* self = slot;
  logger = construct<Logger>(self, "Logger");
  capture = construct<AviCapture>(self, "AviCapture");
  dialog = construct<ConfigDialog>(self, "ConfigDialog");
  tweakGui = construct<TweakGui>(self, "TweakGui");
  screen = construct<Screen>(self, "Screen");
  sound = construct<Sound>(self, "Sound");
  loader = construct<Loader>(self, "Loader");
  math = construct<MathUtil>(self, "MathUtil");
  renderer = construct<Renderer>(self, "Renderer");
  timer = new Timer();
  if (constructionObserver) constructionObserver("Timer", self);
  gui = 0;
#ifndef PYLON_STB_IMAGES
  ilInit();
#endif
}

void Runtime::destroyForTesting() {
  if (!slot) return;
  delete slot->timer;
  delete slot->renderer;
  delete slot->math;
  delete slot->loader;
  delete slot->sound;
  delete slot->screen;
  delete slot->tweakGui;
  delete slot->dialog;
  delete slot->capture;
  delete slot->logger;
  slot->~Runtime();
  std::free(slot);
  slot = nullptr;
}

int runEngine(const DemoHooks& demo) {
  Runtime* runtime = Runtime::instance();
  runtime->gui = programOptions().gui ? 1 : 0;

  if (!runtime->loader->opened) {
    // The log asked for on the command line still says why the run ends here.
    if (programOptions().log && runtime->logger->create() == 0)
      *runtime->logger << ("Loader::loader: Data file not found. (" + runtime->loader->openProblem + ")\n");
    return 1;
  }
  *runtime->logger << "loader init ok.\n";
  if (demo.prepare && demo.prepare() != 0) return 1;

  bool started = false;
  if (runtime->screen->init() != 0) {
    *runtime->logger << "screen init failed.\n";
    platform::postQuitMessage(1);
  } else {
    if (runtime->sound->init() != 0) return 1;
    started = true;
    if (!demo.init || demo.init() != 0) platform::postQuitMessage(1);
  }

  // The loop never blocks: messages first, a frame whenever none waits. A quit posted
  // during start-up is taken before any frame is drawn.
  int exitCode = 0;
  platform::Message message;
  for (;;) {
    if (platform::peekMessage(message)) {
      if (message.type == platform::MessageType::Quit) {
        exitCode = static_cast<int>(message.wParam);
        break;
      }
      platform::dispatchMessage(message);
    } else if (started && demo.frame) {
      demo.frame();
    }
  }

  if (runtime->sound->loaded) runtime->sound->stop();
  // A capture asked for on the command line whose file is incomplete is a failed run; the
  // dialog's capture has logged its failures and the run stands.
  if (runtime->screen->config.captureEnabled && runtime->capture->close() != 0 && runtime->capture->fromCommandLine)
    exitCode = 1;
  runtime->screen->shutdown();
  return exitCode;
}
