// Avi: AVI files with video and audio streams, written through FFmpeg.
//
// The calls have the shapes of the classic AVIFile interface so the capture service reads
// like its description: AVIFileInit, AVIFileOpenA (creates the file at once), one
// AVIFileCreateStreamA per stream ("vids" or "auds"), AVIMakeCompressedStream on top of a
// video stream (the compressor is chosen by its four-character code, see Compressors.h),
// AVIStreamSetFormat (a BITMAPINFOHEADER for video: 24-bit bottom-up BGR rows padded to 4
// bytes; a WAVEFORMATEX for audio: 16-bit PCM), AVIStreamWrite per frame or run of audio
// samples, then AVIStreamRelease, AVIFileRelease and AVIFileExit.
//
// Handles are reference counted: the file is finished (encoders drained, index and header
// written, file closed) when the file handle and every stream made in it are released, in
// whatever order. Every call returns AVIERR_OK (0) or one of the negative AVIERR_ results
// below, and never throws. Video goes into the file only through a compressed stream; a
// plain audio stream stores its PCM samples as they come. The file is always an AVI,
// whatever its name: a name whose extension is not ".avi" is refused with
// REGDB_E_CLASSNOTREG, as a file type without a handler would be.
//
// A file compresses and writes on a writer thread of its own, in the order of the calls: a
// video write returns once the frame is converted for the encoder (at most one frame is in
// flight), so the caller draws the next frame while this one is compressed. A failure the
// writer meets is kept with the stream it was writing and returned by that stream's next
// write; AVIStreamEndStreaming hands over what is left after the last write, and
// AVIFileClose finishes the file with a result (releasing the last handle finishes it too,
// silently). Every failure is returned exactly once, oldest first.
//
// Not for reading AVI files, and not thread safe: one thread drives a file and its streams.
#pragma once

#include <cstdint>

namespace platform::video {

using HRESULT = int32_t;
using FOURCC = uint32_t;

constexpr FOURCC makeFourCC(char a, char b, char c, char d) {
  return static_cast<FOURCC>(static_cast<uint8_t>(a)) | (static_cast<FOURCC>(static_cast<uint8_t>(b)) << 8) |
         (static_cast<FOURCC>(static_cast<uint8_t>(c)) << 16) | (static_cast<FOURCC>(static_cast<uint8_t>(d)) << 24);
}

constexpr FOURCC streamtypeVIDEO = makeFourCC('v', 'i', 'd', 's');
constexpr FOURCC streamtypeAUDIO = makeFourCC('a', 'u', 'd', 's');

// Results. Failures are negative, so they print as negative decimal numbers.
constexpr HRESULT AVIERR_OK = 0;
constexpr HRESULT aviError(int code) { return static_cast<HRESULT>(0x80044000u + static_cast<uint32_t>(code)); }
constexpr HRESULT AVIERR_UNSUPPORTED = aviError(101);
constexpr HRESULT AVIERR_BADFORMAT = aviError(102);
constexpr HRESULT AVIERR_MEMORY = aviError(103);
constexpr HRESULT AVIERR_INTERNAL = aviError(104);
constexpr HRESULT AVIERR_BADFLAGS = aviError(105);
constexpr HRESULT AVIERR_BADPARAM = aviError(106);
constexpr HRESULT AVIERR_BADSIZE = aviError(107);
constexpr HRESULT AVIERR_BADHANDLE = aviError(108);
constexpr HRESULT AVIERR_FILEREAD = aviError(109);
constexpr HRESULT AVIERR_FILEWRITE = aviError(110);
constexpr HRESULT AVIERR_FILEOPEN = aviError(111);
constexpr HRESULT AVIERR_COMPRESSOR = aviError(112);
constexpr HRESULT AVIERR_NOCOMPRESSOR = aviError(113);
constexpr HRESULT AVIERR_READONLY = aviError(114);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);

// AVIFileOpenA modes. Only writing a new file is offered.
constexpr unsigned OF_READ = 0x0000;
constexpr unsigned OF_WRITE = 0x0001;
constexpr unsigned OF_CREATE = 0x1000;

// AVIStreamWrite flags.
constexpr unsigned AVIIF_KEYFRAME = 0x10;

constexpr uint32_t BI_RGB = 0;
constexpr uint16_t WAVE_FORMAT_PCM = 1;

struct RECT {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// A device-independent bitmap's header: the video frame format.
struct BITMAPINFOHEADER {
  uint32_t biSize = 0;
  int32_t biWidth = 0;
  int32_t biHeight = 0;  // positive: rows run bottom-up
  uint16_t biPlanes = 0;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "the frame format header is 40 bytes");

// The audio sample format.
struct WAVEFORMATEX {
  uint16_t wFormatTag = 0;
  uint16_t nChannels = 0;
  uint32_t nSamplesPerSec = 0;
  uint32_t nAvgBytesPerSec = 0;
  uint16_t nBlockAlign = 0;
  uint16_t wBitsPerSample = 0;
  uint16_t cbSize = 0;
};

struct AVISTREAMINFOA {
  FOURCC fccType = 0;
  FOURCC fccHandler = 0;
  uint32_t dwFlags = 0;
  uint32_t dwCaps = 0;
  uint16_t wPriority = 0;
  uint16_t wLanguage = 0;
  uint32_t dwScale = 0;  // time base: dwRate / dwScale samples per second
  uint32_t dwRate = 0;
  uint32_t dwStart = 0;
  uint32_t dwLength = 0;
  uint32_t dwInitialFrames = 0;
  uint32_t dwSuggestedBufferSize = 0;
  uint32_t dwQuality = 0;
  uint32_t dwSampleSize = 0;
  RECT rcFrame;
  uint32_t dwEditCount = 0;
  uint32_t dwFormatChangeCount = 0;
  char szName[64] = {};
};

struct AVICOMPRESSOPTIONS {
  FOURCC fccType = 0;
  FOURCC fccHandler = 0;
  uint32_t dwKeyFrameEvery = 0;   // 0: the compressor's default
  uint32_t dwQuality = 0;         // 1 … 10000; 0: the compressor's default
  uint32_t dwBytesPerSecond = 0;  // 0: no data rate asked
  uint32_t dwFlags = 0;
  void* lpFormat = nullptr;
  uint32_t cbFormat = 0;
  void* lpParms = nullptr;
  uint32_t cbParms = 0;
  uint32_t dwInterleaveEvery = 0;
};

struct AviFileObject;
struct AviStreamObject;
using PAVIFILE = AviFileObject*;
using PAVISTREAM = AviStreamObject*;

void AVIFileInit();
void AVIFileExit();

// Creates (truncates) the file: AVIERR_FILEOPEN when it cannot be created, AVIERR_MEMORY
// when out of memory, AVIERR_UNSUPPORTED for a mode other than OF_WRITE | OF_CREATE.
HRESULT AVIFileOpenA(PAVIFILE* file, const char* fileName, unsigned mode, const void* handlerClass);

// A "vids" or "auds" stream; AVIERR_UNSUPPORTED for another type or once writing began.
HRESULT AVIFileCreateStreamA(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOA* info);

// A compressing stream over a video stream: AVIERR_NOCOMPRESSOR when no compressor has the
// options' handler code, AVIERR_UNSUPPORTED when the source is not video.
HRESULT AVIMakeCompressedStream(PAVISTREAM* compressed, PAVISTREAM source, const AVICOMPRESSOPTIONS* options,
                                const void* handlerClass);

// Fixes the stream's format (once, at position 0); for a compressed stream this opens the
// compressor, and AVIERR_BADFORMAT means it cannot take frames of that format.
HRESULT AVIStreamSetFormat(PAVISTREAM stream, long position, const void* format, long formatSize);

// Writes `samples` samples from `start` on: one frame for video (`bytes` at least the
// format's biSizeImage), interleaved PCM sample frames for audio. A start after the stream's
// end leaves a gap (an empty frame, silence); a start before it is AVIERR_BADPARAM.
HRESULT AVIStreamWrite(PAVISTREAM stream, long start, long samples, const void* buffer, long bytes, unsigned flags,
                       long* samplesWritten, long* bytesWritten);

// Waits until the writer has stored everything written so far, then returns the oldest
// failure met on `stream` that no call has returned yet: AVIERR_OK once none is left, so a
// caller that wants every failure calls it until it returns AVIERR_OK.
HRESULT AVIStreamEndStreaming(PAVISTREAM stream);

// Finishes the file now: the encoders' last frames, the index and the header are written
// and the file is closed. AVIERR_FILEWRITE when any of that did not reach the file (it is
// then incomplete). The handles stay valid for release; a later write returns
// AVIERR_UNSUPPORTED.
HRESULT AVIFileClose(PAVIFILE file);

// Each returns the references left on the object.
unsigned long AVIStreamRelease(PAVISTREAM stream);
unsigned long AVIFileRelease(PAVIFILE file);

// Tests only: the next AVIStreamWrite on any stream returns `result` without writing.
void failNextStreamWriteForTesting(HRESULT result);

}  // namespace platform::video
