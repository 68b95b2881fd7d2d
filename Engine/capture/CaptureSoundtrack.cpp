#include "capture/CaptureSoundtrack.h"

#include <algorithm>
#include <cmath>

#include "capture/AviCapture.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"

int CaptureSoundtrack::open(Loader& loader, const std::string& entry, Logger& log) {
  const uint32_t size = loader.getSize(entry);
  std::vector<unsigned char> bytes(size);
  if (size == 0 || loader.read(entry, bytes.data()) != 0) {
    log << "capture soundtrack: no " << entry << " in the archive; the capture is silent.\n";
    return 1;
  }
  if (open(std::move(bytes)) != 0) {
    log << "capture soundtrack: " << entry << " does not decode: " << audio::errorString(openResult)
        << "; the capture is silent.\n";
    return 1;
  }
  return 0;
}

int CaptureSoundtrack::open(std::vector<unsigned char> bytes) {
  data = std::move(bytes);
  openResult = data.empty() ? audio::Result::InvalidParam : decoder.open(data.data(), data.size());
  isOpen = openResult == audio::Result::Ok && decoder.rate() > 0;
  return isOpen ? 0 : 1;
}

void CaptureSoundtrack::attach(AviCapture& capture) const {
  if (isOpen) capture.setAudioFormat(decoder.rate(), kChannels);
}

void CaptureSoundtrack::writeFrameAudio(AviCapture& capture, double time, double duration) {
  if (!isOpen || capture.audioChannels != kChannels) return;
  const double rate = decoder.rate();
  // Both ends rounded the same way, so the stretches of consecutive frames abut exactly.
  const int64_t begin = std::llround(std::max(0.0, time) * rate);
  const int64_t end = std::llround(std::max(0.0, time + duration) * rate);
  if (end <= begin) return;
  const size_t frames = static_cast<size_t>(end - begin);
  decoded.assign(frames * kChannels, 0.0f);  // past the music's end: silence
  const uint64_t first = static_cast<uint64_t>(begin);
  bool ready = decoder.position() == first;
  if (!ready && first < decoder.lengthFrames()) ready = decoder.seek(first) == audio::Result::Ok;
  if (ready) decoder.read(decoded.data(), static_cast<int>(frames));
  buffer.resize(decoded.size());
  for (size_t i = 0; i < decoded.size(); ++i)
    buffer[i] = static_cast<int16_t>(std::lrint(std::clamp(decoded[i], -1.0f, 1.0f) * 32767.0f));
  capture.writeAudio(buffer.data(), static_cast<int>(frames));
}
