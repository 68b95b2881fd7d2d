// GL/legacy.h: the fixed-function alpha test, which WebGL 2 lacks, as the effect runtime's
// pass states still name it (AlphaTestEnable, AlphaFunc). In the browser the calls do
// nothing and the queries raise GL_INVALID_ENUM, so an effect that asks for the test draws
// without it; the production's effects do not use it. Included by GL/glew.h only.
#pragma once

#define GL_ALPHA_TEST 0x0BC0
#define GL_ALPHA_TEST_FUNC 0x0BC1
#define GL_ALPHA_TEST_REF 0x0BC2

inline void glAlphaFunc(GLenum, GLfloat) {}
