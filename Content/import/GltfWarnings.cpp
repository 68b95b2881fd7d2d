#include "import/GltfWarnings.h"

#include <tiny_gltf.h>

#include <cmath>
#include <cstdio>

namespace gltf_import {

namespace {

Quat keyRotation(const Curve& curve, size_t key) {
  // A CUBICSPLINE key stores in-tangent, value, out-tangent.
  const size_t at = (curve.mode == Interpolation::CubicSpline ? 3 * key + 1 : key) * 4;
  return {curve.values[at], curve.values[at + 1], curve.values[at + 2], curve.values[at + 3]};
}

// A URI's %XX escapes decoded, as the file system names the file.
std::string decoded(const std::string& uri) {
  std::string path;
  for (size_t i = 0; i < uri.size(); ++i) {
    unsigned code = 0;
    if (uri[i] == '%' && i + 2 < uri.size() && std::sscanf(uri.substr(i + 1, 2).c_str(), "%2x", &code) == 1) {
      path += static_cast<char>(code);
      i += 2;
    } else {
      path += uri[i];
    }
  }
  return path;
}

std::string seconds(float time) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g s", static_cast<double>(time));
  return text;
}

}  // namespace

void warnLongTurns(const Curve& rotation, const std::string& node, std::vector<std::string>& warnings) {
  if (rotation.components != 4 || rotation.mode == Interpolation::Step) return;
  const size_t perKey = rotation.mode == Interpolation::CubicSpline ? 12 : 4;
  if (rotation.values.size() < rotation.times.size() * perKey) return;
  std::string first;
  int more = 0;
  for (size_t k = 0; k + 1 < rotation.times.size(); ++k) {
    const double degrees = angleBetween(keyRotation(rotation, k), keyRotation(rotation, k + 1));
    // Half a degree of slack: a three-quarter turn in Blender arrives as 89.99999 degrees.
    if (degrees + 0.5 < kLongTurnDegrees) continue;
    if (!first.empty()) {
      ++more;
      continue;
    }
    first = node + ": rotation keys " + std::to_string(k + 1) + " and " + std::to_string(k + 2) + " (at " +
            seconds(rotation.times[k]) + " and " + seconds(rotation.times[k + 1]) + ") are " +
            std::to_string(static_cast<int>(std::lround(degrees))) + " degrees apart";
  }
  if (first.empty()) return;
  if (more > 0) first += " (and " + std::to_string(more) + " pair" + (more > 1 ? "s" : "") + " more)";
  warnings.push_back(first +
                     "; glTF turns the short way between keys, which may be the other way than in Blender: "
                     "export with Animation > Always Sample Animations on");
}

std::vector<std::string> externalFiles(const std::vector<std::string>& uris, const std::string& directory) {
  std::vector<std::string> files;
  for (const std::string& uri : uris)
    if (!uri.empty() && uri.rfind("data:", 0) != 0) files.push_back(directory + "/" + decoded(uri));
  return files;
}

}  // namespace gltf_import
