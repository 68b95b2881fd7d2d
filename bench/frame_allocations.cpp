// bench_frame_allocations: plays the production's timeline in fixed steps and counts the
// heap allocations (global operator new) each frame makes, to show that the per-frame path
// allocates nothing once the first frames have filled its storage. Plain malloc calls (most
// of the GL driver's) are not counted; C++ libraries it uses (LLVM) are, and are named.
//
//   bench_frame_allocations [--step SECONDS] [--warm-up FRAMES] [ARCHIVE]
//
// Prints the allocations of the warm-up frames one by one, then the total, the largest
// count of one frame, the demo times of any frame that allocated after the warm-up, and
// where those allocations came from (this program or a library, such as the software GL
// driver compiling a shader variant the first time a state combination is drawn). Exit
// code 1 when the program's own code allocated in a frame after the warm-up. Defaults: a
// step of 0.25 s over the whole 125 s, 5 warm-up frames, a 640x480 window, data.zip beside
// this program. Needs a display (scripts/with-display.sh).
#include <dlfcn.h>
#include <execinfo.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "DemoPlayer.h"
#include "platform/MessageBox.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"

namespace {
std::atomic<long> allocations{0};

// Who allocated: this program, or a library it called (such as the GL driver's shader
// compiler), by the object file. A fixed table, so that counting allocates nothing.
struct Origin {
  const char* object;  // dladdr's name of the object, stable while it is loaded
  long count;
};
Origin origins[32];
std::atomic<bool> tracing{false};
thread_local bool inside = false;

void noteOrigin() {
  if (!tracing.load(std::memory_order_relaxed) || inside) return;
  inside = true;
  void* frames[48];
  const int depth = backtrace(frames, 48);
  // The innermost library on the stack other than the C and C++ runtimes made the call (the
  // program's own template code may serve it); with none, the program itself did.
  const char* object = "this program";
  Dl_info self;
  const char* program = dladdr(reinterpret_cast<void*>(&noteOrigin), &self) ? self.dli_fname : nullptr;
  for (int i = 1; i < depth; ++i) {
    Dl_info info;
    if (!dladdr(frames[i], &info) || !info.dli_fname || info.dli_fname == program) continue;
    if (std::strstr(info.dli_fname, "libstdc++") || std::strstr(info.dli_fname, "libc.so") ||
        std::strstr(info.dli_fname, "libgcc_s"))
      continue;
    object = info.dli_fname;
    break;
  }
  for (Origin& o : origins) {
    if (o.object && o.object != object) continue;
    o.object = object;
    ++o.count;
    break;
  }
  inside = false;
}
}  // namespace

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  noteOrigin();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, std::align_val_t align) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  noteOrigin();
  const std::size_t alignment = static_cast<std::size_t>(align);
  if (void* p = std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t align) { return operator new(size, align); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

int main(int argc, char** argv) {
  double step = 0.25;
  long warmUp = 5;
  ProgramOptions& options = programOptions();
  options.windowed = true;
  options.noDialog = true;
  options.width = 640;
  options.height = 480;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--step" && i + 1 < argc) {
      step = std::atof(argv[++i]);
    } else if (arg == "--warm-up" && i + 1 < argc) {
      warmUp = std::atol(argv[++i]);
    } else if (arg[0] != '-') {
      options.dataFile = arg;
    } else {
      std::fprintf(stderr, "usage: bench_frame_allocations [--step SECONDS] [--warm-up FRAMES] [ARCHIVE]\n");
      return 2;
    }
  }
  if (!(step > 0.0) || warmUp < 0) return 2;
  platform::setUnattended(true);

  DemoPlayer& player = demoPlayer();
  player.fixedStep = step;
  std::vector<long> perFrame;
  std::vector<float> times;
  perFrame.reserve(1 << 20);  // the bench's own bookkeeping must not count
  times.reserve(1 << 20);
  DemoHooks hooks;
  hooks.init = [&] { return player.init(); };
  {
    void* warm[2];
    backtrace(warm, 2);  // loads what backtrace needs before any frame is counted
  }
  hooks.frame = [&] {
    tracing = static_cast<long>(perFrame.size()) >= warmUp;
    const long before = allocations.load();
    player.frame();
    perFrame.push_back(allocations.load() - before);
    tracing = false;
    times.push_back(player.t);
  };
  const int code = runEngine(hooks);
  if (code != 0 || perFrame.empty()) {
    std::fprintf(stderr, "bench_frame_allocations: the demo did not run (exit code %d)\n", code);
    return 1;
  }
  long total = 0, largest = 0, allocatingFrames = 0;
  std::printf("%zu frames, %.3f s apart\n", perFrame.size(), step);
  for (size_t i = 0; i < perFrame.size(); ++i) {
    if (static_cast<long>(i) < warmUp) {
      std::printf("warm-up frame %zu (t = %.2f s): %ld allocations\n", i + 1, static_cast<double>(times[i]), perFrame[i]);
      continue;
    }
    total += perFrame[i];
    if (perFrame[i] > largest) largest = perFrame[i];
    if (perFrame[i] > 0 && ++allocatingFrames <= 10)
      std::printf("frame %zu (t = %.2f s): %ld allocations\n", i + 1, static_cast<double>(times[i]), perFrame[i]);
  }
  std::printf("after the warm-up: %ld allocations in %ld of %zu frames, at most %ld in one frame\n", total,
              allocatingFrames, perFrame.size() - static_cast<size_t>(std::min<long>(warmUp, static_cast<long>(perFrame.size()))),
              largest);
  long own = 0;
  for (const Origin& o : origins) {
    if (!o.object) continue;
    std::printf("  %ld of them from %s\n", o.count, o.object);
    if (!std::strcmp(o.object, "this program")) own = o.count;
  }
  std::printf("the program's own allocations after the warm-up: %ld\n", own);
  return own == 0 ? 0 : 1;
}
