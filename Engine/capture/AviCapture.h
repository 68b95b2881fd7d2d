// AviCapture: writes every rendered frame, and the soundtrack beside it, into an AVI file.
//
// Owned by Runtime. enumerateCodecs() lists the video compressors for the start-up dialog.
// When the settings record's captureEnabled is set, the demo calls init() once at the start
// of its loading (it opens captureFileName with the compressor of codecIndex at the chosen
// frame rate), writeFrame() after each frame is drawn and before the swap (one 24-bit
// bottom-up BGR read-back of the back buffer, compressed on the file's writer thread while
// the next frame draws) and close() at the end of the program. The
// soundtrack goes in beside the frames: init() opens the archive's music (the demo does not
// play it while capturing) and each writeFrame() adds the stretch of music that the frame
// shows, at the demo time its progress plan gives (frame n at firstTime + n × step; 1/rate,
// 2/rate, … without a plan). Callers with sound of their own use setAudioFormat() before
// init() and writeAudio() instead. A failed
// init() is logged and leaves the service writing nothing; a failed write is logged and the
// next frame keeps its own number. Failures the file's writer thread meets are logged as
// they come back (a frame's with the next frame, the last ones at close()), each with the
// stream it hit; close() returns 1 when the file is incomplete, and the summary on standard
// error says so. A capture asked for on the command line (fromCommandLine) ends the run with
// exit code 1 then; one chosen in the dialog only logs it. Main thread only, with the GL
// context current.
//
// A file named .mp4, .mov or .mkv is written for publishing instead (platform/video/
// MediaFile.h): H.264 by default with AAC (Matroska: FLAC) sound, encoded on threads of its
// own; the picture is read into a pixel buffer while the next frame draws, so the frame
// does not wait for the read-back. The AVI calls above are not used for those files.
//
// Not a general video writer: it reads the whole window at the settings record's size.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureProgress.h"
#include "capture/CaptureSoundtrack.h"
#include "capture/CodecInfo.h"
#include "platform/video/Avi.h"
#include "platform/video/MediaFile.h"

class Runtime;
struct UserConfig;

class AviCapture {
 public:
  explicit AviCapture(Runtime* runtime);

  int enumerateCodecs(std::vector<CodecInfo>& list);
  int init();
  void writeFrame();
  // 0 when every frame and the file's end reached the file (or capture never started); 1 when
  // it is incomplete.
  int close();

  // 0 on success; 1 for a format that cannot be stored, or once init() has run.
  int setAudioFormat(int sampleRate, int channels);
  void writeAudio(const int16_t* interleaved, int frames);

  Runtime* engine = nullptr;
  std::string fileName;
  int frameRate = 0;
  int width = 0;
  int height = 0;
  int bitsPerPixel = 24;
  platform::video::FOURCC handler = 0;
  platform::video::BITMAPINFOHEADER format;
  platform::video::PAVIFILE file = nullptr;
  platform::video::PAVISTREAM stream = nullptr;
  platform::video::PAVISTREAM compressedStream = nullptr;
  platform::video::AVISTREAMINFOA streamInfo;
  platform::video::AVICOMPRESSOPTIONS options;
  platform::video::HRESULT lastResult = 0;
  int frameIndex = 0;
  std::vector<unsigned char> pixels;
  bool initialised = false;
  bool fromCommandLine = false;  // --capture: a capture that fails ends the run with exit code 1
  int failedFrames = 0;          // frames the file did not take, this run
  int failedSoundWrites = 0;     // runs of sound samples the file did not take

  // Bytes of one row as read back and stored: width × 3, padded to a multiple of 4.
  int rowBytes = 0;
  int imageBytes = 0;

  // The soundtrack.
  int audioSampleRate = 0;
  int audioChannels = 0;
  platform::video::PAVISTREAM audioStream = nullptr;
  platform::video::WAVEFORMATEX audioFormat;
  long audioPosition = 0;  // next sample frame of the audio stream

  CaptureProgress progress;
  CaptureSoundtrack soundtrack;  // the archive's music, when it has one

  // Files for publishing (MP4, MOV, Matroska).
  int quality = -1;  // --quality: H.264's rate factor, another codec's quantiser; -1 default
  platform::video::SoundCodec soundCodec = platform::video::SoundCodec::Default;
  std::unique_ptr<platform::video::MediaWriter> media;
  unsigned readBuffers[2] = {0, 0};  // pixel buffers: frame n is handed over while n + 1 draws

 private:
  void writeAviFrame();
  void frameFailed(platform::video::HRESULT result);
  void soundFailed(platform::video::HRESULT result);
  int initMedia();
  void readBackMedia();
  void handOver(unsigned buffer);
  std::string closeMedia();  // the reason the file is incomplete; empty when it is whole
  void attachSoundtrack();
};

// The frames per second the settings record asks for; 30 when its index is out of range.
int captureFrameRate(const UserConfig& config);
