#include "import/GltfExtensions.h"

#include <draco/compression/decode.h>

#include <cmath>
#include <set>

#include "import/GltfAccessors.h"

namespace gltf_import {

bool implementedExtension(const std::string& name) {
  static const std::set<std::string> implemented = {"KHR_texture_transform", "KHR_materials_emissive_strength",
                                                    "KHR_mesh_quantization", "KHR_draco_mesh_compression",
                                                    "KHR_lights_punctual", "KHR_materials_unlit"};
  return implemented.count(name) != 0;
}

UvTransform textureTransform(const tinygltf::ExtensionMap& extensions, const std::string& what) {
  UvTransform t;
  const auto found = extensions.find("KHR_texture_transform");
  if (found == extensions.end()) return t;
  const tinygltf::Value& v = found->second;
  t.present = true;
  auto pair = [&](const char* key, double* into) {
    const tinygltf::Value& p = v.Get(key);
    if (!p.IsArray()) return;
    if (p.ArrayLen() != 2 || !p.Get(0).IsNumber() || !p.Get(1).IsNumber())
      refuse(what + ": KHR_texture_transform " + key + " is not two numbers");
    into[0] = p.Get(0).GetNumberAsDouble();
    into[1] = p.Get(1).GetNumberAsDouble();
  };
  pair("offset", t.offset);
  pair("scale", t.scale);
  if (v.Get("rotation").IsNumber()) t.rotation = v.Get("rotation").GetNumberAsDouble();
  if (v.Get("texCoord").IsNumber()) t.texCoord = v.Get("texCoord").GetNumberAsInt();
  for (double x : {t.offset[0], t.offset[1], t.scale[0], t.scale[1], t.rotation})
    if (!std::isfinite(x)) refuse(what + ": KHR_texture_transform holds a value that is not a finite number");
  if (t.texCoord < -1 || t.texCoord > 7) refuse(what + ": KHR_texture_transform names texture coordinate set " + std::to_string(t.texCoord));
  return t;
}

void applyUvTransform(const UvTransform& t, std::vector<float>& uv) {
  if (!t.present) return;
  const double c = std::cos(t.rotation), s = std::sin(t.rotation);
  for (size_t i = 0; i + 1 < uv.size(); i += 2) {
    const double u = uv[i] * t.scale[0], v = uv[i + 1] * t.scale[1];
    uv[i] = static_cast<float>(c * u + s * v + t.offset[0]);
    uv[i + 1] = static_cast<float>(-s * u + c * v + t.offset[1]);
  }
}

namespace {

// Attribute `name` of the Draco mesh as `components` floats per point; false when the
// primitive's extension does not list it.
bool dracoAttribute(const draco::Mesh& mesh, const tinygltf::Value& ids, const std::string& name, int components,
                    std::vector<float>& out, const std::string& what) {
  const tinygltf::Value& id = ids.Get(name);
  if (!id.IsNumber()) return false;
  const draco::PointAttribute* attribute = mesh.GetAttributeByUniqueId(static_cast<uint32_t>(id.GetNumberAsInt()));
  if (!attribute) refuse(what + ": the Draco data has no attribute " + std::to_string(id.GetNumberAsInt()) + " for " + name);
  if (attribute->num_components() < components)
    refuse(what + ": the Draco attribute for " + name + " has " + std::to_string(attribute->num_components()) + " components");
  out.assign(mesh.num_points() * static_cast<size_t>(components), 0.0f);
  for (draco::PointIndex p(0); p < mesh.num_points(); ++p) {
    float* at = out.data() + p.value() * static_cast<size_t>(components);
    if (!attribute->ConvertValue<float>(attribute->mapped_index(p), static_cast<int8_t>(components), at))
      refuse(what + ": the Draco attribute for " + name + " cannot be read as numbers");
    for (int c = 0; c < components; ++c)
      if (!std::isfinite(at[c])) refuse(what + ": the Draco attribute for " + name + " holds a value that is not a finite number");
  }
  return true;
}

}  // namespace

void decodeDracoPrimitive(const tinygltf::Model& model, const tinygltf::Primitive& primitive, const std::string& uvAttribute,
                          PrimitiveArrays& out, const std::string& what) {
  const tinygltf::Value& draco = primitive.extensions.at("KHR_draco_mesh_compression");
  const tinygltf::Value& view = draco.Get("bufferView");
  const tinygltf::Value& ids = draco.Get("attributes");
  if (!view.IsNumber() || !ids.IsObject()) refuse(what + ": its KHR_draco_mesh_compression has no bufferView or attributes");
  const int viewIndex = view.GetNumberAsInt();
  if (viewIndex < 0 || static_cast<size_t>(viewIndex) >= model.bufferViews.size())
    refuse(what + ": KHR_draco_mesh_compression names buffer view " + std::to_string(viewIndex) + ", which does not exist");
  const size_t length = model.bufferViews[static_cast<size_t>(viewIndex)].byteLength;
  const uint8_t* bytes = viewBytes(model, viewIndex, 0, length, what + " Draco data");
  draco::DecoderBuffer buffer;
  buffer.Init(reinterpret_cast<const char*>(bytes), length);
  draco::Decoder decoder;
  auto decoded = decoder.DecodeMeshFromBuffer(&buffer);
  if (!decoded.ok()) refuse(what + ": its Draco data cannot be decoded: " + decoded.status().error_msg_string());
  const std::unique_ptr<draco::Mesh> mesh = std::move(decoded).value();
  if (!mesh || mesh->num_points() == 0) refuse(what + ": its Draco data holds no points");
  if (mesh->num_points() > kMaxElements || static_cast<size_t>(mesh->num_faces()) * 3 > kMaxElements)
    refuse(what + ": its Draco data holds more elements than the importer takes");
  if (!dracoAttribute(*mesh, ids, "POSITION", 3, out.positions, what)) refuse(what + " has no POSITION attribute in its Draco data");
  dracoAttribute(*mesh, ids, "NORMAL", 3, out.normals, what);
  dracoAttribute(*mesh, ids, "TANGENT", 4, out.tangents, what);
  dracoAttribute(*mesh, ids, uvAttribute, 2, out.uvs, what);
  out.indexed = true;
  out.indices.reserve(static_cast<size_t>(mesh->num_faces()) * 3);
  for (draco::FaceIndex f(0); f < mesh->num_faces(); ++f)
    for (int k = 0; k < 3; ++k) out.indices.push_back(mesh->face(f)[k].value());
}

}  // namespace gltf_import
