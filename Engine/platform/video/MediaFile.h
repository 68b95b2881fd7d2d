// MediaFile: video files for publishing (MP4, MOV, Matroska), written through FFmpeg.
//
// What it is for: the capture of a run into the files video sites and players take, beside
// the AVI writer (Avi.h), which keeps its own calls and behaviour. The container comes from
// the file's extension; the video encoder is one of the compressors of Compressors.h,
// chosen by its four-character code ("H264" is libx264: High profile, yuv420p, constant rate
// factor 18, a fast preset tuned for fidelity). The sound is encoded with AAC, FLAC or stored as
// 16-bit PCM; each container has a default (MP4 and MOV: AAC; Matroska: FLAC).
//
// Lifecycle: open() creates the file and starts the encoder thread; writeFrame() and
// writeSound() hand over copies of the data and return at once (they wait only while the
// encoder is several frames behind); close() drains the encoders, writes the index (MP4 and
// MOV put it in front, for playback while downloading) and closes the file. The destructor
// closes a file that is still open. A failure inside the encoder thread is kept and reported
// by close().
//
// Frames come as bottom-up BGR rows, the layout OpenGL reads back. 4:2:0 encoders need an
// even width and height: an odd size is cropped by one column or row (the right-hand column,
// the bottom row), and croppedSize() says so.
//
// Not for reading files, and one thread drives a writer (the encoder thread is internal).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/video/Avi.h"

namespace platform::video {

enum class Container { Avi, Mp4, Mov, Matroska, Unknown };
enum class SoundCodec { Default, Aac, Flac, Pcm };

// By the file name's extension, case-insensitive; a name without one is an AVI.
Container containerForFile(const std::string& path);
// "AVI", "MP4", "MOV", "Matroska".
const char* containerName(Container container);
// The extensions, space separated, of the containers that can carry the compressor's video.
std::string containersFitting(FOURCC handler);
// "aac", "flac", "pcm" (case-insensitive); false for anything else.
bool parseSoundCodec(const std::string& name, SoundCodec& codec);

struct MediaSettings {
  std::string path;
  FOURCC videoHandler = 0;  // a compressor's code; "H264" is the publishing default
  int width = 0, height = 0;  // as read back
  int rowBytes = 0;           // bytes per row read back (padded to a multiple of 4)
  int frameRate = 30;
  int quality = -1;  // H.264: constant rate factor 0 … 51 (default 20); others: quantiser
  SoundCodec soundCodec = SoundCodec::Default;
  int sampleRate = 0, channels = 0;  // 0 channels: no sound track
};

class MediaWriter {
 public:
  MediaWriter();
  ~MediaWriter();
  MediaWriter(const MediaWriter&) = delete;
  MediaWriter& operator=(const MediaWriter&) = delete;

  // 0 on success; 1 with a one-line reason naming the problem.
  int open(const MediaSettings& settings, std::string& error);
  // One frame of settings.rowBytes × height bytes.
  void writeFrame(const uint8_t* pixels);
  // Interleaved 16-bit sample frames, appended to the sound track.
  void writeSound(const int16_t* interleaved, int frames);
  // 0 when everything reached the file; 1 with the first failure's reason.
  int close(std::string& error);

  bool isOpen() const;
  // True when an odd size was cropped to the even encodedWidth() × encodedHeight().
  bool croppedSize() const;
  int encodedWidth() const;
  int encodedHeight() const;
  // For the progress line: "H.264 (libx264, CRF 20) + AAC".
  std::string description() const;

 private:
  struct State;
  std::unique_ptr<State> state;
};

}  // namespace platform::video
