// --watch end to end: the player runs over loose files, the test saves a broken post effect
// and then the good one again, and reads what the player said about each save. The run is
// ended with SIGTERM, which the player takes as a close request.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/MessageBox.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

// Polls `file` until it holds `text` (true) or the player ended or 60 s went by (false).
bool waitFor(const std::string& file, const std::string& text, pid_t player) {
  for (int i = 0; i < 600; ++i) {
    if (readFile(file).find(text) != std::string::npos) return true;
    if (waitpid(player, nullptr, WNOHANG) == player) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

size_t countOf(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Saves like an editor that writes a new file and renames it over the old one.
void save(const std::string& path, const std::string& text) {
  writeFile(path + ".new", text);
  ASSERT_EQ(std::rename((path + ".new").c_str(), path.c_str()), 0);
}

// Starts the player over dir/data with --watch, looping its first 3 s, its standard error
// in dir/errors.txt and its log in dir/Pylon.txt.
pid_t startWatching(const ScratchDir& dir) {
  const pid_t player = fork();
  if (player == 0) {
    const std::string bin = PYLON_BINARY_DIR;
    if (chdir(dir.path().c_str()) != 0 || !std::freopen("errors.txt", "w", stderr)) _exit(127);
    execl((bin + "/veltro12").c_str(), "veltro12", "--no-dialog", "--windowed", "--size", "256x192", "--log", "--data",
          "data", "--watch", "--loop", "0", "3", static_cast<char*>(nullptr));
    _exit(127);
  }
  return player;
}

}  // namespace

TEST(LiveEditRun, ABrokenEffectSavedDuringTheRunKeepsItGoingAndTheFixComesBack) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  const std::string bin = PYLON_BINARY_DIR;
  ASSERT_EQ(std::system(("'" + bin + "/pylon' unpack '" + bin + "/data.zip' '" + dir.file("data") + "' >/dev/null").c_str()),
            0);
  const std::string effect = dir.file("data/shaders/bloom-final.cgfx");
  const std::string good = readFile(effect);
  const std::string goodLine = "    float luma = dot(c, vec3(0.299, 0.587, 0.114));\n";
  const size_t at = good.find(goodLine);
  ASSERT_NE(at, std::string::npos) << "the test's line is no longer in bloom-final.cgfx";
  const int brokenLine = 1 + static_cast<int>(std::count(good.begin(), good.begin() + static_cast<long>(at), '\n'));
  std::string broken = good;
  broken.replace(at, goodLine.size(), "    float luma = dot(c, vec3(0.299, 0.587, 0.114)) + undefinedThing;\n");

  const pid_t player = startWatching(dir);
  ASSERT_GE(player, 0);
  const std::string log = dir.file("Pylon.txt"), errors = dir.file("errors.txt");
  bool watching = waitFor(log, "watching for saved files: ", player);
  bool failed = false, reloaded = false;
  if (watching) {
    save(effect, broken);
    failed = waitFor(errors, "veltro12: reload failed: shaders/bloom-final.cgfx: line " + std::to_string(brokenLine),
                     player);
    save(effect, good);
    reloaded = waitFor(log, "reloaded: shaders/bloom-final.cgfx", player);
  }
  kill(player, SIGTERM);
  int status = 0;
  waitpid(player, &status, 0);
  EXPECT_TRUE(watching) << readFile(errors);
  EXPECT_TRUE(failed) << readFile(errors);
  EXPECT_NE(readFile(errors).find("undefinedThing"), std::string::npos);
  EXPECT_TRUE(reloaded) << readFile(log);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << "\n" << readFile(errors);
}

// The production file saved during a run: a file with an error leaves the last good
// production playing with the error named, and a good one is played from the same demo time.
TEST(LiveEditRun, ASavedProductionFileIsCheckedAndPlayedWithoutARestart) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  const std::string bin = PYLON_BINARY_DIR;
  ASSERT_EQ(std::system(("'" + bin + "/pylon' new '" + dir.file("data") + "' >/dev/null").c_str()), 0);
  const std::string production = dir.file("data/production.txtpb");
  const std::string good = readFile(production);
  const pid_t player = startWatching(dir);
  ASSERT_GE(player, 0);
  const std::string log = dir.file("Pylon.txt"), errors = dir.file("errors.txt");
  const bool watching = waitFor(log, "watching for saved files: ", player);
  bool refused = false, played = false;
  if (watching) {
    save(production, good + "entry { part: \"nowhere\" end: 3 }\n");
    refused = waitFor(errors, "production.txtpb:61:9: entry 3 (part \"nowhere\"): there is no part \"nowhere\"", player);
    std::string shorter = good;
    shorter.replace(shorter.find("length_beats: 32"), 16, "length: 2");
    save(production, shorter);
    played = waitFor(log, "reloaded: ", player);
  }
  kill(player, SIGTERM);
  int status = 0;
  waitpid(player, &status, 0);
  EXPECT_TRUE(watching) << readFile(errors);
  EXPECT_TRUE(refused) << readFile(errors);
  EXPECT_TRUE(played) << readFile(log);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << "\n" << readFile(errors);
}

TEST(LiveEditRun, AWatchedSceneReloadsForItsOwnFilesOnlyAndSaysSoOnce) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  const std::string data = std::string(PYLON_TEST_DATA) + "/gltf/";
  ASSERT_EQ(std::system(("mkdir -p '" + dir.file("scene") + "' && cp '" + data + "scene-keys.gltf' '" + data +
                         "scene-keys.bin' '" + data + "checker.png' '" + dir.file("scene") + "'")
                            .c_str()),
            0);
  const pid_t player = fork();
  ASSERT_GE(player, 0);
  if (player == 0) {
    if (chdir(dir.path().c_str()) != 0 || !std::freopen("errors.txt", "w", stderr)) _exit(127);
    execl((std::string(PYLON_BINARY_DIR) + "/veltro12").c_str(), "veltro12", "--no-dialog", "--windowed", "--size",
          "256x192", "--log", "--data", (std::string(PYLON_BINARY_DIR) + "/data.zip").c_str(), "--scene",
          "scene/scene-keys.gltf", "--watch", "--loop", "0", "3", static_cast<char*>(nullptr));
    _exit(127);
  }
  const std::string log = dir.file("Pylon.txt"), errors = dir.file("errors.txt");
  const bool watching = waitFor(log, "watching for saved files: ", player);
  bool reloaded = false;
  if (watching) {
    // A screenshot and a backup beside the scene: nothing the scene reads.
    save(dir.file("scene/screenshot.png"), readFile(dir.file("scene/checker.png")));
    save(dir.file("scene/scene-keys.gltf.bak"), "{}");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    save(dir.file("scene/scene-keys.bin"), readFile(dir.file("scene/scene-keys.bin")));
    reloaded = waitFor(errors, "veltro12: reloaded: ", player);
  }
  kill(player, SIGTERM);
  waitpid(player, nullptr, 0);
  ASSERT_TRUE(watching) << readFile(errors);
  EXPECT_TRUE(reloaded) << readFile(errors);
  const std::string said = readFile(errors);
  EXPECT_EQ(countOf(readFile(log), "reloaded: "), 1u) << readFile(log);
  EXPECT_NE(said.find("veltro12: reloaded: " + dir.file("scene/scene-keys.gltf") + "\n"), std::string::npos) << said;
  // The import's notes came at the start; the reload's are the same, so they are not repeated.
  EXPECT_EQ(countOf(said, "veltro12: not carried: camera 'Camera': its aspect ratio"), 1u) << said;
}
