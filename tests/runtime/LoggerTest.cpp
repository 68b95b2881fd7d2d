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
