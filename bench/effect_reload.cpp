// bench_effect_reload: does reloading an effect again and again (what --watch does on every
// save) grow the process? The player's own reload path runs N times on an effect of the
// scene, and the scene is drawn with the new effect after each reload, so that the driver
// builds its code for it, as in a real run.
//
//   bench_effect_reload [--reloads N] [--every K] [--variants V] [--at SECONDS] [--no-draw]
//                       DATA_DIR [MEMBER]
//
// DATA_DIR is a directory of the production's files (`pylon unpack data.zip DIR`); MEMBER
// is one of the scene's effects there (default: the first one the scene uses). Each reload
// writes MEMBER again with a comment in its GLSL blocks that makes the GL text new (V > 0
// cycles through V texts instead, as when a file is saved back and forth), waits until the
// file watch has brought it to the player's reload, and draws the frame at SECONDS (default
// 60). Every K reloads (default 50) it prints the resident size (anonymous memory and pages
// of mapped files, the driver's libraries among them), the heap's bytes in use and the
// heap's size (mallinfo2); at the start and at the end also after malloc_trim(0), which hands the heap's free pages
// back, so that what the heap merely keeps is told apart from what is still in use. The file
// is put back as it was. Needs a display (scripts/with-display.sh).
#include <GL/glew.h>
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "DemoPlayer.h"
#include "LiveEdit.h"
#include "Scene01.h"
#include "platform/Events.h"
#include "platform/MessageBox.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"

namespace {

// A "Name:  N kB" field of /proc/self/status.
long statusKb(const char* name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(name, 0) == 0) return std::atol(line.c_str() + std::strlen(name));
  return -1;
}

void report(const char* when, long reloads) {
  const struct mallinfo2 heap = mallinfo2();
  std::printf("%-8s reloads %4ld  rss %7ld kB (anonymous %7ld, files %6ld)  heap in use %6zu kB  heap size %6zu kB\n",
              when, reloads, statusKb("VmRSS:"), statusKb("RssAnon:"), statusKb("RssFile:"), heap.uordblks / 1024,
              (heap.arena + heap.hblkhd) / 1024);
  std::fflush(stdout);
}

// The effect text with `mark` as a comment at the start of every GLSL block, so that the GL
// sees new source without the line numbers moving.
std::string marked(const std::string& text, const std::string& mark) {
  std::string out;
  size_t from = 0;
  for (size_t at = text.find("glsl_"); at != std::string::npos; at = text.find("glsl_", at + 1)) {
    if (at > 0 && text[at - 1] != '\n') continue;
    const size_t brace = text.find('{', at);
    if (brace == std::string::npos) break;
    out += text.substr(from, brace + 1 - from) + " /* " + mark + " */";
    from = brace + 1;
    at = brace;
  }
  return out + text.substr(from);
}

bool writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  ProgramOptions& options = programOptions();
  options.windowed = true;
  options.noDialog = true;
  options.width = 640;
  options.height = 360;
  options.watch = true;
  long reloads = 200, every = 50, variants = 0;
  float at = 60.0f;
  bool draw = true;
  std::string member;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--reloads" && i + 1 < argc) reloads = std::atol(argv[++i]);
    else if (arg == "--every" && i + 1 < argc) every = std::atol(argv[++i]);
    else if (arg == "--variants" && i + 1 < argc) variants = std::atol(argv[++i]);
    else if (arg == "--at" && i + 1 < argc) at = static_cast<float>(std::atof(argv[++i]));
    else if (arg == "--no-draw") draw = false;
    else if (arg[0] != '-' && options.dataFile.empty()) options.dataFile = arg;
    else if (arg[0] != '-' && member.empty()) member = arg;
    else {
      std::fprintf(stderr,
                   "usage: bench_effect_reload [--reloads N] [--every K] [--variants V] [--at SECONDS] [--no-draw] "
                   "DATA_DIR [MEMBER]\n");
      return 2;
    }
  }
  if (options.dataFile.empty() || reloads < 1 || every < 1) {
    std::fprintf(stderr, "bench_effect_reload: needs DATA_DIR (pylon unpack data.zip DIR), N >= 1, K >= 1\n");
    return 2;
  }
  platform::setUnattended(true);

  DemoPlayer& player = demoPlayer();
  LiveEdit live;
  int failures = 0;
  DemoHooks hooks;
  hooks.init = [&] {
    if (player.init() != 0) return 1;
    Scene01* scene = dynamic_cast<Scene01*>(player.entries[0].part);
    std::string problem;
    if (!scene || live.start(options, scene, &player.post, problem) != 0) {
      std::fprintf(stderr, "bench_effect_reload: %s\n", problem.c_str());
      return 1;
    }
    if (member.empty() && scene->city.shader_size() > 0) member = scene->city.shader(0).source();
    return 0;
  };
  hooks.frame = [&] {
    const std::string path = options.dataFile + "/" + member;
    std::stringstream original;
    original << std::ifstream(path, std::ios::binary).rdbuf();
    std::printf("%s: %ld reloads of %s, %s between reloads\n", options.dataFile.c_str(), reloads, member.c_str(),
                draw ? "the frame drawn" : "nothing drawn");
    const auto frame = [&] {
      if (!draw) return;
      player.renderParts(at);
      glFinish();
    };
    // As in the player: the save reaches LiveEdit through the file watch, polled per frame.
    const auto reloaded = [&] {
      const long before = live.reloads;
      for (int polls = 0; polls < 2000 && live.reloads == before && live.errorText().empty(); ++polls) {
        live.poll();
        if (live.reloads == before) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      return live.reloads == before + 1;
    };
    frame();
    report("start", 0);
    malloc_trim(0);
    report("trimmed", 0);
    for (long i = 1; i <= reloads; ++i) {
      const long mark = variants > 0 ? i % variants : i;
      if (!writeFile(path, marked(original.str(), "reload " + std::to_string(mark))) || !reloaded()) {
        std::fprintf(stderr, "bench_effect_reload: reload %ld of %s failed: %s\n", i, member.c_str(),
                     live.errorText().c_str());
        ++failures;
        break;
      }
      frame();
      if (i % every == 0) report("", i);
    }
    malloc_trim(0);
    report("trimmed", live.reloads);
    writeFile(path, original.str());
    platform::postQuitMessage(0);
  };
  const int code = runEngine(hooks);
  if (code != 0) {
    std::fprintf(stderr, "bench_effect_reload: the demo did not run (exit code %d)\n", code);
    return 1;
  }
  return failures == 0 ? 0 : 1;
}
