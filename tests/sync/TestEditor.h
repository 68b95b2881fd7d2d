// A small sync editor for the link's tests: listens on a loopback port, speaks the editor's
// side of the wire format byte for byte (big-endian), and answers GET_TRACK with the keys it
// holds for that name, as a real editor does. Never blocks: pump() takes what is there.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sync/Sync.h"

class TestEditor {
 public:
  TestEditor();  // listens on 127.0.0.1, on a port of the kernel's choice
  ~TestEditor();
  uint16_t port() const { return listenPort; }

  // Accepts a waiting player, reads what it sent, greets it once it has greeted (when
  // `greets`), then sends PAUSE 1 and SET_ROW `startRow` as an editor does on connect, and
  // answers each GET_TRACK with SET_KEYs. Returns whether a player is connected.
  bool pump();
  void send(const std::string& bytes);
  void setKey(uint32_t track, const SyncKey& key);
  void deleteKey(uint32_t track, uint32_t row);
  void setRow(uint32_t row);
  void pause(bool on);
  void save();
  void dropPlayer();  // closes the player's link
  void stopListening();

  bool greets = true;
  uint32_t startRow = 0;
  std::map<std::string, std::vector<SyncKey>> keys;  // what GET_TRACK answers with

  // What the player sent over the current link.
  std::string received;                // every byte, greeting included
  std::vector<std::string> requested;  // GET_TRACK names in order; index = track index
  std::vector<uint32_t> rows;          // SET_ROW rows
  bool malformed = false;              // the player sent something that is not a command
  int accepted = 0;

 private:
  void parse();
  int listener = -1;
  int player = -1;
  uint16_t listenPort = 0;
  size_t parsed = 0;
  bool greeted = false;
};

std::string bigEndian(uint32_t value);
