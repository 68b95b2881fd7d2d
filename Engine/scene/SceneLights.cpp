#include "scene/SceneLights.h"

#include <algorithm>
#include <cmath>

SceneLight sceneLight(const Kestrel::Light& light, const float* m) {
  SceneLight out{};
  const float scale = light.intensity() / kLumensPerWatt;
  out.colour[0] = light.r() * scale;
  out.colour[1] = light.g() * scale;
  out.colour[2] = light.b() * scale;
  out.cone[0] = 0.0f;
  out.cone[1] = 1.0f;
  const bool directional = light.type() == Kestrel::DISTANT;
  // The node's origin and its -Z axis in view space (column 3 and minus column 2).
  float place[3] = {0, 0, 0}, axis[3] = {-0.4f, -0.7f, -0.6f};
  if (m) {
    for (int r = 0; r < 3; ++r) place[r] = m[4 * r + 3], axis[r] = -m[4 * r + 2];
  }
  const float length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
  for (int r = 0; r < 3; ++r) axis[r] = length > 0 ? axis[r] / length : (r == 2 ? -1.0f : 0.0f);
  for (int r = 0; r < 3; ++r) out.axis[r] = axis[r];
  const float brightest = std::max({out.colour[0], out.colour[1], out.colour[2]});
  if (directional) {
    for (int r = 0; r < 3; ++r) out.position[r] = -axis[r];
    out.position[3] = 0.0f;
    out.rank = brightest;
    return out;
  }
  for (int r = 0; r < 3; ++r) out.position[r] = place[r];
  out.position[3] = 1.0f;
  out.colour[3] = light.range() > 0 ? light.range() : 0.0f;
  if (light.type() == Kestrel::SPOT) {
    const float inner = std::cos(light.innercone()), outer = std::cos(light.outercone());
    out.cone[0] = 1.0f / std::max(0.001f, inner - outer);
    out.cone[1] = -outer * out.cone[0];
  }
  const float distance2 = place[0] * place[0] + place[1] * place[1] + place[2] * place[2];
  out.rank = brightest / std::max(distance2, 1e-4f);
  return out;
}

int chooseLights(SceneLight* lights, int count) {
  std::stable_sort(lights, lights + count, [](const SceneLight& a, const SceneLight& b) { return a.rank > b.rank; });
  return std::min(count, kSceneLightLimit);
}

float srgbEncode(float linear) {
  const float c = std::clamp(linear, 0.0f, 1.0f);
  return c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f;
}
