#include "import/GltfAccessors.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gltf_import {

namespace {

using tinygltf::Model;

// Where an accessor's elements are: the dense ones (base, nullptr for all zeros) and the sparse
// substitutes (element sparseIndices[k] is at sparseValues + k * elementSize).
struct ElementSource {
  const uint8_t* base = nullptr;
  size_t stride = 0;
  size_t count = 0;
  size_t elementSize = 0;
  int components = 0;
  int componentType = 0;
  bool normalized = false;
  std::vector<uint32_t> sparseIndices;
  const uint8_t* sparseValues = nullptr;
};

std::string accessorName(const std::string& what, int index) { return what + ": accessor " + std::to_string(index); }

size_t componentSize(int componentType) {
  const int size = tinygltf::GetComponentSizeInBytes(static_cast<uint32_t>(componentType));
  return size > 0 ? static_cast<size_t>(size) : 0;
}

uint32_t unsignedAt(const uint8_t* at, int componentType) {
  switch (componentType) {
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return *at;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
      uint16_t v;
      std::memcpy(&v, at, sizeof v);
      return v;
    }
    default: {
      uint32_t v;
      std::memcpy(&v, at, sizeof v);
      return v;
    }
  }
}

void locateSparse(const Model& model, const tinygltf::Accessor& a, const std::string& name, ElementSource& source) {
  const auto& sparse = a.sparse;
  if (sparse.count < 1 || static_cast<size_t>(sparse.count) > source.count)
    refuse(name + " is sparse with " + std::to_string(sparse.count) + " substitutes for " + std::to_string(source.count) +
           " elements");
  const int indexType = sparse.indices.componentType;
  if (indexType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE && indexType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
      indexType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)
    refuse(name + ": its sparse indices are not unsigned integers");
  if (sparse.indices.byteOffset < 0 || sparse.values.byteOffset < 0) refuse(name + ": a sparse byte offset is negative");
  const size_t k = static_cast<size_t>(sparse.count);
  const uint8_t* indices = viewBytes(model, sparse.indices.bufferView, static_cast<size_t>(sparse.indices.byteOffset),
                                     k * componentSize(indexType), name + " sparse indices");
  source.sparseValues = viewBytes(model, sparse.values.bufferView, static_cast<size_t>(sparse.values.byteOffset),
                                  k * source.elementSize, name + " sparse values");
  source.sparseIndices.resize(k);
  for (size_t i = 0; i < k; ++i) {
    const uint32_t at = unsignedAt(indices + i * componentSize(indexType), indexType);
    if (at >= source.count) refuse(name + ": sparse index " + std::to_string(at) + " is out of range");
    if (i > 0 && at <= source.sparseIndices[i - 1]) refuse(name + ": its sparse indices are not strictly increasing");
    source.sparseIndices[i] = at;
  }
}

ElementSource locate(const Model& model, int index, const std::string& what) {
  if (index < 0 || static_cast<size_t>(index) >= model.accessors.size())
    refuse(what + ": accessor " + std::to_string(index) + " does not exist");
  const tinygltf::Accessor& a = model.accessors[static_cast<size_t>(index)];
  const std::string name = accessorName(what, index);
  if (a.count > kMaxElements) refuse(name + " has " + std::to_string(a.count) + " elements, more than the importer takes");
  ElementSource source;
  source.count = a.count;
  source.components = tinygltf::GetNumComponentsInType(static_cast<uint32_t>(a.type));
  source.componentType = a.componentType;
  source.normalized = a.normalized;
  const size_t size = componentSize(a.componentType);
  if (source.components <= 0 || size == 0) refuse(name + " has an unknown element type");
  source.elementSize = size * static_cast<size_t>(source.components);
  if (a.bufferView >= 0) {
    if (static_cast<size_t>(a.bufferView) >= model.bufferViews.size())
      refuse(name + " names buffer view " + std::to_string(a.bufferView) + ", which does not exist");
    const tinygltf::BufferView& view = model.bufferViews[static_cast<size_t>(a.bufferView)];
    source.stride = view.byteStride != 0 ? view.byteStride : source.elementSize;
    if (source.stride < source.elementSize || source.stride > 1024)
      refuse(name + " has a byte stride of " + std::to_string(source.stride));
    const size_t span = a.count == 0 ? 0 : (a.count - 1) * source.stride + source.elementSize;
    source.base = viewBytes(model, a.bufferView, a.byteOffset, span, name);
  }
  if (a.sparse.isSparse) locateSparse(model, a, name, source);
  return source;
}

double component(const ElementSource& s, const uint8_t* at, int c) {
  if (!at) return 0.0;
  auto load = [&](auto sample) {
    std::memcpy(&sample, at + static_cast<size_t>(c) * sizeof(sample), sizeof(sample));
    return sample;
  };
  switch (s.componentType) {
    case TINYGLTF_COMPONENT_TYPE_FLOAT: return load(float{});
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: return s.normalized ? load(uint8_t{}) / 255.0 : load(uint8_t{});
    case TINYGLTF_COMPONENT_TYPE_BYTE: return s.normalized ? std::max(load(int8_t{}) / 127.0, -1.0) : load(int8_t{});
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: return s.normalized ? load(uint16_t{}) / 65535.0 : load(uint16_t{});
    case TINYGLTF_COMPONENT_TYPE_SHORT: return s.normalized ? std::max(load(int16_t{}) / 32767.0, -1.0) : load(int16_t{});
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: return load(uint32_t{});
    default: return 0.0;
  }
}

// Calls visit(element, bytes) for every element in order, the sparse substitutes in place of
// the dense ones (bytes nullptr for an element that is zero).
template <typename Visit>
void forEachElement(const ElementSource& s, Visit visit) {
  size_t next = 0;
  for (size_t e = 0; e < s.count; ++e) {
    const uint8_t* at = s.base ? s.base + e * s.stride : nullptr;
    if (next < s.sparseIndices.size() && s.sparseIndices[next] == e) at = s.sparseValues + next++ * s.elementSize;
    visit(e, at);
  }
}

}  // namespace

const uint8_t* viewBytes(const Model& model, int view, size_t byteOffset, size_t length, const std::string& what) {
  if (view < 0 || static_cast<size_t>(view) >= model.bufferViews.size())
    refuse(what + " names buffer view " + std::to_string(view) + ", which does not exist");
  const tinygltf::BufferView& v = model.bufferViews[static_cast<size_t>(view)];
  if (v.buffer < 0 || static_cast<size_t>(v.buffer) >= model.buffers.size())
    refuse(what + ": buffer view " + std::to_string(view) + " names a buffer that does not exist");
  const tinygltf::Buffer& buffer = model.buffers[static_cast<size_t>(v.buffer)];
  if (v.byteOffset > buffer.data.size() || v.byteLength > buffer.data.size() - v.byteOffset)
    refuse(what + ": buffer view " + std::to_string(view) + " reaches past the end of buffer " + std::to_string(v.buffer) +
           (buffer.data.empty() ? " (the buffer is missing or empty)" : ""));
  if (byteOffset > v.byteLength || length > v.byteLength - byteOffset)
    refuse(what + " reads past the end of buffer view " + std::to_string(view));
  return buffer.data.data() + v.byteOffset + byteOffset;
}

std::vector<float> readFloats(const Model& model, int index, int components, const std::string& what) {
  const ElementSource s = locate(model, index, what);
  if (s.components < components)
    refuse(accessorName(what, index) + " has " + std::to_string(s.components) + " components per element, " +
           std::to_string(components) + " needed");
  if (s.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT || s.componentType == TINYGLTF_COMPONENT_TYPE_DOUBLE)
    refuse(accessorName(what, index) + " has a component type vertex data cannot have");
  std::vector<float> out;
  out.reserve(s.count * static_cast<size_t>(components));
  forEachElement(s, [&](size_t, const uint8_t* at) {
    for (int c = 0; c < components; ++c) {
      const double v = component(s, at, c);
      if (!std::isfinite(v)) refuse(accessorName(what, index) + " holds a value that is not a finite number");
      out.push_back(static_cast<float>(v));
    }
  });
  return out;
}

std::vector<uint32_t> readIndices(const Model& model, int index, const std::string& what) {
  const ElementSource s = locate(model, index, what);
  if (s.components != 1 || (s.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
                            s.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
                            s.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT))
    refuse(what + ": index accessor " + std::to_string(index) + " is not a list of unsigned integers");
  std::vector<uint32_t> out(s.count);
  forEachElement(s, [&](size_t e, const uint8_t* at) { out[e] = at ? unsignedAt(at, s.componentType) : 0; });
  return out;
}

}  // namespace gltf_import
