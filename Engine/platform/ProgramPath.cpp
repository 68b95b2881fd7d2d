#include "platform/ProgramPath.h"

#include <unistd.h>

#include <climits>

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

}  // namespace platform
