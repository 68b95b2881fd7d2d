// ToolProduction: the production a pylon subcommand reads from an archive or directory.
//
// The data's production.txtpb, or Veltro 12's built-in production when there is none
// (`builtin` says which). Used by `pylon check` and `pylon tracks`.
#pragma once

#include <string>

class Loader;

// Opens the archive or directory at `path` into `loader` and fills `text` and `name` (the
// name its errors carry). 0, or 1 with a message on standard error prefixed "pylon COMMAND:".
int readToolProduction(Loader& loader, const std::string& path, const char* command, std::string* text,
                       std::string* name, bool* builtin);
