// bench_scene_parse: how fast a large scene file goes from the archive to a checked scene.
//
// Builds a deterministic scene of about 50 MB (unpacked repeated fields, as exporters write
// them), stores it as "city-03.pb" in a temporary archive (once stored, once deflated) and
// times the import's CPU steps: find (getSize), read, parse, check (validateScene). For
// comparison it times protobuf's own parse of the same bytes from memory, which is the
// bound the parse step can approach. Prints MB/s for each; best of several rounds.
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "resources/KestrelLibDynamic.h"
#include "resources/Loader.h"
#include "resources/SceneValidator.h"

namespace {

using Clock = std::chrono::steady_clock;

Kestrel::KestrelLib makeScene(size_t targetBytes) {
  Kestrel::KestrelLib scene;
  scene.mutable_info()->set_tool("bench_scene_parse");
  scene.mutable_info()->set_version("1");
  for (int t = 0; t < 16; ++t) scene.add_texture()->set_source("textures/t" + std::to_string(t) + ".png");
  for (int s = 0; s < 4; ++s) {
    Kestrel::Shader* shader = scene.add_shader();
    shader->set_source("shaders/s" + std::to_string(s) + ".cgfx");
    shader->add_sampler()->set_texid(s + 1);
  }
  for (int m = 0; m < 16; ++m) {
    Kestrel::Material* material = scene.add_material();
    material->set_shader(m % 5);
    material->set_ttexid(m + 1);
  }
  const auto envelopes = [](google::protobuf::RepeatedPtrField<Kestrel::Envelope>* list, int count) {
    for (int c = 0; c < count; ++c) {
      Kestrel::Envelope* e = list->Add();
      for (int k = 0; k < 4; ++k) {
        Kestrel::Key* key = e->add_key();
        key->set_time(static_cast<float>(k));
        key->set_value(static_cast<float>(c * k));
      }
    }
  };
  Kestrel::Camera* camera = scene.add_camera();
  envelopes(camera->mutable_motion(), 6);

  const int grid = 32;  // vertices per side of each object's patch
  const int vertices = grid * grid;
  uint32_t seed = 12345;
  const auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<float>(seed >> 8) / 16777216.0f;
  };
  while (scene.ByteSizeLong() < targetBytes) {
    const uint32_t id = static_cast<uint32_t>(scene.points_size()) + 1;
    Kestrel::Points* points = scene.add_points();
    Kestrel::Normals* normals = scene.add_normals();
    Kestrel::Tangents* tangents = scene.add_tangents();
    Kestrel::Uv* uvs = scene.add_uvs();
    Kestrel::Polygons* polygons = scene.add_polygons();
    for (int v = 0; v < vertices; ++v) {
      for (int k = 0; k < 3; ++k) {
        points->add_data(noise() * 100);
        normals->add_data(noise());
        tangents->add_data(noise());
      }
      uvs->add_data(noise());
      uvs->add_data(noise());
    }
    for (int y = 0; y + 1 < grid; ++y) {
      for (int x = 0; x + 1 < grid; ++x) {
        const uint32_t a = y * grid + x, b = a + 1, c = a + grid, d = c + 1;
        for (uint32_t i : {a, b, d, a, d, c}) polygons->add_data(i);
      }
    }
    Kestrel::Object* o = scene.add_object();
    o->set_type(Kestrel::OBJECT);
    o->set_pointsid(id);
    o->set_normalsid(id);
    o->set_tangentsid(id);
    o->set_uvsid(id);
    o->set_polygonsid(id);
    o->set_vboid(id);
    for (int k = 0; k < 3; ++k) o->add_pivot(noise());
    Kestrel::Surface* surface = o->add_surface();
    surface->set_materialid(id % 16 + 1);
    surface->set_polycount(static_cast<uint32_t>(polygons->data_size()));
    surface->set_maxi(vertices - 1);
    envelopes(o->mutable_motion(), 9);
  }
  return scene;
}

bool writeArchive(const std::string& path, const std::string& bytes, bool deflate) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) return false;
  zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
  const zip_int64_t index = zip_file_add(archive, "city-03.pb", source, 0);
  if (index < 0) return false;
  zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 1);
  return zip_close(archive) == 0;
}

double seconds(Clock::time_point from, Clock::time_point to) { return std::chrono::duration<double>(to - from).count(); }

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  const Kestrel::KestrelLib scene = makeScene(50u << 20);
  const std::string bytes = scene.SerializeAsString();
  const double mb = static_cast<double>(bytes.size()) / (1 << 20);
  std::printf("scene: %.1f MB, %d objects, %d streams of each kind\n", mb, scene.object_size(), scene.points_size());

  const std::string dir = std::filesystem::temp_directory_path().string() + "/bench_scene_parse";
  std::filesystem::create_directories(dir);
  for (bool deflate : {false, true}) {
    const std::string path = dir + (deflate ? "/deflated.zip" : "/stored.zip");
    if (!writeArchive(path, bytes, deflate)) return 1;
    Loader loader;
    if (loader.openArchive(path) != 0) return 1;
    double find = 1e30, read = 1e30, parse = 1e30, check = 1e30, total = 1e30, bound = 1e30;
    for (int r = 0; r < rounds; ++r) {
      // protobuf's own parse of the bytes in memory, in the same round: the parse step's bound.
      {
        KestrelLibDynamic alone;
        const auto b0 = Clock::now();
        if (!alone.ParseFromArray(bytes.data(), static_cast<int>(bytes.size()))) return 1;
        bound = std::min(bound, seconds(b0, Clock::now()));
      }
      KestrelLibDynamic parsed;
      const auto t0 = Clock::now();
      const uint32_t size = loader.getSize("city-03.pb");
      const auto t1 = Clock::now();
      auto block = std::make_unique_for_overwrite<uint8_t[]>(size);
      if (size == 0 || loader.read("city-03.pb", block.get()) != 0) return 1;
      const auto t2 = Clock::now();
      loader.parseScene(block.get(), size, parsed);
      const auto t3 = Clock::now();
      const std::string problem = validateScene(parsed);
      const auto t4 = Clock::now();
      if (!problem.empty()) {
        std::fprintf(stderr, "bench scene rejected: %s\n", problem.c_str());
        return 1;
      }
      find = std::min(find, seconds(t0, t1));
      read = std::min(read, seconds(t1, t2));
      parse = std::min(parse, seconds(t2, t3));
      check = std::min(check, seconds(t3, t4));
      total = std::min(total, seconds(t0, t4));
    }
    std::printf("%s archive (%s):\n", deflate ? "deflated" : "stored", path.c_str());
    std::printf("  find  %8.3f ms\n", find * 1e3);
    std::printf("  read  %8.1f MB/s\n", mb / read);
    std::printf("  parse %8.1f MB/s  (protobuf ParseFromArray alone: %.1f MB/s)\n", mb / parse, mb / bound);
    std::printf("  check %8.1f MB/s\n", mb / check);
    std::printf("  find + read + parse + check: %8.1f MB/s (%.1f ms)\n", mb / total, total * 1e3);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
