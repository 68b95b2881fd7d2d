#include <gtest/gtest.h>

#include <GL/glew.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cg/CgGL.h"
#include "cg/GlslDialect.h"
#include "support/TestSupport.h"

using testing_support::GLWindow;

namespace {

// Every piece of GL state an effect pass may touch, read back from the GL.
struct GLSnapshot {
  GLint program, activeTexture, unit0, unit1, depthFunc, cullMode, frontFace, alphaFunc;
  GLint blend[4], blendEquation[2];
  GLboolean depthTest, depthMask, cull, blending, alphaTest, colorMask[4];
  GLfloat alphaRef;
  GLint minFilter, magFilter, wrapS;

  static GLSnapshot take(GLuint texture) {
    GLSnapshot s{};
    glGetIntegerv(GL_CURRENT_PROGRAM, &s.program);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &s.activeTexture);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.unit0);
    glActiveTexture(GL_TEXTURE1);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.unit1);
    glActiveTexture(static_cast<GLenum>(s.activeTexture));
    glGetIntegerv(GL_DEPTH_FUNC, &s.depthFunc);
    glGetIntegerv(GL_CULL_FACE_MODE, &s.cullMode);
    glGetIntegerv(GL_FRONT_FACE, &s.frontFace);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &s.alphaFunc);
    glGetFloatv(GL_ALPHA_TEST_REF, &s.alphaRef);
    glGetIntegerv(GL_BLEND_SRC_RGB, &s.blend[0]);
    glGetIntegerv(GL_BLEND_DST_RGB, &s.blend[1]);
    glGetIntegerv(GL_BLEND_SRC_ALPHA, &s.blend[2]);
    glGetIntegerv(GL_BLEND_DST_ALPHA, &s.blend[3]);
    glGetIntegerv(GL_BLEND_EQUATION_RGB, &s.blendEquation[0]);
    glGetIntegerv(GL_BLEND_EQUATION_ALPHA, &s.blendEquation[1]);
    s.depthTest = glIsEnabled(GL_DEPTH_TEST);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &s.depthMask);
    s.cull = glIsEnabled(GL_CULL_FACE);
    s.blending = glIsEnabled(GL_BLEND);
    s.alphaTest = glIsEnabled(GL_ALPHA_TEST);
    glGetBooleanv(GL_COLOR_WRITEMASK, s.colorMask);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &s.minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &s.magFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &s.wrapS);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    return s;
  }
};

void expectSame(const GLSnapshot& a, const GLSnapshot& b) {
  EXPECT_EQ(a.program, b.program);
  EXPECT_EQ(a.activeTexture, b.activeTexture);
  EXPECT_EQ(a.unit0, b.unit0);
  EXPECT_EQ(a.unit1, b.unit1);
  EXPECT_EQ(a.depthFunc, b.depthFunc);
  EXPECT_EQ(a.cullMode, b.cullMode);
  EXPECT_EQ(a.frontFace, b.frontFace);
  EXPECT_EQ(a.alphaFunc, b.alphaFunc);
  EXPECT_EQ(a.alphaRef, b.alphaRef);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(a.blend[i], b.blend[i]) << i;
  EXPECT_EQ(a.blendEquation[0], b.blendEquation[0]);
  EXPECT_EQ(a.depthTest, b.depthTest);
  EXPECT_EQ(a.depthMask, b.depthMask);
  EXPECT_EQ(a.cull, b.cull);
  EXPECT_EQ(a.blending, b.blending);
  EXPECT_EQ(a.alphaTest, b.alphaTest);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(a.colorMask[i], b.colorMask[i]) << i;
  EXPECT_EQ(a.minFilter, b.minFilter);
  EXPECT_EQ(a.magFilter, b.magFilter);
  EXPECT_EQ(a.wrapS, b.wrapS);
}

// A 2x2 texture: red, green / blue, white.
GLuint checkerTexture() {
  const unsigned char pixels[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glBindTexture(GL_TEXTURE_2D, 0);
  return texture;
}

// Programs read their texture coordinates from the generic attribute the effect runtime
// binds (glVertex2f, attribute 0, gives each vertex).
void drawQuad() {
  const GLuint uv = cg::kAttributeTexCoord0;
  glBegin(GL_QUADS);
  glVertexAttrib2f(uv, 0, 0);
  glVertex2f(-1, -1);
  glVertexAttrib2f(uv, 1, 0);
  glVertex2f(1, -1);
  glVertexAttrib2f(uv, 1, 1);
  glVertex2f(1, 1);
  glVertexAttrib2f(uv, 0, 1);
  glVertex2f(-1, 1);
  glEnd();
}

std::vector<unsigned char> readPixels(int w, int h) {
  std::vector<unsigned char> pixels(static_cast<size_t>(w * h * 4));
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

// PYLON_TEST_IMAGES=folder keeps the picture (as PPM) for a person to look at.
void keepPicture(const std::vector<unsigned char>& rgba, int w, int h, const char* name) {
  const char* folder = std::getenv("PYLON_TEST_IMAGES");
  if (!folder) return;
  std::FILE* f = std::fopen((std::string(folder) + "/" + name + ".ppm").c_str(), "wb");
  if (!f) return;
  std::fprintf(f, "P6\n%d %d\n255\n", w, h);
  for (int y = h - 1; y >= 0; --y)
    for (int x = 0; x < w; ++x) std::fwrite(&rgba[static_cast<size_t>((y * w + x) * 4)], 1, 3, f);
  std::fclose(f);
}

const char* kTexturedEffect = R"(
float3 tint = float3(1, 1, 1);
float gain;
sampler2D unused = sampler_state { MinFilter = Linear; };
sampler2D image = sampler_state {
  MinFilter = Nearest;
  MagFilter = Nearest;
  WrapS = ClampToEdge;
};
glsl_shared { varying vec2 uv; }
glsl_vertex quadVS { void main() { uv = gl_MultiTexCoord0.xy; gl_Position = gl_Vertex; } }
glsl_fragment imageFS {
  void main() { gl_FragColor = vec4(texture2D(image, uv).rgb * tint * gain, 1.0); }
}
technique textured {
  pass p0 {
    DepthTestEnable = false;
    DepthMask = false;
    DepthFunc = Always;
    CullFaceEnable = true;
    CullFace = Front;
    FrontFace = CW;
    BlendEnable = false;
    BlendFunc = int2(One, Zero);
    BlendEquation = FuncAdd;
    AlphaTestEnable = true;
    AlphaFunc = float2(GEqual, 0.5);
    ColorMask = bool4(true, false, true, true);
    VertexProgram = compile glsl120 quadVS;
    FragmentProgram = compile glsl120 imageFS;
  }
}
)";

}  // namespace

TEST(PassState, DrawsATexturedQuadWithItsStatesAndRestoresThem) {
  GLWindow gl(64, 64);
  REQUIRE_GL(gl);
  CGcontext context = cgCreateContext();
  ASSERT_NE(context, nullptr);
  cgGLRegisterStates(context);
  cgGLSetManageTextureParameters(context, CG_TRUE);
  CGeffect effect = cgCreateEffect(context, kTexturedEffect, nullptr);
  ASSERT_NE(effect, nullptr) << cgGetLastListing(context);
  CGtechnique technique = cgGetFirstTechnique(effect);
  ASSERT_TRUE(cgValidateTechnique(technique)) << cgGetLastListing(context);
  CGpass pass = cgGetFirstPass(technique);

  const GLuint texture = checkerTexture();
  GLuint other = 0;
  glGenTextures(1, &other);
  cgGLSetupSampler(cgGetNamedEffectParameter(effect, "image"), texture);
  cgGLSetParameter3f(cgGetNamedEffectParameter(effect, "tint"), 1.0f, 1.0f, 0.5f);
  cgGLSetParameter1f(cgGetNamedEffectParameter(effect, "gain"), 1.0f);

  // A state that differs from every value the pass sets.
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_GREATER);
  glDisable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glEnable(GL_BLEND);
  glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ZERO);
  glBlendEquationSeparate(GL_FUNC_SUBTRACT, GL_FUNC_ADD);
  glAlphaFunc(GL_LESS, 0.25f);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, other);  // "image" is the second sampler: unit 1
  glActiveTexture(GL_TEXTURE3);
  const GLSnapshot before = GLSnapshot::take(texture);

  glClearColor(0.0f, 0.5f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  cgSetPassState(pass);
  const GLSnapshot during = GLSnapshot::take(texture);
  // Clockwise front faces culled: the quad (counter-clockwise on screen) is a back face and drawn.
  drawQuad();
  cgResetPassState(pass);
  const std::vector<unsigned char> pixels = readPixels(64, 64);
  keepPicture(pixels, 64, 64, "pass-textured-quad");

  EXPECT_NE(during.program, 0);
  EXPECT_EQ(during.unit1, static_cast<GLint>(texture));
  EXPECT_EQ(during.activeTexture, GL_TEXTURE3);  // the pass leaves the caller's active unit
  EXPECT_FALSE(during.depthTest);
  EXPECT_FALSE(during.depthMask);
  EXPECT_EQ(during.depthFunc, GL_ALWAYS);
  EXPECT_TRUE(during.cull);
  EXPECT_EQ(during.cullMode, GL_FRONT);
  EXPECT_EQ(during.frontFace, GL_CW);
  EXPECT_FALSE(during.blending);
  EXPECT_EQ(during.blend[0], GL_ONE);
  EXPECT_EQ(during.blend[1], GL_ZERO);
  EXPECT_EQ(during.blendEquation[0], GL_FUNC_ADD);
  EXPECT_TRUE(during.alphaTest);
  EXPECT_EQ(during.alphaFunc, GL_GEQUAL);
  EXPECT_FLOAT_EQ(during.alphaRef, 0.5f);
  EXPECT_FALSE(during.colorMask[1]);
  EXPECT_EQ(during.minFilter, GL_NEAREST);
  EXPECT_EQ(during.wrapS, GL_CLAMP_TO_EDGE);

  // Quadrants: nearest filtering of red, green / blue, white, blue halved by the tint;
  // green is masked off, so it stays the clear colour's 128 everywhere.
  auto at = [&](int x, int y) {
    const unsigned char* p = &pixels[static_cast<size_t>((y * 64 + x) * 4)];
    return std::vector<int>{p[0], p[1], p[2]};
  };
  EXPECT_EQ(at(16, 16), (std::vector<int>{255, 128, 0}));   // red
  EXPECT_EQ(at(48, 16), (std::vector<int>{0, 128, 0}));     // green, masked
  EXPECT_EQ(at(16, 48), (std::vector<int>{0, 128, 128}));   // blue * 0.5
  EXPECT_EQ(at(48, 48), (std::vector<int>{255, 128, 128}));  // white * tint

  expectSame(GLSnapshot::take(texture), before);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // A set value stays until set again: a second frame without setting draws the same.
  glClear(GL_COLOR_BUFFER_BIT);
  cgSetPassState(pass);
  drawQuad();
  cgResetPassState(pass);
  EXPECT_EQ(readPixels(64, 64), pixels);
  cgResetPassState(pass);  // resetting twice changes nothing
  expectSame(GLSnapshot::take(texture), before);

  // Unmanaged textures: the pass leaves binding to the caller.
  cgGLSetManageTextureParameters(context, CG_FALSE);
  cgSetPassState(pass);
  EXPECT_EQ(GLSnapshot::take(texture).unit1, static_cast<GLint>(other));
  cgResetPassState(pass);
  expectSame(GLSnapshot::take(texture), before);

  glDeleteTextures(1, &texture);
  glDeleteTextures(1, &other);
  cgDestroyContext(context);
}
