// The two mesh file loaders of Loader: the binary form (a header of section sizes and
// offsets over raw little-endian arrays) and the text form (tag-delimited sections, one
// tuple per line).
#include <charconv>
#include <cstring>
#include <memory>

#include "platform/FromChars.h"
#include "resources/BinMmfHeader.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"

namespace {

uint32_t littleEndianWord(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
         static_cast<uint32_t>(at[3]) << 24;
}

template <typename T>
void appendSection(const uint8_t* data, uint32_t offset, uint32_t size, std::vector<T>& out) {
  static_assert(sizeof(T) == 4);
  const size_t count = size / 4;
  out.reserve(out.size() + count);
  for (size_t i = 0; i < count; ++i) {
    const uint32_t word = littleEndianWord(data + offset + 4 * i);
    T value;
    std::memcpy(&value, &word, 4);
    out.push_back(value);
  }
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Reads up to `count` numbers separated by blanks from `text`, the way "%f %f %f" or
// "%d %d %d" scans a line: the first that does not parse ends the scan and it and the rest
// stay 0. Independent of the process locale: "." is always the decimal point.
template <typename T>
void scanNumbers(const char* text, T* values, int count) {
  for (int i = 0; i < count; ++i) values[i] = 0;
  const char* at = text;
  const char* end = text + std::strlen(text);
  for (int i = 0; i < count; ++i) {
    while (at < end && isBlank(*at)) ++at;
    if (at < end && *at == '+') ++at;
    T value = 0;
    const auto [stop, error] = platform::fromChars(at, end, value);
    if (stop == at) return;
    values[i] = error == std::errc() ? value : 0;
    at = stop;
  }
}

// Drawing reads vertex data at every index a triangle names, so a mesh whose indices reach
// past its vertices is refused before it can be uploaded. Logs the first bad index.
bool indicesFit(Logger& log, const std::string& name, const MmfMesh& mesh) {
  const size_t vertices = mesh.points.size() / 3;
  for (size_t i = 0; i < mesh.polygons.size(); ++i) {
    const int32_t index = mesh.polygons[i];
    if (index < 0 || static_cast<size_t>(index) >= vertices) {
      log << " error in " << name << ": triangle " << static_cast<unsigned long long>(i / 3) << " names vertex "
          << index << " of " << static_cast<unsigned long long>(vertices) << "\n";
      return false;
    }
  }
  return true;
}

}  // namespace

int Loader::loadBinMmf(const std::string& name, MmfMesh& mesh) {
  log() << "\nload bin mmf: " << name << "\n";
  const uint32_t size = getSize(name);
  if (size == 0) {
    log() << " file error, size 0\n";
    return 1;
  }
  std::unique_ptr<uint8_t[]> block(new uint8_t[size]);  // left uninitialised: read over at once
  if (read(name, block.get()) != 0) {
    log() << "\ndecompression error." << name << "\n";
    return 1;
  }
  return parseBinMmf(name, block.get(), size, mesh);
}

int Loader::parseBinMmf(const std::string& name, const uint8_t* data, size_t size, MmfMesh& mesh) {
  if (size < sizeof(BinMmfHeader)) {
    log() << " error in " << name << ": the file of " << static_cast<unsigned long long>(size)
          << " bytes is shorter than its 36-byte header\n";
    return 1;
  }
  struct Section {
    const char* name;
    uint32_t size, offset;
  };
  const Section sections[4] = {
      {"points", littleEndianWord(data + 4), littleEndianWord(data + 8)},
      {"normals", littleEndianWord(data + 12), littleEndianWord(data + 16)},
      {"uvs", littleEndianWord(data + 20), littleEndianWord(data + 24)},
      {"polygons", littleEndianWord(data + 28), littleEndianWord(data + 32)},
  };
  // Every section is checked before the mesh is touched, so a rejected file leaves it as it was.
  for (const Section& s : sections) {
    if (s.size % 4 != 0) {
      log() << " error in " << name << ": " << s.name << " section size " << s.size << " is not a multiple of 4\n";
      return 1;
    }
    if (s.size != 0 && static_cast<uint64_t>(s.offset) + s.size > size) {
      log() << " error in " << name << ": " << s.name << " section (offset " << s.offset << ", size " << s.size
            << ") reaches past the end of the file (" << static_cast<unsigned long long>(size) << " bytes)\n";
      return 1;
    }
  }
  MmfMesh parsed;
  appendSection(data, sections[0].offset, sections[0].size, parsed.points);
  appendSection(data, sections[1].offset, sections[1].size, parsed.normals);
  appendSection(data, sections[2].offset, sections[2].size, parsed.uvs);
  appendSection(data, sections[3].offset, sections[3].size, parsed.polygons);
  if (!indicesFit(log(), name, parsed)) return 1;
  mesh.points = std::move(parsed.points);
  mesh.normals = std::move(parsed.normals);
  mesh.uvs = std::move(parsed.uvs);
  mesh.polygons = std::move(parsed.polygons);
  mesh.textures.clear();
  return 0;
}

int Loader::loadMmf(MmfMesh& mesh) {
  const char* name = "objects/quad.mmf";
  log() << "\nload mmf: " << name << "\n";
  const uint32_t size = getSize(name);
  if (size == 0) {
    log() << " file error, size 0\n";
    return 1;
  }
  std::unique_ptr<char[]> block(new char[size]);  // left uninitialised: read over at once
  if (read(name, block.get()) != 0) {
    log() << "\ndecompression error." << name << "\n";
    return 1;
  }
  return parseMmf(block.get(), size, mesh, name);
}

// One line of at most 255 characters into lineBuffer, without its "\n". False when no line
// could be read (end of data) or the line is longer than 255 characters.
bool Loader::readLine(const char* data, size_t size, size_t& position) {
  if (position >= size) return false;
  size_t length = 0;
  while (position < size && data[position] != '\n') {
    if (length == sizeof(lineBuffer) - 1) return false;  // too long: parsing stops here
    lineBuffer[length++] = data[position++];
  }
  if (position < size) ++position;  // the "\n"
  lineBuffer[length] = '\0';
  return true;
}

int Loader::parseMmf(const char* data, size_t size, MmfMesh& mesh, const std::string& name) {
  mesh.points.clear();
  mesh.normals.clear();
  mesh.uvs.clear();
  mesh.polygons.clear();
  mesh.textures.clear();

  size_t position = 0;
  const auto has = [this](const char* tag) { return std::strstr(lineBuffer, tag) != nullptr; };
  const auto next = [&] { return readLine(data, size, position); };
  // Data lines up to the closing tag, each scanned into one tuple of `count` values. False
  // when the data ended first, which ends the parse.
  const auto section = [&](const char* closing, auto& out, int count) {
    for (;;) {
      if (!next()) return false;
      if (has(closing)) return true;
      typename std::remove_reference_t<decltype(out)>::value_type values[3];
      scanNumbers(lineBuffer, values, count);
      out.insert(out.end(), values, values + count);
    }
  };

  while (next() && !has("</MMF>")) {
    if (has("<points>") && !section("</points>", mesh.points, 3)) break;
    if (has("<normals>") && !section("</normals>", mesh.normals, 3)) break;
    if (has("<uvs>") && !section("</uvs>", mesh.uvs, 2)) break;
    if (has("<polygons>") && !section("</polygons>", mesh.polygons, 3)) break;
    if (has("<surfaces>") && !has("</surfaces>")) {
      bool closed = false;
      while ((closed = next()) && !has("</surfaces>")) {
      }
      if (!closed) break;
    }
    if (has("<textures>")) {
      bool closed = false;
      while ((closed = next()) && !has("</textures>")) {
        if (!has("<item>")) continue;
        if (!next()) {
          closed = false;
          break;
        }
        const char* open = std::strstr(lineBuffer, "<source>");
        const char* start = open ? open + std::strlen("<source>") : nullptr;
        const char* stop = start ? std::strstr(start, "</source>") : nullptr;
        if (!stop) continue;  // an item without a complete source line is skipped
        Texture texture;
        texture.source.assign(start, stop);
        for (char& c : texture.source) {
          if (c == '/') c = '\\';
        }
        mesh.textures.push_back(std::move(texture));
      }
      if (!closed) break;
    }
  }
  if (!indicesFit(log(), name, mesh)) {
    mesh.points.clear();
    mesh.normals.clear();
    mesh.uvs.clear();
    mesh.polygons.clear();
    mesh.textures.clear();
    return 1;
  }
  return 0;
}
