// The Khronos sample models (read where the checkout's shared folder holds them, never copied
// into the project): each imports, its meshes keep the bounds the file declares, and every
// object stands where the file puts its node.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "import/GltfImport.h"
#include "resources/SceneValidator.h"
#include "scene/MathUtil.h"
#include "scene/Motion.h"
#include "scene/Renderer.h"
#include "support/TestSupport.h"

using namespace gltf_import;
using Json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

// The samples folder: $PYLON_GLTF_SAMPLES, or shared/gltf-samples beside the checkout or one
// of the folders above it.
std::string samplesFolder() {
  if (const char* env = std::getenv("PYLON_GLTF_SAMPLES")) return env;
  for (fs::path dir = fs::absolute(PYLON_TEST_DATA); !dir.empty(); dir = dir.parent_path()) {
    if (fs::is_directory(dir / "shared" / "gltf-samples")) return (dir / "shared" / "gltf-samples").string();
    if (dir == dir.parent_path()) break;
  }
  return "";
}

#define REQUIRE_SAMPLES(folder) \
  if ((folder).empty()) GTEST_SKIP() << "no shared/gltf-samples above the checkout"

Json fileJson(const std::string& path) {
  const std::string bytes = testing_support::readFile(path);
  if (bytes.rfind("glTF", 0) == 0) {
    uint32_t length = 0;
    std::memcpy(&length, bytes.data() + 12, 4);
    return Json::parse(bytes.substr(20, length));
  }
  return Json::parse(bytes);
}

using Mat = std::array<double, 16>;  // column-major

Mat multiply(const Mat& a, const Mat& b) {
  Mat m{};
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) m[4 * c + r] += a[4 * k + r] * b[4 * c + k];
  return m;
}

Mat trs(const std::array<double, 3>& t, const std::array<double, 4>& q, const std::array<double, 3>& s) {
  const double x = q[0], y = q[1], z = q[2], w = q[3];
  const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 2 * (x * y - z * w), 1 - 2 * (x * x + z * z),
                       2 * (y * z + x * w), 2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)};
  Mat m{};
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 3; ++k) m[4 * c + k] = r[3 * c + k] * s[c];
  m[12] = t[0], m[13] = t[1], m[14] = t[2], m[15] = 1;
  return m;
}

// Node n's local matrix at time 0: the file's own, or the importer's curves for animated channels.
Mat localMatrix(const Json& node, const ImportedScene& s) {
  if (node.contains("matrix")) {
    Mat m;
    for (int i = 0; i < 16; ++i) m[i] = node["matrix"][i].get<double>();
    return m;
  }
  std::array<double, 3> t{0, 0, 0}, sc{1, 1, 1};
  std::array<double, 4> q{0, 0, 0, 1};
  for (int i = 0; i < 3 && node.contains("translation"); ++i) t[i] = node["translation"][i].get<double>();
  for (int i = 0; i < 3 && node.contains("scale"); ++i) sc[i] = node["scale"][i].get<double>();
  for (int i = 0; i < 4 && node.contains("rotation"); ++i) q[i] = node["rotation"][i].get<double>();
  const std::string name = node.value("name", "");
  auto animated = [&](const char* path, auto& into) {
    const auto c = s.curves.find({name, path});
    if (c == s.curves.end()) return;
    const std::vector<float> v = c->second.at(0.0f);
    for (size_t i = 0; i < into.size(); ++i) into[i] = v[i];
  };
  animated("translation", t);
  animated("rotation", q);
  animated("scale", sc);
  return trs(t, q, sc);
}

struct Checked {
  int objects = 0, meshes = 0;
};

// Every object that the engine can place as the file does (no non-uniform or animated scale
// above it, a name that tells its curves apart) stands where the file puts it at time 0.
Checked checkPlacement(const std::string& file, const ImportedScene& s) {
  const Json doc = fileJson(file);
  const Json& nodes = doc["nodes"];
  std::map<int, int> parent;
  for (size_t n = 0; n < nodes.size(); ++n)
    for (const Json& c : nodes[n].value("children", Json::array())) parent[c.get<int>()] = static_cast<int>(n);
  std::map<std::string, int> names;
  for (const Json& node : nodes) ++names[node.value("name", "")];
  Checked checked;
  Renderer renderer(nullptr);
  // The objects follow the nodes depth first from the scene's roots.
  std::vector<int> walk, stack;
  const Json& roots = doc.contains("scenes") ? doc["scenes"][doc.value("scene", 0)]["nodes"] : Json::array();
  for (auto it = roots.rbegin(); it != roots.rend(); ++it) stack.push_back(it->get<int>());
  while (!stack.empty()) {
    const int k = stack.back();
    stack.pop_back();
    walk.push_back(k);
    const Json children = nodes[k].value("children", Json::array());
    for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back(it->get<int>());
  }
  for (size_t object = 0; object < s.objectNodes.size() && object < walk.size(); ++object) {
    const int n = walk[object];
    bool placeable = true;
    Mat world{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::vector<int> chain{n};
    for (auto p = parent.find(n); p != parent.end(); p = parent.find(p->second)) chain.push_back(p->second);
    for (size_t i = chain.size(); i-- > 0;) {
      const Json& node = nodes[chain[i]];
      const std::string name = node.value("name", "");
      const bool animated = s.curves.count({name, "translation"}) || s.curves.count({name, "rotation"}) || s.curves.count({name, "scale"});
      if (animated && names[name] > 1) placeable = false;
      if (i > 0) {
        const Mat m = localMatrix(node, s);
        const double sx = std::hypot(m[0], m[1], m[2]), sy = std::hypot(m[4], m[5], m[6]), sz = std::hypot(m[8], m[9], m[10]);
        if (std::fabs(sx - sy) > 1e-6 * sx || std::fabs(sx - sz) > 1e-6 * sx || s.curves.count({name, "scale"})) placeable = false;
      }
      world = multiply(world, localMatrix(node, s));
    }
    if (!placeable) continue;
    MathUtil::identity(renderer.modelMatrix);
    objectMatrix(s.scene, static_cast<int>(object), 0.0f, renderer);
    const float* e = renderer.modelMatrix;  // rows: the translation is its last column
    double extent = 1e-3;
    for (int i = 12; i < 15; ++i) extent = std::max(extent, std::fabs(world[i]));
    for (const std::array<double, 3>& p : {std::array<double, 3>{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}) {
      for (int r = 0; r < 3; ++r) {
        const double file = world[r] * p[0] + world[4 + r] * p[1] + world[8 + r] * p[2] + world[12 + r];
        const double engine = e[4 * r] * p[0] + e[4 * r + 1] * p[1] + e[4 * r + 2] * p[2] + e[4 * r + 3];
        EXPECT_NEAR(engine, file, 2e-3 * std::max(extent, std::hypot(world[0], world[1], world[2])))
            << file << ": object " << object << " '" << s.objectNodes[object] << "' point " << p[0] << p[1] << p[2] << " row " << r;
      }
    }
    ++checked.objects;
  }
  // Each mesh's points lie within the POSITION bounds its accessors declare, and reach them.
  for (size_t object = 0; object < s.objectNodes.size(); ++object) {
    const Kestrel::Object& o = s.scene.object(static_cast<int>(object));
    if (o.type() != Kestrel::OBJECT) continue;
    const int mesh = static_cast<int>(o.vboid()) - 1;
    double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
    for (const Json& p : doc["meshes"][mesh]["primitives"]) {
      if (p.value("mode", 4) < 4) continue;
      const Json& a = doc["accessors"][p["attributes"]["POSITION"].get<int>()];
      if (!a.contains("min")) continue;
      for (int i = 0; i < 3; ++i) lo[i] = std::min(lo[i], a["min"][i].get<double>()), hi[i] = std::max(hi[i], a["max"][i].get<double>());
    }
    if (lo[0] > hi[0]) continue;
    // Draco keeps positions to its own quantization of the declared range.
    const bool draco = doc["meshes"][mesh]["primitives"][0].contains("extensions");
    const double tolerance = (draco ? 2e-3 : 1e-4) * std::max({1.0, hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
    const Kestrel::BoundingBox& b = o.boundingbox();
    const double got[6] = {b.minx(), b.miny(), b.minz(), b.maxx(), b.maxy(), b.maxz()}, want[6] = {lo[0], lo[1], lo[2], hi[0], hi[1], hi[2]};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(got[i], want[i], tolerance) << file << " mesh " << mesh << " bound " << i;
    ++checked.meshes;
  }
  return checked;
}

}  // namespace

TEST(GltfSamples, EverySampleImportsWithItsNodesPlacedAndItsMeshBoundsKept) {
  const std::string folder = samplesFolder();
  REQUIRE_SAMPLES(folder);
  int files = 0, objects = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string path = entry.path().string();
    if (entry.path().extension() != ".gltf" && entry.path().extension() != ".glb") continue;
    SCOPED_TRACE(path);
    ImportedScene s;
    std::string error;
    ASSERT_EQ(importGltf(path, {}, s, error), 0) << error;
    EXPECT_EQ(validateScene(s.scene), "");
    const Checked checked = checkPlacement(path, s);
    EXPECT_GT(checked.meshes, 0);
    objects += checked.objects;
    ++files;
  }
  EXPECT_EQ(files, 19);
  EXPECT_GT(objects, 60) << "objects whose placement was compared";
}

TEST(GltfSamples, QuantizedAndDracoVariantsDrawWhatTheirPlainGeometryDoes) {
  const std::string folder = samplesFolder();
  REQUIRE_SAMPLES(folder);
  // The quantized duck's world-space box is the plain duck's, within its 16-bit steps.
  auto worldBox = [](const ImportedScene& s) {
    std::array<double, 6> box{1e300, 1e300, 1e300, -1e300, -1e300, -1e300};
    Renderer renderer(nullptr);
    for (int o = 0; o < s.scene.object_size(); ++o) {
      if (s.scene.object(o).type() != Kestrel::OBJECT) continue;
      MathUtil::identity(renderer.modelMatrix);
      objectMatrix(s.scene, o, 0.0f, renderer);
      const float* m = renderer.modelMatrix;
      const google::protobuf::RepeatedField<float>& p = s.scene.points(static_cast<int>(s.scene.object(o).pointsid()) - 1).data();
      for (int v = 0; v + 2 < p.size(); v += 3)
        for (int r = 0; r < 3; ++r) {
          const double w = m[4 * r] * p[v] + m[4 * r + 1] * p[v + 1] + m[4 * r + 2] * p[v + 2] + m[4 * r + 3];
          box[r] = std::min(box[r], w), box[3 + r] = std::max(box[3 + r], w);
        }
    }
    return box;
  };
  ImportedScene plain, quantized, draco;
  std::string error;
  ASSERT_EQ(importGltf(folder + "/Duck/glTF/Duck.gltf", {}, plain, error), 0) << error;
  ASSERT_EQ(importGltf(folder + "/Duck/glTF-Quantized/Duck.gltf", {}, quantized, error), 0) << error;
  const std::array<double, 6> a = worldBox(plain), b = worldBox(quantized);
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(a[i], b[i], 2e-3 * (a[3] - a[0])) << i;
  // Their texture coordinates cover the same part of the texture (the quantized file scales
  // its integers back with KHR_texture_transform).
  auto uvRange = [](const ImportedScene& s) {
    std::array<double, 4> r{1e300, 1e300, -1e300, -1e300};
    const auto& uv = s.scene.uvs(0).data();
    for (int i = 0; i + 1 < uv.size(); i += 2)
      r[0] = std::min<double>(r[0], uv[i]), r[1] = std::min<double>(r[1], uv[i + 1]), r[2] = std::max<double>(r[2], uv[i]),
      r[3] = std::max<double>(r[3], uv[i + 1]);
    return r;
  };
  const std::array<double, 4> ua = uvRange(plain), ub = uvRange(quantized);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(ua[i], ub[i], 1e-3) << i;

  // The Draco box decodes to the cube its accessors describe: 24 corners, 12 triangles.
  ASSERT_EQ(importGltf(folder + "/Box/glTF-Draco/Box.gltf", {}, draco, error), 0) << error;
  ASSERT_EQ(draco.scene.points_size(), 1);
  EXPECT_EQ(draco.scene.points(0).data_size(), 24 * 3);
  EXPECT_EQ(draco.scene.polygons(0).data_size(), 36);
  const std::array<double, 6> box = worldBox(draco);
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(std::fabs(box[i]), 0.5, 1e-3) << i;
}

TEST(GltfSamples, CamerasAreListedWithTheirPlanesAndAFileWithoutOneIsFramed) {
  const std::string folder = samplesFolder();
  REQUIRE_SAMPLES(folder);
  ImportedScene s;
  std::string error;
  ASSERT_EQ(importGltf(folder + "/Cameras/glTF-Embedded/Cameras.gltf", {}, s, error), 0) << error;
  EXPECT_FALSE(s.cameraMade);
  EXPECT_FLOAT_EQ(s.cameraNear, 0.01f);
  EXPECT_FLOAT_EQ(s.cameraFar, 100.0f);
  bool orthographicListed = false;
  for (const std::string& line : s.notCarried) orthographicListed |= line.find("(orthographic, node 2)") != std::string::npos;
  EXPECT_TRUE(orthographicListed);
  ImportOptions pick;
  pick.cameraName = "absent";
  EXPECT_EQ(importGltf(folder + "/Cameras/glTF-Embedded/Cameras.gltf", pick, s, error), 1);

  // The box has no camera: the importer's own looks at its centre from the front right, above,
  // with the whole box inside the view and inside the planes.
  ASSERT_EQ(importGltf(folder + "/BoxTextured/glTF/BoxTextured.gltf", {}, s, error), 0) << error;
  EXPECT_TRUE(s.cameraMade);
  ASSERT_EQ(s.messages.size(), 2u);
  EXPECT_NE(s.messages[0].find("the file has no camera"), std::string::npos);
  EXPECT_NE(s.messages[1].find("the file has no lights"), std::string::npos);
  Renderer renderer(nullptr);
  updateSceneCamera(s.scene, 0.0f, renderer, 1024, 576, false);
  float projection[16];
  std::copy(renderer.projectionMatrix, renderer.projectionMatrix + 16, projection);
  MathUtil::transpose(projection);
  EXPECT_GT(renderer.camX, 0.0f);
  EXPECT_GT(renderer.camY, 0.0f);
  EXPECT_GT(renderer.camZ, 0.0f);
  for (int corner = 0; corner < 9; ++corner) {
    const float h = corner == 8 ? 0.0f : 0.5f;  // the eight corners, then the centre
    const float p[4] = {corner & 1 ? h : -h, corner & 2 ? h : -h, corner & 4 ? h : -h, 1};
    float view[4] = {0, 0, 0, 0}, clip[4] = {0, 0, 0, 0};
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) view[r] += renderer.viewMatrix[4 * r + k] * p[k];
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) clip[r] += projection[4 * r + k] * view[k];
    if (corner == 8) {
      EXPECT_NEAR(clip[0] / clip[3], 0.0f, 1e-3) << "looked at";
      EXPECT_NEAR(clip[1] / clip[3], 0.0f, 1e-3) << "looked at";
    }
    EXPECT_LT(std::fabs(clip[0] / clip[3]), 1.0f) << corner;
    EXPECT_LT(std::fabs(clip[1] / clip[3]), 1.0f) << corner;
    EXPECT_GT(-view[2], s.cameraNear) << corner;
    EXPECT_LT(-view[2], s.cameraFar) << corner;
  }
}
