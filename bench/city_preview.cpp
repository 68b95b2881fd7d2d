// bench_city_preview: draws the production's city with the engine's scene drawing at chosen
// times, with the two car streams laid out and moved as the city part does, writes each
// frame as a PNG and prints how long the scene and the cars take to draw.
//
//   bench_city_preview [ARCHIVE [OUT_DIR [SECONDS...]]]
//
// Defaults: data.zip beside this program, the working directory, 5 43 60 100. Needs a
// display (scripts/with-display.sh); no post-processing, no fades.
#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "cg/CgGL.h"
#include "data/PngEncoder.h"
#include "platform/Window.h"
#include "resources/Loader.h"
#include "runtime/Options.h"
#include "runtime/Runtime.h"
#include "scene/Motion.h"
#include "scene/Renderer.h"
#include "scene/SceneRenderer.h"
#include "screen/Screen.h"

namespace {

constexpr int kWidth = 1024, kHeight = 576;

struct Car {
  float start, y, across, speed;
};

// The city part's layout: MT19937 seeded 56884, eight draws a car.
void layOutCars(std::vector<Car>& a, std::vector<Car>& b) {
  std::mt19937 twister(56884);
  auto draw = [&] { return float(double(twister()) / 4294967297.0); };
  for (int i = 0; i < 200; ++i) {
    Car ca, cb;
    ca.start = draw() * 450 - 400;
    ca.y = float(draw() * 6 + 8) + 5;
    ca.across = draw() * 9 - 4.5f;
    ca.speed = draw() * 7 + 7;
    cb.across = draw() * 9 - 4.5f;
    cb.y = draw() * 6 + 8;
    cb.start = draw() * 450 - 400;
    cb.speed = draw() * 7 + 7;
    a.push_back(ca), b.push_back(cb);
  }
}

float wrapped(const Car& c, float t) {
  float p = c.start + c.speed * t;
  for (int k = 1; p > 100; ++k) p = c.start + c.speed * (t - 50.0f * float(k));
  return p;
}

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

}  // namespace

int main(int argc, char** argv) {
  std::string archive = argc > 1 ? argv[1] : Loader::findArchive("");
  std::string outDir = argc > 2 ? argv[2] : ".";
  std::vector<float> times;
  for (int i = 3; i < argc; ++i) times.push_back(std::stof(argv[i]));
  if (times.empty()) times = {5, 43, 60, 100};

  programOptions().dataFile = archive;
  Runtime* runtime = Runtime::instance();
  Loader& loader = *runtime->loader;
  if (!loader.opened) {
    std::fprintf(stderr, "bench_city_preview: cannot open %s\n", archive.c_str());
    return 1;
  }
  platform::WindowDesc desc;
  desc.caption = "city preview";
  desc.width = kWidth, desc.height = kHeight;
  platform::Window* window = platform::initVideo() ? platform::createWindow(desc) : nullptr;
  platform::GLContext context = window ? platform::createGLContext(window) : nullptr;
  if (!context || !platform::makeCurrent(window, context)) {
    std::fprintf(stderr, "bench_city_preview: no GL window (run it under scripts/with-display.sh)\n");
    return 1;
  }
  glewExperimental = GL_TRUE;
  glewInit();
  platform::showWindow(window);
  std::printf("GL: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

  Screen& screen = *runtime->screen;
  screen.config.viewportWidth = kWidth, screen.config.viewportHeight = kHeight;
  screen.cgContext = cgCreateContext();
  cgGLRegisterStates(screen.cgContext);
  cgGLSetManageTextureParameters(screen.cgContext, CG_TRUE);

  double t0 = now();
  KestrelLibDynamic city;
  MmfMesh car;
  Shader carEffect;
  Texture carTexture;
  carEffect.source = "shaders/cars.cgfx";
  carTexture.source = "textures/veltro512.png";
  if (loader.loadScene(city) || loader.loadBinMmf("objects/veltro.mmf", car) || loader.loadShader(carEffect) ||
      loader.loadTexture(carTexture)) {
    std::fprintf(stderr, "bench_city_preview: the archive's city or car did not load\n");
    return 1;
  }
  loader.uploadMesh(car, GL_STATIC_DRAW);
  std::printf("loaded in %.2f s\n", now() - t0);
  std::vector<Car> streamA, streamB;
  layOutCars(streamA, streamB);

  // The demo's default state.
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glClearColor(0, 0, 0, 1);
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glViewport(0, 0, kWidth, kHeight);

  Renderer& renderer = *runtime->renderer;
  for (float t : times) {
    double sceneMs = 1e9, carMs = 1e9;
    const int frames = 6;
    for (int f = 0; f < frames; ++f) {
      glDepthMask(GL_TRUE);
      glDepthFunc(GL_LESS);
      glEnable(GL_DEPTH_TEST);
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      double a = now();
      drawScene(renderer, city, t);
      glFinish();
      double b = now();
      computeCameraView(renderer);
      glLoadMatrixf(renderer.viewMatrix);
      if (t >= 43.0f) {
        cgGLSetupSampler(cgGetNamedEffectParameter(carEffect.effect, "samColor"), carTexture.crc);
        CGpass pass = cgGetFirstPass(carEffect.technique);
        cgSetPassState(pass);
        uint32_t maxIndex = uint32_t(car.points.size() / 3 - 1), count = uint32_t(car.polygons.size());
        for (int i = 0; i < 200; ++i) {
          float p = wrapped(streamA[size_t(i)], t), q = wrapped(streamB[size_t(i)], t);
          for (int o = -2; o <= 1; ++o) {
            glPushMatrix();
            glTranslatef(p, streamA[size_t(i)].y, streamA[size_t(i)].across + 110.0f * float(o));
            drawMesh(car.indexBuffer, car.vertexBuffer, maxIndex, count);
            glPopMatrix();
          }
          for (int o = -2; o <= 1; ++o) {
            glPushMatrix();
            glTranslatef(streamB[size_t(i)].across + 110.0f * float(o), streamB[size_t(i)].y, q);
            glRotatef(90, 0, 1, 0);
            drawMesh(car.indexBuffer, car.vertexBuffer, maxIndex, count);
            glPopMatrix();
          }
        }
        cgResetPassState(pass);
      }
      glFinish();
      double c = now();
      if (f > 0) sceneMs = std::min(sceneMs, (b - a) * 1000), carMs = std::min(carMs, (c - b) * 1000);
    }
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 3), flipped(pixels.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    for (int y = 0; y < kHeight; ++y)
      std::copy_n(&pixels[size_t(kHeight - 1 - y) * kWidth * 3], kWidth * 3, &flipped[size_t(y) * kWidth * 3]);
    std::vector<uint8_t> png = content::encodePng(kWidth, kHeight, 3, flipped.data());
    char name[64];
    std::snprintf(name, sizeof name, "/city-%05.1f.png", double(t));
    std::string path = outDir + name;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out) fwrite(png.data(), 1, png.size(), out), fclose(out);
    std::printf("t %6.1f s: scene %.1f ms, cars %.1f ms (best of 5) (%d x %d) -> %s; camera (%.0f, %.0f, %.0f)\n", double(t),
                sceneMs, carMs, kWidth, kHeight, path.c_str(), double(renderer.camX),
                double(renderer.camY), double(renderer.camZ));
    platform::swapBuffers(window);
  }
  return 0;
}
