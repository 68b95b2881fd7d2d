// Video files in the browser: FFmpeg is not built for the page, so there are no compressors,
// an AVI file cannot be opened and a media writer fails with the stand-in's reason. The
// player refuses --capture before any of these is reached; they keep the capture service
// linkable, and the names of containers and sound codecs still parse as on the desktop.
#include <strings.h>

#include "platform/video/Avi.h"
#include "platform/video/Compressors.h"
#include "platform/video/MediaFile.h"
#include "platform/web/Unavailable.h"

namespace platform::video {

void AVIFileInit() {}
void AVIFileExit() {}
HRESULT AVIFileOpenA(PAVIFILE* file, const char*, unsigned, const void*) {
  if (file) *file = nullptr;
  return AVIERR_UNSUPPORTED;
}
HRESULT AVIFileCreateStreamA(PAVIFILE, PAVISTREAM* stream, const AVISTREAMINFOA*) {
  if (stream) *stream = nullptr;
  return AVIERR_UNSUPPORTED;
}
HRESULT AVIMakeCompressedStream(PAVISTREAM* compressed, PAVISTREAM, const AVICOMPRESSOPTIONS*, const void*) {
  if (compressed) *compressed = nullptr;
  return AVIERR_NOCOMPRESSOR;
}
HRESULT AVIStreamSetFormat(PAVISTREAM, long, const void*, long) { return AVIERR_UNSUPPORTED; }
HRESULT AVIStreamWrite(PAVISTREAM, long, long, const void*, long, unsigned, long*, long*) { return AVIERR_UNSUPPORTED; }
HRESULT AVIStreamEndStreaming(PAVISTREAM) { return AVIERR_OK; }
HRESULT AVIFileClose(PAVIFILE) { return AVIERR_OK; }
unsigned long AVIStreamRelease(PAVISTREAM) { return 0; }
unsigned long AVIFileRelease(PAVIFILE) { return 0; }
void failNextStreamWriteForTesting(HRESULT) {}

int ICInfo(FOURCC, uint32_t, ICINFO*) { return 0; }
HIC ICOpen(FOURCC, FOURCC, unsigned) { return nullptr; }
long ICGetInfo(HIC, ICINFO*, unsigned long) { return 0; }
intptr_t ICSendMessage(HIC, unsigned, intptr_t, intptr_t) { return ICERR_BADHANDLE; }
intptr_t ICClose(HIC) { return ICERR_BADHANDLE; }

Container containerForFile(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return Container::Avi;
  const std::string ext = path.substr(dot + 1);
  if (strcasecmp(ext.c_str(), "avi") == 0) return Container::Avi;
  if (strcasecmp(ext.c_str(), "mp4") == 0) return Container::Mp4;
  if (strcasecmp(ext.c_str(), "mov") == 0) return Container::Mov;
  if (strcasecmp(ext.c_str(), "mkv") == 0) return Container::Matroska;
  return Container::Unknown;
}

const char* containerName(Container container) {
  switch (container) {
    case Container::Avi: return "AVI";
    case Container::Mp4: return "MP4";
    case Container::Mov: return "MOV";
    case Container::Matroska: return "Matroska";
    case Container::Unknown: break;
  }
  return "unknown";
}

std::string containersFitting(FOURCC) { return {}; }

bool parseSoundCodec(const std::string& name, SoundCodec& codec) {
  if (strcasecmp(name.c_str(), "aac") == 0) codec = SoundCodec::Aac;
  else if (strcasecmp(name.c_str(), "flac") == 0) codec = SoundCodec::Flac;
  else if (strcasecmp(name.c_str(), "pcm") == 0) codec = SoundCodec::Pcm;
  else return false;
  return true;
}

struct MediaWriter::State {};

MediaWriter::MediaWriter() = default;
MediaWriter::~MediaWriter() = default;
int MediaWriter::open(const MediaSettings&, std::string& error) {
  error = notInBrowser("Capture to a video file");
  return 1;
}
void MediaWriter::writeFrame(const uint8_t*) {}
void MediaWriter::writeSound(const int16_t*, int) {}
int MediaWriter::close(std::string&) { return 0; }
bool MediaWriter::isOpen() const { return false; }
bool MediaWriter::croppedSize() const { return false; }
int MediaWriter::encodedWidth() const { return 0; }
int MediaWriter::encodedHeight() const { return 0; }
std::string MediaWriter::description() const { return {}; }

}  // namespace platform::video
