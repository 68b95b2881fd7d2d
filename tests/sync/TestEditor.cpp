#include "TestEditor.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

std::string bigEndian(uint32_t value) {
  const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
  return std::string(bytes, 4);
}

TestEditor::TestEditor() {
  listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(listener, 4) == 0 &&
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    listenPort = ntohs(address.sin_port);
}

TestEditor::~TestEditor() {
  dropPlayer();
  stopListening();
}

void TestEditor::stopListening() {
  if (listener >= 0) close(listener);
  listener = -1;
}

void TestEditor::dropPlayer() {
  if (player >= 0) close(player);
  player = -1;
}

bool TestEditor::pump() {
  if (player < 0 && listener >= 0) {
    player = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (player >= 0) {
      ++accepted;
      received.clear();
      requested.clear();
      rows.clear();
      parsed = 0;
      greeted = false;
      malformed = false;
    }
  }
  if (player < 0) return false;
  char buffer[4096];
  for (;;) {
    const ssize_t got = recv(player, buffer, sizeof buffer, 0);
    if (got == 0) {  // the player closed the link
      dropPlayer();
      return false;
    }
    if (got < 0) break;
    received.append(buffer, static_cast<size_t>(got));
  }
  parse();
  return player >= 0;
}

void TestEditor::parse() {
  static const std::string kHello = "hello, synctracker!";
  if (!greeted) {
    if (received.size() < kHello.size()) return;
    if (received.compare(0, kHello.size(), kHello) != 0) {
      malformed = true;
      return;
    }
    greeted = true;
    parsed = kHello.size();
    if (!greets) return;
    send("hello, demo!");
    pause(true);
    setRow(startRow);
  }
  while (parsed < received.size() && !malformed) {
    const unsigned char code = static_cast<unsigned char>(received[parsed]);
    const size_t left = received.size() - parsed;
    auto u32 = [&](size_t at) {
      const auto* p = reinterpret_cast<const unsigned char*>(received.data() + parsed + at);
      return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
    };
    if (code == 2) {  // GET_TRACK
      if (left < 5 || left < 5 + u32(1)) return;
      const uint32_t length = u32(1);
      const std::string name = received.substr(parsed + 5, length);
      parsed += 5 + length;
      const uint32_t index = static_cast<uint32_t>(requested.size());
      requested.push_back(name);
      for (const SyncKey& key : keys[name]) setKey(index, key);
    } else if (code == 3) {  // SET_ROW
      if (left < 5) return;
      rows.push_back(u32(1));
      parsed += 5;
    } else {
      malformed = true;
    }
  }
}

void TestEditor::send(const std::string& bytes) {
  if (player >= 0) ::send(player, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

void TestEditor::setKey(uint32_t track, const SyncKey& key) {
  uint32_t bits;
  std::memcpy(&bits, &key.value, sizeof bits);
  send(std::string(1, '\0') + bigEndian(track) + bigEndian(key.row) + bigEndian(bits) +
       std::string(1, static_cast<char>(key.type)));
}

void TestEditor::deleteKey(uint32_t track, uint32_t row) {
  send(std::string(1, '\1') + bigEndian(track) + bigEndian(row));
}
void TestEditor::setRow(uint32_t row) { send(std::string(1, '\3') + bigEndian(row)); }
void TestEditor::pause(bool on) { send(std::string(1, '\4') + std::string(1, on ? '\1' : '\0')); }
void TestEditor::save() { send(std::string(1, '\5')); }
