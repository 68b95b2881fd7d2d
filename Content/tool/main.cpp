// pylon: the engine's tool for content authors.
//
// Each subcommand is a function in its own file of this folder, registered in the table
// below with its one-line usage.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/Options.h"

namespace {
struct Command {
  const char* name;
  const char* usage;
  int (*run)(int argc, char** argv);  // argv[0] is the subcommand
};

const std::vector<Command>& commands() {
  static const std::vector<Command> table = {};
  return table;
}

void printUsage(FILE* out) {
  std::fprintf(out, "Usage: pylon COMMAND [ARGUMENTS]\nThe PylonLib content tool.\n\nCommands:\n");
  for (const Command& c : commands()) std::fprintf(out, "  %s\n", c.usage);
  std::fprintf(out, "  --help\n  --version\n");
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
  for (const Command& c : commands()) {
    if (!std::strcmp(argv[1], c.name)) return c.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "pylon: unknown command: %s\n\n", argv[1]);
  printUsage(stderr);
  return 1;
}
