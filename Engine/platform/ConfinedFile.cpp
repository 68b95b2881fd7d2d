#include "platform/ConfinedFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifndef __EMSCRIPTEN__
#include <linux/openat2.h>
#include <sys/syscall.h>
#endif

#include <climits>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

std::string kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "is a folder, not a file";
  if (S_ISFIFO(mode)) return "is a FIFO, not a file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a file";
  if (S_ISSOCK(mode)) return "is a socket, not a file";
  return "is not a regular file";
}

std::string openProblem(int error) {
  switch (error) {
    case ENOENT: return "does not exist";
    case ENOTDIR: return "does not exist (a part of the path is not a folder)";
    case EXDEV: return "leads outside the folder of the glTF file";
    case ELOOP: return "is a chain of symbolic links that does not end";
    case EACCES: return "cannot be read (permission denied)";
    default: return std::string("cannot be opened: ") + std::strerror(error);
  }
}

// Reads from an open descriptor that was checked to be a regular file: `exactBytes` from the
// start, or (0) the whole file of at most `maxBytes`.
int readOpened(int fd, const struct stat& info, size_t exactBytes, size_t maxBytes, std::vector<uint8_t>& bytes,
               std::string& reason) {
  const size_t size = static_cast<size_t>(info.st_size);
  if (exactBytes > 0 && size < exactBytes) {
    reason = "has " + std::to_string(size) + " bytes, fewer than the " + std::to_string(exactBytes) + " declared";
    return 1;
  }
  if (exactBytes > maxBytes || (exactBytes == 0 && size > maxBytes)) {
    reason = "is larger than the importer takes (" + std::to_string(exactBytes > 0 ? exactBytes : size) + " bytes, at most " + std::to_string(maxBytes) + ")";
    return 1;
  }
  const size_t wanted = exactBytes > 0 ? exactBytes : size;
  bytes.assign(wanted, 0);
  size_t done = 0;
  while (done < wanted) {
    const ssize_t n = ::read(fd, bytes.data() + done, wanted - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      reason = n == 0 ? "became shorter while it was read" : std::string("cannot be read: ") + std::strerror(errno);
      bytes.clear();
      return 1;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}

#ifndef __EMSCRIPTEN__
// openat2 beneath `dir`; -1 with errno set. Symbolic links are followed only while they stay
// beneath it; an absolute link or ".." past the top fails with EXDEV.
int openBeneath(int dir, const std::string& relative, uint64_t flags) {
  struct open_how how;
  std::memset(&how, 0, sizeof how);
  how.flags = flags;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  return static_cast<int>(::syscall(SYS_openat2, dir, relative.c_str(), &how, sizeof how));
}
#else
// The browser has no openat2. Nothing there needs it: the page plays an archive, whose glTF
// scenes read the members beside them, never files on disk.
int openBeneath(int, const std::string&, uint64_t) {
  errno = ENOSYS;
  return -1;
}
#endif

}  // namespace

int readRegularFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& reason) {
  bytes.clear();
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) {
    reason = openProblem(errno);
    return 1;
  }
  if (!S_ISREG(info.st_mode)) {
    reason = kindOf(info.st_mode);
    return 1;
  }
  // O_NONBLOCK: should the name have been replaced by a FIFO since, the open does not wait.
  const Fd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat opened;
  if (file.fd < 0 || ::fstat(file.fd, &opened) != 0) {
    reason = openProblem(errno);
    return 1;
  }
  if (!S_ISREG(opened.st_mode)) {
    reason = kindOf(opened.st_mode);
    return 1;
  }
  return readOpened(file.fd, opened, 0, maxBytes, bytes, reason);
}

int readConfinedFile(const std::string& folder, const std::string& relative, size_t exactBytes, size_t maxBytes,
                     std::vector<uint8_t>& bytes, std::string& reason) {
  bytes.clear();
  if (relative.empty()) {
    reason = "is empty";
    return 1;
  }
  if (relative[0] == '/') {
    reason = "is an absolute path";
    return 1;
  }
  if (relative.find('\0') != std::string::npos) {
    reason = "holds a NUL character";
    return 1;
  }
  const Fd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.fd < 0) {
    reason = "cannot be looked up: the folder " + folder + " " + openProblem(errno);
    return 1;
  }
  // First a path-only descriptor, which opens nothing for reading: a FIFO or a device is
  // recognised from it without being opened.
  const Fd probe(openBeneath(dir.fd, relative, O_PATH | O_CLOEXEC));
  if (probe.fd < 0) {
    reason = errno == ENOSYS ? "cannot be checked on this system (no openat2)" : openProblem(errno);
    return 1;
  }
  struct stat looked;
  if (::fstat(probe.fd, &looked) != 0) {
    reason = openProblem(errno);
    return 1;
  }
  if (!S_ISREG(looked.st_mode)) {
    reason = kindOf(looked.st_mode);
    return 1;
  }
  const Fd file(openBeneath(dir.fd, relative, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat opened;
  if (file.fd < 0 || ::fstat(file.fd, &opened) != 0) {
    reason = openProblem(errno);
    return 1;
  }
  if (!S_ISREG(opened.st_mode) || opened.st_ino != looked.st_ino || opened.st_dev != looked.st_dev) {
    reason = "changed while it was opened";
    return 1;
  }
  return readOpened(file.fd, opened, exactBytes, maxBytes, bytes, reason);
}

}  // namespace platform
