// CgGL: the GL side of the effect runtime.
//
// Registered states make a context's effects understand pass state assignments (without
// cgGLRegisterStates every assignment is unknown and no technique validates). With managed
// texture parameters on, cgSetPassState binds each sampler parameter's texture to its unit
// and applies its sampler_state; off, the pass only points the sampler uniforms at their
// units and leaves binding to the caller.
//
// Same lifecycle and handle rules as cg/Cg.h. Values set here stay until set again, across
// passes and frames.
#pragma once

#include "cg/Cg.h"

void cgGLRegisterStates(CGcontext context);
void cgGLSetManageTextureParameters(CGcontext context, CGbool manage);
CGbool cgGLGetManageTextureParameters(CGcontext context);

// Numeric parameters: set the first components; the others keep their values (0 if the
// parameter never had one). A sampler parameter refuses them.
void cgGLSetParameter1f(CGparameter parameter, float x);
void cgGLSetParameter2f(CGparameter parameter, float x, float y);
void cgGLSetParameter3f(CGparameter parameter, float x, float y, float z);
void cgGLSetParameter4f(CGparameter parameter, float x, float y, float z, float w);
void cgGLSetMatrixParameterfr(CGparameter parameter, const float* matrix);  // row-major

// Sampler parameters: the GL texture name bound while a pass of the effect is set.
void cgGLSetupSampler(CGparameter parameter, unsigned int texture);
unsigned int cgGLGetTextureParameter(CGparameter parameter);
