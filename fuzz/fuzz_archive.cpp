// Fuzz target: an archive opened from memory, then every member looked up and read the way
// the asset loaders do (size, allocate, read), and by a mangled name.
#include <vector>

#include "FuzzSupport.h"
#include "resources/Loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quietBoxes();
  Loader loader;
  if (loader.openArchiveMemory(data, size) != 0) return 0;
  int budget = 64;  // members read per input, so that one input stays fast
  for (const ArchiveEntry& entry : loader.entries()) {
    if (budget-- == 0) break;
    const uint32_t bytes = loader.getSize(entry.name);
    if (bytes == 0 || bytes > (16u << 20)) continue;
    std::vector<uint8_t> block(bytes);
    loader.read(entry.name, block.data());
    std::string other = entry.name;
    for (char& c : other) c = c == '/' ? '\\' : static_cast<char>(c ^ 0x20);
    if (loader.getSize(other) == bytes) loader.read(other, block.data());
  }
  return 0;
}
