#include "resources/Loader.h"

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/MessageBox.h"
#include "platform/ProgramPath.h"
#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"

namespace {
bool isFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Names are compared without letter case, byte by byte in ASCII: the archive's names carry
// no locale.
std::string foldCase(std::string name) {
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

// Lookup names live in a 260-character field (259 and the terminator); a name of 256
// characters or more is never found.
constexpr size_t longestName = 255;
}  // namespace

std::string Loader::findArchive(const std::string& explicitName) {
  return findArchive(explicitName, platform::programDirectory());
}

std::string Loader::findArchive(const std::string& explicitName, const std::string& programDir) {
  if (!explicitName.empty()) return explicitName;
  if (isFile("data.zip")) return "data.zip";
  if (!programDir.empty()) {
    // Beside the program (a build tree), then where an installed program keeps its data
    // (bin/../share/veltro12).
    for (const std::string& folder : {programDir, platform::installedShareDirectory(programDir, "veltro12")}) {
      if (isFile(folder + "/data.zip")) return folder + "/data.zip";
    }
  }
  return "data.zip";
}

std::string Loader::describeOpenFailure(const std::string& path, const std::string& reason, bool searched) {
  std::error_code ignored;
  const std::string shown = std::filesystem::absolute(path, ignored).lexically_normal().string();
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    const std::string why = shown + ": " + std::strerror(errno);
    return searched ? why + " (nor beside the program; --data FILE names another archive)" : why;
  }
  if (access(path.c_str(), R_OK) != 0) return shown + ": cannot be read: " + std::strerror(errno);
  return shown + " is not a readable ZIP archive: " + reason;
}

Loader::Loader(Runtime* owner) : runtime(owner) {
  const std::string path = findArchive(programOptions().dataFile);
  std::string reason;
  if (openArchive(path, &reason) != 0) {
    // The usual first line, then the file looked for (a relative --data resolves against the
    // working directory) and what is wrong with it.
    openProblem = describeOpenFailure(path, reason, programOptions().dataFile.empty());
    const std::string text = "Data file not found.\n\n" + openProblem + ".";
    platform::showMessageBox(text, "Loader::loader", platform::MessageIcon::Error);
    // A box on the screen may be missed by whoever ran a script: standard error says it too.
    if (!platform::isUnattended() && platform::hasDisplay())
      std::fprintf(stderr, "veltro12: Data file not found. (%s)\n", openProblem.c_str());
  }
}

Loader::Loader() = default;

Loader::~Loader() { close(); }

Logger& Loader::log() {
  if (runtime && runtime->logger) return *runtime->logger;
  static Logger silent;  // never created, so it drops every piece
  return silent;
}

void Loader::close() {
  if (archive) zip_discard(archive);
  archive = nullptr;
  opened = false;
  archivePath.clear();
  directory = false;
  entryIndex.clear();
  looseFiles.clear();
  looseSizes.clear();
}

int Loader::adopt(zip* opening, const std::string& path) {
  archive = opening;
  archivePath = path;
  opened = true;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  entryIndex.reserve(count > 0 ? static_cast<size_t>(count) : 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* stored = zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    if (!stored) continue;
    // emplace keeps the first entry of a name: the earlier one in the central directory wins.
    entryIndex.emplace(foldCase(stored), static_cast<uint64_t>(i));
  }
  return 0;
}

int Loader::openArchive(const std::string& path, std::string* error) {
  close();
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return openDirectory(path, error);
  int code = 0;
  zip* opening = zip_open(path.c_str(), ZIP_RDONLY, &code);
  if (!opening) {
    if (error) {
      zip_error_t reason;
      zip_error_init_with_code(&reason, code);
      *error = zip_error_strerror(&reason);
      zip_error_fini(&reason);
    }
    return 1;
  }
  return adopt(opening, path);
}

int Loader::openArchiveMemory(const void* data, size_t size, std::string* error) {
  close();
  zip_error_t reason;
  zip_error_init(&reason);
  zip_source_t* source = zip_source_buffer_create(data, size, 0, &reason);
  zip* opening = source ? zip_open_from_source(source, ZIP_RDONLY, &reason) : nullptr;
  if (!opening) {
    if (source) zip_source_free(source);
    if (error) *error = zip_error_strerror(&reason);
    zip_error_fini(&reason);
    return 1;
  }
  zip_error_fini(&reason);
  return adopt(opening, "(memory)");
}

int64_t Loader::lookup(const std::string& name) {
  if (!opened || name.size() > longestName || name.find('\0') != std::string::npos) return -1;
  std::string key = foldCase(name);
  for (char& c : key) {
    if (c == '\\') c = '/';
  }
  auto found = entryIndex.find(key);
  if (found == entryIndex.end() && directory) {
    indexDirectory();
    found = entryIndex.find(key);
  }
  return found == entryIndex.end() ? -1 : static_cast<int64_t>(found->second);
}

uint32_t Loader::getSize(const std::string& name) {
  if (const std::vector<uint8_t>* bytes = overlaidMember(name)) {
    log() << "\nfile: " << name << " size: " << bytes->size() << "\n";
    return static_cast<uint32_t>(bytes->size());
  }
  const int64_t index = lookup(name);
  if (directory) {
    struct stat file;
    const size_t at = static_cast<size_t>(index);
    if (index < 0 || stat((archivePath + "/" + looseFiles[at]).c_str(), &file) != 0 || !S_ISREG(file.st_mode)) {
      log() << " file not found: " << name << "\n";
      return 0;
    }
    if (static_cast<uint64_t>(file.st_size) > kMaxMemberSize) {
      log() << " file too large: " << name << " claims " << static_cast<unsigned long long>(file.st_size)
            << " bytes, more than the " << kMaxMemberSize << " a member may have\n";
      return 0;
    }
    looseSizes[at] = static_cast<uint32_t>(file.st_size);
    log() << "\nfile: " << name << " size: " << looseSizes[at] << "\n";
    return looseSizes[at];
  }
  zip_stat_t info;
  zip_stat_init(&info);
  if (index < 0 || zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &info) != 0 ||
      !(info.valid & ZIP_STAT_SIZE)) {
    log() << " file not found: " << name << "\n";
    return 0;
  }
  // The size is the archive's claim, read before a byte is inflated: a damaged or hostile
  // member that claims gigabytes is refused here, so no caller allocates for it.
  if (info.size > kMaxMemberSize) {
    log() << " file too large: " << name << " claims " << static_cast<unsigned long long>(info.size)
          << " bytes, more than the " << kMaxMemberSize << " a member may have\n";
    return 0;
  }
  const uint32_t size = static_cast<uint32_t>(info.size);
  log() << "\nfile: " << name << " size: " << size << "\n";
  return size;
}

int Loader::read(const std::string& name, void* buffer) {
  if (const std::vector<uint8_t>* bytes = overlaidMember(name)) {
    std::copy(bytes->begin(), bytes->end(), static_cast<uint8_t*>(buffer));
    return 0;
  }
  const int64_t index = lookup(name);
  if (directory) return index < 0 ? 1 : readLoose(index, name, buffer);
  zip_stat_t info;
  zip_stat_init(&info);
  if (index < 0 || zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &info) != 0 ||
      !(info.valid & ZIP_STAT_SIZE) || info.size > kMaxMemberSize) {
    return 1;
  }
  const zip_uint64_t expected = info.size;

  // Complete success means: exactly `expected` bytes came out, and the entry then ended
  // cleanly. The checksum is verified when the reader reaches the end of the data, so the
  // end is read explicitly; a short, long or mis-checksummed entry is a failure.
  bool complete = false;
  if (zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0)) {
    zip_uint64_t done = 0;
    bool failed = false;
    auto* bytes = static_cast<uint8_t*>(buffer);
    while (done < expected) {
      const zip_int64_t got = zip_fread(file, bytes + done, expected - done);
      if (got <= 0) {
        failed = true;
        break;
      }
      done += static_cast<zip_uint64_t>(got);
    }
    uint8_t extra = 0;
    if (!failed && zip_fread(file, &extra, 1) != 0) failed = true;
    if (zip_fclose(file) != 0) failed = true;
    complete = !failed && done == expected;
  }
  if (!complete) {
    platform::showMessageBox(name, "decompressing file error", platform::MessageIcon::Error);
    return 1;
  }
  return 0;
}

std::vector<ArchiveEntry> Loader::entries() const {
  std::vector<ArchiveEntry> list;
  if (directory) {
    for (const std::string& file : looseFiles) {
      struct stat info;
      const uint64_t size = stat((archivePath + "/" + file).c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
      list.push_back({file, size, size});
    }
    return list;
  }
  if (!archive) return list;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t info;
    zip_stat_init(&info);
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &info) != 0) continue;
    ArchiveEntry entry;
    entry.name = (info.valid & ZIP_STAT_NAME) && info.name ? info.name : "";
    entry.size = (info.valid & ZIP_STAT_SIZE) ? info.size : 0;
    entry.compressedSize = (info.valid & ZIP_STAT_COMP_SIZE) ? info.comp_size : 0;
    list.push_back(std::move(entry));
  }
  return list;
}
