// SceneRenderer: draws an imported, uploaded scene at a time through its animated camera,
// object by object and surface by surface, and draws plain meshes.
//
// drawScene() sets the scene camera's projection and view, then for each object builds its
// model-view matrix, skips it unless its dissolve envelope is exactly 0, skips it when its
// bounding box lies outside the view (Renderer::cullObjects), and draws every
// surface: through each pass of its material's effect technique (after "camPos", "time", the
// shader entry's values and the samplers are set) or, without an effect, with fixed-function
// GL in the material's colour or texture. State set by the fixed-function path carries over to
// later surfaces. Surfaces of blended materials wait until every other one is drawn and then
// go far to near. A scene with lights or a world first hands them to every effect that
// declares their parameters (SceneLights.h; unit 2's coordinate array carries the tangents).
// Needs a current GL context and the Cg context; main thread only; allocates nothing once its
// reused lists have grown to the scene's size.
#pragma once

#include <cstdint>

#include "resources/KestrelLibDynamic.h"

class Renderer;

// An observer of scene drawing for profiling tools (bench_timeline --fragments): told
// before and after each drawn surface, with the object and surface index. Null, and then
// never called, outside such tools.
struct SurfaceProbe {
  virtual ~SurfaceProbe() = default;
  virtual void before(const KestrelLibDynamic& scene, int object, int surface) = 0;
  virtual void after() = 0;
};
extern SurfaceProbe* surfaceProbe;

void drawScene(Renderer& renderer, KestrelLibDynamic& scene, float time);
void drawObject(KestrelLibDynamic& scene, Renderer& renderer, const Kestrel::Object& object, float time);
// One indexed triangle mesh with the 32-byte vertex layout (uv, normal, position).
void drawMesh(uint32_t elementBuffer, uint32_t vertexBuffer, uint32_t maxIndex, uint32_t indexCount);

// The same mesh drawn many times (one draw per transform): the buffers and arrays are set
// up once for the binding's lifetime instead of once per draw, and released as drawMesh
// releases them.
class MeshBinding {
 public:
  MeshBinding(uint32_t elementBuffer, uint32_t vertexBuffer);
  ~MeshBinding();
  MeshBinding(const MeshBinding&) = delete;
  MeshBinding& operator=(const MeshBinding&) = delete;
  void draw(uint32_t maxIndex, uint32_t indexCount) const;
};
