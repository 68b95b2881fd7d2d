// File watching in the browser: there are no files to save beside the page's archive, so
// --watch is refused with the stand-in's reason.
#include "platform/FileWatch.h"

#include "platform/web/Unavailable.h"

namespace platform {

FileWatch::FileWatch() { descriptor = -1; }
FileWatch::~FileWatch() = default;

int FileWatch::add(const std::string&, bool, std::string* error) {
  if (error) *error = notInBrowser("watching files for changes (--watch)");
  return 1;
}

std::vector<std::string> FileWatch::changed() { return {}; }

}  // namespace platform
