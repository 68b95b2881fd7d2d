// BasicDraw: the engine's own drawing outside effects, through two small programs of the
// engine's, so that nothing draws with the fixed-function GL (which OpenGL ES and WebGL 2
// lack) and one renderer serves the desktop and the web.
//
//   colour program   every fragment the current colour: fades, the flash, the loading bar,
//                    the spectrum display, the control grid and surfaces without an effect
//   texture program  unit 0's texture as it is (the fixed-function GL_REPLACE), for
//                    textured surfaces without an effect
//
// Both read the matrices in cg/Transforms.h and the vertex inputs at the effect runtime's
// attribute locations (position at 0, texture coordinates at 3), so a surface's buffers are
// bound the same way for an effect and for these.
//
// API (GL context current; programs are made on first use in each GL context):
//   setColour(r, g, b, a)              the current colour (the generic attribute pylon_Color)
//   useColourProgram(), useTextureProgram()   make the program current
//   drawVertices(mode, xyz, count)     draw positions given on the CPU (3 floats each) with
//                                      the colour program, streamed through a buffer
//                                      (WebGL draws from buffers only)
//   quad(x0, y0, x1, y1, z, out)       two triangles of an axis-aligned rectangle, 18 floats
//   ortho(l, r, b, t, n, f, m), frustum(l, r, b, t, n, f, m)   projections, column-major,
//                                      worked out in float as the fixed-function GL does
//   Viewport::current(), Viewport::apply(), SavedScissor   GL state saved and put back,
//                                      in place of glPushAttrib, which OpenGL ES lacks
#pragma once

#include <cstdint>

namespace basic {

void setColour(float r, float g, float b, float a);
void useColourProgram();
void useTextureProgram();
void drawVertices(unsigned mode, const float* xyz, int count);

void quad(float x0, float y0, float x1, float y1, float z, float* out);
void ortho(float left, float right, float bottom, float top, float nearPlane, float farPlane, float* m);
void frustum(float left, float right, float bottom, float top, float nearPlane, float farPlane, float* m);

struct Viewport {
  int x = 0, y = 0, width = 0, height = 0;
  static Viewport current();
  void apply() const;
};

// The scissor test's switch and box while it lives; the constructor saves them.
class SavedScissor {
 public:
  SavedScissor();
  ~SavedScissor();
  SavedScissor(const SavedScissor&) = delete;
  SavedScissor& operator=(const SavedScissor&) = delete;

 private:
  bool enabled = false;
  int box[4] = {};
};

}  // namespace basic
