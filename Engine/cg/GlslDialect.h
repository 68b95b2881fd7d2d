// TEMPORARY stand-in until the translator lands (desktop renaming only).
#pragma once
#include <string>
#include <vector>
namespace cg {
enum class GlslDialect { Desktop, Es300 };
constexpr unsigned kAttributeVertex = 0, kAttributeNormal = 1, kAttributeColor = 2, kAttributeTexCoord0 = 3;
struct BuiltinAttribute {
  const char* name;
  unsigned location;
};
const std::vector<BuiltinAttribute>& builtinAttributes();
GlslDialect nativeDialect();
std::string translateProgram(const std::string& source, bool vertex, GlslDialect dialect);
std::string renameBuiltins(const std::string& code);
std::string builtinDeclarations(const std::string& code, bool vertex);
}  // namespace cg
