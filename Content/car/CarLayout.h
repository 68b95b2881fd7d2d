// CarLayout: where the production's 400 cars start and how fast they fly, for both the
// player (which draws them) and the data generator (whose light trails must follow them).
//
// Header only, so the player and the content tool share one definition without either
// linking the other. Any record type with float members a, y, b and speed will do.
#pragma once

#include <array>
#include <cstddef>
#include <random>

namespace content {

// A Mersenne Twister seeded with 56884, u = r / (2^32 + 1) rounded to single precision (so
// it can be exactly 1), eight draws per car in this order. Stream A: {x0, y, z, speed};
// stream B: {x, y, z0, speed}.
template <class Record>
void layOutCarStreams(std::array<Record, 200>& streamA, std::array<Record, 200>& streamB) {
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

}  // namespace content
