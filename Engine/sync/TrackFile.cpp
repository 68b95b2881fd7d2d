#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "sync/Sync.h"

namespace {

uint32_t readU32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void appendU32(std::string& out, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((v >> shift) & 0xff));
}

// Writes `bytes` to `path` through a temporary file beside it and a rename.
int writeAtomically(const std::string& path, const std::string& bytes, std::string* error) {
  const std::string temporary = path + ".writing";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (file) file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (file) file.flush();
    if (!file) {
      if (error) *error = path + ": cannot write " + temporary + ": " + std::strerror(errno);
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return 1;
    }
  }
  std::error_code failure;
  std::filesystem::rename(temporary, path, failure);
  if (failure) {
    if (error) *error = path + ": cannot replace it with " + temporary + ": " + failure.message();
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return 1;
  }
  return 0;
}

// A text-format string literal: printable ASCII as it is (quote and backslash escaped),
// every other byte as a three-digit octal escape, which reads back as that byte.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\%03o", c);
      out += escape;
    }
  }
  return out + "\"";
}

}  // namespace

std::string syncTrackFileName(const std::string& prefix, const std::string& name) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out = prefix + "_";
  for (const unsigned char c : name) {
    const bool plain =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '/';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '-';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out + ".track";
}

int parseSyncTrackFile(const std::string& label, const void* bytes, size_t size, SyncTrack* track, std::string* error) {
  const auto* data = static_cast<const unsigned char*>(bytes);
  auto fail = [&](const std::string& why) {
    if (error) *error = label + ": " + why;
    return 1;
  };
  if (size < 4) return fail("too short for a key count (" + std::to_string(size) + " bytes)");
  const uint64_t count = readU32(data);
  const uint64_t keyBytes = size - 4;
  if (count * 9 > keyBytes)
    return fail("the count says " + std::to_string(count) + " keys (" + std::to_string(count * 9) +
                " bytes) but only " + std::to_string(keyBytes) + " bytes follow it");
  if (keyBytes != count * 9)
    return fail(std::to_string(keyBytes) + " bytes after the count are not 9 bytes for each of its " +
                std::to_string(count) + " keys");
  std::vector<SyncKey> keys;
  keys.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    const unsigned char* at = data + 4 + i * 9;
    SyncKey key;
    key.row = readU32(at);
    const uint32_t bits = readU32(at + 4);
    std::memcpy(&key.value, &bits, sizeof bits);
    const std::string which = "key " + std::to_string(i) + " (row " + std::to_string(key.row) + ")";
    if (at[8] > 3) return fail(which + " has the unknown type " + std::to_string(at[8]));
    key.type = static_cast<SyncKeyType>(at[8]);
    if (!std::isfinite(key.value)) return fail(which + " has a value that is not a finite number");
    if (!keys.empty() && keys.back().row >= key.row)
      return fail(which + " does not come after the row of the key before it");
    keys.push_back(key);
  }
  track->keys = std::move(keys);
  return 0;
}

int readSyncTrackFile(const std::string& path, SyncTrack* track, std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    if (error) *error = path + ": cannot open: " + std::strerror(errno);
    return 1;
  }
  std::ostringstream bytes;
  bytes << file.rdbuf();
  const std::string data = bytes.str();
  return parseSyncTrackFile(path, data.data(), data.size(), track, error);
}

int writeSyncTrackFile(const std::string& path, const SyncTrack& track, std::string* error) {
  std::string bytes;
  bytes.reserve(4 + 9 * track.keys.size());
  appendU32(bytes, static_cast<uint32_t>(track.keys.size()));
  for (const SyncKey& key : track.keys) {
    uint32_t bits;
    std::memcpy(&bits, &key.value, sizeof bits);
    appendU32(bytes, key.row);
    appendU32(bytes, bits);
    bytes.push_back(static_cast<char>(key.type));
  }
  return writeAtomically(path, bytes, error);
}

int syncTrackFilePath(const std::string& prefix, const std::string& name, std::string* relative, std::string* error) {
  const std::string file = syncTrackFileName(prefix, name);
  const std::filesystem::path path(file);
  bool outside = path.is_absolute();
  for (const auto& part : path) outside = outside || part == "..";
  if (outside) {
    if (error) *error = file + ": the track \"" + name + "\" names a file outside its folder";
    return 1;
  }
  *relative = file;
  return 0;
}

int readSyncTrackFiles(const std::string& directory, const std::string& prefix, SyncTrackSet* tracks,
                       std::vector<std::string>* missing, std::string* error) {
  for (SyncTrack& track : tracks->tracks) {
    std::string relative;
    if (syncTrackFilePath(prefix, track.name, &relative, error)) return 1;
    const std::filesystem::path path = std::filesystem::path(directory) / relative;
    std::error_code failure;
    if (!std::filesystem::is_regular_file(path, failure)) {
      if (missing) missing->push_back(track.name);
      continue;
    }
    if (readSyncTrackFile(path.string(), &track, error)) return 1;
  }
  return 0;
}

int writeSyncTrackFiles(const std::string& directory, const std::string& prefix, const SyncTrackSet& tracks,
                        std::string* error) {
  for (const SyncTrack& track : tracks.tracks) {
    std::string relative;
    if (syncTrackFilePath(prefix, track.name, &relative, error)) return 1;
    const std::filesystem::path path = std::filesystem::path(directory) / relative;
    std::error_code failure;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), failure);
    if (failure) {
      if (error) *error = path.string() + ": cannot make its folder: " + failure.message();
      return 1;
    }
    if (writeSyncTrackFile(path.string(), track, error)) return 1;
  }
  return 0;
}

std::string syncTracksText(const SyncTrackSet& tracks) {
  std::string out;
  for (const SyncTrack& track : tracks.tracks) {
    out += "tracks {\n  name: " + quoted(track.name) + "\n";
    for (const SyncKey& key : track.keys) {
      char line[96];
      std::snprintf(line, sizeof line, "  key { row: %u value: %.9g type: %s }\n", key.row, key.value,
                    syncKeyTypeName(key.type));
      out += line;
    }
    out += "}\n";
  }
  return out;
}

int writeSyncTracksText(const std::string& path, const SyncTrackSet& tracks, std::string* error) {
  return writeAtomically(path, "# Tracks saved from the sync editor.\n" + syncTracksText(tracks), error);
}
