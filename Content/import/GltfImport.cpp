#include "import/GltfImport.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "import/GltfAccessors.h"
#include "import/GltfCamera.h"
#include "import/GltfCurves.h"
#include "import/GltfExtensions.h"
#include "import/GltfMaterialEffect.h"
#include "import/GltfWorld.h"
#include "import/GltfSafety.h"
#include "import/GltfWarnings.h"
#include "platform/ConfinedFile.h"
#include "resources/ImageDecode.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"

namespace gltf_import {

const char* const kImportedPrefix = "imported/";

namespace {

using tinygltf::Model;

constexpr double kRotationToleranceDegrees = 0.05;
// The importer's sun for a file without lights: 3 W/m2 as a Blender sun, at 683 lm/W.
constexpr double kImporterSunLux = 3 * 683.0;
// Deeper hierarchies are refused: the engine walks an object's parents for every frame.
constexpr size_t kMaxDepth = 1000;

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

// ---- the conversion ----

struct NodeTrs {
  std::array<double, 3> t{0, 0, 0}, s{1, 1, 1};
  Quat r{0, 0, 0, 1};
};

class Converter {
 public:
  Converter(const Model& model, const SafeSource& source, const ImportOptions& options, ImportedScene& out)
      : model(model), prepared(source), options(options), out(out), scene(out.scene) {}

  void run() {
    readAnimations();
    orderNodes();
    effectLights = std::min(countLights(), kMaxLights);
    for (size_t i = 0; i < order.size(); ++i) addObject(i);
    addCamera();
    for (int n : order) out.objectNodes.push_back(model.nodes[static_cast<size_t>(n)].name);
    for (const auto& [key, c] : curves) out.curves[{model.nodes[static_cast<size_t>(key.first)].name, key.second}] = c;
    addLights();
    for (const std::string& extension : model.extensionsUsed)
      if (!implementedExtension(extension))
        note("extension " + extension + " is not carried");
    if (!model.skins.empty()) note("skins (" + std::to_string(model.skins.size()) + ") are not carried: meshes stay in their rest pose");
    Kestrel::Info* info = scene.mutable_info();
    info->set_tool("pylon import" + (model.asset.generator.empty() ? std::string() : " (" + model.asset.generator + ")"));
    info->set_version("glTF " + model.asset.version);
    info->set_copyright(model.asset.copyright);
  }

 private:
  const Model& model;
  const SafeSource& prepared;
  const ImportOptions& options;
  ImportedScene& out;
  Kestrel::KestrelLib& scene;

  std::vector<int> order;             // object i is node order[i]
  std::map<int, int> objectOfNode;    // node -> object index
  std::map<int, int> parentOfNode;    // node -> parent node
  std::map<int, size_t> depthOfNode;  // node -> number of nodes above it
  std::map<int, float> scaleFromParents;  // node -> inheritedScale(node), once worked out
  std::map<std::pair<int, std::string>, Curve> curves;  // (node, path) -> curve
  std::map<int, std::array<uint32_t, 5>> meshStreams;  // mesh -> points, normals, tangents, uvs, polygons IDs
  std::map<int, std::vector<Kestrel::Surface>> meshSurfaces;
  std::map<int, Kestrel::BoundingBox> meshBounds;
  std::map<int, uint32_t> materialEntry;  // glTF material (-1: none) -> material entry
  std::map<int, uint32_t> textureEntry;   // glTF image -> texture entry
  std::map<std::string, std::string> effectMember;  // effect text -> its archive member
  int materialIndex = -1;  // the glTF material being converted
  int effectLights = 0;    // the lights the scene hands its effects: what they are written for
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
      depthOfNode[n] = parent >= 0 ? depthOfNode[parent] + 1 : 0;
      if (depthOfNode[n] >= kMaxDepth)
        refuse("the hierarchy is more than " + std::to_string(kMaxDepth) + " nodes deep (at " + nodeName(n) + ")");
      if (parent >= 0) parentOfNode[n] = parent;
      const std::vector<int>& children = model.nodes[static_cast<size_t>(n)].children;
      for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back({*it, n});
    }
  }

  // The engine applies no parent's scale to its children. A uniform, unanimated scale on the
  // parents is folded into the child's own translation and scale instead.
  // Worked out once per node from its parent's (parents come first in object order), so a deep
  // hierarchy costs one step per node.
  float inheritedScale(int n) {
    const auto p = parentOfNode.find(n);
    if (p == parentOfNode.end()) return scaleFromParents[n] = 1.0f;
    const auto known = scaleFromParents.find(p->second);
    double factor = known != scaleFromParents.end() ? known->second : inheritedScale(p->second);
    const NodeTrs trs = staticTrs(p->second);
    const bool uniform = std::fabs(trs.s[0] - trs.s[1]) < 1e-6 && std::fabs(trs.s[0] - trs.s[2]) < 1e-6;
    if (curve(p->second, "scale") || !uniform) note(nodeName(p->second) + ": a non-uniform or animated scale does not reach its children");
    else factor *= trs.s[0];
    return scaleFromParents[n] = static_cast<float>(factor);
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
      int uvSet = 0;
      const UvTransform transform = baseColorTransform(primitive.material, uvSet);
      const std::string uvName = "TEXCOORD_" + std::to_string(uvSet);
      for (const auto& [attribute, accessor] : primitive.attributes) {
        (void)accessor;
        if (attribute != "POSITION" && attribute != "NORMAL" && attribute != "TANGENT" && attribute != uvName)
          note(meshName + ": vertex attribute " + attribute + " is not carried");
      }
      PrimitiveArrays arrays = readPrimitive(primitive, uvName, what);
      const std::vector<float>& p3 = arrays.positions;
      const size_t count = p3.size() / 3;
      if (points.size() / 3 + count > kMaxElements) refuse(meshName + " has more vertices than the importer takes");
      for (const auto& [name, v, components] : {std::tuple<const char*, const std::vector<float>*, size_t>{"NORMAL", &arrays.normals, 3},
                                                 {"TANGENT", &arrays.tangents, 4}, {uvName.c_str(), &arrays.uvs, 2}})
        if (!v->empty() && v->size() / components != count)
          refuse(what + ": " + name + " has " + std::to_string(v->size() / components) + " elements for " + std::to_string(count) +
                 " positions");
      std::vector<float> n3 = std::move(arrays.normals), t4 = std::move(arrays.tangents), uv = std::move(arrays.uvs);
      applyUvTransform(transform, uv);
      std::vector<uint32_t> list = std::move(arrays.indices);
      if (arrays.indexed) {
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

  // A primitive's attributes, from its accessors or its Draco data.
  PrimitiveArrays readPrimitive(const tinygltf::Primitive& primitive, const std::string& uvName, const std::string& what) {
    PrimitiveArrays a;
    if (primitive.extensions.count("KHR_draco_mesh_compression")) {
      decodeDracoPrimitive(model, primitive, uvName, a, what);
      return a;
    }
    const auto position = primitive.attributes.find("POSITION");
    if (position == primitive.attributes.end()) refuse(what + " has no POSITION attribute");
    a.positions = readFloats(model, position->second, 3, what + " POSITION");
    auto optional = [&](const std::string& name, int components) {
      const auto found = primitive.attributes.find(name);
      return found == primitive.attributes.end() ? std::vector<float>() : readFloats(model, found->second, components, what + " " + name);
    };
    a.normals = optional("NORMAL", 3);
    a.tangents = optional("TANGENT", 4);
    a.uvs = optional(uvName, 2);
    if (primitive.indices >= 0) {
      a.indices = readIndices(model, primitive.indices, what + " indices");
      a.indexed = true;
    }
    return a;
  }

  // The texture coordinate set and KHR_texture_transform of material m's base colour texture.
  UvTransform baseColorTransform(int m, int& uvSet) const {
    uvSet = 0;
    if (m < 0 || static_cast<size_t>(m) >= model.materials.size()) return {};
    const tinygltf::TextureInfo& info = model.materials[static_cast<size_t>(m)].pbrMetallicRoughness.baseColorTexture;
    if (info.index < 0) return {};
    const std::string what = quotedName("material", m, model.materials[static_cast<size_t>(m)].name);
    const UvTransform transform = textureTransform(info.extensions, what);
    uvSet = transform.texCoord >= 0 ? transform.texCoord : info.texCoord;
    if (uvSet < 0 || uvSet > 7) refuse(what + ": its base colour texture names texture coordinate set " + std::to_string(uvSet));
    return transform;
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
    const std::string& uri = static_cast<size_t>(source) < prepared.imageUris.size() ? prepared.imageUris[static_cast<size_t>(source)] : image.uri;
    const std::string imageName = quotedName("image", source, image.name.empty() ? uri : image.name);
    if (image.image.empty()) refuse(imageName + " could not be read (a missing file or buffer view)");
    if (const std::string problem = imageProblem(image.image); !problem.empty())
      refuse(imageName + " is not an image the player can load: " + problem);
    std::string extension = image.mimeType == "image/jpeg" ? "jpg" : image.mimeType == "image/png" ? "png" : "";
    if (extension.empty()) {
      const size_t dot = uri.rfind('.');
      extension = dot == std::string::npos ? "png" : uri.substr(dot + 1);
      for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (extension.empty() || extension.size() > 4 || extension.find('/') != std::string::npos) extension = "png";
    }
    const std::string member = std::string(kImportedPrefix) + "textures/image-" + std::to_string(source) + "." + extension;
    out.members.push_back({member, image.image});
    scene.add_texture()->set_source(member);
    return textureEntry[source] = static_cast<uint32_t>(scene.texture_size());
  }

  // The texture entry and sampler states of one of material m's textures; 0 without one.
  uint32_t mapOf(int gltfTexture, int texCoord, const tinygltf::ExtensionMap& extensions, const std::string& what,
                 const char* role, MapSampler& sampler) {
    if (gltfTexture < 0) return 0;
    const uint32_t id = texture(gltfTexture, what);
    const int chosen = model.textures[static_cast<size_t>(gltfTexture)].sampler;
    if (chosen >= 0 && static_cast<size_t>(chosen) < model.samplers.size()) {
      const tinygltf::Sampler& source = model.samplers[static_cast<size_t>(chosen)];
      sampler.nearest = source.magFilter == TINYGLTF_TEXTURE_FILTER_NEAREST;
      sampler.wrapS = wrapMode(source.wrapS);
      sampler.wrapT = wrapMode(source.wrapT);
    }
    // Every texture of a material reads the coordinates of its base colour texture.
    if (std::string(role) != "base colour") {
      const UvTransform transform = textureTransform(extensions, what);
      const tinygltf::TextureInfo& base = model.materials[static_cast<size_t>(materialIndex)].pbrMetallicRoughness.baseColorTexture;
      const int set = transform.texCoord >= 0 ? transform.texCoord : texCoord;
      int baseSet = 0;
      const UvTransform baseTransform = baseColorTransform(materialIndex, baseSet);
      const bool same = set == baseSet && transform.present == baseTransform.present && transform.rotation == baseTransform.rotation &&
                        transform.offset[0] == baseTransform.offset[0] && transform.offset[1] == baseTransform.offset[1] &&
                        transform.scale[0] == baseTransform.scale[0] && transform.scale[1] == baseTransform.scale[1];
      if (!same && !(base.index < 0 && set == 0 && !transform.present))
        note(what + ": its " + role + " texture is read with the base colour texture's coordinates (its own set or transform is not carried)");
    }
    return id;
  }

  uint32_t material(int m) {
    if (const auto found = materialEntry.find(m); found != materialEntry.end()) return found->second;
    if (m >= 0 && static_cast<size_t>(m) >= model.materials.size())
      refuse("a primitive names material " + std::to_string(m) + ", which does not exist");
    const tinygltf::Material fallback;
    const tinygltf::Material& source = m >= 0 ? model.materials[static_cast<size_t>(m)] : fallback;
    const std::string what = m >= 0 ? quotedName("material", m, source.name) : "the default material";
    materialIndex = m;
    const tinygltf::PbrMetallicRoughness& pbr = source.pbrMetallicRoughness;
    std::vector<double> base = pbr.baseColorFactor;
    base.resize(4, 1.0);
    std::vector<double> emissive = source.emissiveFactor;
    emissive.resize(3, 0.0);
    if (const auto strength = source.extensions.find("KHR_materials_emissive_strength"); strength != source.extensions.end()) {
      const tinygltf::Value& value = strength->second.Get("emissiveStrength");
      if (value.IsNumber())
        for (double& e : emissive) e *= value.GetNumberAsDouble();
    }
    MaterialShape shape;
    shape.unlit = source.extensions.count("KHR_materials_unlit") != 0;
    shape.lights = effectLights;
    Kestrel::Shader* shader = scene.add_shader();
    auto addMap = [&](const char* name, uint32_t id, bool& present) {
      present = id != 0;
      if (!present) return;
      Kestrel::Sampler* sampler = shader->add_sampler();
      sampler->set_name(name);
      sampler->set_texid(id);
    };
    const uint32_t baseId = m >= 0 ? mapOf(pbr.baseColorTexture.index, pbr.baseColorTexture.texCoord, pbr.baseColorTexture.extensions,
                                           what, "base colour", shape.baseColourSampler) : 0;
    addMap("baseMap", baseId, shape.baseColour);
    if (m >= 0 && !shape.unlit) {
      addMap("metallicRoughnessMap",
             mapOf(pbr.metallicRoughnessTexture.index, pbr.metallicRoughnessTexture.texCoord, pbr.metallicRoughnessTexture.extensions,
                   what, "metallic-roughness", shape.metallicRoughnessSampler),
             shape.metallicRoughness);
      addMap("normalMap",
             mapOf(source.normalTexture.index, source.normalTexture.texCoord, source.normalTexture.extensions, what, "normal",
                   shape.normalSampler),
             shape.normal);
      addMap("occlusionMap",
             mapOf(source.occlusionTexture.index, source.occlusionTexture.texCoord, source.occlusionTexture.extensions, what,
                   "occlusion", shape.occlusionSampler),
             shape.occlusion);
      addMap("emissiveMap",
             mapOf(source.emissiveTexture.index, source.emissiveTexture.texCoord, source.emissiveTexture.extensions, what, "emissive",
                   shape.emissiveSampler),
             shape.emissive);
    }
    shape.alpha = source.alphaMode == "BLEND" ? AlphaMode::Blend : source.alphaMode == "MASK" ? AlphaMode::Mask : AlphaMode::Opaque;
    shape.doubleSided = source.doubleSided;
    for (const auto& [extension, value] : source.extensions) {
      (void)value;
      if (extension != "KHR_materials_emissive_strength" && extension != "KHR_texture_transform" &&
          extension != "KHR_materials_unlit")
        note(what + ": " + extension + " is not carried");
    }

    auto value = [&](const char* name, std::initializer_list<double> values) {
      Kestrel::ShaderValue* v = shader->add_value();
      v->set_name(name);
      for (double x : values) v->add_value(static_cast<float>(std::isfinite(x) ? x : 0.0));
    };
    value("baseColourFactor", {base[0], base[1], base[2], base[3]});
    value("metallicRoughness", {pbr.metallicFactor, pbr.roughnessFactor});
    value("emissiveFactor", {emissive[0], emissive[1], emissive[2]});
    if (shape.normal) value("normalScale", {source.normalTexture.scale});
    if (shape.occlusion) value("occlusionStrength", {source.occlusionTexture.strength});
    if (shape.alpha == AlphaMode::Mask) value("alphaCutoff", {source.alphaCutoff});

    // Materials of one shape share one effect file, so the player compiles it once.
    const std::string effect = materialEffect(shape);
    auto member = effectMember.find(effect);
    if (member == effectMember.end()) {
      const std::string name = std::string(kImportedPrefix) + "effects/lit-" + std::to_string(effectMember.size()) + ".cgfx";
      member = effectMember.emplace(effect, name).first;
      out.members.push_back({name, std::vector<uint8_t>(effect.begin(), effect.end())});
    }
    shader->set_source(member->second);

    const uint32_t index = static_cast<uint32_t>(scene.material_size());
    Kestrel::Material* record = scene.add_material();
    record->set_r(static_cast<float>(base[0]));
    record->set_g(static_cast<float>(base[1]));
    record->set_b(static_cast<float>(base[2]));
    record->set_mappingtype(baseId != 0 ? Kestrel::UV : Kestrel::FLAT);
    record->set_shader(static_cast<uint32_t>(scene.shader_size()));
    record->set_ttexid(baseId);
    if (shape.alpha == AlphaMode::Blend) record->set_blended(true);
    return materialEntry[m] = index + 1;
  }

  static std::string wrapMode(int glTF) {
    return glTF == TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE ? "ClampToEdge" : glTF == TINYGLTF_TEXTURE_WRAP_MIRRORED_REPEAT ? "MirroredRepeat" : "Repeat";
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

  // Node n's full transform in the world at `time` (column-major, every parent's scale in it).
  std::array<double, 16> worldMatrix(int n, float time) const {
    std::vector<int> chain{n};
    for (auto p = parentOfNode.find(n); p != parentOfNode.end(); p = parentOfNode.find(p->second)) chain.push_back(p->second);
    std::array<double, 16> world{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
      const NodeTrs trs = trsAt(*it, time);
      const auto [x, y, z, w] = trs.r;
      const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
                           2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                           2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
      std::array<double, 16> local{};
      for (int c = 0; c < 3; ++c)
        for (int row = 0; row < 3; ++row) local[static_cast<size_t>(4 * c + row)] = r[3 * c + row] * trs.s[static_cast<size_t>(c)];
      local[12] = trs.t[0], local[13] = trs.t[1], local[14] = trs.t[2], local[15] = 1;
      std::array<double, 16> product{};
      for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row)
          for (int k = 0; k < 4; ++k)
            product[static_cast<size_t>(4 * c + row)] += world[static_cast<size_t>(4 * k + row)] * local[static_cast<size_t>(4 * c + k)];
      world = product;
    }
    return world;
  }

  // The world-space box around every mesh at the first frame (the node origins when there is
  // no mesh).
  Bounds sceneBounds() const {
    Bounds bounds;
    for (int pass = 0; pass < 2 && bounds.empty(); ++pass) {
      for (int n : order) {
        const int mesh = model.nodes[static_cast<size_t>(n)].mesh;
        const auto box = meshBounds.find(mesh);
        if (pass == 0 && (mesh < 0 || box == meshBounds.end())) continue;
        const std::array<double, 16> m = worldMatrix(n, 0.0f);
        for (int corner = 0; corner < (pass == 0 ? 8 : 1); ++corner) {
          const Vec3 p = pass == 1 ? Vec3{0, 0, 0}
                                   : Vec3{corner & 1 ? box->second.maxx() : box->second.minx(), corner & 2 ? box->second.maxy() : box->second.miny(),
                                          corner & 4 ? box->second.maxz() : box->second.minz()};
          bounds.add({m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12], m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13],
                      m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14]});
        }
      }
    }
    return bounds;
  }

  Kestrel::Camera* newCamera(const std::string& name, double yfov) {
    Kestrel::Camera* camera = scene.add_camera();
    camera->set_name(name);
    if (!(yfov > 1e-4 && yfov < 3.14)) refuse("camera '" + name + "' has a field of view of " + number(yfov) + " radians");
    constantEnvelope(static_cast<float>(1.0 / std::tan(yfov / 2)), *camera->mutable_zoomfactor());
    for (int i = 0; i < 6; ++i) camera->add_motion();
    return camera;
  }

  void placeStill(Kestrel::Camera* camera, const Vec3& position, const Quat& rotation) {
    for (int i = 0; i < 3; ++i) constantEnvelope(static_cast<float>(position[static_cast<size_t>(i)]), *camera->mutable_motion(i));
    const Euler e = quatToEuler(rotation, EulerOrder::Camera, {0, 0, 0});
    for (int i = 0; i < 3; ++i) constantEnvelope(static_cast<float>(e[static_cast<size_t>(i)]), *camera->mutable_motion(3 + i));
  }

  // A file without a camera: one of the importer's own, the whole scene in its view.
  void addFramingCamera(const Bounds& bounds) {
    constexpr double kYfov = 0.8;
    // Nothing of the scene nearer than the player's default near plane (4 units, with a margin),
    // so the whole model shows whether or not the scene part is given the planes recorded here.
    constexpr double kClearance = 4.4;
    const Framing framing = frameBounds(bounds, kYfov, kClearance);
    Kestrel::Camera* camera = newCamera("pylon import", kYfov);
    placeStill(camera, framing.position, framing.rotation);
    const auto [nearPlane, farPlane] = fittedPlanes(bounds, framing.position);
    if (!(farPlane < 1e30)) refuse("the file has no camera, and its scene is too large to frame (" + number(bounds.radius()) + " units across)");
    out.cameraMade = true;
    out.cameraNear = static_cast<float>(nearPlane);
    out.cameraFar = static_cast<float>(farPlane);
    out.messages.push_back("the file has no camera: the importer's own camera frames the scene's bounds at its first frame (a "
                           "three-quarter view from the front; near plane " + number(nearPlane) + ", far plane " + number(farPlane) + ")");
  }

  void addCamera() {
    int chosen = -1;
    for (int n : order) {
      const tinygltf::Node& node = model.nodes[static_cast<size_t>(n)];
      if (node.camera < 0) continue;
      if (static_cast<size_t>(node.camera) >= model.cameras.size())
        refuse(nodeName(n) + " names camera " + std::to_string(node.camera) + ", which does not exist");
      const tinygltf::Camera& listed = model.cameras[static_cast<size_t>(node.camera)];
      if (chosen < 0 && (options.cameraName.empty() || options.cameraName == node.name || options.cameraName == listed.name)) {
        chosen = n;
        continue;
      }
      note("camera '" + (listed.name.empty() ? node.name : listed.name) + "' (" + listed.type + ", " + nodeName(n) +
           ") is not the scene camera");
    }
    const Bounds bounds = sceneBounds();
    if (chosen < 0) {
      if (!options.cameraName.empty()) refuse("the scene has no camera named '" + options.cameraName + "'");
      addFramingCamera(bounds);
      return;
    }
    const tinygltf::Node& node = model.nodes[static_cast<size_t>(chosen)];
    out.cameraNode = node.name;
    const tinygltf::Camera& source = model.cameras[static_cast<size_t>(node.camera)];
    const std::string name = !source.name.empty() ? source.name : !node.name.empty() ? node.name : "camera " + std::to_string(node.camera);
    const Vec3 eye = worldAt(chosen, 0.0f).first;
    const bool orthographic = source.type == "orthographic";
    double yfov = source.perspective.yfov;
    if (orthographic) {
      // The perspective view that shows the orthographic height (2 ymag) at the scene's centre.
      const Vec3 c = bounds.centre();
      const double distance = std::sqrt((c[0] - eye[0]) * (c[0] - eye[0]) + (c[1] - eye[1]) * (c[1] - eye[1]) + (c[2] - eye[2]) * (c[2] - eye[2]));
      yfov = distance > 1e-6 && source.orthographic.ymag > 0 ? 2 * std::atan(source.orthographic.ymag / distance) : 0.8;
      note("camera '" + name + "': an orthographic camera is drawn in perspective (the field of view that shows its ymag at the scene's centre)");
    }
    Kestrel::Camera* camera = newCamera(name, yfov);
    double nearPlane = orthographic ? source.orthographic.znear : source.perspective.znear;
    double farPlane = orthographic ? source.orthographic.zfar : source.perspective.zfar;
    if (!(std::isfinite(nearPlane) && nearPlane > 0) && !(orthographic && nearPlane == 0))
      refuse("camera '" + name + "' has a near plane of " + number(nearPlane) + " (it must be above 0)");
    const bool fitted = farPlane == 0;
    if (fitted) farPlane = std::max(fittedPlanes(bounds, eye).second, nearPlane * 2);
    if (!(std::isfinite(farPlane) && farPlane > nearPlane))
      refuse("camera '" + name + "' has a far plane of " + number(farPlane) + ", not beyond its near plane");
    if (farPlane > 1e30) refuse("camera '" + name + "' has a far plane of " + number(farPlane) + ", beyond what the player can draw");
    out.cameraNear = static_cast<float>(std::max(nearPlane, farPlane * 1e-6));
    out.cameraFar = static_cast<float>(farPlane);
    out.messages.push_back("camera '" + name + "': near plane " + number(out.cameraNear) + ", far plane " + number(farPlane) +
                           (fitted ? " (the file gives no far plane: fitted to the scene's bounds)" : " (the file's)"));
    if (!orthographic && source.perspective.aspectRatio > 0) note("camera '" + name + "': its aspect ratio is the view's own (16:9)");
    auto envelope = [&](int i) { return camera->mutable_motion(i); };

    const bool hasParent = parentOfNode.count(chosen) != 0;
    const Curve* translation = curve(chosen, "translation");
    const Curve* rotation = curve(chosen, "rotation");
    if (!hasParent) {
      // A root camera: its own channels, key for key.
      const NodeTrs trs = staticTrs(chosen);
      placeStill(camera, trs.t, trs.r);
      for (int i = 0; i < 3; ++i)
        if (translation) componentEnvelope(*translation, i, 1.0f, *envelope(i));
      if (rotation) rotationEnvelopes(*rotation, EulerOrder::Camera, kRotationToleranceDegrees, {envelope(3), envelope(4), envelope(5)});
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

  // Blender's exporter writes a spot's blend b as the inner cone (1 - b) * outer, but Blender
  // blends over the cosines: from cos outer to cos outer + (1 - cos outer) b. The cone
  // Blender draws is the one kept.
  static double blenderInnerCone(double inner, double outer) {
    const double blend = outer > 0 ? (outer - inner) / outer : 0;
    const double c = std::cos(outer);
    return std::acos(std::min(1.0, c + (1 - c) * blend));
  }

  // The lights addLights() will make: one a node that names a light, or the importer's own
  // sun where there are none and no world.
  int countLights() const {
    int count = 0;
    for (int n : order) {
      const auto found = model.nodes[static_cast<size_t>(n)].extensions.find("KHR_lights_punctual");
      if (found != model.nodes[static_cast<size_t>(n)].extensions.end() && found->second.Get("light").IsNumber()) ++count;
    }
    return count == 0 && !options.world ? 1 : count;
  }

  void addLights() {
    const bool fromBlender = model.asset.generator.rfind("Khronos glTF Blender I/O", 0) == 0;
    bool spots = false;
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
      const std::string what = quotedName("light", l, source.name);
      Kestrel::Light* light = scene.add_light();
      light->set_type(source.type == "spot" ? Kestrel::SPOT : source.type == "point" ? Kestrel::POINT : Kestrel::DISTANT);
      std::vector<double> colour = source.color;
      colour.resize(3, 1.0);
      for (double c : colour)
        if (!std::isfinite(c) || c < 0) refuse(what + " has a colour component that is not a number of 0 or more");
      if (!std::isfinite(source.intensity) || source.intensity < 0) refuse(what + " has an intensity that is not a number of 0 or more");
      if (!std::isfinite(source.range) || source.range < 0) refuse(what + " has a range that is not a number of 0 or more");
      light->set_r(static_cast<float>(colour[0]));
      light->set_g(static_cast<float>(colour[1]));
      light->set_b(static_cast<float>(colour[2]));
      light->set_intensity(static_cast<float>(source.intensity));
      if (source.type != "directional") light->set_range(static_cast<float>(source.range));
      if (source.type == "spot") {
        spots = true;
        const double inner = source.spot.innerConeAngle, outer = source.spot.outerConeAngle;
        if (!(inner >= 0 && inner < outer && outer <= 3.14159265358979 / 2 + 1e-9))
          refuse(what + ": its cone angles (inner " + number(inner) + ", outer " + number(outer) +
                 ") are not 0 <= inner < outer <= pi/2");
        light->set_innercone(static_cast<float>(fromBlender ? blenderInnerCone(inner, outer) : inner));
        light->set_outercone(static_cast<float>(outer));
      }
      light->mutable_parent()->set_type(1);
      light->mutable_parent()->set_number(static_cast<uint32_t>(objectOfNode[n] + 1));
    }
    if (spots && fromBlender)
      out.messages.push_back("spot lights: the inner cones are those Blender draws (its exporter writes the spot blend as an angle; Blender blends over the cosines)");
    if (scene.light_size() == 0 && !options.world) {
      // Without lights or a world the scene would be black; a sun over the camera's
      // shoulder shows its shapes and materials, as the importer's camera shows its extent.
      Kestrel::Light* light = scene.add_light();
      light->set_type(Kestrel::DISTANT);
      light->set_r(1), light->set_g(1), light->set_b(1);
      light->set_intensity(kImporterSunLux);
      out.messages.push_back("the file has no lights and no world: the importer's own sun (" +
                             std::to_string(static_cast<int>(kImporterSunLux)) + " lux, from above and behind the camera) lights the scene");
    }
    if (options.world) {
      Kestrel::World* world = scene.mutable_world();
      world->set_r(options.worldColour[0]);
      world->set_g(options.worldColour[1]);
      world->set_b(options.worldColour[2]);
      for (float t : options.worldTerms) world->add_ambientsh(t);
    }
  }
};

std::string directoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

int parseWorld(const std::string& text, ImportOptions& options, std::string& error) {
  std::error_code ignored;
  if (text.find(',') == std::string::npos || std::filesystem::exists(text, ignored)) {
    // An image file.
    ShTerms terms;
    if (readWorldImage(text, terms, error) != 0) return 1;
    options.world = true;
    options.worldTerms.assign(terms.begin(), terms.end());
    for (size_t i = 0; i < 3; ++i) options.worldColour[i] = std::max(0.0f, terms[i] * 0.282095f);  // the mean: L00 Y00
    return 0;
  }
  float c[3];
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t end = i < 2 ? text.find(',', at) : text.size();
    const std::string part = end == std::string::npos ? std::string() : text.substr(at, end - at);
    char* stop = nullptr;
    const double v = part.empty() ? -1 : std::strtod(part.c_str(), &stop);
    if (part.empty() || *stop != '\0' || !std::isfinite(v) || v < 0 || v > 1e6) {
      error = "--world needs R,G,B (three numbers of 0 or more, linear, as Blender's world colour) or an image file, not \"" +
              text + "\"";
      return 1;
    }
    c[i] = static_cast<float>(v);
    at = end + 1;
  }
  options.world = true;
  std::copy(c, c + 3, options.worldColour);
  return 0;
}

int importGltfMemory(const uint8_t* data, size_t size, const std::string& name, const ImportOptions& options,
                     ImportedScene& out, std::string& error, const MemberReader& members) {
  out = ImportedScene{};
  SafeSource source;
  std::string problem;
  if (prepareSource(data, size, members ? membersBeside(name, members) : filesBeneath(directoryOf(name)), source, problem) != 0) {
    error = name + ": " + problem;
    return 1;
  }
  tinygltf::Model model;
  tinygltf::TinyGLTF reader;
  reader.SetImageLoader(keepImageBytes, nullptr);
  tinygltf::FsCallbacks files = fileCallbacks(source);
  reader.SetFsCallbacks(files);
  std::string readError, warning;
  bool ok = false;
  try {
    ok = reader.LoadASCIIFromString(&model, &readError, &warning, source.json.data(), static_cast<unsigned>(source.json.size()), "");
  } catch (const std::exception& e) {
    readError = e.what();
  }
  if (!ok) {
    while (!readError.empty() && (readError.back() == '\n' || readError.back() == ' ')) readError.pop_back();
    error = name + ": not a readable glTF 2.0 file: " + (readError.empty() ? "unknown reason" : readError);
    return 1;
  }
  try {
    Converter(model, source, options, out).run();
    out.files = externalFiles(source.readUris, directoryOf(name));
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
  std::vector<uint8_t> bytes;
  std::string reason;
  if (platform::readRegularFile(path, kMaxGltfFileBytes, bytes, reason) != 0) {
    error = path + ": the file " + reason;
    return 1;
  }
  if (bytes.empty()) {
    error = path + ": the file is empty";
    return 1;
  }
  return importGltfMemory(bytes.data(), bytes.size(), path, options, out, error);
}

MemberReader archiveMembers(Loader& loader) {
  return [&loader](const std::string& member, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& reason) {
    const uint32_t size = loader.getSize(member);
    if (size == 0) {
      reason = "is not in the archive";
      return 1;
    }
    if (size > maxBytes) {
      reason = "is larger than the importer takes (" + std::to_string(size) + " bytes, at most " + std::to_string(maxBytes) + ")";
      return 1;
    }
    bytes.assign(size, 0);
    if (loader.read(member, bytes.data()) != 0) {
      reason = "cannot be read from the archive";
      bytes.clear();
      return 1;
    }
    return 0;
  };
}

}  // namespace gltf_import
