// pylon: the engine's tool for content authors. Subcommands register themselves (Command.h).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "tool/Command.h"

std::vector<Command>& registeredCommands() {
  static std::vector<Command> commands;
  return commands;
}

namespace {
void printUsage(FILE* out) {
  std::vector<Command> sorted = registeredCommands();
  std::sort(sorted.begin(), sorted.end(), [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
  std::fprintf(out, "Usage: pylon COMMAND [ARGUMENTS]\nThe PylonLib content tool.\n\nCommands:\n");
  for (const Command& c : sorted) std::fprintf(out, "  pylon %s\n", c.usage);
  std::fprintf(out, "  pylon --help\n  pylon --version\n");
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    printUsage(stderr);
    return 1;
  }
  if (!std::strcmp(argv[1], "--help")) {
    printUsage(stdout);
    return 0;
  }
  if (!std::strcmp(argv[1], "--version")) {
    std::printf("pylon (PylonLib) %s\n", PYLON_VERSION_TEXT);
    return 0;
  }
  for (const Command& c : registeredCommands()) {
    if (!std::strcmp(argv[1], c.name)) return c.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "pylon: unknown command: %s\n\n", argv[1]);
  printUsage(stderr);
  return 1;
}
