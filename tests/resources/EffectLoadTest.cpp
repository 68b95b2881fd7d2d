#include <gtest/gtest.h>

#include <cstdint>

#include "cg/CgGL.h"
#include "gui/TweakGui.h"
#include "resources/Loader.h"
#include "ResourceFixtures.h"
#include "screen/Screen.h"

using resource_fixtures::LoggedRuntime;
using resource_fixtures::Member;
using testing_support::GLWindow;

namespace {

const char* kPrograms = R"(
glsl_shared { varying vec2 uv; }
glsl_vertex quadVS { void main() { uv = gl_MultiTexCoord0.xy; gl_Position = ftransform(); } }
glsl_fragment plainFS { void main() { gl_FragColor = vec4(uv, 0.0, 1.0); } }
glsl_fragment needsMissingVarying { varying vec3 neverWritten; void main() { gl_FragColor = vec4(neverWritten, 1.0); } }
)";

const std::string kTwoTechniques = std::string(kPrograms) + R"(
technique fancy { pass p { VertexProgram = compile glsl120 quadVS; FragmentProgram = compile glsl120 needsMissingVarying; } }
technique basic { pass p { VertexProgram = compile glsl120 quadVS; FragmentProgram = compile glsl120 plainFS; } }
)";

const std::string kBloomFinal = std::string(kPrograms) + R"(
float Exposure < float UIMin = 0.2; >;
float3 camPos;
float BloomStrength < int UIMax = 4; float UIStep = 0.05; string UIName = "strength"; > = 1.5;
sampler2D RT;
technique basic { pass p { VertexProgram = compile glsl120 quadVS; FragmentProgram = compile glsl120 plainFS; } }
)";

const std::string kSyntaxError = "float a = 1;\nfloat b = 2\ntechnique t { }\n";

std::string sizeLine(const std::string& name, size_t size) {
  return "\nfile: " + name + " size: " + std::to_string(size) + "\n";
}

// A logged Runtime with an archive of effect files, a GL window and the Screen's Cg context
// made as Screen::init makes it.
class EffectLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    if (gl.unavailable()) GTEST_SKIP() << "no display for a GL context";
    const std::string archive = logged.dir.file("data.zip");
    resource_fixtures::writeArchive(archive, {{"shaders/two.cgfx", kTwoTechniques},
                                              {"shaders/bloom-final.cgfx", kBloomFinal, true},
                                              {"plain.cgfx", kBloomFinal},
                                              {"shaders/bad.cgfx", kSyntaxError},
                                              {"shaders/empty.cgfx", ""}});
    loader = logged.runtime->loader;
    ASSERT_EQ(loader->openArchive(archive), 0);
    CGcontext context = cgCreateContext();
    ASSERT_NE(context, nullptr);
    cgGLRegisterStates(context);
    cgGLSetManageTextureParameters(context, CG_TRUE);
    logged.runtime->screen->cgContext = context;
    logged.mark();
  }
  void TearDown() override {
    if (logged.runtime->screen->cgContext) cgDestroyContext(logged.runtime->screen->cgContext);
    logged.runtime->screen->cgContext = nullptr;
  }

  GLWindow gl{32, 32};
  LoggedRuntime logged;
  Loader* loader = nullptr;
};

}  // namespace

TEST_F(EffectLoad, SkipsATechniqueThatCannotRunAndUsesTheNext) {
  Shader shader;
  shader.source = "shaders/two.cgfx";
  EXPECT_EQ(loader->loadShader(shader), 0);
  EXPECT_EQ(logged.log(), "load shader: shaders/two.cgfx .. " + sizeLine("shaders/two.cgfx", kTwoTechniques.size()) +
                              "ok\n"
                              "technique fancy did not validate, skipping.\n"
                              "using technique basic\n");
  ASSERT_NE(shader.effect, nullptr);
  EXPECT_EQ(shader.technique, cgGetNextTechnique(cgGetFirstTechnique(shader.effect)));
  EXPECT_TRUE(logged.runtime->tweakGui->parameters.empty());
}

TEST_F(EffectLoad, ASyntaxErrorLogsTheSituationWithTheListing) {
  Shader shader;
  shader.source = "shaders/bad.cgfx";
  EXPECT_EQ(loader->loadShader(shader), 1);
  EXPECT_EQ(shader.effect, nullptr);
  EXPECT_EQ(shader.technique, nullptr);
  EXPECT_EQ(logged.log(), "load shader: shaders/bad.cgfx .. " + sizeLine("shaders/bad.cgfx", kSyntaxError.size()) +
                              "ok\n"
                              "\nsituation: creating effect error: the effect did not compile cg compiler output: "
                              "line 3: expected ';' after parameter 'b', found 'technique'\n\n"
                              "no valid technique\n");
}

TEST_F(EffectLoad, MissingOrEmptyFilesFail) {
  Shader missing;
  missing.source = "shaders/none.cgfx";
  EXPECT_EQ(loader->loadShader(missing), 1);
  EXPECT_EQ(logged.log(), "load shader: shaders/none.cgfx ..  file not found: shaders/none.cgfx\n error, file size 0\n");
  logged.mark();
  Shader empty;
  empty.source = "shaders/empty.cgfx";
  EXPECT_EQ(loader->loadShader(empty), 1);
  EXPECT_EQ(logged.log(), "load shader: shaders/empty.cgfx .. " + sizeLine("shaders/empty.cgfx", 0) + " error, file size 0\n");
  EXPECT_EQ(empty.effect, nullptr);
}

TEST_F(EffectLoad, OtherErrorsLogTheSituationWithoutTheListing) {
  // An effect made without a Cg context: the runtime refuses the handle.
  cgCreateEffect(nullptr, "float a;", nullptr);
  loader->reportCgError();
  EXPECT_EQ(logged.log(), "\nsituation: creating effecterror: invalid context handle\n");
  cgGetError();
  logged.mark();
  loader->reportCgError();
  EXPECT_EQ(logged.log(), "");
}

TEST_F(EffectLoad, FloatParametersAreExposedWithTheirRanges) {
  logged.runtime->gui = 1;
  ASSERT_EQ(logged.runtime->tweakGui->init(), 0);  // the bar that receives the variables
  logged.mark();
  Shader shader;
  shader.source = "shaders/bloom-final.cgfx";
  ASSERT_EQ(loader->loadShader(shader), 0);
  const std::string effect = std::to_string(reinterpret_cast<uintptr_t>(shader.effect));
  EXPECT_EQ(logged.log(),
            "load shader: shaders/bloom-final.cgfx .. " + sizeLine("shaders/bloom-final.cgfx", kBloomFinal.size()) +
                "ok\n"
                "using technique basic\n"
                "found parameter: Exposure\n"
                "param type: float\n"
                "\tfound annotation: UIMin\n"
                "\t\tannotation type: float\n"
                "\tno default value specified. setting to minVal (0.2)\n"
                "\tadding variable to gui: (eff: " + effect + ") Exposure 0.2  group=bloom-final.cgfx label='Exposure' "
                "min=0.2 max=100 step=0.01 \n"
                "found parameter: camPos\n"
                "param type: float3\n"
                "found parameter: BloomStrength\n"
                "param type: float\n"
                "\tfound annotation: UIMax\n"
                "\t\tannotation type: int\n"
                "\tfound annotation: UIStep\n"
                "\t\tannotation type: float\n"
                "\tfound annotation: UIName\n"
                "\t\tannotation type: string\n"
                "\tadding variable to gui: (eff: " + effect + ") BloomStrength 1.5  group=bloom-final.cgfx "
                "label='BloomStrength' min=0 max=100 step=0.05 \n"
                "found parameter: RT\n"
                "param type: sampler2D\n");

  const auto& parameters = logged.runtime->tweakGui->parameters;
  ASSERT_EQ(parameters.size(), 2u);
  EXPECT_EQ(parameters[0].variableName, "bloom-final.Exposure");
  EXPECT_EQ(parameters[0].parameterName, "Exposure");
  EXPECT_EQ(parameters[0].effect, shader.effect);
  EXPECT_FLOAT_EQ(parameters[0].value, 0.2f);
  EXPECT_EQ(parameters[1].variableName, "bloom-final.BloomStrength");
  EXPECT_FLOAT_EQ(parameters[1].value, 1.5f);

  // A source without a folder is its own group.
  Shader plain;
  plain.source = "plain.cgfx";
  ASSERT_EQ(loader->loadShader(plain), 0);
  ASSERT_EQ(parameters.size(), 4u);
  EXPECT_EQ(parameters[2].variableName, "plain.Exposure");
  EXPECT_NE(logged.log().find("group=plain.cgfx label='Exposure' min=0.2 max=100 step=0.01 \n"), std::string::npos);
}

TEST_F(EffectLoad, WithTheGuiOffNoParameterIsLogged) {
  Shader shader;
  shader.source = "shaders/bloom-final.cgfx";
  ASSERT_EQ(loader->loadShader(shader), 0);
  EXPECT_EQ(logged.log().find("parameter"), std::string::npos);
  EXPECT_TRUE(logged.runtime->tweakGui->parameters.empty());
}

TEST_F(EffectLoad, SceneShadersAppendEffectAndTechnique) {
  KestrelLibDynamic scene;
  Kestrel::Shader good;
  good.set_source("shaders/two.cgfx");
  EXPECT_EQ(loader->loadSceneShader(good, scene), 0);
  ASSERT_EQ(scene.effects.size(), 1u);
  ASSERT_EQ(scene.techniques.size(), 1u);
  EXPECT_STREQ(cgGetTechniqueName(scene.techniques[0]), "basic");

  logged.runtime->gui = 1;  // scene effects are never exposed
  Kestrel::Shader bloom;
  bloom.set_source("shaders/bloom-final.cgfx");
  EXPECT_EQ(loader->loadSceneShader(bloom, scene), 0);
  EXPECT_TRUE(logged.runtime->tweakGui->parameters.empty());

  Kestrel::Shader bad;
  bad.set_source("shaders/bad.cgfx");
  EXPECT_EQ(loader->loadSceneShader(bad, scene), 1);
  EXPECT_EQ(scene.effects.size(), 3u);
  EXPECT_EQ(scene.effects[2], nullptr);
  EXPECT_EQ(scene.techniques.size(), 2u);
}
