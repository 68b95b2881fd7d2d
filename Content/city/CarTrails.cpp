#include "city/CarTrails.h"

#include <random>

namespace content {

void carStreams(std::array<CarStreamRecord, 200>& streamA, std::array<CarStreamRecord, 200>& streamB) {
  // The player's draws: a Mersenne Twister seeded with 56884, u = r / (2^32 + 1) in single
  // precision, eight draws per car in this order.
  std::mt19937 twister(56884);
  auto u = [&]() { return static_cast<float>(static_cast<double>(twister()) / 4294967297.0); };
  auto f = [](double v) { return static_cast<float>(v); };
  for (size_t i = 0; i < 200; ++i) {
    streamA[i].a = f(u() * 450.0 - 400.0);
    streamA[i].y = f(static_cast<double>(f(u() * 6.0 + 8.0)) + 5.0);
    streamA[i].b = f(u() * 9.0 - 4.5);
    streamA[i].speed = f(u() * 7.0 + 7.0);
    streamB[i].a = f(u() * 9.0 - 4.5);
    streamB[i].y = f(u() * 6.0 + 8.0);
    streamB[i].b = f(u() * 450.0 - 400.0);
    streamB[i].speed = f(u() * 7.0 + 7.0);
  }
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
