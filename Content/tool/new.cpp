// pylon new DIR [--beats N]: a small production that plays at once with `veltro12 --data DIR --watch`.
//
// DIR gets a production file with two parts (a glTF scene and a full-view shader) crossing
// with a cross-fade, the shader's effect, the scene as a glTF file (a ring of cubes turning
// under an orbiting camera, written here, so the first thing an author replaces is a file
// Blender also writes), 32 beats (or N) of music from the content tool's synthesiser, the members
// every production's post chain needs, and a README that says what to change first. A DIR
// that already holds a production file is left alone.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "data/EffectSources.h"
#include "data/MmfWriter.h"
#include "data/StockMeshes.h"
#include "music/OggEncoder.h"
#include "music/Soundtrack.h"
#include "tool/Command.h"

std::string_view newProductionText();
std::string_view newFieldEffectText();
std::string_view newReadmeText();

namespace {

namespace fs = std::filesystem;

constexpr double kBeatSeconds = 43.0 / 80.0;  // the synthesiser's tempo

// Standard base64, for the glTF buffer's data URI.
std::string base64(const std::vector<uint8_t>& bytes) {
  static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const uint32_t n = (uint32_t(bytes[i]) << 16) | (i + 1 < bytes.size() ? uint32_t(bytes[i + 1]) << 8 : 0) |
                       (i + 2 < bytes.size() ? uint32_t(bytes[i + 2]) : 0);
    out += digits[(n >> 18) & 63];
    out += digits[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? digits[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? digits[n & 63] : '=';
  }
  return out;
}

template <typename T>
void append(std::vector<uint8_t>& buffer, const std::vector<T>& values) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(values.data());
  buffer.insert(buffer.end(), bytes, bytes + values.size() * sizeof(T));
  while (buffer.size() % 4) buffer.push_back(0);
}

// The starting scene: eight cubes on a ring over a floor, the ring turning one way, the
// camera on a rig turning the other, each a full turn over `seconds`.
std::string sceneGltf(double seconds) {
  std::vector<float> positions, normals;
  std::vector<uint16_t> indices;
  for (int axis = 0; axis < 3; ++axis) {
    for (int sign = -1; sign <= 1; sign += 2) {
      const auto base = static_cast<uint16_t>(positions.size() / 3);
      for (int corner = 0; corner < 4; ++corner) {
        float p[3];
        p[axis] = 0.5f * sign;
        p[(axis + 1) % 3] = (corner == 1 || corner == 2) ? 0.5f : -0.5f;
        p[(axis + 2) % 3] = corner >= 2 ? 0.5f : -0.5f;
        float n[3] = {0, 0, 0};
        n[axis] = float(sign);
        positions.insert(positions.end(), p, p + 3);
        normals.insert(normals.end(), n, n + 3);
      }
      // Counter-clockwise seen from outside.
      const uint16_t a = base, b = base + 1, c = base + 2, d = base + 3;
      if (sign > 0)
        indices.insert(indices.end(), {a, b, c, a, c, d});
      else
        indices.insert(indices.end(), {a, c, b, a, d, c});
    }
  }
  const int keys = 9;  // an eighth of a turn apart, so every step turns the short way
  std::vector<float> times, ringTurn, rigTurn;
  for (int k = 0; k < keys; ++k) {
    const double f = double(k) / (keys - 1), angle = 2.0 * M_PI * f;
    times.push_back(float(seconds * f));
    ringTurn.insert(ringTurn.end(), {0.0f, float(std::sin(angle / 2)), 0.0f, float(std::cos(angle / 2))});
    rigTurn.insert(rigTurn.end(), {0.0f, float(std::sin(-angle / 2)), 0.0f, float(std::cos(-angle / 2))});
  }
  std::vector<uint8_t> buffer;
  const size_t positionsAt = buffer.size();
  append(buffer, positions);
  const size_t normalsAt = buffer.size();
  append(buffer, normals);
  const size_t indicesAt = buffer.size();
  append(buffer, indices);
  const size_t timesAt = buffer.size();
  append(buffer, times);
  const size_t ringAt = buffer.size();
  append(buffer, ringTurn);
  const size_t rigAt = buffer.size();
  append(buffer, rigTurn);

  auto view = [](size_t offset, size_t length) {
    return "{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) + ",\"byteLength\":" + std::to_string(length) + "}";
  };
  std::string json = "{\n\"asset\":{\"version\":\"2.0\",\"generator\":\"pylon new\"},\n\"scene\":0,\n";
  json += "\"scenes\":[{\"nodes\":[0,2,11]}],\n\"nodes\":[\n";
  json += "{\"name\":\"Rig\",\"children\":[1]},\n";
  json += "{\"name\":\"Camera\",\"camera\":0,\"translation\":[0,3.2,11],\"rotation\":[-0.1305262,0,0,0.9914449]},\n";
  json += "{\"name\":\"Ring\",\"children\":[3,4,5,6,7,8,9,10]},\n";
  for (int i = 0; i < 8; ++i) {
    const double a = 2.0 * M_PI * i / 8.0;
    char node[256];
    std::snprintf(node, sizeof node,
                  "{\"name\":\"Cube %d\",\"mesh\":%d,\"translation\":[%.4f,%.4f,%.4f],\"scale\":[1.2,%.2f,1.2]},\n", i + 1,
                  i % 3, 4.0 * std::cos(a), 0.3 * (i % 2), 4.0 * std::sin(a), 1.0 + 0.6 * (i % 3));
    json += node;
  }
  json += "{\"name\":\"Floor\",\"mesh\":3,\"translation\":[0,-1,0],\"scale\":[30,0.2,30]}\n],\n";
  json += "\"cameras\":[{\"type\":\"perspective\",\"perspective\":{\"yfov\":0.8,\"znear\":0.5,\"zfar\":100}}],\n";
  json += "\"meshes\":[\n";
  for (int m = 0; m < 4; ++m)
    json += std::string("{\"primitives\":[{\"attributes\":{\"POSITION\":0,\"NORMAL\":1},\"indices\":2,\"material\":") +
            std::to_string(m) + "}]}" + (m < 3 ? ",\n" : "\n");
  json += "],\n\"materials\":[\n";
  json += "{\"name\":\"Amber\",\"pbrMetallicRoughness\":{\"baseColorFactor\":[1,0.55,0.15,1]},\"emissiveFactor\":[0.6,0.25,0.05]},\n";
  json += "{\"name\":\"Cyan\",\"pbrMetallicRoughness\":{\"baseColorFactor\":[0.2,0.8,1,1]},\"emissiveFactor\":[0.05,0.35,0.5]},\n";
  json += "{\"name\":\"Rose\",\"pbrMetallicRoughness\":{\"baseColorFactor\":[1,0.3,0.5,1]},\"emissiveFactor\":[0.5,0.1,0.2]},\n";
  json += "{\"name\":\"Floor\",\"pbrMetallicRoughness\":{\"baseColorFactor\":[0.12,0.12,0.16,1]}}\n],\n";
  json += "\"animations\":[{\"name\":\"Turn\",\"samplers\":[{\"input\":3,\"output\":4,\"interpolation\":\"LINEAR\"},"
          "{\"input\":3,\"output\":5,\"interpolation\":\"LINEAR\"}],\"channels\":["
          "{\"sampler\":0,\"target\":{\"node\":2,\"path\":\"rotation\"}},"
          "{\"sampler\":1,\"target\":{\"node\":0,\"path\":\"rotation\"}}]}],\n";
  json += "\"accessors\":[\n";
  json += "{\"bufferView\":0,\"componentType\":5126,\"count\":24,\"type\":\"VEC3\",\"min\":[-0.5,-0.5,-0.5],\"max\":[0.5,0.5,0.5]},\n";
  json += "{\"bufferView\":1,\"componentType\":5126,\"count\":24,\"type\":\"VEC3\"},\n";
  json += "{\"bufferView\":2,\"componentType\":5123,\"count\":36,\"type\":\"SCALAR\"},\n";
  char timeAccessor[160];
  std::snprintf(timeAccessor, sizeof timeAccessor,
                "{\"bufferView\":3,\"componentType\":5126,\"count\":%d,\"type\":\"SCALAR\",\"min\":[0],\"max\":[%.6g]},\n", keys,
                double(times.back()));
  json += timeAccessor;
  json += "{\"bufferView\":4,\"componentType\":5126,\"count\":" + std::to_string(keys) + ",\"type\":\"VEC4\"},\n";
  json += "{\"bufferView\":5,\"componentType\":5126,\"count\":" + std::to_string(keys) + ",\"type\":\"VEC4\"}\n],\n";
  json += "\"bufferViews\":[" + view(positionsAt, positions.size() * 4) + ",\n" + view(normalsAt, normals.size() * 4) + ",\n" +
          view(indicesAt, indices.size() * 2) + ",\n" + view(timesAt, times.size() * 4) + ",\n" +
          view(ringAt, ringTurn.size() * 4) + ",\n" + view(rigAt, rigTurn.size() * 4) + "],\n";
  json += "\"buffers\":[{\"byteLength\":" + std::to_string(buffer.size()) +
          ",\"uri\":\"data:application/octet-stream;base64," + base64(buffer) + "\"}]\n}\n";
  return json;
}

int write(const fs::path& path, const void* data, size_t size) {
  std::error_code ignored;
  fs::create_directories(path.parent_path(), ignored);
  std::ofstream out(path, std::ios::binary);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) {
    std::fprintf(stderr, "pylon new: %s: cannot be written\n", path.c_str());
    return 1;
  }
  return 0;
}
int write(const fs::path& path, std::string_view text) { return write(path, text.data(), text.size()); }
int write(const fs::path& path, const std::vector<uint8_t>& bytes) { return write(path, bytes.data(), bytes.size()); }

// The template's production is written for 32 beats; other lengths rewrite its timeline's
// last beats in the same proportion.
std::string productionFor(int beats) {
  std::string text(newProductionText());
  if (beats == 32) return text;
  auto replace = [&](const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
  };
  const int cross = beats * 5 / 8;  // where the scene ends (20 of 32)
  replace("length_beats: 32  # 17.2 s", "length_beats: " + std::to_string(beats) + "  #");
  replace("end_beat: 20", "end_beat: " + std::to_string(cross));
  replace("start_beat: 16", "start_beat: " + std::to_string(cross - 4));
  replace("end_beat: 32", "end_beat: " + std::to_string(beats));
  replace("for 20 beats", "for " + std::to_string(cross) + " beats");
  return text;
}

int runNew(int argc, char** argv) {
  int beats = 32;
  if (argc == 4 && std::string(argv[2]) == "--beats") {
    char* end = nullptr;
    const long asked = std::strtol(argv[3], &end, 10);
    if (*end || asked < 16 || asked > 140) {
      std::fprintf(stderr, "pylon new: --beats takes a whole number from 16 to 140 (the synthesiser's groove lasts 140 beats)\n");
      return 1;
    }
    beats = static_cast<int>(asked);
  } else if (argc != 2) {
    std::fprintf(stderr, "Usage: pylon new DIR [--beats N]\n");
    return 1;
  }
  const fs::path dir = argv[1];
  if (fs::exists(dir / "production.txtpb")) {
    std::fprintf(stderr, "pylon new: %s already holds a production.txtpb; nothing was written\n", dir.c_str());
    return 1;
  }
  const double seconds = beats * kBeatSeconds;
  // The post chain's members, which every production needs.
  if (write(dir / "objects/quad.mmf", content::encodeTextMmf(content::quadMesh(), {"textures/gradient.png"})) ||
      write(dir / "objects/cube_env100out.mmf", content::encodeBinMmf(content::cubeEnvMesh())) ||
      write(dir / "textures/gradient.png", content::gradientTexture()))
    return 1;
  for (size_t i = 0; i < content::kEffectSourceCount; ++i) {
    const content::EffectSource& e = content::kEffectSources[i];
    const std::string name = e.name;
    if (name.rfind("bloom-", 0) == 0 || name.rfind("post-", 0) == 0)
      if (write(dir / "shaders" / name, e.bytes, e.size)) return 1;
  }
  if (write(dir / "shaders/field.cgfx", newFieldEffectText()) || write(dir / "scene.gltf", sceneGltf(seconds)) ||
      write(dir / "README.md", newReadmeText()))
    return 1;

  // The synthesiser's groove, from the bar where its kick enters.
  music::StereoBuffer mix = music::renderMix(43.0, 43.0 + seconds);
  music::master(mix);
  music::OggEncoder::Settings settings;
  settings.tags = {{"TITLE", "Loop"}, {"ALBUM", "pylon new"}};
  std::vector<unsigned char> ogg;
  music::OggEncoder encoder(settings);
  if (encoder.encode(mix, ogg) != 0) {
    std::fprintf(stderr, "pylon new: the music cannot be encoded: %s\n", encoder.error().c_str());
    return 1;
  }
  if (write(dir / "music/loop.ogg", ogg.data(), ogg.size())) return 1;
  // The production file last: a folder interrupted before here holds none, and a second
  // pylon new can finish it.
  if (write(dir / "production.txtpb", productionFor(beats))) return 1;
  std::printf("%s: a production of %d beats (%.1f s): a glTF scene crossing into a shader part.\n"
              "Play it with: veltro12 --windowed --no-dialog --data %s --watch\n"
              "and read %s/README.md for what to change first.\n",
              dir.c_str(), beats, seconds, dir.c_str(), dir.c_str());
  return 0;
}

CommandRegistrar newCommand("new", "new DIR [--beats N]     write a small production to start from into DIR (32 beats of music)", runNew);

}  // namespace
