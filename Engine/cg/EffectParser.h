// EffectParser: effect file text into an EffectDesc, with no GL.
//
// The parser checks everything that does not need the running GL: syntax, types and counts
// of default values, annotation values, sampler_state and pass state values, and that every
// compiled program names a program block of the right stage. States it does not know are
// kept (they make the technique fail validation, not the parse). The GL step (cg/Effect)
// compiles and links what the description names. The parser is the fuzz target of the
// effect format; it must never crash or loop, whatever the input.
#pragma once

#include <string>
#include <vector>

#include "cg/Cg.h"
#include "cg/StateTable.h"

namespace cg {

struct AnnotationDesc {
  CGtype type = CG_UNKNOWN_TYPE;
  std::string name;
  std::vector<float> floats;  // numeric annotations (bools as 0/1)
  std::vector<int> ints;      // the same values as ints, for int and bool annotations
  std::string text;           // string annotations
  int line = 0;
};

struct ParameterDesc {
  CGtype type = CG_UNKNOWN_TYPE;
  std::string name;
  std::string semantic;
  std::vector<AnnotationDesc> annotations;
  bool hasDefault = false;
  std::vector<float> defaultValue;     // components, row-major for matrices
  std::vector<SamplerState> sampler;   // sampler_state of a sampler parameter
  int line = 0;
};

struct ProgramDesc {
  bool vertex = true;
  std::string name;
  std::string code;  // the text between the braces
  int line = 0;      // the effect file's line on which code begins
};

struct SharedCodeDesc {
  std::string code;
  int line = 0;
};

struct ProgramRef {
  bool used = false;
  int profileVersion = 0;  // GLSL version of the compile profile: 120 for glsl120
  std::string profile;
  int program = -1;  // index into EffectDesc::programs
  int line = 0;
};

struct UnknownState {
  std::string name;
  int line = 0;
};

struct PassDesc {
  std::string name;
  std::vector<PassState> states;
  std::vector<UnknownState> unknownStates;
  ProgramRef vertex, fragment;
  int line = 0;
};

struct TechniqueDesc {
  std::string name;
  std::vector<PassDesc> passes;
  int line = 0;
};

struct EffectDesc {
  std::vector<ParameterDesc> parameters;
  std::vector<ProgramDesc> programs;
  std::vector<SharedCodeDesc> shared;
  std::vector<TechniqueDesc> techniques;
};

// 0 on success; 1 with error = "line N: what is wrong" (the first problem found).
int parseEffect(const char* text, size_t length, EffectDesc& out, std::string& error);

}  // namespace cg
