#include "resources/Loader.h"

#include <zip.h>

#include <sys/stat.h>

#include "platform/MessageBox.h"
#include "platform/ProgramPath.h"
#include "runtime/Options.h"

namespace {
bool isFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}
}  // namespace

std::string Loader::findArchive(const std::string& explicitName) {
  if (!explicitName.empty()) return explicitName;
  if (isFile("data.zip")) return "data.zip";
  const std::string beside = platform::programDirectory();
  if (!beside.empty() && isFile(beside + "/data.zip")) return beside + "/data.zip";
  return "data.zip";
}

Loader::Loader(Runtime* owner) : runtime(owner) {
  const std::string path = findArchive(programOptions().dataFile);
  int error = 0;
  archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
  if (!archive) {
    platform::showMessageBox("Data file not found.", "Loader::loader", platform::MessageIcon::Error);
    return;
  }
  archivePath = path;
  opened = true;
}

Loader::~Loader() {
  if (archive) zip_discard(archive);
}
