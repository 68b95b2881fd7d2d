// The importer against files from strangers: the battery make_hostile.py writes, URIs that
// stay inside the folder, and what the archive may hold.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "import/GltfImport.h"
#include "import/GltfSafety.h"
#include "support/CommandRun.h"
#include "support/TestSupport.h"

using namespace gltf_import;

TEST(GltfSafety, EveryHostileFileIsRefusedQuicklyNamingTheFileAndTheProblem) {
  testing_support::ScratchDir dir;
  const std::string script = std::string(PYLON_TEST_DATA) + "/gltf/make_hostile.py";
  ASSERT_EQ(testing_support::runCommand("python3 " + script + " " + dir.path()).code, 0);
  std::ifstream expected(dir.file("expected.txt"));
  std::string line;
  int checked = 0;
  while (std::getline(expected, line)) {
    const std::string name = line.substr(0, line.find('\t')), problem = line.substr(line.find('\t') + 1);
    const std::string path = dir.file("files/" + name);
    ImportedScene out;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(importGltf(path, {}, out, error), 1) << name;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 1.0) << name;
    EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(problem), std::string::npos) << name << ": wanted '" << problem << "' in\n" << error;
    EXPECT_EQ(error.find("SECRET"), std::string::npos) << error;
    ++checked;
  }
  EXPECT_GE(checked, 30);
}

TEST(GltfSafety, UrisAreDecodedAndResolvedInsideTheFolder) {
  for (const auto& [uri, decoded] : std::vector<std::pair<std::string, std::string>>{
           {"a%20b.bin", "a b.bin"}, {"a+b.bin", "a+b.bin"}, {"%E2%9D%A4.png", "\xE2\x9D\xA4.png"}, {"sub/./x.bin", "sub/./x.bin"}}) {
    std::string out;
    EXPECT_TRUE(decodeUri(uri, out)) << uri;
    EXPECT_EQ(out, decoded);
  }
  std::string out;
  for (const char* bad : {"x%2", "x%g0", "x%00.bin"}) EXPECT_FALSE(decodeUri(bad, out)) << bad;

  // A buffer in a subfolder, named with an escaped space and a "..", that stays inside, and a
  // symbolic link that stays inside, both import.
  testing_support::ScratchDir dir;
  std::filesystem::create_directories(dir.file("model/sub dir"));
  ASSERT_EQ(testing_support::runCommand("python3 " + std::string(PYLON_TEST_DATA) + "/gltf/make_hostile.py " + dir.file("battery")).code, 0);
  const std::string bytes = testing_support::readFile(dir.file("battery/files/triangle.bin"));
  testing_support::writeFile(dir.file("model/sub dir/triangle.bin"), bytes);
  ASSERT_EQ(symlink("sub dir/triangle.bin", dir.file("model/inside.bin").c_str()), 0);
  std::string json = testing_support::readFile(dir.file("battery/files/lying-bytelength.gltf"));
  for (const char* uri : {"sub%20dir/../sub%20dir/triangle.bin", "inside.bin"}) {
    std::string doc = json;
    doc.replace(doc.find("triangle.bin"), 12, uri);
    doc.replace(doc.find("1000"), 4, "44");
    testing_support::writeFile(dir.file("model/scene.gltf"), doc);
    ImportedScene scene;
    std::string error;
    EXPECT_EQ(importGltf(dir.file("model/scene.gltf"), {}, scene, error), 0) << uri << ": " << error;
  }
  // The glTF file itself must be a regular file.
  ImportedScene scene;
  std::string error;
  EXPECT_EQ(importGltf(dir.file("battery/files/pipe.bin"), {}, scene, error), 1);
  EXPECT_NE(error.find("is a FIFO"), std::string::npos) << error;
}

TEST(GltfSafety, AnArchiveMembersFilesAreTheMembersBesideItNeverFilesOnDisk) {
  testing_support::ScratchDir dir;
  ASSERT_EQ(testing_support::runCommand("python3 " + std::string(PYLON_TEST_DATA) + "/gltf/make_hostile.py " + dir.path()).code, 0);
  const std::string bin = testing_support::readFile(dir.file("files/triangle.bin"));
  const std::string json = testing_support::readFile(dir.file("files/lying-bytelength.gltf"));
  const std::map<std::string, std::string> archive = {{"scenes/data/triangle.bin", bin},
                                                      {"scenes/short.bin", bin.substr(0, 20)}};
  std::vector<std::string> asked;
  const MemberReader members = [&](const std::string& member, size_t, std::vector<uint8_t>& bytes, std::string& reason) {
    asked.push_back(member);
    const auto found = archive.find(member);
    if (found == archive.end()) {
      reason = "is not in the archive";
      return 1;
    }
    bytes.assign(found->second.begin(), found->second.end());
    return 0;
  };
  auto import = [&](const std::string& uri, std::string& error) {
    std::string doc = json;
    doc.replace(doc.find("triangle.bin"), 12, uri);
    doc.replace(doc.find("1000"), 4, "44");
    ImportedScene scene;
    return importGltfMemory(reinterpret_cast<const uint8_t*>(doc.data()), doc.size(), "scenes/sub/scene.gltf", {}, scene,
                            error, members);
  };
  std::string error;
  EXPECT_EQ(import("../data/triangle.bin", error), 0) << error;
  EXPECT_EQ(asked, std::vector<std::string>{"scenes/data/triangle.bin"});
  for (const auto& [uri, problem] : std::vector<std::pair<std::string, std::string>>{
           {"../../../triangle.bin", "leads outside the archive"},
           {"triangle.bin", "(archive member scenes/sub/triangle.bin) is not in the archive"},
           {"../short.bin", "(archive member scenes/short.bin) has 20 bytes, fewer than the 44 declared"}}) {
    EXPECT_EQ(import(uri, error), 1) << uri;
    EXPECT_NE(error.find("scenes/sub/scene.gltf: buffer 0 URI '" + uri + "' " + problem), std::string::npos) << error;
  }
}
