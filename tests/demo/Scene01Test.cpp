// The city part: its car layout against values worked out independently, the wrapping of
// the streams, when the cars appear, and the timeline's limit.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "DemoFixtures.h"
#include "Scene01.h"
#include "resources/ResourceFixtures.h"
#include "runtime/Runtime.h"
#include "scene/Renderer.h"
#include "scene/SceneRenderer.h"
#include "screen/Screen.h"

using namespace demo_fixtures;

TEST(CarLayout, FirstAndLastCarsOfBothStreamsMatchAnIndependentTwister) {
  // Worked out with numpy's RandomState(56884) (the standard MT19937 seeding) and float32
  // rounding of every step; the same values come from a plain Python MT19937.
  std::array<CarRecord, 200> a, b;
  layOutCars(a, b);
  auto expect = [](const CarRecord& c, float v0, float v1, float v2, float v3) {
    EXPECT_FLOAT_EQ(c.a, v0);
    EXPECT_FLOAT_EQ(c.y, v1);
    EXPECT_FLOAT_EQ(c.b, v2);
    EXPECT_FLOAT_EQ(c.speed, v3);
  };
  expect(a[0], -54.1908913f, 14.0534067f, -3.75619316f, 12.6219044f);
  expect(b[0], -1.01613581f, 8.5598259f, -161.949234f, 10.5939474f);
  expect(a[199], -121.069656f, 17.3997536f, 2.74352908f, 11.059763f);
  expect(b[199], 1.15859413f, 12.9958801f, -127.550781f, 9.55792427f);
  // Every car within its documented ranges; a second layout is the same.
  std::array<CarRecord, 200> a2, b2;
  layOutCars(a2, b2);
  for (size_t i = 0; i < 200; ++i) {
    EXPECT_EQ(a[i].a, a2[i].a);
    EXPECT_EQ(b[i].speed, b2[i].speed);
    EXPECT_TRUE(a[i].a >= -400 && a[i].a <= 50 && a[i].y >= 13 && a[i].y <= 19) << i;
    EXPECT_TRUE(b[i].b >= -400 && b[i].b <= 50 && b[i].y >= 8 && b[i].y <= 14) << i;
    EXPECT_TRUE(a[i].speed >= 7 && a[i].speed <= 14 && std::fabs(b[i].a) <= 4.5f) << i;
  }
}

TEST(CarLayout, CarsReenterEveryFiftySecondsOfTravelAndNeverPassOneHundred) {
  EXPECT_FLOAT_EQ(carPosition(-50.0f, 10.0f, 5.0f), 0.0f);    // on its way, not wrapped
  EXPECT_FLOAT_EQ(carPosition(0.0f, 10.0f, 10.0f), 100.0f);   // exactly 100 stays
  EXPECT_FLOAT_EQ(carPosition(0.0f, 10.0f, 10.5f), -395.0f);  // one wrap: t - 50
  EXPECT_FLOAT_EQ(carPosition(0.0f, 10.0f, 20.0f), -300.0f);  // 200 is past: t - 50 gives -300
  for (float t = 43.0f; t < 120.0f; t += 0.37f) {
    const float p = carPosition(-400.0f, 14.0f, t);
    EXPECT_LE(p, 100.0f) << t;
    EXPECT_GT(p, -400.0f - 14.0f * 50.0f) << t;
  }
  // Fast cars are several wraps along by 120 s: 50 + 14 x 120 needs wraps until <= 100.
  const float far = carPosition(50.0f, 14.0f, 120.0f);
  EXPECT_LE(far, 100.0f);
  EXPECT_FLOAT_EQ(far, 50.0f + 14.0f * (120.0f - 50.0f * 3.0f));
}

TEST(CarLayout, CarsThatCannotMoveOrTimesThatAreNotFiniteStillGiveAPlace) {
  const float inf = std::numeric_limits<float>::infinity();
  // Each of these looped for ever: no step back ever came below 100.
  EXPECT_FLOAT_EQ(carPosition(50.0f, 0.0f, 200.0f), 50.0f);
  EXPECT_FLOAT_EQ(carPosition(150.0f, 0.0f, 1.0f), 100.0f);
  EXPECT_FLOAT_EQ(carPosition(-50.0f, 10.0f, inf), -50.0f);
  EXPECT_FLOAT_EQ(carPosition(-50.0f, -10.0f, -100.0f), -50.0f);
  for (float t : {1e6f, 3e7f, 1e12f}) {
    const float p = carPosition(-400.0f, 14.0f, t);
    EXPECT_TRUE(std::isfinite(p) && p <= 100.0f) << t << " -> " << p;
  }
  // Late but ordinary times step back to the first period not past 100: 10 x (1000 - 50 x 20).
  EXPECT_FLOAT_EQ(carPosition(0.0f, 10.0f, 1000.0f), 0.0f);
}

TEST(Timeline, AFadeOfNoLengthIsDoneAtOnceNeverNaN) {
  EXPECT_EQ(fadeProgress(0.0f, 0.0f), 1.0f);
  EXPECT_EQ(fadeProgress(-1.0f, -2.0f), 1.0f);
  EXPECT_FLOAT_EQ(fadeProgress(0.5f, 2.0f), 0.25f);
}

TEST(Timeline, ASixtyFifthEntryIsRefusedWithALogLineAndItsPartDeleted) {
  resource_fixtures::LoggedRuntime logged;
  struct Counted : Effect {
    explicit Counted(int* deleted) : deleted(deleted) {}
    ~Counted() override { ++*deleted; }
    int init() override { return 0; }
    void draw(float) override {}
    int* deleted;
  };
  int deleted = 0;
  {
    DemoPlayer player;
    for (int i = 0; i < 64; ++i) ASSERT_EQ(player.addPart(new Counted(&deleted), 0, 1, 0, 0), 0);
    EXPECT_EQ(player.addPart(new Counted(&deleted), 0, 1, 0, 0), 1);
    EXPECT_EQ(player.entryCount, 64u);
    EXPECT_EQ(deleted, 1);
    EXPECT_NE(logged.log().find("timeline full: a part beyond 64 entries is refused\n"), std::string::npos);
  }
  EXPECT_EQ(deleted, 65);  // the player owns its parts
}

TEST(CaptureFrames, TheLastFrameIsTheFirstPastTheEnd) {
  EXPECT_EQ(captureFrameCount(0.0, 1.0, 1.0 / 30), 31);
  EXPECT_EQ(captureFrameCount(0.0, 125.0, 1.0 / 30), 3751);
  EXPECT_EQ(captureFrameCount(60.0, 60.1, 1.0 / 30), 4);  // 60 + 3/30 is not past 60.1
  EXPECT_EQ(captureFrameCount(5.0, 4.0, 0.25), 1);
}

using CityPart = DemoRun;

TEST_F(CityPart, NoCarBefore43SecondsAndAllSixteenHundredFromThenWhetherInViewOrNot) {
  Scene01* scene = new Scene01();
  DemoPlayer player;
  player.addPart(scene, 0.0f, 120.0f, 2.0f, 4.0f);
  // Triangles (and lines) the part submits, against those of its city alone at that time.
  GLuint64 part[3] = {}, city[2] = {};
  std::vector<GLuint64> culled, everything;
  std::vector<uint32_t> objectsCulled;
  std::vector<std::pair<GLuint64, GLuint64>> farTriangles;
  const int code = run(
      [&] {
        scene->cullCars = false;
        scene->batchCars = false;
        if (scene->init() != 0) return 1;
        return player.initPost();
      },
      [&] {
        Renderer& renderer = *Runtime::instance()->renderer;
        GLuint query = 0;
        glGenQueries(1, &query);
        auto count = [&](const std::function<void()>& draw) {
          glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
          glBeginQuery(GL_PRIMITIVES_GENERATED, query);
          draw();
          glEndQuery(GL_PRIMITIVES_GENERATED);
          GLuint64 n = 0;
          glGetQueryObjectui64v(query, GL_QUERY_RESULT, &n);
          return n;
        };
        const float times[] = {42.99f, 43.0f};
        for (int i = 0; i < 2; ++i) {
          city[i] = count([&] { drawScene(renderer, scene->city, times[i]); });
          part[i] = count([&] { scene->draw(times[i]); });
        }
        renderer.controlgrid = true;
        part[2] = count([&] { scene->draw(43.0f); });
        renderer.controlgrid = false;
        // Skipping the cars outside the view changes no pixel, and skips most of them.
        for (float t : {43.0f, 61.5f, 97.25f}) {
          scene->cullCars = false;
          glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
          scene->draw(t);
          const Picture all = readBack();
          scene->cullCars = true;
          culled.push_back(count([&] { scene->draw(t); }));
          glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
          scene->draw(t);
          EXPECT_TRUE(readBack().rgb == all.rgb) << "culling changed the picture at " << t;
          scene->cullCars = false;
          everything.push_back(count([&] { scene->draw(t); }));
        }
        // Skipping the city's objects outside the view (the far city's tiles, signs, lamps)
        // changes no pixel either, over the flight's low and high stretches.
        for (float t : {5.0f, 30.0f, 61.5f, 110.0f}) {
          renderer.cullObjects = false;
          glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
          scene->draw(t);
          const Picture all = readBack();
          renderer.cullObjects = true;
          glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
          scene->draw(t);
          EXPECT_TRUE(readBack().rgb == all.rgb) << "skipping objects changed the picture at " << t;
          objectsCulled.push_back(renderer.objectsCulled);
        }
        // All cars in one draw against one draw per car: the same triangles, the same picture
        // but for the rounding of the moved vertices. Then the far mesh for the cars beyond
        // the distance where it takes over in a 1080-line view: fewer triangles for a
        // picture no one can tell apart, PSNR 45 dB or more (bench_cars gives the figure at
        // full size).
        double psnr = 0;
        auto compare = [&psnr](const Picture& a, const Picture& b, double& mean, long& differing) {
          double sum = 0, squares = 0;
          differing = 0;
          for (size_t i = 0; i < a.rgb.size(); ++i) {
            const int d = std::abs(int(a.rgb[i]) - int(b.rgb[i]));
            differing += d > 8;
            sum += d;
            squares += d * d;
          }
          mean = sum / static_cast<double>(a.rgb.size());
          psnr = 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(a.rgb.size()) / std::max(squares, 1.0));
        };
        for (float t : {43.5f, 60.0f}) {
          scene->cullCarFaces = false;
          scene->farCarDistance = 0.0f;
          scene->batchCars = false;
          const GLuint64 oneByOne = count([&] { scene->draw(t); });
          const Picture single = readBack();
          scene->batchCars = true;
          const GLuint64 together = count([&] { scene->draw(t); });
          const Picture batched = readBack();
          const float viewHeight = static_cast<float>(Runtime::instance()->screen->config.viewportHeight);
          scene->farCarDistance = 160.0f * 1080.0f / viewHeight;
          scene->distantCarDistance = 0.0f;
          EXPECT_FLOAT_EQ(scene->farCarDistanceForView(), 300.0f);
          const GLuint64 withFar = count([&] { scene->draw(t); });
          const Picture far = readBack();
          // And the distant mesh from 1.5 times that distance on.
          scene->distantCarDistance = 240.0f * 1080.0f / viewHeight;
          EXPECT_FLOAT_EQ(scene->distantCarDistanceForView(), 450.0f);
          const GLuint64 withDistant = count([&] { scene->draw(t); });
          const Picture distant = readBack();
          // Leaving out the triangles that face away spares the GL about half of them and
          // changes no pixel.
          scene->cullCarFaces = true;
          const GLuint64 facing = count([&] { scene->draw(t); });
          EXPECT_TRUE(readBack().rgb == distant.rgb) << "culling the cars' back faces changed the picture at " << t;
          const GLuint64 cityAlone = count([&] { drawScene(renderer, scene->city, t); });
          EXPECT_LT(facing - cityAlone, (withDistant - cityAlone) * 6 / 10) << t;
          EXPECT_EQ(together, oneByOne) << t;
          EXPECT_LT(withFar, together) << t;
          EXPECT_LT(withDistant, withFar) << t;
          EXPECT_GT(scene->distantCarsDrawn, 0u) << t;
          double mean = 0;
          long differing = 0;
          compare(single, batched, mean, differing);
          EXPECT_LT(mean, 0.2) << t;
          EXPECT_LT(differing, static_cast<long>(single.rgb.size() / 500)) << t;
          compare(single, far, mean, differing);
          EXPECT_GE(psnr, 45.0) << t;
          compare(single, distant, mean, differing);
          EXPECT_GE(psnr, 45.0) << t;
          farTriangles.push_back({withFar, together});
        }
        glDeleteQueries(1, &query);
      });
  ASSERT_EQ(code, 0);
  ASSERT_FALSE(scene->carModel.polygons.empty());
  const GLuint64 carTriangles = scene->carModel.polygons.size() / 3;
  EXPECT_GT(city[0], 10000u);
  EXPECT_EQ(part[0], city[0]);
  EXPECT_EQ(part[1] - city[1], 1600 * carTriangles);
  // The control grid: 21 x 4 lines.
  EXPECT_EQ(part[2] - part[1], 84u);
  ASSERT_EQ(culled.size(), 3u);
  for (size_t i = 0; i < culled.size(); ++i) EXPECT_LT(culled[i], everything[i]) << i;
  ASSERT_EQ(objectsCulled.size(), 4u);
  for (size_t i = 0; i < objectsCulled.size(); ++i) EXPECT_GT(objectsCulled[i], 0u) << i;
  ASSERT_EQ(farTriangles.size(), 2u);
  // The far mesh exists in the archive and takes over most of the visible cars.
  EXPECT_FALSE(scene->farCarModel.polygons.empty());
}
