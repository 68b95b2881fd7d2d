// A staged install (DESTDIR) of the whole build: every installed file is there, the installed
// player finds its archive from another working directory, and the manual pages and the
// desktop entry say what the programs do.
#include <IL/il.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/CommandRun.h"
#include "runtime/Options.h"
#include "support/TestSupport.h"

using testing_support::CommandRun;
using testing_support::quoted;
using testing_support::runCommand;

namespace {

bool isFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// groff source with its escaped hyphens turned back into plain ones and its font changes
// and italic corrections dropped, so the words read as --help printed them.
std::string manPageText(const std::string& gzPath) {
  std::string text = runCommand("gzip -dc " + quoted(gzPath)).output;
  for (size_t at = 0; (at = text.find("\\-", at)) != std::string::npos;) text.replace(at, 2, "-");
  for (const std::string escape : {"\\fB", "\\fI", "\\fR", "\\fP", "\\,", "\\/"})
    for (size_t at = 0; (at = text.find(escape, at)) != std::string::npos;) text.erase(at, escape.size());
  return text;
}

class StagedInstall : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    stage = std::make_unique<testing_support::ScratchDir>();
    install = runCommand("DESTDIR=" + quoted(stage->path()) + " " + quoted(PYLON_CMAKE_COMMAND) + " --install " +
                         quoted(PYLON_BINARY_DIR) + " --prefix /usr");
  }
  static void TearDownTestSuite() { stage.reset(); }

  void SetUp() override { ASSERT_EQ(install.code, 0) << install.output; }

  static std::string usr(const std::string& path) { return stage->path() + "/usr/" + path; }

  static std::unique_ptr<testing_support::ScratchDir> stage;
  static CommandRun install;
};

std::unique_ptr<testing_support::ScratchDir> StagedInstall::stage;
CommandRun StagedInstall::install;

}  // namespace

TEST_F(StagedInstall, HoldsEveryFileOfTheProgram) {
  std::vector<std::string> files = {"bin/veltro12",
                                    "bin/pylon",
                                    "share/veltro12/data.zip",
                                    "share/applications/veltro12.desktop",
                                    "share/man/man1/veltro12.1.gz",
                                    "share/man/man1/pylon.1.gz",
                                    "share/doc/veltro12/copyright",
                                    "share/doc/veltro12/changelog.gz"};
  for (const char* size : {"16", "22", "24", "32", "48", "64", "128", "256"})
    files.push_back(std::string("share/icons/hicolor/") + size + "x" + size + "/apps/veltro12.png");
  for (const std::string& file : files) EXPECT_TRUE(isFile(usr(file))) << file << " missing from the staged install";
  EXPECT_EQ(access(usr("bin/veltro12").c_str(), X_OK), 0);
  EXPECT_EQ(access(usr("bin/pylon").c_str(), X_OK), 0);
  EXPECT_EQ(testing_support::readFile(usr("share/veltro12/data.zip")),
            testing_support::readFile(std::string(PYLON_BINARY_DIR) + "/data.zip"));
  // Nothing lands outside the prefix.
  EXPECT_EQ(runCommand("ls -A " + quoted(stage->path())).output, "usr\n");
}

TEST_F(StagedInstall, TheInstalledPlayerFindsItsArchiveFromAnotherFolder) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display to run the player on";
  testing_support::ScratchDir elsewhere;
  const std::string shot = elsewhere.file("shot.png");
  const std::string player =
      "cd " + quoted(elsewhere.path()) + " && LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy timeout 300 " +
      quoted(usr("bin/veltro12")) + " --no-dialog --windowed --size 640x480 --shot 60 " + quoted(shot);
  const CommandRun run = runCommand(player);
  EXPECT_EQ(run.code, 0) << run.output;
  EXPECT_EQ(run.output.find("Data file not found."), std::string::npos) << run.output;

  // Without the installed archive the same run fails at start-up, so the share folder is what
  // it found.
  const std::string archive = usr("share/veltro12/data.zip");
  ASSERT_EQ(std::rename(shot.c_str(), (shot + ".first").c_str()), 0) << "no picture from " << player;
  ASSERT_EQ(std::rename(archive.c_str(), (archive + ".away").c_str()), 0);
  const CommandRun without = runCommand(player);
  std::rename((archive + ".away").c_str(), archive.c_str());
  EXPECT_EQ(without.code, 1) << without.output;
  EXPECT_NE(without.output.find("Loader::loader: Data file not found."), std::string::npos) << without.output;
  EXPECT_FALSE(isFile(shot)) << "a picture without an archive";
  ASSERT_EQ(std::rename((shot + ".first").c_str(), shot.c_str()), 0);

  static bool started = (ilInit(), true);
  (void)started;
  ILuint image = ilGenImage();
  ilBindImage(image);
  ASSERT_TRUE(ilLoadImage(shot.c_str())) << shot;
  const int w = ilGetInteger(IL_IMAGE_WIDTH), h = ilGetInteger(IL_IMAGE_HEIGHT);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  std::vector<unsigned char> rgb(size_t(w) * h * 3);
  ilCopyPixels(0, 0, 0, ILuint(w), ILuint(h), 1, IL_RGB, IL_UNSIGNED_BYTE, rgb.data());
  ilDeleteImage(image);
  // A rendered city, not a flat or black picture.
  double sum = 0, squares = 0;
  for (unsigned char v : rgb) sum += v, squares += double(v) * v;
  const double mean = sum / rgb.size(), variance = squares / rgb.size() - mean * mean;
  EXPECT_GT(mean, 4.0);
  EXPECT_GT(variance, 25.0);
}

TEST_F(StagedInstall, ManualPagesCarryEveryOptionAndCommandOfTheHelp) {
  const std::string player = manPageText(usr("share/man/man1/veltro12.1.gz"));
  ASSERT_FALSE(player.empty());
  EXPECT_NE(player.find(".TH VELTRO12 \"1\""), std::string::npos) << player.substr(0, 400);
  // The page's version is the program's own.
  std::string version = runCommand(quoted(usr("bin/veltro12")) + " --version").output;
  while (!version.empty() && version.back() == '\n') version.pop_back();
  EXPECT_NE(player.find("\"" + version + "\" \"User Commands\""), std::string::npos) << version;
  std::istringstream usage(usageText());
  int options = 0;
  for (std::string line; std::getline(usage, line);) {
    if (line.rfind("  --", 0) != 0) continue;
    const std::string option = line.substr(2, line.find(' ', 2) - 2);
    ++options;
    EXPECT_NE(player.find(option), std::string::npos) << option << " is not in the manual page";
  }
  EXPECT_GE(options, 20);
  EXPECT_NE(player.find("share/veltro12/data.zip"), std::string::npos);

  const std::string tool = manPageText(usr("share/man/man1/pylon.1.gz"));
  const std::string help = runCommand(quoted(usr("bin/pylon")) + " --help").output;
  std::istringstream commands(help);
  int listed = 0;
  for (std::string line; std::getline(commands, line);) {
    if (line.rfind("  pylon ", 0) != 0) continue;
    const std::string command = line.substr(8, line.find(' ', 8) - 8);
    ++listed;
    EXPECT_NE(tool.find("pylon " + command), std::string::npos) << command << " is not in the manual page";
  }
  EXPECT_GE(listed, 4);
}

TEST_F(StagedInstall, TheDesktopEntryStartsThePlayerWithItsDialog) {
  const std::string entry = testing_support::readFile(usr("share/applications/veltro12.desktop"));
  EXPECT_NE(entry.find("\nExec=veltro12\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nIcon=veltro12\n"), std::string::npos) << entry;
  const CommandRun found = runCommand("command -v desktop-file-validate");
  if (found.code != 0) GTEST_SKIP() << "desktop-file-validate is not installed";
  const CommandRun valid = runCommand("desktop-file-validate " + quoted(usr("share/applications/veltro12.desktop")));
  EXPECT_EQ(valid.code, 0) << valid.output;
  EXPECT_EQ(valid.output, "");
}
