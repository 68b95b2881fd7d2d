// GL/glew.h in the browser: the engine's GL header over OpenGL ES 3.0, which is WebGL 2.
//
// The engine includes <GL/glew.h> and writes desktop GL with GLEW's names. In the web build
// this header stands in for GLEW: it includes GLES 3 and its extension header, maps the
// EXT/ARB framebuffer names onto the core ES 3 ones they became (GL_FRAMEBUFFER_EXT is
// GL_FRAMEBUFFER, glBlitFramebufferEXT is glBlitFramebuffer, ...), answers GLEW's
// extension flags for WebGL 2 (framebuffer blits always, anisotropic filtering when the
// browser offers EXT_texture_filter_anisotropic) and makes glewInit() a no-op that succeeds.
//
// A few desktop calls have no ES 3 form; they go through the wrappers of
// platform/web/GlShim.cpp instead, which do in WebGL 2 what the desktop call does:
//   glTexImage2D / glTexSubImage2D  BGRA pixels are swizzled to RGBA; GL_LUMINANCE8 and
//                                   float luminance become a GL_R32F texture (read as .r)
//   glTexParameteri(GL_GENERATE_MIPMAP)  the mip levels are made after each upload
//   glReadPixels                    RGB, BGR and BGRA are read as RGBA and packed
//   glMapBuffer / glUnmapBuffer     WebGL cannot map buffers: null and GL_FALSE (the
//                                   capture's pixel buffer path, never taken in the browser)
//   glPushClientAttrib / glPopClientAttrib  no state to keep: do nothing
// Main thread only, with the context current, as GL itself.
#pragma once

#include <GLES3/gl3.h>
#include <GLES2/gl2ext.h>

#include <cstddef>

// ---- GLEW itself.
#define GLEW_OK 0
#define GLEW_ERROR_NO_GLX_DISPLAY 4
#define GLEW_VERSION 1
extern GLboolean glewExperimental;
GLenum glewInit();
const GLubyte* glewGetErrorString(GLenum error);
const GLubyte* glewGetString(GLenum name);
bool pylonWebHasExtension(const char* name);
#define GLEW_VERSION_2_1 1
#define GLEW_EXT_framebuffer_blit 1
// WebGL 2 has pixel buffers but no way to map them: the capture takes its direct path.
#define GLEW_ARB_pixel_buffer_object 0
#define GLEW_EXT_texture_filter_anisotropic pylonWebHasExtension("GL_EXT_texture_filter_anisotropic")

// ---- Framebuffer objects: EXT names to the core ES 3 ones.
#define GL_FRAMEBUFFER_EXT GL_FRAMEBUFFER
#define GL_READ_FRAMEBUFFER_EXT GL_READ_FRAMEBUFFER
#define GL_DRAW_FRAMEBUFFER_EXT GL_DRAW_FRAMEBUFFER
#define GL_RENDERBUFFER_EXT GL_RENDERBUFFER
#define GL_FRAMEBUFFER_BINDING_EXT GL_FRAMEBUFFER_BINDING
#define GL_RENDERBUFFER_BINDING_EXT GL_RENDERBUFFER_BINDING
#define GL_DEPTH_ATTACHMENT_EXT GL_DEPTH_ATTACHMENT
#define GL_MAX_RENDERBUFFER_SIZE_EXT GL_MAX_RENDERBUFFER_SIZE
#define GL_FRAMEBUFFER_COMPLETE_EXT GL_FRAMEBUFFER_COMPLETE
#define GL_FRAMEBUFFER_UNSUPPORTED_EXT GL_FRAMEBUFFER_UNSUPPORTED
#define GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT
#define GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT
// Statuses ES 3 never reports; kept for the engine's status texts.
#define GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT 0x8CD9
#define GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT 0x8CDA
#define GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER_EXT 0x8CDB
#define GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER_EXT 0x8CDC
#define glGenFramebuffersEXT glGenFramebuffers
#define glDeleteFramebuffersEXT glDeleteFramebuffers
#define glBindFramebufferEXT glBindFramebuffer
#define glCheckFramebufferStatusEXT glCheckFramebufferStatus
#define glFramebufferTexture2DEXT glFramebufferTexture2D
#define glFramebufferRenderbufferEXT glFramebufferRenderbuffer
#define glGenRenderbuffersEXT glGenRenderbuffers
#define glDeleteRenderbuffersEXT glDeleteRenderbuffers
#define glBindRenderbufferEXT glBindRenderbuffer
#define glRenderbufferStorageEXT glRenderbufferStorage
#define glRenderbufferStorageMultisampleEXT glRenderbufferStorageMultisample
#define glBlitFramebufferEXT glBlitFramebuffer
#define glGenerateMipmapEXT glGenerateMipmap

// ---- Desktop names with no ES 3 counterpart.
#define GL_BGR 0x80E0
#define GL_BGRA 0x80E1
#define GL_LUMINANCE8 0x8040
#define GL_GENERATE_MIPMAP 0x8191
#define GL_READ_ONLY 0x88B8
#define GL_CLIENT_PIXEL_STORE_BIT 0x00000001
#define GL_TEXTURE_1D 0x0DE0
#define GL_TEXTURE_BORDER_COLOR 0x1004
// WebGL has no border colour: clamping to the border clamps to the edge.
#define GL_CLAMP GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_BORDER GL_CLAMP_TO_EDGE
// Occlusion queries answer whether any sample passed, not how many.
#define GL_SAMPLES_PASSED GL_ANY_SAMPLES_PASSED

void pylonWebTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                        GLenum format, GLenum type, const void* pixels);
void pylonWebTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                           GLenum type, const void* pixels);
void pylonWebTexParameteri(GLenum target, GLenum name, GLint value);
void pylonWebReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels);
void* pylonWebMapBuffer(GLenum target, GLenum access);
GLboolean pylonWebUnmapBuffer(GLenum target);
inline void pylonWebPushClientAttrib(GLbitfield) {}
inline void pylonWebPopClientAttrib() {}
void pylonWebFramebufferTexture1D(GLenum target, GLenum attachment, GLenum textureTarget, GLuint texture, GLint level);
void pylonWebFramebufferTexture3D(GLenum target, GLenum attachment, GLenum textureTarget, GLuint texture, GLint level,
                                  GLint layer);
// WebGL 2's getBufferSubData, which emscripten offers under the desktop name.
extern "C" void glGetBufferSubData(GLenum target, GLintptr offset, GLsizeiptr size, void* data);

#define glTexImage2D pylonWebTexImage2D
#define glTexSubImage2D pylonWebTexSubImage2D
#define glTexParameteri pylonWebTexParameteri
#define glReadPixels pylonWebReadPixels
#define glMapBuffer pylonWebMapBuffer
#define glUnmapBuffer pylonWebUnmapBuffer
#define glPushClientAttrib pylonWebPushClientAttrib
#define glPopClientAttrib pylonWebPopClientAttrib
#define glFramebufferTexture1DEXT pylonWebFramebufferTexture1D
#define glFramebufferTexture3DEXT pylonWebFramebufferTexture3D

// The fixed-function alpha test the effect runtime's pass states still name.
#include <GL/legacy.h>
