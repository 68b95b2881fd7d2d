// GlslDialect: effect programs, written once as GLSL 1.20, rewritten for the GL that runs
// them: desktop GLSL (OpenGL 2.1 and later) or GLSL ES 3.00 (OpenGL ES 3.0, WebGL 2).
//
// Why: the engine draws the desktop and the browser with one renderer and no fixed-function
// GL. The matrices and vertex data that programs used to read from fixed-function built-ins
// (gl_ModelViewMatrix, gl_Vertex, ftransform(), ...) come from the engine's own matrix stack
// and vertex arrays, through uniforms and generic attributes with the same pylon_ names in
// both dialects, so one CPU matrix stack feeds the desktop and the web alike. Effect authors
// keep writing GLSL 1.20 with gl_ built-ins; this is where that text becomes what each GL
// compiles. Pure text, no GL calls: the tests validate its output with a reference compiler.
//
// The API:
//   GlslDialect             Desktop (desktop GLSL, the profile's #version) or Es300
//                           (#version 300 es).
//   nativeDialect()         the dialect of this build: Es300 under emscripten, else Desktop.
//   builtinAttributes()     {name, location, type, replaced built-in} of every generic
//                           attribute a translated vertex program may read; the engine binds
//                           them with glBindAttribLocation before linking and feeds its
//                           vertex arrays at those locations.
//   builtinUniforms()       {name, type, replaced built-in} of the matrix uniforms; the
//                           kModelViewMatrix, ... constants name them for the matrix stack.
//   translateText()         the body of a program (everything after its #version line) for a
//                           dialect, and the two header lines that go in front of it.
//   translateProgram()      a whole program that starts with its #version line, for the
//                           engine's own small shaders.
//   glslIdentifier()        the name an identifier (an effect parameter's uniform) has in the
//                           translated text, for glGetUniformLocation.
//   shadingLanguageVersion() GL_SHADING_LANGUAGE_VERSION as the desktop GLSL version whose
//                           programs this GL runs (ES 3.00 and later: 130).
//
// What the translation does, token by token (identifiers outside comments; every newline is
// kept, and nothing adds one, so line N of the body is line N + 2 of the result, behind the
// two header lines):
//   - both dialects: gl_Vertex, gl_Normal, gl_Color, gl_MultiTexCoord0..3 (vertex programs)
//     and gl_ModelViewMatrix, gl_ProjectionMatrix, gl_ModelViewProjectionMatrix,
//     gl_NormalMatrix become their pylon_ names; ftransform() becomes
//     (pylon_ModelViewProjectionMatrix * pylon_Vertex).
//   - Es300 only: attribute -> in; varying -> out (vertex) or in (fragment); texture2D,
//     texture3D, textureCube -> texture, their Lod forms -> textureLod, their Proj forms ->
//     textureProj (and ProjLod -> textureProjLod); gl_FragColor and gl_FragData[0] ->
//     pylon_FragColor (gl_FragData with other indices -> the array pylon_FragData); an
//     identifier that GLSL ES 3.00 reserves, or names a built-in function there, while the
//     program's own GLSL version does not (texture, sample, input, filter, inverse, round,
//     ...) and one WebGL reserves (webgl_...) becomes pylon_<name>, everywhere in the text.
//   - the header: the version line (desktop: "#version N", with " compatibility" from 1.50 on,
//     as the effect runtime writes it; ES: "#version 300 es"), then one line with, on ES,
//     the precision statements (highp float and int; highp for every sampler type the text
//     names, so that textures, float render targets included, are read at full precision on
//     GPUs that honour lowp, the default of sampler2D) and the declarations of just the
//     pylon_ built-ins the text uses.
// Other fixed-function built-ins (gl_TexCoord, gl_FrontColor, gl_LightSource, ...) are left as
// they are: the desktop compiles them, and on ES the compiler names them in its message.
// Names starting with pylon_ belong to the translation; programs must not declare them.
#pragma once

#include <span>
#include <string>

namespace cg {

enum class GlslDialect { Desktop, Es300 };

constexpr GlslDialect nativeDialect() {
#ifdef __EMSCRIPTEN__
  return GlslDialect::Es300;
#else
  return GlslDialect::Desktop;
#endif
}

struct BuiltinAttribute {
  const char* name;      // the generic attribute, e.g. "pylon_Vertex"
  int location;          // its location, bound before linking
  const char* type;      // its GLSL type
  const char* replaces;  // the fixed-function built-in it stands for
};

struct BuiltinUniform {
  const char* name;
  const char* type;
  const char* replaces;
};

inline constexpr BuiltinAttribute kBuiltinAttributes[] = {
    {"pylon_Vertex", 0, "vec4", "gl_Vertex"},
    {"pylon_Normal", 1, "vec3", "gl_Normal"},
    {"pylon_Color", 2, "vec4", "gl_Color"},
    {"pylon_MultiTexCoord0", 3, "vec4", "gl_MultiTexCoord0"},
    {"pylon_MultiTexCoord1", 4, "vec4", "gl_MultiTexCoord1"},
    {"pylon_MultiTexCoord2", 5, "vec4", "gl_MultiTexCoord2"},
    {"pylon_MultiTexCoord3", 6, "vec4", "gl_MultiTexCoord3"},
};

// The locations above by name, for the code that points vertex arrays at them.
inline constexpr unsigned kAttributeVertex = kBuiltinAttributes[0].location, kAttributeNormal = kBuiltinAttributes[1].location,
                          kAttributeColor = kBuiltinAttributes[2].location, kAttributeTexCoord0 = kBuiltinAttributes[3].location;

inline constexpr const char* kModelViewMatrix = "pylon_ModelViewMatrix";
inline constexpr const char* kProjectionMatrix = "pylon_ProjectionMatrix";
inline constexpr const char* kModelViewProjectionMatrix = "pylon_ModelViewProjectionMatrix";
inline constexpr const char* kNormalMatrix = "pylon_NormalMatrix";

inline constexpr BuiltinUniform kBuiltinUniforms[] = {
    {kModelViewMatrix, "mat4", "gl_ModelViewMatrix"},
    {kProjectionMatrix, "mat4", "gl_ProjectionMatrix"},
    {kModelViewProjectionMatrix, "mat4", "gl_ModelViewProjectionMatrix"},
    {kNormalMatrix, "mat3", "gl_NormalMatrix"},
};

inline constexpr std::span<const BuiltinAttribute> builtinAttributes() { return kBuiltinAttributes; }
inline constexpr std::span<const BuiltinUniform> builtinUniforms() { return kBuiltinUniforms; }

struct TranslatedText {
  std::string header;  // exactly two lines, each ending in '\n': the version and the declarations
  std::string body;    // the body rewritten, with as many lines as it had
};

// The body of a program (its text after the version line), written for desktop GLSL
// `sourceVersion` (120 for GLSL 1.20), as `dialect` compiles it. For the desktop the header
// names sourceVersion; for ES it is always 300 es.
TranslatedText translateText(const std::string& body, bool vertex, int sourceVersion, GlslDialect dialect);

// A whole program whose first line is "#version N" (an optional profile word after N is kept
// on the desktop; without a version line the program is GLSL 1.10, as for the GL), translated:
// the version line becomes the two header lines.
std::string translateProgram(const std::string& source, bool vertex, GlslDialect dialect);

// `name` as translateText writes it for that source version and dialect: "texture" is
// "pylon_texture" in a GLSL 1.20 program on ES, and itself everywhere else.
std::string glslIdentifier(const std::string& name, int sourceVersion, GlslDialect dialect);

// GL_SHADING_LANGUAGE_VERSION as the highest desktop GLSL version whose programs run: "1.20"
// -> 120, "4.60 NVIDIA" -> 460, "4.5" -> 450; an ES string ("OpenGL ES GLSL ES 3.00 ...",
// WebGL 2's "WebGL GLSL ES 3.00 (OpenGL ES GLSL ES 3.0 Chromium)") -> 130 from ES 3.00 on
// (what translateText turns into GLSL ES 3.00), 100 before; null or unreadable -> 110.
int shadingLanguageVersion(const char* text);

}  // namespace cg
