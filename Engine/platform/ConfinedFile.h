// ConfinedFile: bounded reads of plain files, and of files named relative to a folder that
// must not lead out of it.
//
// For files that come from strangers (a glTF scene's buffers and images): the name is resolved
// beneath the folder by the kernel (".." and symbolic links that leave it are refused), the
// file is looked at before it is opened for reading (only regular files are read: a FIFO, a
// device or a folder is refused, so nothing waits on one), and at most `maxBytes` are read.
// Plain functions; nothing to create or shut down. Not for the engine's own files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// 0 with the whole file in `bytes`; 1 with `reason` ("is a FIFO, not a file", ...) when `path`
// is not a regular file, is larger than `maxBytes`, or cannot be read.
int readRegularFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& reason);

// The same for `relative` (a relative path, already decoded) beneath `folder`: 1 with `reason`
// when it is absolute or leads outside the folder, after resolving "." / ".." and symbolic
// links. With `exactBytes` > 0, reads that many bytes from the start and refuses a shorter
// file; with 0, the whole file, refused when larger than `maxBytes`.
int readConfinedFile(const std::string& folder, const std::string& relative, size_t exactBytes, size_t maxBytes,
                     std::vector<uint8_t>& bytes, std::string& reason);

}  // namespace platform
