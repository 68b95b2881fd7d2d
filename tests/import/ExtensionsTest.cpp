// The extensions the importer implements and sparse accessors, each over a small file written
// here by the rules of the glTF 2.0 format: what the converted scene holds is what the file says.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "import/GltfImport.h"
#include "import/GltfWorld.h"
#include "support/TestSupport.h"

using namespace gltf_import;

namespace {

std::string base64(const std::vector<uint8_t>& bytes) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  const size_t n = bytes.size();
  for (size_t i = 0; i < n; i += 3) {
    const uint32_t v = static_cast<uint32_t>(bytes[i]) << 16 | (i + 1 < n ? static_cast<uint32_t>(bytes[i + 1]) << 8 : 0) |
                       (i + 2 < n ? bytes[i + 2] : 0);
    out += digits[v >> 18 & 63];
    out += digits[v >> 12 & 63];
    out += i + 1 < n ? digits[v >> 6 & 63] : '=';
    out += i + 2 < n ? digits[v & 63] : '=';
  }
  return out;
}

// A buffer built from pieces, each at a 4-byte boundary; view() describes the last piece.
struct Buffer {
  std::vector<uint8_t> bytes;
  std::vector<std::string> views;
  template <typename T>
  int add(const std::vector<T>& values) {
    const size_t offset = bytes.size();
    bytes.resize(offset + values.size() * sizeof(T));
    std::memcpy(bytes.data() + offset, values.data(), values.size() * sizeof(T));
    bytes.resize((bytes.size() + 3) / 4 * 4);
    views.push_back(R"({"buffer": 0, "byteOffset": )" + std::to_string(offset) + R"(, "byteLength": )" +
                    std::to_string(values.size() * sizeof(T)) + "}");
    return static_cast<int>(views.size()) - 1;
  }
  std::string json() const {
    std::string v;
    for (const std::string& view : views) v += (v.empty() ? "" : ", ") + view;
    return R"("buffers": [{"byteLength": )" + std::to_string(bytes.size()) + R"(, "uri": "data:application/octet-stream;base64,)" +
           base64(bytes) + R"("}], "bufferViews": [)" + v + "]";
  }
};

// One triangle with a camera; `primitive`, `accessors` and `extra` are the parts a test sets.
std::string sceneJson(const Buffer& buffer, const std::string& primitive, const std::string& accessors, const std::string& extra) {
  return R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0, 1]}],
    "nodes": [{"mesh": 0}, {"camera": 0, "translation": [0, 0, 5]}],
    "cameras": [{"type": "perspective", "perspective": {"yfov": 0.8, "znear": 0.1, "zfar": 50}}],
    "meshes": [{"primitives": [)" + primitive + R"(]}], )" + buffer.json() + R"(, "accessors": [)" + accessors + "]" + extra + "}";
}

ImportedScene importJson(const std::string& json) {
  testing_support::ScratchDir dir;
  testing_support::writeFile(dir.file("scene.gltf"), json);
  ImportedScene out;
  std::string error;
  EXPECT_EQ(importGltf(dir.file("scene.gltf"), {}, out, error), 0) << error;
  return out;
}

const std::vector<float> kPositions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
// A 1x1 PNG (one red pixel), for materials that need a texture.
const std::string kPng =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR4nGP4z8AAAAMBAQDJ/pLvAAAAAElFTkSuQmCC";

}  // namespace

TEST(GltfExtensions, TextureTransformMovesTheCoordinatesFromTheSetItNames) {
  Buffer buffer;
  buffer.add(kPositions);
  buffer.add(std::vector<float>{9, 9, 9, 9, 9, 9});  // TEXCOORD_0, not the one used
  buffer.add(std::vector<float>{0, 0, 1, 0, 0, 1});  // TEXCOORD_1
  const std::string accessors = R"({"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3"},
      {"bufferView": 1, "componentType": 5126, "count": 3, "type": "VEC2"},
      {"bufferView": 2, "componentType": 5126, "count": 3, "type": "VEC2"})";
  const std::string extra = R"(, "extensionsUsed": ["KHR_texture_transform"], "extensionsRequired": ["KHR_texture_transform"],
    "materials": [{"pbrMetallicRoughness": {"baseColorTexture": {"index": 0, "extensions": {"KHR_texture_transform":
        {"offset": [0.5, 0.25], "rotation": 1.5707963267948966, "scale": [2, 3], "texCoord": 1}}}}}],
    "textures": [{"source": 0}], "images": [{"uri": "data:image/png;base64,)" + kPng + R"("}])";
  const ImportedScene s =
      importJson(sceneJson(buffer, R"({"attributes": {"POSITION": 0, "TEXCOORD_0": 1, "TEXCOORD_1": 2}, "material": 0})", accessors, extra));
  ASSERT_EQ(s.scene.uvs_size(), 1);
  // u' = cos(r) sx u + sin(r) sy v + ox, v' = -sin(r) sx u + cos(r) sy v + oy (the rotation the
  // sample model checks); then v turned for the engine.
  const float expected[] = {0.5f, 1 - 0.25f, 0.5f, 1 + 1.75f, 3.5f, 1 - 0.25f};
  for (int i = 0; i < 6; ++i) EXPECT_NEAR(s.scene.uvs(0).data(i), expected[i], 1e-5) << i;
  for (const std::string& line : s.notCarried) EXPECT_EQ(line.find("TEXCOORD_1"), std::string::npos) << line;
}

TEST(GltfExtensions, EmissiveStrengthScalesTheEmissiveColour) {
  Buffer buffer;
  buffer.add(kPositions);
  const std::string accessors = R"({"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3"})";
  const ImportedScene s = importJson(sceneJson(buffer, R"({"attributes": {"POSITION": 0}, "material": 0})", accessors,
                                               R"(, "extensionsRequired": ["KHR_materials_emissive_strength"],
    "extensionsUsed": ["KHR_materials_emissive_strength"],
    "materials": [{"emissiveFactor": [1, 0.5, 0], "extensions": {"KHR_materials_emissive_strength": {"emissiveStrength": 4}}}])"));
  ASSERT_EQ(s.scene.shader_size(), 1);
  std::vector<float> emissive;
  for (const Kestrel::ShaderValue& v : s.scene.shader(0).value())
    if (v.name() == "emissiveFactor") emissive.assign(v.value().begin(), v.value().end());
  EXPECT_EQ(emissive, (std::vector<float>{4, 2, 0}));
  EXPECT_TRUE(s.notCarried.empty() || s.notCarried[0].find("emissive_strength") == std::string::npos);
}

TEST(GltfExtensions, QuantizedAttributesAreDequantizedAsTheirNormalizedFlagSays) {
  // Elements padded to 4-byte strides, as the extension asks: positions (x, y, z, pad), normals
  // (x, y, z, pad), texture coordinates (u, v).
  Buffer buffer;
  buffer.add(std::vector<uint16_t>{0, 0, 0, 0, 1000, 0, 0, 0, 0, 2000, 0, 0});
  buffer.add(std::vector<int8_t>{0, 0, 127, 0, -128, 0, 0, 0, 0, 127, 0, 0});
  buffer.add(std::vector<uint16_t>{0, 0, 65535, 0, 0, 32768});
  buffer.views[0] = R"({"buffer": 0, "byteOffset": 0, "byteLength": 24, "byteStride": 8})";
  buffer.views[1] = R"({"buffer": 0, "byteOffset": 24, "byteLength": 12, "byteStride": 4})";
  const std::string accessors = R"({"bufferView": 0, "componentType": 5123, "count": 3, "type": "VEC3"},
      {"bufferView": 1, "componentType": 5120, "normalized": true, "count": 3, "type": "VEC3"},
      {"bufferView": 2, "componentType": 5123, "normalized": true, "count": 3, "type": "VEC2"})";
  const ImportedScene s = importJson(sceneJson(buffer, R"({"attributes": {"POSITION": 0, "NORMAL": 1, "TEXCOORD_0": 2}})", accessors,
                                               R"(, "extensionsUsed": ["KHR_mesh_quantization"], "extensionsRequired": ["KHR_mesh_quantization"])"));
  ASSERT_EQ(s.scene.points_size(), 1);
  EXPECT_EQ(s.scene.points(0).data(3), 1000.0f) << "unnormalized integers keep their value";
  EXPECT_EQ(s.scene.points(0).data(7), 2000.0f);
  EXPECT_EQ(s.scene.normals(0).data(2), 1.0f);
  EXPECT_EQ(s.scene.normals(0).data(3), -1.0f) << "-128 clamps to -1";
  EXPECT_NEAR(s.scene.uvs(0).data(2), 1.0f, 1e-6);
  EXPECT_NEAR(s.scene.uvs(0).data(5), 1 - 32768 / 65535.0f, 1e-6);
}

TEST(GltfSparse, SubstitutesReplaceTheBaseViewOrZerosForPositionsNormalsUvsAndKeyValues) {
  Buffer buffer;
  buffer.add(kPositions);                                       // 0: base positions
  buffer.add(std::vector<uint16_t>{2});                         // 1: sparse index
  buffer.add(std::vector<float>{5, 6, 7});                      // 2: sparse position
  buffer.add(std::vector<uint8_t>{0, 1});                       // 3: sparse indices for normals and uvs
  buffer.add(std::vector<float>{0, 0, 1, 0, 1, 0});             // 4: sparse normals
  buffer.add(std::vector<float>{0.25f, 0.5f, 1, 1});            // 5: sparse uvs
  buffer.add(std::vector<float>{0, 1});                         // 6: key times
  buffer.add(std::vector<uint32_t>{1});                         // 7: sparse key index
  buffer.add(std::vector<float>{3, 4, 5});                      // 8: sparse key value
  auto sparse = [](int count, int indices, int type, int values) {
    return R"(, "sparse": {"count": )" + std::to_string(count) + R"(, "indices": {"bufferView": )" + std::to_string(indices) +
           R"(, "componentType": )" + std::to_string(type) + R"(}, "values": {"bufferView": )" + std::to_string(values) + "}}";
  };
  const std::string accessors =
      R"({"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3")" + sparse(1, 1, 5123, 2) + R"(},
      {"componentType": 5126, "count": 3, "type": "VEC3")" + sparse(2, 3, 5121, 4) + R"(},
      {"componentType": 5126, "count": 3, "type": "VEC2")" + sparse(2, 3, 5121, 5) + R"(},
      {"bufferView": 6, "componentType": 5126, "count": 2, "type": "SCALAR"},
      {"componentType": 5126, "count": 2, "type": "VEC3")" + sparse(1, 7, 5125, 8) + "}";
  const ImportedScene s = importJson(sceneJson(buffer, R"({"attributes": {"POSITION": 0, "NORMAL": 1, "TEXCOORD_0": 2}})", accessors,
                                               R"(, "animations": [{"channels": [{"sampler": 0, "target": {"node": 0, "path": "translation"}}],
    "samplers": [{"input": 3, "output": 4}]}])"));
  const std::vector<float> points(s.scene.points(0).data().begin(), s.scene.points(0).data().end());
  EXPECT_EQ(points, (std::vector<float>{0, 0, 0, 1, 0, 0, 5, 6, 7}));
  const std::vector<float> normals(s.scene.normals(0).data().begin(), s.scene.normals(0).data().end());
  EXPECT_EQ(std::vector<float>(normals.begin(), normals.begin() + 6), (std::vector<float>{0, 0, 1, 0, 1, 0}));
  EXPECT_EQ(s.scene.uvs(0).data(0), 0.25f);
  EXPECT_EQ(s.scene.uvs(0).data(1), 0.5f) << "1 - 0.5";
  EXPECT_EQ(s.scene.uvs(0).data(5), 1.0f) << "a zero base: 1 - 0";
  const Curve& keys = s.curves.at({"", "translation"});
  EXPECT_EQ(keys.values, (std::vector<float>{0, 0, 0, 3, 4, 5}));

  // Substitutes that are out of order or out of range are refused.
  for (const auto& [indices, problem] : std::vector<std::pair<std::vector<uint8_t>, std::string>>{{{1, 0}, "not strictly increasing"},
                                                                                                 {{0, 9}, "sparse index 9 is out of range"}}) {
    Buffer bad = buffer;
    const int view = bad.add(indices);
    std::string broken = accessors;
    broken.replace(broken.find(R"("bufferView": 3)"), 15, R"("bufferView": )" + std::to_string(view));
    testing_support::ScratchDir dir;
    testing_support::writeFile(dir.file("s.gltf"), sceneJson(bad, R"({"attributes": {"POSITION": 0, "NORMAL": 1}})", broken, ""));
    ImportedScene out;
    std::string error;
    EXPECT_EQ(importGltf(dir.file("s.gltf"), {}, out, error), 1);
    EXPECT_NE(error.find(problem), std::string::npos) << error;
  }
}

TEST(GltfMaterials, MaterialsOfOneShapeShareAnEffectAndKeepTheirOwnValues) {
  Buffer buffer;
  buffer.add(kPositions);
  const std::string accessors = R"({"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3"})";
  std::string primitives;
  for (int m = 0; m < 4; ++m) primitives += (m ? ", " : "") + std::string(R"({"attributes": {"POSITION": 0}, "material": )") + std::to_string(m) + "}";
  const ImportedScene s = importJson(sceneJson(buffer, primitives, accessors, R"(, "materials": [
    {"pbrMetallicRoughness": {"baseColorFactor": [1, 0, 0, 1], "metallicFactor": 0.25, "roughnessFactor": 0.75}},
    {"pbrMetallicRoughness": {"baseColorFactor": [0, 1, 0, 1]}},
    {"alphaMode": "BLEND", "doubleSided": true},
    {"alphaMode": "MASK", "alphaCutoff": 0.3}])"));
  ASSERT_EQ(s.scene.material_size(), 4);
  std::vector<std::string> effects;
  for (const auto& [name, bytes] : s.members)
    if (name.find(".cgfx") != std::string::npos) effects.push_back(name);
  EXPECT_EQ(effects, (std::vector<std::string>{"imported/effects/lit-0.cgfx", "imported/effects/lit-1.cgfx", "imported/effects/lit-2.cgfx"}));
  EXPECT_EQ(s.scene.shader(0).source(), s.scene.shader(1).source()) << "two opaque flat materials: one effect";
  EXPECT_NE(s.scene.shader(2).source(), s.scene.shader(0).source());
  auto value = [&](int shader, const std::string& name) {
    for (const Kestrel::ShaderValue& v : s.scene.shader(shader).value())
      if (v.name() == name) return std::vector<float>(v.value().begin(), v.value().end());
    return std::vector<float>();
  };
  EXPECT_EQ(value(0, "baseColourFactor"), (std::vector<float>{1, 0, 0, 1}));
  EXPECT_EQ(value(0, "metallicRoughness"), (std::vector<float>{0.25f, 0.75f}));
  EXPECT_EQ(value(1, "metallicRoughness"), (std::vector<float>{1, 1})) << "glTF's defaults";
  EXPECT_EQ(value(3, "alphaCutoff"), (std::vector<float>{0.3f}));
  EXPECT_TRUE(s.scene.material(2).blended());
  EXPECT_FALSE(s.scene.material(3).blended());
  for (const std::string& line : s.notCarried) EXPECT_EQ(line.find("alpha"), std::string::npos) << line;
}

TEST(GltfMaterials, AnUnlitMaterialShowsItsBaseColourAndReadsNothingElse) {
  Buffer buffer;
  buffer.add(kPositions);
  const std::string accessors = R"({"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3"})";
  const ImportedScene s = importJson(sceneJson(buffer, R"({"attributes": {"POSITION": 0}, "material": 0}, {"attributes": {"POSITION": 0}, "material": 1})",
                                               accessors, R"(, "extensionsUsed": ["KHR_materials_unlit"], "materials": [
    {"pbrMetallicRoughness": {"baseColorFactor": [0.2, 0.4, 0.6, 1]}, "emissiveFactor": [1, 1, 1],
     "extensions": {"KHR_materials_unlit": {}}},
    {"pbrMetallicRoughness": {"baseColorFactor": [0.2, 0.4, 0.6, 1]}}])"));
  ASSERT_EQ(s.scene.shader_size(), 2);
  EXPECT_NE(s.scene.shader(0).source(), s.scene.shader(1).source()) << "unlit is a shape of its own";
  std::string unlit, lit;
  for (const auto& [name, bytes] : s.members) {
    if (name == s.scene.shader(0).source()) unlit.assign(bytes.begin(), bytes.end());
    if (name == s.scene.shader(1).source()) lit.assign(bytes.begin(), bytes.end());
  }
  ASSERT_FALSE(unlit.empty());
  // The file has no lights, so the importer's sun is its one light: the lit effect reads that
  // slot alone, not all eight.
  EXPECT_NE(lit.find("punctual(s, position, lightPosition0"), std::string::npos) << lit;
  EXPECT_EQ(lit.find("punctual(s, position, lightPosition1"), std::string::npos) << lit;
  EXPECT_NE(unlit.find("gl_FragColor = vec4(toSrgb(base.rgb), 1.0)"), std::string::npos) << unlit;
  EXPECT_EQ(unlit.find("punctual(s"), std::string::npos) << "no light reaches an unlit surface";
  for (const std::string& line : s.notCarried) EXPECT_EQ(line.find("unlit"), std::string::npos) << line;
}

TEST(GltfMaterials, LightsKeepTheirConesAndRangeAndBadOnesAreRefused) {
  Buffer buffer;
  buffer.add(kPositions);
  auto file = [&](const std::string& light) {
    return R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0, 1]}],
      "extensionsUsed": ["KHR_lights_punctual"], "extensions": {"KHR_lights_punctual": {"lights": [)" + light + R"(]}},
      "nodes": [{"mesh": 0}, {"extensions": {"KHR_lights_punctual": {"light": 0}}, "translation": [0, 2, 0]}],
      "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}], )" + buffer.json() +
           R"(, "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3"}]})";
  };
  const ImportedScene s = importJson(file(R"({"type": "spot", "color": [1, 0.5, 0], "intensity": 80, "range": 6,
                                               "spot": {"innerConeAngle": 0.1, "outerConeAngle": 0.5}})"));
  ASSERT_EQ(s.scene.light_size(), 1);
  const Kestrel::Light& light = s.scene.light(0);
  EXPECT_EQ(light.type(), Kestrel::SPOT);
  EXPECT_FLOAT_EQ(light.intensity(), 80.0f);
  EXPECT_FLOAT_EQ(light.g(), 0.5f);
  EXPECT_FLOAT_EQ(light.range(), 6.0f);
  EXPECT_FLOAT_EQ(light.innercone(), 0.1f);
  EXPECT_FLOAT_EQ(light.outercone(), 0.5f);
  EXPECT_EQ(light.parent().number(), 2u) << "on its node's object";

  testing_support::ScratchDir dir;
  testing_support::writeFile(dir.file("bad.gltf"), file(R"({"type": "spot", "spot": {"innerConeAngle": 0.6, "outerConeAngle": 0.5}})"));
  ImportedScene out;
  std::string error;
  EXPECT_EQ(importGltf(dir.file("bad.gltf"), {}, out, error), 1);
  EXPECT_NE(error.find("light 0: its cone angles"), std::string::npos) << error;

  ImportOptions options;
  EXPECT_EQ(parseWorld("0.05,0.1,0.2", options, error), 0);
  EXPECT_TRUE(options.world);
  EXPECT_FLOAT_EQ(options.worldColour[2], 0.2f);
  for (const char* bad : {"0.1,0.2", "0.1,x,0.2", "-1,0,0", "1,2,3,4"}) EXPECT_EQ(parseWorld(bad, options, error), 1) << bad;
}

TEST(GltfMaterials, AWorldImageBecomesTheTermsOfItsLight) {
  // An even image gives the terms of its colour; one lit from above only gives light from +Y
  // (glTF's up), none from below; one red towards the middle of the image, +X.
  const int w = 64, h = 32;
  std::vector<float> even(w * h * 3, 0.5f), above(w * h * 3, 0.0f), middle(w * h * 3, 0.0f);
  for (int row = 0; row < h / 2; ++row)
    for (int c = 0; c < w * 3; ++c) above[static_cast<size_t>(row * w * 3 + c)] = 1.0f;
  for (int row = 0; row < h; ++row)
    for (int column = w / 4; column < 3 * w / 4; ++column) middle[static_cast<size_t>((row * w + column) * 3)] = 1.0f;
  const float grey[3] = {0.5f, 0.5f, 0.5f};
  const ShTerms uniform = uniformTerms(grey), terms = equirectTerms(even, w, h);
  for (size_t i = 0; i < 27; ++i) EXPECT_NEAR(terms[i], uniform[i], 2e-3) << i;
  const float up[3] = {0, 1, 0}, down[3] = {0, -1, 0}, plusX[3] = {1, 0, 0}, minusX[3] = {-1, 0, 0};
  const ShTerms sky = equirectTerms(above, w, h), red = equirectTerms(middle, w, h);
  EXPECT_GT(radianceOf(sky, up)[1], 0.9f);
  EXPECT_LT(radianceOf(sky, down)[1], 0.1f);
  EXPECT_GT(radianceOf(red, plusX)[0], 0.9f);
  EXPECT_LT(radianceOf(red, minusX)[0], 0.1f);
  EXPECT_EQ(radianceOf(red, plusX)[1], 0.0f);

  ImportOptions options;
  std::string error;
  EXPECT_EQ(parseWorld("/absent/sky.png", options, error), 1);
  EXPECT_NE(error.find("/absent/sky.png: the world image"), std::string::npos) << error;
}
