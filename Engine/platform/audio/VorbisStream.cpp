#include "platform/audio/VorbisStream.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

namespace audio {
namespace {

// The caller's block, read through vorbisfile's callbacks.
struct MemoryReader {
  const unsigned char* data = nullptr;
  size_t size = 0;
  size_t offset = 0;
};

size_t readMemory(void* destination, size_t itemSize, size_t items, void* source) {
  auto* reader = static_cast<MemoryReader*>(source);
  if (itemSize == 0) return 0;
  const size_t left = reader->size - reader->offset;
  const size_t count = std::min(items, left / itemSize);
  std::memcpy(destination, reader->data + reader->offset, count * itemSize);
  reader->offset += count * itemSize;
  return count;
}

int seekMemory(void* source, ogg_int64_t offset, int whence) {
  auto* reader = static_cast<MemoryReader*>(source);
  ogg_int64_t base = 0;
  if (whence == SEEK_CUR)
    base = static_cast<ogg_int64_t>(reader->offset);
  else if (whence == SEEK_END)
    base = static_cast<ogg_int64_t>(reader->size);
  else if (whence != SEEK_SET)
    return -1;
  const ogg_int64_t target = base + offset;
  if (target < 0 || target > static_cast<ogg_int64_t>(reader->size)) return -1;
  reader->offset = static_cast<size_t>(target);
  return 0;
}

long tellMemory(void* source) { return static_cast<long>(static_cast<MemoryReader*>(source)->offset); }

// Consecutive decode errors after which a stream is treated as ended.
constexpr int kMaxConsecutiveErrors = 32;

}  // namespace

struct VorbisStream::Impl {
  MemoryReader reader;
  OggVorbis_File file{};
  bool opened = false;
  int left = 0, right = 0;  // source channels taken for the two sides
  // Decoded frames not handed out yet: ov_read_float's own buffers, valid until the next call.
  float** pcm = nullptr;
  long pcmFrames = 0;
  long pcmOffset = 0;
  bool ended = false;

  ~Impl() {
    if (opened) ov_clear(&file);
  }
};

VorbisStream::VorbisStream() : impl_(std::make_unique<Impl>()) {}
VorbisStream::~VorbisStream() = default;

Result VorbisStream::open(const void* data, size_t size) {
  if (impl_->opened || !data || size == 0) return Result::InvalidParam;
  impl_->reader = MemoryReader{static_cast<const unsigned char*>(data), size, 0};
  const ov_callbacks callbacks{readMemory, seekMemory, nullptr, tellMemory};
  const int status = ov_open_callbacks(&impl_->reader, &impl_->file, nullptr, 0, callbacks);
  if (status == OV_ENOTVORBIS) {
    // An Ogg page that starts a Vorbis stream, cut short or broken further on, is damaged
    // rather than foreign.
    const auto* bytes = static_cast<const unsigned char*>(data);
    const bool oggVorbis =
        size >= 64 && std::memcmp(bytes, "OggS", 4) == 0 && std::memcmp(bytes + 28, "\x01vorbis", 7) == 0;
    return oggVorbis ? Result::DamagedStream : Result::NotVorbis;
  }
  if (status == OV_EREAD || status == OV_EVERSION || status == OV_EBADHEADER || status == OV_EFAULT) {
    return Result::DamagedStream;
  }
  if (status != 0) return Result::DamagedStream;
  impl_->opened = true;

  const vorbis_info* info = ov_info(&impl_->file, -1);
  const ogg_int64_t total = ov_pcm_total(&impl_->file, -1);
  if (!info || info->channels < 1 || info->rate < 1 || total <= 0 || !ov_seekable(&impl_->file)) {
    return Result::UnsupportedStream;
  }
  rate_ = static_cast<int>(info->rate);
  channels_ = info->channels;
  length_ = static_cast<uint64_t>(total);
  // Vorbis channel order: 1 mono; 2 L R; 3 L C R; 4 FL FR RL RR; 5 and more FL C FR ...
  impl_->left = 0;
  impl_->right = channels_ == 1 ? 0 : (channels_ == 2 || channels_ == 4) ? 1 : 2;
  return Result::Ok;
}

int VorbisStream::read(float* out, int frames) {
  if (!impl_->opened) return 0;
  int written = 0;
  int errors = 0;
  while (written < frames && !impl_->ended) {
    if (impl_->pcmOffset >= impl_->pcmFrames) {
      int section = 0;
      const long got = ov_read_float(&impl_->file, &impl_->pcm, frames - written, &section);
      if (got == 0) {
        impl_->ended = true;
        break;
      }
      if (got < 0) {
        // A hole or a damaged page: vorbisfile resynchronises on the next call.
        if (++errors >= kMaxConsecutiveErrors) impl_->ended = true;
        continue;
      }
      // A chained file may change its channel count; stay within what this section holds.
      const vorbis_info* info = ov_info(&impl_->file, section);
      if (info && (impl_->left >= info->channels || impl_->right >= info->channels)) {
        impl_->left = 0;
        impl_->right = info->channels > 1 ? 1 : 0;
      }
      errors = 0;
      impl_->pcmFrames = got;
      impl_->pcmOffset = 0;
    }
    const long take = std::min<long>(impl_->pcmFrames - impl_->pcmOffset, frames - written);
    const float* l = impl_->pcm[impl_->left] + impl_->pcmOffset;
    const float* r = impl_->pcm[impl_->right] + impl_->pcmOffset;
    for (long i = 0; i < take; ++i) {
      out[2 * (written + i)] = l[i];
      out[2 * (written + i) + 1] = r[i];
    }
    impl_->pcmOffset += take;
    written += static_cast<int>(take);
  }
  position_ += static_cast<uint64_t>(written);
  return written;
}

Result VorbisStream::seek(uint64_t frame) {
  if (!impl_->opened) return Result::NotInitialized;
  if (frame > length_) return Result::InvalidPosition;
  if (ov_pcm_seek(&impl_->file, static_cast<ogg_int64_t>(frame)) != 0) return Result::DamagedStream;
  impl_->pcm = nullptr;
  impl_->pcmFrames = impl_->pcmOffset = 0;
  impl_->ended = false;
  position_ = frame;
  return Result::Ok;
}

}  // namespace audio
