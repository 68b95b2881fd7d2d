#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstring>

#include "cg/EffectParser.h"

using cg::EffectDesc;
using cg::parseEffect;

namespace {

std::string parseError(const std::string& text) {
  EffectDesc desc;
  std::string error;
  EXPECT_EQ(parseEffect(text.data(), text.size(), desc, error), 1) << text;
  return error;
}

EffectDesc parseOk(const std::string& text) {
  EffectDesc desc;
  std::string error;
  EXPECT_EQ(parseEffect(text.data(), text.size(), desc, error), 0) << error;
  return desc;
}

}  // namespace

TEST(EffectParser, ParametersWithAnnotationsDefaultsAndSemantics) {
  EffectDesc desc = parseOk(R"(
    // line comment
    float BloomThreshold < float UIMin = 0.2; float UIMax = 1.5e0; string UIName = "Threshold"; int UIStep = 2; > = 0.5;
    /* block
       comment */ uniform float3 camPos : POSITION;
    float4x4 mvp = { 1, 0, 0, 0,  0, 2, 0, 0,  0, 0, 3, 0,  0, 0, 0, 1 };
    float2 offset = float2(-1.5, +2.0f);
    int count = 3;
    bool flags = true;
    bool4 mask = bool4(true, false, 0, 2);
  )");
  ASSERT_EQ(desc.parameters.size(), 7u);
  const cg::ParameterDesc& threshold = desc.parameters[0];
  EXPECT_EQ(threshold.type, CG_FLOAT);
  EXPECT_EQ(threshold.name, "BloomThreshold");
  ASSERT_TRUE(threshold.hasDefault);
  EXPECT_FLOAT_EQ(threshold.defaultValue[0], 0.5f);
  ASSERT_EQ(threshold.annotations.size(), 4u);
  EXPECT_EQ(threshold.annotations[0].name, "UIMin");
  EXPECT_FLOAT_EQ(threshold.annotations[0].floats[0], 0.2f);
  EXPECT_FLOAT_EQ(threshold.annotations[1].floats[0], 1.5f);
  EXPECT_EQ(threshold.annotations[2].type, CG_STRING);
  EXPECT_EQ(threshold.annotations[2].text, "Threshold");
  EXPECT_EQ(threshold.annotations[3].type, CG_INT);
  EXPECT_EQ(threshold.annotations[3].ints[0], 2);

  EXPECT_EQ(desc.parameters[1].semantic, "POSITION");
  EXPECT_FALSE(desc.parameters[1].hasDefault);
  EXPECT_EQ(desc.parameters[1].line, 5);
  EXPECT_EQ(desc.parameters[2].defaultValue.size(), 16u);
  EXPECT_FLOAT_EQ(desc.parameters[2].defaultValue[5], 2.0f);
  EXPECT_FLOAT_EQ(desc.parameters[3].defaultValue[0], -1.5f);
  EXPECT_FLOAT_EQ(desc.parameters[3].defaultValue[1], 2.0f);
  EXPECT_FLOAT_EQ(desc.parameters[4].defaultValue[0], 3.0f);
  EXPECT_FLOAT_EQ(desc.parameters[5].defaultValue[0], 1.0f);
  EXPECT_EQ(desc.parameters[6].defaultValue, (std::vector<float>{1, 0, 0, 1}));
}

TEST(EffectParser, SamplersProgramsAndTechniques) {
  EffectDesc desc = parseOk(R"(sampler2D RT = sampler_state {
  minFilter = Linear; MagFilter = nearest; WrapS = ClampToEdge; WrapT = MirroredRepeat;
  MaxAnisotropy = 4; BorderColor = float4(0, 0, 0, 1);
};
samplerCUBE env;
glsl_shared { varying vec2 uv; }
glsl_vertex vs {
  void main() { uv = gl_MultiTexCoord0.xy; gl_Position = ftransform(); } // } in a comment
}
technique first < string Note = "x"; > {
  pass p0 {
    DepthTestEnable = false; DepthMask = true; DepthFunc = LEqual;
    CullFaceEnable = true; CullFace = Back; BlendEnable = TRUE;
    BlendFunc = int2(SrcAlpha, OneMinusSrcAlpha); AlphaTestEnable = true;
    AlphaFunc = float2(Greater, 0.25); ColorMask = bool4(true, true, true, false);
    FancyState = 3;
    VertexProgram = compile glsl120 vs();
    FragmentProgram = compile glsl130 fs;
  }
  pass { }
}
technique { }
glsl_fragment fs { void main() { gl_FragColor = vec4(uv, 0.0, 1.0); } }
)");
  ASSERT_EQ(desc.parameters.size(), 2u);
  ASSERT_EQ(desc.parameters[0].sampler.size(), 6u);
  EXPECT_EQ(desc.parameters[0].sampler[0].pname, unsigned(GL_TEXTURE_MIN_FILTER));
  EXPECT_EQ(desc.parameters[0].sampler[0].intValue, GL_LINEAR);
  EXPECT_EQ(desc.parameters[0].sampler[1].intValue, GL_NEAREST);
  EXPECT_EQ(desc.parameters[0].sampler[3].intValue, GL_MIRRORED_REPEAT);
  EXPECT_FLOAT_EQ(desc.parameters[0].sampler[4].floatValues[0], 4.0f);
  EXPECT_FLOAT_EQ(desc.parameters[0].sampler[5].floatValues[3], 1.0f);
  EXPECT_EQ(desc.parameters[1].type, CG_SAMPLERCUBE);

  ASSERT_EQ(desc.shared.size(), 1u);
  ASSERT_EQ(desc.programs.size(), 2u);
  EXPECT_TRUE(desc.programs[0].vertex);
  EXPECT_EQ(desc.programs[0].line, 7);  // the code starts on the line of its brace
  EXPECT_NE(desc.programs[0].code.find("ftransform"), std::string::npos);
  EXPECT_FALSE(desc.programs[1].vertex);

  ASSERT_EQ(desc.techniques.size(), 2u);
  EXPECT_EQ(desc.techniques[0].name, "first");
  EXPECT_EQ(desc.techniques[1].name, "");
  ASSERT_EQ(desc.techniques[0].passes.size(), 2u);
  const cg::PassDesc& pass = desc.techniques[0].passes[0];
  ASSERT_EQ(pass.states.size(), 10u);
  EXPECT_EQ(pass.states[0].cap, unsigned(GL_DEPTH_TEST));
  EXPECT_FALSE(pass.states[0].flag);
  EXPECT_EQ(pass.states[2].enums[0], unsigned(GL_LEQUAL));
  EXPECT_EQ(pass.states[6].enums[0], unsigned(GL_SRC_ALPHA));
  EXPECT_EQ(pass.states[6].enums[1], unsigned(GL_ONE_MINUS_SRC_ALPHA));
  EXPECT_FLOAT_EQ(pass.states[8].reference, 0.25f);
  EXPECT_FALSE(pass.states[9].mask[3]);
  ASSERT_EQ(pass.unknownStates.size(), 1u);
  EXPECT_EQ(pass.unknownStates[0].name, "FancyState");
  EXPECT_EQ(pass.unknownStates[0].line, 16);
  EXPECT_EQ(pass.vertex.program, 0);
  EXPECT_EQ(pass.vertex.profileVersion, 120);
  EXPECT_EQ(pass.fragment.program, 1);
  EXPECT_EQ(pass.fragment.profileVersion, 130);
  EXPECT_FALSE(desc.techniques[0].passes[1].vertex.used);
}

TEST(EffectParser, ErrorsNameTheLineAndTheProblem) {
  EXPECT_EQ(parseError("float a = 1;\nfloat b = 2\ntechnique t {}"), "line 3: expected ';' after parameter 'b', found 'technique'");
  EXPECT_EQ(parseError("float3 v = 1;"), "line 1: parameter 'v' is a float3 and needs 3 values, found 1");
  EXPECT_EQ(parseError("int i = 1.5;"), "line 1: parameter 'i' is an int and takes whole numbers");
  EXPECT_EQ(parseError("\n\nfloat a;\nfloat a;"), "line 4: parameter 'a' is already declared at line 3");
  EXPECT_EQ(parseError("vec3 v;"), "line 1: expected a parameter, a program block or a technique, found 'vec3'");
  EXPECT_EQ(parseError("float x < float UIMin = ; >;"), "line 1: expected a value, found ';'");
  EXPECT_EQ(parseError("string s = \"a\";"), "line 1: string values are allowed in annotations only");
  EXPECT_EQ(parseError("float w[4];"), "line 1: parameter 'w': arrays are not supported");
  EXPECT_EQ(parseError("sampler2D s = 1;"), "line 1: parameter 's' is a sampler and takes a sampler_state { ... } block");
  EXPECT_EQ(parseError("sampler2D s = sampler_state {\n  Filter = Linear; };"),
            "line 2: unknown sampler state 'Filter' (known: MinFilter, MagFilter, WrapS, WrapT, WrapR, MaxAnisotropy, BorderColor)");
  EXPECT_EQ(parseError("sampler2D s = sampler_state { MagFilter = LinearMipmapLinear; };"),
            "line 1: MagFilter takes one of Nearest, Linear");
  EXPECT_EQ(parseError("technique t { pass p {\n DepthFunc = Sideways; } }"),
            "line 2: DepthFunc takes one of Never, Less, LEqual, LessEqual, Equal, Greater, NotEqual, GEqual, "
            "GreaterEqual, Always");
  EXPECT_EQ(parseError("technique t { pass p { BlendFunc = SrcAlpha; } }"),
            "line 1: BlendFunc takes two of Zero, One, SrcColor, OneMinusSrcColor, DstColor, OneMinusDstColor, SrcAlpha, "
            "OneMinusSrcAlpha, DstAlpha, OneMinusDstAlpha, SrcAlphaSaturate, ConstantColor, OneMinusConstantColor, "
            "ConstantAlpha, OneMinusConstantAlpha, as in int2(SrcAlpha, OneMinusSrcAlpha)");
  EXPECT_EQ(parseError("technique t { pass p {\n\n VertexProgram = compile glsl120 missing; } }"),
            "line 3: no glsl_vertex block named 'missing'");
  EXPECT_EQ(parseError("glsl_fragment f { }\ntechnique t { pass p { VertexProgram = compile glsl120 f; } }"),
            "line 2: 'f' is not a glsl_vertex block");
  EXPECT_EQ(parseError("glsl_vertex v { }\ntechnique t { pass p { VertexProgram = compile arbvp1 v; } }"),
            "line 2: unknown profile 'arbvp1' (glsl120, or glslNNN for another GLSL version)");
  EXPECT_EQ(parseError("glsl_vertex v { }\ntechnique t { pass p { VertexProgram = v; } }"),
            "line 2: VertexProgram takes 'compile <profile> <program>', as in compile glsl120 mainVS");
  EXPECT_EQ(parseError("\nglsl_vertex v { void main() {\n\n"), "line 2: glsl_vertex block 'v' opened here is not closed");
  EXPECT_EQ(parseError("float a; /* open\n\n"), "line 1: comment opened here is not closed");
  EXPECT_EQ(parseError("float a < string s = \"open\n\"; >;"), "line 1: string is not closed on its line");
  EXPECT_EQ(parseError("float a = 1e999;"), "line 1: number '1e999' is out of range");
  EXPECT_EQ(parseError("float a = 1x;"), "line 1: malformed number '1x'");
  EXPECT_EQ(parseError("float a = 1; @"), "line 1: unexpected character '@'");
  EXPECT_EQ(parseError("float gl_Color;"), "line 1: parameter 'gl_Color': names starting with gl_ belong to GLSL");
  EXPECT_EQ(parseError("technique t { pass p { DepthMask = true } }"), "line 1: expected ';' after state DepthMask, found '}'");
  EXPECT_EQ(parseError("technique t { state p { } }"), "line 1: expected 'pass' or '}' in technique 't', found 'state'");
}

TEST(EffectParser, HostileInputIsRefusedWithoutCrashing) {
  std::string deep = "float4 v = " + std::string(50, '{') + "1" + std::string(50, '}') + ";";
  EXPECT_EQ(parseError(deep), "line 1: value is nested too deeply");
  std::string wide = "float4 v = {";
  for (int i = 0; i < 300; ++i) wide += "1,";
  wide += "1};";
  EXPECT_EQ(parseError(wide), "line 1: value has too many components");
  const char withNul[] = "float a = 1;\0float b;";
  EXPECT_EQ(parseError(std::string(withNul, sizeof withNul - 1)), "line 1: unexpected byte 0");
  EXPECT_EQ(parseError("float a = 1; \xff"), "line 1: unexpected byte 255");
  EffectDesc desc;
  std::string error;
  EXPECT_EQ(parseEffect(nullptr, 0, desc, error), 1);
  // Floats far outside the int range still give defined int views.
  const std::string huge = "float a < float UIMax = 7e27; float UIMin = -7e27; >;";
  ASSERT_EQ(parseEffect(huge.data(), huge.size(), desc, error), 0) << error;
  EXPECT_EQ(desc.parameters[0].annotations[0].ints[0], 2147483647);
  EXPECT_EQ(desc.parameters[0].annotations[1].ints[0], -2147483647 - 1);
  // Truncations of a valid effect fail cleanly or parse; none may crash.
  const std::string full =
      "float a < float UIMin = 0; > = 1; sampler2D s = sampler_state { MinFilter = Linear; };"
      "glsl_vertex v { void main() { gl_Position = ftransform(); } }"
      "technique t { pass p { DepthFunc = Less; VertexProgram = compile glsl120 v; } }";
  for (size_t n = 0; n <= full.size(); ++n) parseEffect(full.data(), n, desc, error);
  EXPECT_EQ(parseEffect(full.data(), full.size(), desc, error), 0) << error;
}
