// veltro12: the player. Parses the command line, then runs the engine's entry sequence
// with the production plugged in.
#include <cstdio>
#include <string>
#include <vector>

#include "DemoPlayer.h"
#include "LiveEdit.h"
#include "SyncLink.h"
#include "Scene01.h"
#include "ProductionSource.h"
#include "capture/AviCapture.h"
#include "capture/CaptureOptions.h"
#include "platform/MessageBox.h"
#include "platform/tweakbar/TweakBar.h"
#include "resources/Loader.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "sound/Sound.h"
#ifdef __EMSCRIPTEN__
#include "platform/web/Page.h"
#endif

namespace {
LiveEdit liveEdit;  // --watch
SyncLink syncLink;  // --sync
}  // namespace

#ifdef __EMSCRIPTEN__
namespace {
// What the options ask for that a page cannot do: the reason, or null.
const char* browserRefusal(const ProgramOptions& options) {
  if (!options.captureFile.empty() || options.listCodecs || !options.codec.empty())
    return "capture to a video file (--capture, --codec, --list-codecs) is not available in the browser";
  if (options.watch) return "watching files for changes (--watch) is not available in the browser";
  if (options.sync) return "following a sync editor (--sync) is not available in the browser";
  if (options.gui) return "the tweak GUI (--gui) is not available in the browser";
  if (!options.sceneFile.empty()) return "importing a glTF scene (--scene) is not available in the browser";
  return nullptr;
}

int run(int argc, char** argv);
}  // namespace

// The page (web/player.js) learns that the run is over, with its exit code, whichever way
// it ended.
int main(int argc, char** argv) {
  const int code = run(argc, argv);
  platform::page::runEnded(code);
  return code;
}

namespace {
int run(int argc, char** argv) {
#else
int main(int argc, char** argv) {
#endif
  ProgramOptions& options = programOptions();
  std::string error;
  if (parseOptions(argc, argv, options, error) != 0) {
    std::fprintf(stderr, "veltro12: %s\n\n%s", error.c_str(), usageText().c_str());
#ifdef __EMSCRIPTEN__
    platform::showMessageBox(error, "veltro12", platform::MessageIcon::Error);
#endif
    return 1;
  }
#ifdef __EMSCRIPTEN__
  if (const char* refusal = browserRefusal(options)) {
    platform::showMessageBox(refusal, "veltro12", platform::MessageIcon::Error);
    return 1;
  }
#endif
  if (options.help) {
    std::fputs(usageText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("%s\n", versionText().c_str());
    return 0;
  }
  if (options.listCodecs || !options.codec.empty()) {
    std::vector<CodecInfo> codecs;
    AviCapture(nullptr).enumerateCodecs(codecs);
    if (options.listCodecs) {
      std::fputs(codecListText(codecs).c_str(), stdout);
      return 0;
    }
    if (findCodec(codecs, options.codec) < 0) {
      std::fprintf(stderr, "veltro12: no capture codec or several match \"%s\"; veltro12 --list-codecs lists them\n",
                   options.codec.c_str());
      return 1;
    }
  }
  if (options.noDialog) platform::setUnattended(true);

  DemoHooks hooks;
  hooks.prepare = [&options] { return preparePlayerProduction(options, &liveEdit.sceneRecord); };
  hooks.init = [&options] {
    if (demoPlayer().init() != 0) return 1;
    if (options.sync) {
      std::string failure;
      if (syncLink.start(*options.sync, &failure) != 0) {
        platform::showMessageBox(failure, "SyncLink::start", platform::MessageIcon::Error);
        return 1;
      }
    }
    if (!options.watch) return 0;
    Scene01* scene = nullptr;
    for (unsigned i = 0; i < demoPlayer().entryCount && !scene; ++i) scene = dynamic_cast<Scene01*>(demoPlayer().entries[i].part);
    std::string failure;
    if (liveEdit.start(options, scene, &demoPlayer().post, failure) != 0) {
      platform::showMessageBox(failure, "LiveEdit::start", platform::MessageIcon::Error);
      return 1;
    }
    demoPlayer().overlay = [] {
      const std::string text = liveEdit.errorText();
      if (!text.empty()) TwDrawMessage(text.c_str());
    };
    return 0;
  };
  hooks.frame = [] {
    liveEdit.poll();
    syncLink.poll();
    demoPlayer().frame();
  };
  return runEngine(hooks);
}
#ifdef __EMSCRIPTEN__
}  // namespace
#endif
