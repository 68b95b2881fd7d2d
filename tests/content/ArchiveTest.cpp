// The generated data archive: deterministic, complete, and readable by the engine's loader.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "ContentFixtures.h"
#include "data/DataArchive.h"

namespace {

std::vector<uint8_t> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The members the player reads by name (besides those the scene names).
const char* const kProductionMembers[] = {
    "city-03.pb",
    "objects/quad.mmf",
    "objects/cube_env100out.mmf",
    "objects/veltro.mmf",
    "objects/veltro-far.mmf",
    "textures/gradient.png",
    "textures/veltro512.png",
    "shaders/cars.cgfx",
    "music/ambient_adventure_by_tessar.ogg",
};
// The post chain's effects, kept in Content/effects/post.
const char* const kPostEffects[] = {"bloom-bright_pass.cgfx", "bloom-gaussH.cgfx", "bloom-gaussV.cgfx",
                                    "bloom-final.cgfx",       "post-overlay.cgfx", "post-mixer.cgfx",
                                    "post-wipe.cgfx"};

TEST(DataArchive, AFreshRunWritesTheSameBytesAsTheBuildDid) {
  testing_support::ScratchDir dir;
  content::DataReport report;
  std::string error, path = dir.path() + "/again.zip";
  ASSERT_EQ(content::writeDataArchive(path, PYLON_VERSION_TEXT, report, error), 0) << error;
  std::vector<uint8_t> fresh = fileBytes(path), built = fileBytes(content_test::builtArchivePath());
  ASSERT_GT(built.size(), 100000u);
  EXPECT_TRUE(fresh == built) << "the generator gave different bytes this time";
}

TEST(DataArchive, HoldsEveryMemberThePlayerAndTheSceneName) {
  Loader& loader = content_test::builtArchive();
  std::vector<std::string> wanted(std::begin(kProductionMembers), std::end(kProductionMembers));
  for (const char* name : kPostEffects) wanted.push_back(std::string("shaders/") + name);
  const Kestrel::KestrelLib& scene = content_test::cityScene();
  for (const Kestrel::Texture& t : scene.texture()) wanted.push_back(t.source());
  for (const Kestrel::Shader& s : scene.shader()) wanted.push_back(s.source());

  for (const std::string& name : wanted) {
    uint32_t size = loader.getSize(name);
    ASSERT_GT(size, 0u) << name;
    std::vector<uint8_t> bytes(size);
    EXPECT_EQ(loader.read(name, bytes.data()), 0) << name;
  }
}

TEST(DataArchive, EveryEffectSourceOfTheRepositoryIsAMember) {
  std::set<std::string> names;
  for (const ArchiveEntry& e : content_test::builtArchive().entries()) names.insert(e.name);
  for (const char* folder : {"/Content/effects", "/Content/effects/post"}) {
    std::string dir = std::string(PYLON_SOURCE_DIR) + folder;
    if (!std::filesystem::exists(dir)) continue;
    for (const auto& f : std::filesystem::directory_iterator(dir))
      if (f.path().extension() == ".cgfx") {
        EXPECT_TRUE(names.count("shaders/" + f.path().filename().string())) << f.path();
      }
  }
}

TEST(ZipWriter, RefusesDuplicatesAndNamesTheFileItCannotWrite) {
  content::ZipWriter zip;
  EXPECT_EQ(zip.add("a.txt", {1, 2, 3}), 0);
  EXPECT_EQ(zip.add("a.txt", {4}), 1);
  std::string error;
  EXPECT_EQ(zip.write("/nonexistent-folder/out.zip", error), 1);
  EXPECT_NE(error.find("/nonexistent-folder/out.zip"), std::string::npos) << error;
}

TEST(ZipWriter, StoredAndDeflatedMembersReadBackExactly) {
  testing_support::ScratchDir dir;
  content::ZipWriter zip;
  std::vector<uint8_t> text(5000, 'x'), image(777);
  for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i * 31);
  ASSERT_EQ(zip.add("dir/text.txt", text), 0);
  ASSERT_EQ(zip.add("dir/pic.png", image), 0);
  ASSERT_EQ(zip.add("empty.bin", {}), 0);
  std::string path = dir.path() + "/t.zip", error;
  ASSERT_EQ(zip.write(path, error), 0) << error;
  Loader loader;
  ASSERT_EQ(loader.openArchive(path, &error), 0) << error;
  std::vector<ArchiveEntry> entries = loader.entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "dir/text.txt");
  EXPECT_LT(entries[0].compressedSize, 200u);  // deflated
  EXPECT_EQ(entries[1].compressedSize, 777u);  // stored
  for (auto [name, want] : {std::pair{"dir/text.txt", &text}, std::pair{"dir/pic.png", &image}}) {
    std::vector<uint8_t> got(loader.getSize(name));
    ASSERT_EQ(loader.read(name, got.data()), 0);
    EXPECT_TRUE(got == *want) << name;
  }
}

}  // namespace
