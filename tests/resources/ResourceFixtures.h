// Helpers shared by the resource tests: fixture paths, archives written on the fly, and a
// Runtime whose log goes to a scratch file so that log lines can be asserted.
#pragma once

#include <gtest/gtest.h>
#include <zip.h>

#include <string>
#include <vector>

#include "resources/Loader.h"
#include "runtime/Logger.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "support/TestSupport.h"

namespace resource_fixtures {

inline std::string fixture(const std::string& name) { return std::string(PYLON_TEST_DATA) + "/resources/" + name; }

struct Member {
  std::string name;
  std::string bytes;
  bool deflate = false;
};

// Writes a ZIP archive with the members in the given (central-directory) order.
inline void writeArchive(const std::string& path, const std::vector<Member>& members) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const Member& m : members) {
    zip_source_t* source = zip_source_buffer(archive, m.bytes.data(), m.bytes.size(), 0);
    ASSERT_NE(source, nullptr);
    const zip_int64_t index = zip_file_add(archive, m.name.c_str(), source, ZIP_FL_ENC_RAW);
    ASSERT_GE(index, 0);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), m.deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

// A fresh Runtime with its log enabled in a scratch folder, and a message recorder. The
// Runtime's own Loader finds no archive; its box is dropped before the test starts.
class LoggedRuntime {
 public:
  LoggedRuntime() {
    Runtime::destroyForTesting();
    programOptions().dataFile = dir.file("absent.zip");
    runtime = Runtime::instance();
    runtime->logger->path = dir.file("Pylon.txt");
    runtime->logger->create();
    boxes.boxes.clear();
    start = logText().size();
  }
  ~LoggedRuntime() {
    Runtime::destroyForTesting();
    programOptions() = ProgramOptions{};
  }
  // What was logged since construction (or since the last mark()).
  std::string log() const { return logText().substr(start); }
  void mark() { start = logText().size(); }

  testing_support::ScratchDir dir;
  testing_support::MessageRecorder boxes;
  Runtime* runtime = nullptr;

 private:
  std::string logText() const { return testing_support::readFile(dir.file("Pylon.txt")); }
  size_t start = 0;
};

}  // namespace resource_fixtures
