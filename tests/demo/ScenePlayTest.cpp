// The player's --scene: a Blender-made glTF file played in place of the archive's scene.
#include <IL/il.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>

#include "platform/MessageBox.h"
#include "support/TestSupport.h"

using namespace testing_support;

TEST(ScenePlay, BlenderObjectsAppearWhereBlenderPutsThemAndABadFileEndsWithOne) {
  if (!platform::hasDisplay()) GTEST_SKIP() << "no display";
  ScratchDir dir;
  auto play = [&](const std::string& scene) {
    const std::string command = "cd '" + dir.path() + "' && '" + PYLON_BINARY_DIR +
                                "/veltro12' --no-dialog --windowed --size 256x144 --data '" + PYLON_BINARY_DIR +
                                "/data.zip' --scene '" + scene + "' --shot 2 shot.png 2>errors.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  ASSERT_EQ(play(std::string(PYLON_TEST_DATA) + "/gltf/scene-keys.gltf"), 0) << readFile(dir.file("errors.txt"));
  static bool started = (ilInit(), true);
  (void)started;
  ilEnable(IL_ORIGIN_SET);
  ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
  ILuint image = ilGenImage();
  ilBindImage(image);
  const bool loaded = ilLoadImage(dir.file("shot.png").c_str());
  ilDisable(IL_ORIGIN_SET);  // the other shot tests take rows as the file has them
  ASSERT_TRUE(loaded);
  ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE);
  // Blender's own projection of the origins at 2 s (from the bottom left, as DevIL's rows):
  // the red body and, above it, the green cone.
  std::ifstream origins(std::string(PYLON_TEST_DATA) + "/gltf/origins.txt");
  std::string name;
  float time = 0, x = 0, y = 0;
  int checked = 0;
  while (origins >> time >> name >> x >> y) {
    if (time != 2.0f || name == "Board") continue;
    const ILubyte* p = ilGetData() + 3 * (static_cast<int>(y * 144) * 256 + static_cast<int>(x * 256));
    if (name == "Body") {
      EXPECT_GT(p[0], p[1] + 60) << "red at the body's origin";
    }
    if (name == "Cone") {
      EXPECT_GT(p[1], p[0] + 60) << "green at the cone's origin";
    }
    ++checked;
  }
  ilDeleteImage(image);
  EXPECT_EQ(checked, 2);

  EXPECT_EQ(play(dir.file("absent.gltf")), 1);
  EXPECT_NE(readFile(dir.file("errors.txt")).find("absent.gltf: the file does not exist"), std::string::npos);
}
