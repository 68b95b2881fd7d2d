#include "import/GltfSafety.h"

#include <tiny_gltf.h>

#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "import/GltfExtensions.h"
#include "platform/ConfinedFile.h"
#include "resources/ImageDecode.h"
#include "runtime/Logger.h"

namespace gltf_import {

namespace {

using Json = nlohmann::json;

uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// The JSON and binary chunks of a .glb, every length checked against the file's own size.
int splitGlb(const uint8_t* data, size_t size, std::string& json, const uint8_t*& bin, size_t& binSize, std::string& problem) {
  bin = nullptr;
  binSize = 0;
  if (size < 20) {
    problem = "the GLB file is shorter than its header";
    return 1;
  }
  const uint32_t version = le32(data + 4);
  const uint64_t length = le32(data + 8);
  if (version != 2) {
    problem = "GLB container version " + std::to_string(version) + " (only version 2 is read)";
    return 1;
  }
  if (length > size || length < 20) {
    problem = "the GLB header claims " + std::to_string(length) + " bytes, the file has " + std::to_string(size);
    return 1;
  }
  const uint64_t jsonLength = le32(data + 12);
  if (le32(data + 16) != 0x4E4F534Au) {
    problem = "the GLB's first chunk is not its JSON";
    return 1;
  }
  if (jsonLength > length - 20) {
    problem = "the GLB's JSON chunk claims " + std::to_string(jsonLength) + " bytes, beyond the end of the file";
    return 1;
  }
  json.assign(reinterpret_cast<const char*>(data + 20), static_cast<size_t>(jsonLength));
  const uint64_t next = 20 + jsonLength;
  if (next + 8 <= length && le32(data + next + 4) == 0x004E4942u) {
    const uint64_t binLength = le32(data + next);
    if (binLength > length - next - 8) {
      problem = "the GLB's binary chunk claims " + std::to_string(binLength) + " bytes, beyond the end of the file";
      return 1;
    }
    bin = data + next + 8;
    binSize = static_cast<size_t>(binLength);
  }
  return 0;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "" when the version (and minVersion) is one the importer reads, else why not.
std::string versionProblem(const Json& root) {
  auto parse = [](const Json& v, int& major, int& minor) {
    if (!v.is_string()) return false;
    const std::string s = v.get<std::string>();
    char tail = 0;
    return std::sscanf(s.c_str(), "%d.%d%c", &major, &minor, &tail) == 2;
  };
  const auto asset = root.find("asset");
  if (asset == root.end() || !asset->is_object() || !asset->contains("version"))
    return "it has no asset.version (not a glTF 2.0 file)";
  int major = 0, minor = 0;
  if (!parse((*asset)["version"], major, minor)) return "asset.version is not a version number";
  const std::string version = (*asset)["version"].get<std::string>();
  if (asset->contains("minVersion")) {
    int minMajor = 0, minMinor = 0;
    if (!parse((*asset)["minVersion"], minMajor, minMinor)) return "asset.minVersion is not a version number";
    if (minMajor != 2 || minMinor != 0)
      return "it needs glTF " + (*asset)["minVersion"].get<std::string>() + " (asset.minVersion); the importer reads glTF 2.0";
    return "";
  }
  if (major != 2) return "it is glTF " + version + " (asset.version); the importer reads glTF 2.x only";
  return "";
}

std::string uriProblem(const std::string& uri) {
  size_t colon = 0;
  while (colon < uri.size() && (std::isalnum(static_cast<unsigned char>(uri[colon])) ||
                                (colon > 0 && (uri[colon] == '+' || uri[colon] == '.' || uri[colon] == '-'))))
    ++colon;
  if (colon > 0 && colon < uri.size() && uri[colon] == ':' && std::isalpha(static_cast<unsigned char>(uri[0]))) {
    const std::string scheme = uri.substr(0, colon);
    if (scheme == "file") return "is a file: URI (only files beside the glTF file, by relative name, are read)";
    if (scheme == "data") return "is a data: URI that is not base64 of a type the importer reads";
    return "has the scheme " + scheme + ": (only files beside the glTF file, by relative name, are read)";
  }
  if (!uri.empty() && (uri[0] == '/' || uri[0] == '\\')) return "is an absolute path (only files beside the glTF file are read)";
  return "";
}

// The data: URIs tinygltf decodes itself; any other "data:" is refused.
bool knownDataUri(const std::string& uri) { return uri.rfind("data:", 0) == 0 && tinygltf::IsDataURI(uri); }

// Reads the file a URI names through `read`; 1 with `problem` naming `what` and the URI.
int readUri(const FileReader& read, const std::string& uri, const std::string& what, size_t exactBytes, size_t maxBytes,
            std::vector<uint8_t>& bytes, std::string& problem) {
  const std::string quoted = what + " URI '" + uri + "'";
  std::string reason = uriProblem(uri), decoded;
  if (reason.empty() && !decodeUri(uri, decoded)) reason = "has a malformed %-escape";
  if (reason.empty() && !decoded.empty() && decoded[0] == '/') reason = "is an absolute path once decoded";
  if (reason.empty() && decoded.empty()) reason = "is empty";
  if (reason.empty() && read(decoded, exactBytes, maxBytes, bytes, reason) == 0) return 0;
  problem = quoted + " " + reason;
  return 1;
}

bool exists(const std::string& path, void* user) {
  return static_cast<SafeSource*>(user)->files.count(path) != 0;
}
std::string expand(const std::string& path, void*) { return path; }
bool readWhole(std::vector<unsigned char>* out, std::string* err, const std::string& path, void* user) {
  const SafeSource& source = *static_cast<SafeSource*>(user);
  const auto found = source.files.find(path);
  if (found == source.files.end()) {
    if (err) *err = "not one of the files the importer checked";
    return false;
  }
  out->assign(found->second.begin(), found->second.end());
  return true;
}
bool refuseWrite(std::string* err, const std::string&, const std::vector<unsigned char>&, void*) {
  if (err) *err = "the importer writes no files";
  return false;
}

}  // namespace

std::string imageProblem(const std::vector<uint8_t>& bytes) {
  ensureImageDecoder();
  Logger log;  // never created: keeps the decoder's lines for the message
  DecodedImage image;
  if (decodeImage(log, bytes.data(), bytes.size(), image) == 0) return "";
  std::string why = log.recentLines(1);
  while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
  return why.empty() ? "it cannot be decoded" : why;
}

bool decodeUri(const std::string& uri, std::string& decoded) {
  decoded.clear();
  for (size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] != '%') {
      decoded += uri[i];
      continue;
    }
    if (i + 2 >= uri.size()) return false;
    const int hi = hexDigit(uri[i + 1]), lo = hexDigit(uri[i + 2]);
    if (hi < 0 || lo < 0 || (hi == 0 && lo == 0)) return false;
    decoded += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

int prepareSource(const uint8_t* data, size_t size, const FileReader& read, SafeSource& out, std::string& problem) {
  out = SafeSource{};
  const bool binary = size >= 4 && std::memcmp(data, "glTF", 4) == 0;
  std::string text;
  const uint8_t* bin = nullptr;
  size_t binSize = 0;
  if (binary) {
    if (splitGlb(data, size, text, bin, binSize, problem) != 0) return 1;
  } else {
    text.assign(reinterpret_cast<const char*>(data), size);
  }
  Json root;
  try {
    root = Json::parse(text);
  } catch (const Json::exception& e) {
    std::string what = e.what();
    if (const size_t close = what.find("] "); what.rfind("[json.exception", 0) == 0 && close != std::string::npos)
      what.erase(0, close + 2);
    problem = "not a readable glTF 2.0 file: " + what;
    return 1;
  }
  if (!root.is_object()) {
    problem = "not a glTF file: its JSON is not an object";
    return 1;
  }
  if (const std::string version = versionProblem(root); !version.empty()) {
    problem = "refused: " + version;
    return 1;
  }
  if (const auto required = root.find("extensionsRequired"); required != root.end() && required->is_array()) {
    for (const Json& name : *required) {
      if (!name.is_string()) continue;
      if (!implementedExtension(name.get<std::string>())) {
        problem = "refused: it requires the extension " + name.get<std::string>() + ", which the importer does not implement";
        return 1;
      }
    }
  }

  if (const auto buffers = root.find("buffers"); buffers != root.end() && buffers->is_array()) {
    for (size_t b = 0; b < buffers->size(); ++b) {
      Json& buffer = (*buffers)[b];
      const std::string what = "buffer " + std::to_string(b);
      if (!buffer.is_object()) continue;  // the parser refuses it
      const Json& lengthValue = buffer.contains("byteLength") ? buffer["byteLength"] : Json();
      if (!lengthValue.is_number_unsigned() || lengthValue.get<uint64_t>() == 0 || lengthValue.get<uint64_t>() > kMaxBufferBytes) {
        problem = what + " has a byteLength that is not a whole number from 1 to " + std::to_string(kMaxBufferBytes);
        return 1;
      }
      const size_t length = static_cast<size_t>(lengthValue.get<uint64_t>());
      const std::string key = "pylon-buffer-" + std::to_string(b);
      if (!buffer.contains("uri")) {
        if (!binary || b != 0) {
          problem = what + " has no uri" + (binary ? " and is not the GLB's first buffer" : "");
          return 1;
        }
        if (!bin || length > binSize) {
          problem = what + " declares " + std::to_string(length) + " bytes, the GLB's binary chunk has " + std::to_string(binSize);
          return 1;
        }
        out.files[key].assign(bin, bin + length);
        buffer["uri"] = key;
        continue;
      }
      if (!buffer["uri"].is_string()) {
        problem = what + " has a uri that is not a string";
        return 1;
      }
      const std::string uri = buffer["uri"].get<std::string>();
      if (knownDataUri(uri)) continue;  // decoded by the parser, its size checked against byteLength
      std::vector<uint8_t> bytes;
      if (readUri(read, uri, what, length, kMaxBufferBytes, bytes, problem) != 0) return 1;
      out.readUris.push_back(uri);
      out.files[key] = std::move(bytes);
      buffer["uri"] = key;
    }
  }

  if (const auto images = root.find("images"); images != root.end() && images->is_array()) {
    for (size_t i = 0; i < images->size(); ++i) {
      Json& image = (*images)[i];
      out.imageUris.emplace_back();
      if (!image.is_object() || !image.contains("uri")) continue;
      const std::string what = "image " + std::to_string(i);
      if (!image["uri"].is_string()) {
        problem = what + " has a uri that is not a string";
        return 1;
      }
      const std::string uri = image["uri"].get<std::string>();
      if (knownDataUri(uri)) continue;
      out.imageUris.back() = uri;
      std::vector<uint8_t> bytes;
      if (readUri(read, uri, what, 0, kMaxImageFileBytes, bytes, problem) != 0) return 1;
      if (bytes.empty()) {
        problem = what + " URI '" + uri + "' is an empty file";
        return 1;
      }
      const std::string key = "pylon-image-" + std::to_string(i);
      out.readUris.push_back(uri);
      out.files[key] = std::move(bytes);
      image["uri"] = key;
    }
  }

  // A Draco primitive's indices accessor has no buffer view (the indices are in the compressed
  // data), which the parser refuses: it is taken out here; the decoder reads the triangles.
  if (const auto meshes = root.find("meshes"); meshes != root.end() && meshes->is_array()) {
    for (size_t m = 0; m < meshes->size(); ++m) {
      Json& mesh = (*meshes)[m];
      if (!mesh.is_object() || !mesh.contains("primitives") || !mesh["primitives"].is_array()) continue;
      for (size_t p = 0; p < mesh["primitives"].size(); ++p) {
        Json& primitive = mesh["primitives"][p];
        if (!primitive.is_object() || !primitive.contains("extensions") || !primitive["extensions"].is_object() ||
            !primitive["extensions"].contains("KHR_draco_mesh_compression") || !primitive.contains("indices"))
          continue;
        primitive.erase("indices");
      }
    }
  }
  out.json = root.dump();
  return 0;
}

FileReader filesBeneath(const std::string& folder) {
  return [folder](const std::string& relative, size_t exactBytes, size_t maxBytes, std::vector<uint8_t>& bytes,
                  std::string& reason) {
    return platform::readConfinedFile(folder, relative, exactBytes, maxBytes, bytes, reason);
  };
}

FileReader membersBeside(const std::string& member, MemberReader read) {
  const std::filesystem::path folder = std::filesystem::path(member).parent_path();
  return [folder, read = std::move(read)](const std::string& relative, size_t exactBytes, size_t maxBytes,
                                          std::vector<uint8_t>& bytes, std::string& reason) {
    // Member names hold no "." or "..": the URI is resolved against the folder lexically.
    const std::filesystem::path resolved = (folder / relative).lexically_normal();
    if (!resolved.empty() && *resolved.begin() == "..") {
      reason = "leads outside the archive";
      return 1;
    }
    const std::string name = resolved.generic_string();
    // The reader refuses a member over the limit; a buffer reads its first exactBytes.
    if (read(name, maxBytes, bytes, reason) != 0) {
      reason = "(archive member " + name + ") " + reason;
      return 1;
    }
    if (bytes.size() < exactBytes) {
      reason = "(archive member " + name + ") has " + std::to_string(bytes.size()) + " bytes, fewer than the " + std::to_string(exactBytes) + " declared";
      bytes.clear();
      return 1;
    }
    if (exactBytes > 0) bytes.resize(exactBytes);
    return 0;
  };
}

tinygltf::FsCallbacks fileCallbacks(SafeSource& source) {
  tinygltf::FsCallbacks callbacks;
  callbacks.FileExists = exists;
  callbacks.ExpandFilePath = expand;
  callbacks.ReadWholeFile = readWhole;
  callbacks.WriteWholeFile = refuseWrite;
  callbacks.user_data = &source;
  return callbacks;
}

}  // namespace gltf_import
