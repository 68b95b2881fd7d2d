#include <gtest/gtest.h>

#include <GL/glew.h>

#include <cstdlib>
#include <filesystem>
#include <cstdio>
#include <vector>

#include "cg/CgGL.h"
#include "support/TestSupport.h"

using testing_support::GLWindow;

namespace {

std::vector<CGerror> reported;
void recordError(CGcontext, CGerror error, void*) { reported.push_back(error); }

// A GL window, a context with registered states and managed textures, and a recording
// error handler.
class EffectRuntime : public ::testing::Test {
 protected:
  void SetUp() override {
    if (gl.unavailable()) GTEST_SKIP() << "no display for a GL context";
    context = cgCreateContext();
    ASSERT_NE(context, nullptr);
    cgSetErrorHandler(recordError, nullptr);
    cgGLRegisterStates(context);
    cgGLSetManageTextureParameters(context, CG_TRUE);
    reported.clear();
  }
  void TearDown() override {
    if (context) cgDestroyContext(context);
    cgSetErrorHandler(nullptr, nullptr);
  }

  CGeffect create(const std::string& text) {
    CGeffect effect = cgCreateEffect(context, text.c_str(), nullptr);
    EXPECT_NE(effect, nullptr) << cgGetLastListing(context);
    return effect;
  }

  GLWindow gl{64, 64};
  CGcontext context = nullptr;
};

const char* kQuadPrograms = R"(
glsl_shared { varying vec2 uv; }
glsl_vertex quadVS { void main() { uv = gl_MultiTexCoord0.xy; gl_Position = gl_Vertex; } }
glsl_fragment plainFS { void main() { gl_FragColor = vec4(uv, 0.0, 1.0); } }
)";

}  // namespace

TEST(EffectContext, CreationNeedsACurrentGLContext) {
  reported.clear();
  cgSetErrorHandler(recordError, nullptr);
  EXPECT_EQ(cgCreateContext(), nullptr);
  CGerror error = CG_NO_ERROR;
  cgGetLastErrorString(&error);
  EXPECT_EQ(error, CG_NO_GL_CONTEXT_ERROR);
  EXPECT_EQ(reported, std::vector<CGerror>{CG_NO_GL_CONTEXT_ERROR});
  cgSetErrorHandler(nullptr, nullptr);
}

TEST_F(EffectRuntime, BadHandlesGoToTheErrorHandlerAndDoNothing) {
  cgGLSetParameter1f(nullptr, 1.0f);
  cgGLSetParameter3f(nullptr, 1.0f, 2.0f, 3.0f);
  cgGLSetupSampler(nullptr, 7);
  cgSetPassState(nullptr);
  cgResetPassState(nullptr);
  EXPECT_EQ(cgGetFirstTechnique(nullptr), nullptr);
  EXPECT_STREQ(cgGetParameterName(nullptr), "");
  EXPECT_EQ(cgGetParameterValuefr(nullptr, 1, nullptr), 0);
  EXPECT_EQ(reported, (std::vector<CGerror>{CG_INVALID_PARAM_HANDLE_ERROR, CG_INVALID_PARAM_HANDLE_ERROR,
                                            CG_INVALID_PARAM_HANDLE_ERROR, CG_INVALID_PASS_HANDLE_ERROR,
                                            CG_INVALID_PASS_HANDLE_ERROR, CG_INVALID_EFFECT_HANDLE_ERROR,
                                            CG_INVALID_PARAM_HANDLE_ERROR, CG_INVALID_PARAM_HANDLE_ERROR}));
  EXPECT_EQ(cgGetError(), CG_INVALID_PARAM_HANDLE_ERROR);
  EXPECT_EQ(cgGetError(), CG_NO_ERROR);

  // A parameter the effect lacks is no error; a destroyed effect's handle is refused.
  CGeffect effect = create("float a = 1;");
  reported.clear();
  EXPECT_EQ(cgGetNamedEffectParameter(effect, "absent"), nullptr);
  EXPECT_TRUE(reported.empty());
  CGparameter a = cgGetNamedEffectParameter(effect, "a");
  cgDestroyEffect(effect);
  cgGLSetParameter1f(a, 2.0f);
  EXPECT_EQ(cgGetFirstEffectParameter(effect), nullptr);
  EXPECT_EQ(reported, (std::vector<CGerror>{CG_INVALID_PARAM_HANDLE_ERROR, CG_INVALID_EFFECT_HANDLE_ERROR}));
}

TEST_F(EffectRuntime, ParametersAnnotationsAndValues) {
  CGeffect effect = create(R"(
    float BloomThreshold < float UIMin = 0.2; int UIMax = 4; string UIName = "bloom"; >;
    float3 camPos = float3(1, 2, 3);
    float4x4 m = { 1, 2, 3, 4,  5, 6, 7, 8,  9, 10, 11, 12,  13, 14, 15, 16 };
    int count = 2;
    sampler2D RT;
  )");
  CGparameter threshold = cgGetFirstEffectParameter(effect);
  ASSERT_NE(threshold, nullptr);
  EXPECT_STREQ(cgGetParameterName(threshold), "BloomThreshold");
  EXPECT_STREQ(cgGetTypeString(cgGetParameterType(threshold)), "float");
  std::vector<std::string> names, types;
  for (CGparameter p = threshold; p; p = cgGetNextParameter(p)) {
    names.push_back(cgGetParameterName(p));
    types.push_back(cgGetTypeString(cgGetParameterType(p)));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"BloomThreshold", "camPos", "m", "count", "RT"}));
  EXPECT_EQ(types, (std::vector<std::string>{"float", "float3", "float4x4", "int", "sampler2D"}));

  CGannotation uiMin = cgGetFirstParameterAnnotation(threshold);
  EXPECT_STREQ(cgGetAnnotationName(uiMin), "UIMin");
  EXPECT_STREQ(cgGetTypeString(cgGetAnnotationType(uiMin)), "float");
  int count = 0;
  const float* values = cgGetFloatAnnotationValues(uiMin, &count);
  ASSERT_EQ(count, 1);
  EXPECT_FLOAT_EQ(values[0], 0.2f);
  CGannotation uiMax = cgGetNextAnnotation(uiMin);
  EXPECT_STREQ(cgGetTypeString(cgGetAnnotationType(uiMax)), "int");
  EXPECT_EQ(cgGetIntAnnotationValues(uiMax, &count)[0], 4);
  CGannotation uiName = cgGetNextAnnotation(uiMax);
  EXPECT_STREQ(cgGetStringAnnotationValue(uiName), "bloom");
  EXPECT_EQ(cgGetFloatAnnotationValues(uiName, &count), nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(cgGetNextAnnotation(uiName), nullptr);

  // No default: no value until one is set; then it stays.
  float v[16] = {};
  EXPECT_EQ(cgGetParameterValuefr(threshold, 1, v), 0);
  cgGLSetParameter1f(threshold, 0.75f);
  EXPECT_EQ(cgGetParameterValuefr(threshold, 1, v), 1);
  EXPECT_FLOAT_EQ(v[0], 0.75f);
  EXPECT_EQ(cgGetParameterValuefr(threshold, 1, v), 1);

  CGparameter camPos = cgGetNamedEffectParameter(effect, "camPos");
  EXPECT_EQ(cgGetParameterValuefr(camPos, 3, v), 3);
  EXPECT_FLOAT_EQ(v[2], 3.0f);
  cgGLSetParameter1f(camPos, 9.0f);  // sets x, keeps y and z
  cgGetParameterValuefr(camPos, 3, v);
  EXPECT_EQ(std::vector<float>(v, v + 3), (std::vector<float>{9, 2, 3}));
  cgGLSetParameter3f(camPos, 4, 5, 6);
  EXPECT_EQ(cgGetParameterValuefr(camPos, 2, v), 2);  // asks for 2 of 3
  EXPECT_FLOAT_EQ(v[1], 5.0f);

  CGparameter m = cgGetNamedEffectParameter(effect, "m");
  EXPECT_EQ(cgGetParameterValuefr(m, 16, v), 16);
  EXPECT_FLOAT_EQ(v[1], 2.0f);  // row-major as written
  CGparameter countParameter = cgGetNamedEffectParameter(effect, "count");
  cgGLSetParameter1f(countParameter, 3.7f);
  cgGetParameterValuefr(countParameter, 1, v);
  EXPECT_FLOAT_EQ(v[0], 3.0f);
  cgGLSetParameter1f(countParameter, 1e20f);  // held inside the int range
  cgGetParameterValuefr(countParameter, 1, v);
  EXPECT_FLOAT_EQ(v[0], 2147483647.0f);

  CGparameter rt = cgGetNamedEffectParameter(effect, "RT");
  reported.clear();
  cgGLSetParameter1f(rt, 1.0f);
  cgGLSetupSampler(threshold, 3);
  EXPECT_EQ(reported, (std::vector<CGerror>{CG_INVALID_PARAMETER_TYPE_ERROR, CG_INVALID_PARAMETER_TYPE_ERROR}));
  cgGLSetupSampler(rt, 3);
  EXPECT_EQ(cgGLGetTextureParameter(rt), 3u);
}

TEST_F(EffectRuntime, SyntaxAndProgramErrorsGiveCompilerErrorAndListing) {
  CGerror error = CG_NO_ERROR;
  EXPECT_EQ(cgCreateEffect(context, "float a = 1;\n\nfloat b = ;\n", nullptr), nullptr);
  EXPECT_STREQ(cgGetLastErrorString(&error), "the effect did not compile");
  EXPECT_EQ(error, CG_COMPILER_ERROR);
  EXPECT_STREQ(cgGetLastListing(context), "line 3: expected a value, found ';'\n");

  const std::string broken = std::string(kQuadPrograms) + R"(
glsl_fragment brokenFS {
  void main() {
    gl_FragColor = vec4(uv, 0.0, 1.0) + undefinedThing;
  }
}
technique t { pass p { VertexProgram = compile glsl120 quadVS; FragmentProgram = compile glsl120 brokenFS; } }
)";
  EXPECT_EQ(cgCreateEffect(context, broken.c_str(), nullptr), nullptr);
  cgGetLastErrorString(&error);
  EXPECT_EQ(error, CG_COMPILER_ERROR);
  // The GL's own message, put on the effect file's line of the mistake.
  const std::string listing = cgGetLastListing(context);
  EXPECT_EQ(listing.rfind("line 8, column ", 0), 0u) << listing;
  EXPECT_NE(listing.find(": glsl_fragment 'brokenFS' did not compile with glsl120: "), std::string::npos) << listing;
  EXPECT_NE(listing.find("undefinedThing"), std::string::npos) << listing;

  // Whatever the runtime puts before the code (version, uniforms, shared blocks), in any
  // profile: a mistake in a shared block, a uniform that clashes with the code, a mistake
  // after them in a newer profile.
  const auto firstLine = [&](const std::string& text) {
    EXPECT_EQ(cgCreateEffect(context, text.c_str(), nullptr), nullptr);
    const std::string all = cgGetLastListing(context);
    return all.substr(0, all.find('\n'));
  };
  const std::string shared = "float gain = 2.0;\nglsl_shared {\n varying vec2 uv;\n float k = ;\n}\n"
                             "glsl_fragment fs {\n void main() { gl_FragColor = vec4(uv, k, gain); }\n}\n"
                             "technique t { pass p { FragmentProgram = compile PROFILE fs; } }\n";
  for (const char* profile : {"glsl120", "glsl130", "glsl330"}) {
    std::string text = shared;
    text.replace(text.find("PROFILE"), 7, profile);
    EXPECT_EQ(firstLine(text).rfind("line 4, column ", 0), 0u) << profile << ": " << cgGetLastListing(context);
    text.replace(text.find("float k = ;"), 11, "float k = 1.0;");
    text.replace(text.find("gain); }"), 8, "gain); }\n void main() { }");
    EXPECT_EQ(firstLine(text).rfind("line 8, column ", 0), 0u) << profile << ": " << cgGetLastListing(context);
  }
  const std::string clash = "\nfloat gain = 2.0;\nglsl_fragment fs {\n vec4 gain;\n void main() { gl_FragColor = gain; }\n}\n"
                            "technique t { pass p { FragmentProgram = compile glsl120 fs; } }\n";
  const std::string clashLine = firstLine(clash);
  EXPECT_TRUE(clashLine.rfind("line 2, ", 0) == 0 || clashLine.rfind("line 4, ", 0) == 0) << clashLine;

  // The next creation starts clean.
  create(std::string(kQuadPrograms));
  cgGetLastErrorString(&error);
  EXPECT_EQ(error, CG_NO_ERROR);
  EXPECT_STREQ(cgGetLastListing(context), "");
}

TEST_F(EffectRuntime, ValidationNeedsLinkedProgramsAndKnownStates) {
  const std::string text = std::string(kQuadPrograms) + R"(
glsl_fragment readsMissingVarying { varying vec3 neverWritten; void main() { gl_FragColor = vec4(neverWritten, 1.0); } }
technique doesNotLink { pass { VertexProgram = compile glsl120 quadVS; FragmentProgram = compile glsl120 readsMissingVarying; } }
technique unknownState { pass p {
  VertexProgram = compile glsl120 quadVS;
  ShadeModel = Flat; } }
technique fixedFunction { pass { DepthTestEnable = false; } }
technique works { pass first { VertexProgram = compile glsl120 quadVS; FragmentProgram = compile glsl120 plainFS; }
                  pass second { FragmentProgram = compile glsl120 plainFS; } }
)";
  CGeffect effect = create(text);
  std::vector<std::string> names;
  std::vector<CGbool> valid;
  for (CGtechnique t = cgGetFirstTechnique(effect); t; t = cgGetNextTechnique(t)) {
    names.push_back(cgGetTechniqueName(t));
    valid.push_back(cgValidateTechnique(t));
  }
  EXPECT_EQ(names, (std::vector<std::string>{"doesNotLink", "unknownState", "fixedFunction", "works"}));
  EXPECT_EQ(valid, (std::vector<CGbool>{CG_FALSE, CG_FALSE, CG_TRUE, CG_TRUE}));

  CGtechnique unknown = cgGetNamedTechnique(effect, "unknownState");
  cgValidateTechnique(unknown);
  EXPECT_STREQ(cgGetLastListing(context), "line 10: pass 'p' of technique 'unknownState': unknown state 'ShadeModel'\n");
  EXPECT_FALSE(cgIsTechniqueValidated(unknown));
  reported.clear();
  cgSetPassState(cgGetFirstPass(unknown));  // refused: it cannot run
  EXPECT_EQ(reported, std::vector<CGerror>{CG_INVALID_PASS_STATE_ERROR});

  CGtechnique works = cgGetNamedTechnique(effect, "works");
  CGpass first = cgGetFirstPass(works);
  EXPECT_STREQ(cgGetPassName(first), "first");
  EXPECT_STREQ(cgGetPassName(cgGetNextPass(first)), "second");
  EXPECT_EQ(cgGetNextPass(cgGetNextPass(first)), nullptr);
}

TEST_F(EffectRuntime, ProfilesAboveTheGLsVersionDoNotValidate) {
  int major = 0, minor = 0;
  std::sscanf(reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION)), "%d.%d", &major, &minor);
  if (major * 100 + minor >= 460) GTEST_SKIP() << "this GL compiles every profile";
  const std::string text = std::string(kQuadPrograms) +
                           "technique future { pass p { FragmentProgram = compile glsl460 plainFS; } }\n"
                           "technique today { pass p { FragmentProgram = compile glsl120 plainFS; } }\n";
  CGeffect effect = create(text);
  CGerror error = CG_NO_ERROR;
  cgGetLastErrorString(&error);
  EXPECT_EQ(error, CG_NO_ERROR);
  CGtechnique future = cgGetFirstTechnique(effect);
  EXPECT_FALSE(cgValidateTechnique(future));
  EXPECT_NE(std::string(cgGetLastListing(context)).find("compile glsl460 needs GLSL 4.60"), std::string::npos);
  EXPECT_TRUE(cgValidateTechnique(cgGetNextTechnique(future)));
}

TEST_F(EffectRuntime, WithoutRegisteredStatesNoPassValidates) {
  CGcontext bare = cgCreateContext();
  CGeffect effect = cgCreateEffect(bare, (std::string(kQuadPrograms) +
                                          "technique t { pass p { FragmentProgram = compile glsl120 plainFS; } }")
                                             .c_str(),
                                   nullptr);
  ASSERT_NE(effect, nullptr);
  EXPECT_FALSE(cgValidateTechnique(cgGetFirstTechnique(effect)));
  EXPECT_NE(std::string(cgGetLastListing(bare)).find("no states are registered"), std::string::npos);
  cgGLRegisterStates(bare);
  EXPECT_TRUE(cgValidateTechnique(cgGetFirstTechnique(effect)));
  cgDestroyContext(bare);
  reported.clear();
  cgGetFirstTechnique(effect);  // the context took its effects with it
  EXPECT_EQ(reported, std::vector<CGerror>{CG_INVALID_EFFECT_HANDLE_ERROR});
}

TEST_F(EffectRuntime, TheDocumentedExampleCompilesAndValidates) {
  const std::string doc = testing_support::readFile(std::string(PYLON_TEST_DATA) + "/../../docs/effect-format.md");
  const size_t start = doc.find("```\n");
  ASSERT_NE(start, std::string::npos);
  const size_t end = doc.find("```\n", start + 4);
  ASSERT_NE(end, std::string::npos);
  CGeffect effect = create(doc.substr(start + 4, end - start - 4));
  CGtechnique modern = cgGetFirstTechnique(effect);
  EXPECT_STREQ(cgGetTechniqueName(modern), "modern");
  EXPECT_TRUE(cgValidateTechnique(modern)) << cgGetLastListing(context);
  EXPECT_TRUE(cgValidateTechnique(cgGetNextTechnique(modern))) << cgGetLastListing(context);
  float v[1];
  EXPECT_EQ(cgGetParameterValuefr(cgGetNamedEffectParameter(effect, "Exposure"), 1, v), 0);
}

TEST_F(EffectRuntime, EveryEffectOfTheContentCompilesAndHasAValidTechnique) {
  const std::filesystem::path root = std::filesystem::path(PYLON_TEST_DATA) / ".." / ".." / "Content";
  int checked = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (entry.path().extension() != ".cgfx") continue;
    ++checked;
    const std::string text = testing_support::readFile(entry.path().string());
    CGeffect effect = cgCreateEffect(context, text.c_str(), nullptr);
    ASSERT_NE(effect, nullptr) << entry.path() << "\n" << cgGetLastListing(context);
    bool valid = false;
    for (CGtechnique t = cgGetFirstTechnique(effect); t && !valid; t = cgGetNextTechnique(t)) valid = cgValidateTechnique(t);
    EXPECT_TRUE(valid) << entry.path() << "\n" << cgGetLastListing(context);
    cgDestroyEffect(effect);
  }
  if (checked == 0) GTEST_SKIP() << "no effect files in Content yet";
}
