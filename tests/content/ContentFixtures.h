// Shared by the content tests: the generated archive, built once per test program, and a
// loader opened on it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "data/DataArchive.h"
#include "resources/Loader.h"
#include "support/TestSupport.h"

namespace content_test {

// The members of one generator run (kept for the whole test program: building takes a
// second or two).
inline const content::ZipWriter& generatedMembers(content::DataReport* report = nullptr) {
  static content::DataReport kept;
  static std::unique_ptr<content::ZipWriter> zip = [] {
    auto z = std::make_unique<content::ZipWriter>();
    std::string error;
    EXPECT_EQ(content::buildDataMembers(*z, "9.9.9", kept, error), 0) << error;
    return z;
  }();
  if (report) *report = kept;
  return *zip;
}

inline const std::vector<uint8_t>& member(const std::string& name) {
  static const std::vector<uint8_t> none;
  for (const content::ZipMember& m : generatedMembers().members())
    if (m.name == name) return m.data;
  ADD_FAILURE() << "no member " << name;
  return none;
}

}  // namespace content_test
