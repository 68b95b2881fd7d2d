#include "platform/audio/Mixer.h"

#include <algorithm>
#include <cstring>

#include "platform/audio/Sound.h"

namespace audio {

Mixer::Mixer(int channelCount) : sum_(2 * kChunkFrames), decoded_(2 * kChunkFrames) {
  for (int i = 0; i < channelCount; ++i) {
    channels_.emplace_back(new Channel());
    channels_.back()->mixer_ = this;
  }
  for (auto& side : history_) side.assign(kHistoryFrames, 0.0f);
}

Mixer::~Mixer() = default;

void Mixer::start(Channel* channel, Sound* sound, uint64_t serial) {
  channel->sound_ = sound;
  channel->serial_ = serial;
  channel->fraction_ = 2.0;  // two source frames to read before the first output frame
  channel->previous_[0] = channel->previous_[1] = 0.0f;
  channel->next_[0] = channel->next_[1] = 0.0f;
  channel->finished_ = false;
  channel->stopped_ = false;
  channel->frame_ = sound->stream_.position();
}

Result Mixer::seek(Channel* channel, uint64_t frame) {
  const Result result = channel->sound_->stream_.seek(frame);
  if (result != Result::Ok) return result;
  channel->fraction_ = 2.0;
  channel->finished_ = false;
  channel->frame_ = frame;
  return Result::Ok;
}

void Mixer::pull(Channel& channel, int frames) {
  VorbisStream& stream = channel.sound_->stream_;
  const float volume = channel.volume_.load(std::memory_order_relaxed);
  if (stream.rate() == kRate) {
    const int got = stream.read(decoded_.data(), frames);
    for (int i = 0; i < 2 * got; ++i) sum_[i] += decoded_[i] * volume;
    if (got < frames) channel.finished_ = true;
    channel.frame_ = stream.position();
    return;
  }
  // Another rate: linear interpolation between neighbouring source frames.
  const double step = static_cast<double>(stream.rate()) / kRate;
  for (int i = 0; i < frames; ++i) {
    while (channel.fraction_ >= 1.0) {
      channel.previous_[0] = channel.next_[0];
      channel.previous_[1] = channel.next_[1];
      if (stream.read(channel.next_, 1) != 1) {
        channel.finished_ = true;
        channel.frame_ = stream.position();
        return;
      }
      channel.fraction_ -= 1.0;
    }
    const float t = static_cast<float>(channel.fraction_);
    for (int side = 0; side < 2; ++side) {
      const float value = channel.previous_[side] + (channel.next_[side] - channel.previous_[side]) * t;
      sum_[2 * i + side] += value * volume;
    }
    channel.fraction_ += step;
  }
  channel.frame_ = stream.position();
}

void Mixer::mixChunk(int frames) {
  std::fill(sum_.begin(), sum_.begin() + 2 * frames, 0.0f);
  std::lock_guard<std::mutex> guard(lock_);
  for (auto& channel : channels_) {
    if (!channel->sound_ || channel->stopped_ || channel->finished_ || channel->paused_) continue;
    pull(*channel, frames);
  }
}

void Mixer::mix(float* out, int frames, int outChannels) {
  while (frames > 0) {
    const int chunk = std::min(frames, kChunkFrames);
    mixChunk(chunk);
    for (int i = 0; i < 2 * chunk; ++i) sum_[i] = std::clamp(sum_[i], -1.0f, 1.0f);
    {
      std::lock_guard<std::mutex> guard(historyLock_);
      for (int i = 0; i < chunk; ++i) {
        history_[0][historyWrite_] = sum_[2 * i];
        history_[1][historyWrite_] = sum_[2 * i + 1];
        historyWrite_ = (historyWrite_ + 1) % kHistoryFrames;
      }
    }
    if (out) {
      for (int i = 0; i < chunk; ++i) {
        float* frame = out + static_cast<size_t>(i) * outChannels;
        if (outChannels == 1) {
          frame[0] = 0.5f * (sum_[2 * i] + sum_[2 * i + 1]);
          continue;
        }
        frame[0] = sum_[2 * i];
        frame[1] = sum_[2 * i + 1];
        for (int c = 2; c < outChannels; ++c) frame[c] = 0.0f;
      }
      out += static_cast<size_t>(chunk) * outChannels;
    }
    frames -= chunk;
  }
}

void Mixer::history(int side, float* destination, int count) {
  count = std::clamp(count, 0, kHistoryFrames);
  std::lock_guard<std::mutex> guard(historyLock_);
  const std::vector<float>& ring = history_[side];
  const int start = (historyWrite_ - count + kHistoryFrames) % kHistoryFrames;
  const int firstPart = std::min(count, kHistoryFrames - start);
  std::memcpy(destination, ring.data() + start, sizeof(float) * firstPart);
  std::memcpy(destination + firstPart, ring.data(), sizeof(float) * (count - firstPart));
}

}  // namespace audio
