// ProgramPath: where the running program lives, for files kept beside it.
#pragma once

#include <string>

namespace platform {

// The absolute path of the running executable (/proc/self/exe), or "" when it cannot be read.
std::string programPath();

// The folder of programPath(), without a trailing slash, or "" when unknown.
std::string programDirectory();

}  // namespace platform
