// RenderTarget: an off-screen framebuffer object with one RGBA8 colour texture, used by the
// post-processing chain as a pass target and by the demo frame as the destination of copies
// from the back buffer. A depth renderbuffer (owned by the caller) can be attached.
//
// Lifecycle: create() once with a current GL context; the objects live until the process
// ends. resize() gives the texture new storage under the same names (no objects are made). Every call binds a framebuffer or renderbuffer only when it is not already the bound
// one, and unbinds afterwards only when its own object is still bound, so callers that keep
// a target bound across calls are not disturbed.
#pragma once

#include <cstdint>

class RenderTarget {
 public:
  // Always 0: the texture is attached; checkStatus() tells whether the target is usable.
  int create(uint32_t width, uint32_t height);
  // New storage of width x height for the texture (its contents undefined), keeping the
  // framebuffer, the texture name and the attachment; nothing when the size is the same.
  void resize(uint32_t width, uint32_t height);
  // Attaches level 0 of `texture` to colour attachment 0 (1D, 3D or else 2D by `target`).
  void attachTexture(uint32_t texture, uint32_t target);
  void attachDepth(uint32_t renderbuffer);
  // 0 when complete (or an unknown status, which is logged), otherwise the status code.
  int checkStatus();
  // Binds this framebuffer if it is not the current one.
  void bind();

  uint32_t framebuffer = 0;
  uint32_t texture = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};

// 0 with a depth-24 renderbuffer of width x height in `renderbuffer`; 1 (logged) when either
// size exceeds the largest renderbuffer the GL allows.
int createDepthRenderbuffer(uint32_t width, uint32_t height, uint32_t& renderbuffer);

// New depth-24 storage of width x height for an existing renderbuffer, which stays attached
// wherever it is.
void resizeDepthRenderbuffer(uint32_t renderbuffer, uint32_t width, uint32_t height);

// The log text for a framebuffer status, or nullptr for a status this code does not know.
const char* framebufferStatusText(uint32_t status);

// Writes the "fbo N status: ..." line and gives checkStatus()'s result for `status`.
int reportFramebufferStatus(uint32_t framebuffer, uint32_t status);
