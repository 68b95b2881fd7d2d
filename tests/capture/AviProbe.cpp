#include "AviProbe.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace avi_probe {


namespace {
// Ramps up and down with no jump, so lossy codecs see the picture a demo gives them.
uint8_t triangle(int v) {
  v %= 510;
  return static_cast<uint8_t>(v < 256 ? v : 509 - v);
}
}  // namespace

std::vector<uint8_t> patternTopDown(int frame, int width, int height) {
  std::vector<uint8_t> image(static_cast<size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &image[(static_cast<size_t>(y) * width + x) * 3];
      p[0] = triangle(x * 4 + frame * 29);
      p[1] = triangle(y * 5 + frame * 13);
      p[2] = triangle((x + y) * 2 + frame * 41);
    }
  return image;
}

std::vector<uint8_t> patternFrame(int frame, int width, int height) {
  const int row = (width * 3 + 3) & ~3;
  std::vector<uint8_t> image(static_cast<size_t>(row) * height, 0xEE);  // padding bytes are junk
  const std::vector<uint8_t> top = patternTopDown(frame, width, height);
  for (int i = 0; i < height; ++i) {
    const int y = height - 1 - i;  // bottom-up
    std::copy_n(&top[static_cast<size_t>(y) * width * 3], width * 3, &image[static_cast<size_t>(i) * row]);
  }
  return image;
}

std::string runCommand(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int rc = pclose(pipe);
  if (status) *status = rc;
  return out;
}

std::map<std::string, std::string> probeStream(const std::string& file, const std::string& stream) {
  std::map<std::string, std::string> values;
  const std::string text = runCommand("ffprobe -v error -select_streams " + stream +
                                      " -show_entries stream=codec_name,codec_tag_string,profile,r_frame_rate,nb_frames,"
                                      "duration,width,height,sample_rate,channels -of default=nw=1 '" +
                                      file + "' 2>/dev/null");
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

std::vector<std::vector<uint8_t>> decodeFrames(const std::string& file, int width, int height) {
  const std::string raw = runCommand("ffmpeg -v error -i '" + file +
                                     "' -map 0:v:0 -vsync cfr -f rawvideo -pix_fmt bgr24 pipe:1 2>/dev/null");
  const size_t size = static_cast<size_t>(width) * height * 3;
  std::vector<std::vector<uint8_t>> frames;
  for (size_t at = 0; size > 0 && at + size <= raw.size(); at += size)
    frames.emplace_back(raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + size));
  return frames;
}

std::vector<int16_t> decodeAudio(const std::string& file) {
  const std::string raw =
      runCommand("ffmpeg -v error -i '" + file + "' -map 0:a:0 -f s16le -acodec pcm_s16le pipe:1 2>/dev/null");
  std::vector<int16_t> samples(raw.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(static_cast<uint8_t>(raw[2 * i]) | (static_cast<uint8_t>(raw[2 * i + 1]) << 8));
  return samples;
}

double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 0.0;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<double>(a[i]) - b[i];
    sum += d * d;
  }
  if (sum == 0) return 99.0;
  return 10.0 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(a.size())));
}

}  // namespace avi_probe
