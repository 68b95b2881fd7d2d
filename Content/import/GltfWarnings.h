// GltfWarnings: what the importer says about a glTF file beyond converting it: keys that
// glTF plays differently from the 3D tool that wrote them, and the files a scene reads
// besides itself.
//
// Pure functions over the curves and the parsed model, called once per import; they never
// refuse a file (that is the importer's job) and touch no file themselves.
#pragma once

#include <string>
#include <vector>

#include "import/GltfCurves.h"

namespace tinygltf {
class Model;
}

namespace gltf_import {

// Neighbouring rotation keys this many degrees apart or more are turned the short way by
// glTF's interpolation, which may be the other way than the tool's own keys turned.
constexpr double kLongTurnDegrees = 90.0;

// Adds one line to `warnings` when two neighbouring keys of the rotation curve of `node`
// (a quoted node name) are kLongTurnDegrees or more apart: the first such pair, its key
// times and how many pairs more. Stepped curves jump and are never warned about.
void warnLongTurns(const Curve& rotation, const std::string& node, std::vector<std::string>& warnings);

// The external files a glTF file reads, as paths under `directory`, from the URIs its
// buffers and images name as written (data: URIs are inside the file itself).
std::vector<std::string> externalFiles(const std::vector<std::string>& uris, const std::string& directory);

}  // namespace gltf_import
