#include "data/DataArchive.h"

#include <algorithm>

#include "BuiltinProduction.h"
#include "car/VeltroCar.h"
#include "city/CityLayout.h"
#include "data/EffectSources.h"
#include "data/MmfWriter.h"
#include "data/StockMeshes.h"
#include "resources/KestrelLib.pb.h"

#ifdef PYLON_HAVE_MUSIC
#include "music/Soundtrack.h"
#endif

namespace content {

int buildDataMembers(ZipWriter& zip, const std::string& version, DataReport& report, std::string& error) {
  auto add = [&](const std::string& name, std::vector<uint8_t> bytes) {
    if (bytes.empty()) {
      error = name + ": generator produced no data";
      return 1;
    }
    if (zip.add(name, std::move(bytes)) != 0) {
      error = name + ": member added twice";
      return 1;
    }
    return 0;
  };

  // The production file first: what plays, in what order, with which music.
  const std::string_view production = veltro12ProductionText();
  if (add("production.txtpb", std::vector<uint8_t>(production.begin(), production.end()))) return 1;

  Kestrel::KestrelLib scene;
  CityLayout layout = makeCityLayout();
  report.city = makeCityScene(scene, layout, version);
  std::string bytes;
  if (!scene.SerializeToString(&bytes)) {
    error = "city-03.pb: cannot serialise the scene";
    return 1;
  }
  if (add("city-03.pb", std::vector<uint8_t>(bytes.begin(), bytes.end()))) return 1;

  Mesh car = veltroMesh();
  report.carTriangles = car.triangleCount();
  if (add("objects/quad.mmf", encodeTextMmf(quadMesh(), {"textures/gradient.png"})) ||
      add("objects/cube_env100out.mmf", encodeBinMmf(cubeEnvMesh())) || add("objects/veltro.mmf", encodeBinMmf(car)) ||
      add("objects/veltro-far.mmf", encodeBinMmf(veltroFarMesh())) ||
      add("objects/veltro-distant.mmf", encodeBinMmf(veltroDistantMesh())))
    return 1;

  if (add("textures/gradient.png", gradientTexture()) || add("textures/veltro512.png", veltroTexture())) return 1;
  for (const NamedAsset& t : cityTextures())
    if (add(t.name, t.make())) return 1;

  // Effects: the scene's and the car's, and the post-processing chain's from effects/post.
  for (size_t i = 0; i < kEffectSourceCount; ++i) {
    const EffectSource& e = kEffectSources[i];
    if (add(std::string("shaders/") + e.name, std::vector<uint8_t>(e.bytes, e.bytes + e.size))) return 1;
  }

#ifdef PYLON_HAVE_MUSIC
  std::vector<unsigned char> ogg;
  std::string musicError;
  if (music::buildSoundtrack(ogg, musicError) != 0) {
    error = "music/ambient_adventure_by_tessar.ogg: " + musicError;
    return 1;
  }
  if (add("music/ambient_adventure_by_tessar.ogg", std::vector<uint8_t>(ogg.begin(), ogg.end()))) return 1;
#endif
  return 0;
}

int writeDataArchive(const std::string& path, const std::string& version, DataReport& report, std::string& error) {
  ZipWriter zip;
  if (buildDataMembers(zip, version, report, error)) return 1;
  return zip.write(path, error);
}

}  // namespace content
