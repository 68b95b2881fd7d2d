// pylon pack DIR OUT.zip and pylon unpack ARCHIVE DIR: between an archive and a directory of
// loose files (what --data DIR plays while authoring). pack writes the directory's files in
// name order with the data generator's fixed timestamps, so the same files always give the
// same archive bytes; unpack writes every member under DIR and refuses names that would
// land outside it.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>

#include "data/ZipWriter.h"
#include "platform/MessageBox.h"
#include "resources/Loader.h"
#include "tool/Command.h"

namespace {

namespace fs = std::filesystem;

// Reads every member of `loader` through the engine's own lookup; `visit` gets name and bytes.
template <typename Visit>
int eachMember(const char* tool, Loader& loader, Visit visit) {
  for (const ArchiveEntry& entry : loader.entries()) {
    if (entry.name.empty() || entry.name.back() == '/') continue;  // a folder record
    const uint32_t size = loader.getSize(entry.name);
    std::vector<uint8_t> bytes(size);
    if (size != 0 && loader.read(entry.name, bytes.data()) != 0) {
      std::fprintf(stderr, "pylon %s: %s: %s cannot be read\n", tool, loader.archivePath.c_str(), entry.name.c_str());
      return 1;
    }
    if (visit(entry.name, std::move(bytes)) != 0) return 1;
  }
  return 0;
}

// A member name that stays inside the target directory: relative, no "..", no empty part.
bool safeName(const std::string& name) {
  if (name.empty() || name.front() == '/' || name.find('\\') != std::string::npos) return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

int runPack(int argc, char** argv) {
  platform::setUnattended(true);
  if (argc != 3) {
    std::fprintf(stderr, "Usage: pylon pack DIR OUT.zip\n");
    return 1;
  }
  std::error_code failure;
  if (!fs::is_directory(argv[1], failure)) {
    std::fprintf(stderr, "pylon pack: %s is not a directory\n", argv[1]);
    return 1;
  }
  Loader loader;
  std::string error;
  if (loader.openArchive(argv[1], &error) != 0) {
    std::fprintf(stderr, "pylon pack: cannot read %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  content::ZipWriter zip;
  if (eachMember("pack", loader, [&](const std::string& name, std::vector<uint8_t> bytes) {
        return zip.add(name, std::move(bytes));
      }) != 0)
    return 1;
  if (zip.write(argv[2], error) != 0) {
    std::fprintf(stderr, "pylon pack: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %zu member%s\n", argv[2], zip.members().size(), zip.members().size() == 1 ? "" : "s");
  return 0;
}

int runUnpack(int argc, char** argv) {
  platform::setUnattended(true);
  if (argc != 3) {
    std::fprintf(stderr, "Usage: pylon unpack ARCHIVE DIR\n");
    return 1;
  }
  Loader loader;
  std::string error;
  if (loader.openArchive(argv[1], &error) != 0) {
    std::fprintf(stderr, "pylon unpack: cannot open %s as a ZIP archive: %s\n", argv[1], error.c_str());
    return 1;
  }
  const fs::path root(argv[2]);
  size_t written = 0;
  const int result = eachMember("unpack", loader, [&](const std::string& name, std::vector<uint8_t> bytes) {
    if (!safeName(name)) {
      std::fprintf(stderr, "pylon unpack: %s: member name %s would land outside %s; nothing more written\n", argv[1],
                   name.c_str(), argv[2]);
      return 1;
    }
    const fs::path target = root / name;
    std::error_code made;
    fs::create_directories(target.parent_path(), made);
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::fprintf(stderr, "pylon unpack: cannot write %s\n", target.c_str());
      return 1;
    }
    ++written;
    return 0;
  });
  if (result != 0) return 1;
  std::printf("%s: %zu file%s\n", argv[2], written, written == 1 ? "" : "s");
  return 0;
}

CommandRegistrar pack("pack", "pack DIR OUT.zip        write a directory's files as an archive (same bytes every time)", runPack);
CommandRegistrar unpack("unpack", "unpack ARCHIVE DIR      write an archive's members as files under DIR", runUnpack);

}  // namespace
