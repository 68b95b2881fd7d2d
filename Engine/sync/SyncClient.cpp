#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "sync/Sync.h"

namespace {

constexpr char kClientGreeting[] = "hello, synctracker!";  // sent without its terminating zero
constexpr char kEditorGreeting[] = "hello, demo!";
constexpr size_t kClientGreetingLength = sizeof kClientGreeting - 1;
constexpr size_t kEditorGreetingLength = sizeof kEditorGreeting - 1;
constexpr size_t kMostBytesPerPoll = 1 << 16;  // an editor that floods cannot hold a frame up

// Commands, as the editor numbers them.
enum : unsigned char { kSetKey = 0, kDeleteKey = 1, kGetTrack = 2, kSetRow = 3, kPause = 4, kSaveTracks = 5 };

uint32_t readBigEndian(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void appendBigEndian(std::vector<unsigned char>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(v >> shift));
}

// The length of a whole command starting with `code`, or 0 for a code the editor never sends.
size_t commandLength(unsigned char code) {
  switch (code) {
    case kSetKey:
      return 14;
    case kDeleteKey:
      return 9;
    case kSetRow:
      return 5;
    case kPause:
      return 2;
    case kSaveTracks:
      return 1;
    default:
      return 0;
  }
}

std::string seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", s);
  return text;
}

}  // namespace

int parseSyncAddress(const std::string& text, std::string* host, uint16_t* port, std::string* error) {
  std::string name = text, number;
  bool hasPort = false;
  if (!text.empty() && text[0] == '[') {  // [IPv6]:PORT
    const size_t close = text.find(']');
    if (close == std::string::npos || (close + 1 < text.size() && text[close + 1] != ':')) {
      if (error) *error = "--sync " + text + ": expected [ADDRESS]:PORT";
      return 1;
    }
    name = text.substr(1, close - 1);
    hasPort = close + 1 < text.size();
    if (hasPort) number = text.substr(close + 2);
  } else if (const size_t colon = text.rfind(':'); colon != std::string::npos) {
    name = text.substr(0, colon);
    number = text.substr(colon + 1);
    hasPort = true;
  }
  unsigned long value = SyncClient::kDefaultPort;
  if (hasPort) {
    const bool digits =
        !number.empty() && number.size() <= 5 && number.find_first_not_of("0123456789") == std::string::npos;
    value = digits ? std::stoul(number) : 0;
    if (value == 0 || value > 65535) {
      if (error) *error = "--sync " + text + ": the port must be a number from 1 to 65535";
      return 1;
    }
  }
  *host = name.empty() ? "127.0.0.1" : name;
  *port = static_cast<uint16_t>(value);
  return 0;
}

SyncClient::SyncClient(SyncTrackSet* tracks) : tracks(tracks) {}

int SyncClient::start(const std::string& host, uint16_t port) {
  std::string error;
  if (platform::resolveAddress(host, port, &address, &error)) {
    if (onMessage) onMessage("sync: cannot find the editor's address " + error);
    return 1;
  }
  started = true;
  state = State::kIdle;
  nextAttempt = 0.0;
  return 0;
}

void SyncClient::stop() {
  socket.close();
  started = false;
  state = State::kIdle;
  incoming.clear();
  outgoing.clear();
}

void SyncClient::tryConnect(double now) {
  std::string error;
  waitingSince = now;
  if (socket.connect(address, &error)) {
    state = State::kConnecting;  // drop() below reports it like a refused connection
    drop("cannot connect to the editor at " + error);
    return;
  }
  state = State::kConnecting;
}

void SyncClient::drop(const std::string& why) {
  const bool wasReady = state == State::kReady;
  socket.close();
  state = State::kIdle;
  nextAttempt = lastNow + retrySeconds;
  incoming.clear();
  outgoing.clear();
  // A link that never came up is reported once, not at every attempt.
  if (wasReady || !quiet) {
    if (onMessage)
      onMessage("sync: " + why + (wasReady ? "; link closed, playing on with the keys it has" : "") +
                "; trying again every " + seconds(retrySeconds));
  }
  quiet = !wasReady;
}

void SyncClient::queueTrackRequest(int index) {
  SyncTrack& track = (*tracks)[index];
  track.keys.clear();  // the editor answers with every key it has for the track
  outgoing.push_back(kGetTrack);
  appendBigEndian(outgoing, static_cast<uint32_t>(track.name.size()));
  outgoing.insert(outgoing.end(), track.name.begin(), track.name.end());
}

void SyncClient::requestTrack(int index) {
  if (state == State::kReady && index >= 0 && index < tracks->size()) queueTrackRequest(index);
}

void SyncClient::flush() {
  while (!outgoing.empty()) {
    std::string error;
    const long sent = socket.send(outgoing.data(), outgoing.size(), &error);
    if (sent < 0) {
      drop("lost the link to the editor at " + address.text + " (" + error + ")");
      return;
    }
    if (sent == 0) return;  // the kernel's buffer is full: the rest goes next frame
    outgoing.erase(outgoing.begin(), outgoing.begin() + sent);
  }
}

void SyncClient::poll(double now, double row, bool playing) {
  lastNow = now;
  if (!started) return;
  std::string error;
  switch (state) {
    case State::kIdle:
      if (now >= nextAttempt) tryConnect(now);
      if (state != State::kConnecting) return;
      [[fallthrough]];
    case State::kConnecting: {
      const platform::Socket::ConnectState connecting = socket.connectState(&error);
      if (connecting == platform::Socket::ConnectState::kFailed) {
        drop("cannot connect to the editor at " + address.text + " (" + error + ")");
        return;
      }
      if (connecting != platform::Socket::ConnectState::kConnected) {
        if (now - waitingSince > answerSeconds)
          drop("the editor at " + address.text + " did not take the connection within " + seconds(answerSeconds));
        return;
      }
      state = State::kGreeting;
      waitingSince = now;
      outgoing.assign(kClientGreeting, kClientGreeting + kClientGreetingLength);
      break;
    }
    case State::kGreeting:
    case State::kReady:
      break;
  }

  // Where the demo is, while it plays: sent before the editor's commands are read, so that a
  // row the editor sets now is not answered with the frame's older one.
  if (state == State::kReady && playing) {
    const int64_t whole = row > 0.0 ? static_cast<int64_t>(std::floor(std::min(row, 4294967295.0))) : 0;
    if (whole != lastRow) {
      lastRow = whole;
      outgoing.push_back(kSetRow);
      appendBigEndian(outgoing, static_cast<uint32_t>(whole));
    }
  }
  flush();
  if (state == State::kIdle) return;
  receive(now);
}

void SyncClient::receive(double now) {
  unsigned char buffer[4096];
  bool closed = false;
  std::string error;
  for (size_t taken = 0; taken < kMostBytesPerPoll;) {
    const long got = socket.receive(buffer, sizeof buffer, &error);
    if (got < 0) {
      closed = true;
      break;
    }
    if (got == 0) break;
    incoming.insert(incoming.end(), buffer, buffer + got);
    taken += static_cast<size_t>(got);
  }

  if (state == State::kGreeting) {
    if (incoming.size() < kEditorGreetingLength) {
      if (closed)
        drop("the editor at " + address.text + " closed the link before its greeting (" + error + ")");
      else if (now - waitingSince > answerSeconds)
        drop("the editor at " + address.text + " did not greet within " + seconds(answerSeconds));
      return;
    }
    if (std::memcmp(incoming.data(), kEditorGreeting, kEditorGreetingLength) != 0) {
      drop("the program at " + address.text + " did not greet as a sync editor (\"hello, demo!\")");
      return;
    }
    incoming.erase(incoming.begin(), incoming.begin() + kEditorGreetingLength);
    state = State::kReady;
    quiet = false;
    ++established;
    lastRow = -1;
    if (onMessage) onMessage("sync: connected to the editor at " + address.text);
    for (int i = 0; i < tracks->size(); ++i) queueTrackRequest(i);
    flush();
    if (state != State::kReady) return;
    waitingSince = now;
  }

  const size_t before = incoming.size();
  if (handleCommands()) return;
  if (closed) {
    if (incoming.empty())
      drop("lost the link to the editor at " + address.text + " (" + error + ")");
    else
      drop("the editor at " + address.text + " closed the link in the middle of a command (" +
           std::to_string(incoming.size()) + " of " + std::to_string(commandLength(incoming[0])) + " bytes)");
    return;
  }
  // A command cut short waits for the rest, but not for ever.
  if (incoming.empty() || incoming.size() != before)
    waitingSince = now;
  else if (now - waitingSince > answerSeconds)
    drop("a command from the editor at " + address.text + " stayed incomplete for " + seconds(answerSeconds) + " (" +
         std::to_string(incoming.size()) + " of " + std::to_string(commandLength(incoming[0])) + " bytes)");
}

int SyncClient::handleCommands() {
  size_t at = 0;
  int dropped = 0;
  while (at < incoming.size()) {
    const unsigned char* command = incoming.data() + at;
    const size_t length = commandLength(command[0]);
    if (length == 0) {
      drop("unknown command " + std::to_string(command[0]) + " from the editor at " + address.text);
      return 1;
    }
    if (incoming.size() - at < length) break;  // the rest comes later
    at += length;
    switch (command[0]) {
      case kSetKey:
      case kDeleteKey: {
        const uint32_t index = readBigEndian(command + 1);
        const char* name = command[0] == kSetKey ? "SET_KEY" : "DELETE_KEY";
        if (index >= static_cast<uint32_t>(tracks->size())) {
          drop(std::string(name) + " for track " + std::to_string(index) + " from the editor at " + address.text +
               ", which was asked for " + std::to_string(tracks->size()) + " tracks");
          return 1;
        }
        SyncTrack& track = (*tracks)[static_cast<int>(index)];
        const uint32_t row = readBigEndian(command + 5);
        if (command[0] == kDeleteKey) {
          track.deleteKey(row);
          break;
        }
        if (command[13] > 3) {
          drop("SET_KEY with the unknown type " + std::to_string(command[13]) + " from the editor at " + address.text);
          return 1;
        }
        SyncKey key;
        key.row = row;
        const uint32_t bits = readBigEndian(command + 9);
        std::memcpy(&key.value, &bits, sizeof bits);
        key.type = static_cast<SyncKeyType>(command[13]);
        if (!std::isfinite(key.value)) {
          if (onMessage)
            onMessage("sync: ignored a key of \"" + track.name + "\" at row " + std::to_string(row) +
                      " whose value is not a finite number");
          break;
        }
        track.setKey(key);
        break;
      }
      case kSetRow: {
        const uint32_t row = readBigEndian(command + 1);
        lastRow = row;
        if (onSetRow) onSetRow(row);
        break;
      }
      case kPause:
        editorPaused = command[1] != 0;
        if (onPause) onPause(editorPaused);
        break;
      case kSaveTracks:
        if (onSave) onSave();
        break;
    }
    if (state != State::kReady) {  // a callback stopped the client
      dropped = 1;
      break;
    }
  }
  if (!dropped) incoming.erase(incoming.begin(), incoming.begin() + static_cast<long>(at));
  return dropped;
}
