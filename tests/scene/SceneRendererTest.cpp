#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "cg/Cg.h"
#include "cg/CgGL.h"
#include "resources/Loader.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "runtime/Timer.h"
#include "scene/Renderer.h"
#include "scene/SceneRenderer.h"
#include "screen/Screen.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

constexpr int W = 160, H = 90;

// Additive red, a quarter per pass: two passes give half.
const char* kTwoPassEffect = R"(
float time;
float3 camPos;
glsl_vertex vs { void main() { gl_Position = ftransform(); } }
glsl_fragment fs { void main() { gl_FragColor = vec4(0.25, 0.0, 0.0, 1.0); } }
technique t {
  pass a { BlendEnable = true; BlendFunc = int2(One, One); DepthTestEnable = false; CullFaceEnable = false;
           VertexProgram = compile glsl120 vs; FragmentProgram = compile glsl120 fs; }
  pass b { BlendEnable = true; BlendFunc = int2(One, One); DepthTestEnable = false; CullFaceEnable = false;
           VertexProgram = compile glsl120 vs; FragmentProgram = compile glsl120 fs; }
}
)";

Kestrel::Envelope constant(float value) {
  Kestrel::Envelope e;
  Kestrel::Key* k = e.add_key();
  k->set_value(value);
  return e;
}

// Two keys: `before` until t = 1, then `after` (stepped span).
Kestrel::Envelope stepAt1(float before, float after) {
  Kestrel::Envelope e;
  Kestrel::Key* a = e.add_key();
  a->set_value(before);
  a->set_time(0);
  Kestrel::Key* b = e.add_key();
  b->set_value(after);
  b->set_time(1);
  b->set_spantype(3);  // stepped
  return e;
}

class SceneRendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Runtime::destroyForTesting();
    programOptions().dataFile = "/nonexistent.zip";
    if (gl.unavailable()) GTEST_SKIP() << "no display for a GL context";
    runtime = Runtime::instance();
    runtime->screen->config.viewportWidth = W;
    runtime->screen->config.viewportHeight = H;
    runtime->screen->cgContext = cgCreateContext();
    cgGLRegisterStates(runtime->screen->cgContext);
    cgGLSetManageTextureParameters(runtime->screen->cgContext, CG_TRUE);
    loader.runtime = runtime;
    build();
    ASSERT_EQ(loader.uploadScene(scene), 0);
  }
  void TearDown() override {
    if (runtime) cgDestroyContext(runtime->screen->cgContext);
    Runtime::destroyForTesting();
    programOptions() = ProgramOptions{};
  }

  // One 2 x 2 quad facing +z; objects place it by their motion.
  void build() {
    auto* p = scene.add_points();
    for (float v : {-1.f, -1.f, 0.f, 1.f, -1.f, 0.f, 1.f, 1.f, 0.f, -1.f, 1.f, 0.f}) p->add_data(v);
    auto* n = scene.add_normals();
    auto* t = scene.add_tangents();
    for (int i = 0; i < 4; ++i) {
      for (float v : {0.f, 0.f, 1.f}) n->add_data(v);
      for (float v : {1.f, 0.f, 0.f}) t->add_data(v);
    }
    auto* uv = scene.add_uvs();
    for (float v : {0.f, 0.f, 1.f, 0.f, 1.f, 1.f, 0.f, 1.f}) uv->add_data(v);
    for (int list = 0; list < 2; ++list) {
      auto* idx = scene.add_polygons();
      for (uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u}) idx->add_data(i);
    }
    // Materials: 1 flat red, 2 textured (green texture), 3 the two-pass effect, 4 flat blue.
    auto material = [&](float r, float g, float b, Kestrel::MappingType mapping, uint32_t shader, uint32_t tex) {
      auto* m = scene.add_material();
      m->set_r(r);
      m->set_g(g);
      m->set_b(b);
      m->set_mappingtype(mapping);
      m->set_shader(shader);
      m->set_ttexid(tex);
    };
    GLuint green = 0;
    glGenTextures(1, &green);
    glBindTexture(GL_TEXTURE_2D, green);
    const unsigned char texel[4] = {0, 255, 0, 255};
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    material(1, 0, 0, Kestrel::FLAT, 0, 0);
    material(1, 1, 1, Kestrel::UV, 0, green);  // the import has already put the GL name here
    material(1, 1, 1, Kestrel::FLAT, 1, 0);
    material(0, 0, 1, Kestrel::FLAT, 0, 0);
    auto* shader = scene.add_shader();
    shader->set_source("two-pass.cgfx");
    CGeffect effect = cgCreateEffect(runtime->screen->cgContext, kTwoPassEffect, nullptr);
    ASSERT_NE(effect, nullptr) << cgGetLastListing(runtime->screen->cgContext);
    CGtechnique technique = cgGetFirstTechnique(effect);
    ASSERT_TRUE(cgValidateTechnique(technique));
    scene.effects.push_back(effect);
    scene.techniques.push_back(technique);

    auto object = [&](uint32_t vbo, uint32_t polygons, uint32_t materialID, float x, float y) {
      auto* o = scene.add_object();
      o->set_type(Kestrel::OBJECT);
      o->set_pointsid(1);
      o->set_normalsid(1);
      o->set_tangentsid(1);
      o->set_uvsid(1);
      o->set_polygonsid(polygons);
      o->set_vboid(vbo);
      for (int c = 0; c < 9; ++c) *o->add_motion() = constant(c == 0 ? x : c == 1 ? y : c >= 6 ? 1.0f : 0.0f);
      auto* s = o->add_surface();
      s->set_materialid(materialID);
      s->set_polycount(6);
      s->set_polyoffset(0);
      s->set_mini(0);
      s->set_maxi(3);
      return o;
    };
    object(1, 1, 1, -3, 0);                                         // 1: red, left
    object(1, 2, 2, 3, 0);                                          // 2: textured green, right, shares vbo 1
    auto* dissolving = object(1, 1, 4, 0, 3);                       // 3: blue, top, appears at t = 1
    *dissolving->mutable_dissolve() = stepAt1(1, 0);
    auto* child = object(1, 1, 4, 0, -3);                           // 4: blue, child of object 1
    child->mutable_parent()->set_type(1);
    child->mutable_parent()->set_number(1);
    object(1, 1, 3, 0, 0);                                          // 5: the effect, centre

    auto* camera = scene.add_camera();
    for (int c = 0; c < 6; ++c) *camera->add_motion() = constant(c == 2 ? 12.0f : 0.0f);
    *camera->mutable_zoomfactor() = constant(1.0f);
  }

  std::vector<unsigned char> render(float time) {
    glViewport(0, 0, W, H);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_CULL_FACE);
    drawScene(*runtime->renderer, scene, time);
    glFinish();
    std::vector<unsigned char> px(W * H * 4);
    glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    if (const char* dump = std::getenv("PYLON_SCENE_DUMP")) {
      std::ofstream out(std::string(dump) + "-" + std::to_string(time) + ".rgba", std::ios::binary);
      out.write(reinterpret_cast<const char*>(px.data()), static_cast<std::streamsize>(px.size()));
    }
    return px;
  }

  // The colour where the scene point (x, y, 0) lands.
  std::array<int, 3> at(const std::vector<unsigned char>& px, float x, float y) {
    // 90 degree vertical field of view at distance 12: the view is 24 units high.
    const int sx = static_cast<int>(W / 2 + x / 12.0f * (H / 2));
    const int sy = static_cast<int>(H / 2 + y / 12.0f * (H / 2));
    const unsigned char* p = &px[(sy * W + sx) * 4];
    return {p[0], p[1], p[2]};
  }

  GLWindow gl{W, H};
  Runtime* runtime = nullptr;
  Loader loader;
  KestrelLibDynamic scene;
  MessageRecorder boxes;
};

TEST_F(SceneRendererTest, DrawsFlatTexturedParentedDissolvingAndEffectSurfaces) {
  auto early = render(0.5f);
  EXPECT_EQ(at(early, -3, 0), (std::array<int, 3>{255, 0, 0}));  // flat red
  EXPECT_EQ(at(early, 3, 0), (std::array<int, 3>{0, 255, 0}));   // textured, shared vertex buffer
  EXPECT_EQ(at(early, 0, 3), (std::array<int, 3>{0, 0, 0}));     // dissolve 1: not drawn
  EXPECT_EQ(at(early, -3, -3), (std::array<int, 3>{0, 0, 255}));  // follows its parent
  auto centre = at(early, 0, 0);
  EXPECT_NEAR(centre[0], 128, 2);  // two additive passes of a quarter
  EXPECT_EQ(centre[1], 0);

  auto later = render(1.5f);
  EXPECT_EQ(at(later, 0, 3), (std::array<int, 3>{0, 0, 255}));  // dissolve 0: drawn
  EXPECT_EQ(at(later, 6, 0), (std::array<int, 3>{0, 0, 0}));    // nothing else
}

TEST_F(SceneRendererTest, EffectReceivesCameraPositionAndTime) {
  render(2.25f);
  CGeffect effect = scene.effects[0];
  float values[4] = {};
  ASSERT_EQ(cgGetParameterValuefr(cgGetNamedEffectParameter(effect, "time"), 1, values), 1);
  EXPECT_FLOAT_EQ(values[0], 2.25f);
  ASSERT_EQ(cgGetParameterValuefr(cgGetNamedEffectParameter(effect, "camPos"), 3, values), 3);
  EXPECT_FLOAT_EQ(values[2], 12.0f);
}

}  // namespace
