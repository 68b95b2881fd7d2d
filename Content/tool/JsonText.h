// JsonText: the JSON string form the pylon subcommands that print JSON share.
#pragma once

#include <cstdio>
#include <string>

// A JSON string: quotes, backslashes and control characters escaped, other bytes as they are
// (names are UTF-8).
inline std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}
