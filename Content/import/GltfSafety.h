// GltfSafety: a glTF file from a stranger checked and made self-contained before the parser
// sees it.
//
// prepareSource() reads the file's JSON (from a .glb's checked chunks or as it is), checks its
// version and the extensions it requires, and reads every external buffer and image the file
// names through a FileReader: %-escapes decoded, buffers bounded by their declared byteLength.
// filesBeneath() reads through platform::readConfinedFile (the path resolved beneath the glTF
// file's folder, only regular files); membersBeside() reads the archive members beside a glTF
// file that is itself a member, never a file on disk. The JSON handed on names those files by
// keys of `files`, and the FsCallbacks of fileCallbacks() serve only those keys, so the parser
// itself opens no file at all. Not a validator of the scene: the converter checks accessors,
// indices and references.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

// Reads the file a URI names (`relative`: decoded, not absolute): with `exactBytes` > 0 that
// many bytes from its start, refusing a shorter file; with 0 the whole file, refused when larger
// than `maxBytes`. 0, or 1 with `reason` ("does not exist", ...) completing "URI 'x' ...".
using FileReader = std::function<int(const std::string& relative, size_t exactBytes, size_t maxBytes,
                                     std::vector<uint8_t>& bytes, std::string& reason)>;

// Reads archive member `member` whole: 0, or 1 with `reason` when it is missing ("is not in
// the archive") or larger than `maxBytes`.
using MemberReader = std::function<int(const std::string& member, size_t maxBytes, std::vector<uint8_t>& bytes,
                                       std::string& reason)>;

// Files beneath `folder` on disk, which no URI may lead out of.
FileReader filesBeneath(const std::string& folder);
// The members beside archive member `member` (a "/"-separated name), through `read`: a URI is
// resolved against the member's folder, and one that leads above the archive's top is refused.
FileReader membersBeside(const std::string& member, MemberReader read);

// 0 with `out` filled; 1 with `problem` (without the file's name) saying what was refused.
int prepareSource(const uint8_t* data, size_t size, const FileReader& read, SafeSource& out, std::string& problem);

// Callbacks that serve `source.files` and nothing else; `source` must outlive their use.
tinygltf::FsCallbacks fileCallbacks(SafeSource& source);

// "" when `bytes` are an image the player's texture loader takes (the same header check and
// limits, and a full decode), else why not.
std::string imageProblem(const std::vector<uint8_t>& bytes);

// Decodes a URI reference's %-escapes ("+" stays a plus). false for a malformed escape or an
// escaped NUL.
bool decodeUri(const std::string& uri, std::string& decoded);

}  // namespace gltf_import
