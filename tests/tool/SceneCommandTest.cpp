#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zip.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "resources/KestrelLib.pb.h"
#include "scene/Envelope.h"
#include "scene/MathUtil.h"
#include "scene/Motion.h"
#include "scene/Renderer.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

using Result = CommandResult;

Result runPylon(const ScratchDir& dir, const std::string& arguments) {
  return runCommand(std::string(PYLON_BINARY_DIR) + "/pylon " + arguments, dir.file("stderr.txt"));
}

void writeArchive(const std::string& path, const std::string& member, const std::string& bytes) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  char* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
  std::copy(bytes.begin(), bytes.end(), copy);
  zip_source_t* source = zip_source_buffer(archive, copy, bytes.size(), 1);
  ASSERT_NE(source, nullptr);
  ASSERT_GE(zip_file_add(archive, member.c_str(), source, ZIP_FL_OVERWRITE), 0);
  ASSERT_EQ(zip_close(archive), 0);
}

void setRamp(Kestrel::Envelope* envelope, float from, float to) {
  for (int i = 0; i < 2; ++i) {
    Kestrel::Key* key = envelope->add_key();
    key->set_time(4.0f * i);
    key->set_value(i ? to : from);
    key->set_spantype(3);
  }
}

// One camera flying along x while panning, two null objects (the second a child of the
// first, with a pivot), the first fading in.
Kestrel::KestrelLib makeScene() {
  Kestrel::KestrelLib scene;
  scene.mutable_info()->set_tool("scene test");
  Kestrel::Camera* camera = scene.add_camera();
  const float camFrom[6] = {0, 2, 9, 0, 0, 0}, camTo[6] = {8, 3, 7, 0.7f, -0.2f, 0.1f};
  for (int i = 0; i < 6; ++i) setRamp(camera->add_motion(), camFrom[i], camTo[i]);
  setRamp(camera->mutable_zoomfactor(), 1.0f, 2.0f);
  for (int n = 0; n < 2; ++n) {
    Kestrel::Object* object = scene.add_object();
    const float from[9] = {1, 0, -3, 0, 0, 0, 1, 1, 1}, to[9] = {3, 1, -5, 1.5f, 0.3f, 0.2f, 2, 1, 1};
    for (int i = 0; i < 9; ++i) setRamp(object->add_motion(), from[i], to[i] * (n + 1));
    for (int i = 0; i < 3; ++i) object->add_pivot(n * 0.5f * (i + 1));
    if (n == 1) {
      object->mutable_parent()->set_type(1);
      object->mutable_parent()->set_number(1);
    } else {
      setRamp(object->mutable_dissolve(), 1.0f, 0.0f);
    }
  }
  return scene;
}

// The numbers of the JSON array that follows "key": after `from`.
std::vector<float> arrayAfter(const std::string& json, const std::string& key, size_t from = 0) {
  std::vector<float> values;
  size_t at = json.find("\"" + key + "\": [", from);
  if (at == std::string::npos) return values;
  const char* p = json.c_str() + json.find('[', at) + 1;
  while (*p && *p != ']') {
    char* end = nullptr;
    values.push_back(std::strtof(p, &end));
    if (end == p) break;
    p = end;
    while (*p == ',' || *p == ' ') ++p;
  }
  return values;
}

float numberAfter(const std::string& json, const std::string& key, size_t from = 0) {
  size_t at = json.find("\"" + key + "\": ", from);
  if (at == std::string::npos) return -12345.0f;
  return std::strtof(json.c_str() + at + key.size() + 4, nullptr);
}

void expectSame(const std::vector<float>& printed, const float* expected, int count) {
  ASSERT_EQ(printed.size(), static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) EXPECT_EQ(printed[i], expected[i]) << "element " << i;
}

}  // namespace

TEST(SceneCommand, PrintsCameraAndObjectsThatReadBackExactly) {
  ScratchDir dir;
  Kestrel::KestrelLib scene = makeScene();
  scene.mutable_object(1)->set_name("Wing \"L\"");
  writeArchive(dir.file("data.zip"), "city-03.pb", scene.SerializeAsString());
  const Result result = runPylon(dir, "scene " + dir.file("data.zip") + " --at 1.3 --view 800x400");
  ASSERT_EQ(result.rc, 0) << result.err;
  const std::string& json = result.out;
  ASSERT_EQ(json.front(), '{');
  EXPECT_EQ(json.substr(json.size() - 3), "]}\n");

  Renderer renderer(nullptr);
  const float t = 1.3f;
  updateSceneCamera(scene, t, renderer, 800, 400, false);
  EXPECT_EQ(numberAfter(json, "time"), t);
  const float position[3] = {renderer.camX, renderer.camY, renderer.camZ};
  const float angles[3] = {renderer.camH, renderer.camP, renderer.camB};
  expectSame(arrayAfter(json, "position"), position, 3);
  expectSame(arrayAfter(json, "angles"), angles, 3);
  const float fovY = numberAfter(json, "fovY");
  EXPECT_EQ(fovY, sceneFieldOfView(scene.camera(0), t, renderer));
  expectSame(arrayAfter(json, "view"), renderer.viewMatrix, 16);
  float projection[16];
  MathUtil::perspective(fovY, 2.0f, 4.0, 530.0, projection);  // row-major, not transposed
  expectSame(arrayAfter(json, "projection"), projection, 16);
  EXPECT_EQ(arrayAfter(json, "projection")[14], -1.0f);

  for (int i = 0; i < 2; ++i) {
    const size_t at = json.find("\"index\": " + std::to_string(i));
    ASSERT_NE(at, std::string::npos);
    objectMatrix(scene, i, t, renderer);
    expectSame(arrayAfter(json, "model", at), renderer.modelMatrix, 16);
    EXPECT_EQ(numberAfter(json, "dissolve", at), evaluateEnvelope(scene.object(i).dissolve(), t));
  }
  EXPECT_EQ(json.find("\"index\": 2"), std::string::npos);
  // Each object's name (as the 3D tool called it) and its parent's index.
  EXPECT_NE(json.find("{\"index\": 0, \"name\": null, \"parent\": null, "), std::string::npos) << json;
  EXPECT_NE(json.find("{\"index\": 1, \"name\": \"Wing \\\"L\\\"\", \"parent\": 0, "), std::string::npos) << json;
}

TEST(SceneCommand, DefaultsToTimeZeroAndTheWideView) {
  ScratchDir dir;
  writeArchive(dir.file("data.zip"), "city-03.pb", makeScene().SerializeAsString());
  const Result result = runPylon(dir, "scene " + dir.file("data.zip"));
  ASSERT_EQ(result.rc, 0) << result.err;
  EXPECT_EQ(numberAfter(result.out, "time"), 0.0f);
  EXPECT_FLOAT_EQ(numberAfter(result.out, "fovY"), 90.0f);
  const std::vector<float> projection = arrayAfter(result.out, "projection");
  ASSERT_EQ(projection.size(), 16u);
  EXPECT_NEAR(projection[0], 576.0f / 1024.0f, 1e-6f);
  EXPECT_EQ(arrayAfter(result.out, "position"), (std::vector<float>{0, 2, 9}));
}

TEST(SceneCommand, ScenesThatDoNotLoadGiveAMessageAndExitCodeOne) {
  ScratchDir dir;
  struct Case {
    std::string member, bytes, expected;
  };
  Kestrel::KestrelLib shortMotion = makeScene();
  shortMotion.mutable_object(1)->mutable_motion()->RemoveLast();
  Kestrel::KestrelLib noCamera = makeScene();
  noCamera.clear_camera();
  const std::vector<Case> cases = {
      {"other.pb", "x", "no city-03.pb in the archive"},
      {"city-03.pb", std::string("\x0a\xff\xff\xff\x0f", 5), "city-03.pb is not a valid scene file"},
      {"city-03.pb", shortMotion.SerializeAsString(), "city-03.pb is damaged: object 2: motion has 8 envelopes"},
      {"city-03.pb", noCamera.SerializeAsString(), "city-03.pb has no camera"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    writeArchive(dir.file("bad.zip"), c.member, c.bytes);
    const Result result = runPylon(dir, "scene " + dir.file("bad.zip") + " --at 1");
    EXPECT_EQ(result.rc, 1);
    EXPECT_TRUE(result.out.empty());
    EXPECT_NE(result.err.find(dir.file("bad.zip")), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(c.expected), std::string::npos) << result.err;
  }
  writeFile(dir.file("notzip.zip"), "this is not an archive");
  const Result notZip = runPylon(dir, "scene " + dir.file("notzip.zip"));
  EXPECT_EQ(notZip.rc, 1);
  EXPECT_NE(notZip.err.find("cannot open the archive"), std::string::npos) << notZip.err;
}

TEST(SceneCommand, BadArgumentsGiveTheUsage) {
  ScratchDir dir;
  for (const char* arguments :
       {"scene", "scene a.zip --at", "scene a.zip --at 1s", "scene a.zip --at nan", "scene a.zip --at inf", "scene a.zip --at 1e999", "scene a.zip --view 0x5",
        "scene a.zip --view 640", "scene a.zip --view 64x48x2", "scene a.zip b.zip", "scene a.zip --frobnicate"}) {
    SCOPED_TRACE(arguments);
    const Result result = runPylon(dir, arguments);
    EXPECT_EQ(result.rc, 1);
    EXPECT_NE(result.err.find("Usage: pylon scene ARCHIVE"), std::string::npos) << result.err;
  }
}
