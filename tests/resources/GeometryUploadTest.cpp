#include <GL/glew.h>
#include <gtest/gtest.h>

#include "ResourceFixtures.h"

using namespace resource_fixtures;
using testing_support::GLWindow;

namespace {

std::vector<float> bufferFloats(GLuint buffer) {
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  GLint size = 0;
  glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
  std::vector<float> data(static_cast<size_t>(size) / 4);
  glGetBufferSubData(GL_ARRAY_BUFFER, 0, size, data.data());
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  return data;
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class GeometryUploadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (gl.unavailable()) GTEST_SKIP() << "no display for a GL context";
    loader.runtime = rt.runtime;
  }
  GLWindow gl{32, 32};
  LoggedRuntime rt;
  Loader loader;
};

TEST_F(GeometryUploadTest, SceneObjectsShareVertexBuffersByVboIdAndKeepTheirOwnIndexBuffers) {
  KestrelLibDynamic scene;
  auto* points = scene.add_points();
  for (float v : {0.f, 1.f, 2.f, 3.f, 4.f, 5.f, 6.f, 7.f, 8.f, 9.f}) points->add_data(v);  // 3 vertices + 1 stray
  auto* normals = scene.add_normals();
  for (int i = 0; i < 9; ++i) normals->add_data(0.5f);
  auto* tangents = scene.add_tangents();
  for (int i = 0; i < 6; ++i) tangents->add_data(0.25f);  // one vertex short: zeros
  auto* uv = scene.add_uvs();
  for (float v : {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f}) uv->add_data(v);
  for (int list = 0; list < 2; ++list) {
    auto* p = scene.add_polygons();
    for (uint32_t i : {0u, 1u, 2u}) p->add_data(i);
  }
  auto addObject = [&](uint32_t vbo, uint32_t polygonsID, uint32_t normalsID, uint32_t uvsID) {
    auto* o = scene.add_object();
    o->set_pointsid(1);
    o->set_normalsid(normalsID);
    o->set_tangentsid(1);
    o->set_polygonsid(polygonsID);
    o->set_uvsid(uvsID);
    o->set_vboid(vbo);
  };
  addObject(0, 1, 1, 1);
  addObject(0, 2, 1, 1);  // same vboID: shares the first object's vertex buffer
  addObject(7, 2, 0, 0);  // no normals: skipped
  addObject(7, 1, 1, 0);  // no uvs: zeros

  ASSERT_EQ(loader.uploadScene(scene), 0);
  const std::string log = rt.log();
  EXPECT_EQ(log.find("uploading polygons..\n"), 0u);
  EXPECT_NE(log.find("uploading vertex streams..\n"), std::string::npos);
  EXPECT_EQ(count(log, "\tdata already uploaded.\n"), 1u);
  EXPECT_EQ(count(log, "\tnull object found, skipped.\n"), 1u);
  EXPECT_EQ(count(log, "\tallocated mem size: 12 bytes.\n"), 2u);   // two index lists
  EXPECT_EQ(count(log, "\tallocated mem size: 156 bytes.\n"), 2u);  // 3 vertices x 52 bytes

  const auto& o = scene.object();
  EXPECT_EQ(o[0].pointsid(), o[1].pointsid());
  EXPECT_NE(o[0].polygonsid(), o[1].polygonsid());
  EXPECT_EQ(o[0].polygonsid(), scene.polygons(0).crc());
  EXPECT_EQ(o[1].polygonsid(), scene.polygons(1).crc());
  EXPECT_EQ(o[2].pointsid(), 1u);  // the skipped object keeps its IDs
  // The lists' copies are released once the buffers hold them; the index lists keep the
  // buffer names a reload deletes.
  EXPECT_EQ(scene.points(0).data_size() + scene.normals(0).data_size() + scene.tangents(0).data_size() +
                scene.uvs(0).data_size() + scene.polygons(1).data_size(),
            0);
  EXPECT_NE(scene.polygons(1).crc(), 0u);
  EXPECT_EQ(o[2].polygonsid(), 2u);
  EXPECT_NE(o[3].pointsid(), o[0].pointsid());
  EXPECT_EQ(loader.uploadedGeometry.size(), 2u);

  const std::vector<float> v = bufferFloats(o[0].pointsid());
  ASSERT_EQ(v.size(), 39u);
  // Vertex 1: uv (0.3, 0.4), unit 1 zeros, normal, tangent, position (3, 4, 5).
  EXPECT_FLOAT_EQ(v[13 + 0], 0.3f);
  EXPECT_FLOAT_EQ(v[13 + 1], 0.4f);
  EXPECT_FLOAT_EQ(v[13 + 2], 0.0f);
  EXPECT_FLOAT_EQ(v[13 + 4], 0.5f);
  EXPECT_FLOAT_EQ(v[13 + 7], 0.25f);
  EXPECT_FLOAT_EQ(v[13 + 10], 3.0f);
  EXPECT_FLOAT_EQ(v[13 + 12], 5.0f);
  // Vertex 2 has no tangent in the stream: zeros rather than a read past its end.
  EXPECT_FLOAT_EQ(v[26 + 7], 0.0f);
  const std::vector<float> w = bufferFloats(o[3].pointsid());
  EXPECT_FLOAT_EQ(w[13 + 0], 0.0f);  // no uvs
}

TEST_F(GeometryUploadTest, MeshUsesThe32ByteLayout) {
  MmfMesh mesh;
  mesh.points = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  mesh.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
  mesh.uvs = {0.5f, 0.25f, 1, 1, 0, 0};
  mesh.polygons = {0, 1, 2};
  ASSERT_EQ(loader.uploadMesh(mesh, GL_STATIC_DRAW), 0);
  EXPECT_NE(mesh.indexBuffer, 0u);
  const std::vector<float> v = bufferFloats(mesh.vertexBuffer);
  ASSERT_EQ(v.size(), 24u);
  EXPECT_FLOAT_EQ(v[0], 0.5f);
  EXPECT_FLOAT_EQ(v[1], 0.25f);
  EXPECT_FLOAT_EQ(v[4], 1.0f);  // normal z
  EXPECT_FLOAT_EQ(v[5], 1.0f);  // position x
  EXPECT_FLOAT_EQ(v[8 + 5], 4.0f);
  EXPECT_NE(rt.log().find("\tallocated mem size: 96 bytes.\n"), std::string::npos);
}

}  // namespace
