// The music decoded into a capture: the decoder on its own, then the stretches of music
// that go with each frame, checked by their spectrum.
#include <gtest/gtest.h>

#include <cmath>

#include "AviProbe.h"
#include "capture/AviCapture.h"
#include "capture/CaptureSoundtrack.h"
#include "runtime/Logger.h"
#include "runtime/Runtime.h"
#include "screen/Screen.h"
#include "support/TestSupport.h"

using namespace testing_support;
using namespace avi_probe;

namespace {

// Three seconds of stereo music whose tone is 440 Hz in the first second, 880 Hz in the
// second and 1320 Hz in the third.
std::vector<unsigned char> steppedTone(const ScratchDir& dir) {
  const std::string file = dir.file("tone.ogg");
  runCommand("ffmpeg -v error -y -f lavfi -i \"aevalsrc=0.5*sin(2*PI*440*(1+floor(t))*t)|0.5*sin(2*PI*440*(1+floor(t))*t)"
             ":s=44100:d=3\" -c:a libvorbis -q:a 6 '" + file + "' 2>&1");
  const std::string bytes = readFile(file);
  return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

// Relative power of one frequency in the left channel of a stretch (Goertzel).
double power(const std::vector<int16_t>& stereo, size_t from, size_t frames, double hz, double rate) {
  const double k = 2 * std::cos(2 * M_PI * hz / rate);
  double s1 = 0, s2 = 0;
  for (size_t i = from; i < from + frames && 2 * i < stereo.size(); ++i) {
    const double s0 = stereo[2 * i] / 32768.0 + k * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return (s1 * s1 + s2 * s2 - k * s1 * s2) / static_cast<double>(frames * frames);
}

}  // namespace

TEST(CaptureSoundtrack, RefusesWhatIsNotMusic) {
  CaptureSoundtrack soundtrack;
  const std::string junk = "this is not an ogg file at all, just some text that goes on for a while......";
  EXPECT_EQ(soundtrack.open(std::vector<unsigned char>(junk.begin(), junk.end())), 1);
  EXPECT_FALSE(soundtrack.opened());
  EXPECT_EQ(soundtrack.open({}), 1);
}

TEST(CaptureSoundtrack, EachFrameCarriesItsStretchOfTheMusic) {
  ScratchDir dir;
  Runtime::destroyForTesting();
  MessageRecorder boxes;
  Runtime* runtime = Runtime::instance();
  AviCapture& capture = *runtime->capture;
  capture.progress.sink = [](const std::string&) {};
  runtime->screen->config.captureFileName = dir.file("music.avi");
  runtime->screen->config.width = 16;
  runtime->screen->config.height = 16;
  capture.enumerateCodecs(runtime->screen->codecs);

  CaptureSoundtrack soundtrack;
  ASSERT_EQ(soundtrack.open(steppedTone(dir)), 0);
  soundtrack.attach(capture);
  ASSERT_EQ(capture.init(), 0);
  // Frames showing 1 1/30 s … 3.5 s, as a capture from --from 1 at 30 frames per second.
  const double step = 1.0 / 30;
  for (int n = 1; n <= 75; ++n) soundtrack.writeFrameAudio(capture, 1.0 + n * step, step);
  capture.close();
  Runtime::destroyForTesting();

  const auto audio = decodeAudio(dir.file("music.avi"));
  const size_t frames = audio.size() / 2;
  EXPECT_EQ(frames, static_cast<size_t>(std::llround((1 + 76 * step) * 44100) - std::llround((1 + step) * 44100)));
  // File time 0 is music time 1 1/30 s: 880 Hz until file time 29/30 s, then 1320 Hz to
  // 59/30 s, then silence past the music's end.
  const size_t second = 44100;
  EXPECT_GT(power(audio, 2000, 30000, 880, 44100), 100 * power(audio, 2000, 30000, 1320, 44100));
  EXPECT_GT(power(audio, second + 2000, 30000, 1320, 44100), 100 * power(audio, second + 2000, 30000, 880, 44100));
  for (size_t i = 2 * (2 * second); i < audio.size(); ++i) ASSERT_EQ(audio[i], 0) << i;
}
