#include "import/GltfImport.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "import/GltfCurves.h"
#include "import/GltfWarnings.h"

namespace gltf_import {

const char* const kImportedPrefix = "imported/";

namespace {

using tinygltf::Model;

// The importer stops at the first problem by throwing one of these; importGltf turns it into
// the error text. Nothing leaves this file as an exception.
struct Refusal {
  std::string what;
};
[[noreturn]] void refuse(const std::string& what) { throw Refusal{what}; }

// Far beyond any scene the player can draw, small enough that no size computation overflows.
constexpr size_t kMaxElements = size_t{1} << 24;
constexpr double kRotationToleranceDegrees = 0.05;

std::string quotedName(const std::string& kind, int index, const std::string& name) {
  return kind + " " + std::to_string(index) + (name.empty() ? "" : " '" + name + "'");
}

// Image bytes are kept as the file has them: the engine's texture loader decodes them.
bool keepImageBytes(tinygltf::Image* image, const int, std::string*, std::string*, int, int, const unsigned char* bytes,
                    int size, void*) {
  image->image.assign(bytes, bytes + size);
  image->as_is = true;
  return true;
}

// ---- checked accessor reads ----

struct ElementSource {
  const uint8_t* base = nullptr;  // first element, nullptr when the accessor has no buffer view
  size_t stride = 0;
  size_t count = 0;
  int components = 0;
  int componentType = 0;
  bool normalized = false;
};

ElementSource locate(const Model& model, int index, const std::string& what) {
  if (index < 0 || static_cast<size_t>(index) >= model.accessors.size())
    refuse(what + ": accessor " + std::to_string(index) + " does not exist");
  const tinygltf::Accessor& a = model.accessors[static_cast<size_t>(index)];
  const std::string name = what + ": accessor " + std::to_string(index);
  if (a.sparse.isSparse) refuse(name + " is sparse, which is not supported");
  if (a.count > kMaxElements) refuse(name + " has " + std::to_string(a.count) + " elements, more than the importer takes");
  ElementSource source;
  source.count = a.count;
  source.components = tinygltf::GetNumComponentsInType(static_cast<uint32_t>(a.type));
  source.componentType = a.componentType;
  source.normalized = a.normalized;
  const int componentSize = tinygltf::GetComponentSizeInBytes(static_cast<uint32_t>(a.componentType));
  if (source.components <= 0 || componentSize <= 0) refuse(name + " has an unknown element type");
  if (a.bufferView < 0) return source;  // all zeros
  if (static_cast<size_t>(a.bufferView) >= model.bufferViews.size())
    refuse(name + " names buffer view " + std::to_string(a.bufferView) + ", which does not exist");
  const tinygltf::BufferView& view = model.bufferViews[static_cast<size_t>(a.bufferView)];
  if (view.buffer < 0 || static_cast<size_t>(view.buffer) >= model.buffers.size())
    refuse(name + ": buffer view " + std::to_string(a.bufferView) + " names a buffer that does not exist");
  const tinygltf::Buffer& buffer = model.buffers[static_cast<size_t>(view.buffer)];
  if (view.byteOffset > buffer.data.size() || view.byteLength > buffer.data.size() - view.byteOffset)
    refuse(name + ": buffer view " + std::to_string(a.bufferView) + " reaches past the end of buffer " +
           std::to_string(view.buffer) + (buffer.data.empty() ? " (the buffer is missing or empty)" : ""));
  const size_t element = static_cast<size_t>(componentSize) * static_cast<size_t>(source.components);
  source.stride = view.byteStride != 0 ? view.byteStride : element;
  if (source.stride < element || source.stride > 1024) refuse(name + " has a byte stride of " + std::to_string(source.stride));
  if (a.count > 0 && (a.byteOffset > view.byteLength || (a.count - 1) * source.stride + element > view.byteLength - a.byteOffset))
    refuse(name + " reads past the end of buffer view " + std::to_string(a.bufferView));
  source.base = buffer.data.data() + view.byteOffset + a.byteOffset;
  return source;
}

double component(const ElementSource& s, size_t element, int c) {
  if (!s.base) return 0.0;
  const uint8_t* at = s.base + element * s.stride;
  auto load = [&](auto sample) {
    std::memcpy(&sample, at + static_cast<size_t>(c) * sizeof(sample), sizeof(sample));
    return sample;
  };
  switch (s.componentType) {
    case TINYGLTF_COMPONENT_TYPE_FLOAT: return load(float{});
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return s.normalized ? load(uint8_t{}) / 255.0 : load(uint8_t{});
    case TINYGLTF_COMPONENT_TYPE_BYTE: return s.normalized ? std::max(load(int8_t{}) / 127.0, -1.0) : load(int8_t{});
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: return s.normalized ? load(uint16_t{}) / 65535.0 : load(uint16_t{});
    case TINYGLTF_COMPONENT_TYPE_SHORT: return s.normalized ? std::max(load(int16_t{}) / 32767.0, -1.0) : load(int16_t{});
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: return load(uint32_t{});
    default: return 0.0;
  }
}

// `components` floats per element (fewer in the file are refused, more are dropped).
std::vector<float> readFloats(const Model& model, int index, int components, const std::string& what) {
  const ElementSource s = locate(model, index, what);
  if (s.components < components)
    refuse(what + ": accessor " + std::to_string(index) + " has " + std::to_string(s.components) +
           " components per element, " + std::to_string(components) + " needed");
  if (s.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT || s.componentType == TINYGLTF_COMPONENT_TYPE_DOUBLE)
    refuse(what + ": accessor " + std::to_string(index) + " has a component type vertex data cannot have");
  std::vector<float> out;
  out.reserve(s.count * static_cast<size_t>(components));
  for (size_t e = 0; e < s.count; ++e) {
    for (int c = 0; c < components; ++c) {
      const double v = component(s, e, c);
      if (!std::isfinite(v)) refuse(what + ": accessor " + std::to_string(index) + " holds a value that is not a finite number");
      out.push_back(static_cast<float>(v));
    }
  }
  return out;
}

std::vector<uint32_t> readIndices(const Model& model, int index, const std::string& what) {
  const ElementSource s = locate(model, index, what);
  if (s.components != 1 || (s.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
                            s.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
                            s.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT))
    refuse(what + ": index accessor " + std::to_string(index) + " is not a list of unsigned integers");
  std::vector<uint32_t> out(s.count);
  for (size_t e = 0; e < s.count; ++e) out[e] = static_cast<uint32_t>(component(s, e, 0));
  return out;
}

// ---- the conversion ----

struct NodeTrs {
  std::array<double, 3> t{0, 0, 0}, s{1, 1, 1};
  Quat r{0, 0, 0, 1};
};

class Converter {
 public:
  Converter(const Model& model, const ImportOptions& options, ImportedScene& out)
      : model(model), options(options), out(out), scene(out.scene) {}

  void run() {
    readAnimations();
    orderNodes();
    for (size_t i = 0; i < order.size(); ++i) addObject(i);
    addCamera();
    for (int n : order) out.objectNodes.push_back(model.nodes[static_cast<size_t>(n)].name);
    for (const auto& [key, c] : curves) out.curves[{model.nodes[static_cast<size_t>(key.first)].name, key.second}] = c;
    addLights();
    for (const std::string& extension : model.extensionsUsed)
      if (extension != "KHR_lights_punctual" && extension != "KHR_materials_emissive_strength")
        note("extension " + extension + " is not carried");
    if (!model.skins.empty()) note("skins (" + std::to_string(model.skins.size()) + ") are not carried: meshes stay in their rest pose");
    Kestrel::Info* info = scene.mutable_info();
    info->set_tool("pylon import" + (model.asset.generator.empty() ? std::string() : " (" + model.asset.generator + ")"));
    info->set_version("glTF " + model.asset.version);
    info->set_copyright(model.asset.copyright);
  }

 private:
  const Model& model;
  const ImportOptions& options;
  ImportedScene& out;
  Kestrel::KestrelLib& scene;

  std::vector<int> order;             // object i is node order[i]
  std::map<int, int> objectOfNode;    // node -> object index
  std::map<int, int> parentOfNode;    // node -> parent node
  std::map<std::pair<int, std::string>, Curve> curves;  // (node, path) -> curve
  std::map<int, std::array<uint32_t, 5>> meshStreams;  // mesh -> points, normals, tangents, uvs, polygons IDs
  std::map<int, std::vector<Kestrel::Surface>> meshSurfaces;
  std::map<int, Kestrel::BoundingBox> meshBounds;
  std::map<int, uint32_t> materialEntry;  // glTF material (-1: none) -> material entry
  std::map<int, uint32_t> textureEntry;   // glTF image -> texture entry
  std::set<std::string> noted;

  void note(const std::string& line) {
    if (noted.insert(line).second) out.notCarried.push_back(line);
  }

  std::string nodeName(int n) const { return quotedName("node", n, model.nodes[static_cast<size_t>(n)].name); }

  // -- animation --

  void readAnimations() {
    for (size_t a = 0; a < model.animations.size(); ++a) {
      const tinygltf::Animation& animation = model.animations[a];
      const std::string where = quotedName("animation", static_cast<int>(a), animation.name);
      for (size_t c = 0; c < animation.channels.size(); ++c) {
        const tinygltf::AnimationChannel& channel = animation.channels[c];
        const std::string what = where + " channel " + std::to_string(c);
        if (channel.target_node < 0 || static_cast<size_t>(channel.target_node) >= model.nodes.size())
          refuse(what + " targets node " + std::to_string(channel.target_node) + ", which does not exist");
        if (channel.sampler < 0 || static_cast<size_t>(channel.sampler) >= animation.samplers.size())
          refuse(what + " uses sampler " + std::to_string(channel.sampler) + ", which does not exist");
        const std::string& path = channel.target_path;
        if (path == "weights") {
          note(where + ": morph target weights are not carried");
          continue;
        }
        if (path != "translation" && path != "rotation" && path != "scale") {
          note(what + ": target '" + path + "' is not carried");
          continue;
        }
        const auto key = std::make_pair(channel.target_node, path);
        if (curves.count(key)) {
          note(what + ": " + nodeName(channel.target_node) + " " + path + " is animated twice; the first animation is kept");
          continue;
        }
        curves[key] = readCurve(animation.samplers[static_cast<size_t>(channel.sampler)], path == "rotation" ? 4 : 3, what);
        if (path == "rotation") warnLongTurns(curves[key], nodeName(channel.target_node), out.warnings);
      }
    }
  }

  Curve readCurve(const tinygltf::AnimationSampler& sampler, int components, const std::string& what) {
    Curve curve;
    curve.components = components;
    if (sampler.interpolation == "LINEAR") curve.mode = Interpolation::Linear;
    else if (sampler.interpolation == "STEP") curve.mode = Interpolation::Step;
    else if (sampler.interpolation == "CUBICSPLINE") curve.mode = Interpolation::CubicSpline;
    else refuse(what + ": interpolation '" + sampler.interpolation + "' is not LINEAR, STEP or CUBICSPLINE");
    curve.times = readFloats(model, sampler.input, 1, what + " key times");
    for (size_t k = 0; k < curve.times.size(); ++k)
      if (k > 0 && !(curve.times[k] > curve.times[k - 1])) refuse(what + ": key times are not in ascending order");
    curve.values = readFloats(model, sampler.output, components, what + " values");
    const size_t wanted = curve.times.size() * static_cast<size_t>(components) * (curve.mode == Interpolation::CubicSpline ? 3 : 1);
    if (curve.values.size() != wanted)
      refuse(what + ": " + std::to_string(curve.times.size()) + " key times but " +
             std::to_string(curve.values.size() / static_cast<size_t>(components)) + " values");
    if (curve.times.empty()) refuse(what + ": the sampler has no keys");
    return curve;
  }

  const Curve* curve(int node, const char* path) const {
    const auto found = curves.find({node, path});
    return found == curves.end() ? nullptr : &found->second;
  }

  NodeTrs staticTrs(int n) const {
    const tinygltf::Node& node = model.nodes[static_cast<size_t>(n)];
    NodeTrs trs;
    if (node.matrix.size() == 16) {
      const std::vector<double>& m = node.matrix;  // column-major
      trs.t = {m[12], m[13], m[14]};
      double cols[3][3];
      for (int c = 0; c < 3; ++c) {
        const double length = std::sqrt(m[4 * c] * m[4 * c] + m[4 * c + 1] * m[4 * c + 1] + m[4 * c + 2] * m[4 * c + 2]);
        trs.s[static_cast<size_t>(c)] = length;
        for (int r = 0; r < 3; ++r) cols[c][r] = length > 0 ? m[4 * c + r] / length : 0;
      }
      // Rotation matrix (row r, column c) = cols[c][r] to quaternion.
      const double trace = cols[0][0] + cols[1][1] + cols[2][2];
      if (trace > 0) {
        const double s = std::sqrt(trace + 1.0) * 2;
        trs.r = {(cols[1][2] - cols[2][1]) / s, (cols[2][0] - cols[0][2]) / s, (cols[0][1] - cols[1][0]) / s, 0.25 * s};
      } else if (cols[0][0] > cols[1][1] && cols[0][0] > cols[2][2]) {
        const double s = std::sqrt(1.0 + cols[0][0] - cols[1][1] - cols[2][2]) * 2;
        trs.r = {0.25 * s, (cols[1][0] + cols[0][1]) / s, (cols[2][0] + cols[0][2]) / s, (cols[1][2] - cols[2][1]) / s};
      } else if (cols[1][1] > cols[2][2]) {
        const double s = std::sqrt(1.0 + cols[1][1] - cols[0][0] - cols[2][2]) * 2;
        trs.r = {(cols[1][0] + cols[0][1]) / s, 0.25 * s, (cols[2][1] + cols[1][2]) / s, (cols[2][0] - cols[0][2]) / s};
      } else {
        const double s = std::sqrt(1.0 + cols[2][2] - cols[0][0] - cols[1][1]) * 2;
        trs.r = {(cols[2][0] + cols[0][2]) / s, (cols[2][1] + cols[1][2]) / s, 0.25 * s, (cols[0][1] - cols[1][0]) / s};
      }
      return trs;
    }
    if (node.translation.size() == 3) trs.t = {node.translation[0], node.translation[1], node.translation[2]};
    if (node.scale.size() == 3) trs.s = {node.scale[0], node.scale[1], node.scale[2]};
    if (node.rotation.size() == 4) trs.r = {node.rotation[0], node.rotation[1], node.rotation[2], node.rotation[3]};
    for (double v : {trs.t[0], trs.t[1], trs.t[2], trs.s[0], trs.s[1], trs.s[2], trs.r[0], trs.r[1], trs.r[2], trs.r[3]})
      if (!std::isfinite(v)) refuse(nodeName(n) + " has a transform value that is not a finite number");
    return trs;
  }

  NodeTrs trsAt(int n, float time) const {
    NodeTrs trs = staticTrs(n);
    if (const Curve* c = curve(n, "translation")) {
      const std::vector<float> v = c->at(time);
      trs.t = {v[0], v[1], v[2]};
    }
    if (const Curve* c = curve(n, "scale")) {
      const std::vector<float> v = c->at(time);
      trs.s = {v[0], v[1], v[2]};
    }
    if (const Curve* c = curve(n, "rotation")) {
      const std::vector<float> v = c->at(time);
      trs.r = {v[0], v[1], v[2], v[3]};
    }
    return trs;
  }

  // -- hierarchy --

  void orderNodes() {
    std::vector<int> roots;
    if (!model.scenes.empty()) {
      const size_t s = model.defaultScene >= 0 && static_cast<size_t>(model.defaultScene) < model.scenes.size()
                           ? static_cast<size_t>(model.defaultScene) : 0;
      roots = model.scenes[s].nodes;
      if (model.scenes.size() > 1) note("only scene " + std::to_string(s) + " of " + std::to_string(model.scenes.size()) + " is imported");
    } else {
      std::set<int> children;
      for (const tinygltf::Node& node : model.nodes) children.insert(node.children.begin(), node.children.end());
      for (size_t n = 0; n < model.nodes.size(); ++n)
        if (!children.count(static_cast<int>(n))) roots.push_back(static_cast<int>(n));
    }
    // Depth first, parents before their children, in the file's order.
    std::vector<std::pair<int, int>> stack;  // (node, parent node or -1)
    for (auto it = roots.rbegin(); it != roots.rend(); ++it) stack.push_back({*it, -1});
    while (!stack.empty()) {
      const auto [n, parent] = stack.back();
      stack.pop_back();
      if (n < 0 || static_cast<size_t>(n) >= model.nodes.size())
        refuse("the hierarchy names node " + std::to_string(n) + ", which does not exist");
      if (objectOfNode.count(n)) refuse(nodeName(n) + " appears more than once in the hierarchy");
      objectOfNode[n] = static_cast<int>(order.size());
      order.push_back(n);
      if (parent >= 0) parentOfNode[n] = parent;
      const std::vector<int>& children = model.nodes[static_cast<size_t>(n)].children;
      for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back({*it, n});
    }
  }

  // The engine applies no parent's scale to its children. A uniform, unanimated scale on the
  // parents is folded into the child's own translation and scale instead.
  float inheritedScale(int n) {
    double factor = 1.0;
    for (auto p = parentOfNode.find(n); p != parentOfNode.end(); p = parentOfNode.find(p->second)) {
      const NodeTrs trs = staticTrs(p->second);
      const bool uniform = std::fabs(trs.s[0] - trs.s[1]) < 1e-6 && std::fabs(trs.s[0] - trs.s[2]) < 1e-6;
      if (curve(p->second, "scale") || !uniform) {
        note(nodeName(p->second) + ": a non-uniform or animated scale does not reach its children");
        continue;
      }
      factor *= trs.s[0];
    }
    return static_cast<float>(factor);
  }

  void addObject(size_t index) {
    const int n = order[index];
    const tinygltf::Node& node = model.nodes[static_cast<size_t>(n)];
    Kestrel::Object* object = scene.add_object();
    object->set_type(Kestrel::NULLOBJECT);
    if (!node.name.empty()) object->set_name(node.name);
    for (int i = 0; i < 3; ++i) object->add_pivot(0.0f);
    if (const auto p = parentOfNode.find(n); p != parentOfNode.end()) {
      object->mutable_parent()->set_type(1);
      object->mutable_parent()->set_number(static_cast<uint32_t>(objectOfNode[p->second] + 1));
    }
    if (node.skin >= 0) note(nodeName(n) + ": its skin is not carried");
    if (!node.weights.empty()) note(nodeName(n) + ": morph target weights are not carried");
    if (node.mesh >= 0) {
      if (static_cast<size_t>(node.mesh) >= model.meshes.size())
        refuse(nodeName(n) + " names mesh " + std::to_string(node.mesh) + ", which does not exist");
      if (convertMesh(node.mesh)) {
        const std::array<uint32_t, 5>& ids = meshStreams[node.mesh];
        object->set_type(Kestrel::OBJECT);
        object->set_pointsid(ids[0]);
        object->set_normalsid(ids[1]);
        object->set_tangentsid(ids[2]);
        object->set_uvsid(ids[3]);
        object->set_polygonsid(ids[4]);
        object->set_vboid(static_cast<uint32_t>(node.mesh) + 1);
        *object->mutable_boundingbox() = meshBounds[node.mesh];
        for (const Kestrel::Surface& s : meshSurfaces[node.mesh]) *object->add_surface() = s;
      }
    }
    // Motion: x, y, z, heading, pitch, bank, sx, sy, sz.
    const float inherited = inheritedScale(n);
    const NodeTrs trs = staticTrs(n);
    for (int i = 0; i < 9; ++i) object->add_motion();
    auto envelope = [&](int i) { return object->mutable_motion(i); };
    for (int i = 0; i < 3; ++i) {
      if (const Curve* c = curve(n, "translation")) componentEnvelope(*c, i, inherited, *envelope(i));
      else constantEnvelope(static_cast<float>(trs.t[static_cast<size_t>(i)] * inherited), *envelope(i));
      if (const Curve* c = curve(n, "scale")) componentEnvelope(*c, i, inherited, *envelope(6 + i));
      else constantEnvelope(static_cast<float>(trs.s[static_cast<size_t>(i)] * inherited), *envelope(6 + i));
    }
    if (const Curve* c = curve(n, "rotation")) {
      rotationEnvelopes(*c, EulerOrder::Object, kRotationToleranceDegrees, {envelope(3), envelope(4), envelope(5)});
    } else {
      const Euler e = quatToEuler(trs.r, EulerOrder::Object, {0, 0, 0});
      for (int i = 0; i < 3; ++i) constantEnvelope(static_cast<float>(e[static_cast<size_t>(i)]), *envelope(3 + i));
    }
  }

  // -- geometry --

  template <typename Stream>
  uint32_t addStream(google::protobuf::RepeatedPtrField<Stream>* list, const std::vector<float>& data) {
    Stream* stream = list->Add();
    stream->mutable_data()->Assign(data.begin(), data.end());
    return static_cast<uint32_t>(list->size());
  }

  // Streams, index list and surfaces of mesh m, shared by every node that uses it. false when
  // no primitive can be drawn (the node becomes a null object).
  bool convertMesh(int m) {
    if (meshStreams.count(m)) return meshStreams[m][0] != 0;
    const tinygltf::Mesh& mesh = model.meshes[static_cast<size_t>(m)];
    const std::string meshName = quotedName("mesh", m, mesh.name);
    std::vector<float> points, normals, tangents, uvs;
    std::vector<uint32_t> indices;
    std::vector<Kestrel::Surface> surfaces;
    for (size_t p = 0; p < mesh.primitives.size(); ++p) {
      const tinygltf::Primitive& primitive = mesh.primitives[p];
      const std::string what = meshName + " primitive " + std::to_string(p);
      const int mode = primitive.mode < 0 ? TINYGLTF_MODE_TRIANGLES : primitive.mode;
      if (mode != TINYGLTF_MODE_TRIANGLES && mode != TINYGLTF_MODE_TRIANGLE_STRIP && mode != TINYGLTF_MODE_TRIANGLE_FAN) {
        note(what + ": points and lines are not drawn");
        continue;
      }
      if (!primitive.targets.empty()) note(meshName + ": morph targets are not carried");
      for (const auto& [attribute, accessor] : primitive.attributes) {
        (void)accessor;
        if (attribute != "POSITION" && attribute != "NORMAL" && attribute != "TANGENT" && attribute != "TEXCOORD_0")
          note(meshName + ": vertex attribute " + attribute + " is not carried");
      }
      const auto position = primitive.attributes.find("POSITION");
      if (position == primitive.attributes.end()) refuse(what + " has no POSITION attribute");
      const std::vector<float> p3 = readFloats(model, position->second, 3, what + " POSITION");
      const size_t count = p3.size() / 3;
      if (points.size() / 3 + count > kMaxElements) refuse(meshName + " has more vertices than the importer takes");
      auto optional = [&](const char* name, int components) {
        const auto found = primitive.attributes.find(name);
        if (found == primitive.attributes.end()) return std::vector<float>();
        std::vector<float> v = readFloats(model, found->second, components, what + " " + name);
        if (v.size() / static_cast<size_t>(components) != count)
          refuse(what + ": " + name + " has " + std::to_string(v.size() / static_cast<size_t>(components)) +
                 " elements for " + std::to_string(count) + " positions");
        return v;
      };
      std::vector<float> n3 = optional("NORMAL", 3), t4 = optional("TANGENT", 4), uv = optional("TEXCOORD_0", 2);
      std::vector<uint32_t> list;
      if (primitive.indices >= 0) {
        list = readIndices(model, primitive.indices, what + " indices");
        for (uint32_t i : list)
          if (i >= count)
            refuse(what + ": index " + std::to_string(i) + " is out of range (the primitive has " + std::to_string(count) + " vertices)");
      } else {
        list.resize(count);
        for (size_t i = 0; i < count; ++i) list[i] = static_cast<uint32_t>(i);
      }
      list = triangles(list, mode);
      if (list.empty()) continue;
      if (n3.empty()) n3 = computeNormals(p3, list);
      std::vector<float> t3;
      if (t4.empty()) t3 = computeTangents(p3, n3, uv, list);
      else for (size_t v = 0; v < count; ++v) t3.insert(t3.end(), {t4[4 * v], t4[4 * v + 1], t4[4 * v + 2]});
      if (uv.empty()) uv.assign(count * 2, 0.0f);
      // glTF puts v = 0 at the top of an image; the engine's textures start at the bottom row.
      for (size_t v = 0; v < count; ++v) uv[2 * v + 1] = 1.0f - uv[2 * v + 1];

      const uint32_t base = static_cast<uint32_t>(points.size() / 3);
      Kestrel::Surface surface;
      surface.set_materialid(material(primitive.material));
      surface.set_polyoffset(static_cast<uint32_t>(indices.size()));
      surface.set_polycount(static_cast<uint32_t>(list.size()));
      uint32_t lo = UINT32_MAX, hi = 0;
      for (uint32_t i : list) {
        indices.push_back(base + i);
        lo = std::min(lo, base + i);
        hi = std::max(hi, base + i);
      }
      surface.set_mini(lo);
      surface.set_maxi(hi);
      surfaces.push_back(surface);
      points.insert(points.end(), p3.begin(), p3.end());
      normals.insert(normals.end(), n3.begin(), n3.end());
      tangents.insert(tangents.end(), t3.begin(), t3.end());
      uvs.insert(uvs.end(), uv.begin(), uv.end());
    }
    if (surfaces.empty()) {
      meshStreams[m] = {0, 0, 0, 0, 0};
      return false;
    }
    Kestrel::BoundingBox box;
    box.set_minx(points[0]), box.set_miny(points[1]), box.set_minz(points[2]);
    box.set_maxx(points[0]), box.set_maxy(points[1]), box.set_maxz(points[2]);
    for (size_t v = 0; v < points.size(); v += 3) {
      box.set_minx(std::min(box.minx(), points[v])), box.set_maxx(std::max(box.maxx(), points[v]));
      box.set_miny(std::min(box.miny(), points[v + 1])), box.set_maxy(std::max(box.maxy(), points[v + 1]));
      box.set_minz(std::min(box.minz(), points[v + 2])), box.set_maxz(std::max(box.maxz(), points[v + 2]));
    }
    meshBounds[m] = box;
    meshSurfaces[m] = surfaces;
    Kestrel::Polygons* polygons = scene.add_polygons();
    polygons->mutable_data()->Assign(indices.begin(), indices.end());
    meshStreams[m] = {addStream(scene.mutable_points(), points), addStream(scene.mutable_normals(), normals),
                      addStream(scene.mutable_tangents(), tangents), addStream(scene.mutable_uvs(), uvs),
                      static_cast<uint32_t>(scene.polygons_size())};
    return true;
  }

  static std::vector<uint32_t> triangles(const std::vector<uint32_t>& list, int mode) {
    std::vector<uint32_t> out;
    if (mode == TINYGLTF_MODE_TRIANGLES) {
      out.assign(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(list.size() / 3 * 3));
    } else if (mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
      for (size_t i = 2; i < list.size(); ++i) {
        if (i % 2 == 0) out.insert(out.end(), {list[i - 2], list[i - 1], list[i]});
        else out.insert(out.end(), {list[i - 1], list[i - 2], list[i]});
      }
    } else {
      for (size_t i = 2; i < list.size(); ++i) out.insert(out.end(), {list[0], list[i - 1], list[i]});
    }
    return out;
  }

  static std::vector<float> computeNormals(const std::vector<float>& p, const std::vector<uint32_t>& list) {
    std::vector<double> sum(p.size(), 0.0);
    for (size_t i = 0; i + 2 < list.size(); i += 3) {
      const float* a = &p[3 * list[i]];
      const float* b = &p[3 * list[i + 1]];
      const float* c = &p[3 * list[i + 2]];
      const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
      const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
      for (size_t k = 0; k < 3; ++k)
        for (size_t j = 0; j < 3; ++j) sum[3 * list[i + k] + j] += n[j];  // weighted by area
    }
    return normalisedTriples(sum, {0, 1, 0});
  }

  static std::vector<float> computeTangents(const std::vector<float>& p, const std::vector<float>& n,
                                            const std::vector<float>& uv, const std::vector<uint32_t>& list) {
    std::vector<double> sum(p.size(), 0.0);
    if (!uv.empty()) {
      for (size_t i = 0; i + 2 < list.size(); i += 3) {
        const uint32_t a = list[i], b = list[i + 1], c = list[i + 2];
        const double e1[3] = {p[3 * b] - p[3 * a], p[3 * b + 1] - p[3 * a + 1], p[3 * b + 2] - p[3 * a + 2]};
        const double e2[3] = {p[3 * c] - p[3 * a], p[3 * c + 1] - p[3 * a + 1], p[3 * c + 2] - p[3 * a + 2]};
        const double du1 = uv[2 * b] - uv[2 * a], dv1 = uv[2 * b + 1] - uv[2 * a + 1];
        const double du2 = uv[2 * c] - uv[2 * a], dv2 = uv[2 * c + 1] - uv[2 * a + 1];
        const double det = du1 * dv2 - du2 * dv1;
        if (std::fabs(det) < 1e-20) continue;
        for (uint32_t v : {a, b, c})
          for (size_t j = 0; j < 3; ++j) sum[3 * v + j] += (e1[j] * dv2 - e2[j] * dv1) / det;
      }
    }
    // Gram-Schmidt against the normal; where the texture gives no direction, any perpendicular.
    for (size_t v = 0; v + 2 < sum.size(); v += 3) {
      const double d = sum[v] * n[v] + sum[v + 1] * n[v + 1] + sum[v + 2] * n[v + 2];
      for (size_t j = 0; j < 3; ++j) sum[v + j] -= d * n[v + j];
      if (sum[v] * sum[v] + sum[v + 1] * sum[v + 1] + sum[v + 2] * sum[v + 2] < 1e-20) {
        const bool alongX = std::fabs(n[v]) > 0.9;
        const double axis[3] = {alongX ? 0.0 : 1.0, alongX ? 1.0 : 0.0, 0.0};
        const double e = axis[0] * n[v] + axis[1] * n[v + 1];
        for (size_t j = 0; j < 3; ++j) sum[v + j] = axis[j] - e * n[v + j];
      }
    }
    return normalisedTriples(sum, {1, 0, 0});
  }

  static std::vector<float> normalisedTriples(const std::vector<double>& sum, std::array<float, 3> fallback) {
    std::vector<float> out(sum.size());
    for (size_t v = 0; v + 2 < sum.size(); v += 3) {
      const double length = std::sqrt(sum[v] * sum[v] + sum[v + 1] * sum[v + 1] + sum[v + 2] * sum[v + 2]);
      for (size_t j = 0; j < 3; ++j) out[v + j] = length > 1e-30 ? static_cast<float>(sum[v + j] / length) : fallback[j];
    }
    return out;
  }

  // -- materials, textures and the lit effect --

  static std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", std::isfinite(v) ? v : 0.0);
    return text;
  }

  uint32_t texture(int gltfTexture, const std::string& what) {
    if (gltfTexture < 0 || static_cast<size_t>(gltfTexture) >= model.textures.size())
      refuse(what + " names texture " + std::to_string(gltfTexture) + ", which does not exist");
    const int source = model.textures[static_cast<size_t>(gltfTexture)].source;
    if (source < 0 || static_cast<size_t>(source) >= model.images.size())
      refuse(what + ": texture " + std::to_string(gltfTexture) + " has no image the importer can read");
    if (const auto found = textureEntry.find(source); found != textureEntry.end()) return found->second;
    const tinygltf::Image& image = model.images[static_cast<size_t>(source)];
    const std::string imageName = quotedName("image", source, image.name.empty() ? image.uri : image.name);
    if (image.image.empty()) refuse(imageName + " could not be read (a missing file or buffer view)");
    std::string extension = image.mimeType == "image/jpeg" ? "jpg" : image.mimeType == "image/png" ? "png" : "";
    if (extension.empty()) {
      const size_t dot = image.uri.rfind('.');
      extension = dot == std::string::npos ? "png" : image.uri.substr(dot + 1);
      for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (extension.empty() || extension.size() > 4 || extension.find('/') != std::string::npos) extension = "png";
    }
    const std::string member = std::string(kImportedPrefix) + "textures/image-" + std::to_string(source) + "." + extension;
    out.members.push_back({member, image.image});
    scene.add_texture()->set_source(member);
    return textureEntry[source] = static_cast<uint32_t>(scene.texture_size());
  }

  uint32_t material(int m) {
    if (const auto found = materialEntry.find(m); found != materialEntry.end()) return found->second;
    if (m >= 0 && static_cast<size_t>(m) >= model.materials.size())
      refuse("a primitive names material " + std::to_string(m) + ", which does not exist");
    const tinygltf::Material fallback;
    const tinygltf::Material& source = m >= 0 ? model.materials[static_cast<size_t>(m)] : fallback;
    const std::string what = m >= 0 ? quotedName("material", m, source.name) : "the default material";
    std::vector<double> base = source.pbrMetallicRoughness.baseColorFactor;
    base.resize(4, 1.0);
    std::vector<double> emissive = source.emissiveFactor;
    emissive.resize(3, 0.0);
    if (const auto strength = source.extensions.find("KHR_materials_emissive_strength"); strength != source.extensions.end()) {
      const tinygltf::Value& value = strength->second.Get("emissiveStrength");
      if (value.IsNumber())
        for (double& e : emissive) e *= value.GetNumberAsDouble();
    }
    uint32_t textureId = 0;
    bool nearest = false;  // the texture's sampler asks for unfiltered magnification
    if (source.pbrMetallicRoughness.baseColorTexture.index >= 0) {
      textureId = texture(source.pbrMetallicRoughness.baseColorTexture.index, what);
      const int sampler = model.textures[static_cast<size_t>(source.pbrMetallicRoughness.baseColorTexture.index)].sampler;
      if (sampler >= 0 && static_cast<size_t>(sampler) < model.samplers.size())
        nearest = model.samplers[static_cast<size_t>(sampler)].magFilter == TINYGLTF_TEXTURE_FILTER_NEAREST;
      if (source.pbrMetallicRoughness.baseColorTexture.texCoord != 0) note(what + ": only the first texture coordinate set is carried");
    }
    if (source.normalTexture.index >= 0 || source.occlusionTexture.index >= 0 || source.emissiveTexture.index >= 0 ||
        source.pbrMetallicRoughness.metallicRoughnessTexture.index >= 0)
      note(what + ": normal, occlusion, emissive and metallic-roughness textures are not carried");
    if (source.alphaMode != "OPAQUE") note(what + ": alpha mode " + source.alphaMode + " is drawn opaque");

    const uint32_t index = static_cast<uint32_t>(scene.material_size());
    const std::string effectName = std::string(kImportedPrefix) + "effects/material-" + std::to_string(index) + ".cgfx";
    const std::string effect = litEffect(base, emissive, textureId != 0, nearest, source.doubleSided);
    out.members.push_back({effectName, std::vector<uint8_t>(effect.begin(), effect.end())});
    Kestrel::Shader* shader = scene.add_shader();
    shader->set_source(effectName);
    if (textureId != 0) {
      Kestrel::Sampler* sampler = shader->add_sampler();
      sampler->set_name("baseMap");
      sampler->set_texid(textureId);
    }
    Kestrel::Material* record = scene.add_material();
    record->set_r(static_cast<float>(base[0]));
    record->set_g(static_cast<float>(base[1]));
    record->set_b(static_cast<float>(base[2]));
    record->set_mappingtype(textureId != 0 ? Kestrel::UV : Kestrel::FLAT);
    record->set_shader(static_cast<uint32_t>(scene.shader_size()));
    record->set_ttexid(textureId);
    return materialEntry[m] = index + 1;
  }

  // One small effect per material, its colours written into the source: the renderer hands an
  // effect the camera, the time and its samplers, never a material's colour.
  static std::string litEffect(const std::vector<double>& base, const std::vector<double>& emissive, bool textured,
                               bool nearest, bool doubleSided) {
    std::ostringstream e;
    e << "// Written by pylon import: the base colour" << (textured ? " times its texture" : "")
      << ", lit by a light above and behind the camera, plus the emissive colour.\n\n";
    if (textured)
      e << "sampler2D baseMap = sampler_state {\n  MinFilter = " << (nearest ? "NearestMipmapLinear" : "LinearMipmapLinear")
        << ";\n  MagFilter = " << (nearest ? "Nearest" : "Linear") << ";\n  WrapS = Repeat;\n  WrapT = Repeat;\n};\n\n";
    e << "glsl_shared {\n  varying vec3 normal;\n  varying vec2 uv;\n}\n\n"
         "glsl_vertex litVS {\n  void main() {\n    normal = gl_NormalMatrix * gl_Normal;\n"
         "    uv = gl_MultiTexCoord0.xy;\n    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;\n  }\n}\n\n"
         "glsl_fragment litFS {\n  void main() {\n"
      << "    vec3 base = vec3(" << number(base[0]) << ", " << number(base[1]) << ", " << number(base[2]) << ");\n";
    if (textured) e << "    base *= texture2D(baseMap, uv).rgb;\n";
    e << "    vec3 n = normalize(normal);\n"
      << "    float light = 0.3 + 0.7 * " << (doubleSided ? "abs" : "max") << "(dot(n, normalize(vec3(0.4, 0.7, 0.6)))"
      << (doubleSided ? "" : ", 0.0") << ");\n"
      << "    gl_FragColor = vec4(base * light + vec3(" << number(emissive[0]) << ", " << number(emissive[1]) << ", "
      << number(emissive[2]) << "), 1.0);\n  }\n}\n\n"
      << "technique main {\n  pass p0 {\n    DepthTestEnable = true;\n    DepthMask = true;\n"
      << "    CullFaceEnable = " << (doubleSided ? "false" : "true") << ";\n"
      << "    VertexProgram = compile glsl120 litVS;\n    FragmentProgram = compile glsl120 litFS;\n  }\n}\n";
    return e.str();
  }

  // -- camera and lights --

  // The world transform of node n at `time`: position and rotation (scale is dropped).
  std::pair<std::array<double, 3>, Quat> worldAt(int n, float time) const {
    std::array<double, 3> position{0, 0, 0};
    Quat rotation{0, 0, 0, 1};
    std::array<double, 3> scale{1, 1, 1};
    std::vector<int> chain{n};
    for (auto p = parentOfNode.find(n); p != parentOfNode.end(); p = parentOfNode.find(p->second)) chain.push_back(p->second);
    // From the root down: p' = parent.t + parent.r * (parent.s * p).
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      const NodeTrs trs = trsAt(*it, time);
      const std::array<double, 3> t{trs.t[0] * scale[0], trs.t[1] * scale[1], trs.t[2] * scale[2]};
      const Quat v{t[0], t[1], t[2], 0};
      const Quat conj{-rotation[0], -rotation[1], -rotation[2], rotation[3]};
      auto mul = [](const Quat& a, const Quat& b) {
        return Quat{a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1], a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
                    a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3], a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
      };
      const Quat turned = mul(mul(rotation, v), conj);
      position = {position[0] + turned[0], position[1] + turned[1], position[2] + turned[2]};
      rotation = mul(rotation, trs.r);
      scale = {scale[0] * trs.s[0], scale[1] * trs.s[1], scale[2] * trs.s[2]};  // exact for uniform scales
    }
    return {position, rotation};
  }

  void addCamera() {
    int chosen = -1;
    for (int n : order) {
      const tinygltf::Node& node = model.nodes[static_cast<size_t>(n)];
      if (node.camera < 0) continue;
      if (static_cast<size_t>(node.camera) >= model.cameras.size())
        refuse(nodeName(n) + " names camera " + std::to_string(node.camera) + ", which does not exist");
      const std::string& cameraName = model.cameras[static_cast<size_t>(node.camera)].name;
      if (options.cameraName.empty() || options.cameraName == node.name || options.cameraName == cameraName) {
        if (chosen < 0) chosen = n;
      } else {
        note(nodeName(n) + ": a camera that is not the scene camera is not carried");
      }
    }
    if (chosen < 0)
      refuse(options.cameraName.empty() ? "the scene has no camera (add one in the 3D tool)"
                                        : "the scene has no camera named '" + options.cameraName + "'");
    const tinygltf::Node& node = model.nodes[static_cast<size_t>(chosen)];
    out.cameraNode = node.name;
    const tinygltf::Camera& source = model.cameras[static_cast<size_t>(node.camera)];
    Kestrel::Camera* camera = scene.add_camera();
    camera->set_name(source.name.empty() ? node.name : source.name);
    double yfov = source.perspective.yfov;
    if (source.type != "perspective") {
      note("camera '" + camera->name() + "': an orthographic camera is drawn in perspective");
      yfov = 0.8;
    }
    if (!(yfov > 1e-4 && yfov < 3.14)) refuse("camera '" + camera->name() + "' has a field of view of " + number(yfov) + " radians");
    constantEnvelope(static_cast<float>(1.0 / std::tan(yfov / 2)), *camera->mutable_zoomfactor());
    note("camera '" + camera->name() + "': its clipping planes and aspect ratio are the player's own (near 4, far 530, the view's 16:9)");
    for (int i = 0; i < 6; ++i) camera->add_motion();
    auto envelope = [&](int i) { return camera->mutable_motion(i); };

    const bool hasParent = parentOfNode.count(chosen) != 0;
    const Curve* translation = curve(chosen, "translation");
    const Curve* rotation = curve(chosen, "rotation");
    if (!hasParent) {
      // A root camera: its own channels, key for key.
      const NodeTrs trs = staticTrs(chosen);
      for (int i = 0; i < 3; ++i) {
        if (translation) componentEnvelope(*translation, i, 1.0f, *envelope(i));
        else constantEnvelope(static_cast<float>(trs.t[static_cast<size_t>(i)]), *envelope(i));
      }
      if (rotation) {
        rotationEnvelopes(*rotation, EulerOrder::Camera, kRotationToleranceDegrees, {envelope(3), envelope(4), envelope(5)});
      } else {
        const Euler e = quatToEuler(trs.r, EulerOrder::Camera, {0, 0, 0});
        for (int i = 0; i < 3; ++i) constantEnvelope(static_cast<float>(e[static_cast<size_t>(i)]), *envelope(3 + i));
      }
      return;
    }
    // Under parents: the engine's camera follows no parent, so the world motion is sampled at
    // every key of the chain, with keys added where straight spans would leave it.
    std::set<float> keyTimes;
    for (int n = chosen;;) {
      for (const char* path : {"translation", "rotation", "scale"})
        if (const Curve* c = curve(n, path)) keyTimes.insert(c->times.begin(), c->times.end());
      const auto p = parentOfNode.find(n);
      if (p == parentOfNode.end()) break;
      n = p->second;
    }
    if (keyTimes.empty()) keyTimes.insert(0.0f);
    const std::vector<float> times(keyTimes.begin(), keyTimes.end());
    double extent = 1.0;
    for (float t : times)
      for (double v : worldAt(chosen, t).first) extent = std::max(extent, std::fabs(v));
    positionEnvelopes(
        times, [&](float t) { return worldAt(chosen, t).first; }, 1e-5 * extent, {envelope(0), envelope(1), envelope(2)});
    rotationEnvelopes(
        times, [&](float t) { return worldAt(chosen, t).second; }, false, EulerOrder::Camera, kRotationToleranceDegrees,
        {envelope(3), envelope(4), envelope(5)});
  }

  void addLights() {
    for (int n : order) {
      const tinygltf::Node& node = model.nodes[static_cast<size_t>(n)];
      const auto found = node.extensions.find("KHR_lights_punctual");
      if (found == node.extensions.end()) continue;
      const tinygltf::Value& index = found->second.Get("light");
      if (!index.IsNumber()) continue;
      const int l = index.GetNumberAsInt();
      if (l < 0 || static_cast<size_t>(l) >= model.lights.size())
        refuse(nodeName(n) + " names light " + std::to_string(l) + ", which does not exist");
      const tinygltf::Light& source = model.lights[static_cast<size_t>(l)];
      Kestrel::Light* light = scene.add_light();
      light->set_type(source.type == "spot" ? Kestrel::SPOT : source.type == "point" ? Kestrel::POINT : Kestrel::DISTANT);
      std::vector<double> colour = source.color;
      colour.resize(3, 1.0);
      light->set_r(static_cast<float>(colour[0]));
      light->set_g(static_cast<float>(colour[1]));
      light->set_b(static_cast<float>(colour[2]));
      light->set_intensity(static_cast<float>(source.intensity));
      light->mutable_parent()->set_type(1);
      light->mutable_parent()->set_number(static_cast<uint32_t>(objectOfNode[n] + 1));
      note("lights are recorded (type, colour, intensity, node) but do not light the picture");
    }
  }
};

std::string directoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

int importGltfMemory(const uint8_t* data, size_t size, const std::string& name, const ImportOptions& options,
                     ImportedScene& out, std::string& error) {
  out = ImportedScene{};
  tinygltf::Model model;
  tinygltf::TinyGLTF reader;
  reader.SetImageLoader(keepImageBytes, nullptr);
  std::string readError, warning;
  const bool binary = size >= 4 && std::memcmp(data, "glTF", 4) == 0;
  bool ok = false;
  try {
    ok = binary ? reader.LoadBinaryFromMemory(&model, &readError, &warning, data, static_cast<unsigned>(size), directoryOf(name))
                : reader.LoadASCIIFromString(&model, &readError, &warning, reinterpret_cast<const char*>(data),
                                             static_cast<unsigned>(size), directoryOf(name));
  } catch (const std::exception& e) {
    readError = e.what();
  }
  if (!ok) {
    while (!readError.empty() && (readError.back() == '\n' || readError.back() == ' ')) readError.pop_back();
    error = name + ": not a readable glTF 2.0 file: " + (readError.empty() ? "unknown reason" : readError);
    return 1;
  }
  try {
    Converter(model, options, out).run();
    out.files = externalFiles(model, directoryOf(name));
  } catch (const Refusal& r) {
    error = name + ": " + r.what;
    return 1;
  } catch (const std::exception& e) {
    error = name + ": " + e.what();
    return 1;
  }
  return 0;
}

int importGltf(const std::string& path, const ImportOptions& options, ImportedScene& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot open the file";
    return 1;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty()) {
    error = path + ": the file is empty";
    return 1;
  }
  return importGltfMemory(bytes.data(), bytes.size(), path, options, out, error);
}

}  // namespace gltf_import
