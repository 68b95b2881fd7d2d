#include <gtest/gtest.h>

#include <string>

#include "support/CommandRun.h"
#include "support/TestSupport.h"

namespace {

testing_support::CommandRun pylon(const std::string& arguments) {
  return testing_support::runCommand(std::string(PYLON_BINARY_DIR) + "/pylon " + arguments);
}

}  // namespace

TEST(PylonLs, ListsMembersWithTheirSizes) {
  const testing_support::CommandRun run = pylon("ls " + std::string(PYLON_TEST_DATA) + "/resources/archive-zip.zip");
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_EQ(run.output,
            "        size       stored  name\n"
            "          50           50  objects/quad.mmf\n"
            "       10240          366  music/track.ogg\n"
            "       10290          416  2 members\n");
}

TEST(PylonLs, AnArchiveThatDoesNotOpenGivesAMessageAndOne) {
  testing_support::ScratchDir dir;
  testing_support::writeFile(dir.file("text.zip"), "not an archive");
  testing_support::CommandRun run = pylon("ls " + dir.file("text.zip"));
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.output, "pylon ls: cannot open " + dir.file("text.zip") + " as a ZIP archive: Not a zip archive\n");
  run = pylon("ls " + dir.file("absent.zip"));
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.output.find("cannot open " + dir.file("absent.zip")), std::string::npos);
  EXPECT_EQ(pylon("ls").code, 1);
}
