// Contexts, errors and the table of live objects.
#include <GL/glew.h>

#include <unordered_map>

#include "cg/CgGL.h"
#include "cg/CgObjects.h"
#include "cg/Transforms.h"

namespace cg {

namespace {

struct GlobalState {
  std::unordered_map<const void*, Kind> live;
  CGerror lastError = CG_NO_ERROR;
  CGerrorHandlerFunc handler = nullptr;
  void* handlerData = nullptr;
};

GlobalState& global() {
  static GlobalState state;
  return state;
}

}  // namespace

Live::Live(const void* owner, Kind kind) : object(owner) { global().live[object] = kind; }
Live::~Live() { global().live.erase(object); }

bool isLive(const void* object, Kind kind) {
  const auto& live = global().live;
  auto found = live.find(object);
  return found != live.end() && found->second == kind;
}

void raiseError(CGerror error, Context* context) {
  GlobalState& state = global();
  state.lastError = error;
  if (state.handler) state.handler(context, error, state.handlerData);
}

void clearError() { global().lastError = CG_NO_ERROR; }

}  // namespace cg

using namespace cg;

CGcontext cgCreateContext() {
  // The runtime compiles GLSL: it needs a current context and the GL 2.0 entry points.
  const bool entryPoints = glCreateShader && glShaderSource && glCompileShader && glCreateProgram && glLinkProgram &&
                           glUseProgram && glGetUniformLocation && glUniform1i && glUniformMatrix4fv &&
                           glActiveTexture && glBlendFuncSeparate && glBlendEquationSeparate;
  if (!entryPoints || !glGetString(GL_VERSION)) {
    raiseError(CG_NO_GL_CONTEXT_ERROR, nullptr);
    return nullptr;
  }
  // A new context: program names and matrices of an earlier one mean nothing here.
  cg::resetTransforms();
  return new Context();
}

void cgDestroyContext(CGcontext handle) {
  Context* context = checked(handle, Kind::Context, CG_INVALID_CONTEXT_HANDLE_ERROR);
  if (!context) return;
  context->effects.clear();
  delete context;
}

CGerror cgGetError() {
  CGerror error = global().lastError;
  clearError();
  return error;
}

const char* cgGetErrorString(CGerror error) {
  switch (error) {
    case CG_NO_ERROR:
      return "no error";
    case CG_COMPILER_ERROR:
      return "the effect did not compile";
    case CG_INVALID_CONTEXT_HANDLE_ERROR:
      return "invalid context handle";
    case CG_INVALID_EFFECT_HANDLE_ERROR:
      return "invalid effect handle";
    case CG_INVALID_TECHNIQUE_HANDLE_ERROR:
      return "invalid technique handle";
    case CG_INVALID_PASS_HANDLE_ERROR:
      return "invalid pass handle";
    case CG_INVALID_PARAM_HANDLE_ERROR:
      return "invalid parameter handle";
    case CG_INVALID_ANNOTATION_HANDLE_ERROR:
      return "invalid annotation handle";
    case CG_INVALID_POINTER_ERROR:
      return "a needed pointer argument is null";
    case CG_INVALID_PARAMETER_TYPE_ERROR:
      return "the parameter's type does not take this value";
    case CG_INVALID_PASS_STATE_ERROR:
      return "the pass cannot run on this GL";
    case CG_NO_GL_CONTEXT_ERROR:
      return "no current GL context with shader support";
  }
  return "unknown error";
}

const char* cgGetLastErrorString(CGerror* error) {
  const CGerror last = global().lastError;
  if (error) *error = last;
  return cgGetErrorString(last);
}

void cgSetErrorHandler(CGerrorHandlerFunc handler, void* data) {
  global().handler = handler;
  global().handlerData = data;
}

CGerrorHandlerFunc cgGetErrorHandler(void** data) {
  if (data) *data = global().handlerData;
  return global().handler;
}

const char* cgGetLastListing(CGcontext handle) {
  Context* context = checked(handle, Kind::Context, CG_INVALID_CONTEXT_HANDLE_ERROR);
  return context ? context->listing.c_str() : "";
}

void cgGLRegisterStates(CGcontext handle) {
  if (Context* context = checked(handle, Kind::Context, CG_INVALID_CONTEXT_HANDLE_ERROR))
    context->statesRegistered = true;
}

void cgGLSetManageTextureParameters(CGcontext handle, CGbool manage) {
  if (Context* context = checked(handle, Kind::Context, CG_INVALID_CONTEXT_HANDLE_ERROR))
    context->manageTextures = manage != CG_FALSE;
}

CGbool cgGLGetManageTextureParameters(CGcontext handle) {
  Context* context = checked(handle, Kind::Context, CG_INVALID_CONTEXT_HANDLE_ERROR);
  return context && context->manageTextures ? CG_TRUE : CG_FALSE;
}
