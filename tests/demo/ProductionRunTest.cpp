// Productions as files, end to end: what pylon new writes checks and plays to its own end,
// pylon check lists every error of a production at once, and the player refuses a
// production with errors before any window opens.
#include <gtest/gtest.h>

#include <string>

#include "platform/MessageBox.h"
#include "support/CommandRun.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {
const std::string kBin = PYLON_BINARY_DIR;
}

TEST(ProductionRun, ANewProductionChecksAndPlaysToItsOwnEndWithExitCodeZero) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  const std::string data = dir.file("mine");
  CommandRun made = runCommand(quoted(kBin + "/pylon") + " new " + quoted(data) + " --beats 17");
  ASSERT_EQ(made.code, 0) << made.output;
  CommandRun checked = runCommand(quoted(kBin + "/pylon") + " check " + quoted(data));
  EXPECT_EQ(checked.code, 0) << checked.output;
  // 17 beats are 9.1375 s: a capture from 9 s ends by itself after the frame at 9.2 s.
  CommandRun played = runCommand("cd " + quoted(dir.path()) + " && " + quoted(kBin + "/veltro12") +
                                 " --no-dialog --windowed --size 160x90 --fps 15 --from 9 --data mine --capture out.avi");
  EXPECT_EQ(played.code, 0) << played.output;
  EXPECT_NE(played.output.find(" 3 frames"), std::string::npos) << played.output;
}

// The second production in the repository: its build script packs and checks an archive, and
// the player plays its last second to its own end.
TEST(ProductionRun, LanternsBuildsChecksAndPlaysToItsEnd) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  const std::string archive = dir.file("lanterns.zip");
  CommandRun built = runCommand("bash " + quoted(std::string(PYLON_SOURCE_DIR) + "/productions/lanterns/build.sh") +
                                " --pack-only " + quoted(archive) + " " + quoted(kBin + "/pylon"));
  ASSERT_EQ(built.code, 0) << built.output;
  EXPECT_NE(built.output.find("no errors"), std::string::npos) << built.output;
  CommandRun played = runCommand("cd " + quoted(dir.path()) + " && " + quoted(kBin + "/veltro12") +
                                 " --no-dialog --windowed --size 160x90 --fps 15 --from 71 --data lanterns.zip --capture out.avi");
  EXPECT_EQ(played.code, 0) << played.output;
}

TEST(ProductionRun, EveryErrorIsListedAndThePlayerRefusesTheProduction) {
  ScratchDir dir;
  const std::string data = dir.file("mine");
  ASSERT_EQ(runCommand(quoted(kBin + "/pylon") + " new " + quoted(data)).code, 0);
  std::string text = readFile(data + "/production.txtpb");
  text.replace(text.find("bloom_threshold: 0.6"), 20, "bloom_threshold: 0.6 glow: 2");  // an unknown field
  text.replace(text.find("effect: \"shaders/field.cgfx\""), 28, "effect: \"shaders/missing.cgfx\"");
  text += "entry { part: \"field\" start: 20 end: 19 }\n";
  writeFile(data + "/production.txtpb", text);

  CommandRun checked = runCommand(quoted(kBin + "/pylon") + " check " + quoted(data));
  EXPECT_EQ(checked.code, 1);
  EXPECT_NE(checked.output.find("has no field named \"glow\""), std::string::npos) << checked.output;
  EXPECT_NE(checked.output.find("part \"field\": the effect shaders/missing.cgfx is not in"), std::string::npos)
      << checked.output;
  EXPECT_NE(checked.output.find("entry 3 (part \"field\"): ends at 19 s, not after its start at 20 s"), std::string::npos)
      << checked.output;
  EXPECT_NE(checked.output.find("pylon check: 3 errors"), std::string::npos) << checked.output;

  CommandRun played = runCommand(quoted(kBin + "/veltro12") + " --no-dialog --data " + quoted(data) + " --shot 1 " +
                                 quoted(dir.file("x.png")));
  EXPECT_EQ(played.code, 1);
  EXPECT_NE(played.output.find("Production::load: " + data + "/production.txtpb:"), std::string::npos) << played.output;
  EXPECT_NE(played.output.find("ends at 19 s"), std::string::npos) << played.output;
}
