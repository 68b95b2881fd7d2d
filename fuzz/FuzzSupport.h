// Shared set-up of the fuzz targets: message boxes go nowhere (a damaged input is expected
// to raise them), and the loader has no Runtime, so nothing is logged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/MessageBox.h"

inline void quietBoxes() {
  static const bool once = [] {
    platform::setMessageSink([](const std::string&, const std::string&, platform::MessageIcon) {});
    return true;
  }();
  (void)once;
}
