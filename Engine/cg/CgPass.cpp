// Techniques and passes: walking, validation, and setting and resetting a pass's GL state.
#include <GL/glew.h>

#include <cstddef>
#include <iterator>

#include "cg/CgGL.h"
#include "cg/CgObjects.h"
#include "cg/Transforms.h"

using namespace cg;

namespace {

Technique* techniqueOf(CGtechnique handle) {
  return checked(handle, Kind::Technique, CG_INVALID_TECHNIQUE_HANDLE_ERROR);
}
Pass* passOf(CGpass handle) { return checked(handle, Kind::Pass, CG_INVALID_PASS_HANDLE_ERROR); }

void uploadValue(const Parameter& p, GLint location) {
  const float* v = p.value.data();
  if (p.info->base == BaseKind::Float) {
    switch (p.info->type) {
      case CG_FLOAT2x2:
        glUniformMatrix2fv(location, 1, GL_TRUE, v);
        return;
      case CG_FLOAT3x3:
        glUniformMatrix3fv(location, 1, GL_TRUE, v);
        return;
      case CG_FLOAT4x4:
        glUniformMatrix4fv(location, 1, GL_TRUE, v);
        return;
      default:
        break;
    }
    switch (p.info->components) {
      case 1:
        glUniform1fv(location, 1, v);
        return;
      case 2:
        glUniform2fv(location, 1, v);
        return;
      case 3:
        glUniform3fv(location, 1, v);
        return;
      default:
        glUniform4fv(location, 1, v);
        return;
    }
  }
  GLint ints[4] = {0, 0, 0, 0};
  for (int i = 0; i < p.info->components && i < 4; ++i) ints[i] = saturatingInt(p.value[static_cast<size_t>(i)]);
  switch (p.info->components) {
    case 1:
      glUniform1iv(location, 1, ints);
      return;
    case 2:
      glUniform2iv(location, 1, ints);
      return;
    case 3:
      glUniform3iv(location, 1, ints);
      return;
    default:
      glUniform4iv(location, 1, ints);
      return;
  }
}

// Reads the GL state a pass state will change into four ints and a float.
void saveState(const PassState& state, int* ints, float& reference) {
  switch (state.kind) {
    case PassStateKind::Enable:
      ints[0] = glIsEnabled(state.cap);
      return;
    case PassStateKind::DepthMask: {
      GLboolean mask = GL_TRUE;
      glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
      ints[0] = mask;
      return;
    }
    case PassStateKind::DepthFunc:
      glGetIntegerv(GL_DEPTH_FUNC, ints);
      return;
    case PassStateKind::CullFace:
      glGetIntegerv(GL_CULL_FACE_MODE, ints);
      return;
    case PassStateKind::FrontFace:
      glGetIntegerv(GL_FRONT_FACE, ints);
      return;
    case PassStateKind::BlendFunc:
      glGetIntegerv(GL_BLEND_SRC_RGB, &ints[0]);
      glGetIntegerv(GL_BLEND_DST_RGB, &ints[1]);
      glGetIntegerv(GL_BLEND_SRC_ALPHA, &ints[2]);
      glGetIntegerv(GL_BLEND_DST_ALPHA, &ints[3]);
      return;
    case PassStateKind::BlendEquation:
      glGetIntegerv(GL_BLEND_EQUATION_RGB, &ints[0]);
      glGetIntegerv(GL_BLEND_EQUATION_ALPHA, &ints[1]);
      return;
    case PassStateKind::AlphaFunc:
      glGetIntegerv(GL_ALPHA_TEST_FUNC, ints);
      glGetFloatv(GL_ALPHA_TEST_REF, &reference);
      return;
    case PassStateKind::ColorMask: {
      GLboolean mask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
      glGetBooleanv(GL_COLOR_WRITEMASK, mask);
      for (int i = 0; i < 4; ++i) ints[i] = mask[i];
      return;
    }
  }
}

void setEnabled(GLenum cap, bool on) {
  if (on)
    glEnable(cap);
  else
    glDisable(cap);
}

void applyState(const PassState& state) {
  switch (state.kind) {
    case PassStateKind::Enable:
      setEnabled(state.cap, state.flag);
      return;
    case PassStateKind::DepthMask:
      glDepthMask(state.flag ? GL_TRUE : GL_FALSE);
      return;
    case PassStateKind::DepthFunc:
      glDepthFunc(state.enums[0]);
      return;
    case PassStateKind::CullFace:
      glCullFace(state.enums[0]);
      return;
    case PassStateKind::FrontFace:
      glFrontFace(state.enums[0]);
      return;
    case PassStateKind::BlendFunc:
      glBlendFunc(state.enums[0], state.enums[1]);
      return;
    case PassStateKind::BlendEquation:
      glBlendEquation(state.enums[0]);
      return;
    case PassStateKind::AlphaFunc:
      glAlphaFunc(state.enums[0], state.reference);
      return;
    case PassStateKind::ColorMask:
      glColorMask(state.mask[0], state.mask[1], state.mask[2], state.mask[3]);
      return;
  }
}

void restoreState(const PassState& state, const int* ints, float reference) {
  const auto e = [&](int i) { return static_cast<GLenum>(ints[i]); };
  switch (state.kind) {
    case PassStateKind::Enable:
      setEnabled(state.cap, ints[0] != 0);
      return;
    case PassStateKind::DepthMask:
      glDepthMask(ints[0] ? GL_TRUE : GL_FALSE);
      return;
    case PassStateKind::DepthFunc:
      glDepthFunc(e(0));
      return;
    case PassStateKind::CullFace:
      glCullFace(e(0));
      return;
    case PassStateKind::FrontFace:
      glFrontFace(e(0));
      return;
    case PassStateKind::BlendFunc:
      glBlendFuncSeparate(e(0), e(1), e(2), e(3));
      return;
    case PassStateKind::BlendEquation:
      glBlendEquationSeparate(e(0), e(1));
      return;
    case PassStateKind::AlphaFunc:
      glAlphaFunc(e(0), reference);
      return;
    case PassStateKind::ColorMask:
      glColorMask(ints[0] != 0, ints[1] != 0, ints[2] != 0, ints[3] != 0);
      return;
  }
}

bool samplerStateApplies(const SamplerState& state, const Effect& effect) {
  return state.pname != GL_TEXTURE_MAX_ANISOTROPY_EXT || effect.anisotropy;
}

void setTextureParameter(GLenum target, const SamplerState& state) {
  if (state.isFloat)
    glTexParameterfv(target, state.pname, state.floatValues);
  else
    glTexParameteri(target, state.pname, state.intValue);
}

// Binds the sampler parameters' textures to their units with their sampler state.
void bindTextures(Pass& pass) {
  const Effect& effect = *pass.technique->effect;
  GLint active = GL_TEXTURE0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  for (const auto& parameter : effect.parameters) {
    const Parameter& p = *parameter;
    if (p.unit < 0 || p.texture == 0 || pass.locations[p.index] < 0) continue;
    const bool cube = p.info->type == CG_SAMPLERCUBE;
    SavedPassState& kept = pass.saved;
    if (kept.textureCount == kept.textures.size()) kept.textures.emplace_back();
    SavedTexture& saved = kept.textures[kept.textureCount++];
    saved.previousParameters.clear();
    saved.unit = p.unit;
    saved.target = cube ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(p.unit));
    glGetIntegerv(cube ? GL_TEXTURE_BINDING_CUBE_MAP : GL_TEXTURE_BINDING_2D, &saved.previousBinding);
    glBindTexture(saved.target, p.texture);
    for (const SamplerState& state : p.desc.sampler) {
      if (!samplerStateApplies(state, effect)) continue;
      SamplerState previous = state;
      if (state.isFloat) {
        glGetTexParameterfv(saved.target, state.pname, previous.floatValues);
      } else {
        glGetTexParameteriv(saved.target, state.pname, &previous.intValue);
      }
      saved.previousParameters.push_back(previous);
      setTextureParameter(saved.target, state);
    }
  }
  glActiveTexture(static_cast<GLenum>(active));
}

void unbindTextures(Pass& pass) {
  if (pass.saved.textureCount == 0) return;
  GLint active = GL_TEXTURE0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  const auto live = pass.saved.textures.begin() + static_cast<std::ptrdiff_t>(pass.saved.textureCount);
  for (auto it = std::make_reverse_iterator(live); it != pass.saved.textures.rend(); ++it) {
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(it->unit));
    for (auto state = it->previousParameters.rbegin(); state != it->previousParameters.rend(); ++state)
      setTextureParameter(it->target, *state);
    glBindTexture(it->target, static_cast<GLuint>(it->previousBinding));
  }
  glActiveTexture(static_cast<GLenum>(active));
}

void resetPass(Pass& pass) {
  if (!pass.applied) return;
  const auto& states = pass.desc.states;
  for (size_t i = states.size(); i-- > 0;) restoreState(states[i], &pass.saved.ints[i * 4], pass.saved.floats[i]);
  unbindTextures(pass);
  cg::useProgram(static_cast<GLuint>(pass.saved.program));
  pass.saved.program = 0;
  pass.saved.textureCount = 0;  // the storage stays for the next cgSetPassState
  pass.applied = false;
}

}  // namespace

CGtechnique cgGetFirstTechnique(CGeffect handle) {
  Effect* effect = checked(handle, Kind::Effect, CG_INVALID_EFFECT_HANDLE_ERROR);
  if (!effect || effect->techniques.empty()) return nullptr;
  return effect->techniques.front().get();
}

CGtechnique cgGetNextTechnique(CGtechnique handle) {
  Technique* technique = techniqueOf(handle);
  if (!technique) return nullptr;
  const auto& list = technique->effect->techniques;
  return technique->index + 1 < list.size() ? list[technique->index + 1].get() : nullptr;
}

CGtechnique cgGetNamedTechnique(CGeffect handle, const char* name) {
  Effect* effect = checked(handle, Kind::Effect, CG_INVALID_EFFECT_HANDLE_ERROR);
  if (!effect) return nullptr;
  if (!name) {
    raiseError(CG_INVALID_POINTER_ERROR, effect->context);
    return nullptr;
  }
  for (const auto& technique : effect->techniques)
    if (technique->name == name) return technique.get();
  return nullptr;
}

const char* cgGetTechniqueName(CGtechnique handle) {
  Technique* technique = techniqueOf(handle);
  return technique ? technique->name.c_str() : "";
}

CGbool cgValidateTechnique(CGtechnique handle) {
  Technique* technique = techniqueOf(handle);
  if (!technique) return CG_FALSE;
  std::string problems;
  for (const auto& pass : technique->passes) problems += passProblems(*pass);
  technique->validated = problems.empty();
  if (!problems.empty()) technique->effect->context->listing = problems;
  return technique->validated ? CG_TRUE : CG_FALSE;
}

CGbool cgIsTechniqueValidated(CGtechnique handle) {
  Technique* technique = techniqueOf(handle);
  return technique && technique->validated ? CG_TRUE : CG_FALSE;
}

CGpass cgGetFirstPass(CGtechnique handle) {
  Technique* technique = techniqueOf(handle);
  if (!technique || technique->passes.empty()) return nullptr;
  return technique->passes.front().get();
}

CGpass cgGetNextPass(CGpass handle) {
  Pass* pass = passOf(handle);
  if (!pass) return nullptr;
  const auto& list = pass->technique->passes;
  return pass->index + 1 < list.size() ? list[pass->index + 1].get() : nullptr;
}

const char* cgGetPassName(CGpass handle) {
  Pass* pass = passOf(handle);
  return pass ? pass->desc.name.c_str() : "";
}

void cgSetPassState(CGpass handle) {
  Pass* pass = passOf(handle);
  if (!pass) return;
  Context* context = contextOf(pass);
  if (!passUsable(*pass)) {
    raiseError(CG_INVALID_PASS_STATE_ERROR, context);
    return;
  }
  resetPass(*pass);  // a pass set twice is reset in between, so the saved state stays the original

  SavedPassState& saved = pass->saved;
  saved.program = static_cast<GLint>(cg::currentProgram());
  cg::useProgram(pass->program);
  const Effect& effect = *pass->technique->effect;
  if (pass->program) {
    for (const auto& parameter : effect.parameters) {
      const GLint location = pass->locations[parameter->index];
      if (location < 0) continue;
      if (parameter->unit >= 0)
        glUniform1i(location, parameter->unit);
      else if (parameter->hasValue)
        uploadValue(*parameter, location);
    }
    if (context->manageTextures) bindTextures(*pass);
  }

  const auto& states = pass->desc.states;
  saved.ints.assign(states.size() * 4, 0);
  saved.floats.assign(states.size(), 0.0f);
  for (size_t i = 0; i < states.size(); ++i) {
    saveState(states[i], &saved.ints[i * 4], saved.floats[i]);
    applyState(states[i]);
  }
  pass->applied = true;
}

void cgResetPassState(CGpass handle) {
  if (Pass* pass = passOf(handle)) resetPass(*pass);
}
