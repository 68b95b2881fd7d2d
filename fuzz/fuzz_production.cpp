// Fuzz target: a production file read and checked, and its members looked up in an empty
// archive. Whatever the text, the reader must return with errors or a timeline whose
// entries name parts that exist, never crash or loop.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "resources/Loader.h"
#include "resources/ProductionFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quietBoxes();
  ProductionFile production;
  std::vector<ProductionError> errors;
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (readProduction(text, "fuzz.txtpb", production, errors) == 0) {
    for (const ResolvedEntry& entry : production.timeline)
      if (entry.part < 0 || entry.part >= production.message.part_size()) __builtin_trap();
    if (production.timeline.size() > static_cast<size_t>(kMaxProductionEntries)) __builtin_trap();
  }
  for (const ProductionError& error : errors) (void)error.text();
  if (production.parsed) {
    Loader loader;
    checkMembers(production, loader, errors);
  }
  return 0;
}
