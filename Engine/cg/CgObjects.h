// CgObjects: the objects behind the effect runtime's handles, and the checks on handles.
//
// A Context owns its Effects; an Effect owns its Parameters (with their Annotations), its
// Techniques (with their Passes) and its GL shader and program objects. Every object records
// itself in a table of live objects while it exists, so that a handle can be checked before
// it is used: a null, destroyed or wrong-kind handle is reported, never followed. The table,
// the last error and the error handler are the runtime's only global state, as the call
// shapes (cgGetLastErrorString takes no context) require. Internal to Engine/cg.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cg/Cg.h"
#include "cg/EffectParser.h"
#include "cg/GlslDialect.h"
#include "cg/TypeTable.h"

namespace cg {

enum class Kind { Context, Effect, Technique, Pass, Parameter, Annotation };

// Member of every object: records the object's address and kind while it exists.
class Live {
 public:
  Live(const void* object, Kind kind);
  ~Live();
  Live(const Live&) = delete;
  Live& operator=(const Live&) = delete;

 private:
  const void* object;
};

struct Context;
struct Effect;

struct Annotation {
  Annotation() : live(this, Kind::Annotation) {}
  Live live;
  Parameter* owner = nullptr;
  size_t index = 0;
  AnnotationDesc desc;
};

struct Parameter {
  Parameter() : live(this, Kind::Parameter) {}
  Live live;
  Effect* effect = nullptr;
  size_t index = 0;
  ParameterDesc desc;
  const TypeInfo* info = nullptr;
  bool hasValue = false;
  std::vector<float> value;  // info->components numbers once hasValue
  unsigned texture = 0;      // samplers: the GL texture name from cgGLSetupSampler
  int unit = -1;             // samplers: the texture unit, in declaration order
  std::vector<std::unique_ptr<Annotation>> annotations;
};

// What cgSetPassState changed, so that cgResetPassState can put it back.
struct SavedTexture {
  int unit = 0;
  unsigned target = 0;
  int previousBinding = 0;
  std::vector<SamplerState> previousParameters;  // values read from the texture before
};

// Set and reset every frame: the vectors keep their storage between uses, so after the
// first frame neither allocates. Only the first textureCount entries of `textures` are live.
struct SavedPassState {
  int program = 0;
  std::vector<int> ints;  // per pass state, 4 slots each
  std::vector<float> floats;
  std::vector<SavedTexture> textures;
  size_t textureCount = 0;
};

struct Technique;

struct Pass {
  Pass() : live(this, Kind::Pass) {}
  Live live;
  Technique* technique = nullptr;
  size_t index = 0;
  PassDesc desc;
  unsigned program = 0;  // linked GL program; 0 for fixed-function passes
  std::string buildProblems;  // compile, link or unit-count problems found at creation
  std::vector<int> locations;  // uniform location of each effect parameter in program
  bool applied = false;
  SavedPassState saved;
};

struct Technique {
  Technique() : live(this, Kind::Technique) {}
  Live live;
  Effect* effect = nullptr;
  size_t index = 0;
  std::string name;
  bool validated = false;
  std::vector<std::unique_ptr<Pass>> passes;
};

struct Effect {
  Effect() : live(this, Kind::Effect) {}
  ~Effect();
  Live live;
  Context* context = nullptr;
  std::vector<std::unique_ptr<Parameter>> parameters;
  std::vector<std::unique_ptr<Technique>> techniques;
  std::vector<unsigned> shaders;   // GL shader objects, deleted with the effect
  std::vector<unsigned> programs;  // GL program objects, deleted with the effect
  bool anisotropy = false;         // the GL offers anisotropic filtering
};

struct Context {
  Context() : live(this, Kind::Context) {}
  Live live;
  bool statesRegistered = false;
  bool manageTextures = false;
  std::string listing;
  std::vector<std::unique_ptr<Effect>> effects;
};

// Sets the last error and calls the error handler.
void raiseError(CGerror error, Context* context);
void clearError();
bool isLive(const void* object, Kind kind);

// The object behind a handle, or null after reporting `error` for a bad handle.
template <typename T>
T* checked(T* handle, Kind kind, CGerror error) {
  if (!handle || !isLive(handle, kind)) {
    raiseError(error, nullptr);
    return nullptr;
  }
  return handle;
}

inline Context* contextOf(const Parameter* p) { return p->effect->context; }
inline Context* contextOf(const Pass* p) { return p->technique->effect->context; }

// Every reason the pass cannot run now ("" when it can): build problems plus states that
// the context does not know.
std::string passProblems(const Pass& pass);
// passProblems(pass).empty(), without building any text: for the per-frame path.
bool passUsable(const Pass& pass);
// Sizes the pass's saved state for the effect's states and samplers (at creation).
void reservePassState(Pass& pass, const Effect& effect);

// The text handed to the GL for one program: the version line of the profile, a uniform for
// every effect parameter, the shared blocks and the program's own code, with the effect
// file's line of every line of that text, so that the GL's messages can be put back on the
// file's lines (the version line counts as the program's first line, a uniform as its
// parameter's declaration).
struct ProgramText {
  std::string source;
  std::vector<int> fileLines;  // fileLines[n - 1]: the file's line of the text's line n
};

// With translate, the text is written for `dialect` (see GlslDialect.h): its two header lines
// count as the program's first line, and every other line keeps its place in the file. Without,
// it is the text as written, behind "#version <version>" (" compatibility" from 1.50 on).
ProgramText programText(const EffectDesc& desc, const ProgramDesc& program, int version, GlslDialect dialect,
                        bool translate);

// A compile log with each message on the effect file's line: "line L, column C: WHAT:
// message" for Mesa's "0:LINE(COL): message", "line L: WHAT: message" for the "0(LINE) :
// message" form and "line L: WHAT: ERROR: message" for the "ERROR: 0:LINE: message" of
// ANGLE (WebGL) and glslang; a message in another form keeps its text, on blockLine.
std::string locatedLog(const std::string& log, const ProgramText& text, int blockLine, const std::string& what);

}  // namespace cg
