#include "cg/GlslDialect.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

namespace cg {

namespace {

// Names that GLSL ES 3.00 reserves or gives a meaning (keywords, words reserved for later and
// built-in functions that GLSL 1.20 lacks), grouped by the desktop GLSL version from which they
// mean the same there. A program of an older version may use one as an identifier, so on ES it
// is renamed; from that version on, the program uses it in its GLSL meaning.
struct EsNames {
  int desktopSince;  // kNever: reserved on ES, never a word of desktop GLSL
  const char* names;
};

constexpr int kNever = 10000;

constexpr EsNames kEsNames[] = {
    {120, "centroid invariant mat2x2 mat2x3 mat2x4 mat3x2 mat3x3 mat3x4 mat4x2 mat4x3 mat4x4"},
    {130,
     "flat smooth noperspective switch case default uint uvec2 uvec3 uvec4 lowp mediump highp precision "
     "samplerCubeShadow sampler2DArray sampler2DArrayShadow isampler2D isampler3D isamplerCube isampler2DArray "
     "usampler2D usampler3D usamplerCube usampler2DArray sampler1DArray sampler1DArrayShadow isampler1D "
     "isampler1DArray usampler1D usampler1DArray "
     "texture textureProj textureLod textureOffset textureProjOffset textureLodOffset textureProjLod "
     "textureProjLodOffset texelFetch texelFetchOffset textureGrad textureGradOffset textureProjGrad "
     "textureProjGradOffset textureSize sinh cosh tanh asinh acosh atanh trunc round roundEven modf isnan isinf"},
    {140,
     "layout sampler2DRect sampler2DRectShadow isampler2DRect usampler2DRect samplerBuffer isamplerBuffer "
     "usamplerBuffer inverse"},
    {150, "sampler2DMS isampler2DMS usampler2DMS sampler2DMSArray isampler2DMSArray usampler2DMSArray determinant"},
    {330, "floatBitsToInt floatBitsToUint intBitsToFloat uintBitsToFloat"},
    {400, "patch sample subroutine double dvec2 dvec3 dvec4"},
    {410, "packUnorm2x16 unpackUnorm2x16"},
    {420,
     "coherent volatile restrict readonly writeonly atomic_uint packSnorm2x16 unpackSnorm2x16 packHalf2x16 "
     "unpackHalf2x16 image1D image2D image3D imageCube iimage1D iimage2D iimage3D iimageCube uimage1D uimage2D "
     "uimage3D uimageCube image1DArray image2DArray iimage1DArray iimage2DArray uimage1DArray uimage2DArray "
     "imageBuffer iimageBuffer uimageBuffer"},
    {kNever,
     "resource common partition active asm class union enum typedef template this goto inline noinline public "
     "static extern external interface long short half fixed unsigned superp input output hvec2 hvec3 hvec4 "
     "fvec2 fvec3 fvec4 sampler3DRect filter sizeof cast namespace using"},
};

// GLSL 1.20's texture functions and the GLSL ES 3.00 overloads that replace them.
constexpr std::pair<const char*, const char*> kTextureFunctions[] = {
    {"texture2D", "texture"},
    {"texture3D", "texture"},
    {"textureCube", "texture"},
    {"texture2DLod", "textureLod"},
    {"texture3DLod", "textureLod"},
    {"textureCubeLod", "textureLod"},
    {"texture2DProj", "textureProj"},
    {"texture3DProj", "textureProj"},
    {"texture2DProjLod", "textureProjLod"},
    {"texture3DProjLod", "textureProjLod"},
};

// Sampler types that the translated text gets a highp precision statement for, when it names them.
constexpr const char* kSamplerTypes[] = {
    "sampler2D",         "sampler3D",      "samplerCube",          "sampler2DShadow",
    "samplerCubeShadow", "sampler2DArray", "sampler2DArrayShadow", "isampler2D",
    "isampler3D",        "isamplerCube",   "isampler2DArray",      "usampler2D",
    "usampler3D",        "usamplerCube",   "usampler2DArray",
};

const char* const kFragColor = "pylon_FragColor";
const char* const kFragData = "pylon_FragData";

// Whether a user identifier becomes pylon_<name> on ES: ES reserves it, or gives it a meaning
// that the program's own GLSL version does not, or WebGL reserves it.
bool renamedOnEs(std::string_view name, int sourceVersion) {
  if (name.starts_with("webgl_") || name.starts_with("_webgl_")) return true;
  for (const EsNames& group : kEsNames) {
    const std::string_view names = group.names;
    for (size_t at = names.find(name); at != std::string_view::npos; at = names.find(name, at + 1)) {
      const size_t end = at + name.size();
      if ((at == 0 || names[at - 1] == ' ') && (end == names.size() || names[end] == ' '))
        return sourceVersion < group.desktopSince;
    }
  }
  return false;
}

bool identifierStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool identifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

enum class TokenKind { Identifier, Number, Blank, Comment, Other };

struct Token {
  TokenKind kind;
  std::string_view text;
};

// The text cut into identifiers, numbers (so that the "e5" of 1e5 is no identifier), blanks,
// comments and single other characters.
std::vector<Token> tokens(std::string_view text) {
  std::vector<Token> out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t start = i;
    TokenKind kind = TokenKind::Other;
    const char c = text[i];
    if (identifierStart(c)) {
      kind = TokenKind::Identifier;
      while (i < text.size() && identifierChar(text[i])) ++i;
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '.' && i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1])))) {
      kind = TokenKind::Number;
      const bool hex = c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X');
      ++i;
      while (i < text.size()) {
        const char d = text[i];
        if (identifierChar(d) || d == '.') {
          ++i;
        } else if ((d == '+' || d == '-') && !hex && (text[i - 1] == 'e' || text[i - 1] == 'E')) {
          ++i;
        } else {
          break;
        }
      }
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      kind = TokenKind::Comment;
      while (i < text.size() && text[i] != '\n') ++i;
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
      kind = TokenKind::Comment;
      const size_t end = text.find("*/", i + 2);
      i = end == std::string_view::npos ? text.size() : end + 2;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      kind = TokenKind::Blank;
      while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    } else {
      ++i;
    }
    out.push_back({kind, text.substr(start, i - start)});
  }
  return out;
}

// The newlines of the blanks between tokens that a rewrite swallows, so that lines stay.
std::string newlinesOf(const std::vector<Token>& list, size_t from, size_t to) {
  std::string lines;
  for (size_t k = from; k < to; ++k)
    for (char c : list[k].text)
      if (c == '\n') lines += '\n';
  return lines;
}

class Translator {
 public:
  Translator(bool vertex, int sourceVersion, GlslDialect dialect)
      : vertex(vertex), version(sourceVersion), es(dialect == GlslDialect::Es300) {}

  std::string rewrite(std::string_view text) {
    list = tokens(text);
    // gl_FragData[0] alone is the colour output; any other index needs the whole array.
    for (size_t k = 0; k < list.size(); ++k)
      if (isIdentifier(k, "gl_FragData") && !fragDataZero(k)) fragDataArray = true;
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t k = 0; k < list.size(); ++k) {
      if (list[k].kind != TokenKind::Identifier) {
        out += list[k].text;
        continue;
      }
      out += identifier(k);
    }
    return out;
  }

  std::string header() const {
    std::string line;
    const auto add = [&line](const std::string& declaration) {
      if (!line.empty()) line += ' ';
      line += declaration;
    };
    if (es) {
      add("precision highp float; precision highp int;");
      for (size_t s = 0; s < std::size(kSamplerTypes); ++s)
        if (samplerUsed[s]) add(std::string("precision highp ") + kSamplerTypes[s] + ";");
    }
    for (size_t a = 0; a < std::size(kBuiltinAttributes); ++a) {
      if (!attributeUsed[a]) continue;
      const BuiltinAttribute& attribute = kBuiltinAttributes[a];
      add((es ? "layout(location = " + std::to_string(attribute.location) + ") in "
              : std::string(version >= 130 ? "in " : "attribute ")) +
          attribute.type + " " + attribute.name + ";");
    }
    for (size_t u = 0; u < std::size(kBuiltinUniforms); ++u)
      if (uniformUsed[u])
        add(std::string("uniform ") + kBuiltinUniforms[u].type + " " + kBuiltinUniforms[u].name + ";");
    if (fragColorUsed) add(std::string("out vec4 ") + kFragColor + ";");
    if (fragDataArray) add(std::string("layout(location = 0) out vec4 ") + kFragData + "[gl_MaxDrawBuffers];");
    std::string versionLine;
    if (es) {
      versionLine = "#version 300 es";
    } else {
      versionLine = "#version " + std::to_string(version);
      if (!profile.empty())
        versionLine += " " + profile;
      else if (version >= 150)
        versionLine += " compatibility";
    }
    return versionLine + "\n" + line + "\n";
  }

  std::string profile;  // the desktop profile word of a version line, kept as written

 private:
  bool isIdentifier(size_t k, std::string_view name) const {
    return k < list.size() && list[k].kind == TokenKind::Identifier && list[k].text == name;
  }
  // The next token after k that is no blank (list.size() when none).
  size_t next(size_t k) const {
    ++k;
    while (k < list.size() && list[k].kind == TokenKind::Blank) ++k;
    return k;
  }
  bool isChar(size_t k, char c) const {
    return k < list.size() && list[k].kind == TokenKind::Other && list[k].text.size() == 1 && list[k].text[0] == c;
  }
  // gl_FragData at k is followed by [0]; skipEnd is then the token after the ']'.
  bool fragDataZero(size_t k, size_t* skipEnd = nullptr) const {
    const size_t open = next(k);
    if (!isChar(open, '[')) return false;
    const size_t zero = next(open);
    if (zero >= list.size() || list[zero].kind != TokenKind::Number || list[zero].text != "0") return false;
    const size_t close = next(zero);
    if (!isChar(close, ']')) return false;
    if (skipEnd) *skipEnd = close + 1;
    return true;
  }

  std::string identifier(size_t& k) {
    const std::string_view name = list[k].text;
    if (vertex) {
      for (size_t a = 0; a < std::size(kBuiltinAttributes); ++a)
        if (name == kBuiltinAttributes[a].replaces) {
          attributeUsed[a] = true;
          return kBuiltinAttributes[a].name;
        }
      if (name == "ftransform") {
        const size_t open = next(k), close = next(open);
        if (isChar(open, '(') && isChar(close, ')')) {
          const std::string lines = newlinesOf(list, k + 1, close);
          k = close;
          attributeUsed[0] = true;
          uniformUsed[2] = true;
          return std::string("(") + kModelViewProjectionMatrix + " * " + kBuiltinAttributes[0].name + ")" + lines;
        }
      }
    }
    for (size_t u = 0; u < std::size(kBuiltinUniforms); ++u)
      if (name == kBuiltinUniforms[u].replaces) {
        uniformUsed[u] = true;
        return kBuiltinUniforms[u].name;
      }
    if (!es) return std::string(name);

    if (vertex && name == "attribute") return "in";
    if (name == "varying") return vertex ? "out" : "in";
    for (const auto& [from, to] : kTextureFunctions)
      if (name == from) return to;
    if (!vertex && name == "gl_FragColor") {
      fragColorUsed = true;
      return kFragColor;
    }
    if (!vertex && name == "gl_FragData") {
      size_t end = 0;
      if (!fragDataArray && fragDataZero(k, &end)) {
        const std::string lines = newlinesOf(list, k + 1, end);
        k = end - 1;
        fragColorUsed = true;
        return kFragColor + lines;
      }
      return kFragData;
    }
    for (size_t s = 0; s < std::size(kSamplerTypes); ++s)
      if (name == kSamplerTypes[s]) samplerUsed[s] = true;
    if (renamedOnEs(name, version)) return "pylon_" + std::string(name);
    return std::string(name);
  }

  bool vertex;
  int version;
  bool es;
  std::vector<Token> list;
  bool attributeUsed[std::size(kBuiltinAttributes)] = {};
  bool uniformUsed[std::size(kBuiltinUniforms)] = {};
  bool samplerUsed[std::size(kSamplerTypes)] = {};
  bool fragColorUsed = false;
  bool fragDataArray = false;
};

}  // namespace

TranslatedText translateText(const std::string& body, bool vertex, int sourceVersion, GlslDialect dialect) {
  Translator translator(vertex, sourceVersion, dialect);
  TranslatedText result;
  result.body = translator.rewrite(body);
  result.header = translator.header();
  return result;
}

std::string translateProgram(const std::string& source, bool vertex, GlslDialect dialect) {
  int version = 110;
  std::string profile;
  std::string_view body = source;
  const size_t first = source.find_first_not_of(" \t\r\n");
  if (first != std::string::npos && source.compare(first, 8, "#version") == 0) {
    const size_t end = std::min(source.find('\n', first), source.size());
    const std::string line = source.substr(first + 8, end - first - 8);
    char word[32] = "";
    if (std::sscanf(line.c_str(), "%d %31s", &version, word) < 1) version = 110;
    profile = word;
    body = std::string_view(source).substr(end == source.size() ? end : end + 1);
  }
  Translator translator(vertex, version, dialect);
  translator.profile = profile;
  const std::string rewritten = translator.rewrite(body);
  return translator.header() + rewritten;
}

std::string glslIdentifier(const std::string& name, int sourceVersion, GlslDialect dialect) {
  if (dialect == GlslDialect::Es300 && renamedOnEs(name, sourceVersion)) return "pylon_" + name;
  return name;
}

int shadingLanguageVersion(const char* text) {
  if (!text) return 110;
  int major = 0, minor = 0;
  if (const char* es = std::strstr(text, "GLSL ES ")) {
    if (std::sscanf(es + 8, "%d.%d", &major, &minor) < 1) return 100;
    return major >= 3 ? 130 : 100;
  }
  if (std::sscanf(text, "%d.%d", &major, &minor) != 2) return 110;
  if (minor < 10) minor *= 10;  // "4.5" means 4.50
  return major * 100 + minor;
}

}  // namespace cg
