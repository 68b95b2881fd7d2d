#include <gtest/gtest.h>

#include <google/protobuf/descriptor.h>
#include <google/protobuf/descriptor.pb.h>

#include "ResourceFixtures.h"
#include "resources/KestrelLibDynamic.h"
#include "resources/Loader.h"

using namespace resource_fixtures;
using testing_support::readFile;
using testing_support::writeFile;

namespace {

std::string readEntry(Loader& loader, const std::string& name) {
  const uint32_t size = loader.getSize(name);
  std::string bytes(size, '\0');
  if (size == 0 || loader.read(name, bytes.data()) != 0) return "<failed>";
  return bytes;
}

std::string expectedPattern() {
  std::string bytes(3000, '\0');
  for (int i = 0; i < 3000; ++i) bytes[i] = static_cast<char>((i * 7 + i / 13) & 0xFF);
  return bytes;
}

}  // namespace

TEST(SceneSchema, CompiledDescriptorIsTheSchemaByteForByte) {
  const google::protobuf::FileDescriptor* file =
      google::protobuf::DescriptorPool::generated_pool()->FindFileByName("KestrelLib.proto");
  ASSERT_NE(file, nullptr) << "the schema is registered at start-up";
  google::protobuf::FileDescriptorProto proto;
  file->CopyTo(&proto);
  // The schema plus the fields added since: Object.name (18) for the tools; for imported
  // materials and lights Shader.value (4) with the message ShaderValue, Material.blended (9),
  // Light.range (9), innerCone (10) and outerCone (11), and KestrelLib.world (13) with the
  // message World (r, g, b, ambientSH).
  EXPECT_EQ(proto.SerializeAsString().size(), 2807u);
  EXPECT_NE(file->FindMessageTypeByName("Object")->FindFieldByNumber(18), nullptr);
  EXPECT_EQ(file->package(), "Kestrel");
  EXPECT_NE(file->FindMessageTypeByName("KestrelLib"), nullptr);
}

TEST(SceneSchema, DynamicRootIsTheMessagePlusEffectLists) {
  KestrelLibDynamic scene;
  Kestrel::KestrelLib& root = scene;
  root.add_texture()->set_source("a.png");
  scene.effects.push_back(nullptr);
  scene.techniques.push_back(nullptr);
  EXPECT_EQ(scene.texture_size(), 1);
  EXPECT_EQ(root.GetDescriptor()->full_name(), "Kestrel.KestrelLib");
  EXPECT_EQ(scene.effects.size(), scene.techniques.size());
}

TEST(Archive, ReadsStoredAndDeflatedEntriesWrittenByPythonZipfile) {
  Loader loader;
  std::string error;
  ASSERT_EQ(loader.openArchive(fixture("archive-python.zip"), &error), 0) << error;
  EXPECT_TRUE(loader.opened);
  EXPECT_EQ(loader.getSize("readme.txt"), 15u);
  EXPECT_EQ(readEntry(loader, "readme.txt"), "hello, archive\n");
  EXPECT_EQ(readEntry(loader, "textures/gradient.png"), expectedPattern());
}

TEST(Archive, ReadsEntriesWrittenByTheZipCommand) {
  Loader loader;
  ASSERT_EQ(loader.openArchive(fixture("archive-zip.zip")), 0);
  EXPECT_EQ(readEntry(loader, "objects/quad.mmf"), "<MMF>\n<points>\n0 0 0\n1 0 0\n0 1 0\n</points>\n</MMF>\n");
  std::string music;
  for (int i = 0; i < 40; ++i)
    for (int b = 0; b < 256; ++b) music += static_cast<char>(b);
  EXPECT_EQ(readEntry(loader, "music/track.ogg"), music);
}

TEST(Archive, LookupTurnsBackslashesIntoSlashesAndIgnoresCase) {
  Loader loader;
  ASSERT_EQ(loader.openArchive(fixture("archive-python.zip")), 0);
  EXPECT_EQ(loader.getSize("textures\\Gradient.PNG"), 3000u);
  EXPECT_EQ(readEntry(loader, "TEXTURES\\gradient.png"), expectedPattern());
  EXPECT_EQ(loader.getSize("README.TXT"), 15u);
  // The whole name must match: no prefixes, no partial paths.
  EXPECT_EQ(loader.getSize("textures"), 0u);
  EXPECT_EQ(loader.getSize("gradient.png"), 0u);
  EXPECT_EQ(loader.getSize("readme.txt "), 0u);
}

TEST(Archive, OfTwoNamesDifferingOnlyInCaseTheEarlierWins) {
  Loader loader;
  ASSERT_EQ(loader.openArchive(fixture("archive-python.zip")), 0);
  EXPECT_EQ(readEntry(loader, "dup/name.txt"), "first");
  EXPECT_EQ(readEntry(loader, "dup/name.TXT"), "first");
  EXPECT_EQ(readEntry(loader, "DUP\\NAME.TXT"), "first");
}

TEST(Archive, NamesOf256CharactersOrMoreAreNeverFound) {
  Loader loader;
  ASSERT_EQ(loader.openArchive(fixture("archive-python.zip")), 0);
  const std::string name255 = "n/" + std::string(253, 'a');
  const std::string name256 = "n/" + std::string(254, 'b');
  EXPECT_EQ(readEntry(loader, name255), "255");
  EXPECT_EQ(loader.getSize(name256), 0u);
  char buffer[8];
  EXPECT_EQ(loader.read(name256, buffer), 1);
  EXPECT_EQ(loader.getSize(std::string(5000, 'x')), 0u);
}

TEST(Archive, LogsEveryLookupAndReadFailsSilentlyForMissingNames) {
  LoggedRuntime env;
  Loader loader;
  loader.runtime = env.runtime;
  ASSERT_EQ(loader.openArchive(fixture("archive-python.zip")), 0);
  EXPECT_EQ(loader.getSize("textures\\Gradient.PNG"), 3000u);
  EXPECT_EQ(loader.getSize("nothing/here.png"), 0u);
  // An empty entry cannot be told from a missing one.
  EXPECT_EQ(loader.getSize("empty.bin"), 0u);
  char buffer[4];
  EXPECT_EQ(loader.read("nothing/here.png", buffer), 1);
  EXPECT_EQ(env.log(),
            "\nfile: textures\\Gradient.PNG size: 3000\n"
            " file not found: nothing/here.png\n"
            "\nfile: empty.bin size: 0\n");
  EXPECT_TRUE(env.boxes.boxes.empty());
}

TEST(Archive, AMissingOrBrokenArchiveLeavesAnUnopenedLoader) {
  testing_support::ScratchDir dir;
  testing_support::MessageRecorder boxes;
  writeFile(dir.file("notzip.zip"), "this is not a zip archive at all, just some text");
  Loader loader;
  std::string error;
  EXPECT_EQ(loader.openArchive(dir.file("missing.zip"), &error), 1);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(loader.openArchive(dir.file("notzip.zip"), &error), 1);
  EXPECT_FALSE(loader.opened);
  EXPECT_EQ(loader.getSize("readme.txt"), 0u);
  char buffer[4];
  EXPECT_EQ(loader.read("readme.txt", buffer), 1);
  EXPECT_TRUE(boxes.boxes.empty()) << "only the program's own loader shows a box";

  programOptions().dataFile = dir.file("notzip.zip");
  Loader program(nullptr);
  programOptions() = ProgramOptions{};
  EXPECT_FALSE(program.opened);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  // The file is there: the box names it and what is wrong with it.
  EXPECT_EQ(boxes.boxes[0].text.rfind("Data file not found.\n\n" + dir.file("notzip.zip") +
                                          " is not a readable ZIP archive: ",
                                      0),
            0u)
      << boxes.boxes[0].text;
  EXPECT_EQ(boxes.boxes[0].caption, "Loader::loader");
  EXPECT_EQ(boxes.boxes[0].icon, platform::MessageIcon::Error);

  // A missing file is named too, a relative name as the working directory resolves it; the
  // default name also says where else it was looked for.
  {
    testing_support::WorkingDir cwd(dir.path());
    programOptions().dataFile = "sub/../missing.zip";
    Loader absent(nullptr);
    programOptions() = ProgramOptions{};
    EXPECT_EQ(Loader::describeOpenFailure("data.zip", "", true),
              dir.file("data.zip") + ": No such file or directory (nor beside the program; --data FILE names another archive)");
  }
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].text, "Data file not found.\n\n" + dir.file("missing.zip") + ": No such file or directory.");
}

// Damage the stored bytes of an entry (found by its content) and read it back.
class DamagedEntry : public ::testing::Test {
 protected:
  std::string damage(const std::string& archive, const std::string& content, size_t at, char value) {
    std::string bytes = readFile(archive);
    const size_t where = bytes.find(content);
    EXPECT_NE(where, std::string::npos);
    bytes[where + at] = value;
    const std::string path = dir.file("damaged.zip");
    writeFile(path, bytes);
    return path;
  }
  testing_support::ScratchDir dir;
  testing_support::MessageRecorder boxes;
};

TEST_F(DamagedEntry, ChecksumMismatchGivesTheBoxAndOne) {
  Loader loader;
  ASSERT_EQ(loader.openArchive(damage(fixture("archive-python.zip"), "hello, archive", 0, 'J')), 0);
  std::string buffer(15, '\0');
  EXPECT_EQ(loader.read("readme.txt", buffer.data()), 1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "readme.txt");
  EXPECT_EQ(boxes.boxes[0].caption, "decompressing file error");
  EXPECT_EQ(boxes.boxes[0].icon, platform::MessageIcon::Error);
  // The other entries still read.
  EXPECT_EQ(readEntry(loader, "dup/name.txt"), "first");
}

TEST_F(DamagedEntry, CorruptDeflateStreamGivesTheBoxAndOne) {
  // Compressed bytes of the 3000-byte entry, which start right after its local header.
  std::string bytes = readFile(fixture("archive-python.zip"));
  const std::string header = "textures/gradient.png";
  const size_t data = bytes.find(header) + header.size();
  for (size_t i = 10; i < 60; ++i) bytes[data + i] = static_cast<char>(0xFF);
  writeFile(dir.file("damaged.zip"), bytes);
  Loader loader;
  ASSERT_EQ(loader.openArchive(dir.file("damaged.zip")), 0);
  std::string buffer(3000, '\0');
  EXPECT_EQ(loader.read("textures/gradient.png", buffer.data()), 1);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "textures/gradient.png");
}

TEST_F(DamagedEntry, TruncatedArchiveDataFailsToDecompress) {
  // A deflated member whose central directory survives but whose data is cut short: the
  // archive is rebuilt with the compressed bytes of the first member shortened.
  const std::string big(20000, 'z');
  writeArchive(dir.file("whole.zip"), {{"big.bin", big, true}, {"tail.txt", "tail", false}});
  std::string bytes = readFile(dir.file("whole.zip"));
  const size_t data = bytes.find("big.bin") + std::string("big.bin").size();
  const size_t tail = bytes.find("tail.txt");
  // Overwrite the end of the compressed stream with zeros: same layout, the stream ends early.
  for (size_t i = data + 5; i + 30 < tail; ++i) bytes[i] = 0;
  writeFile(dir.file("cut.zip"), bytes);
  Loader loader;
  ASSERT_EQ(loader.openArchive(dir.file("cut.zip")), 0);
  std::string buffer(big.size(), '\0');
  EXPECT_EQ(loader.read("big.bin", buffer.data()), 1);
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST(Archive, ListsMembersInCentralDirectoryOrderFromFileOrMemory) {
  const std::string bytes = readFile(fixture("archive-zip.zip"));
  Loader loader;
  ASSERT_EQ(loader.openArchiveMemory(bytes.data(), bytes.size()), 0);
  const std::vector<ArchiveEntry> list = loader.entries();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].name, "objects/quad.mmf");
  EXPECT_EQ(list[0].size, 50u);
  EXPECT_EQ(list[1].name, "music/track.ogg");
  EXPECT_EQ(list[1].size, 10240u);
  EXPECT_LT(list[1].compressedSize, list[1].size);
  EXPECT_EQ(readEntry(loader, "Music/Track.ogg").size(), 10240u);
  EXPECT_EQ(loader.openArchiveMemory("PK\x05\x06", 4), 1);
  EXPECT_FALSE(loader.opened);
}
