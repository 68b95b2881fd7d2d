#include "city/CarTrails.h"

#include "car/CarLayout.h"

namespace content {

void carStreams(std::array<CarStreamRecord, 200>& streamA, std::array<CarStreamRecord, 200>& streamB) {
  layOutCarStreams(streamA, streamB);
}

Mesh carTrails() {
  std::array<CarStreamRecord, 200> streams[2];
  carStreams(streams[0], streams[1]);
  // Heights of the lamps the trails leave from, above the car's origin: the tail bar of a
  // stream A car, the head lamps of a stream B car.
  const float lampHeight[2] = {0.53f, 0.35f};
  Mesh m;
  for (int s = 0; s < 2; ++s)
    for (const CarStreamRecord& car : streams[s])
      for (int o = -2; o <= 1; ++o) {
        const float across = (s == 0 ? car.b : car.a) + 110.0f * float(o);
        const float start = s == 0 ? car.a : car.b;
        const Vec3 at{across, car.y + lampHeight[s], float(s)}, record{start, car.speed, 0};
        const uint32_t first = m.addVertex(at, record, {}, 0, -1);
        m.addVertex(at, record, {}, 0, 1);
        m.addVertex(at, record, {}, 1, 1);
        m.addVertex(at, record, {}, 1, -1);
        m.addTriangle(first, first + 1, first + 2);
        m.addTriangle(first, first + 2, first + 3);
      }
  return m;
}

}  // namespace content
