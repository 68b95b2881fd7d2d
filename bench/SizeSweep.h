// SizeSweep: runs one benchmark once per window size, each in a child process of its own,
// and prints a summary table over the sizes at the end: a change is judged on the small
// view and on 1080p in the same run.
//
// A benchmark whose command line names several sizes (--sizes 1024x768,1920x1080) calls
// runSizeSweep(), which starts the same program again with --size W×H for each, passes its
// output through and reads the child's "@summary" line (see printSummaryLine) together with
// the child's CPU time and peak memory, which the kernel reports when it ends. CPU time
// (the rasteriser's and encoder's threads included) is the figure to compare while other
// work shares the machine; wall times are only good on a quiet one.
//
// Bench programs only: it forks and execs /proc/self/exe.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace bench {

struct WindowSize {
  int width = 0, height = 0;
};

// "1024x768,1920x1080" -> sizes; false on anything else.
inline bool parseSizes(const std::string& text, std::vector<WindowSize>& sizes) {
  sizes.clear();
  size_t at = 0;
  while (at <= text.size()) {
    const size_t comma = text.find(',', at);
    const std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    WindowSize s;
    char tail = 0;
    if (std::sscanf(item.c_str(), "%dx%d%c", &s.width, &s.height, &tail) != 2 || s.width < 16 || s.height < 16)
      return false;
    sizes.push_back(s);
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return !sizes.empty();
}

// The line a child prints for the sweep's table: label, then figures (already formatted).
inline void printSummaryLine(const std::string& figures) {
  std::printf("@summary %s\n", figures.c_str());
  std::fflush(stdout);
}

// Runs argv (this program's own arguments, without any --size/--sizes) once per size with
// "--size WxH" added, in order, and prints the summary. `header` names the columns of the
// children's summary figures. Returns 0 when every child returned 0.
inline int runSizeSweep(int argc, char** argv, const std::vector<WindowSize>& sizes, const char* header) {
  std::vector<std::string> rows;
  int status = 0;
  for (const WindowSize& size : sizes) {
    std::vector<std::string> args = {argv[0]};
    for (int i = 1; i < argc; ++i) {
      const std::string a = argv[i];
      if ((a == "--sizes" || a == "--size") && i + 1 < argc) {
        ++i;
        continue;
      }
      args.push_back(a);
    }
    args.push_back("--size");
    args.push_back(std::to_string(size.width) + "x" + std::to_string(size.height));
    std::vector<char*> cargs;
    for (std::string& a : args) cargs.push_back(a.data());
    cargs.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0) return 1;
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0) return 1;
    if (child == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      close(out[1]);
      execv("/proc/self/exe", cargs.data());
      std::perror("bench: exec");
      _exit(127);
    }
    close(out[1]);
    std::string summary, line;
    char buffer[4096];
    FILE* in = fdopen(out[0], "r");
    while (std::fgets(buffer, sizeof buffer, in)) {
      line = buffer;
      if (line.rfind("@summary ", 0) == 0) {
        summary = line.substr(9);
        if (!summary.empty() && summary.back() == '\n') summary.pop_back();
      } else {
        std::fputs(buffer, stdout);
      }
    }
    std::fclose(in);
    int code = 0;
    rusage usage{};
    wait4(child, &code, 0, &usage);
    const bool ok = WIFEXITED(code) && WEXITSTATUS(code) == 0;
    if (!ok) status = 1;
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    char row[512];
    std::snprintf(row, sizeof row, "%4dx%-5d %s  %8.1f %7.0f%s", size.width, size.height,
                  summary.empty() ? "(no figures)" : summary.c_str(), cpu, static_cast<double>(usage.ru_maxrss) / 1024.0,
                  ok ? "" : "  (failed)");
    rows.push_back(row);
    std::printf("\n");
  }
  std::printf("== summary over the sizes (CPU: seconds of every thread of the process; peak: resident MB)\n");
  std::printf("%-10s %s  %8s %7s\n", "window", header, "CPU s", "peak MB");
  for (const std::string& r : rows) std::printf("%s\n", r.c_str());
  return status;
}

}  // namespace bench
