// Command: how a pylon subcommand registers itself.
//
// Each subcommand lives in its own file of this folder and registers itself with a static
// CommandRegistrar, so adding a command touches no shared table:
//
//   static CommandRegistrar ls("ls", "ls ARCHIVE              list the archive's members", runLs);
//
// run() gets argv with argv[0] being the subcommand name, and returns the exit code.
#pragma once

#include <vector>

struct Command {
  const char* name;
  const char* usage;
  int (*run)(int argc, char** argv);
};

std::vector<Command>& registeredCommands();

struct CommandRegistrar {
  CommandRegistrar(const char* name, const char* usage, int (*run)(int, char**)) {
    registeredCommands().push_back({name, usage, run});
  }
};
