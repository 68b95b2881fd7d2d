#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/TestSupport.h"

namespace {

struct ToolRun {
  int code;
  std::string output;  // stdout and stderr together
};

ToolRun pylon(const std::string& arguments) {
  const std::string command = std::string(PYLON_BINARY_DIR) + "/pylon " + arguments + " 2>&1";
  ToolRun run{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char chunk[512];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) run.output.append(chunk, got);
  const int status = pclose(pipe);
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

}  // namespace

TEST(PylonLs, ListsMembersWithTheirSizes) {
  const ToolRun run = pylon("ls " + std::string(PYLON_TEST_DATA) + "/resources/archive-zip.zip");
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
  ToolRun run = pylon("ls " + dir.file("text.zip"));
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.output, "pylon ls: cannot open " + dir.file("text.zip") + " as a ZIP archive: Not a zip archive\n");
  run = pylon("ls " + dir.file("absent.zip"));
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.output.find("cannot open " + dir.file("absent.zip")), std::string::npos);
  EXPECT_EQ(pylon("ls").code, 1);
}
