// The desktop GL calls that WebGL 2 has in another form (include/GL/glew.h lists them).
#include <GL/glew.h>

#undef glTexImage2D
#undef glTexSubImage2D
#undef glTexParameteri
#undef glReadPixels

#include <cstring>
#include <set>
#include <string>
#include <vector>

GLboolean glewExperimental = GL_FALSE;

GLenum glewInit() { return GLEW_OK; }

const GLubyte* glewGetErrorString(GLenum error) {
  return reinterpret_cast<const GLubyte*>(error == GLEW_OK ? "No error" : "WebGL 2 is not available");
}

const GLubyte* glewGetString(GLenum) { return reinterpret_cast<const GLubyte*>("none (WebGL 2 through OpenGL ES 3.0)"); }

bool pylonWebHasExtension(const char* name) {
  GLint count = 0;
  glGetIntegerv(GL_NUM_EXTENSIONS, &count);
  for (GLint i = 0; i < count; ++i) {
    const char* offered = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
    if (offered && std::strcmp(offered, name) == 0) return true;
  }
  return false;
}

namespace {
// Textures whose mip levels follow each upload (GL_GENERATE_MIPMAP on the desktop).
std::set<GLuint> g_generateMipmaps;

GLenum bindingOf(GLenum target) {
  if (target == GL_TEXTURE_CUBE_MAP || (target >= GL_TEXTURE_CUBE_MAP_POSITIVE_X && target <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z))
    return GL_TEXTURE_BINDING_CUBE_MAP;
  return GL_TEXTURE_BINDING_2D;
}

GLuint boundTexture(GLenum target) {
  GLint name = 0;
  glGetIntegerv(bindingOf(target), &name);
  return static_cast<GLuint>(name);
}

// After an upload of level 0: a cube map only once its last face is there (before that it
// is not cube complete and ES refuses).
void followMipmaps(GLenum target, GLint level) {
  if (level != 0 || !g_generateMipmaps.count(boundTexture(target))) return;
  if (target == GL_TEXTURE_2D)
    glGenerateMipmap(GL_TEXTURE_2D);
  else if (target == GL_TEXTURE_CUBE_MAP_NEGATIVE_Z)
    glGenerateMipmap(GL_TEXTURE_CUBE_MAP);
}

std::vector<unsigned char> swizzled(const void* pixels, GLsizei width, GLsizei height) {
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<unsigned char> out(count * 4);
  const auto* in = static_cast<const unsigned char*>(pixels);
  for (size_t i = 0; i < count; ++i) {
    out[i * 4 + 0] = in[i * 4 + 2];
    out[i * 4 + 1] = in[i * 4 + 1];
    out[i * 4 + 2] = in[i * 4 + 0];
    out[i * 4 + 3] = in[i * 4 + 3];
  }
  return out;
}

std::vector<float> luminanceAsFloats(const void* pixels, GLsizei width, GLsizei height, GLenum type) {
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<float> out(count);
  if (type == GL_FLOAT) {
    std::memcpy(out.data(), pixels, count * sizeof(float));
  } else {
    const auto* in = static_cast<const unsigned char*>(pixels);
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<float>(in[i]) / 255.0f;
  }
  return out;
}
}  // namespace

void pylonWebTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                        GLenum format, GLenum type, const void* pixels) {
  if (format == GL_BGRA && type == GL_UNSIGNED_BYTE) {
    const std::vector<unsigned char> rgba = pixels ? swizzled(pixels, width, height) : std::vector<unsigned char>();
    glTexImage2D(target, level, GL_RGBA8, width, height, border, GL_RGBA, type, pixels ? rgba.data() : nullptr);
  } else if (internalFormat == GL_LUMINANCE8 || (format == GL_LUMINANCE && type == GL_FLOAT)) {
    // One channel, in a format that takes both the bytes and the floats it is later fed.
    const std::vector<float> values = pixels ? luminanceAsFloats(pixels, width, height, type) : std::vector<float>();
    glTexImage2D(target, level, GL_R32F, width, height, border, GL_RED, GL_FLOAT, pixels ? values.data() : nullptr);
  } else {
    glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
  }
  followMipmaps(target, level);
}

void pylonWebTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei width, GLsizei height, GLenum format,
                           GLenum type, const void* pixels) {
  if (format == GL_BGRA && type == GL_UNSIGNED_BYTE && pixels) {
    const std::vector<unsigned char> rgba = swizzled(pixels, width, height);
    glTexSubImage2D(target, level, x, y, width, height, GL_RGBA, type, rgba.data());
  } else if (format == GL_LUMINANCE && pixels) {
    const std::vector<float> values = luminanceAsFloats(pixels, width, height, type);
    glTexSubImage2D(target, level, x, y, width, height, GL_RED, GL_FLOAT, values.data());
  } else {
    glTexSubImage2D(target, level, x, y, width, height, format, type, pixels);
  }
  followMipmaps(target, level);
}

void pylonWebTexParameteri(GLenum target, GLenum name, GLint value) {
  if (name != GL_GENERATE_MIPMAP) {
    glTexParameteri(target, name, value);
    return;
  }
  if (value)
    g_generateMipmaps.insert(boundTexture(target));
  else
    g_generateMipmaps.erase(boundTexture(target));
}

void pylonWebReadPixels(GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type, void* pixels) {
  GLint packBuffer = 0;
  glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer);
  if ((format == GL_RGBA && type == GL_UNSIGNED_BYTE) || packBuffer != 0 || type != GL_UNSIGNED_BYTE ||
      (format != GL_RGB && format != GL_BGR && format != GL_BGRA)) {
    glReadPixels(x, y, width, height, format, type, pixels);
    return;
  }
  // WebGL reads the default framebuffer as RGBA bytes only: read that, then pack the rows
  // as the caller's format and pack alignment ask.
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<unsigned char> rgba(count * 4);
  GLint alignment = 4;
  glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  glPixelStorei(GL_PACK_ALIGNMENT, alignment);
  const int channels = format == GL_BGRA ? 4 : 3;
  const bool reversed = format != GL_RGB;
  size_t rowBytes = static_cast<size_t>(width) * static_cast<size_t>(channels);
  if (alignment > 1) rowBytes = (rowBytes + static_cast<size_t>(alignment) - 1) / static_cast<size_t>(alignment) *
                                static_cast<size_t>(alignment);
  auto* out = static_cast<unsigned char*>(pixels);
  for (GLsizei row = 0; row < height; ++row) {
    const unsigned char* from = rgba.data() + static_cast<size_t>(row) * static_cast<size_t>(width) * 4;
    unsigned char* to = out + static_cast<size_t>(row) * rowBytes;
    for (GLsizei i = 0; i < width; ++i, from += 4, to += channels) {
      to[0] = reversed ? from[2] : from[0];
      to[1] = from[1];
      to[2] = reversed ? from[0] : from[2];
      if (channels == 4) to[3] = from[3];
    }
  }
}

void* pylonWebMapBuffer(GLenum, GLenum) { return nullptr; }

GLboolean pylonWebUnmapBuffer(GLenum) { return GL_FALSE; }

void pylonWebFramebufferTexture1D(GLenum, GLenum, GLenum, GLuint, GLint) {}

void pylonWebFramebufferTexture3D(GLenum target, GLenum attachment, GLenum, GLuint texture, GLint level, GLint layer) {
  glFramebufferTextureLayer(target, attachment, texture, level, layer);
}
