// The archive's effects compile and validate with the engine's effect runtime on the running
// GL, and offer the parameters the engine sets on them.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <string>

#include "ContentFixtures.h"
#include "cg/CgGL.h"

namespace {

class ArchiveEffects : public testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_GL(gl);
    context = cgCreateContext();
    cgGLRegisterStates(context);
    cgGLSetManageTextureParameters(context, CG_TRUE);
  }
  void TearDown() override {
    if (context) cgDestroyContext(context);
  }
  // The effect of member `name` and its first valid technique (null when none).
  CGeffect load(const std::string& name, CGtechnique& chosen) {
    std::vector<uint8_t> bytes = content_test::member(name);
    std::string text(bytes.begin(), bytes.end());
    CGeffect effect = cgCreateEffect(context, text.c_str(), nullptr);
    EXPECT_NE(effect, nullptr) << name << ":\n" << cgGetLastListing(context);
    chosen = nullptr;
    for (CGtechnique t = effect ? cgGetFirstTechnique(effect) : nullptr; t && !chosen; t = cgGetNextTechnique(t))
      if (cgValidateTechnique(t)) chosen = t;
    EXPECT_NE(chosen, nullptr) << name << ": no technique validates:\n" << cgGetLastListing(context);
    return effect;
  }
  testing_support::GLWindow gl{64, 64};
  CGcontext context = nullptr;
};

TEST_F(ArchiveEffects, EveryEffectOfTheArchiveValidates) {
  int count = 0;
  for (const ArchiveEntry& e : content_test::builtArchive().entries()) {
    if (e.name.rfind("shaders/", 0) != 0) continue;
    CGtechnique t;
    load(e.name, t);
    ++count;
  }
  EXPECT_GE(count, 8);
}

TEST_F(ArchiveEffects, SceneShadersDeclareTheirSamplersAndTheCityTakesTimeAndCamera) {
  const Kestrel::KestrelLib& scene = content_test::cityScene();
  bool sawCamPos = false, sawTime = false;
  for (const Kestrel::Shader& s : scene.shader()) {
    CGtechnique t;
    CGeffect effect = load(s.source(), t);
    if (!effect) continue;
    for (const Kestrel::Sampler& sm : s.sampler()) {
      CGparameter p = cgGetNamedEffectParameter(effect, sm.name().c_str());
      ASSERT_NE(p, nullptr) << s.source() << " lacks sampler " << sm.name();
      EXPECT_STREQ(cgGetTypeString(cgGetParameterType(p)), "sampler2D");
      ASSERT_GE(sm.texid(), 1u);
      ASSERT_LE(int(sm.texid()), scene.texture_size());
    }
    sawCamPos |= cgGetNamedEffectParameter(effect, "camPos") != nullptr;
    sawTime |= cgGetNamedEffectParameter(effect, "time") != nullptr;
  }
  EXPECT_TRUE(sawCamPos);
  EXPECT_TRUE(sawTime);
}

TEST_F(ArchiveEffects, CarEffectSamplesSamColor) {
  CGtechnique t;
  CGeffect effect = load("shaders/cars.cgfx", t);
  ASSERT_NE(effect, nullptr);
  EXPECT_NE(cgGetNamedEffectParameter(effect, "samColor"), nullptr);
  EXPECT_NE(cgGetFirstPass(t), nullptr);
}

}  // namespace
