// The Loader over a directory of loose files, and members laid over the archive.
//
// The Loader over a directory of loose files: what --data DIR reads while a production is
// being authored. The directory's regular files (in subdirectories too) are indexed under
// their "/"-separated relative names, so the archive's lookup (letter case ignored, "\" as
// "/", first of equal names wins, the names sorted) finds them the same way. A file saved
// after the directory was opened is found on the next lookup that misses.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/MessageBox.h"
#include "resources/Loader.h"

namespace {
std::string foldName(std::string name) {
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}
}  // namespace

int Loader::openDirectory(const std::string& path, std::string* error) {
  std::error_code failure;
  std::filesystem::directory_iterator probe(path, failure);
  if (failure) {
    if (error) *error = failure.message();
    return 1;
  }
  archivePath = path;
  directory = true;
  opened = true;
  indexDirectory();
  return 0;
}

void Loader::indexDirectory() {
  namespace fs = std::filesystem;
  std::vector<std::string> found;
  std::error_code failure;
  const fs::path root(archivePath);
  for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, failure), end;
       !failure && it != end; it.increment(failure)) {
    std::error_code kind;
    if (!it->is_regular_file(kind)) continue;
    found.push_back(it->path().lexically_relative(root).generic_string());
  }
  std::sort(found.begin(), found.end());
  // Indices of names already known stay put, so a size getSize() recorded keeps its file.
  for (const std::string& name : found) {
    if (std::find(looseFiles.begin(), looseFiles.end(), name) != looseFiles.end()) continue;
    looseFiles.push_back(name);
    looseSizes.push_back(0);
    entryIndex.emplace(foldName(name), looseFiles.size() - 1);
  }
}

std::string Loader::looseFilePath(const std::string& name) {
  if (!directory) return "";
  const int64_t index = lookup(name);
  return index < 0 ? "" : archivePath + "/" + looseFiles[static_cast<size_t>(index)];
}

static std::string slashedName(const std::string& name) {
  std::string key = foldName(name);
  std::replace(key.begin(), key.end(), '\\', '/');
  return key;
}

void Loader::overlay(const std::string& name, std::vector<uint8_t> bytes) { overlaid[slashedName(name)] = std::move(bytes); }

const std::vector<uint8_t>* Loader::overlaidMember(const std::string& name) const {
  if (overlaid.empty()) return nullptr;
  const auto found = overlaid.find(slashedName(name));
  return found == overlaid.end() ? nullptr : &found->second;
}

int Loader::readLoose(int64_t index, const std::string& name, void* buffer) {
  // The caller's block holds the size getSize() reported; a file that has changed size since
  // (saved again in between) is refused rather than read past the block.
  const size_t at = static_cast<size_t>(index);
  const std::string path = archivePath + "/" + looseFiles[at];
  struct stat info;
  bool complete = false;
  if (looseSizes[at] != 0 && stat(path.c_str(), &info) == 0 && static_cast<uint64_t>(info.st_size) == looseSizes[at]) {
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
      complete = std::fread(buffer, 1, looseSizes[at], file) == looseSizes[at] && std::fgetc(file) == EOF;
      std::fclose(file);
    }
  }
  if (!complete) {
    platform::showMessageBox(name, "decompressing file error", platform::MessageIcon::Error);
    return 1;
  }
  return 0;
}
