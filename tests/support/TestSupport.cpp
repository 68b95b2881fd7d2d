#include "support/TestSupport.h"

#include <GL/glew.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cg/Transforms.h"

namespace testing_support {

ScratchDir::ScratchDir() {
  char pattern[] = "/tmp/pylon-test-XXXXXX";
  const char* made = mkdtemp(pattern);
  dir = made ? made : "/tmp";
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  if (dir != "/tmp") std::filesystem::remove_all(dir, ignored);
}

WorkingDir::WorkingDir(const std::string& path) : previous(std::filesystem::current_path().string()) {
  std::filesystem::current_path(path);
}

WorkingDir::~WorkingDir() { std::filesystem::current_path(previous); }

MessageRecorder::MessageRecorder() {
  platform::setMessageSink([this](const std::string& text, const std::string& caption, platform::MessageIcon icon) {
    boxes.push_back({text, caption, icon});
  });
}

MessageRecorder::~MessageRecorder() { platform::setMessageSink({}); }

GLWindow::GLWindow(int w, int h, int samples) : width(w), height(h) {
  if (!platform::hasDisplay()) return;
  platform::WindowDesc desc;
  desc.caption = "pylon test";
  desc.width = w;
  desc.height = h;
  desc.framebuffer.samples = samples;
  window = platform::createWindow(desc);
  if (!window) return;
  context = platform::createGLContext(window);
  if (!context || !platform::makeCurrent(window, context)) return;
  glewExperimental = GL_TRUE;
  glewInit();
  // A new context: programs and matrices known from an earlier test's context are gone.
  cg::resetTransforms();
  // A hidden window's default framebuffer may be undefined to read; showing it makes
  // glReadPixels on the back buffer reliable under Xvfb.
  platform::showWindow(window);
  glViewport(0, 0, w, h);
}

GLWindow::~GLWindow() {
  if (context) {
    platform::makeCurrent(window, nullptr);
    platform::deleteGLContext(context);
  }
  platform::destroyWindow(window);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

size_t occurrences(const std::string& text, const std::string& piece) {
  size_t count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
  return count;
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

CommandResult runCommand(const std::string& command, const std::string& errFile) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>" + errFile).c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) result.out.append(buffer, got);
  const int status = pclose(pipe);
  result.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = readFile(errFile);
  return result;
}

}  // namespace testing_support
