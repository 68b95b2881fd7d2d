// libFuzzer target: the effect file parser (no GL). Besides not crashing, a parse that
// succeeds must hand the GL step a description it can follow without further checks.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cg/EffectParser.h"
#include "cg/TypeTable.h"

namespace {
void require(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cg::EffectDesc desc;
  std::string error;
  const int result = cg::parseEffect(reinterpret_cast<const char*>(data), size, desc, error);
  if (result != 0) {
    require(error.rfind("line ", 0) == 0);
    return 0;
  }
  require(error.empty());
  for (const cg::ParameterDesc& parameter : desc.parameters) {
    const cg::TypeInfo& info = cg::typeInfo(parameter.type);
    require(info.type != CG_UNKNOWN_TYPE && info.base != cg::BaseKind::String);
    require(!parameter.hasDefault || parameter.defaultValue.size() == static_cast<size_t>(info.components));
    require(parameter.sampler.empty() || info.base == cg::BaseKind::Sampler);
    require(parameter.line >= 1);
  }
  for (const cg::TechniqueDesc& technique : desc.techniques)
    for (const cg::PassDesc& pass : technique.passes)
      for (const cg::ProgramRef* ref : {&pass.vertex, &pass.fragment}) {
        if (!ref->used) continue;
        require(ref->program >= 0 && static_cast<size_t>(ref->program) < desc.programs.size());
        require(desc.programs[static_cast<size_t>(ref->program)].vertex == (ref == &pass.vertex));
        require(ref->profileVersion >= 110);
      }
  return 0;
}
