// Transforms: the matrices every program reads in place of the fixed-function GL's.
//
// The engine draws through programs only, on the desktop GL and on WebGL 2 alike, so the
// model-view and projection live here, on the CPU, and reach programs as the uniforms
// pylon_ModelViewMatrix, pylon_ProjectionMatrix, pylon_ModelViewProjectionMatrix and
// pylon_NormalMatrix (the effect runtime renames the GLSL 1.20 built-ins to these).
//
// API (all on the thread that owns the GL context; matrices are 16 floats, column-major,
// as glUniformMatrix4fv takes them untransposed):
//   setModelView(m), setProjection(m)   the matrices from now on
//   modelView(), projection()           the matrices in force
//   useProgram(p)                       glUseProgram(p), and hands p every matrix it reads
//   currentProgram()                    the program last made current here
//   forgetProgram(p)                    before p is deleted (its uniform locations go)
//   resetTransforms()                   a new GL context: identity matrices, nothing known
//   contextGeneration()                 counts resetTransforms(): a program made under an
//                                       earlier generation belongs to a context that is gone
//
// A matrix set while a program is current goes to that program at once, so a draw always
// sees the matrices set before it, as with the fixed-function matrix stack. The products
// (model-view-projection, normal matrix) are worked out only for a program that reads them.
#pragma once

#include <cstdint>

namespace cg {

// The identity, for setModelView and setProjection.
extern const float kIdentityMatrix[16];

void setModelView(const float* columnMajor);
void setProjection(const float* columnMajor);
const float* modelView();
const float* projection();

void useProgram(unsigned program);
unsigned currentProgram();
void forgetProgram(unsigned program);

void resetTransforms();
uint32_t contextGeneration();

// The normal matrix of a model-view: the inverse transpose of its upper 3x3, column-major,
// as the fixed-function GL derives gl_NormalMatrix. A singular matrix gives its upper 3x3.
void normalMatrix(const float* modelView, float* normal3x3);

}  // namespace cg
