// GltfExtensions: the glTF extensions the importer implements, beyond what the core converter
// reads: which ones a file may require, KHR_texture_transform's coordinate transform, and the
// geometry of a KHR_draco_mesh_compression primitive.
//
// Internal to the importer. KHR_materials_emissive_strength and KHR_lights_punctual are read
// where materials and lights are; KHR_mesh_quantization needs nothing beyond the accessor
// reader's integer types. Problems throw a Refusal (GltfAccessors.h).
#pragma once

#include <tiny_gltf.h>

#include <string>
#include <vector>

namespace gltf_import {

// Whether a file that lists `name` in extensionsRequired can be imported as it describes.
bool implementedExtension(const std::string& name);

// A texture reference's KHR_texture_transform (identity without one).
struct UvTransform {
  double offset[2] = {0, 0};
  double rotation = 0;
  double scale[2] = {1, 1};
  int texCoord = -1;  // the set the extension names in place of the reference's own, -1 for none
  bool present = false;
};
UvTransform textureTransform(const tinygltf::ExtensionMap& extensions, const std::string& what);
// uv' = T(offset) R(rotation) S(scale) uv, on glTF's texture coordinates (v down), R turning
// the coordinates counter-clockwise as seen in that v-down space: u' = cos u + sin v,
// v' = -sin u + cos v. (This is what the exporters and the extension's sample model do; the
// GLSL listing of the extension's text has the transposed matrix.)
void applyUvTransform(const UvTransform& transform, std::vector<float>& uv);

// The attribute arrays of one primitive as the converter uses them.
struct PrimitiveArrays {
  std::vector<float> positions, normals, tangents, uvs;  // 3, 3, 4 and 2 per vertex; empty when absent
  std::vector<uint32_t> indices;
  bool indexed = false;
};

// Decodes a primitive's KHR_draco_mesh_compression data: positions, normals, tangents and the
// texture coordinate set `uvAttribute` ("TEXCOORD_0"), and its triangles.
void decodeDracoPrimitive(const tinygltf::Model& model, const tinygltf::Primitive& primitive, const std::string& uvAttribute,
                          PrimitiveArrays& out, const std::string& what);

}  // namespace gltf_import
