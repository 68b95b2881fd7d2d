// The player's --scene: a Blender-made glTF file played in place of the archive's scene.
#include <IL/il.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/MessageBox.h"
#include "support/TestSupport.h"

using namespace testing_support;

TEST(ScenePlay, BlenderObjectsAppearWhereBlenderPutsThemAndABadFileEndsWithOne) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  auto play = [&](const std::string& scene) {
    const std::string command = "cd '" + dir.path() + "' && '" + PYLON_BINARY_DIR +
                                "/veltro12' --no-dialog --windowed --size 256x144 --data '" + PYLON_BINARY_DIR +
                                "/data.zip' --scene '" + scene + "' --shot 2 shot.png 2>errors.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  ASSERT_EQ(play(std::string(PYLON_TEST_DATA) + "/gltf/scene-keys.gltf"), 0) << readFile(dir.file("errors.txt"));
  static bool started = (ilInit(), true);
  (void)started;
  ilEnable(IL_ORIGIN_SET);
  ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
  ILuint image = ilGenImage();
  ilBindImage(image);
  const bool loaded = ilLoadImage(dir.file("shot.png").c_str());
  ilDisable(IL_ORIGIN_SET);  // the other shot tests take rows as the file has them
  ASSERT_TRUE(loaded);
  ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE);
  // Blender's own projection of the origins at 2 s (from the bottom left, as DevIL's rows):
  // the red body and, above it, the green cone.
  std::ifstream origins(std::string(PYLON_TEST_DATA) + "/gltf/origins.txt");
  std::string name;
  float time = 0, x = 0, y = 0;
  int checked = 0;
  while (origins >> time >> name >> x >> y) {
    if (time != 2.0f || name == "Board") continue;
    const ILubyte* p = ilGetData() + 3 * (static_cast<int>(y * 144) * 256 + static_cast<int>(x * 256));
    if (name == "Body") {
      EXPECT_GT(p[0], p[1] + 60) << "red at the body's origin";
    }
    if (name == "Cone") {
      EXPECT_GT(p[1], p[0] + 60) << "green at the cone's origin";
    }
    ++checked;
  }
  ilDeleteImage(image);
  EXPECT_EQ(checked, 2);

  EXPECT_EQ(play(dir.file("absent.gltf")), 1);
  EXPECT_NE(readFile(dir.file("errors.txt")).find("absent.gltf: the file does not exist"), std::string::npos);
}

namespace {

// Quads of one unit facing +Z, one node each, seen from 4 units in front: their materials
// (JSON, in node order), each quad's centre (x, z), and a sun shining along -Z whose
// irradiance is pi W/m2 (a white diffuse surface facing it reflects 1).
std::string quadsGltf(const std::vector<std::string>& materials, const std::vector<std::pair<float, float>>& at) {
  std::string nodes, meshes, list;
  for (size_t i = 0; i < materials.size(); ++i) {
    nodes += R"({"mesh": )" + std::to_string(i) + R"(, "translation": [)" + std::to_string(at[i].first) + ", 0, " +
             std::to_string(at[i].second) + "]},";
    meshes += std::string(i ? "," : "") + R"({"primitives": [{"attributes": {"POSITION": 0}, "indices": 1, "material": )" +
              std::to_string(i) + "}]}";
    list += (i ? "," : "") + materials[i];
  }
  std::string roots;
  for (size_t i = 0; i < materials.size() + 2; ++i) roots += (i ? ", " : "") + std::to_string(i);
  return R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [)" + roots + R"(]}],
    "extensionsUsed": ["KHR_lights_punctual"],
    "extensions": {"KHR_lights_punctual": {"lights": [{"type": "directional", "intensity": 2145.707}]}},
    "nodes": [)" + nodes + R"({"camera": 0, "translation": [0, 0, 4]}, {"extensions": {"KHR_lights_punctual": {"light": 0}}}],
    "cameras": [{"type": "perspective", "perspective": {"yfov": 0.8, "znear": 0.1, "zfar": 100}}],
    "meshes": [)" + meshes + R"(], "materials": [)" + list + R"(],
    "buffers": [{"byteLength": 60, "uri": "quad.bin"}],
    "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 48}, {"buffer": 0, "byteOffset": 48, "byteLength": 12}],
    "accessors": [{"bufferView": 0, "componentType": 5126, "count": 4, "type": "VEC3", "min": [-0.5, -0.5, 0], "max": [0.5, 0.5, 0]},
                  {"bufferView": 1, "componentType": 5123, "count": 6, "type": "SCALAR"}]})";
}

std::string quadBin() {
  const float positions[12] = {-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, 0.5f, 0.5f, 0, -0.5f, 0.5f, 0};
  const uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
  std::string bytes(reinterpret_cast<const char*>(positions), sizeof positions);
  return bytes + std::string(reinterpret_cast<const char*>(indices), sizeof indices);
}

double fromSrgb(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }
int toSrgb(double c) {
  c = std::clamp(c, 0.0, 1.0);
  return static_cast<int>(std::lround(255 * (c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055)));
}

}  // namespace

TEST(ScenePlay, ImportedMaterialsLightInLinearSpaceAndBlendedOnesComeLast) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  // Blender's green (91, 182, 110) as the file holds it: linear factors.
  const double green[3] = {fromSrgb(91 / 255.0), fromSrgb(182 / 255.0), fromSrgb(110 / 255.0)};
  char factor[96];
  std::snprintf(factor, sizeof factor, "[%.6f, %.6f, %.6f]", green[0], green[1], green[2]);
  const std::string f = factor;
  const std::vector<std::string> materials = {
      // Emission alone, the base black.
      R"({"pbrMetallicRoughness": {"baseColorFactor": [0, 0, 0, 1]}, "emissiveFactor": )" + f + "}",
      // A rough dielectric under the sun.
      R"({"pbrMetallicRoughness": {"baseColorFactor": )" + f.substr(0, f.size() - 1) + R"(, 1], "metallicFactor": 0, "roughnessFactor": 1}})",
      // Half-transparent blue, before the opaque red quad behind it in node order.
      R"({"pbrMetallicRoughness": {"baseColorFactor": [0, 0, 0, 0.5]}, "emissiveFactor": [0, 0, 1], "alphaMode": "BLEND"})",
      R"({"pbrMetallicRoughness": {"baseColorFactor": [0, 0, 0, 1]}, "emissiveFactor": [1, 0, 0]})",
      // Masked out: alpha under the cutoff.
      R"({"pbrMetallicRoughness": {"baseColorFactor": [0, 0, 0, 0.3]}, "emissiveFactor": [1, 1, 1], "alphaMode": "MASK"})"};
  writeFile(dir.file("quad.bin"), quadBin());
  writeFile(dir.file("quads.gltf"), quadsGltf(materials, {{-2.25f, 0}, {-0.75f, 0}, {0.75f, 0.5f}, {0.75f, 0}, {2.25f, 0}}));
  const std::string command = "cd '" + dir.path() + "' && '" + PYLON_BINARY_DIR +
                              "/veltro12' --no-dialog --windowed --size 256x144 --post off --data '" + PYLON_BINARY_DIR +
                              "/data.zip' --scene quads.gltf --shot 5 shot.png 2>errors.txt";
  ASSERT_EQ(std::system(command.c_str()), 0) << readFile(dir.file("errors.txt"));
  static bool started = (ilInit(), true);
  (void)started;
  ILuint image = ilGenImage();
  ilBindImage(image);
  ASSERT_TRUE(ilLoadImage(dir.file("shot.png").c_str()));
  ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE);
  auto pixel = [&](int x) {
    const ILubyte* p = ilGetData() + 3 * (72 * 256 + x);
    return std::vector<int>{p[0], p[1], p[2]};
  };
  auto near = [](const std::vector<int>& got, const std::vector<int>& want, int tolerance) {
    for (size_t c = 0; c < 3; ++c)
      if (std::abs(got[c] - want[c]) > tolerance) return false;
    return true;
  };
  const std::vector<int> emitted = pixel(32), lit = pixel(96), blended = pixel(160), masked = pixel(224);
  ilDeleteImage(image);
  EXPECT_TRUE(near(emitted, {91, 182, 110}, 1)) << emitted[0] << " " << emitted[1] << " " << emitted[2];
  // Facing the sun at roughness 1 (worked by hand): Fresnel 0.04 keeps 0.96 of the diffuse
  // light, and the specular lobe adds F D V E = 0.04 / pi / 4 * pi = 0.01.
  std::vector<int> expected;
  for (double g : green) expected.push_back(toSrgb(0.96 * g + 0.01));
  EXPECT_TRUE(near(lit, expected, 3)) << lit[0] << " " << lit[1] << " " << lit[2] << " for " << expected[1];
  EXPECT_TRUE(near(blended, {128, 0, 128}, 2)) << blended[0] << " " << blended[1] << " " << blended[2];
  EXPECT_TRUE(near(masked, {0, 0, 0}, 1)) << masked[0] << " " << masked[1] << " " << masked[2];
}
