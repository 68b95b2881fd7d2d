// Where the player finds its archive: an explicit name, the working directory, beside the
// program, then the installed share folder, in that order.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/ProgramPath.h"
#include "resources/Loader.h"
#include "support/TestSupport.h"

using testing_support::ScratchDir;
using testing_support::WorkingDir;
using testing_support::writeFile;

namespace {

// A prefix with bin/ and share/veltro12/, and a separate folder to run in.
struct InstallTree {
  ScratchDir root;
  std::string bin, share, elsewhere;
  InstallTree() {
    bin = root.file("bin");
    share = root.file("share/veltro12");
    elsewhere = root.file("elsewhere");
    for (const std::string& dir : {bin, root.file("share"), share, elsewhere}) mkdir(dir.c_str(), 0755);
  }
};

}  // namespace

TEST(ProgramPath, InstalledShareDirectoryIsTheSiblingShareFolderResolved) {
  EXPECT_EQ(platform::installedShareDirectory("/usr/bin", "veltro12"), "/usr/share/veltro12");
  EXPECT_EQ(platform::installedShareDirectory("/opt/v12/bin/", "veltro12"), "/opt/v12/share/veltro12");
  EXPECT_EQ(platform::installedShareDirectory("/usr/local/./bin", "veltro12"), "/usr/local/share/veltro12");
  EXPECT_EQ(platform::installedShareDirectory("/x/games/../bin", "veltro12"), "/x/share/veltro12");
  EXPECT_EQ(platform::installedShareDirectory("/", "veltro12"), "/share/veltro12");
  EXPECT_EQ(platform::installedShareDirectory("", "veltro12"), "");
}

TEST(ProgramPath, TheTestProgramKnowsItsOwnFolder) {
  const std::string dir = platform::programDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.front(), '/');
  EXPECT_NE(dir.back(), '/');
  EXPECT_EQ(platform::programPath().rfind(dir + "/", 0), 0u);
}

TEST(ArchiveLookup, FindsTheInstalledArchiveWhenNothingCloserExists) {
  InstallTree tree;
  writeFile(tree.share + "/data.zip", "x");
  WorkingDir cwd(tree.elsewhere);
  EXPECT_EQ(Loader::findArchive("", tree.bin), tree.root.path() + "/share/veltro12/data.zip");
  // The same with a trailing slash on the program's folder.
  EXPECT_EQ(Loader::findArchive("", tree.bin + "/"), tree.root.path() + "/share/veltro12/data.zip");
}

TEST(ArchiveLookup, WorkingDirectoryThenBesideTheProgramThenShare) {
  InstallTree tree;
  writeFile(tree.share + "/data.zip", "share");
  writeFile(tree.bin + "/data.zip", "beside");
  WorkingDir cwd(tree.elsewhere);
  EXPECT_EQ(Loader::findArchive("", tree.bin), tree.bin + "/data.zip");
  writeFile(tree.elsewhere + "/data.zip", "here");
  EXPECT_EQ(Loader::findArchive("", tree.bin), "data.zip");
  // An explicit name is taken as given, even when it does not exist.
  EXPECT_EQ(Loader::findArchive("other.zip", tree.bin), "other.zip");
}

TEST(ArchiveLookup, FoldersNamedDataZipAreNotArchives) {
  InstallTree tree;
  mkdir((tree.bin + "/data.zip").c_str(), 0755);
  mkdir((tree.share + "/data.zip").c_str(), 0755);
  WorkingDir cwd(tree.elsewhere);
  // Nothing found: the plain name, so the open fails and the user sees the message.
  EXPECT_EQ(Loader::findArchive("", tree.bin), "data.zip");
  EXPECT_EQ(Loader::findArchive("", ""), "data.zip");
}

TEST(ArchiveLookup, AnUnknownProgramFolderLooksOnlyInTheWorkingDirectory) {
  InstallTree tree;
  writeFile(tree.root.file("share/veltro12/data.zip"), "x");
  // With the program's folder unknown, "" must not turn into "/" or "../share".
  WorkingDir cwd(tree.bin);
  EXPECT_EQ(Loader::findArchive("", ""), "data.zip");
}
