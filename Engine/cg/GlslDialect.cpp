#include "cg/GlslDialect.h"
#include <cctype>
namespace cg {
namespace {
struct Name { const char* from; const char* to; const char* decl; bool attribute; };
const Name kNames[] = {
  {"gl_Vertex", "pylon_Vertex", "attribute vec4 pylon_Vertex;", true},
  {"gl_Normal", "pylon_Normal", "attribute vec3 pylon_Normal;", true},
  {"gl_Color", "pylon_Color", "attribute vec4 pylon_Color;", true},
  {"gl_MultiTexCoord0", "pylon_MultiTexCoord0", "attribute vec4 pylon_MultiTexCoord0;", true},
  {"gl_MultiTexCoord1", "pylon_MultiTexCoord1", "attribute vec4 pylon_MultiTexCoord1;", true},
  {"gl_MultiTexCoord2", "pylon_MultiTexCoord2", "attribute vec4 pylon_MultiTexCoord2;", true},
  {"gl_MultiTexCoord3", "pylon_MultiTexCoord3", "attribute vec4 pylon_MultiTexCoord3;", true},
  {"gl_ModelViewMatrix", "pylon_ModelViewMatrix", "uniform mat4 pylon_ModelViewMatrix;", false},
  {"gl_ProjectionMatrix", "pylon_ProjectionMatrix", "uniform mat4 pylon_ProjectionMatrix;", false},
  {"gl_ModelViewProjectionMatrix", "pylon_ModelViewProjectionMatrix", "uniform mat4 pylon_ModelViewProjectionMatrix;", false},
  {"gl_NormalMatrix", "pylon_NormalMatrix", "uniform mat3 pylon_NormalMatrix;", false},
};
}
const std::vector<BuiltinAttribute>& builtinAttributes() {
  static const std::vector<BuiltinAttribute> a = {{"pylon_Vertex", 0}, {"pylon_Normal", 1}, {"pylon_Color", 2},
    {"pylon_MultiTexCoord0", 3}, {"pylon_MultiTexCoord1", 4}, {"pylon_MultiTexCoord2", 5}, {"pylon_MultiTexCoord3", 6}};
  return a;
}
GlslDialect nativeDialect() { return GlslDialect::Desktop; }
std::string renameBuiltins(const std::string& code) {
  std::string out;
  size_t i = 0;
  while (i < code.size()) {
    if (std::isalpha(static_cast<unsigned char>(code[i])) || code[i] == '_') {
      size_t j = i;
      while (j < code.size() && (std::isalnum(static_cast<unsigned char>(code[j])) || code[j] == '_')) ++j;
      std::string word = code.substr(i, j - i);
      for (const Name& n : kNames) if (word == n.from) word = n.to;
      out += word;
      i = j;
    } else out += code[i++];
  }
  return out;
}
std::string builtinDeclarations(const std::string& code, bool vertex) {
  std::string d;
  for (const Name& n : kNames) {
    if (n.attribute && !vertex) continue;
    if (code.find(n.to) != std::string::npos || code.find(n.from) != std::string::npos) d += std::string(n.decl) + " ";
  }
  return d;
}
std::string translateProgram(const std::string& source, bool vertex, GlslDialect) {
  size_t nl = source.find('\n');
  std::string body = renameBuiltins(source.substr(nl + 1));
  return source.substr(0, nl + 1) + builtinDeclarations(body, vertex) + "\n" + body;
}
}  // namespace cg
