#include <gtest/gtest.h>

#include <filesystem>

#include "runtime/Logger.h"
#include "support/TestSupport.h"

using namespace testing_support;

TEST(Logger, DropsLinesBeforeCreateAndWritesAfter) {
  ScratchDir dir;
  Logger log;
  log.path = dir.file("Pylon.txt");
  log << "early line\n";
  ASSERT_EQ(log.create(), 0);
  EXPECT_TRUE(log.enabled);
  EXPECT_TRUE(log.created);
  log << "size: " << 42u << " count " << -3 << "\n";
  log.flush();
  EXPECT_EQ(readFile(log.path), "log created.\nsize: 42 count -3\n");
}

TEST(Logger, SecondCreateReturnsOneAndLeavesTheFileAlone) {
  ScratchDir dir;
  Logger log;
  log.path = dir.file("Pylon.txt");
  ASSERT_EQ(log.create(), 0);
  log << "kept\n";
  EXPECT_EQ(log.create(), 1);
  log << "still writing\n";
  log.flush();
  EXPECT_EQ(readFile(log.path), "log created.\nkept\nstill writing\n");
}

TEST(Logger, CreateTruncatesAnOldLog) {
  ScratchDir dir;
  writeFile(dir.file("Pylon.txt"), "from a previous run\n");
  Logger log;
  log.path = dir.file("Pylon.txt");
  ASSERT_EQ(log.create(), 0);
  log.flush();
  EXPECT_EQ(readFile(log.path), "log created.\n");
}

TEST(Logger, FileThatCannotBeCreatedShowsTheBoxAndStaysDisabled) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.file("Pylon.txt"));  // a folder is in the way
  MessageRecorder boxes;
  Logger log;
  log.path = dir.file("Pylon.txt");
  EXPECT_EQ(log.create(), 1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Error creating log file.");
  EXPECT_EQ(boxes.boxes[0].caption, "Logger::init");
  EXPECT_EQ(boxes.boxes[0].icon, platform::MessageIcon::Error);
  EXPECT_FALSE(log.enabled);
  log << "goes nowhere\n";  // must not crash
}

TEST(Logger, RecentLinesAreKeptWithoutAFileAndStayBounded) {
  Logger log;  // never created: nothing reaches a file
  EXPECT_EQ(log.recentLines(3), "");
  log << "load shader: " << "shaders/a.cgfx" << " .. \n" << "size " << 12 << "\n" << "no valid technique\n";
  EXPECT_EQ(log.recentLines(2), "size 12\nno valid technique");
  EXPECT_EQ(log.recentLines(10), "load shader: shaders/a.cgfx .. \nsize 12\nno valid technique");
  log << "partial";
  EXPECT_EQ(log.recentLines(1), "partial");
  // Megabytes of log keep only a tail, and the tail is the newest text.
  for (int i = 0; i < 20000; ++i) log << "line " << i << "\n";
  EXPECT_EQ(log.recentLines(1), "line 19999");
  EXPECT_LT(log.recentLines(100000).size(), 10000u);
}
