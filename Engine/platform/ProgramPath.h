// ProgramPath: where the running program lives, for files kept beside it or installed with it.
//
// Plain functions over /proc/self/exe; nothing to create or shut down. Not for the working
// directory's files: those are opened by their relative names.
#pragma once

#include <string>

namespace platform {

// The absolute path of the running executable (/proc/self/exe), or "" when it cannot be read.
std::string programPath();

// The folder of programPath(), without a trailing slash, or "" when unknown.
std::string programDirectory();

// The folder an installed program keeps its shared files in: `programDir`/../share/`package`
// with "." and ".." resolved, so /usr/bin gives /usr/share/package. "" when `programDir` is
// empty.
std::string installedShareDirectory(const std::string& programDir, const std::string& package);

}  // namespace platform
