// Fuzz target: a scene file parsed into the run-time root and checked. A scene the check
// accepts is then walked the way upload and drawing follow its references, so that a
// reference the check lets through out of range shows up here as an out-of-bounds read.
#include <vector>

#include "FuzzSupport.h"
#include "resources/Loader.h"
#include "resources/SceneValidator.h"

namespace {

// Element `id` (1-based) of a list, or a trap when the check let a bad reference through.
template <typename List>
const auto& entry(const List& list, uint32_t id) {
  if (id == 0 || id > static_cast<uint32_t>(list.size())) __builtin_trap();
  return list.Get(static_cast<int>(id) - 1);
}

template <typename List>
float value(const List& list, uint64_t index) {
  if (index >= static_cast<uint64_t>(list.size())) __builtin_trap();
  return static_cast<float>(list.Get(static_cast<int>(index)));
}

volatile float sink;

void walk(const Kestrel::KestrelLib& scene) {
  float sum = 0;
  const uint32_t objects = static_cast<uint32_t>(scene.object_size());
  std::vector<std::pair<uint32_t, uint64_t>> shared;  // vboID -> vertex count of its buffer
  for (const Kestrel::Object& o : scene.object()) {
    for (int c = 0; c < 9; ++c) sum += static_cast<float>(entry(o.motion(), c + 1).key_size());
    sum += value(o.pivot(), 0) + value(o.pivot(), 1) + value(o.pivot(), 2);
    const Kestrel::Object* current = &o;
    for (uint32_t steps = 0; current->parent().type() != 0; ++steps) {
      if (steps > objects) __builtin_trap();  // a parent loop got through
      current = &entry(scene.object(), current->parent().number());
    }
    if (!(o.polygonsid() && o.pointsid() && o.normalsid())) {
      if (o.surface_size()) __builtin_trap();
      continue;
    }
    uint64_t n = entry(scene.points(), o.pointsid()).data_size() / 3;
    bool first = true;
    for (auto& [key, count] : shared) {
      if (key == o.vboid()) {
        n = count;
        first = false;
        break;
      }
    }
    if (first) {
      shared.emplace_back(o.vboid(), n);
      for (uint64_t j = 0; j < n; ++j) {
        sum += value(entry(scene.points(), o.pointsid()).data(), 3 * j + 2);
        sum += value(entry(scene.normals(), o.normalsid()).data(), 3 * j + 2);
        if (o.tangentsid()) sum += value(entry(scene.tangents(), o.tangentsid()).data(), 3 * j + 2);
        if (o.uvsid()) sum += value(entry(scene.uvs(), o.uvsid()).data(), 2 * j + 1);
      }
    }
    const auto& indices = entry(scene.polygons(), o.polygonsid()).data();
    for (uint32_t index : indices) {
      if (index >= n) __builtin_trap();
    }
    for (const Kestrel::Surface& s : o.surface()) {
      const Kestrel::Material& m = entry(scene.material(), s.materialid());
      if (m.shader()) {
        for (const Kestrel::Sampler& sampler : entry(scene.shader(), m.shader()).sampler()) {
          sum += static_cast<float>(entry(scene.texture(), sampler.texid()).crc());
        }
      }
      if (m.ttexid()) sum += static_cast<float>(entry(scene.texture(), m.ttexid()).crc());
      if (s.polycount()) sum += value(indices, static_cast<uint64_t>(s.polyoffset()) + s.polycount() - 1);
      if (s.polycount() && (s.mini() > s.maxi() || s.maxi() >= n)) __builtin_trap();
    }
  }
  for (const Kestrel::Camera& c : scene.camera()) {
    for (int k = 0; k < 6; ++k) sum += static_cast<float>(entry(c.motion(), k + 1).key_size());
    if (c.target().type() == 1) sum += value(entry(scene.object(), c.target().number()).pivot(), 0);
    if (c.parent().type() == 1) sum += value(entry(scene.object(), c.parent().number()).pivot(), 0);
  }
  sink = sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quietBoxes();
  static Loader loader;
  KestrelLibDynamic scene;
  loader.parseScene(data, size, scene);
  if (validateScene(scene).empty()) walk(scene);
  return 0;
}
