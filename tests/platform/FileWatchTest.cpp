#include <gtest/gtest.h>

#include <filesystem>

#include "platform/FileWatch.h"
#include "support/TestSupport.h"

using testing_support::writeFile;

TEST(FileWatch, ReportsSavedAndRenamedFilesOnceIncludingNewSubdirectories) {
  testing_support::ScratchDir dir;
  std::filesystem::create_directories(dir.file("shaders"));
  platform::FileWatch watch;
  ASSERT_EQ(watch.add(dir.path(), true), 0);
  EXPECT_TRUE(watch.changed().empty());

  writeFile(dir.file("shaders/a.cgfx"), "one");
  writeFile(dir.file("shaders/a.cgfx"), "two");  // saved twice: reported once
  writeFile(dir.file("b.tmp"), "x");
  std::filesystem::rename(dir.file("b.tmp"), dir.file("b.png"));  // how editors save
  std::vector<std::string> changed = watch.changed();
  EXPECT_EQ(changed, (std::vector<std::string>{dir.file("shaders/a.cgfx"), dir.file("b.tmp"), dir.file("b.png")}));
  EXPECT_TRUE(watch.changed().empty());

  std::filesystem::create_directories(dir.file("late"));
  EXPECT_TRUE(watch.changed().empty());  // the folder itself is not a saved file
  writeFile(dir.file("late/c.mmf"), "mesh");
  EXPECT_EQ(watch.changed(), std::vector<std::string>{dir.file("late/c.mmf")});

  std::string error;
  EXPECT_EQ(watch.add(dir.file("absent"), false, &error), 1);
  EXPECT_NE(error.find("absent"), std::string::npos);
}
