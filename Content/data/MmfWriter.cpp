#include "data/MmfWriter.h"

#include <cstdio>
#include <cstring>

namespace content {
namespace {

void putWord(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

template <typename T>
void putSection(std::vector<uint8_t>& out, const std::vector<T>& values) {
  static_assert(sizeof(T) == 4);
  for (T v : values) {
    uint32_t w;
    std::memcpy(&w, &v, 4);
    putWord(out, w);
  }
}

void line(std::string& out, const char* format, double a, double b, double c) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, a, b, c);
  out += buffer;
}

}  // namespace

std::vector<uint8_t> encodeBinMmf(const Mesh& mesh) {
  std::vector<uint8_t> out;
  uint32_t sizes[4] = {uint32_t(mesh.points.size() * 4), uint32_t(mesh.normals.size() * 4),
                       uint32_t(mesh.uvs.size() * 4), uint32_t(mesh.polygons.size() * 4)};
  uint32_t offset = 9 * 4;
  putWord(out, kBinMmfTag);
  for (uint32_t size : sizes) {
    putWord(out, size);
    putWord(out, size ? offset : 0);
    offset += size;
  }
  putSection(out, mesh.points);
  putSection(out, mesh.normals);
  putSection(out, mesh.uvs);
  std::vector<int32_t> indices(mesh.polygons.begin(), mesh.polygons.end());
  putSection(out, indices);
  return out;
}

std::vector<uint8_t> encodeTextMmf(const Mesh& mesh, const std::vector<std::string>& textures) {
  std::string s = "<MMF>\n<points>\n";
  for (size_t i = 0; i + 2 < mesh.points.size(); i += 3)
    line(s, "%f %f %f\n", mesh.points[i], mesh.points[i + 1], mesh.points[i + 2]);
  s += "</points>\n<normals>\n";
  for (size_t i = 0; i + 2 < mesh.normals.size(); i += 3)
    line(s, "%f %f %f\n", mesh.normals[i], mesh.normals[i + 1], mesh.normals[i + 2]);
  s += "</normals>\n<uvs>\n";
  for (size_t i = 0; i + 1 < mesh.uvs.size(); i += 2) line(s, "%f %f\n", mesh.uvs[i], mesh.uvs[i + 1], 0);
  s += "</uvs>\n<polygons>\n";
  for (size_t i = 0; i + 2 < mesh.polygons.size(); i += 3) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d %d %d\n", int(mesh.polygons[i]), int(mesh.polygons[i + 1]),
                  int(mesh.polygons[i + 2]));
    s += buffer;
  }
  s += "</polygons>\n<surfaces>\n</surfaces>\n<textures>\n";
  for (const std::string& t : textures) s += "<item>\n<source>" + t + "</source>\n</item>\n";
  s += "</textures>\n</MMF>\n";
  return std::vector<uint8_t>(s.begin(), s.end());
}

}  // namespace content
