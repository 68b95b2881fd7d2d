// GL/legacy.h: the fixed-function calls the renderer still makes, which WebGL 2 lacks. In
// the browser they do nothing, so the player runs (without those pictures) until every
// drawing goes through shaders; the renderer's conversion removes their last callers, and
// this header with them. Included by GL/glew.h only.
#pragma once

#define GL_ALPHA_TEST 0x0BC0
#define GL_ALPHA_TEST_FUNC 0x0BC1
#define GL_ALPHA_TEST_REF 0x0BC2
#define GL_LINE_SMOOTH_HINT 0x0C52
#define GL_PERSPECTIVE_CORRECTION_HINT 0x0C50
#define GL_MODELVIEW 0x1700
#define GL_PROJECTION 0x1701
#define GL_MODELVIEW_MATRIX 0x0BA6
#define GL_PROJECTION_MATRIX 0x0BA7
#define GL_VERTEX_ARRAY 0x8074
#define GL_NORMAL_ARRAY 0x8075
#define GL_TEXTURE_COORD_ARRAY 0x8078
#define GL_QUADS 0x0007
#define GL_S 0x2000
#define GL_T 0x2001
#define GL_SPHERE_MAP 0x2402
#define GL_TEXTURE_ENV 0x2300
#define GL_TEXTURE_ENV_MODE 0x2200
#define GL_TEXTURE_GEN_MODE 0x2500
#define GL_SCISSOR_BIT 0x00080000
#define GL_VIEWPORT_BIT 0x00000800

inline void glAlphaFunc(GLenum, GLfloat) {}
inline void glBegin(GLenum) {}
inline void glEnd() {}
inline void glVertex2i(GLint, GLint) {}
inline void glVertex3f(GLfloat, GLfloat, GLfloat) {}
inline void glColor4f(GLfloat, GLfloat, GLfloat, GLfloat) {}
inline void glRecti(GLint, GLint, GLint, GLint) {}
inline void glMatrixMode(GLenum) {}
inline void glLoadIdentity() {}
inline void glLoadMatrixf(const GLfloat*) {}
inline void glPushMatrix() {}
inline void glPopMatrix() {}
inline void glFrustum(double, double, double, double, double, double) {}
inline void glOrtho(double, double, double, double, double, double) {}
inline void glTranslatef(GLfloat, GLfloat, GLfloat) {}
inline void glRotatef(GLfloat, GLfloat, GLfloat, GLfloat) {}
inline void glPushAttrib(GLbitfield) {}
inline void glPopAttrib() {}
inline void glEnableClientState(GLenum) {}
inline void glDisableClientState(GLenum) {}
inline void glClientActiveTexture(GLenum) {}
inline void glVertexPointer(GLint, GLenum, GLsizei, const void*) {}
inline void glNormalPointer(GLenum, GLsizei, const void*) {}
inline void glTexCoordPointer(GLint, GLenum, GLsizei, const void*) {}
inline void glTexEnvi(GLenum, GLenum, GLint) {}
inline void glTexGeni(GLenum, GLenum, GLint) {}
