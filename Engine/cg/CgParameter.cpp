// Effect parameters, their values and annotations.
#include <algorithm>
#include <cstring>

#include "cg/CgGL.h"
#include "cg/CgObjects.h"

using namespace cg;

namespace {

Parameter* param(CGparameter handle) { return checked(handle, Kind::Parameter, CG_INVALID_PARAM_HANDLE_ERROR); }
Annotation* annotationOf(CGannotation handle) {
  return checked(handle, Kind::Annotation, CG_INVALID_ANNOTATION_HANDLE_ERROR);
}

bool isNumeric(const Parameter& p) {
  return p.info->base == BaseKind::Float || p.info->base == BaseKind::Int || p.info->base == BaseKind::Bool;
}

// Writes the first `count` components; the others keep their value (0 when there was none).
void setComponents(CGparameter handle, int count, const float* values) {
  Parameter* p = param(handle);
  if (!p) return;
  if (!isNumeric(*p)) {
    raiseError(CG_INVALID_PARAMETER_TYPE_ERROR, contextOf(p));
    return;
  }
  if (count < 0 || (count > 0 && !values)) {
    raiseError(CG_INVALID_POINTER_ERROR, contextOf(p));
    return;
  }
  const size_t size = static_cast<size_t>(p->info->components);
  if (!p->hasValue) p->value.assign(size, 0.0f);
  const size_t n = std::min(size, static_cast<size_t>(count));
  for (size_t i = 0; i < n; ++i) {
    float v = values[i];
    if (p->info->base == BaseKind::Bool) v = v != 0.0f ? 1.0f : 0.0f;
    if (p->info->base == BaseKind::Int) v = static_cast<float>(saturatingInt(v));
    p->value[i] = v;
  }
  p->hasValue = true;
}

}  // namespace

CGparameter cgGetNamedEffectParameter(CGeffect handle, const char* name) {
  Effect* effect = checked(handle, Kind::Effect, CG_INVALID_EFFECT_HANDLE_ERROR);
  if (!effect) return nullptr;
  if (!name) {
    raiseError(CG_INVALID_POINTER_ERROR, effect->context);
    return nullptr;
  }
  for (const auto& parameter : effect->parameters)
    if (parameter->desc.name == name) return parameter.get();
  return nullptr;
}

CGparameter cgGetFirstEffectParameter(CGeffect handle) {
  Effect* effect = checked(handle, Kind::Effect, CG_INVALID_EFFECT_HANDLE_ERROR);
  if (!effect || effect->parameters.empty()) return nullptr;
  return effect->parameters.front().get();
}

CGparameter cgGetNextParameter(CGparameter handle) {
  Parameter* p = param(handle);
  if (!p) return nullptr;
  const auto& list = p->effect->parameters;
  return p->index + 1 < list.size() ? list[p->index + 1].get() : nullptr;
}

const char* cgGetParameterName(CGparameter handle) {
  Parameter* p = param(handle);
  return p ? p->desc.name.c_str() : "";
}

const char* cgGetParameterSemantic(CGparameter handle) {
  Parameter* p = param(handle);
  return p ? p->desc.semantic.c_str() : "";
}

CGtype cgGetParameterType(CGparameter handle) {
  Parameter* p = param(handle);
  return p ? p->desc.type : CG_UNKNOWN_TYPE;
}

const char* cgGetTypeString(CGtype type) { return typeInfo(type).name; }

CGtype cgGetType(const char* typeName) { return typeFromName(typeName); }

int cgGetParameterValuefr(CGparameter handle, int count, float* values) {
  Parameter* p = param(handle);
  if (!p) return 0;
  if (!isNumeric(*p)) {
    raiseError(CG_INVALID_PARAMETER_TYPE_ERROR, contextOf(p));
    return 0;
  }
  if (count < 0 || (count > 0 && !values)) {
    raiseError(CG_INVALID_POINTER_ERROR, contextOf(p));
    return 0;
  }
  if (!p->hasValue) return 0;
  const size_t n = std::min(p->value.size(), static_cast<size_t>(count));
  std::copy_n(p->value.begin(), n, values);
  return static_cast<int>(n);
}

void cgSetParameterValuefr(CGparameter handle, int count, const float* values) { setComponents(handle, count, values); }

void cgSetParameter1i(CGparameter handle, int value) {
  const float v = static_cast<float>(value);
  setComponents(handle, 1, &v);
}

void cgGLSetParameter1f(CGparameter handle, float x) { setComponents(handle, 1, &x); }

void cgGLSetParameter2f(CGparameter handle, float x, float y) {
  const float v[] = {x, y};
  setComponents(handle, 2, v);
}

void cgGLSetParameter3f(CGparameter handle, float x, float y, float z) {
  const float v[] = {x, y, z};
  setComponents(handle, 3, v);
}

void cgGLSetParameter4f(CGparameter handle, float x, float y, float z, float w) {
  const float v[] = {x, y, z, w};
  setComponents(handle, 4, v);
}

void cgGLSetMatrixParameterfr(CGparameter handle, const float* matrix) {
  Parameter* p = param(handle);
  if (!p) return;
  if (p->info->columns == 1) {
    raiseError(CG_INVALID_PARAMETER_TYPE_ERROR, contextOf(p));
    return;
  }
  setComponents(handle, p->info->components, matrix);
}

void cgGLSetupSampler(CGparameter handle, unsigned int texture) {
  Parameter* p = param(handle);
  if (!p) return;
  if (p->info->base != BaseKind::Sampler) {
    raiseError(CG_INVALID_PARAMETER_TYPE_ERROR, contextOf(p));
    return;
  }
  p->texture = texture;
}

unsigned int cgGLGetTextureParameter(CGparameter handle) {
  Parameter* p = param(handle);
  return p ? p->texture : 0;
}

CGannotation cgGetFirstParameterAnnotation(CGparameter handle) {
  Parameter* p = param(handle);
  if (!p || p->annotations.empty()) return nullptr;
  return p->annotations.front().get();
}

CGannotation cgGetNamedParameterAnnotation(CGparameter handle, const char* name) {
  Parameter* p = param(handle);
  if (!p) return nullptr;
  if (!name) {
    raiseError(CG_INVALID_POINTER_ERROR, contextOf(p));
    return nullptr;
  }
  for (const auto& annotation : p->annotations)
    if (annotation->desc.name == name) return annotation.get();
  return nullptr;
}

CGannotation cgGetNextAnnotation(CGannotation handle) {
  Annotation* a = annotationOf(handle);
  if (!a) return nullptr;
  const auto& list = a->owner->annotations;
  return a->index + 1 < list.size() ? list[a->index + 1].get() : nullptr;
}

const char* cgGetAnnotationName(CGannotation handle) {
  Annotation* a = annotationOf(handle);
  return a ? a->desc.name.c_str() : "";
}

CGtype cgGetAnnotationType(CGannotation handle) {
  Annotation* a = annotationOf(handle);
  return a ? a->desc.type : CG_UNKNOWN_TYPE;
}

const float* cgGetFloatAnnotationValues(CGannotation handle, int* count) {
  if (count) *count = 0;
  Annotation* a = annotationOf(handle);
  if (!a || a->desc.floats.empty()) return nullptr;
  if (count) *count = static_cast<int>(a->desc.floats.size());
  return a->desc.floats.data();
}

const int* cgGetIntAnnotationValues(CGannotation handle, int* count) {
  if (count) *count = 0;
  Annotation* a = annotationOf(handle);
  if (!a || a->desc.ints.empty()) return nullptr;
  if (count) *count = static_cast<int>(a->desc.ints.size());
  return a->desc.ints.data();
}

const char* cgGetStringAnnotationValue(CGannotation handle) {
  Annotation* a = annotationOf(handle);
  if (!a || a->desc.type != CG_STRING) return nullptr;
  return a->desc.text.c_str();
}
