// The GLSL translation on small programs: what it rewrites, what it leaves, and that every
// line stays where it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "cg/CgObjects.h"
#include "cg/GlslDialect.h"

using cg::GlslDialect;

namespace {

size_t lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

std::string line(const std::string& text, size_t n) {  // n from 1
  size_t from = 0;
  for (size_t k = 1; k < n; ++k) from = text.find('\n', from) + 1;
  return text.substr(from, text.find('\n', from) - from);
}

const char* const kVertex = R"(varying vec2 uv;
// gl_Vertex and texture2D in a comment stay as they are
float filter(float x) { return x * 0.5; }
/* a block comment over two lines: varying
   gl_ModelViewMatrix */ void main() {
  float sample = filter(gl_MultiTexCoord0.x) + 1e-5;
  uv = vec2(sample, texture2DLod(map, gl_MultiTexCoord0.xy, 0.0).r);
  gl_Position = ftransform(
  );
}
)";

}  // namespace

TEST(GlslDialect, EsVertexProgramKeepsItsLinesCommentsAndRenamesReservedNames) {
  const cg::TranslatedText es = cg::translateText(kVertex, true, 120, GlslDialect::Es300);
  ASSERT_EQ(lines(es.header), 2u);
  EXPECT_EQ(line(es.header, 1), "#version 300 es");
  EXPECT_EQ(line(es.header, 2),
            "precision highp float; precision highp int; layout(location = 0) in vec4 pylon_Vertex; "
            "layout(location = 3) in vec4 pylon_MultiTexCoord0; uniform mat4 pylon_ModelViewProjectionMatrix;");
  ASSERT_EQ(lines(es.body), lines(kVertex));
  EXPECT_EQ(line(es.body, 1), "out vec2 uv;");
  EXPECT_EQ(line(es.body, 2), "// gl_Vertex and texture2D in a comment stay as they are");
  EXPECT_EQ(line(es.body, 3), "float pylon_filter(float x) { return x * 0.5; }");
  EXPECT_EQ(line(es.body, 4), "/* a block comment over two lines: varying");
  EXPECT_EQ(line(es.body, 5), "   gl_ModelViewMatrix */ void main() {");
  EXPECT_EQ(line(es.body, 6), "  float pylon_sample = pylon_filter(pylon_MultiTexCoord0.x) + 1e-5;");
  EXPECT_EQ(line(es.body, 7), "  uv = vec2(pylon_sample, textureLod(map, pylon_MultiTexCoord0.xy, 0.0).r);");
  EXPECT_EQ(line(es.body, 8), "  gl_Position = (pylon_ModelViewProjectionMatrix * pylon_Vertex)");
  EXPECT_EQ(line(es.body, 9), ";");

  // The desktop keeps the GLSL 1.20 words and names; only the built-ins change.
  const cg::TranslatedText desktop = cg::translateText(kVertex, true, 120, GlslDialect::Desktop);
  EXPECT_EQ(desktop.header,
            "#version 120\nattribute vec4 pylon_Vertex; attribute vec4 pylon_MultiTexCoord0; "
            "uniform mat4 pylon_ModelViewProjectionMatrix;\n");
  EXPECT_EQ(line(desktop.body, 6), "  float sample = filter(pylon_MultiTexCoord0.x) + 1e-5;");
}

TEST(GlslDialect, EsFragmentProgramWritesItsOwnColourOutput) {
  const std::string body =
      "varying vec3 n;\nuniform sampler3D volume;\nuniform sampler2D map;\n"
      "void main() { vec4 texture = texture3D(volume, n) + texture2D(map, n.xy);\n"
      "  gl_FragData [ 0 ] = texture * vec4(gl_NormalMatrix * n, 1.0); }\n";
  const cg::TranslatedText es = cg::translateText(body, false, 120, GlslDialect::Es300);
  EXPECT_EQ(line(es.header, 2),
            "precision highp float; precision highp int; precision highp sampler2D; precision highp sampler3D; "
            "uniform mat3 pylon_NormalMatrix; out vec4 pylon_FragColor;");
  EXPECT_EQ(es.body,
            "in vec3 n;\nuniform sampler3D volume;\nuniform sampler2D map;\n"
            "void main() { vec4 pylon_texture = texture(volume, n) + texture(map, n.xy);\n"
            "  pylon_FragColor = pylon_texture * vec4(pylon_NormalMatrix * n, 1.0); }\n");
  // Another index needs the whole array; vertex attributes mean nothing in a fragment program.
  const cg::TranslatedText array = cg::translateText(
      "void main() { gl_FragData[1] = gl_Vertex; gl_FragData[0] = vec4(0.0); }", false, 120, GlslDialect::Es300);
  EXPECT_EQ(array.body, "void main() { pylon_FragData[1] = gl_Vertex; pylon_FragData[0] = vec4(0.0); }");
  EXPECT_NE(array.header.find("layout(location = 0) out vec4 pylon_FragData[gl_MaxDrawBuffers];"), std::string::npos);
}

TEST(GlslDialect, NamesTheProgramsVersionOwnsAreNotRenamed) {
  // A GLSL 1.30 program calls texture() and declares its own output.
  const std::string body =
      "in vec2 uv; out vec4 colour; uniform sampler2D map;\n"
      "void main() { colour = texture(map, uv) * round(2.5); }\n";
  EXPECT_EQ(cg::translateText(body, false, 130, GlslDialect::Es300).body, body);
  EXPECT_EQ(cg::glslIdentifier("texture", 120, GlslDialect::Es300), "pylon_texture");
  EXPECT_EQ(cg::glslIdentifier("texture", 130, GlslDialect::Es300), "texture");
  EXPECT_EQ(cg::glslIdentifier("webgl_depth", 130, GlslDialect::Es300), "pylon_webgl_depth");
  EXPECT_EQ(cg::glslIdentifier("filter", 120, GlslDialect::Desktop), "filter");
  EXPECT_EQ(cg::translateText(body, false, 130, GlslDialect::Desktop).header, "#version 130\n\n");
  EXPECT_EQ(cg::translateText("void main() {}", false, 150, GlslDialect::Desktop).header,
            "#version 150 compatibility\n\n");
}

TEST(GlslDialect, WholeProgramsTradeTheirVersionLineForTheHeader) {
  const std::string source = "#version 120\nvoid main() {\n  gl_FragColor = vec4(1.0);\n}\n";
  EXPECT_EQ(cg::translateProgram(source, false, GlslDialect::Es300),
            "#version 300 es\nprecision highp float; precision highp int; out vec4 pylon_FragColor;\n"
            "void main() {\n  pylon_FragColor = vec4(1.0);\n}\n");
  EXPECT_EQ(cg::translateProgram("#version 150 core\nin vec4 p;\nvoid main() { gl_Position = p; }", true,
                                 GlslDialect::Desktop),
            "#version 150 core\n\nin vec4 p;\nvoid main() { gl_Position = p; }");
  // Without a version line the program is GLSL 1.10.
  EXPECT_EQ(cg::translateProgram("void main() { gl_Position = gl_Vertex; }", true, GlslDialect::Desktop),
            "#version 110\nattribute vec4 pylon_Vertex;\nvoid main() { gl_Position = pylon_Vertex; }");
}

TEST(GlslDialect, UnfinishedTextKeepsItsLines) {
  for (const char* text : {"/* never closed\n gl_Vertex texture2D", "gl_Position = ftransform(\n", "gl_FragData[\n0",
                           "float x = 1e", "float y = 0x1e-1;\r\n", "#version\n", ""})
    for (bool vertex : {true, false})
      for (GlslDialect dialect : {GlslDialect::Desktop, GlslDialect::Es300}) {
        const cg::TranslatedText t = cg::translateText(text, vertex, 120, dialect);
        EXPECT_EQ(lines(t.body), lines(text)) << text;
        EXPECT_EQ(lines(t.header), 2u) << text;
      }
  EXPECT_EQ(cg::translateText("/* never closed\n gl_Vertex", true, 120, GlslDialect::Es300).body,
            "/* never closed\n gl_Vertex");
  EXPECT_EQ(cg::translateText("y = 1e-5*sample+.5e+2*input;", true, 120, GlslDialect::Es300).body,
            "y = 1e-5*pylon_sample+.5e+2*pylon_input;");
}

TEST(GlslDialect, ShadingLanguageVersionStrings) {
  EXPECT_EQ(cg::shadingLanguageVersion("1.20"), 120);
  EXPECT_EQ(cg::shadingLanguageVersion("4.60 NVIDIA"), 460);
  EXPECT_EQ(cg::shadingLanguageVersion("4.5 (Core Profile) Mesa 22.3.6"), 450);
  EXPECT_EQ(cg::shadingLanguageVersion("OpenGL ES GLSL ES 3.00"), 130);
  EXPECT_EQ(cg::shadingLanguageVersion("OpenGL ES GLSL ES 3.20 Mesa 22.3.6"), 130);
  EXPECT_EQ(cg::shadingLanguageVersion("WebGL GLSL ES 3.00 (OpenGL ES GLSL ES 3.0 Chromium)"), 130);
  EXPECT_EQ(cg::shadingLanguageVersion("OpenGL ES GLSL ES 1.00"), 100);
  EXPECT_EQ(cg::shadingLanguageVersion(nullptr), 110);
  EXPECT_EQ(cg::shadingLanguageVersion("garbage"), 110);
}

TEST(GlslDialect, TranslatedProgramTextMapsEveryLineToTheEffectFile) {
  cg::EffectDesc desc;
  desc.parameters.push_back({});
  desc.parameters[0].type = CG_FLOAT;
  desc.parameters[0].name = "input";
  desc.parameters[0].line = 3;
  desc.shared.push_back({"varying vec2 uv;", 5});
  cg::ProgramDesc program;
  program.vertex = false;
  program.name = "fs";
  program.code = "\n  void main() {\n    gl_FragColor = vec4(uv, input, 1.0);\n  }\n";
  program.line = 8;

  const cg::ProgramText plain = cg::programText(desc, program, 120, GlslDialect::Es300, false);
  const cg::ProgramText es = cg::programText(desc, program, 120, GlslDialect::Es300, true);
  EXPECT_EQ(line(plain.source, 1), "#version 120");
  EXPECT_EQ(line(es.source, 1), "#version 300 es");
  EXPECT_EQ(line(es.source, 3), "uniform float pylon_input;");
  ASSERT_EQ(es.fileLines.size(), plain.fileLines.size() + 1);
  ASSERT_EQ(es.fileLines.size(), lines(es.source));
  EXPECT_EQ(es.fileLines, (std::vector<int>{8, 8, 3, 5, 8, 9, 10, 11, 12}));
  EXPECT_EQ(line(es.source, 7), "    pylon_FragColor = vec4(uv, pylon_input, 1.0);");

  // ANGLE's and glslang's messages land on the file's line, as Mesa's do.
  EXPECT_EQ(cg::locatedLog("ERROR: 0:7: 'x' : undeclared identifier\nERROR: 2 compilation errors.", es, 8, "fs"),
            "line 10: fs: ERROR: 'x' : undeclared identifier\nline 8: fs: ERROR: 2 compilation errors.\n");
  EXPECT_EQ(cg::locatedLog("0:3(12): error: bad", plain, 8, "fs"), "line 5, column 12: fs: error: bad\n");
}
