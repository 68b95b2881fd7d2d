// ZipWriter: collects named members in memory and writes them as one ZIP archive.
//
// Used by the data generator. Members keep the order in which they were added, every member
// gets the same fixed timestamp and is deflated at level 9 (PNG images, deflated already,
// are stored), so the same members always give
// the same archive bytes. Not a reader, and not for archives larger than memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace content {

struct ZipMember {
  std::string name;  // "/"-separated path inside the archive
  std::vector<uint8_t> data;
};

class ZipWriter {
 public:
  // Appends a member; a second member of the same name is refused (returns 1).
  int add(const std::string& name, std::vector<uint8_t> data);
  const std::vector<ZipMember>& members() const { return entries; }

  // Writes the archive to path, replacing any file there. 0 on success; on failure error
  // holds a message naming the file and the problem.
  int write(const std::string& path, std::string& error) const;

 private:
  std::vector<ZipMember> entries;
};

}  // namespace content
