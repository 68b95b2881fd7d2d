// The generated city scene: consistent for the engine, and using what the engine offers.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>

#include "ContentFixtures.h"
#include "city/CameraFlight.h"
#include "city/CityLayout.h"
#include "resources/SceneValidator.h"

namespace {

class CityScene : public testing::Test {
 protected:
  static const Kestrel::KestrelLib& scene() { return content_test::cityScene(); }
};

TEST_F(CityScene, PassesTheEngineValidation) { EXPECT_EQ(validateScene(scene()), ""); }

TEST_F(CityScene, ImportsThroughTheLoaderWithTheGlStepsStubbed) {
  Loader loader;
  std::string error;
  ASSERT_EQ(loader.openArchive(content_test::builtArchivePath(), &error), 0) << error;
  int textures = 0, shaders = 0;
  loader.sceneSteps.uploadScene = [](KestrelLibDynamic&) { return 0; };
  loader.sceneSteps.loadSceneTexture = [&](Kestrel::Texture& t) { t.set_crc(uint32_t(100 + textures++)); return 0; };
  loader.sceneSteps.loadSceneShader = [&](Kestrel::Shader&, KestrelLibDynamic&) { ++shaders; return 0; };
  KestrelLibDynamic imported;
  ASSERT_EQ(loader.loadScene(imported), 0);
  EXPECT_EQ(textures, scene().texture_size());
  EXPECT_EQ(shaders, scene().shader_size());
  EXPECT_EQ(imported.object_size(), scene().object_size());
}

TEST_F(CityScene, NamesOurToolAndVersion) {
  EXPECT_EQ(scene().info().tool(), "pylon build-data");
  EXPECT_EQ(scene().info().version(), PYLON_VERSION_TEXT);
}

TEST_F(CityScene, UsesSharedGeometryHierarchiesAndDissolves) {
  std::map<uint32_t, int> byKey;
  int parented = 0, deepest = 0, dissolving = 0;
  const auto& objects = scene().object();
  for (int i = 0; i < objects.size(); ++i) {
    const Kestrel::Object& o = objects[i];
    if (o.type() == Kestrel::OBJECT) ++byKey[o.vboid()];
    int depth = 0;
    for (uint32_t p = i + 1; objects[int(p) - 1].parent().type() == 1 && depth < 10; ++depth)
      p = objects[int(p) - 1].parent().number();
    parented += depth > 0;
    deepest = std::max(deepest, depth);
    if (o.dissolve().key_size() >= 2) ++dissolving;
    EXPECT_GE(o.motion_size(), 9) << "object " << i + 1;
  }
  int shared = 0;
  for (auto [key, count] : byKey) shared += count > 1;
  EXPECT_GE(shared, 3) << "geometries drawn by more than one object";
  EXPECT_GE(parented, 10);
  EXPECT_GE(deepest, 2) << "a chain of at least two parents";
  EXPECT_GE(dissolving, 10);
  // Objects that share a key share every stream, so the shared vertex buffer fits them all.
  std::map<uint32_t, const Kestrel::Object*> first;
  for (const Kestrel::Object& o : objects) {
    if (o.type() != Kestrel::OBJECT) continue;
    auto [it, fresh] = first.emplace(o.vboid(), &o);
    if (fresh) continue;
    EXPECT_EQ(o.pointsid(), it->second->pointsid());
    EXPECT_EQ(o.uvsid(), it->second->uvsid());
    EXPECT_EQ(o.normalsid(), it->second->normalsid());
  }
}

TEST_F(CityScene, DrawsThroughBothPathsWithSamplersAndTextureNumbers) {
  std::set<uint32_t> used;
  for (const Kestrel::Object& o : scene().object())
    for (const Kestrel::Surface& s : o.surface()) used.insert(s.materialid());
  int effect = 0, textured = 0, flat = 0;
  for (uint32_t id : used) {
    const Kestrel::Material& m = scene().material(int(id) - 1);
    if (m.shader()) ++effect;
    else if (m.mappingtype() != Kestrel::FLAT && m.ttexid()) ++textured;
    else if (m.mappingtype() == Kestrel::FLAT) ++flat;
  }
  EXPECT_GE(effect, 5);
  EXPECT_GE(textured, 2);
  EXPECT_GE(flat, 2);
  int samplers = 0;
  for (const Kestrel::Shader& s : scene().shader()) samplers += s.sampler_size();
  EXPECT_GE(samplers, 5);
}

TEST_F(CityScene, EffectsAlwaysFindTheTextureCoordinateArrayOn) {
  // Drawing a flat surface without an effect switches the texture-coordinate array off and
  // leaves it off; a textured one switches it on. Every effect here reads texture
  // coordinates, so within each object a flat surface must be followed by a textured one
  // before any effect surface and before the object ends (objects may be skipped by their
  // dissolve, so no object may rely on another).
  const auto& objects = scene().object();
  for (int i = 0; i < objects.size(); ++i) {
    bool on = true;
    for (int k = 0; k < objects[i].surface_size(); ++k) {
      const Kestrel::Material& m = scene().material(int(objects[i].surface(k).materialid()) - 1);
      if (m.shader()) EXPECT_TRUE(on) << "object " << i + 1 << " surface " << k + 1 << ": effect without coordinates";
      else on = m.mappingtype() != Kestrel::FLAT;
    }
    EXPECT_TRUE(on) << "object " << i + 1 << " leaves the texture-coordinate array off";
  }
}

TEST_F(CityScene, CameraHasATargetAZoomAndEverySpanKind) {
  ASSERT_EQ(scene().camera_size(), 1);
  const Kestrel::Camera& c = scene().camera(0);
  ASSERT_EQ(c.target().type(), 1u);
  ASSERT_GE(c.target().number(), 1u);
  EXPECT_EQ(scene().object(int(c.target().number()) - 1).type(), Kestrel::NULLOBJECT);
  ASSERT_EQ(c.motion_size(), 6);
  EXPECT_GE(c.zoomfactor().key_size(), 3);
  std::set<uint32_t> spans;
  float last = 0;
  for (int ch = 0; ch < 3; ++ch)
    for (const Kestrel::Key& k : c.motion(ch).key()) spans.insert(k.spantype()), last = std::max(last, k.time());
  EXPECT_TRUE(spans.count(0) && spans.count(2) && spans.count(3)) << "TCB, Bezier and linear spans";
  EXPECT_EQ(last, content::kFlightSeconds);
  for (const Kestrel::Key& k : c.zoomfactor().key()) EXPECT_GT(k.value(), 0.5f) << "zoom at " << k.time();
}

TEST(CityLayout, AvenuesStayClearForTheCarsAndTheCityCoversTheirRange) {
  content::CityLayout city = content::makeCityLayout();
  float lo = 1e9f, hi = -1e9f;
  for (const content::Tower& t : city.towers) {
    for (const content::Box& b : t.tiers) {
      lo = std::min({lo, b.lo.x, b.lo.z}), hi = std::max({hi, b.hi.x, b.hi.z});
      for (float a : city.avenues) {
        // Cars fly within 4.5 of each avenue line (plus half a car): keep 8 clear.
        EXPECT_FALSE(b.lo.x < a + 8 && b.hi.x > a - 8) << "tower across avenue x = " << a;
        EXPECT_FALSE(b.lo.z < a + 8 && b.hi.z > a - 8) << "tower across avenue z = " << a;
      }
    }
  }
  EXPECT_LE(lo, -450.0f);
  EXPECT_GE(hi, 150.0f);
  EXPECT_EQ(city.landmarks.size(), 5u);
  EXPECT_GT(city.towers.size(), 300u);
}

TEST_F(CityScene, SceneAndCarStayWithinTheSoftwareRasteriserBudget) {
  uint32_t triangles = 0, draws = 0;
  for (const Kestrel::Object& o : scene().object())
    for (const Kestrel::Surface& s : o.surface()) triangles += s.polycount() / 3, ++draws;
  Loader& loader = content_test::builtArchive();
  MmfMesh car;
  ASSERT_EQ(loader.loadBinMmf("objects/veltro.mmf", car), 0);
  // The far city's copy of the detailed towers (about 10,000) is dropped by its effect
  // wherever the detailed towers are drawn, so it is not all drawn in any one frame.
  EXPECT_LE(triangles, 48000u);
  EXPECT_LE(draws, 120u);
  EXPECT_LE(car.polygons.size() / 3, 200u);
  std::printf("scene: %u triangles in %u draws over %d objects; car: %zu triangles\n", triangles, draws,
              scene().object_size(), car.polygons.size() / 3);
}

// Calls visit(object, surface) for every surface of the scene drawn with the effect `source`.
template <typename Visit>
void forEachSurfaceOf(const Kestrel::KestrelLib& scene, const std::string& source, Visit visit) {
  for (const Kestrel::Object& o : scene.object())
    for (const Kestrel::Surface& s : o.surface()) {
      const Kestrel::Material& m = scene.material(int(s.materialid()) - 1);
      if (m.shader() && scene.shader(int(m.shader()) - 1).source() == source) visit(o, s);
    }
}

TEST(CitySky, RingsLieADegreeApartAroundTheHorizonForThePerVertexGradient) {
  // The sky effect interpolates its gradient between rings; the glow at the horizon falls to
  // half within two degrees, so a coarser ring spacing there shows as bands.
  const Kestrel::KestrelLib& scene = content_test::cityScene();
  std::set<int> tenthsOfDegrees;
  forEachSurfaceOf(scene, "shaders/city-sky.cgfx", [&](const Kestrel::Object& o, const Kestrel::Surface&) {
    const auto& p = scene.points(int(o.pointsid()) - 1).data();
    for (int v = 0; v + 2 < p.size(); v += 3) {
      const float r = std::sqrt(p[v] * p[v] + p[v + 1] * p[v + 1] + p[v + 2] * p[v + 2]);
      tenthsOfDegrees.insert(int(std::lround(std::asin(p[v + 1] / r) * 1800.0 / 3.14159265358979)));
    }
  });
  ASSERT_FALSE(tenthsOfDegrees.empty());
  for (int e = -20; e <= 20; e += 10) EXPECT_TRUE(tenthsOfDegrees.count(e)) << "no ring at " << e / 10.0 << " degrees";
}

TEST(CityFacades, NormalsCarryTheWallsOutwardDirectionForTheRoomsBehindTheGlass) {
  // The facade effect looks into rooms behind the glass along the normal's (y, z): pointing
  // inwards, every room would be seen from inside out. Culled back faces make the winding
  // point outwards, so the two must agree.
  const Kestrel::KestrelLib& scene = content_test::cityScene();
  int checked = 0;
  forEachSurfaceOf(scene, "shaders/city-facade.cgfx", [&](const Kestrel::Object& o, const Kestrel::Surface& s) {
    const auto& p = scene.points(int(o.pointsid()) - 1).data();
    const auto& n = scene.normals(int(o.normalsid()) - 1).data();
    const auto& idx = scene.polygons(int(o.polygonsid()) - 1).data();
    for (uint32_t k = s.polyoffset(); k + 2 < s.polyoffset() + s.polycount(); k += 3) {
      const int a = int(idx[int(k)]) * 3, b = int(idx[int(k) + 1]) * 3, c = int(idx[int(k) + 2]) * 3;
      // The winding's normal, horizontal for a wall: (e1 x e2).x and .z.
      const float e1x = p[b] - p[a], e1y = p[b + 1] - p[a + 1], e1z = p[b + 2] - p[a + 2];
      const float e2x = p[c] - p[a], e2y = p[c + 1] - p[a + 1], e2z = p[c + 2] - p[a + 2];
      const float wx = e1y * e2z - e1z * e2y, wz = e1x * e2y - e1y * e2x;
      const float len = std::sqrt(wx * wx + wz * wz);
      ASSERT_GT(len, 0.0f);
      ASSERT_NEAR(n[a + 1] * wx / len + n[a + 2] * wz / len, 1.0f, 1e-3f) << "facade triangle at index " << k;
      ++checked;
    }
  });
  EXPECT_GT(checked, 1000);
}

}  // namespace
