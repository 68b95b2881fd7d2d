// Socket: one TCP client connection that never blocks the caller.
//
// Over POSIX sockets. resolveAddress() turns a host name or address and a port into an
// address once (name lookup may wait on the network, so it runs at start-up, never per
// frame); connect() starts a non-blocking connection to it; connectState() asks, without
// waiting, whether it has come up or failed; send() and receive() move what the kernel takes
// or has now and return at once; close() ends the link (so does the destructor). A socket
// can be connected again after close(). Sending to a link the peer has closed is an error
// return, never a signal. Not for servers, datagrams or threads: one connection, used from
// one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

struct SocketAddress {
  unsigned char storage[128] = {};  // a sockaddr_storage's bytes
  unsigned length = 0;
  std::string text;  // "host:port" as given, for messages
};

// 0 with `address` filled; 1 with the reason in `error`.
int resolveAddress(const std::string& host, uint16_t port, SocketAddress* address, std::string* error);

class Socket {
 public:
  enum class ConnectState { kNone, kPending, kConnected, kFailed };

  Socket() = default;
  ~Socket();
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  // Starts connecting (closing any earlier link). 0 when the connection is under way or up;
  // 1 with the reason in `error` when it failed at once.
  int connect(const SocketAddress& address, std::string* error);
  // Where the connection started by connect() stands now; kFailed comes with `error`.
  ConnectState connectState(std::string* error);
  // Bytes the kernel took (possibly fewer than `size`, 0 when its buffer is full); -1 on a
  // broken link, with the reason in `error`.
  long send(const void* bytes, size_t size, std::string* error);
  // Bytes read into `buffer` (0 when nothing waits); -1 when the peer closed the link or it
  // broke, with the reason in `error`.
  long receive(void* buffer, size_t capacity, std::string* error);
  void close();
  bool isOpen() const { return descriptor >= 0; }

 private:
  int descriptor = -1;
  bool connected = false;
};

}  // namespace platform
