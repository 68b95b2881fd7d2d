// EffectHandles: the effect runtime's handle types as the resource holders store them.
//
// An effect and a technique are opaque handles in the C style of the effect runtime
// (Engine/cg). Holders only store and hand them back; they never look inside. Declared here
// so that the resource holders do not depend on the effect runtime's headers; the
// declarations are the runtime's own spelling, so both may be included together.
#pragma once

namespace cg {
struct Effect;
struct Technique;
struct Pass;
}  // namespace cg

typedef cg::Effect* CGeffect;
typedef cg::Technique* CGtechnique;
typedef cg::Pass* CGpass;
