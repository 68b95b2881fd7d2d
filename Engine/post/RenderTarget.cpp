#include "post/RenderTarget.h"

#include <GL/glew.h>

#include "platform/Faults.h"
#include "runtime/Logger.h"
#include "runtime/Runtime.h"

namespace {
GLuint boundFramebuffer() {
  GLint current = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &current);
  return static_cast<GLuint>(current);
}

GLuint boundRenderbuffer() {
  GLint current = 0;
  glGetIntegerv(GL_RENDERBUFFER_BINDING_EXT, &current);
  return static_cast<GLuint>(current);
}

Logger& log() { return *Runtime::instance()->logger; }
}  // namespace

int RenderTarget::create(uint32_t w, uint32_t h) {
  glGenFramebuffersEXT(1, &framebuffer);
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(w), static_cast<GLsizei>(h), 0, GL_RGBA,
               GL_UNSIGNED_BYTE, nullptr);
  attachTexture(texture, GL_TEXTURE_2D);
  width = w;
  height = h;
  return 0;
}

void RenderTarget::resize(uint32_t w, uint32_t h) {
  if (w == width && h == height) return;
  GLint previous = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(w), static_cast<GLsizei>(h), 0, GL_RGBA,
               GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
  width = w;
  height = h;
}

void RenderTarget::bind() {
  if (boundFramebuffer() != framebuffer) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
}

void RenderTarget::attachTexture(uint32_t tex, uint32_t target) {
  bind();
  if (target == GL_TEXTURE_1D)
    glFramebufferTexture1DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, target, tex, 0);
  else if (target == GL_TEXTURE_3D)
    glFramebufferTexture3DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, target, tex, 0, 0);
  else
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, target, tex, 0);
  if (boundFramebuffer() == framebuffer) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

void RenderTarget::attachDepth(uint32_t renderbuffer) {
  bind();
  glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, renderbuffer);
  if (boundFramebuffer() == framebuffer) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

const char* framebufferStatusText(uint32_t status) {
  switch (status) {
    case GL_FRAMEBUFFER_COMPLETE_EXT: return " status: complete";
    case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT: return " status: incomplete_attachment";
    case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT: return " status: incomplete_missing_attachment";
    case GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT: return " status: incomplete_dimensions";
    case GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT: return " status: incomplete_formats";
    case GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER_EXT: return " status: incomplete_draw_buffer";
    case GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER_EXT: return " status: incomplete_read_buffer";
    case GL_FRAMEBUFFER_UNSUPPORTED_EXT: return " status: unsupported";
    default: return nullptr;
  }
}

int reportFramebufferStatus(uint32_t framebuffer, uint32_t status) {
  const char* text = framebufferStatusText(status);
  if (!text) {
    // A status this code does not know is reported but not held against the target.
    log() << "fbo " << framebuffer << " status: unknown, code: " << static_cast<unsigned>(status) << "\n";
    return 0;
  }
  log() << "fbo " << framebuffer << text << "\n";
  return status == GL_FRAMEBUFFER_COMPLETE_EXT ? 0 : static_cast<int>(status);
}

int RenderTarget::checkStatus() {
  bind();
  GLenum status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
  if (platform::failNow(platform::Fault::FramebufferStatus)) status = GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT;
  glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  return reportFramebufferStatus(framebuffer, status);
}

int createDepthRenderbuffer(uint32_t w, uint32_t h, uint32_t& renderbuffer) {
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE_EXT, &maxSize);
  if (static_cast<uint32_t>(maxSize) < w || static_cast<uint32_t>(maxSize) < h) {
    log() << "RenderBuffer error, max size is: " << maxSize << "\n";
    return 1;
  }
  glGenRenderbuffersEXT(1, &renderbuffer);
  if (boundRenderbuffer() != renderbuffer) glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, renderbuffer);
  glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, static_cast<GLsizei>(w), static_cast<GLsizei>(h));
  if (boundRenderbuffer() == renderbuffer) glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
  return 0;
}

void resizeDepthRenderbuffer(uint32_t renderbuffer, uint32_t w, uint32_t h) {
  const GLuint previous = boundRenderbuffer();
  if (previous != renderbuffer) glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, renderbuffer);
  glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT24, static_cast<GLsizei>(w), static_cast<GLsizei>(h));
  if (previous != renderbuffer) glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, previous);
}
