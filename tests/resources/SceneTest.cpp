#include <gtest/gtest.h>

#include <functional>

#include "ResourceFixtures.h"
#include "resources/KestrelLibDynamic.h"
#include "resources/Loader.h"
#include "resources/SceneValidator.h"

using namespace resource_fixtures;
using testing_support::readFile;

namespace {

// The import of a scene file placed in an archive as "city-03.pb", with the GPU steps
// replaced by recorders: each appends its step to `steps`; textures get GL names 100 + n.
class SceneImport : public ::testing::Test {
 protected:
  void SetUp() override {
    loader.sceneSteps.uploadScene = [this](KestrelLibDynamic&) {
      steps.push_back("upload");
      return failAt == "upload" ? 1 : 0;
    };
    loader.sceneSteps.loadSceneTexture = [this](Kestrel::Texture& texture) {
      steps.push_back("texture " + texture.source());
      if (failAt == texture.source()) return 1;
      texture.set_crc(100 + static_cast<uint32_t>(steps.size()) - 1);
      return 0;
    };
    loader.sceneSteps.loadSceneShader = [this](Kestrel::Shader& shader, KestrelLibDynamic& root) {
      steps.push_back("shader " + shader.source());
      root.effects.push_back(nullptr);
      root.techniques.push_back(nullptr);
      return failAt == shader.source() ? 1 : 0;
    };
  }
  int import(const std::string& bytes, bool deflate = true) {
    writeArchive(env.dir.file("data.zip"), {{"readme.txt", "x"}, {"city-03.pb", bytes, deflate}});
    if (loader.openArchive(env.dir.file("data.zip")) != 0) return -1;
    loader.runtime = env.runtime;
    env.mark();
    return loader.loadScene(scene);
  }
  LoggedRuntime env;
  Loader loader;
  KestrelLibDynamic scene;
  std::vector<std::string> steps;
  std::string failAt;
};

class ProtocScene : public SceneImport, public ::testing::WithParamInterface<const char*> {};

}  // namespace

TEST_P(ProtocScene, ImportsWithTheRightValuesInStepOrder) {
  ASSERT_EQ(import(readFile(fixture(GetParam()))), 0) << env.log();
  EXPECT_EQ(env.log(),
            "\nload pb: city-03.pb\n\nfile: city-03.pb size: " + std::to_string(readFile(fixture(GetParam())).size()) +
                "\nscene loaded, file created by: Kestrel Exporter, version: 2.4\n");
  EXPECT_EQ(steps, (std::vector<std::string>{"upload", "texture textures/facade.png", "texture textures/windows.jpg",
                                             "shader shaders/city.cgfx"}));
  EXPECT_EQ(scene.effects.size(), 1u);

  EXPECT_EQ(scene.info().copyright(), "Pylon test data");
  EXPECT_EQ(scene.info().modified(), "2024-01-02");
  ASSERT_EQ(scene.object_size(), 3);
  const Kestrel::Object& o = scene.object(0);
  EXPECT_EQ(o.type(), Kestrel::OBJECT);
  EXPECT_EQ(o.vboid(), 7u);
  EXPECT_EQ(o.uvsid(), 1u);
  ASSERT_EQ(o.pivot_size(), 3);
  EXPECT_FLOAT_EQ(o.pivot(0), 1.5f);
  EXPECT_FLOAT_EQ(o.pivot(2), 3.25f);
  EXPECT_FLOAT_EQ(o.boundingbox().minx(), -1);
  ASSERT_EQ(o.surface_size(), 2);
  EXPECT_EQ(o.surface(1).materialid(), 2u);
  EXPECT_EQ(o.surface(1).polyoffset(), 3u);
  EXPECT_EQ(o.surface(1).maxi(), 3u);
  EXPECT_EQ(o.phtype(), Kestrel::SPHERE);
  EXPECT_FLOAT_EQ(o.phmass(), 2.5f);
  EXPECT_EQ(o.dissolve().pre(), 0u);
  EXPECT_EQ(o.dissolve().post(), 4u);
  EXPECT_EQ(scene.object(2).type(), Kestrel::NULLOBJECT);
  EXPECT_EQ(scene.object(2).parent().number(), 2u);
  EXPECT_EQ(scene.points(0).data_size(), 12);
  EXPECT_FLOAT_EQ(scene.points(0).data(3), 1);
  EXPECT_EQ(scene.polygons(0).data_size(), 6);
  EXPECT_EQ(scene.polygons(0).data(5), 3u);
  EXPECT_EQ(scene.uvs(0).crc(), 14u);
  EXPECT_EQ(scene.camera(0).name(), "Camera");
  EXPECT_FLOAT_EQ(scene.camera(0).zoomfactor().key(1).value(), 2.0f);
  EXPECT_EQ(scene.shader(0).sampler(0).name(), "diffuseMap");
  EXPECT_EQ(scene.shader(0).sampler(0).texid(), 2u) << "sampler references stay entries";

  // Defaults: envelopes without pre/post read 1; a light without type is DISTANT.
  EXPECT_FALSE(o.motion(0).has_pre());
  EXPECT_EQ(o.motion(0).pre(), 1u);
  EXPECT_EQ(o.motion(8).post(), 1u);
  EXPECT_FALSE(scene.light(0).has_type());
  EXPECT_EQ(scene.light(0).type(), Kestrel::DISTANT);
  EXPECT_FLOAT_EQ(scene.light(0).intensity(), 0.8f);

  // Material texture references now hold the GL names of their textures.
  const Kestrel::Material& textured = scene.material(0);
  EXPECT_EQ(scene.texture(0).crc(), 101u);
  EXPECT_EQ(scene.texture(1).crc(), 102u);
  EXPECT_EQ(textured.ttexid(), 102u);
  EXPECT_EQ(textured.rtexid(), 101u);
  EXPECT_TRUE(textured.has_ttexid());
  EXPECT_EQ(textured.mappingtype(), Kestrel::UV);
  EXPECT_EQ(scene.material(1).ttexid(), 0u);
  EXPECT_FALSE(scene.material(1).has_ttexid()) << "0 stays 0, untouched";
}

INSTANTIATE_TEST_SUITE_P(UnpackedAndPacked, ProtocScene, ::testing::Values("scene-city.pb", "scene-city-packed.pb"));

TEST(SceneFile, PackedAndUnpackedEncodingsParseToTheSameScene) {
  const std::string unpacked = readFile(fixture("scene-city.pb"));
  const std::string packed = readFile(fixture("scene-city-packed.pb"));
  ASSERT_NE(unpacked, packed);
  Kestrel::KestrelLib a, b;
  ASSERT_TRUE(a.ParseFromString(unpacked));
  ASSERT_TRUE(b.ParseFromString(packed));
  EXPECT_EQ(a.SerializeAsString(), b.SerializeAsString());
}

TEST_F(SceneImport, UnknownFieldsAndObjectFieldEightAreIgnored) {
  ASSERT_EQ(import(readFile(fixture("scene-extra.pb")), false), 0) << env.log();
  EXPECT_NE(env.log().find("scene loaded, file created by: Future Exporter, version: 9\n"), std::string::npos);
  ASSERT_EQ(scene.object_size(), 1);
  EXPECT_EQ(scene.object(0).pivot(1), 5);
  EXPECT_FLOAT_EQ(scene.object(0).phmass(), 7.5f);
  EXPECT_EQ(scene.object(0).vboid(), 0u);
}

TEST_F(SceneImport, SceneWithoutInfoLogsTwoEmptyStrings) {
  ASSERT_EQ(import(readFile(fixture("scene-noinfo.pb"))), 0);
  EXPECT_NE(env.log().find("scene loaded, file created by: , version: \n"), std::string::npos);
  EXPECT_EQ(steps, (std::vector<std::string>{"upload", "texture textures/only.png"}));
}

TEST_F(SceneImport, MissingOrDamagedFileFailsBeforeAnyStep) {
  writeArchive(env.dir.file("data.zip"), {{"other.pb", "x"}});
  ASSERT_EQ(loader.openArchive(env.dir.file("data.zip")), 0);
  loader.runtime = env.runtime;
  EXPECT_EQ(loader.loadScene(scene), 1);
  EXPECT_EQ(env.log(), "\nload pb: city-03.pb\n file not found: city-03.pb\n file error, size 0\n");

  std::string bytes = readFile(fixture("scene-city.pb"));
  writeArchive(env.dir.file("data.zip"), {{"city-03.pb", bytes}});
  std::string archive = readFile(env.dir.file("data.zip"));
  archive[archive.find("city-03.pb") + 10 + 100] ^= 0x20;
  testing_support::writeFile(env.dir.file("data.zip"), archive);
  ASSERT_EQ(loader.openArchive(env.dir.file("data.zip")), 0);
  env.mark();
  EXPECT_EQ(loader.loadScene(scene), 1);
  EXPECT_NE(env.log().find("\ndecompression error.city-03.pb\n"), std::string::npos);
  ASSERT_EQ(env.boxes.boxes.size(), 1u);
  EXPECT_EQ(env.boxes.boxes[0].text, "city-03.pb");
  EXPECT_TRUE(steps.empty());
}

TEST_F(SceneImport, TrailingDamageKeepsWhatWasParsedAndWarns) {
  ASSERT_EQ(import(readFile(fixture("scene-city.pb")) + "\xff\xff\xff"), 0) << env.log();
  EXPECT_EQ(scene.object_size(), 3);
  EXPECT_EQ(steps.size(), 4u);
  const std::string warning = "The scene file city-03.pb could not be read to its end; the part before the damage is used.";
  ASSERT_EQ(env.boxes.boxes.size(), 1u);
  EXPECT_EQ(env.boxes.boxes[0].text, warning);
  EXPECT_EQ(env.boxes.boxes[0].caption, "Loader::loadScene");
  EXPECT_EQ(env.boxes.boxes[0].icon, platform::MessageIcon::Warning);
  EXPECT_NE(env.log().find("scene warning: " + warning + "\n"), std::string::npos);
}

TEST_F(SceneImport, FirstFailingStepEndsTheImport) {
  const std::string bytes = readFile(fixture("scene-city.pb"));
  failAt = "textures/facade.png";
  EXPECT_EQ(import(bytes), 1);
  EXPECT_EQ(steps, (std::vector<std::string>{"upload", "texture textures/facade.png"}));
  EXPECT_EQ(scene.material(0).ttexid(), 2u) << "materials are left as read";

  steps.clear();
  scene.Clear();
  failAt = "upload";
  EXPECT_EQ(import(bytes), 1);
  EXPECT_EQ(steps, (std::vector<std::string>{"upload"}));

  steps.clear();
  scene.Clear();
  failAt = "shaders/city.cgfx";
  EXPECT_EQ(import(bytes), 1);
  EXPECT_EQ(steps.size(), 4u);
}

TEST_F(SceneImport, InconsistentSceneIsRejectedWithItsLineAndABox) {
  Kestrel::KestrelLib hostile;
  ASSERT_TRUE(hostile.ParseFromString(readFile(fixture("scene-city.pb"))));
  hostile.mutable_object(1)->set_polygonsid(40);
  ASSERT_EQ(import(hostile.SerializeAsString()), 1);
  EXPECT_NE(env.log().find("scene rejected: object 2: polygonsID 40 out of range (2 lists)\n"), std::string::npos)
      << env.log();
  EXPECT_TRUE(steps.empty()) << "nothing is uploaded";
  ASSERT_EQ(env.boxes.boxes.size(), 1u);
  EXPECT_EQ(env.boxes.boxes[0].text,
            "The scene file city-03.pb is damaged: object 2: polygonsID 40 out of range (2 lists).");
  EXPECT_EQ(env.boxes.boxes[0].caption, "Loader::loadScene");
  EXPECT_EQ(env.boxes.boxes[0].icon, platform::MessageIcon::Error);
}

namespace {
struct Hostile {
  const char* what;
  std::function<void(Kestrel::KestrelLib&)> damage;
  std::string line;  // "" when the change is harmless and the scene must pass
};
}  // namespace

TEST(SceneValidator, NamesTheFirstBadReference) {
  Kestrel::KestrelLib city;
  ASSERT_TRUE(city.ParseFromString(readFile(fixture("scene-city.pb"))));
  ASSERT_EQ(validateScene(city), "");

  using S = Kestrel::KestrelLib;
  const std::vector<Hostile> cases = {
      {"stream id", [](S& s) { s.mutable_object(0)->set_pointsid(2); }, "object 1: pointsID 2 out of range (1 point streams)"},
      {"uv id", [](S& s) { s.mutable_object(0)->set_uvsid(5); }, "object 1: uvsID 5 out of range (1 uv streams)"},
      {"surface past its list",
       [](S& s) { s.mutable_object(0)->mutable_surface(1)->set_polyoffset(4); },
       "object 1 surface 2: polyOffset 4 + polyCount 3 lies past the end of polygons entry 1 (6 indices)"},
      {"huge offset",
       [](S& s) { s.mutable_object(0)->mutable_surface(0)->set_polyoffset(0xFFFFFFFFu); },
       "object 1 surface 1: polyOffset 4294967295 + polyCount 3 lies past the end of polygons entry 1 (6 indices)"},
      {"index beyond vertices", [](S& s) { s.mutable_polygons(0)->set_data(5, 4); },
       "object 1: polygons entry 1 holds index 4, not below the vertex count 4"},
      {"shared buffer decides the vertex count",
       [](S& s) {
         auto* big = s.add_points();
         for (int i = 0; i < 36; ++i) big->add_data(0);
         s.mutable_object(1)->set_pointsid(2);
         s.mutable_polygons(1)->set_data(2, 10);
       },
       "object 2: polygons entry 2 holds index 10, not below the vertex count 4"},
      {"short normals", [](S& s) { s.mutable_normals(0)->mutable_data()->RemoveLast(); },
       "object 1: normals entry 1 has 11 floats, 12 needed for 4 vertices"},
      {"short uvs", [](S& s) { s.mutable_uvs(0)->mutable_data()->RemoveLast(); },
       "object 1: uvs entry 1 has 7 floats, 8 needed for 4 vertices"},
      {"no tangents or uvs is fine",
       [](S& s) {
         s.mutable_object(0)->set_tangentsid(0);
         s.mutable_object(0)->set_uvsid(0);
       },
       ""},
      {"material 0", [](S& s) { s.mutable_object(0)->mutable_surface(0)->set_materialid(0); },
       "object 1 surface 1: materialID 0 out of range (2 materials)"},
      {"inverted range", [](S& s) { s.mutable_object(0)->mutable_surface(0)->set_mini(3); },
       "object 1 surface 1: mini 3 above maxi 2"},
      {"range beyond vertices", [](S& s) { s.mutable_object(1)->mutable_surface(0)->set_maxi(4); },
       "object 2 surface 1: maxi 4 not below the vertex count 4"},
      {"short motion", [](S& s) { s.mutable_object(2)->mutable_motion()->RemoveLast(); },
       "object 3: motion has 8 envelopes (9 needed)"},
      {"no pivot", [](S& s) { s.mutable_object(1)->clear_pivot(); }, "object 2: pivot has 0 values (3 needed)"},
      {"parent out of range", [](S& s) { s.mutable_object(2)->mutable_parent()->set_number(9); },
       "object 3: parent number 9 out of range (3 objects)"},
      {"parent loop", [](S& s) { s.mutable_object(0)->mutable_parent()->set_type(1), s.mutable_object(0)->mutable_parent()->set_number(3); },
       "object 1: parent chain loops"},
      {"own parent", [](S& s) { s.mutable_object(1)->mutable_parent()->set_number(2); }, "object 2: parent chain loops"},
      {"geometry-less object with surfaces", [](S& s) { s.mutable_object(2)->add_surface()->set_materialid(1); },
       "object 3: 1 surfaces but no uploaded geometry (pointsID 0, normalsID 0, polygonsID 0)"},
      {"camera target", [](S& s) { s.mutable_camera(0)->mutable_target()->set_number(4); },
       "camera 1: target number 4 out of range (3 objects)"},
      {"camera motion", [](S& s) { s.mutable_camera(0)->mutable_motion()->RemoveLast(); },
       "camera 1: motion has 5 envelopes (6 needed)"},
      {"camera parent of another type is reported while drawing",
       [](S& s) {
         s.mutable_camera(0)->mutable_parent()->set_type(2);
         s.mutable_camera(0)->mutable_parent()->set_number(99);
       },
       ""},
      {"material shader", [](S& s) { s.mutable_material(0)->set_shader(2); },
       "material 1: shader 2 out of range (1 shaders)"},
      {"material texture", [](S& s) { s.mutable_material(1)->set_rtexid(3); },
       "material 2: rTexID 3 out of range (2 textures)"},
      {"sampler texture 0", [](S& s) { s.mutable_shader(0)->mutable_sampler(0)->set_texid(0); },
       "shader 1 sampler 1: texID 0 out of range (2 textures)"},
      {"lights are not followed", [](S& s) { s.mutable_light(0)->mutable_parent()->set_number(50); }, ""},
  };
  for (const Hostile& c : cases) {
    Kestrel::KestrelLib scene = city;
    c.damage(scene);
    EXPECT_EQ(validateScene(scene), c.line) << c.what;
  }
  EXPECT_EQ(validateScene(Kestrel::KestrelLib()), "") << "an empty scene refers to nothing";
}
