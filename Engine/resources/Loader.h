// Loader: the data archive and every resource loading operation.
//
// Owned by Runtime, which constructs it once: construction opens the archive ("data.zip" in
// the working directory, else the one beside the program, or the file named by --data) and
// keeps it open for the life of the process. Every asset is then found by name with
// getSize() and read into a caller-owned block with read().
#pragma once

#include <string>

struct zip;

class Runtime;

class Loader {
 public:
  explicit Loader(Runtime* runtime);
  ~Loader();

  Runtime* runtime = nullptr;
  bool opened = false;
  zip* archive = nullptr;
  std::string archivePath;  // the file that was opened, "" when none

  // Where the archive is looked for, in order, for an explicit name ("" for the default).
  static std::string findArchive(const std::string& explicitName);
};
