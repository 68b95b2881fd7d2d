#include "platform/ProgramPath.h"

#include <unistd.h>

#include <climits>
#include <filesystem>

namespace platform {

std::string programPath() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return {};
  return std::string(buffer, static_cast<size_t>(n));
}

std::string programDirectory() {
  std::string path = programPath();
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash);
}

std::string installedShareDirectory(const std::string& programDir, const std::string& package) {
  if (programDir.empty()) return {};
  std::string folder = (std::filesystem::path(programDir) / ".." / "share" / package).lexically_normal().string();
  // lexically_normal keeps a trailing separator when `package` is empty or ends in one.
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace platform
