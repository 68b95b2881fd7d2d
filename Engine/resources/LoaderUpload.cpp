// Geometry upload of Loader: index lists and vertex streams become GL buffer objects, one
// interleaved vertex buffer per distinct geometry, and the model's IDs are replaced by the
// buffer names the renderer binds.
#include <GL/glew.h>

#include <cstring>
#include <vector>

#include "resources/KestrelLibDynamic.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"

namespace {

// One buffer object holding `bytes`; the size the GL reports is logged.
GLuint createBuffer(Logger& log, GLenum target, const void* data, size_t bytes, GLenum usage) {
  GLuint name = 0;
  glGenBuffers(1, &name);
  glBindBuffer(target, name);
  glBufferData(target, static_cast<GLsizeiptr>(bytes), data, usage);
  GLint size = 0;
  glGetBufferParameteriv(target, GL_BUFFER_SIZE, &size);
  log << "\tallocated mem size: " << size << " bytes.\n";
  glBindBuffer(target, 0);
  return name;
}

// Frees a repeated field's storage: Clear() alone keeps the capacity.
template <typename Field>
void releaseData(Field* data) {
  Field().Swap(data);
}

// Copies `count` floats of element j of a stream with `stride` floats per element, or
// leaves zeros where the stream is too short.
template <typename Stream>
void copyElement(float* out, const Stream& data, size_t j, size_t stride) {
  const size_t first = j * stride;
  for (size_t k = 0; k < stride; ++k)
    if (first + k < static_cast<size_t>(data.size())) out[k] = data[static_cast<int>(first + k)];
}

struct SceneVertex {
  float uv0[2];
  float uv1[2];
  float normal[3];
  float tangent[3];
  float position[3];
};
static_assert(sizeof(SceneVertex) == 52);

struct MeshVertex {
  float uv[2];
  float normal[3];
  float position[3];
};
static_assert(sizeof(MeshVertex) == 32);


}  // namespace

int Loader::uploadMesh(MmfMesh& mesh, unsigned usage) {
  Logger& out = log();
  out << "uploading polygons..\n";
  mesh.indexBuffer = createBuffer(out, GL_ELEMENT_ARRAY_BUFFER, mesh.polygons.data(), mesh.polygons.size() * 4, usage);
  out << "uploading vertex streams..\n";
  const std::vector<float> uvs = mesh.uvs;
  const size_t n = mesh.points.size() / 3;
  std::vector<MeshVertex> vertices(n, MeshVertex{});
  for (size_t j = 0; j < n; ++j) {
    if (!uvs.empty()) copyElement(vertices[j].uv, uvs, j, 2);
    copyElement(vertices[j].normal, mesh.normals, j, 3);
    copyElement(vertices[j].position, mesh.points, j, 3);
  }
  mesh.vertexBuffer = createBuffer(out, GL_ARRAY_BUFFER, vertices.data(), n * sizeof(MeshVertex), usage);
  return 0;
}

int Loader::uploadScene(KestrelLibDynamic& scene) {
  Logger& out = log();
  out << "uploading polygons..\n";
  for (int i = 0; i < scene.polygons_size(); ++i) {
    Kestrel::Polygons* list = scene.mutable_polygons(i);
    const std::vector<uint32_t> staging(list->data().begin(), list->data().end());
    list->set_crc(createBuffer(out, GL_ELEMENT_ARRAY_BUFFER, staging.data(), staging.size() * 4, GL_STATIC_DRAW));
  }
  uploadedGeometry.clear();
  out << "uploading vertex streams..\n";
  for (int i = 0; i < scene.object_size(); ++i) {
    Kestrel::Object* object = scene.mutable_object(i);
    if (object->polygonsid() == 0 || object->pointsid() == 0 || object->normalsid() == 0) {
      out << "\tnull object found, skipped.\n";
      continue;
    }
    const Kestrel::Polygons* polygons = kestrelEntry(scene.polygons(), object->polygonsid());
    const uint32_t indexBuffer = polygons ? polygons->crc() : 0;
    bool shared = false;
    for (const auto& [vboID, buffer] : uploadedGeometry) {
      if (vboID == object->vboid()) {
        out << "\tdata already uploaded.\n";
        object->set_pointsid(buffer);
        object->set_polygonsid(indexBuffer);
        shared = true;
        break;
      }
    }
    if (shared) continue;

    const Kestrel::Points* points = kestrelEntry(scene.points(), object->pointsid());
    const Kestrel::Normals* normals = kestrelEntry(scene.normals(), object->normalsid());
    const Kestrel::Tangents* tangents = kestrelEntry(scene.tangents(), object->tangentsid());
    const Kestrel::Uv* uv = kestrelEntry(scene.uvs(), object->uvsid());
    const size_t n = points ? static_cast<size_t>(points->data_size()) / 3 : 0;
    std::vector<SceneVertex> vertices(n, SceneVertex{});
    for (size_t j = 0; j < n; ++j) {
      SceneVertex& v = vertices[j];
      if (uv) copyElement(v.uv0, uv->data(), j, 2);
      if (normals) copyElement(v.normal, normals->data(), j, 3);
      if (tangents) copyElement(v.tangent, tangents->data(), j, 3);
      copyElement(v.position, points->data(), j, 3);
    }
    object->set_pointsid(createBuffer(out, GL_ARRAY_BUFFER, vertices.data(), n * sizeof(SceneVertex), GL_STATIC_DRAW));
    object->set_polygonsid(indexBuffer);
    uploadedGeometry.emplace_back(object->vboid(), object->pointsid());
  }
  // The objects now name GL buffers instead of these lists, so nothing can reach the lists
  // again: their copy of the geometry (18 MB for the generated city) is released. The
  // index lists keep their crc, the buffer name a reload releases.
  for (Kestrel::Points& list : *scene.mutable_points()) releaseData(list.mutable_data());
  for (Kestrel::Normals& list : *scene.mutable_normals()) releaseData(list.mutable_data());
  for (Kestrel::Tangents& list : *scene.mutable_tangents()) releaseData(list.mutable_data());
  for (Kestrel::Uv& list : *scene.mutable_uvs()) releaseData(list.mutable_data());
  for (Kestrel::Polygons& list : *scene.mutable_polygons()) releaseData(list.mutable_data());
  return 0;
}
