#include <gtest/gtest.h>

#include <zip.h>

#include <string>

#include "support/CommandRun.h"
#include "support/TestSupport.h"

using testing_support::readFile;
using testing_support::writeFile;

namespace {
testing_support::CommandRun pylon(const std::string& arguments) {
  return testing_support::runCommand(std::string(PYLON_BINARY_DIR) + "/pylon " + arguments);
}
}  // namespace

TEST(PylonPack, UnpackThenPackGivesTheSameFilesAndTheSameBytesEveryTime) {
  testing_support::ScratchDir dir;
  const std::string archive = std::string(PYLON_TEST_DATA) + "/resources/archive-zip.zip";
  testing_support::CommandRun run = pylon("unpack " + archive + " " + dir.file("loose"));
  ASSERT_EQ(run.code, 0) << run.output;
  EXPECT_EQ(readFile(dir.file("loose/objects/quad.mmf")).size(), 50u);
  EXPECT_EQ(readFile(dir.file("loose/music/track.ogg")).size(), 10240u);

  ASSERT_EQ(pylon("pack " + dir.file("loose") + " " + dir.file("a.zip")).code, 0);
  ASSERT_EQ(pylon("pack " + dir.file("loose") + " " + dir.file("b.zip")).code, 0);
  EXPECT_EQ(readFile(dir.file("a.zip")), readFile(dir.file("b.zip")));
  run = pylon("ls " + dir.file("a.zip"));
  EXPECT_NE(run.output.find("10240"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("music/track.ogg"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("2 members"), std::string::npos) << run.output;
}

TEST(PylonPack, RefusesMemberNamesOutsideTheTargetAndBadArguments) {
  testing_support::ScratchDir dir;
  int error = 0;
  zip_t* archive = zip_open(dir.file("evil.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  static const char bytes[] = "x";
  zip_file_add(archive, "../escaped.txt", zip_source_buffer(archive, bytes, 1, 0), ZIP_FL_ENC_RAW);
  ASSERT_EQ(zip_close(archive), 0);
  testing_support::CommandRun run = pylon("unpack " + dir.file("evil.zip") + " " + dir.file("out"));
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.output.find("../escaped.txt would land outside"), std::string::npos) << run.output;
  EXPECT_TRUE(readFile(dir.file("escaped.txt")).empty());
  run = pylon("pack " + dir.file("missing") + " " + dir.file("x.zip"));
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.output.find("is not a directory"), std::string::npos);
  EXPECT_EQ(pylon("unpack " + dir.file("evil.zip")).code, 1);
}
