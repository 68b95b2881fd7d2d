// pylon scene ARCHIVE [--at SECONDS] [--view WxH]: the scene file "city-03.pb" of an archive
// evaluated at one time, printed as one JSON object: the scene camera (record, field of
// view, view matrix as updateSceneCamera leaves it, projection before its transpose for GL)
// and every object's name (an imported glTF node's name, null where the scene has none), its
// parent's index (null for none), model matrix and dissolve. Matrices are 16 numbers in
// row-major order; object indices count from 0, in scene order. The scene is parsed and checked, never
// uploaded, so no display or GPU is needed.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/MessageBox.h"
#include "resources/Loader.h"
#include "resources/SceneValidator.h"
#include "runtime/Options.h"
#include "scene/Envelope.h"
#include "scene/MathUtil.h"
#include "scene/Motion.h"
#include "scene/Renderer.h"
#include "tool/Command.h"
#include "tool/JsonText.h"

namespace {

const char* const kSceneName = "city-03.pb";

int usageError(const char* problem) {
  std::fprintf(stderr, "pylon scene: %s\nUsage: pylon scene ARCHIVE [--at SECONDS] [--view WxH]\n", problem);
  return 1;
}

bool parseSeconds(const char* text, float& seconds) {
  double value = 0.0;
  if (!parseFiniteNumber(text, value)) return false;
  seconds = static_cast<float>(value);
  return std::isfinite(seconds);
}

bool parseView(const char* text, int& width, int& height) {
  char* end = nullptr;
  errno = 0;
  const long w = std::strtol(text, &end, 10);
  if (end == text || (*end != 'x' && *end != 'X')) return false;
  const char* rest = end + 1;
  const long h = std::strtol(rest, &end, 10);
  if (end == rest || *end != '\0' || errno == ERANGE) return false;
  if (w < 1 || h < 1 || w > 65536 || h > 65536) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

// Shortest text that reads back as the same float; JSON has no infinity or NaN.
std::string number(float value) {
  if (!std::isfinite(value)) return "null";
  char text[32];
  for (int digits = 6; digits <= 9; ++digits) {
    std::snprintf(text, sizeof(text), "%.*g", digits, static_cast<double>(value));
    if (std::strtof(text, nullptr) == value) break;
  }
  return text;
}

std::string numbers(const float* values, int count) {
  std::string text = "[";
  for (int i = 0; i < count; ++i) {
    if (i) text += ", ";
    text += number(values[i]);
  }
  return text + "]";
}

// Reads and checks the archive's scene file; on failure prints why and returns 1.
int loadScene(const std::string& archivePath, Kestrel::KestrelLib& scene) {
  Loader loader;
  std::string error;
  if (loader.openArchive(archivePath, &error) != 0) {
    std::fprintf(stderr, "pylon scene: %s: cannot open the archive: %s\n", archivePath.c_str(), error.c_str());
    return 1;
  }
  const uint32_t size = loader.getSize(kSceneName);
  if (size == 0) {
    std::fprintf(stderr, "pylon scene: %s: no %s in the archive (or it is empty or too large)\n", archivePath.c_str(), kSceneName);
    return 1;
  }
  auto bytes = std::make_unique<uint8_t[]>(size);
  if (loader.read(kSceneName, bytes.get()) != 0) {
    std::fprintf(stderr, "pylon scene: %s: %s cannot be read from the archive\n", archivePath.c_str(), kSceneName);
    return 1;
  }
  if (!scene.ParseFromArray(bytes.get(), static_cast<int>(size))) {
    std::fprintf(stderr, "pylon scene: %s: %s is not a valid scene file\n", archivePath.c_str(), kSceneName);
    return 1;
  }
  const std::string problem = validateScene(scene);
  if (!problem.empty()) {
    std::fprintf(stderr, "pylon scene: %s: %s is damaged: %s\n", archivePath.c_str(), kSceneName, problem.c_str());
    return 1;
  }
  if (scene.camera_size() == 0) {
    std::fprintf(stderr, "pylon scene: %s: %s has no camera\n", archivePath.c_str(), kSceneName);
    return 1;
  }
  return 0;
}

int runScene(int argc, char** argv) {
  // Messages of the loader and the camera go to standard error instead of a box.
  platform::setUnattended(true);
  const char* archive = nullptr;
  float seconds = 0.0f;
  int width = 1024, height = 576;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--at")) {
      if (i + 1 >= argc || !parseSeconds(argv[++i], seconds))
        return usageError("--at needs a finite number of seconds");
    } else if (!std::strcmp(argv[i], "--view")) {
      if (i + 1 >= argc || !parseView(argv[++i], width, height)) {
        return usageError("--view needs WIDTHxHEIGHT, two whole numbers from 1 to 65536");
      }
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      return usageError((std::string("unknown option ") + argv[i]).c_str());
    } else if (!archive) {
      archive = argv[i];
    } else {
      return usageError("more than one archive named");
    }
  }
  if (!archive) return usageError("no archive named");

  Kestrel::KestrelLib scene;
  if (loadScene(archive, scene) != 0) return 1;

  Renderer renderer(nullptr);
  updateSceneCamera(scene, seconds, renderer, width, height, false);
  const float fovY = sceneFieldOfView(scene.camera(0), seconds, renderer);
  float projection[16];
  std::memcpy(projection, renderer.projectionMatrix, sizeof(projection));
  MathUtil::transpose(projection);  // back to the program's row-major order

  const float position[3] = {renderer.camX, renderer.camY, renderer.camZ};
  const float angles[3] = {renderer.camH, renderer.camP, renderer.camB};
  std::string out = "{\"time\": " + number(seconds) + ", \"camera\": {\"position\": " + numbers(position, 3) +
                    ", \"angles\": " + numbers(angles, 3) + ", \"fovY\": " + number(fovY) +
                    ", \"view\": " + numbers(renderer.viewMatrix, 16) + ", \"projection\": " + numbers(projection, 16) +
                    "}, \"objects\": [";
  for (int i = 0; i < scene.object_size(); ++i) {
    MathUtil::identity(renderer.modelMatrix);
    objectMatrix(scene, i, seconds, renderer);
    const float dissolve = evaluateEnvelope(scene.object(i).dissolve(), seconds);
    if (i) out += ", ";
    const Kestrel::Object& object = scene.object(i);
    const bool hasParent = object.has_parent() && object.parent().type() == 1 && object.parent().number() > 0;
    out += "{\"index\": " + std::to_string(i) + ", \"name\": " + (object.name().empty() ? "null" : jsonString(object.name())) +
           ", \"parent\": " + (hasParent ? std::to_string(object.parent().number() - 1) : "null") +
           ", \"model\": " + numbers(renderer.modelMatrix, 16) + ", \"dissolve\": " + number(dissolve) + "}";
  }
  out += "]}\n";
  std::fputs(out.c_str(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

CommandRegistrar registrar("scene", "scene ARCHIVE [--at SECONDS] [--view WxH]  the scene's camera and objects (name, parent, matrix) as JSON",
                           runScene);

}  // namespace
