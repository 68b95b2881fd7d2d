// PostChain: the post-processing that finishes every frame — the transition composite
// (cross-fade or gradient wipe between two parts), then bloom: a bright pass and two
// separable Gaussian blurs at quarter resolution, and the final composite back into the
// window's view band.
//
// Owned by the demo. createTargets() and load() run once during the demo's initialisation,
// with the GL and effect contexts current; run() once per frame after the parts are drawn.
// The frame copies the outgoing and incoming parts into transitionA and transitionB with
// copyViewBand(). Nothing here allocates per frame.
//
// Where the window is not multisampled and the scene target has its depth renderbuffer, the
// frame may draw its parts straight into the scene target (beginScene() before them, run()
// after): the picture is the same, without the copy of the whole view band out of the back
// buffer that run() otherwise starts with.
//
// Drawn into the scene target, the frame may also be drawn at a render scale below 1
// (applyRenderScale() before beginScene()): the scene target, its depth, the bloom targets
// and the transition targets are then sized by renderTargetSizes() (post/RenderScale.h),
// and the frame is finished at that size and stretched over the view band with one filtered
// blit (or, without framebuffer blits, by a final pass at the view's size that reads the
// scene with bilinear filtering). The targets keep their GL objects when resized; only their
// storage changes.
#pragma once

#include <cstdint>

#include "post/RenderScale.h"
#include "post/RenderTarget.h"
#include "resources/MmfMesh.h"
#include "resources/Shader.h"
#include "resources/Texture.h"
#include "scene/BasicDraw.h"

class Loader;

// Sets the first pass of `shader`'s technique, draws `quad` (the text-form quad mesh, whose
// corners lie at -1 and 1) over the viewport, and resets the pass: every full-view pass,
// the chain's and a shader part's.
void applyOverView(const Shader& shader, const MmfMesh& quad);
// The same with a pass already chosen (a technique other than the first: the upscale).
void applyPassOverView(CGpass pass, const MmfMesh& quad);

struct PostChain {
  // The effects, in loading order.
  Shader brightPass, gaussH, gaussV, final, overlay, mixer, wipe;
  Texture gradient;
  MmfMesh quad;
  MmfMesh cube;  // loaded with the rest; no pass draws it
  RenderTarget scene, transitionA, transitionB, bloom, bloomTemp;
  uint32_t transitionWidth = 0, transitionHeight = 0;  // the scene's size, for the transition targets
  int viewWidth = 0, viewHeight = 0;                   // the view the targets are sized for
  float renderScale = 1.0f;                            // the scale the targets have now
  uint32_t depthRenderbuffer = 0;
  bool depthAttached = false;
  bool windowMultisampled = false;
  bool drawingIntoScene = false;  // between beginScene() and run()
  basic::Viewport outerViewport;  // the viewport beginScene() found, which run() puts back
  // The bright pass's threshold at demo time t: base + amplitude x sin(rate x t), the
  // production's values (Veltro 12's breathe between 0.48 and 0.52; amplitude 0 holds it).
  float thresholdBase = 0.5f, thresholdAmplitude = 0.02f, thresholdRate = 24.0f;

  // The render targets for a view of w x h, in this order: scene, transition A, transition B
  // (w x h), bloom and bloom temp (w/4 x h/4), each checked as it is made (its "fbo N
  // status" line logged); then the depth renderbuffer on the scene target. 0, or 1 at the
  // first incomplete target. A renderbuffer that cannot be made is logged and does not fail.
  // `transitions` false (a timeline without cross-fades or wipes) leaves the two transition
  // targets out, 16 MB less at 1080p, and logs that; copyViewBand() would then make one at
  // its first use.
  int createTargets(int w, int h, bool transitions = true);
  // Resizes every target to renderTargetSizes() of the view at `scale` (snapped to the
  // scale's grid); nothing when the targets already have that scale. Call it between
  // frames, before beginScene(): the next frame draws every pixel of the resized targets.
  void applyRenderScale(float scale);
  // The quad and cube meshes, the gradient texture and the seven effects. 0, or 1 at the
  // first one that fails to load.
  int load(Loader& loader);
  // One frame of post-processing over the back buffer's view band (or, after beginScene(),
  // over the scene target). `flash` (0 to 1) whitens the result in the final pass as the
  // beat flash's blended white quad would over it.
  void run(float t, float mixFactor, float wipeFactor, float flash = 0.0f);
  // Whether the parts can be drawn into the scene target: it has depth and the window has
  // no multisampling that the copy would resolve.
  bool canDrawIntoScene() const { return depthAttached && !windowMultisampled; }
  // Binds the scene target with a viewport over all of it; run() finishes the frame in the
  // back buffer and restores the viewport.
  void beginScene();
  // Copies the view band of the frame being drawn (the back buffer's, or the scene target
  // after beginScene()) into `target`'s texture; a transition target not made yet is made.
  void copyViewBand(RenderTarget& target);
  // Sets the first pass of `shader`'s technique, draws the quad over the viewport, resets.
  void apply(const Shader& shader) const;
  void apply(CGpass pass) const;
  // The final effect's "upscale" technique (its scene read with linear filtering), for a
  // scene target smaller than the view; null when the effect has none that validates.
  CGpass upscalePass();
  // Below scale 1: the final pass at the scene's size into `finished`, then one filtered blit
  // of it over the view band, so the bloom combine, the flash and the grading are paid at the
  // scene's pixels and the view's pixels cost only the copy. false (nothing drawn) where the
  // GL has no framebuffer blit; the final effect's upscale technique then does it all at the
  // view's size.
  bool finishSmall();
  RenderTarget finished;
  CGeffect upscaleRefusedBy = nullptr;  // the final effect whose upscale did not validate
};
