#include "platform/Socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

int resolveAddress(const std::string& host, uint16_t port, SocketAddress* address, std::string* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  const int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  const std::string text = host + ":" + service;
  if (status != 0 || !found) {
    if (error) *error = text + ": " + gai_strerror(status);
    return 1;
  }
  if (found->ai_addrlen > sizeof address->storage) {
    freeaddrinfo(found);
    if (error) *error = text + ": address too long";
    return 1;
  }
  std::memcpy(address->storage, found->ai_addr, found->ai_addrlen);
  address->length = static_cast<unsigned>(found->ai_addrlen);
  address->text = text;
  freeaddrinfo(found);
  return 0;
}

Socket::~Socket() { close(); }

void Socket::close() {
  if (descriptor >= 0) ::close(descriptor);
  descriptor = -1;
  connected = false;
}

int Socket::connect(const SocketAddress& address, std::string* error) {
  close();
  const auto* target = reinterpret_cast<const sockaddr*>(address.storage);
  descriptor = socket(target->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (descriptor < 0) {
    if (error) *error = address.text + ": " + std::strerror(errno);
    return 1;
  }
  const int one = 1;  // commands are a few bytes each: send them at once
  setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (::connect(descriptor, target, address.length) == 0) {
    connected = true;
    return 0;
  }
  if (errno == EINPROGRESS) return 0;
  if (error) *error = address.text + ": " + std::strerror(errno);
  close();
  return 1;
}

Socket::ConnectState Socket::connectState(std::string* error) {
  if (descriptor < 0) return ConnectState::kNone;
  if (connected) return ConnectState::kConnected;
  pollfd entry{descriptor, POLLOUT, 0};
  const int ready = ::poll(&entry, 1, 0);  // never waits
  if (ready == 0) return ConnectState::kPending;
  int failure = 0;
  socklen_t length = sizeof failure;
  if (ready < 0)
    failure = errno;
  else if (getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &failure, &length) != 0)
    failure = errno;
  if (failure != 0) {
    if (error) *error = std::strerror(failure);
    close();
    return ConnectState::kFailed;
  }
  connected = true;
  return ConnectState::kConnected;
}

long Socket::send(const void* bytes, size_t size, std::string* error) {
  if (descriptor < 0) {
    if (error) *error = "not connected";
    return -1;
  }
  const ssize_t sent = ::send(descriptor, bytes, size, MSG_NOSIGNAL | MSG_DONTWAIT);
  if (sent >= 0) return static_cast<long>(sent);
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
  if (error) *error = std::strerror(errno);
  return -1;
}

long Socket::receive(void* buffer, size_t capacity, std::string* error) {
  if (descriptor < 0) {
    if (error) *error = "not connected";
    return -1;
  }
  const ssize_t got = ::recv(descriptor, buffer, capacity, MSG_DONTWAIT);
  if (got > 0) return static_cast<long>(got);
  if (got == 0) {
    if (error) *error = "closed by the other side";
    return -1;
  }
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
  if (error) *error = std::strerror(errno);
  return -1;
}

}  // namespace platform
