#include <gtest/gtest.h>

#include <filesystem>

#include "ResourceFixtures.h"
#include "resources/Loader.h"

using testing_support::writeFile;

namespace {
std::string readMember(Loader& loader, const std::string& name) {
  const uint32_t size = loader.getSize(name);
  std::string bytes(size, '\0');
  if (size == 0 || loader.read(name, bytes.data()) != 0) return "<failed>";
  return bytes;
}
}  // namespace

TEST(LooseFiles, ADirectoryIsFoundWithTheArchivesLookup) {
  testing_support::ScratchDir dir;
  std::filesystem::create_directories(dir.file("Textures"));
  writeFile(dir.file("Textures/Gradient.png"), "png bytes");
  writeFile(dir.file("city-03.pb"), "scene");
  Loader loader;
  ASSERT_EQ(loader.openArchive(dir.path()), 0);
  EXPECT_TRUE(loader.opened);
  EXPECT_EQ(readMember(loader, "textures\\gradient.PNG"), "png bytes");
  EXPECT_EQ(readMember(loader, "CITY-03.pb"), "scene");
  EXPECT_EQ(loader.getSize("absent.png"), 0u);
  ASSERT_EQ(loader.entries().size(), 2u);
  EXPECT_EQ(loader.entries()[0].name, "Textures/Gradient.png");
  EXPECT_EQ(loader.entries()[1].name, "city-03.pb");
  EXPECT_EQ(loader.looseFilePath("TEXTURES/gradient.png"), dir.file("Textures/Gradient.png"));

  // A file saved after opening is found; one that changed size between getSize and read is
  // refused instead of overrunning the caller's block.
  writeFile(dir.file("late.cgfx"), "late");
  EXPECT_EQ(readMember(loader, "late.cgfx"), "late");
  testing_support::MessageRecorder boxes;
  std::string block(loader.getSize("late.cgfx"), '\0');
  writeFile(dir.file("late.cgfx"), "grown longer");
  EXPECT_EQ(loader.read("late.cgfx", block.data()), 1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].caption, "decompressing file error");

  EXPECT_EQ(loader.openArchive(dir.file("absent-dir/")), 1);
  EXPECT_FALSE(loader.opened);
}
