#include "data/SceneWriter.h"

#include <algorithm>

namespace content {

Kestrel::Envelope constantEnvelope(float value) {
  Kestrel::Envelope e;
  addKey(e, 0, value, kLinear);
  return e;
}

void addKey(Kestrel::Envelope& envelope, float time, float value, uint32_t spanType, float p1, float p2, float p3,
            float p4, float p5) {
  Kestrel::Key* k = envelope.add_key();
  k->set_spantype(spanType);
  k->set_time(time);
  k->set_value(value);
  if (p1 != 0) k->set_p1(p1);
  if (p2 != 0) k->set_p2(p2);
  if (p3 != 0) k->set_p3(p3);
  if (p4 != 0) k->set_p4(p4);
  if (p5 != 0) k->set_p5(p5);
}

Motion::Motion(Vec3 position, float heading) {
  float values[9] = {position.x, position.y, position.z, heading, 0, 0, 1, 1, 1};
  for (int i = 0; i < 9; ++i) channel[i] = constantEnvelope(values[i]);
}

void SurfaceMesh::add(const Mesh& part, uint32_t material) {
  if (part.polygons.empty()) return;
  uint32_t base = mesh.vertexCount();
  Range r{material, uint32_t(mesh.polygons.size()), uint32_t(part.polygons.size()), UINT32_MAX, 0};
  mesh.append(part);
  for (uint32_t i = r.first; i < r.first + r.count; ++i) {
    r.mini = std::min(r.mini, mesh.polygons[i]);
    r.maxi = std::max(r.maxi, mesh.polygons[i]);
  }
  (void)base;
  ranges.push_back(r);
}

uint32_t SceneWriter::texture(const std::string& source) {
  Kestrel::Texture* t = root.add_texture();
  t->set_source(source);
  return uint32_t(root.texture_size());
}

uint32_t SceneWriter::shader(const std::string& source, const std::vector<std::pair<std::string, uint32_t>>& samplers) {
  Kestrel::Shader* s = root.add_shader();
  s->set_source(source);
  for (const auto& [name, tex] : samplers) {
    Kestrel::Sampler* sm = s->add_sampler();
    sm->set_name(name);
    sm->set_texid(tex);
  }
  return uint32_t(root.shader_size());
}

uint32_t SceneWriter::material(float r, float g, float b, uint32_t shader, uint32_t tTexID, Kestrel::MappingType mapping) {
  Kestrel::Material* m = root.add_material();
  m->set_r(r), m->set_g(g), m->set_b(b);
  m->set_mappingtype(mapping);
  m->set_shader(shader);
  m->set_ttexid(tTexID);
  return uint32_t(root.material_size());
}

Geometry SceneWriter::geometry(const SurfaceMesh& sm) {
  Geometry g;
  const Mesh& m = sm.mesh;
  Kestrel::Points* p = root.add_points();
  for (float v : m.points) p->add_data(v);
  Kestrel::Normals* n = root.add_normals();
  for (float v : m.normals) n->add_data(v);
  Kestrel::Tangents* t = root.add_tangents();
  for (float v : m.tangents) t->add_data(v);
  Kestrel::Uv* u = root.add_uvs();
  for (float v : m.uvs) u->add_data(v);
  Kestrel::Polygons* poly = root.add_polygons();
  for (uint32_t v : m.polygons) poly->add_data(v);
  g.points = uint32_t(root.points_size());
  g.normals = uint32_t(root.normals_size());
  g.tangents = uint32_t(root.tangents_size());
  g.uvs = uint32_t(root.uvs_size());
  g.polygons = uint32_t(root.polygons_size());
  g.vbo = nextVbo++;
  g.ranges = sm.ranges;
  g.triangles = m.triangleCount();
  return g;
}

namespace {
void setMotion(google::protobuf::RepeatedPtrField<Kestrel::Envelope>* out, const Motion& motion) {
  for (const Kestrel::Envelope& e : motion.channel) *out->Add() = e;
}
}  // namespace

uint32_t SceneWriter::object(const Geometry& g, const Motion& motion, const std::vector<uint32_t>& materials) {
  Kestrel::Object* o = root.add_object();
  o->set_type(Kestrel::OBJECT);
  o->set_pointsid(g.points);
  o->set_normalsid(g.normals);
  o->set_tangentsid(g.tangents);
  o->set_uvsid(g.uvs);
  o->set_polygonsid(g.polygons);
  o->set_vboid(g.vbo);
  for (size_t i = 0; i < g.ranges.size(); ++i) {
    const SurfaceMesh::Range& r = g.ranges[i];
    Kestrel::Surface* s = o->add_surface();
    s->set_materialid(i < materials.size() ? materials[i] : r.material);
    s->set_polycount(r.count);
    s->set_polyoffset(r.first);
    s->set_mini(r.mini);
    s->set_maxi(r.maxi);
    trianglesDrawn += r.count / 3;
    ++drawCalls;
  }
  // Bounds of the geometry in object space.
  const Kestrel::Points& p = root.points(int(g.points) - 1);
  if (p.data_size() >= 3) {
    float lo[3] = {p.data(0), p.data(1), p.data(2)}, hi[3] = {lo[0], lo[1], lo[2]};
    for (int i = 0; i + 2 < p.data_size(); i += 3)
      for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], p.data(i + k)), hi[k] = std::max(hi[k], p.data(i + k));
    Kestrel::BoundingBox* b = o->mutable_boundingbox();
    b->set_minx(lo[0]), b->set_miny(lo[1]), b->set_minz(lo[2]);
    b->set_maxx(hi[0]), b->set_maxy(hi[1]), b->set_maxz(hi[2]);
  }
  for (int i = 0; i < 3; ++i) o->add_pivot(0);
  setMotion(o->mutable_motion(), motion);
  return uint32_t(root.object_size());
}

uint32_t SceneWriter::nullObject(const Motion& motion) {
  Kestrel::Object* o = root.add_object();
  o->set_type(Kestrel::NULLOBJECT);
  for (int i = 0; i < 3; ++i) o->add_pivot(0);
  setMotion(o->mutable_motion(), motion);
  return uint32_t(root.object_size());
}

void SceneWriter::setParent(uint32_t object, uint32_t parent) {
  Kestrel::Parent* p = root.mutable_object(int(object) - 1)->mutable_parent();
  p->set_type(1);
  p->set_number(parent);
}

void SceneWriter::setDissolve(uint32_t object, const Kestrel::Envelope& dissolve) {
  *root.mutable_object(int(object) - 1)->mutable_dissolve() = dissolve;
}

}  // namespace content
