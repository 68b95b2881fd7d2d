// FileWatch: which files under some directories were saved, asked without blocking.
//
// Over Linux inotify. The player creates one when --watch is on, adds the data directory
// (with its subdirectories, including ones made later) and the folder of the --scene file,
// and asks changed() once per frame; the descriptor closes with the object. A file counts as
// saved when a writer closes it or when it is renamed into place (how most editors save).
// Not for threads, not for files outside the added directories, and not a change log: a file
// saved twice between two calls is reported once.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace platform {

class FileWatch {
 public:
  FileWatch();
  ~FileWatch();
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  // Watches `directory` (and, when `recursive`, every directory below it). 0 on success; 1
  // with the reason in `error`.
  int add(const std::string& directory, bool recursive, std::string* error = nullptr);
  // Paths ("directory/name", as added) of the files saved since the last call, in the order
  // they were first saved.
  std::vector<std::string> changed();

 private:
  int descriptor = -1;
  std::map<int, std::pair<std::string, bool>> watched;  // watch -> (directory, recursive)
};

}  // namespace platform
