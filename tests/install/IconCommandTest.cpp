// pylon icon: the installed icons are the window icon's own pixels, at the size asked for.
#include <IL/il.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/CommandRun.h"
#include "screen/WindowIcon.h"
#include "support/TestSupport.h"

using testing_support::quoted;
using testing_support::runCommand;

namespace {

std::string pylon() { return std::string(PYLON_BINARY_DIR) + "/pylon"; }

// RGBA pixels, top row first, or empty when the file does not decode.
std::vector<unsigned char> decodeRgba(const std::string& path, int& w, int& h) {
  static bool started = (ilInit(), ilEnable(IL_ORIGIN_SET), ilOriginFunc(IL_ORIGIN_UPPER_LEFT), true);
  (void)started;
  ILuint image = ilGenImage();
  ilBindImage(image);
  std::vector<unsigned char> out;
  if (ilLoadImage(path.c_str())) {
    w = ilGetInteger(IL_IMAGE_WIDTH), h = ilGetInteger(IL_IMAGE_HEIGHT);
    out.resize(size_t(w) * h * 4);
    ilCopyPixels(0, 0, 0, ILuint(w), ILuint(h), 1, IL_RGBA, IL_UNSIGNED_BYTE, out.data());
  }
  ilDeleteImage(image);
  return out;
}

}  // namespace

TEST(IconCommand, WritesTheWindowIconAtEachSize) {
  testing_support::ScratchDir dir;
  for (int size : {16, 48, 256}) {
    const std::string file = dir.file("icon" + std::to_string(size) + ".png");
    const testing_support::CommandRun run = runCommand(pylon() + " icon " + std::to_string(size) + " " + quoted(file));
    ASSERT_EQ(run.code, 0) << run.output;
    int w = 0, h = 0;
    const std::vector<unsigned char> pixels = decodeRgba(file, w, h);
    ASSERT_EQ(w, size);
    ASSERT_EQ(h, size);
    EXPECT_EQ(pixels, makeWindowIcon(size)) << "size " << size;
    // Transparent outside the rounded corners, opaque in the middle.
    EXPECT_LT(pixels[3], 64);
    EXPECT_EQ(pixels[(size_t(size / 2) * size + size / 2) * 4 + 3], 255);
  }
}

TEST(IconCommand, RefusesSizesItCannotDrawAndWritesNothing) {
  testing_support::ScratchDir dir;
  const std::string file = dir.file("icon.png");
  for (const char* size : {"8", "15", "257", "4096", "-48", "48px", "x", "''"}) {
    const testing_support::CommandRun run = runCommand(pylon() + " icon " + size + " " + quoted(file));
    EXPECT_EQ(run.code, 1) << size;
    EXPECT_NE(run.output.find("pylon icon: the size must be a whole number from 16 to 256"), std::string::npos)
        << size << ": " << run.output;
    EXPECT_NE(access(file.c_str(), F_OK), 0) << size;
  }
  EXPECT_EQ(runCommand(pylon() + " icon 48").code, 1);
  const testing_support::CommandRun unwritable = runCommand(pylon() + " icon 48 " + quoted(dir.file("no/such/dir/x.png")));
  EXPECT_EQ(unwritable.code, 1);
  EXPECT_NE(unwritable.output.find("pylon icon: cannot write " + dir.file("no/such/dir/x.png")), std::string::npos);
}
