// Renderer: the renderer's state shared by the demo frame, scene drawing and the tweak bar:
// projection parameters, switches, the camera record and the matrices of the frame.
//
// Owned by Runtime; plain data read and written on the main thread. Its GL operations
// (applyDefaultState, fadeQuad, drawSpectrum) need a current GL context.
#pragma once

#include <cstdint>

class Runtime;

class Renderer {
 public:
  explicit Renderer(Runtime* runtime);

  // The GL default state, the 16:9 view band centred in the window (stored in the screen's
  // viewportWidth / viewportHeight) and the projection.
  void applyDefaultState();
  // A full-view fade: kinds 1 and 2 black, 3 and 4 white; x (clamped to 0..1) is the
  // opacity for kinds 2 and 4 and 1 - x for the others.
  void fadeQuad(int kind, float x);
  // The spectrum and wave display (when `spectrum` is on) and the beat flash, unless
  // flashInPost says the post chain's last pass has already drawn it.
  void drawSpectrum();
  // The beat flash's opacity for spectrum s: a tenth of the flash bin's magnitude (or
  // trackFlash, when a track gives it), clamped to 1; 0 when the bin is off or the flash too
  // faint to move an 8-bit channel by half a step.
  float beatFlash(const float* s) const;

  Runtime* runtime = nullptr;

  float fovY = 70.0f;
  // Above 0: a track's field of view (degrees) in place of the scene camera's.
  float trackFovY = 0.0f;
  // 0 or more: a track's flash opacity in place of the flash bin's (beatFlash()).
  float trackFlash = -1.0f;
  // Above 0.5: every scene is seen from cameraPosition looking at cameraTarget (y up) in
  // place of its camera, as tracks say.
  float cameraSwitch = 0.0f;
  float cameraPosition[3] = {}, cameraTarget[3] = {};
  float zNear = 0.05f;
  float zFar = 150.0f;
  float aspect = 0.0f;
  bool postprocess = true;
  bool controlgrid = false;
  bool spectrum = false;
  int fftControl = 2;  // flash bin, 0 to 512; 0 disables the beat flash
  float flashGain = 0.1f;  // the flash's opacity per unit of that bin's magnitude
  // The scene camera a scene is drawn through (its index in the scene) and the planes of
  // its projection: the part being drawn sets them (the city's are 0, 4 and 530).
  int sceneCamera = 0;
  double sceneNear = 4.0, sceneFar = 530.0;
  const float* spectrumData = nullptr;
  // Set by the demo frame when the post chain's final pass whitens the picture by the beat
  // flash itself, which saves blending a full-view quad over it afterwards.
  bool flashInPost = false;
  // The scale the scene is drawn at, 0.25 to 1 of the view (post/RenderScale.h), and
  // whether the demo picks it every frame to hold targetFps (--render-scale, the tweak bar).
  // Capture and shots draw at 1 whatever it says.
  float renderScale = 1.0f;
  bool renderScaleAuto = false;
  double targetFps = 60.0;
  // Skip scene objects whose bounding box lies outside the view (see drawScene); the
  // picture is the same either way. Tests switch it off to compare.
  bool cullObjects = true;
  uint32_t objectsCulled = 0;  // by the last drawScene

  // Scene matrices and the camera record (Motion.h computes them). Matrices are row-major,
  // except projectionMatrix, which is kept in GL order.
  float modelMatrix[16] = {};
  float modelViewMatrix[16] = {};
  float projectionMatrix[16] = {};
  float motion[9] = {};  // last evaluated object motion: x, y, z, H, P, B (degrees), sx, sy, sz
  uint32_t objectIndex = 0;
  uint32_t surfaceIndex = 0;
  float degreesPerRadian = 57.29578f;
  float camX = 0.0f, camY = 2.0f, camZ = 9.0f;
  float camH = 0.0f, camP = 0.0f, camB = 0.0f;  // degrees
  float viewMatrix[16] = {};
  // Camera faults already shown to the user; each is shown once, not on every frame.
  bool targetReported = false;
  bool parentReported = false;
};
