#include "capture/CaptureOptions.h"

#include <cctype>
#include <cstdio>
#include <unistd.h>

#include "capture/AviCapture.h"
#include "platform/ProgramPath.h"
#include "platform/video/MediaFile.h"
#include "runtime/Options.h"
#include "screen/ConfigSelection.h"
#include "screen/UserConfig.h"

namespace {

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string fourCCText(uint32_t code) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>((code >> (8 * i)) & 0xff);
    text += std::isprint(static_cast<unsigned char>(c)) ? c : '.';
  }
  return text;
}

int findCodec(const std::vector<CodecInfo>& codecs, const std::string& name) {
  const std::string wanted = lower(name);
  if (wanted.empty()) return -1;
  for (size_t i = 0; i < codecs.size(); ++i)
    if (lower(codecs[i].name) == wanted) return static_cast<int>(i);
  for (size_t i = 0; i < codecs.size(); ++i)
    if (lower(fourCCText(codecs[i].handler)) == wanted) return static_cast<int>(i);
  int found = -1;
  for (size_t i = 0; i < codecs.size(); ++i) {
    if (lower(codecs[i].name).find(wanted) == std::string::npos) continue;
    if (found >= 0) return -1;  // ambiguous
    found = static_cast<int>(i);
  }
  return found;
}

std::string codecListText(const std::vector<CodecInfo>& codecs) {
  std::string text = "  #  code  containers       codec\n";
  for (size_t i = 0; i < codecs.size(); ++i) {
    const std::string code = fourCCText(codecs[i].handler);
    const char* note = i == 0 ? " (default for .avi)" : code == "H264" ? " (default for .mp4 .mov .mkv)" : "";
    char line[240];
    std::snprintf(line, sizeof line, "%3zu  %s  %-15s  %s%s\n", i, code.c_str(),
                  platform::video::containersFitting(codecs[i].handler).c_str(), codecs[i].name.c_str(), note);
    text += line;
  }
  return text;
}

std::string defaultCaptureFileName() { return defaultCaptureFileName(platform::programPath()); }

std::string defaultCaptureFileName(const std::string& programPath) {
  const std::string file = config_selection::captureFileName(programPath.empty() ? "veltro12" : programPath);
  const size_t slash = file.rfind('/');
  if (slash == std::string::npos) return file;
  const std::string folder = slash == 0 ? "/" : file.substr(0, slash);
  return access(folder.c_str(), W_OK) == 0 ? file : file.substr(slash + 1);
}

void applyCaptureOptions(const ProgramOptions& options, UserConfig& config, std::vector<CodecInfo>& codecs,
                         AviCapture& capture) {
  if (config.captureFileName.empty()) config.captureFileName = defaultCaptureFileName();
  capture.fromCommandLine = !options.captureFile.empty();
  if (capture.fromCommandLine) {
    config.captureEnabled = true;
    config.captureFileName = options.captureFile;
  }
  if (options.fps) {
    for (size_t i = 0; i < config.captureFrameRates.size(); ++i)
      if (config.captureFrameRates[i] == *options.fps) config.captureFrameRateIndex = static_cast<int>(i);
  }
  if ((config.captureEnabled || !options.codec.empty()) && codecs.empty()) capture.enumerateCodecs(codecs);
  if (!options.codec.empty()) {
    const int index = findCodec(codecs, options.codec);
    if (index >= 0) config.codecIndex = index;
  } else if (!options.captureFile.empty() && isPublishingFile(options.captureFile)) {
    const int index = findCodec(codecs, "H264");  // the publishing default
    if (index >= 0) config.codecIndex = index;
  }
  if (options.quality) capture.quality = *options.quality;
  if (!options.audioCodec.empty()) platform::video::parseSoundCodec(options.audioCodec, capture.soundCodec);
}

bool isPublishingFile(const std::string& path) {
  const platform::video::Container c = platform::video::containerForFile(path);
  return c != platform::video::Container::Avi && c != platform::video::Container::Unknown;
}
