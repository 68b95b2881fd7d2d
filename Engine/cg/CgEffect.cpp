// Effect creation: the parsed description becomes GL shaders, programs and the objects behind
// the handles.
#include <GL/glew.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <utility>

#include "cg/CgObjects.h"
#include "cg/Transforms.h"

namespace cg {

namespace {

// The GLSL version whose programs the running GL compiles, as 120 for "1.20" or 450 for
// "4.50 ..."; GLSL ES 3.00 counts as 130 (see shadingLanguageVersion).
int glslVersion() {
  return shadingLanguageVersion(reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION)));
}

std::string versionText(int version) {
  return std::to_string(version / 100) + "." + (version % 100 < 10 ? "0" : "") + std::to_string(version % 100);
}

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '\0'))
    text.pop_back();
  return text;
}

std::string shaderLog(GLuint shader) {
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  if (length <= 0) return "";
  std::string log(static_cast<size_t>(length), '\0');
  glGetShaderInfoLog(shader, length, nullptr, log.data());
  return trimmed(log);
}

std::string programLog(GLuint program) {
  GLint length = 0;
  glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
  if (length <= 0) return "";
  std::string log(static_cast<size_t>(length), '\0');
  glGetProgramInfoLog(program, length, nullptr, log.data());
  return trimmed(log);
}

}  // namespace

ProgramText programText(const EffectDesc& desc, const ProgramDesc& program, int version, GlslDialect dialect,
                        bool translate) {
  // The uniforms, the shared blocks and the program's code, each piece's lines on the file's.
  std::string body;
  std::vector<int> bodyLines;
  const auto add = [&body, &bodyLines](const std::string& code, int firstLine) {
    body += code + "\n";
    int line = firstLine;
    bodyLines.push_back(line);
    for (char c : code)
      if (c == '\n') bodyLines.push_back(++line);
  };
  for (const ParameterDesc& parameter : desc.parameters)
    add(std::string("uniform ") + typeInfo(parameter.type).glslName + " " + parameter.name + ";", parameter.line);
  for (const SharedCodeDesc& shared : desc.shared) add(shared.code, shared.line);
  add(program.code, program.line);

  ProgramText text;
  if (translate) {
    // The translation keeps every line, so the map only gains the header's two lines.
    TranslatedText translated = translateText(body, program.vertex, version, dialect);
    text.source = translated.header + translated.body;
    text.fileLines = {program.line, program.line};
  } else {
    text.source = "#version " + std::to_string(version) + (version >= 150 ? " compatibility" : "") + "\n" + body;
    text.fileLines = {program.line};
  }
  text.fileLines.insert(text.fileLines.end(), bodyLines.begin(), bodyLines.end());
  return text;
}

std::string locatedLog(const std::string& log, const ProgramText& text, int blockLine, const std::string& what) {
  std::string out;
  size_t from = 0;
  while (from < log.size()) {
    size_t end = log.find('\n', from);
    if (end == std::string::npos) end = log.size();
    const std::string message = log.substr(from, end - from);
    from = end + 1;
    if (message.find_first_not_of(" \t\r") == std::string::npos) continue;
    int source = 0, line = 0, column = 0, consumed = 0;
    char severity[16] = "";
    std::string where, kind;
    if (std::sscanf(message.c_str(), "%d:%d(%d): %n", &source, &line, &column, &consumed) == 3 && consumed > 0) {
      where = ", column " + std::to_string(column);
    } else if (std::sscanf(message.c_str(), "%d(%d) : %n", &source, &line, &consumed) == 2 && consumed > 0) {
    } else if (std::sscanf(message.c_str(), "%15[A-Z]: %d:%d: %n", severity, &source, &line, &consumed) == 3 &&
               consumed > 0) {
      kind = std::string(severity) + ": ";
    } else {
      line = 0;
      consumed = 0;
    }
    const bool mapped = line >= 1 && static_cast<size_t>(line) <= text.fileLines.size();
    const int fileLine = mapped ? text.fileLines[static_cast<size_t>(line - 1)] : blockLine;
    out += "line " + std::to_string(fileLine) + (mapped ? where : "") + ": " + what + ": " + kind +
           message.substr(static_cast<size_t>(consumed)) + "\n";
  }
  return out;
}

namespace {

class Builder {
 public:
  Builder(Effect& effect, const EffectDesc& desc) : effect(effect), desc(desc) {}

  // Programs go to the GL in its own dialect, with the pylon_ uniforms (fed from
  // cg/Transforms.h) and attributes (the engine's vertex arrays) in place of the
  // fixed-function built-ins, which OpenGL ES and WebGL 2 lack.
  static constexpr GlslDialect kDialect = nativeDialect();

  // Compiles every program a pass uses, with its profile. Returns false when one failed to
  // compile; the messages are in listing.
  bool compilePrograms() {
    bool ok = true;
    for (const TechniqueDesc& technique : desc.techniques)
      for (const PassDesc& pass : technique.passes)
        for (const ProgramRef* ref : {&pass.vertex, &pass.fragment})
          if (ref->used && ref->profileVersion <= available && !compile(*ref)) ok = false;
    return ok;
  }

  // Links each pass and notes why a pass cannot run.
  void buildPass(Pass& pass, const std::string& where) {
    const PassDesc& d = pass.desc;
    for (const ProgramRef* ref : {&d.vertex, &d.fragment}) {
      if (ref->used && ref->profileVersion > available)
        pass.buildProblems += "line " + std::to_string(ref->line) + ": " + where + ": compile " + ref->profile +
                              " needs GLSL " + versionText(ref->profileVersion) + ", this GL offers " +
                              versionText(available) + "\n";
    }
    // OpenGL ES has no alpha test: a pass that asks for it would draw every fragment there.
    // It does not run, with a message saying what to write instead.
    if (kDialect == GlslDialect::Es300)
      for (const PassState& state : d.states)
        if (state.kind == PassStateKind::AlphaFunc || (state.kind == PassStateKind::Enable && state.cap == GL_ALPHA_TEST))
          pass.buildProblems += "line " + std::to_string(state.line) + ": " + where + ": " + state.name +
                                " is not available in WebGL 2 (discard in the fragment program instead)\n";
    if (samplerCount > maxUnits)
      pass.buildProblems += "line " + std::to_string(d.line) + ": " + where + ": the effect has " +
                            std::to_string(samplerCount) + " samplers, this GL has " + std::to_string(maxUnits) +
                            " texture units\n";
    if (!pass.buildProblems.empty() || (!d.vertex.used && !d.fragment.used)) return;

    GLuint program = glCreateProgram();
    effect.programs.push_back(program);
    for (const ProgramRef* ref : {&d.vertex, &d.fragment})
      if (ref->used) glAttachShader(program, compiled.at({ref->program, ref->profileVersion}));
    for (const BuiltinAttribute& attribute : builtinAttributes())
      glBindAttribLocation(program, static_cast<GLuint>(attribute.location), attribute.name);
    glLinkProgram(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
      pass.buildProblems += "line " + std::to_string(d.line) + ": " + where + " did not link:\n" + programLog(program) + "\n";
      return;
    }
    pass.program = program;
    // A parameter's uniform has the name the translation gave it (a GLSL 1.20 "filter" is
    // "pylon_filter" on ES); the vertex program's version decides, as both stages share it.
    const int version = d.vertex.used ? d.vertex.profileVersion : d.fragment.profileVersion;
    for (const auto& parameter : effect.parameters) {
      const std::string name = glslIdentifier(parameter->desc.name, version, kDialect);
      pass.locations.push_back(glGetUniformLocation(program, name.c_str()));
    }
  }

  std::string listing;
  int available = glslVersion();
  int maxUnits = 0;
  int samplerCount = 0;

 private:
  bool compile(const ProgramRef& ref) {
    const auto key = std::make_pair(ref.program, ref.profileVersion);
    if (compiled.count(key)) return true;
    if (failed.count(key)) return false;
    const ProgramDesc& program = desc.programs[static_cast<size_t>(ref.program)];
    const ProgramText text = programText(desc, program, ref.profileVersion, kDialect, true);
    GLuint shader = glCreateShader(program.vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    effect.shaders.push_back(shader);
    const char* source = text.source.c_str();
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
      const std::string what = std::string(program.vertex ? "glsl_vertex" : "glsl_fragment") + " '" + program.name +
                               "' did not compile with " + ref.profile;
      const std::string messages = locatedLog(shaderLog(shader), text, program.line, what);
      listing += messages.empty() ? "line " + std::to_string(program.line) + ": " + what + "\n" : messages;
      failed.insert(key);
      return false;
    }
    compiled[key] = shader;
    return true;
  }

  Effect& effect;
  const EffectDesc& desc;
  std::map<std::pair<int, int>, GLuint> compiled;
  std::set<std::pair<int, int>> failed;
};

}  // namespace

Effect::~Effect() {
  // The GL may already be gone when a context is destroyed late; then there is nothing to free.
  if (!glDeleteShader || !glGetString(GL_VERSION)) return;
  for (unsigned program : programs) {
    forgetProgram(program);
    glDeleteProgram(program);
  }
  for (unsigned shader : shaders) glDeleteShader(shader);
}

std::string passProblems(const Pass& pass) {
  std::string problems = pass.buildProblems;
  const Context& context = *contextOf(&pass);
  const std::string where = "pass '" + pass.desc.name + "' of technique '" + pass.technique->name + "'";
  if (!context.statesRegistered) {
    if (!pass.desc.states.empty() || !pass.desc.unknownStates.empty() || pass.desc.vertex.used || pass.desc.fragment.used)
      problems += "line " + std::to_string(pass.desc.line) + ": " + where +
                  ": no states are registered for this context (cgGLRegisterStates)\n";
    return problems;
  }
  for (const UnknownState& state : pass.desc.unknownStates)
    problems += "line " + std::to_string(state.line) + ": " + where + ": unknown state '" + state.name + "'\n";
  return problems;
}

void reservePassState(Pass& pass, const Effect& effect) {
  // What cgSetPassState saves, sized once here so that setting and resetting the pass
  // every frame never allocates, from the first frame on.
  SavedPassState& saved = pass.saved;
  saved.ints.assign(pass.desc.states.size() * 4, 0);
  saved.floats.assign(pass.desc.states.size(), 0.0f);
  size_t samplerStates = 0;
  for (const auto& parameter : effect.parameters) {
    if (parameter->unit < 0) continue;
    samplerStates = std::max(samplerStates, parameter->desc.sampler.size());
    saved.textures.emplace_back();
  }
  for (SavedTexture& texture : saved.textures) texture.previousParameters.reserve(samplerStates);
}

bool passUsable(const Pass& pass) {
  if (!pass.buildProblems.empty() || !pass.desc.unknownStates.empty()) return false;
  if (contextOf(&pass)->statesRegistered) return true;
  return pass.desc.states.empty() && !pass.desc.vertex.used && !pass.desc.fragment.used;
}

}  // namespace cg

using namespace cg;

CGeffect cgCreateEffect(CGcontext handle, const char* source, const char** /*args*/) {
  Context* context = checked(handle, Kind::Context, CG_INVALID_CONTEXT_HANDLE_ERROR);
  if (!context) return nullptr;
  clearError();
  context->listing.clear();
  if (!source) {
    raiseError(CG_INVALID_POINTER_ERROR, context);
    return nullptr;
  }
  if (!glGetString(GL_VERSION)) {
    raiseError(CG_NO_GL_CONTEXT_ERROR, context);
    return nullptr;
  }

  EffectDesc desc;
  std::string error;
  if (parseEffect(source, std::strlen(source), desc, error) != 0) {
    context->listing = error + "\n";
    raiseError(CG_COMPILER_ERROR, context);
    return nullptr;
  }

  auto effect = std::make_unique<Effect>();
  effect->context = context;
  effect->anisotropy = GLEW_EXT_texture_filter_anisotropic;

  Builder builder(*effect, desc);
  glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &builder.maxUnits);
  for (size_t i = 0; i < desc.parameters.size(); ++i) {
    auto parameter = std::make_unique<Parameter>();
    parameter->effect = effect.get();
    parameter->index = i;
    parameter->desc = desc.parameters[i];  // the description stays whole: programs declare its uniforms
    parameter->info = &typeInfo(parameter->desc.type);
    if (parameter->info->base == BaseKind::Sampler) parameter->unit = builder.samplerCount++;
    if (parameter->desc.hasDefault) {
      parameter->hasValue = true;
      parameter->value = parameter->desc.defaultValue;
    }
    // A value set later (per frame) fits without allocating.
    parameter->value.reserve(static_cast<size_t>(parameter->info->components));
    for (size_t a = 0; a < parameter->desc.annotations.size(); ++a) {
      auto annotation = std::make_unique<Annotation>();
      annotation->owner = parameter.get();
      annotation->index = a;
      annotation->desc = std::move(parameter->desc.annotations[a]);
      parameter->annotations.push_back(std::move(annotation));
    }
    parameter->desc.annotations.clear();
    effect->parameters.push_back(std::move(parameter));
  }
  if (!builder.compilePrograms()) {
    context->listing = builder.listing;
    raiseError(CG_COMPILER_ERROR, context);
    return nullptr;
  }

  for (size_t t = 0; t < desc.techniques.size(); ++t) {
    auto technique = std::make_unique<Technique>();
    technique->effect = effect.get();
    technique->index = t;
    technique->name = desc.techniques[t].name;
    for (size_t p = 0; p < desc.techniques[t].passes.size(); ++p) {
      auto pass = std::make_unique<Pass>();
      pass->technique = technique.get();
      pass->index = p;
      pass->desc = std::move(desc.techniques[t].passes[p]);
      builder.buildPass(*pass, "pass '" + pass->desc.name + "' of technique '" + technique->name + "'");
      reservePassState(*pass, *effect);
      technique->passes.push_back(std::move(pass));
    }
    effect->techniques.push_back(std::move(technique));
  }

  Effect* created = effect.get();
  context->effects.push_back(std::move(effect));
  return created;
}

void cgDestroyEffect(CGeffect handle) {
  Effect* effect = checked(handle, Kind::Effect, CG_INVALID_EFFECT_HANDLE_ERROR);
  if (!effect) return;
  auto& effects = effect->context->effects;
  for (auto it = effects.begin(); it != effects.end(); ++it) {
    if (it->get() == effect) {
      effects.erase(it);
      return;
    }
  }
}
