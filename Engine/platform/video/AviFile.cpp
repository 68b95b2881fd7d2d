#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "platform/Clock.h"
#include "platform/Faults.h"
#include "platform/video/Avi.h"
#include "platform/video/EncoderTable.h"
#include "platform/video/MediaFile.h"

namespace platform::video {

namespace {

HRESULT injectedWriteResult = AVIERR_OK;
int libraryUsers = 0;

HRESULT fromAvError(int error, HRESULT otherwise) { return error == AVERROR(ENOMEM) ? AVIERR_MEMORY : otherwise; }

// Everything one stream of the file needs; owned by the file's state.
struct StreamState {
  AVISTREAMINFOA info;
  bool isVideo = false;
  bool compressed = false;  // a compressed stream has been made over it
  bool formatSet = false;
  AVStream* avStream = nullptr;
  int64_t nextPosition = 0;  // first sample not yet written
  // Failures the writer met on this stream that no call has returned yet, oldest first
  // (guarded by the file's lock).
  std::deque<HRESULT> failures;
  // Video
  const EncoderEntry* encoder = nullptr;
  AVICOMPRESSOPTIONS options;
  AVCodecContext* codec = nullptr;
  SwsContext* converter = nullptr;
  AVFrame* frame = nullptr;
  int width = 0, height = 0;
  bool bottomUp = true;
  int rowBytes = 0;
  long imageBytes = 0;
  // Audio
  int blockAlign = 0;
  int sampleRate = 0;

  ~StreamState() {
    avcodec_free_context(&codec);
    sws_freeContext(converter);
    av_frame_free(&frame);
  }
};

}  // namespace

// One piece of work for the file's writer thread: encode the video stream's converted frame,
// or store a run of PCM samples after `gap` sample frames of silence. One job per write
// call, so a call has at most one failure of its own.
struct WriteJob {
  StreamState* stream = nullptr;
  int64_t start = 0;  // the first sample frame of the gap, or of the samples
  int64_t gap = 0;
  long samples = 0;
  std::vector<uint8_t> bytes;  // the samples; kept between uses, so steady writing allocates nothing
};

// The open file: finished when the last handle on it (file or stream) is released.
//
// Encoding and muxing run on a writer thread of the file's own, in the order of the calls, so
// the caller goes on (drawing the next frame) while a frame is compressed. The caller converts
// a frame into the stream's encoder frame only once the writer is idle, so at most one frame
// is in flight and no extra frame memory is held. A failure met by the writer is kept with
// its stream and returned by that stream's next write call (or AVIStreamEndStreaming).
struct FileState {
  AVFormatContext* format = nullptr;
  std::vector<std::unique_ptr<StreamState>> streams;
  bool headerWritten = false;
  bool headerFailed = false;
  AVPacket* packet = nullptr;  // the writer's (the caller's only once the writer has stopped)

  static constexpr size_t kJobs = 16;
  std::array<WriteJob, kJobs> jobs;  // a ring: `queued` jobs from `first` on
  size_t first = 0, queued = 0;
  bool writing = false;  // the writer holds a job
  bool stopping = false;
  std::thread writer;
  std::mutex lock;
  std::condition_variable wake, done;

  ~FileState() {
    finish();
    av_packet_free(&packet);
  }

  // The next free job, once there is room; the caller fills it and calls post().
  WriteJob& nextJob() {
    std::unique_lock<std::mutex> guard(lock);
    done.wait(guard, [&] { return queued < kJobs; });
    return jobs[(first + queued) % kJobs];
  }

  void post() {
    if (!writer.joinable()) {
      platform::UnpinnedScope unpinned;  // the writer uses whichever processor is free
      writer = std::thread([this] { run(); });
    }
    {
      std::lock_guard<std::mutex> guard(lock);
      ++queued;
    }
    wake.notify_one();
  }

  // Waits until the writer has done everything posted.
  void waitIdle() {
    std::unique_lock<std::mutex> guard(lock);
    done.wait(guard, [&] { return queued == 0 && !writing; });
  }

  // What a call on stream `s` returns: its oldest failure not yet returned. The call's own
  // failure `now`, if any, queues behind it, so every failure is returned once, in order.
  HRESULT report(StreamState& s, HRESULT now) {
    std::lock_guard<std::mutex> guard(lock);
    if (now != AVIERR_OK) s.failures.push_back(now);
    if (s.failures.empty()) return AVIERR_OK;
    const HRESULT r = s.failures.front();
    s.failures.pop_front();
    return r;
  }

  void stopWriter() {
    if (!writer.joinable()) return;
    {
      std::lock_guard<std::mutex> guard(lock);
      stopping = true;
    }
    wake.notify_one();
    writer.join();
    writer = std::thread();
  }

  void run();

  bool ensureHeader() {
    if (headerWritten) return true;
    if (headerFailed) return false;
    for (auto& s : streams) {
      if (s->avStream) s->avStream->time_base = s->isVideo ? AVRational{static_cast<int>(s->info.dwScale), static_cast<int>(s->info.dwRate)} : AVRational{1, s->sampleRate};
    }
    if (avformat_write_header(format, nullptr) < 0) {
      headerFailed = true;
      return false;
    }
    headerWritten = true;
    return true;
  }

  // A disk error shows on the I/O context, once its buffer is written out.
  HRESULT ioResult() const { return format->pb && format->pb->error < 0 ? AVIERR_FILEWRITE : AVIERR_OK; }

  // Moves every packet the encoder has ready into the file.
  int drain(StreamState& s) {
    for (;;) {
      int r = avcodec_receive_packet(s.codec, packet);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return 0;
      if (r < 0) return r;
      av_packet_rescale_ts(packet, s.codec->time_base, s.avStream->time_base);
      packet->stream_index = s.avStream->index;
      r = av_write_frame(format, packet);
      av_packet_unref(packet);
      if (r < 0) return r;
    }
  }

  // Drains the encoders, writes the index and header and closes the file: AVIERR_FILEWRITE
  // when any of it did not reach the file, so the file is incomplete. Once only.
  HRESULT finish() {
    if (!format) return AVIERR_OK;
    stopWriter();
    HRESULT result = AVIERR_OK;
    bool anyStream = false;
    for (auto& s : streams) anyStream = anyStream || s->avStream;
    if (anyStream && ensureHeader()) {
      for (auto& s : streams) {
        if (!s->codec || !s->avStream) continue;
        if (avcodec_send_frame(s->codec, nullptr) == 0 && drain(*s) < 0) result = AVIERR_FILEWRITE;
      }
      if (av_write_trailer(format) < 0) result = AVIERR_FILEWRITE;
    } else if (anyStream) {
      result = AVIERR_FILEWRITE;  // not even the header was written
    }
    if (format->pb) avio_flush(format->pb);
    if (ioResult() != AVIERR_OK) result = AVIERR_FILEWRITE;
    if (avio_closep(&format->pb) < 0) result = AVIERR_FILEWRITE;
    avformat_free_context(format);
    format = nullptr;
    if (platform::failNow(platform::Fault::VideoFileClose)) result = AVIERR_FILEWRITE;
    return result;
  }
};

struct AviFileObject {
  std::shared_ptr<FileState> state;
  unsigned long references = 1;
};

struct AviStreamObject {
  std::shared_ptr<FileState> file;
  StreamState* stream = nullptr;
  bool compressed = false;
  unsigned long references = 1;
};

namespace {

// Frame quality: the options' 1 … 10000 scale onto the quantiser 31 … 1, or quantiser 3
// (visually clean at a moderate size) when no quality is asked.
void applyQuality(AVCodecContext* codec, const AVICOMPRESSOPTIONS& options) {
  if (usesQuantiser(codec->codec_id)) {
    int q = kDefaultQuantiser;
    if (options.dwQuality > 0) q = 31 - static_cast<int>(std::min<uint32_t>(options.dwQuality, 10000) * 30 / 10000);
    codec->flags |= AV_CODEC_FLAG_QSCALE;
    codec->global_quality = FF_QP2LAMBDA * q;
  }
  if (options.dwBytesPerSecond > 0) codec->bit_rate = static_cast<int64_t>(options.dwBytesPerSecond) * 8;
  if (options.dwKeyFrameEvery > 0) codec->gop_size = static_cast<int>(options.dwKeyFrameEvery);
}

HRESULT setVideoFormat(FileState& file, StreamState& s, const void* format, long size) {
  if (size < static_cast<long>(sizeof(BITMAPINFOHEADER))) return AVIERR_BADFORMAT;
  BITMAPINFOHEADER header;
  std::memcpy(&header, format, sizeof(header));
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biWidth <= 0 || header.biHeight == 0 ||
      header.biBitCount != 24 || header.biCompression != BI_RGB || header.biPlanes != 1)
    return AVIERR_BADFORMAT;
  if (header.biWidth > 16384 || header.biHeight > 16384 || header.biHeight < -16384) return AVIERR_BADFORMAT;
  s.width = header.biWidth;
  s.bottomUp = header.biHeight > 0;
  s.height = s.bottomUp ? header.biHeight : -header.biHeight;
  s.rowBytes = (s.width * 3 + 3) & ~3;
  s.imageBytes = static_cast<long>(s.rowBytes) * s.height;
  if (header.biSizeImage != 0 && header.biSizeImage < static_cast<uint32_t>(s.imageBytes)) return AVIERR_BADFORMAT;
  if (s.info.dwRate == 0 || s.info.dwScale == 0) return AVIERR_BADFORMAT;

  const EncoderEntry& e = *s.encoder;
  s.codec = avcodec_alloc_context3(e.codec);
  s.frame = av_frame_alloc();
  if (!s.codec || !s.frame) return AVIERR_MEMORY;
  s.codec->width = s.width;
  s.codec->height = s.height;
  s.codec->pix_fmt = e.pixelFormat;
  s.codec->time_base = AVRational{static_cast<int>(s.info.dwScale), static_cast<int>(s.info.dwRate)};
  s.codec->framerate = AVRational{static_cast<int>(s.info.dwRate), static_cast<int>(s.info.dwScale)};
  s.codec->codec_tag = e.handler;
  // One thread: the encoder already runs on the file's writer thread, beside rendering that
  // keeps every core busy. Slice threads of its own would only compete for the same cores
  // and keep a copy of its working memory each (30 MB less at 1080p on two cores).
  s.codec->thread_count = 1;
  applyQuality(s.codec, s.options);
  if (file.format->oformat->flags & AVFMT_GLOBALHEADER) s.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int r = avcodec_open2(s.codec, e.codec, nullptr);
  if (r < 0) {
    avcodec_free_context(&s.codec);
    return fromAvError(r, AVIERR_BADFORMAT);
  }
  s.converter = sws_getContext(s.width, s.height, AV_PIX_FMT_BGR24, s.width, s.height, e.pixelFormat,
                               SWS_BILINEAR, nullptr, nullptr, nullptr);
  s.frame->format = e.pixelFormat;
  s.frame->width = s.width;
  s.frame->height = s.height;
  if (!s.converter || av_frame_get_buffer(s.frame, 0) < 0) return AVIERR_MEMORY;
  s.avStream = avformat_new_stream(file.format, nullptr);
  if (!s.avStream) return AVIERR_MEMORY;
  if (avcodec_parameters_from_context(s.avStream->codecpar, s.codec) < 0) return AVIERR_MEMORY;
  s.avStream->codecpar->codec_tag = e.handler;
  s.avStream->time_base = s.codec->time_base;
  s.avStream->avg_frame_rate = s.codec->framerate;
  return AVIERR_OK;
}

HRESULT setAudioFormat(FileState& file, StreamState& s, const void* format, long size) {
  if (size < 16) return AVIERR_BADFORMAT;  // the PCM part of the record
  WAVEFORMATEX wave;
  std::memcpy(&wave, format, std::min<size_t>(sizeof(wave), static_cast<size_t>(size)));
  if (wave.wFormatTag != WAVE_FORMAT_PCM || wave.wBitsPerSample != 16 || wave.nChannels < 1 || wave.nChannels > 8 ||
      wave.nSamplesPerSec < 1000 || wave.nSamplesPerSec > 384000 || wave.nBlockAlign != wave.nChannels * 2)
    return AVIERR_BADFORMAT;
  s.blockAlign = wave.nBlockAlign;
  s.sampleRate = static_cast<int>(wave.nSamplesPerSec);
  s.avStream = avformat_new_stream(file.format, nullptr);
  if (!s.avStream) return AVIERR_MEMORY;
  AVCodecParameters* par = s.avStream->codecpar;
  par->codec_type = AVMEDIA_TYPE_AUDIO;
  par->codec_id = AV_CODEC_ID_PCM_S16LE;
  par->codec_tag = WAVE_FORMAT_PCM;
  par->sample_rate = s.sampleRate;
  av_channel_layout_default(&par->ch_layout, wave.nChannels);
  par->block_align = wave.nBlockAlign;
  par->bits_per_coded_sample = 16;
  par->format = AV_SAMPLE_FMT_S16;
  par->bit_rate = static_cast<int64_t>(s.sampleRate) * wave.nBlockAlign * 8;
  s.avStream->time_base = AVRational{1, s.sampleRate};
  return AVIERR_OK;
}

HRESULT writeVideo(FileState& file, StreamState& s, long start, long samples, const void* buffer, long bytes) {
  if (samples != 1) return AVIERR_BADPARAM;
  if (bytes < s.imageBytes) return AVIERR_BADSIZE;
  if (start < s.nextPosition) return AVIERR_BADPARAM;
  if (!file.ensureHeader()) return AVIERR_FILEWRITE;
  // The encoder frame stays the writer's until it has sent the one before.
  file.waitIdle();
  int r = av_frame_make_writable(s.frame);
  if (r < 0) return fromAvError(r, AVIERR_INTERNAL);
  const uint8_t* rows = static_cast<const uint8_t*>(buffer);
  int stride = s.rowBytes;
  if (s.bottomUp) {  // the converter walks top-down: start at the last row, step backwards
    rows += static_cast<ptrdiff_t>(s.height - 1) * s.rowBytes;
    stride = -s.rowBytes;
  }
  const uint8_t* planes[4] = {rows, nullptr, nullptr, nullptr};
  const int strides[4] = {stride, 0, 0, 0};
  sws_scale(s.converter, planes, strides, 0, s.height, s.frame->data, s.frame->linesize);
  s.frame->pts = start;
  s.nextPosition = start + 1;
  WriteJob& job = file.nextJob();
  job.stream = &s;
  job.start = start;
  job.samples = 1;
  file.post();
  return AVIERR_OK;
}

HRESULT writeAudioPacket(FileState& file, StreamState& s, int64_t start, long samples, const void* buffer) {
  const int size = static_cast<int>(samples) * s.blockAlign;
  int r = av_new_packet(file.packet, size);
  if (r < 0) return fromAvError(r, AVIERR_MEMORY);
  if (buffer) std::memcpy(file.packet->data, buffer, static_cast<size_t>(size));
  else std::memset(file.packet->data, 0, static_cast<size_t>(size));
  file.packet->pts = file.packet->dts = start;
  file.packet->duration = samples;
  file.packet->stream_index = s.avStream->index;
  av_packet_rescale_ts(file.packet, AVRational{1, s.sampleRate}, s.avStream->time_base);
  r = av_write_frame(file.format, file.packet);
  av_packet_unref(file.packet);
  if (r < 0) return fromAvError(r, AVIERR_FILEWRITE);
  return AVIERR_OK;
}

HRESULT writeAudio(FileState& file, StreamState& s, long start, long samples, const void* buffer, long bytes) {
  if (samples < 0 || start < s.nextPosition) return AVIERR_BADPARAM;
  if (samples == 0) return AVIERR_OK;
  if (samples > (1L << 24) || bytes < samples * s.blockAlign) return AVIERR_BADSIZE;
  if (!file.ensureHeader()) return AVIERR_FILEWRITE;
  // Audio is stored back to back, so a gap is filled with silence to keep the timing.
  WriteJob& job = file.nextJob();
  job.stream = &s;
  job.start = s.nextPosition;
  job.gap = start - s.nextPosition;
  job.samples = samples;
  const uint8_t* data = static_cast<const uint8_t*>(buffer);
  job.bytes.assign(data, data + static_cast<size_t>(samples) * static_cast<size_t>(s.blockAlign));
  file.post();
  s.nextPosition = start + samples;
  return AVIERR_OK;
}

// The writer's half of a sound write: the gap's silence a second at a time, then the samples.
HRESULT storeAudio(FileState& file, StreamState& s, const WriteJob& job) {
  int64_t at = job.start;
  for (int64_t left = job.gap; left > 0;) {
    const long run = static_cast<long>(std::min<int64_t>(left, s.sampleRate));
    const HRESULT r = writeAudioPacket(file, s, at, run, nullptr);
    if (r != AVIERR_OK) return r;
    at += run;
    left -= run;
  }
  return writeAudioPacket(file, s, at, job.samples, job.bytes.data());
}

}  // namespace

void FileState::run() {
  for (;;) {
    WriteJob* job = nullptr;
    {
      std::unique_lock<std::mutex> guard(lock);
      wake.wait(guard, [&] { return queued > 0 || stopping; });
      if (queued == 0) return;
      job = &jobs[first];
      writing = true;
    }
    StreamState& s = *job->stream;
    HRESULT result = AVIERR_OK;
    if (platform::failNow(s.isVideo ? platform::Fault::VideoWrite : platform::Fault::SoundWrite)) {
      result = AVIERR_FILEWRITE;
    } else if (s.isVideo) {
      int r = avcodec_send_frame(s.codec, s.frame);
      if (r < 0) result = fromAvError(r, AVIERR_INTERNAL);
      else if ((r = drain(s)) < 0) result = fromAvError(r, AVIERR_FILEWRITE);
    } else {
      result = storeAudio(*this, s, *job);
    }
    // Each job's packets go to the file in its own turn (the calls come in time order, so the
    // muxer need not interleave them) and out of the I/O buffer before the next job: a full
    // disk fails the frame or run of samples whose bytes it refused, and every one after it.
    if (format->pb) avio_flush(format->pb);
    if (result == AVIERR_OK) result = ioResult();
    {
      std::lock_guard<std::mutex> guard(lock);
      if (result != AVIERR_OK) s.failures.push_back(result);
      first = (first + 1) % kJobs;
      --queued;
      writing = false;
    }
    done.notify_all();
  }
}

void AVIFileInit() {
  if (libraryUsers++ == 0) av_log_set_level(AV_LOG_ERROR);
}

void AVIFileExit() {
  if (libraryUsers > 0) --libraryUsers;
}

HRESULT AVIFileOpenA(PAVIFILE* file, const char* fileName, unsigned mode, const void*) {
  if (!file) return AVIERR_BADPARAM;
  *file = nullptr;
  if (!fileName || !*fileName) return AVIERR_FILEOPEN;
  if (!(mode & OF_WRITE) || !(mode & OF_CREATE)) return AVIERR_UNSUPPORTED;
  if (containerForFile(fileName) != Container::Avi) return REGDB_E_CLASSNOTREG;
  auto state = std::make_shared<FileState>();
  const AVOutputFormat* avi = av_guess_format("avi", nullptr, nullptr);
  if (!avi) return REGDB_E_CLASSNOTREG;
  int r = avformat_alloc_output_context2(&state->format, avi, nullptr, fileName);
  state->packet = av_packet_alloc();
  if (r < 0 || !state->format || !state->packet) return AVIERR_MEMORY;
  r = avio_open(&state->format->pb, fileName, AVIO_FLAG_WRITE);
  if (r < 0) return fromAvError(r, AVIERR_FILEOPEN);
  AviFileObject* object = new (std::nothrow) AviFileObject{state, 1};
  if (!object) return AVIERR_MEMORY;
  *file = object;
  return AVIERR_OK;
}

HRESULT AVIFileCreateStreamA(PAVIFILE file, PAVISTREAM* stream, const AVISTREAMINFOA* info) {
  if (!stream) return AVIERR_BADPARAM;
  *stream = nullptr;
  if (!file || !file->state) return AVIERR_BADHANDLE;
  if (!info) return AVIERR_BADPARAM;
  if (info->fccType != streamtypeVIDEO && info->fccType != streamtypeAUDIO) return AVIERR_UNSUPPORTED;
  FileState& state = *file->state;
  if (!state.format || state.headerWritten || state.headerFailed) return AVIERR_UNSUPPORTED;
  auto s = std::make_unique<StreamState>();
  s->info = *info;
  s->isVideo = info->fccType == streamtypeVIDEO;
  AviStreamObject* object = new (std::nothrow) AviStreamObject{file->state, s.get(), false, 1};
  if (!object) return AVIERR_MEMORY;
  state.streams.push_back(std::move(s));
  *stream = object;
  return AVIERR_OK;
}

HRESULT AVIMakeCompressedStream(PAVISTREAM* compressed, PAVISTREAM source, const AVICOMPRESSOPTIONS* options,
                                const void*) {
  if (!compressed) return AVIERR_BADPARAM;
  *compressed = nullptr;
  if (!source || !source->stream) return AVIERR_BADHANDLE;
  if (!options) return AVIERR_BADPARAM;
  StreamState& s = *source->stream;
  if (!s.isVideo || source->compressed) return AVIERR_UNSUPPORTED;
  if (s.compressed || s.formatSet) return AVIERR_UNSUPPORTED;
  const EncoderEntry* encoder = findEncoder(options->fccHandler);
  if (!encoder) return AVIERR_NOCOMPRESSOR;
  AviStreamObject* object = new (std::nothrow) AviStreamObject{source->file, &s, true, 1};
  if (!object) return AVIERR_MEMORY;
  s.compressed = true;
  s.encoder = encoder;
  s.options = *options;
  *compressed = object;
  return AVIERR_OK;
}

HRESULT AVIStreamSetFormat(PAVISTREAM stream, long position, const void* format, long formatSize) {
  if (!stream || !stream->stream) return AVIERR_BADHANDLE;
  if (!format || formatSize <= 0 || position != 0) return AVIERR_BADPARAM;
  FileState& file = *stream->file;
  StreamState& s = *stream->stream;
  if (!file.format || s.formatSet || file.headerWritten || file.headerFailed) return AVIERR_UNSUPPORTED;
  // Video frames are stored only through a compressor.
  if (s.isVideo && !stream->compressed) return AVIERR_UNSUPPORTED;
  HRESULT r = s.isVideo ? setVideoFormat(file, s, format, formatSize) : setAudioFormat(file, s, format, formatSize);
  if (r == AVIERR_OK) s.formatSet = true;
  return r;
}

HRESULT AVIStreamWrite(PAVISTREAM stream, long start, long samples, const void* buffer, long bytes, unsigned,
                       long* samplesWritten, long* bytesWritten) {
  if (samplesWritten) *samplesWritten = 0;
  if (bytesWritten) *bytesWritten = 0;
  if (injectedWriteResult != AVIERR_OK) {
    HRESULT r = injectedWriteResult;
    injectedWriteResult = AVIERR_OK;
    return r;
  }
  if (!stream || !stream->stream) return AVIERR_BADHANDLE;
  if (!buffer || bytes < 0 || start < 0) return AVIERR_BADPARAM;
  FileState& file = *stream->file;
  StreamState& s = *stream->stream;
  if (!s.formatSet) return AVIERR_BADFORMAT;
  if (!file.format || (s.isVideo && !stream->compressed)) return AVIERR_UNSUPPORTED;
  HRESULT r = s.isVideo ? writeVideo(file, s, start, samples, buffer, bytes)
                        : writeAudio(file, s, start, samples, buffer, bytes);
  if (r == AVIERR_OK) {
    if (samplesWritten) *samplesWritten = samples;
    if (bytesWritten) *bytesWritten = s.isVideo ? s.imageBytes : samples * s.blockAlign;
  }
  return file.report(s, r);
}

HRESULT AVIStreamEndStreaming(PAVISTREAM stream) {
  if (!stream || !stream->stream) return AVIERR_BADHANDLE;
  stream->file->waitIdle();
  return stream->file->report(*stream->stream, AVIERR_OK);
}

HRESULT AVIFileClose(PAVIFILE file) {
  if (!file || !file->state) return AVIERR_BADHANDLE;
  return file->state->finish();
}

unsigned long AVIStreamRelease(PAVISTREAM stream) {
  if (!stream) return 0;
  const unsigned long left = --stream->references;
  if (left == 0) delete stream;
  return left;
}

unsigned long AVIFileRelease(PAVIFILE file) {
  if (!file) return 0;
  const unsigned long left = --file->references;
  if (left == 0) delete file;
  return left;
}

void failNextStreamWriteForTesting(HRESULT result) { injectedWriteResult = result; }

}  // namespace platform::video
