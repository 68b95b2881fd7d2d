// The CPU matrix state and its upload into the current program.
#include "cg/Transforms.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "cg/GlslDialect.h"

namespace cg {

const float kIdentityMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

namespace {

struct Locations {
  GLint modelView = -1, projection = -1, product = -1, normal = -1;
};

struct State {
  float modelView[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  float projection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  GLuint program = 0;
  const Locations* current = nullptr;  // the current program's locations
  std::unordered_map<GLuint, Locations> known;
  uint32_t generation = 0;
};

State& state() {
  static State s;
  return s;
}

const Locations& locationsOf(GLuint program) {
  State& s = state();
  auto found = s.known.find(program);
  if (found != s.known.end()) return found->second;
  Locations l;
  l.modelView = glGetUniformLocation(program, kModelViewMatrix);
  l.projection = glGetUniformLocation(program, kProjectionMatrix);
  l.product = glGetUniformLocation(program, kModelViewProjectionMatrix);
  l.normal = glGetUniformLocation(program, kNormalMatrix);
  return s.known.emplace(program, l).first->second;
}

// P * MV, summed in the order the GL's own product takes.
void product(const float* p, const float* mv, float* out) {
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      out[c * 4 + r] = p[r] * mv[c * 4] + p[4 + r] * mv[c * 4 + 1] + p[8 + r] * mv[c * 4 + 2] + p[12 + r] * mv[c * 4 + 3];
}

void uploadModelView(const Locations& l) {
  const State& s = state();
  if (l.modelView >= 0) glUniformMatrix4fv(l.modelView, 1, GL_FALSE, s.modelView);
  if (l.normal >= 0) {
    float n[9];
    normalMatrix(s.modelView, n);
    glUniformMatrix3fv(l.normal, 1, GL_FALSE, n);
  }
}

void uploadProduct(const Locations& l) {
  if (l.product < 0) return;
  const State& s = state();
  float mvp[16];
  product(s.projection, s.modelView, mvp);
  glUniformMatrix4fv(l.product, 1, GL_FALSE, mvp);
}

}  // namespace

void normalMatrix(const float* m, float* n) {
  // a(r, c) of the upper 3x3; the inverse's (r, c) is the cofactor (c, r) over the
  // determinant, and the transpose of the inverse, column-major, is the inverse row-major.
  const auto a = [m](int r, int c) { return m[c * 4 + r]; };
  float cof[3][3];
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      const int r0 = (r + 1) % 3, r1 = (r + 2) % 3, c0 = (c + 1) % 3, c1 = (c + 2) % 3;
      cof[r][c] = a(r0, c0) * a(r1, c1) - a(r0, c1) * a(r1, c0);
    }
  const float det = a(0, 0) * cof[0][0] + a(0, 1) * cof[0][1] + a(0, 2) * cof[0][2];
  if (det == 0.0f || !std::isfinite(det)) {
    for (int c = 0; c < 3; ++c)
      for (int r = 0; r < 3; ++r) n[c * 3 + r] = a(r, c);
    return;
  }
  // inverse(i, j) = cof(j, i) / det; stored row-major it is the inverse transpose column-major.
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) n[i * 3 + j] = cof[j][i] / det;
}

void setModelView(const float* m) {
  State& s = state();
  std::copy(m, m + 16, s.modelView);
  if (s.current) {
    uploadModelView(*s.current);
    uploadProduct(*s.current);
  }
}

void setProjection(const float* m) {
  State& s = state();
  std::copy(m, m + 16, s.projection);
  if (s.current) {
    if (s.current->projection >= 0) glUniformMatrix4fv(s.current->projection, 1, GL_FALSE, s.projection);
    uploadProduct(*s.current);
  }
}

const float* modelView() { return state().modelView; }
const float* projection() { return state().projection; }

void useProgram(unsigned program) {
  State& s = state();
  glUseProgram(program);
  s.program = program;
  s.current = nullptr;
  if (program == 0) return;
  const Locations& l = locationsOf(program);
  s.current = &l;
  if (l.projection >= 0) glUniformMatrix4fv(l.projection, 1, GL_FALSE, s.projection);
  uploadModelView(l);
  uploadProduct(l);
}

unsigned currentProgram() { return state().program; }

void forgetProgram(unsigned program) {
  State& s = state();
  if (s.program == program) {
    s.program = 0;
    s.current = nullptr;
  }
  s.known.erase(program);
}

void resetTransforms() {
  State& s = state();
  const uint32_t generation = s.generation + 1;
  s = State();
  s.generation = generation;
}

uint32_t contextGeneration() { return state().generation; }

}  // namespace cg
