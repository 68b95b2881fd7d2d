// Sockets in the browser: a page cannot open TCP connections, so a sync editor (--sync)
// cannot be followed; every call fails with the stand-in's reason.
#include "platform/Socket.h"

#include "platform/web/Unavailable.h"

namespace platform {

namespace {
const std::string& reason() {
  static const std::string text = notInBrowser("a TCP connection to a sync editor (--sync)");
  return text;
}
}  // namespace

int resolveAddress(const std::string& host, uint16_t port, SocketAddress* address, std::string* error) {
  if (address) address->text = host + ":" + std::to_string(port);
  if (error) *error = reason();
  return 1;
}

Socket::~Socket() = default;

int Socket::connect(const SocketAddress&, std::string* error) {
  if (error) *error = reason();
  return 1;
}

Socket::ConnectState Socket::connectState(std::string* error) {
  if (error) *error = reason();
  return ConnectState::kFailed;
}

long Socket::send(const void*, size_t, std::string* error) {
  if (error) *error = reason();
  return -1;
}

long Socket::receive(void*, size_t, std::string* error) {
  if (error) *error = reason();
  return -1;
}

void Socket::close() {
  descriptor = -1;
  connected = false;
}

}  // namespace platform
