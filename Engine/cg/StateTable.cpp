#include "cg/StateTable.h"

#include <GL/gl.h>

#include <cctype>
#include <cmath>

namespace cg {

namespace {

struct Enumerant {
  const char* name;
  unsigned value;
};

const Enumerant kCompareFuncs[] = {
    {"Never", GL_NEVER},     {"Less", GL_LESS},         {"LEqual", GL_LEQUAL},   {"LessEqual", GL_LEQUAL},
    {"Equal", GL_EQUAL},     {"Greater", GL_GREATER},   {"NotEqual", GL_NOTEQUAL}, {"GEqual", GL_GEQUAL},
    {"GreaterEqual", GL_GEQUAL}, {"Always", GL_ALWAYS}, {nullptr, 0}};

const Enumerant kBlendFactors[] = {{"Zero", GL_ZERO},
                                   {"One", GL_ONE},
                                   {"SrcColor", GL_SRC_COLOR},
                                   {"OneMinusSrcColor", GL_ONE_MINUS_SRC_COLOR},
                                   {"DstColor", GL_DST_COLOR},
                                   {"OneMinusDstColor", GL_ONE_MINUS_DST_COLOR},
                                   {"SrcAlpha", GL_SRC_ALPHA},
                                   {"OneMinusSrcAlpha", GL_ONE_MINUS_SRC_ALPHA},
                                   {"DstAlpha", GL_DST_ALPHA},
                                   {"OneMinusDstAlpha", GL_ONE_MINUS_DST_ALPHA},
                                   {"SrcAlphaSaturate", GL_SRC_ALPHA_SATURATE},
                                   {"ConstantColor", GL_CONSTANT_COLOR},
                                   {"OneMinusConstantColor", GL_ONE_MINUS_CONSTANT_COLOR},
                                   {"ConstantAlpha", GL_CONSTANT_ALPHA},
                                   {"OneMinusConstantAlpha", GL_ONE_MINUS_CONSTANT_ALPHA},
                                   {nullptr, 0}};

const Enumerant kFaces[] = {{"Front", GL_FRONT}, {"Back", GL_BACK}, {"FrontAndBack", GL_FRONT_AND_BACK}, {nullptr, 0}};
const Enumerant kWindings[] = {{"CW", GL_CW}, {"CCW", GL_CCW}, {nullptr, 0}};
const Enumerant kBlendEquations[] = {{"FuncAdd", GL_FUNC_ADD},
                                     {"Add", GL_FUNC_ADD},
                                     {"FuncSubtract", GL_FUNC_SUBTRACT},
                                     {"Subtract", GL_FUNC_SUBTRACT},
                                     {"FuncReverseSubtract", GL_FUNC_REVERSE_SUBTRACT},
                                     {"ReverseSubtract", GL_FUNC_REVERSE_SUBTRACT},
                                     {"Min", GL_MIN},
                                     {"Max", GL_MAX},
                                     {nullptr, 0}};
const Enumerant kMinFilters[] = {{"Nearest", GL_NEAREST},
                                 {"Linear", GL_LINEAR},
                                 {"NearestMipmapNearest", GL_NEAREST_MIPMAP_NEAREST},
                                 {"LinearMipmapNearest", GL_LINEAR_MIPMAP_NEAREST},
                                 {"NearestMipmapLinear", GL_NEAREST_MIPMAP_LINEAR},
                                 {"LinearMipmapLinear", GL_LINEAR_MIPMAP_LINEAR},
                                 {nullptr, 0}};
const Enumerant kMagFilters[] = {{"Nearest", GL_NEAREST}, {"Linear", GL_LINEAR}, {nullptr, 0}};
const Enumerant kWrapModes[] = {{"Repeat", GL_REPEAT},
                                {"Clamp", GL_CLAMP},
                                {"ClampToEdge", GL_CLAMP_TO_EDGE},
                                {"ClampToBorder", GL_CLAMP_TO_BORDER},
                                {"MirroredRepeat", GL_MIRRORED_REPEAT},
                                {nullptr, 0}};

std::string choices(const Enumerant* table) {
  std::string text;
  for (const Enumerant* e = table; e->name; ++e) {
    if (!text.empty()) text += ", ";
    text += e->name;
  }
  return text;
}

bool lookup(const Enumerant* table, const ValueAtom& atom, unsigned& out) {
  if (atom.kind != ValueAtom::Kind::Name) return false;
  for (const Enumerant* e = table; e->name; ++e) {
    if (equalsIgnoringCase(atom.text, e->name)) {
      out = e->value;
      return true;
    }
  }
  return false;
}

bool toBool(const ValueAtom& atom, bool& out) {
  if (atom.kind == ValueAtom::Kind::Number) {
    out = atom.number != 0.0;
    return true;
  }
  if (atom.kind != ValueAtom::Kind::Name) return false;
  if (equalsIgnoringCase(atom.text, "true")) {
    out = true;
    return true;
  }
  if (equalsIgnoringCase(atom.text, "false")) {
    out = false;
    return true;
  }
  return false;
}

bool toFloat(const ValueAtom& atom, float& out) {
  if (atom.kind != ValueAtom::Kind::Number || !std::isfinite(static_cast<float>(atom.number))) return false;
  out = static_cast<float>(atom.number);
  return true;
}

enum class Shape { Bool, Enum, EnumPair, EnumAndFloat, Bool4 };

struct PassStateDef {
  const char* name;
  PassStateKind kind;
  Shape shape;
  const Enumerant* table;
  unsigned cap;
};

const PassStateDef kPassStates[] = {
    {"DepthTestEnable", PassStateKind::Enable, Shape::Bool, nullptr, GL_DEPTH_TEST},
    {"CullFaceEnable", PassStateKind::Enable, Shape::Bool, nullptr, GL_CULL_FACE},
    {"BlendEnable", PassStateKind::Enable, Shape::Bool, nullptr, GL_BLEND},
    {"AlphaTestEnable", PassStateKind::Enable, Shape::Bool, nullptr, GL_ALPHA_TEST},
    {"DepthMask", PassStateKind::DepthMask, Shape::Bool, nullptr, 0},
    {"DepthFunc", PassStateKind::DepthFunc, Shape::Enum, kCompareFuncs, 0},
    {"CullFace", PassStateKind::CullFace, Shape::Enum, kFaces, 0},
    {"FrontFace", PassStateKind::FrontFace, Shape::Enum, kWindings, 0},
    {"BlendFunc", PassStateKind::BlendFunc, Shape::EnumPair, kBlendFactors, 0},
    {"BlendEquation", PassStateKind::BlendEquation, Shape::Enum, kBlendEquations, 0},
    {"AlphaFunc", PassStateKind::AlphaFunc, Shape::EnumAndFloat, kCompareFuncs, 0},
    {"ColorMask", PassStateKind::ColorMask, Shape::Bool4, nullptr, 0},
};

}  // namespace

bool equalsIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return i == a.size() && b[i] == '\0';
}

bool isProgramState(const std::string& name, bool& isVertex) {
  if (equalsIgnoringCase(name, "VertexProgram")) {
    isVertex = true;
    return true;
  }
  if (equalsIgnoringCase(name, "FragmentProgram")) {
    isVertex = false;
    return true;
  }
  return false;
}

Resolve resolvePassState(const std::string& name, const Value& value, PassState& out, std::string& error) {
  const PassStateDef* def = nullptr;
  for (const PassStateDef& d : kPassStates)
    if (equalsIgnoringCase(name, d.name)) def = &d;
  if (!def) return Resolve::UnknownName;

  out = PassState{};
  out.kind = def->kind;
  out.name = def->name;
  out.cap = def->cap;
  out.line = value.line;
  const std::vector<ValueAtom>& atoms = value.atoms;
  const std::string prefix = std::string(def->name) + " ";
  switch (def->shape) {
    case Shape::Bool:
      if (atoms.size() == 1 && toBool(atoms[0], out.flag)) return Resolve::Ok;
      error = prefix + "takes true or false";
      return Resolve::BadValue;
    case Shape::Enum:
      if (atoms.size() == 1 && lookup(def->table, atoms[0], out.enums[0])) return Resolve::Ok;
      error = prefix + "takes one of " + choices(def->table);
      return Resolve::BadValue;
    case Shape::EnumPair:
      if (atoms.size() == 2 && lookup(def->table, atoms[0], out.enums[0]) && lookup(def->table, atoms[1], out.enums[1]))
        return Resolve::Ok;
      error = prefix + "takes two of " + choices(def->table) + ", as in int2(SrcAlpha, OneMinusSrcAlpha)";
      return Resolve::BadValue;
    case Shape::EnumAndFloat:
      if (atoms.size() == 2 && lookup(def->table, atoms[0], out.enums[0]) && toFloat(atoms[1], out.reference))
        return Resolve::Ok;
      error = prefix + "takes a comparison and a reference value, as in float2(Greater, 0.5)";
      return Resolve::BadValue;
    case Shape::Bool4:
      if (atoms.size() == 4 && toBool(atoms[0], out.mask[0]) && toBool(atoms[1], out.mask[1]) &&
          toBool(atoms[2], out.mask[2]) && toBool(atoms[3], out.mask[3]))
        return Resolve::Ok;
      error = prefix + "takes four booleans, as in bool4(true, true, true, false)";
      return Resolve::BadValue;
  }
  return Resolve::UnknownName;
}

Resolve resolveSamplerState(const std::string& name, const Value& value, SamplerState& out, std::string& error) {
  out = SamplerState{};
  out.line = value.line;
  const std::vector<ValueAtom>& atoms = value.atoms;
  const Enumerant* table = nullptr;
  if (equalsIgnoringCase(name, "MinFilter")) {
    out.name = "MinFilter";
    out.pname = GL_TEXTURE_MIN_FILTER;
    table = kMinFilters;
  } else if (equalsIgnoringCase(name, "MagFilter")) {
    out.name = "MagFilter";
    out.pname = GL_TEXTURE_MAG_FILTER;
    table = kMagFilters;
  } else if (equalsIgnoringCase(name, "WrapS")) {
    out.name = "WrapS";
    out.pname = GL_TEXTURE_WRAP_S;
    table = kWrapModes;
  } else if (equalsIgnoringCase(name, "WrapT")) {
    out.name = "WrapT";
    out.pname = GL_TEXTURE_WRAP_T;
    table = kWrapModes;
  } else if (equalsIgnoringCase(name, "WrapR")) {
    out.name = "WrapR";
    out.pname = GL_TEXTURE_WRAP_R;
    table = kWrapModes;
  } else if (equalsIgnoringCase(name, "MaxAnisotropy")) {
    out.name = "MaxAnisotropy";
    out.pname = GL_TEXTURE_MAX_ANISOTROPY_EXT;
    out.isFloat = true;
    if (atoms.size() == 1 && toFloat(atoms[0], out.floatValues[0]) && out.floatValues[0] >= 1.0f) return Resolve::Ok;
    error = "MaxAnisotropy takes a number of at least 1";
    return Resolve::BadValue;
  } else if (equalsIgnoringCase(name, "BorderColor")) {
    out.name = "BorderColor";
    out.pname = GL_TEXTURE_BORDER_COLOR;
    out.isFloat = true;
    out.count = 4;
    if (atoms.size() == 4 && toFloat(atoms[0], out.floatValues[0]) && toFloat(atoms[1], out.floatValues[1]) &&
        toFloat(atoms[2], out.floatValues[2]) && toFloat(atoms[3], out.floatValues[3]))
      return Resolve::Ok;
    error = "BorderColor takes four numbers, as in float4(0, 0, 0, 1)";
    return Resolve::BadValue;
  } else {
    return Resolve::UnknownName;
  }
  unsigned mode = 0;
  if (atoms.size() == 1 && lookup(table, atoms[0], mode)) {
    out.intValue = static_cast<int>(mode);
    return Resolve::Ok;
  }
  error = std::string(out.name) + " takes one of " + choices(table);
  return Resolve::BadValue;
}

}  // namespace cg
