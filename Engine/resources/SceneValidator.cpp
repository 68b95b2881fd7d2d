#include "resources/SceneValidator.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace {

// Motion channels read per owner: x, y, z, H, P, B and, for objects, sx, sy, sz.
constexpr int objectChannels = 9;
constexpr int cameraChannels = 6;

std::string num(uint64_t value) { return std::to_string(value); }

// "" when `id` is 0 (none) or names one of `count` entries.
std::string checkId(const std::string& owner, const char* field, uint32_t id, int count, const char* kind) {
  if (id <= static_cast<uint32_t>(count)) return "";
  return owner + ": " + field + " " + num(id) + " out of range (" + num(count) + " " + kind + ")";
}

// "" when `id` names one of `count` entries; 0 is out of range too.
std::string checkEntry(const std::string& owner, const char* field, uint32_t id, int count, const char* kind) {
  if (id >= 1 && id <= static_cast<uint32_t>(count)) return "";
  return owner + ": " + field + " " + num(id) + " out of range (" + num(count) + " " + kind + ")";
}

template <typename Item>
std::string checkLinks(const std::string& owner, const Item& item, int objects, bool anyParentType) {
  // Objects follow any non-zero parent type to an object; cameras only type 1 (other types
  // are reported while drawing). Targets of type 1 name an object.
  const uint32_t parentType = item.parent().type();
  if ((anyParentType ? parentType != 0 : parentType == 1)) {
    if (auto p = checkEntry(owner, "parent number", item.parent().number(), objects, "objects"); !p.empty()) return p;
  }
  if (item.target().type() == 1) {
    if (auto p = checkEntry(owner, "target number", item.target().number(), objects, "objects"); !p.empty()) return p;
  }
  return "";
}

template <typename Stream>
std::string checkLength(const std::string& owner, const char* stream, uint32_t id, const Stream& data, int perVertex,
                        uint64_t vertices) {
  const uint64_t needed = vertices * perVertex;
  if (static_cast<uint64_t>(data.data_size()) >= needed) return "";
  return owner + ": " + stream + " entry " + num(id) + " has " + num(data.data_size()) + " floats, " + num(needed) +
         " needed for " + num(vertices) + " vertices";
}

}  // namespace

std::string validateScene(const Kestrel::KestrelLib& scene) {
  const int objects = scene.object_size();
  // Largest index of each list, computed when an object first uses it (-1: empty list).
  std::vector<int64_t> largestIndex(scene.polygons_size(), -2);
  // Vertex count of the buffer each vboID shares: the first uploaded object's points.
  std::unordered_map<uint32_t, uint64_t> sharedVertices;

  for (int i = 0; i < objects; ++i) {
    const Kestrel::Object& o = scene.object(i);
    const std::string owner = "object " + num(i + 1);
    for (const std::string& p : {
             checkId(owner, "pointsID", o.pointsid(), scene.points_size(), "point streams"),
             checkId(owner, "normalsID", o.normalsid(), scene.normals_size(), "normal streams"),
             checkId(owner, "tangentsID", o.tangentsid(), scene.tangents_size(), "tangent streams"),
             checkId(owner, "uvsID", o.uvsid(), scene.uvs_size(), "uv streams"),
             checkId(owner, "polygonsID", o.polygonsid(), scene.polygons_size(), "lists"),
         }) {
      if (!p.empty()) return p;
    }
    if (o.motion_size() < objectChannels) {
      return owner + ": motion has " + num(o.motion_size()) + " envelopes (" + num(objectChannels) + " needed)";
    }
    if (o.pivot_size() < 3) return owner + ": pivot has " + num(o.pivot_size()) + " values (3 needed)";
    if (auto p = checkLinks(owner, o, objects, true); !p.empty()) return p;

    const bool uploaded = o.polygonsid() != 0 && o.pointsid() != 0 && o.normalsid() != 0;
    if (!uploaded) {
      // Upload skips it, so drawing would bind its raw IDs as buffers.
      if (o.surface_size() == 0) continue;
      return owner + ": " + num(o.surface_size()) + " surfaces but no uploaded geometry (pointsID " +
             num(o.pointsid()) + ", normalsID " + num(o.normalsid()) + ", polygonsID " + num(o.polygonsid()) + ")";
    }

    uint64_t vertices = 0;
    if (auto shared = sharedVertices.find(o.vboid()); shared != sharedVertices.end()) {
      vertices = shared->second;  // drawn from the earlier object's vertex buffer
    } else {
      vertices = static_cast<uint64_t>(scene.points(o.pointsid() - 1).data_size()) / 3;
      if (auto p = checkLength(owner, "normals", o.normalsid(), scene.normals(o.normalsid() - 1), 3, vertices);
          !p.empty())
        return p;
      if (o.tangentsid() != 0) {
        if (auto p = checkLength(owner, "tangents", o.tangentsid(), scene.tangents(o.tangentsid() - 1), 3, vertices);
            !p.empty())
          return p;
      }
      if (o.uvsid() != 0) {
        if (auto p = checkLength(owner, "uvs", o.uvsid(), scene.uvs(o.uvsid() - 1), 2, vertices); !p.empty()) return p;
      }
      sharedVertices.emplace(o.vboid(), vertices);
    }

    const Kestrel::Polygons& list = scene.polygons(o.polygonsid() - 1);
    int64_t& largest = largestIndex[o.polygonsid() - 1];
    if (largest == -2) {
      largest = -1;
      for (uint32_t index : list.data()) largest = index > largest ? index : largest;
    }
    if (largest >= 0 && static_cast<uint64_t>(largest) >= vertices) {
      return owner + ": polygons entry " + num(o.polygonsid()) + " holds index " + num(largest) +
             ", not below the vertex count " + num(vertices);
    }

    for (int s = 0; s < o.surface_size(); ++s) {
      const Kestrel::Surface& surface = o.surface(s);
      const std::string where = owner + " surface " + num(s + 1);
      if (auto p = checkEntry(where, "materialID", surface.materialid(), scene.material_size(), "materials");
          !p.empty())
        return p;
      if (static_cast<uint64_t>(surface.polyoffset()) + surface.polycount() > static_cast<uint64_t>(list.data_size())) {
        return where + ": polyOffset " + num(surface.polyoffset()) + " + polyCount " + num(surface.polycount()) +
               " lies past the end of polygons entry " + num(o.polygonsid()) + " (" + num(list.data_size()) +
               " indices)";
      }
      if (surface.polycount() == 0) continue;
      if (surface.mini() > surface.maxi()) {
        return where + ": mini " + num(surface.mini()) + " above maxi " + num(surface.maxi());
      }
      if (surface.maxi() >= vertices) {
        return where + ": maxi " + num(surface.maxi()) + " not below the vertex count " + num(vertices);
      }
    }
  }

  // Parent chains must end: drawing walks them up to an object without a parent.
  std::vector<uint8_t> state(objects, 0);  // 0 unseen, 1 on the current walk, 2 ends
  for (int i = 0; i < objects; ++i) {
    std::vector<int> walk;
    int at = i;
    while (state[at] == 0) {
      state[at] = 1;
      walk.push_back(at);
      const Kestrel::Parent& parent = scene.object(at).parent();
      if (parent.type() == 0) break;
      at = static_cast<int>(parent.number()) - 1;
    }
    if (state[at] == 1 && scene.object(at).parent().type() != 0) return "object " + num(i + 1) + ": parent chain loops";
    for (int w : walk) state[w] = 2;
  }

  for (int c = 0; c < scene.camera_size(); ++c) {
    const Kestrel::Camera& camera = scene.camera(c);
    const std::string owner = "camera " + num(c + 1);
    if (camera.motion_size() < cameraChannels) {
      return owner + ": motion has " + num(camera.motion_size()) + " envelopes (" + num(cameraChannels) + " needed)";
    }
    if (auto p = checkLinks(owner, camera, objects, false); !p.empty()) return p;
  }

  for (int m = 0; m < scene.material_size(); ++m) {
    const Kestrel::Material& material = scene.material(m);
    const std::string owner = "material " + num(m + 1);
    for (const std::string& p : {
             checkId(owner, "shader", material.shader(), scene.shader_size(), "shaders"),
             checkId(owner, "tTexID", material.ttexid(), scene.texture_size(), "textures"),
             checkId(owner, "rTexID", material.rtexid(), scene.texture_size(), "textures"),
         }) {
      if (!p.empty()) return p;
    }
  }

  for (int s = 0; s < scene.shader_size(); ++s) {
    const Kestrel::Shader& shader = scene.shader(s);
    for (int j = 0; j < shader.sampler_size(); ++j) {
      const std::string owner = "shader " + num(s + 1) + " sampler " + num(j + 1);
      if (auto p = checkEntry(owner, "texID", shader.sampler(j).texid(), scene.texture_size(), "textures"); !p.empty())
        return p;
    }
  }
  return "";
}
