// Where the program lives, in the browser: nowhere on a file system. The archive is found
// by the name the page passes (--data) or as data.zip in the working directory.
#include "platform/ProgramPath.h"

#include <filesystem>

namespace platform {

std::string programPath() { return {}; }

std::string programDirectory() { return {}; }

std::string installedShareDirectory(const std::string& programDir, const std::string& package) {
  if (programDir.empty()) return {};
  std::string folder = (std::filesystem::path(programDir) / ".." / "share" / package).lexically_normal().string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace platform
