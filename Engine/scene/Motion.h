// Motion: object and camera motion from envelopes, the parent hierarchy, and the scene
// camera's projection and view.
//
// Motion channels of a camera are x, y, z, H, P, B; of an object x, y, z, H, P, B, sx, sy,
// sz (H heading about Y, P pitch about X, B bank about Z; radians in the envelopes, degrees
// in the results). A channel missing from a short motion list reads as an empty envelope.
// Every function here is arithmetic into the Renderer's fields and touches no GL, except
// loadSceneProjection(), which hands the computed projection to GL. A frame calls
// updateSceneCamera() then loadSceneProjection(), then objectMatrix() once per object.
// Main thread only; nothing here allocates.
#pragma once

#include "resources/KestrelLib.pb.h"

class Renderer;

// camX … camB from the camera's motion channels at `time` (angles in degrees).
void evaluateCameraMotion(const Kestrel::Camera& camera, float time, Renderer& renderer);

// The object's nine channels at `time` into motion[9]: x, y, z, H, P, B (degrees), sx, sy, sz.
void evaluateObjectMotion(const Kestrel::Object& object, float time, float* motion);

// renderer.modelMatrix of object `objectIndex` (0-based) at `time`, with its pivot and its
// chain of parents; renderer.motion keeps the motion of the last object evaluated. Returns 0;
// 1 when the index is outside the scene (identity matrix) or the parent chain loops (the
// walk stops after as many steps as the scene has objects).
int objectMatrix(const Kestrel::KestrelLib& scene, int objectIndex, float time, Renderer& renderer);

// Vertical field of view in degrees from the camera's zoom factor at `time`.
float sceneFieldOfView(const Kestrel::Camera& camera, float time, const Renderer& renderer);

// The scene camera (renderer.sceneCamera, else the first) at `time`: renderer.projectionMatrix (in GL
// order) for a view of viewWidth x viewHeight pixels, and renderer.viewMatrix (row-major).
// While `timerPaused`, the camera record is not animated, so camX … camB drive the view.
// A camera target or parent of an unknown type is reported once per renderer. Returns 0;
// 1 when the scene has no camera (an empty camera is used) or the target is unusable (the
// previous viewMatrix is kept).
int updateSceneCamera(const Kestrel::KestrelLib& scene, float time, Renderer& renderer, int viewWidth, int viewHeight,
                      bool timerPaused);

// renderer.viewMatrix from the camera record alone, left in GL order (column-major) for cg::setModelView.
void computeCameraView(Renderer& renderer);

// Loads renderer.projectionMatrix as GL's projection and leaves an identity modelview
// current. Needs a current GL context.
void loadSceneProjection(const Renderer& renderer);
