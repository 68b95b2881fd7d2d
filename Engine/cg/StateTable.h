// StateTable: the pass and sampler states an effect may assign, and their values.
//
// Turns an assignment as written ("DepthFunc = LEqual;") into GL enums and numbers, or says
// that the name is unknown or the value is wrong. Pure data work with no GL calls, so the
// parser (and its fuzz target) runs without a GL context. Names and enumerants are matched
// without regard to letter case, as effect authors expect.
#pragma once

#include <string>
#include <vector>

namespace cg {

// One value as written: numbers, names and strings, flattened out of {..} lists and
// constructor calls such as int2(SrcAlpha, OneMinusSrcAlpha).
struct ValueAtom {
  enum class Kind { Number, Name, String };
  Kind kind = Kind::Number;
  double number = 0.0;
  std::string text;  // the name or the string
};

struct Value {
  std::string constructor;  // "float3" in float3(1, 2, 3); "" otherwise
  std::vector<ValueAtom> atoms;
  int line = 0;
};

enum class PassStateKind {
  Enable,  // DepthTestEnable, CullFaceEnable, BlendEnable, AlphaTestEnable: glEnable(cap)
  DepthMask,
  DepthFunc,
  CullFace,
  FrontFace,
  BlendFunc,
  BlendEquation,
  AlphaFunc,
  ColorMask,
};

struct PassState {
  PassStateKind kind = PassStateKind::Enable;
  const char* name = "";        // canonical spelling, for messages
  unsigned cap = 0;             // Enable: the capability
  bool flag = false;            // Enable, DepthMask
  unsigned enums[2] = {0, 0};   // DepthFunc, CullFace, FrontFace, BlendEquation: [0]; BlendFunc: src, dst; AlphaFunc: [0]
  float reference = 0.0f;       // AlphaFunc
  bool mask[4] = {true, true, true, true};  // ColorMask
  int line = 0;
};

struct SamplerState {
  const char* name = "";
  unsigned pname = 0;  // glTexParameter name
  bool isFloat = false;
  int count = 1;       // 4 for BorderColor
  int intValue = 0;
  float floatValues[4] = {0, 0, 0, 0};
  int line = 0;
};

enum class Resolve { Ok, UnknownName, BadValue };

// error: the reason for BadValue ("DepthFunc takes one of Never, Less, ...").
Resolve resolvePassState(const std::string& name, const Value& value, PassState& out, std::string& error);
Resolve resolveSamplerState(const std::string& name, const Value& value, SamplerState& out, std::string& error);

// True for the two program states (VertexProgram, FragmentProgram); sets isVertex.
bool isProgramState(const std::string& name, bool& isVertex);

bool equalsIgnoringCase(const std::string& a, const char* b);

}  // namespace cg
