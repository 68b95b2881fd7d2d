// Logger: the engine's plain-text log, "Pylon.txt" in the working directory.
//
// Owned by Runtime. Nothing is written until create() has opened the file (Screen::init calls
// it after the start-up dialog when "Create Log" is chosen); pieces streamed before that are
// dropped. Every line ends with an explicit "\n" written by the caller. create() runs once:
// a second call returns 1 and leaves the open file alone. Not for anything the user must
// see: failures the user must know about are message boxes.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

class Runtime;

class Logger {
 public:
  explicit Logger(Runtime* runtime = nullptr);

  // 0 on success; 1 when already created or the file cannot be opened (with a message box).
  int create();

  Logger& operator<<(const char* text);
  Logger& operator<<(const std::string& text);
  Logger& operator<<(char c);
  Logger& operator<<(int value);
  Logger& operator<<(unsigned value);
  Logger& operator<<(long value);
  Logger& operator<<(unsigned long value);
  Logger& operator<<(long long value);
  Logger& operator<<(unsigned long long value);
  Logger& operator<<(double value);

  void flush();

  // The last `count` lines streamed, whether or not the file is open (the tail of the last
  // few kilobytes): what a failure the user must see can quote, log file or not.
  std::string recentLines(size_t count) const;

  Runtime* runtime = nullptr;
  bool enabled = false;
  bool created = false;
  std::string path = "Pylon.txt";  // tests point it elsewhere

 private:
  template <typename T>
  Logger& write(const T& piece);
  std::ofstream file;
  static constexpr size_t kRecentBytes = 8192;
  std::string recent;
};
