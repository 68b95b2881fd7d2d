// bench_motion: the per-frame animation cost of a large scene. 2,000 objects, each with nine
// motion channels and a dissolve, every envelope of 8 keys with mixed span types; one frame
// evaluates the scene camera, every object's model matrix and its dissolve, as drawing does.
// Prints the time per frame (target: under 1 ms).
#include "BenchClock.h"
#include "scene/Motion.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "resources/KestrelLib.pb.h"
#include "scene/Envelope.h"
#include "scene/Renderer.h"

namespace {

int kObjects = 2000;  // bench_motion [OBJECTS] measures another count
constexpr int kKeys = 8;
constexpr int kFrames = 600;

void fill(Kestrel::Envelope* envelope, unsigned seed) {
  envelope->set_pre(1 + seed % 4);
  envelope->set_post(1 + (seed / 4) % 4);
  float time = 0.0f;
  for (int k = 0; k < kKeys; ++k) {
    Kestrel::Key* key = envelope->add_key();
    key->set_time(time);
    key->set_value(static_cast<float>((seed * 7919u + k * 104729u) % 1000) * 0.01f);
    key->set_spantype((seed + k) % 4);  // TCB, Hermite, Bezier, linear
    key->set_p1(0.1f);
    key->set_p4(0.5f);
    key->set_p5(-0.25f);
    time += 1.0f + static_cast<float>((seed + k) % 5) * 0.5f;
  }
}

// The scene is built, written out and parsed back, so that its messages lie in memory the
// way the scene import leaves them.
Kestrel::KestrelLib makeScene() {
  Kestrel::KestrelLib scene;
  Kestrel::Camera* camera = scene.add_camera();
  for (int c = 0; c < 6; ++c) fill(camera->add_motion(), 31u * c + 5u);
  fill(camera->mutable_zoomfactor(), 99u);
  for (int i = 0; i < kObjects; ++i) {
    Kestrel::Object* object = scene.add_object();
    for (int c = 0; c < 9; ++c) fill(object->add_motion(), static_cast<unsigned>(i * 9 + c));
    fill(object->mutable_dissolve(), static_cast<unsigned>(i + 17));
    for (int p = 0; p < 3; ++p) object->add_pivot(0.5f * p);
  }
  return scene;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) kObjects = std::max(1, std::atoi(argv[1]));
  Kestrel::KestrelLib scene;
  if (!scene.ParseFromString(makeScene().SerializeAsString())) {
    std::fprintf(stderr, "bench_motion: the generated scene does not parse\n");
    return 1;
  }

  Renderer renderer(nullptr);
  std::vector<double> frameMs, cpuMs;
  frameMs.reserve(kFrames);
  cpuMs.reserve(kFrames);
  float checksum = 0.0f;
  for (int frame = 0; frame < kFrames; ++frame) {
    const float time = frame * (1.0f / 60.0f) * 3.0f;  // sweeps all spans and the behaviours after them
    const double cpuStart = threadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    updateSceneCamera(scene, time, renderer, 1024, 576, false);
    for (int i = 0; i < kObjects; ++i) {
      objectMatrix(scene, i, time, renderer);
      checksum += evaluateEnvelope(scene.object(i).dissolve(), time) + renderer.modelMatrix[3];
    }
    const auto end = std::chrono::steady_clock::now();
    frameMs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    cpuMs.push_back((threadCpuSeconds() - cpuStart) * 1e3);
  }
  std::printf("motion: %d objects x 10 envelopes of %d keys, %d frames (target < 1 ms per frame)\n", kObjects, kKeys,
              kFrames);
  double median = 0.0;
  for (auto* series : {&frameMs, &cpuMs}) {
    std::vector<double> sorted = *series;
    std::sort(sorted.begin(), sorted.end());
    double total = 0.0;
    for (double ms : sorted) total += ms;
    median = sorted[kFrames / 2];
    std::printf("  %s per frame: mean %.3f ms, median %.3f ms, 95th percentile %.3f ms, max %.3f ms\n",
                series == &frameMs ? "wall time" : "CPU time ", total / kFrames, median, sorted[kFrames * 95 / 100],
                sorted.back());
  }
  std::printf("  per object (10 envelopes and the matrix), median CPU: %.1f ns\n", median * 1e6 / kObjects);
  std::printf("  checksum %g\n", static_cast<double>(checksum));
  return 0;
}
