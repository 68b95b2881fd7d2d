#include <gtest/gtest.h>

#include <clocale>
#include <cstring>

#include "ResourceFixtures.h"
#include "resources/BinMmfHeader.h"
#include "resources/Loader.h"

using namespace resource_fixtures;

namespace {

void put(std::string& bytes, size_t at, const void* data, size_t size) {
  if (bytes.size() < at + size) bytes.resize(at + size, '\0');
  if (size) std::memcpy(bytes.data() + at, data, size);  // an empty section may have no data pointer
}

// A binary mesh with its sections in reverse order (polygons first) after the header.
std::string binaryMesh(const std::vector<float>& points, const std::vector<float>& normals,
                       const std::vector<float>& uvs, const std::vector<int32_t>& polygons) {
  BinMmfHeader h{0x464d4d42u, 0, 0, 0, 0, 0, 0, 0, 0};
  std::string bytes(sizeof h, '\0');
  const auto section = [&](const void* data, size_t count, uint32_t& size, uint32_t& offset) {
    size = static_cast<uint32_t>(count * 4);
    offset = count ? static_cast<uint32_t>(bytes.size()) : 0;
    put(bytes, bytes.size(), data, count * 4);
  };
  section(polygons.data(), polygons.size(), h.polygonsSize, h.polygonsOffset);
  section(uvs.data(), uvs.size(), h.uvsSize, h.uvsOffset);
  section(normals.data(), normals.size(), h.normalsSize, h.normalsOffset);
  section(points.data(), points.size(), h.pointsSize, h.pointsOffset);
  put(bytes, 0, &h, sizeof h);
  return bytes;
}

class MeshFiles : public ::testing::Test {
 protected:
  void SetUp() override { env.mark(); }
  // An archive holding the given members, opened by `loader` (which logs to env).
  void open(const std::vector<Member>& members) {
    writeArchive(env.dir.file("data.zip"), members);
    ASSERT_EQ(loader.openArchive(env.dir.file("data.zip")), 0);
    loader.runtime = env.runtime;
  }
  LoggedRuntime env;
  Loader loader;
  MmfMesh mesh;
};

}  // namespace

TEST_F(MeshFiles, BinaryMeshReadsEverySectionWhereverItLies) {
  const std::vector<float> points = {0, 0, 0, 1, 0, 0, 0, 1, 0.5f};
  const std::vector<float> normals = {0, 0, 1, 0, 0, 1, 0, 0, -1};
  const std::vector<float> uvs = {0, 0, 1, 0, 0, 1};
  const std::vector<int32_t> polygons = {0, 1, 2, 2, 1, 0};
  open({{"objects/veltro.mmf", binaryMesh(points, normals, uvs, polygons), true}});
  mesh.indexBuffer = 5;
  mesh.textures.push_back({0, "old.png"});
  ASSERT_EQ(loader.loadBinMmf("objects\\Veltro.mmf", mesh), 0);
  EXPECT_EQ(mesh.points, points);
  EXPECT_EQ(mesh.normals, normals);
  EXPECT_EQ(mesh.uvs, uvs);
  EXPECT_EQ(mesh.polygons, polygons);
  EXPECT_TRUE(mesh.textures.empty());
  EXPECT_EQ(mesh.indexBuffer, 5u) << "GL names are the upload's business";
  EXPECT_EQ(env.log(), "\nload bin mmf: objects\\Veltro.mmf\n\nfile: objects\\Veltro.mmf size: 156\n");
}

TEST_F(MeshFiles, BinaryMeshWithoutUvsOrAnySectionStillLoads) {
  std::string empty(36, '\0');
  open({{"a.mmf", binaryMesh({1, 2, 3}, {0, 1, 0}, {}, {0, 0, 0})}, {"empty.mmf", empty}});
  ASSERT_EQ(loader.loadBinMmf("a.mmf", mesh), 0);
  EXPECT_TRUE(mesh.uvs.empty());
  EXPECT_EQ(mesh.points.size(), 3u);
  ASSERT_EQ(loader.loadBinMmf("empty.mmf", mesh), 0);
  EXPECT_TRUE(mesh.points.empty());
  EXPECT_TRUE(mesh.polygons.empty());
}

TEST_F(MeshFiles, BinaryMeshMissingOrDamagedFails) {
  open({{"stored.mmf", binaryMesh({1, 2, 3}, {}, {}, {})}});
  EXPECT_EQ(loader.loadBinMmf("objects/none.mmf", mesh), 1);
  EXPECT_EQ(env.log(),
            "\nload bin mmf: objects/none.mmf\n file not found: objects/none.mmf\n file error, size 0\n");

  // Flip a byte of the stored data: the checksum no longer matches.
  std::string bytes = testing_support::readFile(env.dir.file("data.zip"));
  bytes[bytes.find("stored.mmf") + 10 + 40] ^= 0x55;
  testing_support::writeFile(env.dir.file("data.zip"), bytes);
  ASSERT_EQ(loader.openArchive(env.dir.file("data.zip")), 0);
  env.mark();
  EXPECT_EQ(loader.loadBinMmf("stored.mmf", mesh), 1);
  EXPECT_EQ(env.log(), "\nload bin mmf: stored.mmf\n\nfile: stored.mmf size: 48\n\ndecompression error.stored.mmf\n");
  ASSERT_EQ(env.boxes.boxes.size(), 1u);
  EXPECT_EQ(env.boxes.boxes[0].caption, "decompressing file error");
}

TEST_F(MeshFiles, BinaryMeshWithABadSectionIsRejectedAndTheMeshKept) {
  const std::string good = binaryMesh({1, 2, 3, 4, 5, 6}, {0, 0, 1, 0, 0, 1}, {}, {0, 1, 1});
  std::string past = good, odd = good, wrapped = good;
  const uint32_t beyond = static_cast<uint32_t>(good.size()) - 20;  // normals reach 4 bytes past the end
  put(past, 16, &beyond, 4);
  const uint32_t thirteen = 13;
  put(odd, 4, &thirteen, 4);
  const uint32_t huge = 0xFFFFFFF0u;  // offset + size overflows 32 bits
  put(wrapped, 32, &huge, 4);
  open({{"past.mmf", past}, {"odd.mmf", odd}, {"wrapped.mmf", wrapped}, {"short.mmf", good.substr(0, 30)}});
  mesh.points = {9, 9, 9};

  env.mark();
  EXPECT_EQ(loader.loadBinMmf("past.mmf", mesh), 1);
  EXPECT_NE(env.log().find(" error in past.mmf: normals section (offset " + std::to_string(beyond) +
                           ", size 24) reaches past the end of the file (" + std::to_string(good.size()) +
                           " bytes)\n"),
            std::string::npos)
      << env.log();
  env.mark();
  EXPECT_EQ(loader.loadBinMmf("odd.mmf", mesh), 1);
  EXPECT_NE(env.log().find(" error in odd.mmf: points section size 13 is not a multiple of 4\n"), std::string::npos);
  env.mark();
  EXPECT_EQ(loader.loadBinMmf("wrapped.mmf", mesh), 1);
  EXPECT_NE(env.log().find("polygons section (offset 4294967280, size 12) reaches past"), std::string::npos);
  env.mark();
  EXPECT_EQ(loader.loadBinMmf("short.mmf", mesh), 1);
  EXPECT_NE(env.log().find(" error in short.mmf: the file of 30 bytes is shorter than its 36-byte header\n"),
            std::string::npos);
  EXPECT_EQ(mesh.points, (std::vector<float>{9, 9, 9}));
}

TEST_F(MeshFiles, TextMeshReadsEverySectionAndTexturePaths) {
  open({{"objects/quad.mmf",
         "<MMF version=\"1\">\r\n"
         "header line ignored\n"
         "  <points>  \n"
         "-1.5 0 2\r\n"
         "1 1e2 -0.25\n"
         "</points><normals>\n"
         "0 0 1\n"
         "0 1 0\n"
         "</normals>\n"
         "\n"
         "<uvs>\n"
         "0.5 0.25\n"
         "1 1\n"
         "</uvs>\n"
         "<polygons>\n"
         "0 1 1\n"
         "</polygons>\n"
         "<surfaces>\n"
         "1 2 3\n"
         "<points>\n"
         "</surfaces>\n"
         "<textures>\n"
         "<item>\n"
         "<source>textures/gradient.png</source>\n"
         "</item>\n"
         "<item>\n"
         "no source here\n"
         "<item>\n"
         " <source>a/b/c.jpg</source> \n"
         "</textures>\n"
         "</MMF>\n"
         "<points>\n9 9 9\n</points>\n",
         true}});
  mesh.normals = {7, 7, 7};
  ASSERT_EQ(loader.loadMmf(mesh), 0);
  EXPECT_EQ(mesh.points, (std::vector<float>{-1.5f, 0, 2, 1, 100, -0.25f}));
  EXPECT_EQ(mesh.normals, (std::vector<float>{0, 0, 1, 0, 1, 0}));
  EXPECT_EQ(mesh.uvs, (std::vector<float>{0.5f, 0.25f, 1, 1}));
  EXPECT_EQ(mesh.polygons, (std::vector<int32_t>{0, 1, 1}));
  ASSERT_EQ(mesh.textures.size(), 2u);
  EXPECT_EQ(mesh.textures[0].source, "textures\\gradient.png");
  EXPECT_EQ(mesh.textures[0].crc, 0u);
  EXPECT_EQ(mesh.textures[1].source, "a\\b\\c.jpg");
  EXPECT_EQ(env.log().substr(0, 30), "\nload mmf: objects/quad.mmf\n\nf");
}

TEST_F(MeshFiles, TextMeshEndsAtTheDataEndOrAnOverlongLine) {
  Loader& l = loader;
  const std::string two = "<points>\n1 2 3\n4 5 6\n</points>";
  ASSERT_EQ(l.parseMmf(two.data(), two.size(), mesh), 0);
  EXPECT_EQ(mesh.points.size(), 6u) << "no </MMF> needed";

  const std::string open = "<points>\n1 2 3\n4 5";
  ASSERT_EQ(l.parseMmf(open.data(), open.size(), mesh), 0);
  EXPECT_EQ(mesh.points, (std::vector<float>{1, 2, 3, 4, 5, 0})) << "a section open at the end keeps what it read";

  const std::string line255 = "<points>\n1 2 3" + std::string(250, ' ') + "\n</points>\n<uvs>\n1 1\n</uvs>";
  ASSERT_EQ(l.parseMmf(line255.data(), line255.size(), mesh), 0);
  EXPECT_EQ(mesh.points.size(), 3u);
  EXPECT_EQ(mesh.uvs.size(), 2u) << "255 characters is still a line";

  const std::string line256 = "<points>\n1 2 3" + std::string(251, ' ') + "\n</points>\n<uvs>\n1 1\n</uvs>";
  ASSERT_EQ(l.parseMmf(line256.data(), line256.size(), mesh), 0);
  EXPECT_TRUE(mesh.points.empty());
  EXPECT_TRUE(mesh.uvs.empty()) << "a longer line stops the parse";
}

TEST_F(MeshFiles, TextMeshBadNumbersGiveZerosWhateverTheLocale) {
  // A locale with a decimal comma, where one is installed; "." stays the decimal point.
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"}) {
    if (std::setlocale(LC_NUMERIC, name)) break;
  }
  const std::string text = "<points>\n1.5 oops 3\nx\n2,5 1 1\n+4 -0.5e1 .5\n</points>\n<polygons>\n1 2\n99999999999 3 x\n</polygons>";
  ASSERT_EQ(loader.parseMmf(text.data(), text.size(), mesh), 0);
  EXPECT_EQ(mesh.points, (std::vector<float>{1.5f, 0, 0, 0, 0, 0, 2, 0, 0, 4, -5, 0.5f}));
  EXPECT_EQ(mesh.polygons, (std::vector<int32_t>{1, 2, 0, 0, 3, 0}));
  std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST_F(MeshFiles, TextMeshMissingFails) {
  open({{"objects/other.mmf", "<points>\n</points>\n"}});
  EXPECT_EQ(loader.loadMmf(mesh), 1);
  EXPECT_EQ(env.log(),
            "\nload mmf: objects/quad.mmf\n file not found: objects/quad.mmf\n file error, size 0\n");
}

TEST_F(MeshFiles, BothFormsOfTheSameQuadGiveTheSameMesh) {
  open({{"objects/quad.mmf", testing_support::readFile(fixture("mesh-quad.mmf")), true},
        {"objects/quad.bin.mmf", testing_support::readFile(fixture("mesh-quad.bmmf"))}});
  MmfMesh text, binary;
  ASSERT_EQ(loader.loadMmf(text), 0);
  ASSERT_EQ(loader.loadBinMmf("objects/quad.bin.mmf", binary), 0);
  EXPECT_EQ(text.points, binary.points);
  EXPECT_EQ(text.normals, binary.normals);
  EXPECT_EQ(text.uvs, binary.uvs);
  EXPECT_EQ(text.polygons, (std::vector<int32_t>{0, 1, 2, 0, 2, 3}));
  EXPECT_EQ(text.polygons, binary.polygons);
  ASSERT_EQ(text.textures.size(), 1u);
  EXPECT_EQ(text.textures[0].source, "textures\\veltro512.png");
  EXPECT_TRUE(binary.textures.empty());
}

TEST_F(MeshFiles, IndicesPastTheVerticesAreRefusedInBothForms) {
  open({{"far.mmf", binaryMesh({0, 0, 0, 1, 1, 1}, {}, {}, {0, 1, 2})},
        {"negative.mmf", binaryMesh({0, 0, 0, 1, 1, 1}, {}, {}, {0, 1, 1, 1, 0, -1})}});
  mesh.points = {9, 9, 9};
  EXPECT_EQ(loader.loadBinMmf("far.mmf", mesh), 1);
  EXPECT_NE(env.log().find(" error in far.mmf: triangle 0 names vertex 2 of 2\n"), std::string::npos) << env.log();
  EXPECT_EQ(loader.loadBinMmf("negative.mmf", mesh), 1);
  EXPECT_NE(env.log().find(" error in negative.mmf: triangle 1 names vertex -1 of 2\n"), std::string::npos);
  EXPECT_EQ(mesh.points, (std::vector<float>{9, 9, 9})) << "a refused file leaves the mesh as it was";

  const std::string text = "<points>\n0 0 0\n</points>\n<polygons>\n0 0 1\n</polygons>\n";
  EXPECT_EQ(loader.parseMmf(text.data(), text.size(), mesh), 1);
  EXPECT_TRUE(mesh.points.empty() && mesh.polygons.empty());
  EXPECT_NE(env.log().find(" error in objects/quad.mmf: triangle 0 names vertex 1 of 1\n"), std::string::npos);
}

TEST_F(MeshFiles, AMemberClaimingGigabytesIsRefusedByNameBeforeAnythingIsAllocated) {
  open({{"objects/veltro.mmf", binaryMesh({0, 0, 0}, {}, {}, {0, 0, 0})}});
  // Both headers of the member claim 3 GiB uncompressed.
  std::string bytes = testing_support::readFile(env.dir.file("data.zip"));
  const uint32_t claim = 0xC0000000u;
  put(bytes, bytes.find("PK\x03\x04") + 22, &claim, 4);
  put(bytes, bytes.find("PK\x01\x02") + 24, &claim, 4);
  testing_support::writeFile(env.dir.file("data.zip"), bytes);
  ASSERT_EQ(loader.openArchive(env.dir.file("data.zip")), 0);
  env.mark();
  EXPECT_EQ(loader.loadBinMmf("objects/veltro.mmf", mesh), 1);
  EXPECT_NE(env.log().find(" file too large: objects/veltro.mmf claims 3221225472 bytes, more than the 268435456 a "
                           "member may have\n"),
            std::string::npos)
      << env.log();
  std::string buffer(16, '\0');
  EXPECT_EQ(loader.read("objects/veltro.mmf", buffer.data()), 1);
}
