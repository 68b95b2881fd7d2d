#include "data/StockMeshes.h"

#include <cmath>

#include "data/Image.h"

namespace content {

Mesh quadMesh() {
  Mesh m;
  m.addQuad({-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}, 0, 0, 1, 1);
  return m;
}

Mesh cubeEnvMesh() {
  Mesh m;
  addBox(m, {-50, -50, -50}, {50, 50, 50}, kAllFaces, BoxMapping::Unit);
  return m;
}

std::vector<uint8_t> gradientTexture() {
  Image img(256, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      float u = float(x) / 255.0f, v = float(y) / 255.0f;
      float wave = 0.04f * std::sin(v * 6.2831853f * 2.0f) + 0.03f * (valueNoise(u * 6, v * 6, 6, 51) - 0.5f);
      float g = clamp01(u * 0.86f + 0.07f + wave);
      img.at(x, y) = {g, g, g, 1};
    }
  return img.toPng(false);
}

}  // namespace content
