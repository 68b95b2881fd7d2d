#include "scene/BasicDraw.h"

#include <GL/glew.h>

#include <algorithm>
#include <string>

#include "cg/GlslDialect.h"
#include "cg/Transforms.h"

namespace basic {
namespace {

// GLSL 1.20 with the fixed-function built-ins; the effect runtime's translation writes it for
// the GL in use, as it does every effect.
const char* kColourVertex = R"(#version 120
varying vec4 colour;
void main() {
  colour = gl_Color;
  gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
}
)";
const char* kColourFragment = R"(#version 120
varying vec4 colour;
void main() { gl_FragColor = colour; }
)";
const char* kTextureVertex = R"(#version 120
varying vec2 uv;
void main() {
  uv = gl_MultiTexCoord0.xy;
  gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
}
)";
const char* kTextureFragment = R"(#version 120
uniform sampler2D image;
varying vec2 uv;
void main() { gl_FragColor = texture2D(image, uv); }
)";

struct Programs {
  uint32_t generation = ~0u;
  GLuint colour = 0, texture = 0;
  GLuint stream = 0;  // the buffer drawVertices streams through
};

Programs& programs() {
  static Programs p;
  return p;
}

GLuint compile(GLenum stage, const char* source) {
  const std::string text = cg::translateProgram(source, stage == GL_VERTEX_SHADER, cg::nativeDialect());
  GLuint shader = glCreateShader(stage);
  const char* s = text.c_str();
  glShaderSource(shader, 1, &s, nullptr);
  glCompileShader(shader);
  return shader;
}

GLuint link(const char* vertex, const char* fragment) {
  GLuint program = glCreateProgram();
  const GLuint v = compile(GL_VERTEX_SHADER, vertex), f = compile(GL_FRAGMENT_SHADER, fragment);
  glAttachShader(program, v);
  glAttachShader(program, f);
  for (const cg::BuiltinAttribute& a : cg::builtinAttributes()) glBindAttribLocation(program, static_cast<GLuint>(a.location), a.name);
  glLinkProgram(program);
  // The shaders go with the program.
  glDeleteShader(v);
  glDeleteShader(f);
  return program;
}

// The programs of the GL context in force, made at their first use in it.
Programs& current() {
  Programs& p = programs();
  if (p.generation != cg::contextGeneration()) {
    // Names from a context that is gone are not deleted: they belong to nothing now.
    p = Programs();
    p.generation = cg::contextGeneration();
    p.colour = link(kColourVertex, kColourFragment);
    p.texture = link(kTextureVertex, kTextureFragment);
    GLuint image = glGetUniformLocation(p.texture, "image");
    cg::useProgram(p.texture);
    glUniform1i(image, 0);
    cg::useProgram(0);
    glGenBuffers(1, &p.stream);
  }
  return p;
}

}  // namespace

void setColour(float r, float g, float b, float a) { glVertexAttrib4f(cg::kAttributeColor, r, g, b, a); }

void useColourProgram() { cg::useProgram(current().colour); }

void useTextureProgram() { cg::useProgram(current().texture); }

void drawVertices(unsigned mode, const float* xyz, int count) {
  if (count <= 0) return;
  Programs& p = current();
  GLint previousBuffer = 0;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &previousBuffer);
  const GLuint previousProgram = cg::currentProgram();
  cg::useProgram(p.colour);
  glBindBuffer(GL_ARRAY_BUFFER, p.stream);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count) * 3 * static_cast<GLsizeiptr>(sizeof(float)), xyz,
               GL_STREAM_DRAW);
  GLint wasEnabled = 0;
  glGetVertexAttribiv(cg::kAttributeVertex, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &wasEnabled);
  glEnableVertexAttribArray(cg::kAttributeVertex);
  glVertexAttribPointer(cg::kAttributeVertex, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
  glDrawArrays(static_cast<GLenum>(mode), 0, count);
  if (!wasEnabled) glDisableVertexAttribArray(cg::kAttributeVertex);
  glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(previousBuffer));
  cg::useProgram(previousProgram);
}

void quad(float x0, float y0, float x1, float y1, float z, float* out) {
  const float v[18] = {x0, y0, z, x1, y0, z, x1, y1, z, x0, y0, z, x1, y1, z, x0, y1, z};
  std::copy(v, v + 18, out);
}

void ortho(float l, float r, float b, float t, float n, float f, float* m) {
  const float values[16] = {2.0f / (r - l), 0, 0, 0, 0, 2.0f / (t - b), 0, 0, 0, 0, -2.0f / (f - n), 0,
                            -(r + l) / (r - l), -(t + b) / (t - b), -(f + n) / (f - n), 1};
  std::copy(values, values + 16, m);
}

void frustum(float l, float r, float b, float t, float n, float f, float* m) {
  const float values[16] = {2.0f * n / (r - l), 0, 0, 0, 0, 2.0f * n / (t - b), 0, 0, (r + l) / (r - l), (t + b) / (t - b),
                            -(f + n) / (f - n), -1, 0, 0, -(2.0f * f * n) / (f - n), 0};
  std::copy(values, values + 16, m);
}

Viewport Viewport::current() {
  GLint v[4] = {0, 0, 0, 0};
  glGetIntegerv(GL_VIEWPORT, v);
  return {v[0], v[1], v[2], v[3]};
}

void Viewport::apply() const { glViewport(x, y, width, height); }

SavedScissor::SavedScissor() : enabled(glIsEnabled(GL_SCISSOR_TEST) == GL_TRUE) { glGetIntegerv(GL_SCISSOR_BOX, box); }

SavedScissor::~SavedScissor() {
  glScissor(box[0], box[1], box[2], box[3]);
  if (enabled)
    glEnable(GL_SCISSOR_TEST);
  else
    glDisable(GL_SCISSOR_TEST);
}

}  // namespace basic
