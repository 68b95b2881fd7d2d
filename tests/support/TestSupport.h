// Shared helpers for the test suite: a scratch folder, a recording message sink, and a
// hidden GL window for tests that draw and read pixels back.
#pragma once

#include <string>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/Window.h"

namespace testing_support {

// A fresh empty folder under /tmp, removed with its contents on destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& path() const { return dir; }
  std::string file(const std::string& name) const { return dir + "/" + name; }

 private:
  std::string dir;
};

// Runs the scope in another working directory.
class WorkingDir {
 public:
  explicit WorkingDir(const std::string& path);
  ~WorkingDir();

 private:
  std::string previous;
};

struct RecordedBox {
  std::string text, caption;
  platform::MessageIcon icon;
};

// Installs itself as the message sink for its lifetime.
class MessageRecorder {
 public:
  MessageRecorder();
  ~MessageRecorder();
  std::vector<RecordedBox> boxes;
};

// A hidden window with a current GL context (and GLEW loaded), or unavailable() when there
// is no display.
class GLWindow {
 public:
  GLWindow(int width, int height, int samples = 0);
  ~GLWindow();
  bool unavailable() const { return !window || !context; }
  platform::Window* window = nullptr;
  platform::GLContext context = nullptr;
  int width, height;
};

std::string readFile(const std::string& path);

// Runs a shell command line: its exit status (-1 when it did not exit), its standard output,
// and its standard error (kept in `errFile` meanwhile).
struct CommandResult {
  int rc = -1;
  std::string out, err;
};
CommandResult runCommand(const std::string& command, const std::string& errFile);
void writeFile(const std::string& path, const std::string& bytes);
// How many times `piece` occurs in `text` (overlaps counted).
size_t occurrences(const std::string& text, const std::string& piece);

}  // namespace testing_support

// Skips the test when no display is available (run the suite through scripts/test.sh).
#define REQUIRE_GL(glwindow)                                                     \
  do {                                                                           \
    if ((glwindow).unavailable()) GTEST_SKIP() << "no display for a GL context"; \
  } while (0)
