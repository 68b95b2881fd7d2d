// Cg: the engine's effect runtime, core calls.
//
// An effect file (".cgfx", format in docs/effect-format.md) declares parameters with
// annotations and defaults, GLSL program blocks, and techniques made of passes with GL state
// assignments. This header is the runtime's C-style surface: opaque handles, free functions,
// an error code with a handler. The GL side (registered states, parameter setters, samplers,
// managed textures) is in cg/CgGL.h.
//
// Lifecycle: cgCreateContext once the GL context is current (it fails without one), effects
// created from text with cgCreateEffect live until cgDestroyEffect or cgDestroyContext, which
// also releases every effect of the context and their GL objects. Handles are checked on each
// call: a null, destroyed or wrong-kind handle sets the last error, is reported to the error
// handler, and the call does nothing (it returns a null handle, 0, CG_FALSE or "").
//
// Main thread only, with the GL context current. Not for anything outside effects: textures,
// buffers and framebuffers belong to the engine.
#pragma once

namespace cg {
struct Context;
struct Effect;
struct Technique;
struct Pass;
struct Parameter;
struct Annotation;
}  // namespace cg

typedef cg::Context* CGcontext;
typedef cg::Effect* CGeffect;
typedef cg::Technique* CGtechnique;
typedef cg::Pass* CGpass;
typedef cg::Parameter* CGparameter;
typedef cg::Annotation* CGannotation;

typedef int CGbool;
#define CG_FALSE 0
#define CG_TRUE 1

// Types of parameters and annotations, named in effect files by the strings of cgGetTypeString.
enum CGtype {
  CG_UNKNOWN_TYPE = 0,
  CG_FLOAT,
  CG_FLOAT2,
  CG_FLOAT3,
  CG_FLOAT4,
  CG_FLOAT2x2,
  CG_FLOAT3x3,
  CG_FLOAT4x4,
  CG_INT,
  CG_INT2,
  CG_INT3,
  CG_INT4,
  CG_BOOL,
  CG_BOOL2,
  CG_BOOL3,
  CG_BOOL4,
  CG_SAMPLER2D,
  CG_SAMPLERCUBE,
  CG_STRING,  // annotations only
};

enum CGerror {
  CG_NO_ERROR = 0,
  CG_COMPILER_ERROR = 1,  // the effect text did not parse or a program did not compile; see the listing
  CG_INVALID_CONTEXT_HANDLE_ERROR,
  CG_INVALID_EFFECT_HANDLE_ERROR,
  CG_INVALID_TECHNIQUE_HANDLE_ERROR,
  CG_INVALID_PASS_HANDLE_ERROR,
  CG_INVALID_PARAM_HANDLE_ERROR,
  CG_INVALID_ANNOTATION_HANDLE_ERROR,
  CG_INVALID_POINTER_ERROR,        // a null text or array where one is needed
  CG_INVALID_PARAMETER_TYPE_ERROR, // e.g. a float set on a sampler, a texture on a float
  CG_INVALID_PASS_STATE_ERROR,     // cgSetPassState on a pass that cannot run on this GL
  CG_NO_GL_CONTEXT_ERROR,          // no current GL context with shader entry points
};

typedef void (*CGerrorHandlerFunc)(CGcontext context, CGerror error, void* data);

// Context.
CGcontext cgCreateContext();
void cgDestroyContext(CGcontext context);

// Errors. The last error stays until another call reports one or cgGetError reads it; each
// cgCreateEffect starts from CG_NO_ERROR so that a report after it concerns that effect.
CGerror cgGetError();  // returns the last error and clears it
const char* cgGetErrorString(CGerror error);
const char* cgGetLastErrorString(CGerror* error);  // text of the last error; its code into *error
void cgSetErrorHandler(CGerrorHandlerFunc handler, void* data);
CGerrorHandlerFunc cgGetErrorHandler(void** data);
// Compiler listing of the context's last effect creation or failed validation: one
// "line N: ..." entry per problem, naming the effect file's line. "" when there is none.
const char* cgGetLastListing(CGcontext context);

// Effects. args: compiler arguments, accepted for the call's shape and ignored (may be null).
CGeffect cgCreateEffect(CGcontext context, const char* source, const char** args);
void cgDestroyEffect(CGeffect effect);

// Techniques, in declaration order.
CGtechnique cgGetFirstTechnique(CGeffect effect);
CGtechnique cgGetNextTechnique(CGtechnique technique);
CGtechnique cgGetNamedTechnique(CGeffect effect, const char* name);
const char* cgGetTechniqueName(CGtechnique technique);  // "" for an unnamed technique
// CG_TRUE when every pass's programs compiled and linked on the running GL and every state
// assignment is known. On failure the reasons become the context's listing.
CGbool cgValidateTechnique(CGtechnique technique);
CGbool cgIsTechniqueValidated(CGtechnique technique);

// Passes, in declaration order.
CGpass cgGetFirstPass(CGtechnique technique);
CGpass cgGetNextPass(CGpass pass);
const char* cgGetPassName(CGpass pass);
// Binds the pass's program, uploads every effect parameter that has a value to the uniform of
// the same name, binds the sampler parameters' textures with their sampler state (when the
// context manages texture parameters) and applies the pass's states.
void cgSetPassState(CGpass pass);
// Restores every piece of GL state that cgSetPassState changed. Does nothing when the pass
// is not set.
void cgResetPassState(CGpass pass);

// Effect-level parameters, in declaration order.
CGparameter cgGetNamedEffectParameter(CGeffect effect, const char* name);  // null when absent
CGparameter cgGetFirstEffectParameter(CGeffect effect);
CGparameter cgGetNextParameter(CGparameter parameter);
const char* cgGetParameterName(CGparameter parameter);
const char* cgGetParameterSemantic(CGparameter parameter);  // "" when it has none
CGtype cgGetParameterType(CGparameter parameter);
const char* cgGetTypeString(CGtype type);  // "float", "float3", "sampler2D", ...; "unknown"
CGtype cgGetType(const char* typeName);    // CG_UNKNOWN_TYPE for a name that is no type

// Values, row-major for matrices. cgGetParameterValuefr copies up to count values and returns
// how many it wrote: 0 for a parameter that was declared without a default and never set.
int cgGetParameterValuefr(CGparameter parameter, int count, float* values);
void cgSetParameterValuefr(CGparameter parameter, int count, const float* values);
void cgSetParameter1i(CGparameter parameter, int value);

// Annotations of a parameter, in declaration order.
CGannotation cgGetFirstParameterAnnotation(CGparameter parameter);
CGannotation cgGetNamedParameterAnnotation(CGparameter parameter, const char* name);
CGannotation cgGetNextAnnotation(CGannotation annotation);
const char* cgGetAnnotationName(CGannotation annotation);
CGtype cgGetAnnotationType(CGannotation annotation);
// Values of a float/int/bool-typed annotation (null with *count 0 for other types).
const float* cgGetFloatAnnotationValues(CGannotation annotation, int* count);
const int* cgGetIntAnnotationValues(CGannotation annotation, int* count);
const char* cgGetStringAnnotationValue(CGannotation annotation);  // null unless a string
