// Runs a shell command for tests that start programs, and collects its exit code and its
// standard output and error together.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace testing_support {

struct CommandRun {
  int code;            // exit status; -1 when the command did not run or was killed
  std::string output;  // stdout and stderr together
};

inline CommandRun runCommand(const std::string& command) {
  CommandRun run{-1, ""};
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) run.output.append(chunk, got);
  const int status = pclose(pipe);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// Single-quoted for the shell.
inline std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace testing_support
