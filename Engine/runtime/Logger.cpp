#include "runtime/Logger.h"

#include <sstream>

#include "platform/MessageBox.h"

Logger::Logger(Runtime* owner) : runtime(owner) {}

int Logger::create() {
  if (created) return 1;
  file.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!file.is_open()) {
    platform::showMessageBox("Error creating log file.", "Logger::init", platform::MessageIcon::Error);
    return 1;
  }
  file << "log created." << '\n';
  file.flush();
  enabled = true;
  created = true;
  return 0;
}

template <typename T>
Logger& Logger::write(const T& piece) {
  // The tail is kept whether or not the file is open: it is what a failure report shows.
  std::ostringstream formatted;
  formatted << piece;
  const std::string text = formatted.str();
  recent += text;
  if (recent.size() > kRecentBytes) recent.erase(0, recent.size() - kRecentBytes / 2);
  if (enabled && file.is_open()) {
    file << text;
    // Flushed piece by piece: the log is read after crashes and while the demo runs.
    file.flush();
  }
  return *this;
}

Logger& Logger::operator<<(const char* text) { return text ? write(text) : *this; }
Logger& Logger::operator<<(const std::string& text) { return write(text); }
Logger& Logger::operator<<(char c) { return write(c); }
Logger& Logger::operator<<(int value) { return write(value); }
Logger& Logger::operator<<(unsigned value) { return write(value); }
Logger& Logger::operator<<(long value) { return write(value); }
Logger& Logger::operator<<(unsigned long value) { return write(value); }
Logger& Logger::operator<<(long long value) { return write(value); }
Logger& Logger::operator<<(unsigned long long value) { return write(value); }
Logger& Logger::operator<<(double value) { return write(value); }

std::string Logger::recentLines(size_t count) const {
  size_t end = recent.size();
  while (end > 0 && recent[end - 1] == '\n') --end;
  size_t begin = end;
  for (size_t lines = 0; begin > 0 && lines < count; --begin)
    if (recent[begin - 1] == '\n' && ++lines == count) break;
  return recent.substr(begin, end - begin);
}

void Logger::flush() {
  if (file.is_open()) file.flush();
}
