#include "cg/TypeTable.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <iterator>

namespace cg {

namespace {
const TypeInfo kTypes[] = {
    {CG_UNKNOWN_TYPE, "unknown", "", BaseKind::Unknown, 0, 1},
    {CG_FLOAT, "float", "float", BaseKind::Float, 1, 1},
    {CG_FLOAT2, "float2", "vec2", BaseKind::Float, 2, 1},
    {CG_FLOAT3, "float3", "vec3", BaseKind::Float, 3, 1},
    {CG_FLOAT4, "float4", "vec4", BaseKind::Float, 4, 1},
    {CG_FLOAT2x2, "float2x2", "mat2", BaseKind::Float, 4, 2},
    {CG_FLOAT3x3, "float3x3", "mat3", BaseKind::Float, 9, 3},
    {CG_FLOAT4x4, "float4x4", "mat4", BaseKind::Float, 16, 4},
    {CG_INT, "int", "int", BaseKind::Int, 1, 1},
    {CG_INT2, "int2", "ivec2", BaseKind::Int, 2, 1},
    {CG_INT3, "int3", "ivec3", BaseKind::Int, 3, 1},
    {CG_INT4, "int4", "ivec4", BaseKind::Int, 4, 1},
    {CG_BOOL, "bool", "bool", BaseKind::Bool, 1, 1},
    {CG_BOOL2, "bool2", "bvec2", BaseKind::Bool, 2, 1},
    {CG_BOOL3, "bool3", "bvec3", BaseKind::Bool, 3, 1},
    {CG_BOOL4, "bool4", "bvec4", BaseKind::Bool, 4, 1},
    {CG_SAMPLER2D, "sampler2D", "sampler2D", BaseKind::Sampler, 0, 1},
    {CG_SAMPLERCUBE, "samplerCUBE", "samplerCube", BaseKind::Sampler, 0, 1},
    {CG_STRING, "string", "", BaseKind::String, 0, 1},
};
}  // namespace

const TypeInfo& typeInfo(CGtype type) {
  for (const TypeInfo& info : kTypes)
    if (info.type == type) return info;
  return kTypes[0];
}

CGtype typeFromName(const char* name) {
  if (!name) return CG_UNKNOWN_TYPE;
  for (size_t i = 1; i < std::size(kTypes); ++i)
    if (std::strcmp(kTypes[i].name, name) == 0) return kTypes[i].type;
  // "float1" is Cg's other spelling of a scalar.
  if (std::strcmp(name, "float1") == 0) return CG_FLOAT;
  return CG_UNKNOWN_TYPE;
}

int saturatingInt(float value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0f) return std::numeric_limits<int>::max();
  if (value <= -2147483648.0f) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

}  // namespace cg
