// Scene01: the production's one part — the animated night city seen through its flying
// camera, with two perpendicular streams of 800 cars each from 43 s on.
//
// Created and put on the timeline by the demo; init() loads the city, the car mesh, effect
// and texture and lays out the cars (the same layout on every run); draw() renders the part
// at a local time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Effect.h"
#include "resources/KestrelLibDynamic.h"
#include "resources/Production.pb.h"
#include "resources/MmfMesh.h"
#include "resources/Shader.h"
#include "resources/Texture.h"

struct CarRecord {
  float a, y, b, speed;  // stream A: {x0, y, z, speed}; stream B: {x, y, z0, speed}
};

// The car layout: MT19937 seeded 56884, eight draws per car.
void layOutCars(std::array<CarRecord, 200>& streamA, std::array<CarRecord, 200>& streamB);
// A car's travelled coordinate at time t: start + speed * t, re-entering every 50 s of its
// travel so that it never passes 100.
float carPosition(float start, float speed, float t);

// Many copies of one uploaded mesh drawn in one call: the mesh's vertices as uploaded (uv,
// normal, position: 8 floats each), and stream buffers refilled each frame with each copy's
// triangles that face the eye and their vertices moved into place. A triangle facing away
// would be culled by the GL after its vertices were shaded; leaving it and the vertices
// only it uses out spares that work and cannot change a pixel.
struct CarBatch {
  // 0, or 1 when the mesh is unusable for batching (then the batch stays empty).
  int prepare(const MmfMesh& mesh, size_t copies);
  bool empty() const { return vertices.empty(); }
  // The eye, in world coordinates, for the copies placed after this call.
  void lookFrom(float x, float y, float z) { eye[0] = x, eye[1] = y, eye[2] = z; }
  // Appends a copy at (x, y, z), turned a quarter about y when `turned`, with its triangles
  // that face the eye (all of them when `cull` is off).
  void place(float x, float y, float z, bool turned);
  // Draws the copies placed since the last draw.
  void draw();

  std::vector<float> vertices;
  std::vector<uint32_t> triangles;  // the mesh's indices, three per triangle
  std::vector<float> planes;        // per triangle its unit normal and offset, as the mesh lies
  std::vector<float> staging;
  std::vector<uint32_t> indexStaging;
  size_t capacity = 0, placed = 0, verticesPlaced = 0, indicesPlaced = 0;
  // Per mesh vertex, its place in the copy being placed (kNoSlot while unused), and the
  // mesh vertices that copy used.
  static constexpr uint32_t kNoSlot = 0xffffffffu;
  std::vector<uint32_t> slot, used;
  uint32_t indexBuffer = 0, vertexBuffer = 0;
  bool cull = true;
  float eye[3] = {0.0f, 0.0f, 0.0f};
};

class Scene01 : public Effect {
 public:
  // Veltro 12's city; a production's `city` part gives its own members and car start.
  Scene01() = default;
  explicit Scene01(const Pylon::CityPart& city) : config(city) {}
  int init() override;
  void release() override;
  void draw(float localTime) override;
  // --watch: loads the car mesh `name` (the part's car_mesh, car_far_mesh or
  // car_distant_mesh) again and puts it in place of the old one, whose buffers are deleted. 0 when replaced,
  // 1 when it did not load (the old one stays), 2 when the part has no mesh of that name.
  int reloadCarMesh(const std::string& name);
  // The car effect ("cars" or its member name), or a scene effect by its member name.
  CGeffect effectNamed(const std::string& name) override;

  Pylon::CityPart config;  // the members and the cars' start (the defaults are Veltro 12's)
  Texture carTexture;
  Shader carEffect;
  std::array<CarRecord, 200> streamA{};
  std::array<CarRecord, 200> streamB{};
  KestrelLibDynamic city;
  MmfMesh carModel;
  MmfMesh farCarModel;      // "objects/veltro-far.mmf", when the archive has it
  MmfMesh distantCarModel;  // "objects/veltro-distant.mmf", when the archive has it
  // Skip cars outside the view (the picture is the same either way); tests switch it off
  // to count every car drawn.
  bool cullCars = true;
  // Draw all cars at once (see drawCars); tests switch it off to compare with the cars
  // drawn one by one on the matrix stack.
  bool batchCars = true;
  // Batched cars leave out the triangles that face away from the eye (the GL would cull
  // them); tests switch it off to count every triangle.
  bool cullCarFaces = true;
  // Batched cars farther than this from the camera, in a view kFarCarViewHeight pixels
  // high, use the far mesh (a few pixels long by then, and in the haze); 0 draws every car
  // with the full mesh. The distance grows with the view's height, so that the far car
  // takes over at the same size on screen: at 1080 lines it shows no change at all.
  float farCarDistance = 160.0f;
  static constexpr float kFarCarViewHeight = 576.0f;  // the view of a 1024-wide window
  float farCarDistanceForView() const;
  // Batched cars beyond this distance (in the same view units) use the distant mesh, a box
  // with the lamps: by then a car is a few pixels long. 0 leaves them to the far mesh.
  float distantCarDistance = 240.0f;
  float distantCarDistanceForView() const;
  // Batched cars of the last frame, in view; of them, those drawn with the far and with the
  // distant mesh.
  size_t carsDrawn = 0, farCarsDrawn = 0, distantCarsDrawn = 0;
  float carRadius = 0.0f;                  // the car mesh's bounding sphere about its origin
  // The cars alone at t under the modelview and projection already loaded, which must be
  // the camera's (draw() loads them): the batches pick meshes and cull faces by the camera's
  // position. bench_cars times it.
  void drawCars(float t);

 private:
  static constexpr size_t kCarCopies = 1600;
  void measureCarRadius();
  CarBatch nearCars, farCars, distantCars;
  struct QueuedCar {
    float squared, x, y, z;  // squared distance from the camera, place
    bool turned;
  };
  std::vector<QueuedCar> queued;  // the frame's batched cars in view, before sorting
  float forView(float distance) const;
  void drawControlGrid();
};
