// GltfAccessors: a glTF accessor's elements read with every offset, stride and count checked
// against the buffer it reads, sparse accessors included (with or without a base buffer view).
//
// Internal to the importer: the converter reads positions, normals, texture coordinates, key
// times and values and index lists through these; a problem throws a Refusal with the text of
// the message (the importer catches it and names the file). Not for writing accessors.
#pragma once

#include <tiny_gltf.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gltf_import {

// The importer stops at the first problem by throwing one of these; importGltfMemory turns it
// into the error text. Nothing leaves the importer as an exception.
struct Refusal {
  std::string what;
};
[[noreturn]] inline void refuse(const std::string& what) { throw Refusal{what}; }

// Far beyond any scene the player can draw, small enough that no size computation overflows.
constexpr size_t kMaxElements = size_t{1} << 24;

// `components` floats per element (fewer in the file are refused, more are dropped), integers
// scaled as the accessor's `normalized` says; a value that is not finite is refused.
std::vector<float> readFloats(const tinygltf::Model& model, int index, int components, const std::string& what);

// An index list: one unsigned integer per element.
std::vector<uint32_t> readIndices(const tinygltf::Model& model, int index, const std::string& what);

// The bytes [byteOffset, byteOffset + length) of buffer view `view`, checked.
const uint8_t* viewBytes(const tinygltf::Model& model, int view, size_t byteOffset, size_t length, const std::string& what);

}  // namespace gltf_import
