#include "capture/AviCapture.h"

#include <GL/glew.h>

#include <cstdlib>
#include <cwchar>

#include "capture/CaptureOptions.h"
#include "platform/Faults.h"
#include "platform/video/Compressors.h"
#include "resources/Loader.h"
#include "runtime/Logger.h"
#include "runtime/Runtime.h"
#include "screen/Screen.h"
#include "sound/Sound.h"

using namespace platform::video;

namespace {

// The description text in the C library's multi-byte encoding, at most 127 bytes.
std::string toMultiByte(const wchar_t* wide) {
  char buffer[128] = {};
  const size_t n = std::wcstombs(buffer, wide, sizeof buffer - 1);
  if (n != static_cast<size_t>(-1)) return std::string(buffer, n);
  std::string text;  // a character the locale cannot encode: keep the rest readable
  for (const wchar_t* c = wide; *c && text.size() < sizeof buffer - 1; ++c)
    text += (*c > 0 && *c < 0x80) ? static_cast<char>(*c) : '?';
  return text;
}

// The reason after "avi stream write error: ".
std::string writeErrorText(HRESULT result) {
  if (result == AVIERR_UNSUPPORTED) return "unsupported";
  if (result == AVIERR_BADFORMAT) return "bad format";
  if (result == AVIERR_MEMORY) return "memory";
  if (result == AVIERR_INTERNAL) return "internal";
  return "unknown: " + std::to_string(static_cast<int>(result));
}

}  // namespace

int captureFrameRate(const UserConfig& config) {
  const int index = config.captureFrameRateIndex;
  if (index < 0 || index >= static_cast<int>(config.captureFrameRates.size())) return 30;
  return config.captureFrameRates[static_cast<size_t>(index)];
}

AviCapture::AviCapture(Runtime* runtime) : engine(runtime) {}

int AviCapture::enumerateCodecs(std::vector<CodecInfo>& list) {
  ICINFO info;
  for (uint32_t i = 0; ICInfo(ICTYPE_VIDEO, i, &info); ++i) {
    HIC compressor = ICOpen(info.fccType, info.fccHandler, ICMODE_QUERY);
    if (!compressor) continue;
    ICGetInfo(compressor, &info, sizeof(info));
    CodecInfo codec;
    codec.name = toMultiByte(info.szDescription);
    codec.handler = info.fccHandler;
    codec.configurable = ICSendMessage(compressor, ICM_CONFIGURE, -1, ICMF_CONFIGURE_QUERY) == ICERR_OK;
    list.push_back(codec);
    if (engine && engine->logger)
      *engine->logger << codec.name << " fcc: " << static_cast<unsigned long>(codec.handler)
                    << " settings: " << (codec.configurable ? 1 : 0) << "\n";
    ICClose(compressor);
  }
  return 0;
}

int AviCapture::init() {
  if (initialised) return 1;
  const Screen& screen = *engine->screen;
  const UserConfig& config = screen.config;
  fileName = config.captureFileName;
  frameRate = captureFrameRate(config);
  width = config.width;
  height = config.height;
  const bool haveCodec = config.codecIndex >= 0 && config.codecIndex < static_cast<int>(screen.codecs.size());
  handler = haveCodec ? screen.codecs[static_cast<size_t>(config.codecIndex)].handler : 0;
  const std::string codecName = haveCodec ? screen.codecs[static_cast<size_t>(config.codecIndex)].name : "";

  // OpenGL pads each row it reads back to 4 bytes, as bitmap rows are padded.
  rowBytes = (width * bitsPerPixel / 8 + 3) & ~3;
  imageBytes = rowBytes * height;
  format = BITMAPINFOHEADER{};
  format.biSize = sizeof(BITMAPINFOHEADER);
  format.biWidth = width;
  format.biHeight = height;
  format.biPlanes = 1;
  format.biBitCount = static_cast<uint16_t>(bitsPerPixel);
  format.biCompression = BI_RGB;
  format.biSizeImage = static_cast<uint32_t>(imageBytes);

  std::string reason;  // the logged failure, for the person at the terminal
  auto fail = [&](const std::string& text) {
    *engine->logger << text;
    progress.failed(fileName, reason.empty() ? text : reason, fromCommandLine);
    // Whatever was created stays valid for release: undo it now, so nothing is left open.
    if (compressedStream) AVIStreamRelease(compressedStream);
    if (stream) AVIStreamRelease(stream);
    if (file) AVIFileRelease(file);
    compressedStream = stream = nullptr;
    file = nullptr;
    AVIFileExit();
    return 1;
  };

  if (isPublishingFile(fileName)) return initMedia();

  AVIFileInit();
  lastResult = AVIFileOpenA(&file, fileName.c_str(), OF_WRITE | OF_CREATE, nullptr);
  if (lastResult != AVIERR_OK) {
    std::string text = "avi engine failed to initialize: ";
    if (lastResult == REGDB_E_CLASSNOTREG)
      reason = "according to the registry, the type of file specified in avifileopen does not have a handler to process it.\n";
    else if (lastResult == AVIERR_BADFORMAT)
      reason = "the file couldn't be read, indicating a corrupt file or an unrecognized format.\n";
    else if (lastResult == AVIERR_MEMORY)
      reason = "the file could not be opened because of insufficient memory.\n";
    else if (lastResult == AVIERR_FILEREAD)
      reason = "a disk error occurred while reading the file.\n";
    else if (lastResult == AVIERR_FILEOPEN)
      reason = "a disk error occurred while opening the file.\n";
    text += reason.empty() ? "\n" : reason;
    if (reason.empty()) reason = "the file could not be opened.";
    file = nullptr;
    return fail(text);
  }

  streamInfo = AVISTREAMINFOA{};
  streamInfo.fccType = streamtypeVIDEO;
  streamInfo.fccHandler = handler;
  streamInfo.dwScale = 1;
  streamInfo.dwRate = static_cast<uint32_t>(frameRate);
  streamInfo.dwSuggestedBufferSize = static_cast<uint32_t>(imageBytes);
  streamInfo.rcFrame = RECT{0, 0, width, height};
  lastResult = AVIFileCreateStreamA(file, &stream, &streamInfo);
  if (lastResult != AVIERR_OK) {
    std::string text = " avi stream creation failed.";
    if (lastResult == AVIERR_READONLY) text += " read only file.";
    text += "\n";
    stream = nullptr;
    return fail(text);
  }

  options = AVICOMPRESSOPTIONS{};
  options.fccHandler = handler;
  lastResult = AVIMakeCompressedStream(&compressedStream, stream, &options, nullptr);
  if (lastResult != AVIERR_OK) {
    std::string text = "avi compressed stream creation failed: ";
    if (lastResult == AVIERR_UNSUPPORTED)
      text += "compression is not supported for this type of data. this error might be returned if you try to "
              "compress data that is not audio or video.";
    else if (lastResult == AVIERR_MEMORY)
      text += "there is not enough memory to complete the operation.";
    else if (lastResult == AVIERR_NOCOMPRESSOR)
      text += "a suitable compressor cannot be found.";
    text += "\n";
    compressedStream = nullptr;
    return fail(text);
  }

  // The header size plus 4 bytes per palette colour, of which there are none.
  lastResult = AVIStreamSetFormat(compressedStream, 0, &format, sizeof(BITMAPINFOHEADER));
  if (lastResult != AVIERR_OK) return fail("avi compressed stream format setting failed.\n");

  attachSoundtrack();
  if (audioChannels > 0) {
    AVISTREAMINFOA audioInfo;
    audioInfo.fccType = streamtypeAUDIO;
    audioInfo.dwScale = 1;
    audioInfo.dwRate = static_cast<uint32_t>(audioSampleRate);
    audioInfo.dwSampleSize = static_cast<uint32_t>(audioChannels * 2);
    audioFormat = WAVEFORMATEX{};
    audioFormat.wFormatTag = WAVE_FORMAT_PCM;
    audioFormat.nChannels = static_cast<uint16_t>(audioChannels);
    audioFormat.nSamplesPerSec = static_cast<uint32_t>(audioSampleRate);
    audioFormat.nBlockAlign = static_cast<uint16_t>(audioChannels * 2);
    audioFormat.nAvgBytesPerSec = audioFormat.nSamplesPerSec * audioFormat.nBlockAlign;
    audioFormat.wBitsPerSample = 16;
    HRESULT r = AVIFileCreateStreamA(file, &audioStream, &audioInfo);
    if (r == AVIERR_OK) r = AVIStreamSetFormat(audioStream, 0, &audioFormat, sizeof(audioFormat));
    if (r != AVIERR_OK) {
      // The pictures are still worth having: go on with a silent file.
      *engine->logger << "avi audio stream creation failed: " << static_cast<int>(r) << "\n";
      if (audioStream) AVIStreamRelease(audioStream);
      audioStream = nullptr;
    }
  }

  pixels.assign(static_cast<size_t>(imageBytes), 0);
  frameIndex = 0;
  audioPosition = 0;
  failedFrames = failedSoundWrites = 0;
  initialised = true;
  progress.started(fileName, width, height, frameRate, codecName);
  return 0;
}

void AviCapture::attachSoundtrack() {
  // The music rides along unless the caller brings sound of its own.
  if (audioChannels == 0 && engine->loader && engine->loader->opened && engine->sound &&
      !engine->sound->musicMember.empty() &&
      soundtrack.open(*engine->loader, engine->sound->musicMember, *engine->logger) == 0)
    soundtrack.attach(*this);
}

int AviCapture::initMedia() {
  attachSoundtrack();
  MediaSettings settings;
  settings.path = fileName;
  settings.videoHandler = handler;
  settings.width = width;
  settings.height = height;
  settings.rowBytes = rowBytes;
  settings.frameRate = frameRate;
  settings.quality = quality;
  settings.soundCodec = soundCodec;
  settings.sampleRate = audioSampleRate;
  settings.channels = audioChannels;
  media = std::make_unique<MediaWriter>();
  std::string error;
  if (media->open(settings, error) != 0) {
    *engine->logger << "capture failed to initialize: " << error << "\n";
    progress.failed(fileName, error, fromCommandLine);
    media.reset();
    return 1;
  }
  if (media->croppedSize()) {
    const std::string video = media->description().substr(0, media->description().find(" + "));
    const std::string text = "capture: " + video + " stores even sizes only: " + std::to_string(width) + "x" +
                             std::to_string(height) + " is cropped to " + std::to_string(media->encodedWidth()) + "x" +
                             std::to_string(media->encodedHeight()) + " (the right-hand column or bottom row is left out)\n";
    *engine->logger << text;
    progress.sink(text);
  }
  if (GLEW_VERSION_2_1 || GLEW_ARB_pixel_buffer_object) {
    glGenBuffers(2, readBuffers);
    for (unsigned buffer : readBuffers) {
      glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
      glBufferData(GL_PIXEL_PACK_BUFFER, imageBytes, nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  }
  pixels.assign(static_cast<size_t>(imageBytes), 0);
  frameIndex = 0;
  failedFrames = failedSoundWrites = 0;
  audioPosition = 0;
  initialised = true;
  progress.started(fileName, media->encodedWidth(), media->encodedHeight(), frameRate, media->description());
  return 0;
}

void AviCapture::handOver(unsigned buffer) {
  glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
  const void* mapped =
      platform::failNow(platform::Fault::PixelBufferRead) ? nullptr : glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY);
  if (mapped) {
    media->writeFrame(static_cast<const uint8_t*>(mapped));
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
  } else {
    *engine->logger << "capture: a frame's pixel buffer could not be read\n";
    ++failedFrames;  // the file misses this frame: it is incomplete
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

void AviCapture::readBackMedia() {
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
  if (readBuffers[0]) {
    // This frame goes into one buffer; the previous one, finished meanwhile, leaves the other.
    glBindBuffer(GL_PIXEL_PACK_BUFFER, readBuffers[frameIndex % 2]);
    glReadPixels(0, 0, width, height, GL_BGR, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (frameIndex > 0) handOver(readBuffers[(frameIndex - 1) % 2]);
  } else {
    glReadPixels(0, 0, width, height, GL_BGR, GL_UNSIGNED_BYTE, pixels.data());
    media->writeFrame(pixels.data());
  }
  glPopClientAttrib();
}

std::string AviCapture::closeMedia() {
  if (readBuffers[0]) {
    if (frameIndex > 0) handOver(readBuffers[(frameIndex - 1) % 2]);
    glDeleteBuffers(2, readBuffers);
    readBuffers[0] = readBuffers[1] = 0;
  }
  std::string error;
  if (media->close(error) != 0) *engine->logger << "capture: " << fileName << " is incomplete: " << error << "\n";
  media.reset();
  return error;
}

void AviCapture::writeFrame() {
  if (!initialised) return;
  if (media) {
    readBackMedia();
  } else {
    writeAviFrame();
  }
  if (soundtrack.opened()) {
    const double step = progress.planned() ? progress.plannedStep() : 1.0 / frameRate;
    const double first = progress.planned() ? progress.plannedFirstTime() : step;
    soundtrack.writeFrameAudio(*this, first + frameIndex * step, step);  // the music while this frame shows
  }
  progress.frameWritten(frameIndex);
  ++frameIndex;  // also after a failure, so the stream keeps its timing
}

void AviCapture::writeAviFrame() {
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glPixelStorei(GL_PACK_SKIP_ROWS, 0);
  glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
  glReadPixels(0, 0, width, height, GL_BGR, GL_UNSIGNED_BYTE, pixels.data());
  glPopClientAttrib();

  // A frame is compressed while the next one draws: a failure the writer meets on it is
  // returned by this stream's next write, or at close().
  lastResult = AVIStreamWrite(compressedStream, frameIndex, 1, pixels.data(), imageBytes, AVIIF_KEYFRAME, nullptr,
                              nullptr);
  if (lastResult != AVIERR_OK) frameFailed(lastResult);
}

void AviCapture::frameFailed(HRESULT result) {
  *engine->logger << "avi stream write error: " << writeErrorText(result) << "\n";
  ++failedFrames;
}

void AviCapture::soundFailed(HRESULT result) {
  *engine->logger << "avi audio write error: " << static_cast<int>(result) << "\n";
  ++failedSoundWrites;
}

int AviCapture::setAudioFormat(int sampleRate, int channels) {
  if (initialised || sampleRate < 1000 || sampleRate > 384000 || channels < 1 || channels > 8) return 1;
  audioSampleRate = sampleRate;
  audioChannels = channels;
  return 0;
}

void AviCapture::writeAudio(const int16_t* interleaved, int frames) {
  if (initialised && media && interleaved && frames > 0) {
    media->writeSound(interleaved, frames);
    audioPosition += frames;
    return;
  }
  if (!initialised || !audioStream || !interleaved || frames <= 0) return;
  const HRESULT r = AVIStreamWrite(audioStream, audioPosition, frames, interleaved,
                                   static_cast<long>(frames) * audioChannels * 2, 0, nullptr, nullptr);
  if (r != AVIERR_OK) soundFailed(r);
  audioPosition += frames;  // a lost run becomes silence, the rest stays in step
}

int AviCapture::close() {
  if (!initialised) return 0;
  if (media) {
    std::string problem = closeMedia();
    if (failedFrames > 0)
      problem = std::to_string(failedFrames) + " of " + std::to_string(frameIndex) + " frames could not be read" +
                (problem.empty() ? "" : ", " + problem);
    pixels.clear();
    initialised = false;
    progress.finished(fileName, frameIndex, problem);
    return problem.empty() ? 0 : 1;
  }
  // What the writer met after the last write of each stream, then the file's own end.
  for (HRESULT r; (r = AVIStreamEndStreaming(compressedStream)) != AVIERR_OK;) frameFailed(r);
  if (audioStream)
    for (HRESULT r; (r = AVIStreamEndStreaming(audioStream)) != AVIERR_OK;) soundFailed(r);
  const bool finished = AVIFileClose(file) == AVIERR_OK;
  if (!finished) *engine->logger << "avi file close error: a disk error occurred while writing the file.\n";
  AVIStreamRelease(stream);
  stream = nullptr;
  AVIStreamRelease(compressedStream);
  compressedStream = nullptr;
  if (audioStream) AVIStreamRelease(audioStream);
  audioStream = nullptr;
  AVIFileRelease(file);  // the last reference: the file is finished and closed here
  file = nullptr;
  AVIFileExit();
  pixels.clear();
  pixels.shrink_to_fit();
  initialised = false;
  std::string problem;
  if (failedFrames > 0)
    problem = std::to_string(failedFrames) + " of " + std::to_string(frameIndex) + " frames could not be written";
  if (failedSoundWrites > 0)
    problem += std::string(problem.empty() ? "" : ", ") + std::to_string(failedSoundWrites) +
               " runs of sound could not be written";
  if (!finished) problem += std::string(problem.empty() ? "" : ", ") + "the file could not be finished";
  progress.finished(fileName, frameIndex, problem);
  return problem.empty() ? 0 : 1;
}
