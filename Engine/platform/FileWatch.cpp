#include "platform/FileWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {
constexpr uint32_t kEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE;
}

FileWatch::FileWatch() : descriptor(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FileWatch::~FileWatch() {
  if (descriptor >= 0) close(descriptor);
}

int FileWatch::add(const std::string& directory, bool recursive, std::string* error) {
  if (descriptor < 0) {
    if (error) *error = std::string("inotify is not available: ") + std::strerror(errno);
    return 1;
  }
  const int watch = inotify_add_watch(descriptor, directory.c_str(), kEvents);
  if (watch < 0) {
    if (error) *error = directory + ": " + std::strerror(errno);
    return 1;
  }
  watched[watch] = {directory, recursive};
  if (!recursive) return 0;
  std::error_code failure;
  for (std::filesystem::directory_iterator it(directory, failure), end; !failure && it != end; it.increment(failure)) {
    std::error_code kind;
    if (it->is_directory(kind) && !it->is_symlink(kind)) add(it->path().string(), true, nullptr);
  }
  return 0;
}

std::vector<std::string> FileWatch::changed() {
  std::vector<std::string> paths;
  if (descriptor < 0) return paths;
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t got = read(descriptor, buffer, sizeof buffer);
    if (got <= 0) break;  // EAGAIN: nothing more waits
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      const auto folder = watched.find(event->wd);
      if (folder == watched.end() || event->len == 0) continue;
      const std::string path = folder->second.first + "/" + event->name;
      if (event->mask & IN_ISDIR) {
        if ((event->mask & (IN_CREATE | IN_MOVED_TO)) && folder->second.second) add(path, true, nullptr);
        continue;
      }
      if (!(event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO))) continue;
      if (std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(path);
    }
  }
  return paths;
}

}  // namespace platform
