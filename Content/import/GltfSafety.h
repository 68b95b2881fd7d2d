// GltfSafety: a glTF file from a stranger checked and made self-contained before the parser
// sees it.
//
// prepareSource() reads the file's JSON (from a .glb's checked chunks or as it is), checks its
// version and the extensions it requires, and reads every external buffer and image the file
// names through platform::readConfinedFile: %-escapes decoded, the path resolved beneath the
// glTF file's folder, only regular files, buffers bounded by their declared byteLength. The
// JSON handed on names those files by keys of `files`, and the FsCallbacks of fileCallbacks()
// serve only those keys, so the parser itself opens no file at all. Not a validator of the
// scene: the converter checks accessors, indices and references.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tinygltf {
struct FsCallbacks;
}

namespace gltf_import {

// The largest buffer, image file and glTF file the importer reads.
constexpr size_t kMaxBufferBytes = size_t{1} << 30;
constexpr size_t kMaxImageFileBytes = size_t{256} << 20;
constexpr size_t kMaxGltfFileBytes = size_t{1} << 30;

struct SafeSource {
  std::string json;                                      // the JSON the parser reads
  std::map<std::string, std::vector<uint8_t>> files;     // the bytes it may read, by key
  std::vector<std::string> imageUris;                    // each image's URI as written ("" for data URIs and buffer views)
  std::vector<std::string> readUris;                     // every file URI read (buffers, then images), as written
};

// 0 with `out` filled; 1 with `problem` (without the file's name) saying what was refused.
// `folder` is the glTF file's folder, which every URI must stay in.
int prepareSource(const uint8_t* data, size_t size, const std::string& folder, SafeSource& out, std::string& problem);

// Callbacks that serve `source.files` and nothing else; `source` must outlive their use.
tinygltf::FsCallbacks fileCallbacks(SafeSource& source);

// "" when `bytes` are an image the player's texture loader takes (the same header check and
// limits, and a full decode), else why not.
std::string imageProblem(const std::vector<uint8_t>& bytes);

// Decodes a URI reference's %-escapes ("+" stays a plus). false for a malformed escape or an
// escaped NUL.
bool decodeUri(const std::string& uri, std::string& decoded);

}  // namespace gltf_import
