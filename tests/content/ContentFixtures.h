// Shared by the content tests: the archive the build generated beside the programs, opened
// with the engine's loader, and the scene parsed from it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/Loader.h"
#include "support/TestSupport.h"

namespace content_test {

inline std::string builtArchivePath() { return std::string(PYLON_BINARY_DIR) + "/data.zip"; }

inline Loader& builtArchive() {
  static Loader loader;
  static bool opened = [] {
    std::string error;
    EXPECT_EQ(loader.openArchive(builtArchivePath(), &error), 0) << error;
    return true;
  }();
  (void)opened;
  return loader;
}

inline std::vector<uint8_t> member(const std::string& name) {
  Loader& loader = builtArchive();
  std::vector<uint8_t> bytes(loader.getSize(name));
  if (bytes.empty() || loader.read(name, bytes.data()) != 0) ADD_FAILURE() << "no member " << name;
  return bytes;
}

inline const Kestrel::KestrelLib& cityScene() {
  static Kestrel::KestrelLib scene;
  static bool parsed = [] {
    std::vector<uint8_t> pb = member("city-03.pb");
    EXPECT_TRUE(scene.ParseFromArray(pb.data(), int(pb.size())));
    return true;
  }();
  (void)parsed;
  return scene;
}

}  // namespace content_test
