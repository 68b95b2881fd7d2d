// TypeTable: what each effect type is made of (components, base kind, GLSL spelling).
//
// Static data shared by the parser, the runtime and cgGetTypeString; no GL.
#pragma once

#include "cg/Cg.h"

namespace cg {

enum class BaseKind { Float, Int, Bool, Sampler, String, Unknown };

struct TypeInfo {
  CGtype type;
  const char* name;      // as written in effect files
  const char* glslName;  // the uniform type it becomes in programs ("" when none)
  BaseKind base;
  int components;        // numbers in a value (rows * columns for matrices)
  int columns;           // 1 for scalars and vectors, N for floatNxN
};

// The entry of a type, or the "unknown" entry for anything that is no type.
const TypeInfo& typeInfo(CGtype type);
// The type spelled this way, CG_UNKNOWN_TYPE when none.
CGtype typeFromName(const char* name);

// A float as an int, truncated toward zero and held inside the int range (NaN gives 0), for
// values that reach int annotations and int uniforms from text or from callers.
int saturatingInt(float value);

}  // namespace cg
