#include "import/GltfWorld.h"

#include <cmath>

#include "platform/ConfinedFile.h"
#include "resources/ImageDecode.h"
#include "runtime/Logger.h"

namespace gltf_import {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The real spherical harmonics of bands 0 to 2 at unit direction (x, y, z).
std::array<double, 9> basis(double x, double y, double z) {
  return {0.282095,
          0.488603 * y,
          0.488603 * z,
          0.488603 * x,
          1.092548 * x * y,
          1.092548 * y * z,
          0.315392 * (3 * z * z - 1),
          1.092548 * x * z,
          0.546274 * (x * x - y * y)};
}

double fromSrgb(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

}  // namespace

ShTerms equirectTerms(const std::vector<float>& rgb, int width, int height) {
  std::array<double, 27> sum{};
  for (int row = 0; row < height; ++row) {
    // Blender's mapping: u = (pi - atan2(y, x)) / 2pi across, the elevation from the bottom
    // row (-pi/2) to the top one (pi/2).
    const double elevation = (0.5 - (row + 0.5) / height) * kPi;
    const double solidAngle = (2 * kPi / width) * (kPi / height) * std::cos(elevation);
    for (int column = 0; column < width; ++column) {
      const double azimuth = kPi - 2 * kPi * (column + 0.5) / width;
      const double bx = std::cos(azimuth) * std::cos(elevation), by = std::sin(azimuth) * std::cos(elevation),
                   bz = std::sin(elevation);
      // Blender's Z-up axes to glTF's Y-up: (x, y, z) -> (x, z, -y).
      const std::array<double, 9> y = basis(bx, bz, -by);
      const float* p = &rgb[3 * (static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(column))];
      for (size_t k = 0; k < 9; ++k)
        for (size_t c = 0; c < 3; ++c) sum[3 * k + c] += p[c] * y[k] * solidAngle;
    }
  }
  ShTerms terms{};
  for (size_t i = 0; i < 27; ++i) terms[i] = static_cast<float>(sum[i]);
  return terms;
}

ShTerms uniformTerms(const float colour[3]) {
  ShTerms terms{};
  // The integral of a constant over the sphere against Y00 = 1 / (2 sqrt(pi)).
  for (size_t c = 0; c < 3; ++c) terms[c] = static_cast<float>(colour[c] * 2 * std::sqrt(kPi));
  return terms;
}

std::array<float, 3> radianceOf(const ShTerms& terms, const float d[3]) {
  const std::array<double, 9> y = basis(d[0], d[1], d[2]);
  std::array<float, 3> out{};
  for (size_t k = 0; k < 9; ++k)
    for (size_t c = 0; c < 3; ++c) out[c] += static_cast<float>(terms[3 * k + c] * y[k]);
  return out;
}

int readWorldImage(const std::string& path, ShTerms& terms, std::string& error) {
  std::vector<uint8_t> bytes;
  std::string reason;
  if (platform::readRegularFile(path, 256u << 20, bytes, reason) != 0) {
    error = path + ": the world image " + reason;
    return 1;
  }
  ensureImageDecoder();
  Logger log;  // never created: keeps the decoder's lines for the message
  DecodedImage image;
  if (decodeImage(log, bytes.data(), bytes.size(), image) != 0 || image.cube) {
    std::string why = image.cube ? "a cube map, not an equirectangular image" : log.recentLines(1);
    while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
    error = path + ": not a world image the importer can read: " + (why.empty() ? "it cannot be decoded" : why);
    return 1;
  }
  // BGRA, bottom row first.
  std::vector<float> rgb(static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3);
  for (int row = 0; row < image.height; ++row)
    for (int column = 0; column < image.width; ++column) {
      const unsigned char* p = &image.pixels[4 * (static_cast<size_t>(image.height - 1 - row) * image.width + column)];
      float* q = &rgb[3 * (static_cast<size_t>(row) * image.width + column)];
      q[0] = static_cast<float>(fromSrgb(p[2] / 255.0));
      q[1] = static_cast<float>(fromSrgb(p[1] / 255.0));
      q[2] = static_cast<float>(fromSrgb(p[0] / 255.0));
    }
  terms = equirectTerms(rgb, image.width, image.height);
  return 0;
}

}  // namespace gltf_import
