#include "tool/ToolProduction.h"

#include <cstdio>

#include "BuiltinProduction.h"
#include "resources/Loader.h"
#include "resources/ProductionFile.h"

int readToolProduction(Loader& loader, const std::string& path, const char* command, std::string* text,
                       std::string* name, bool* builtin) {
  std::string error;
  if (loader.openArchive(path, &error) != 0) {
    std::fprintf(stderr, "pylon %s: %s: %s\n", command, path.c_str(), error.c_str());
    return 1;
  }
  const uint32_t size = loader.getSize(kProductionMember);
  *builtin = size == 0;
  if (size == 0) {
    *text = std::string(veltro12ProductionText());
    *name = "built-in Veltro 12 production";
    return 0;
  }
  text->assign(size, '\0');
  if (loader.read(kProductionMember, text->data()) != 0) {
    std::fprintf(stderr, "pylon %s: %s: %s cannot be read\n", command, path.c_str(), kProductionMember);
    return 1;
  }
  *name = loader.looseFilePath(kProductionMember);
  if (name->empty()) *name = path + "/" + kProductionMember;
  return 0;
}
