#include "platform/audio/Mixer.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/audio/Sound.h"

namespace audio {

Mixer::Mixer(int channelCount)
    : sum_(2 * kChunkFrames),
      decoded_(2 * kChunkFrames),
      chunkPositions_(static_cast<size_t>(kChunkRecords) * static_cast<size_t>(channelCount), -1),
      chunkRates_(chunkPositions_.size(), kRate),
      positionsNow_(static_cast<size_t>(channelCount), -1),
      ratesNow_(static_cast<size_t>(channelCount), kRate) {
  for (int i = 0; i < channelCount; ++i) {
    channels_.emplace_back(new Channel());
    channels_.back()->mixer_ = this;
  }
  for (auto& side : history_) side.assign(kHistoryFrames, 0.0f);
}

double Mixer::steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
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
  for (size_t i = 0; i < channels_.size(); ++i) {
    Channel& channel = *channels_[i];
    positionsNow_[i] = -1;
    if (!channel.sound_ || channel.stopped_ || channel.finished_ || channel.paused_) continue;
    positionsNow_[i] = static_cast<int64_t>(channel.frame_.load());
    ratesNow_[i] = channel.sound_->stream_.rate();
    pull(channel, frames);
  }
}

void Mixer::noteHeard(int64_t frame, double heardAt) {
  std::lock_guard<std::mutex> guard(historyLock_);
  timings_[static_cast<size_t>(timingsWritten_ % kTimings)] = {frame, heardAt};
  ++timingsWritten_;
}

int64_t Mixer::mix(float* out, int frames, int outChannels) {
  int64_t first = 0;
  {
    std::lock_guard<std::mutex> guard(historyLock_);
    first = mixed_;
  }
  while (frames > 0) {
    const int chunk = std::min(frames, kChunkFrames);
    mixChunk(chunk);
    for (int i = 0; i < 2 * chunk; ++i) sum_[i] = std::clamp(sum_[i], -1.0f, 1.0f);
    {
      std::lock_guard<std::mutex> guard(historyLock_);
      const size_t record = static_cast<size_t>(chunkCount_ % kChunkRecords);
      chunks_[record] = {mixed_, chunk};
      for (size_t c = 0; c < positionsNow_.size(); ++c) {
        chunkPositions_[record * positionsNow_.size() + c] = positionsNow_[c];
        chunkRates_[record * positionsNow_.size() + c] = ratesNow_[c];
      }
      ++chunkCount_;
      for (int i = 0; i < chunk; ++i) {
        const size_t slot = static_cast<size_t>((mixed_ + i) % kHistoryFrames);
        history_[0][slot] = sum_[2 * i];
        history_[1][slot] = sum_[2 * i + 1];
      }
      mixed_ += chunk;
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
  return first;
}

void Mixer::history(int side, float* destination, int count) {
  count = std::clamp(count, 0, kHistoryFrames);
  const int64_t end = heardFrame();
  std::lock_guard<std::mutex> guard(historyLock_);
  const std::vector<float>& ring = history_[side];
  // Frames before the first one mixed are silence.
  const int64_t first = end - count;
  int64_t frame = first;
  for (; frame < 0 && frame < end; ++frame) destination[frame - first] = 0.0f;
  while (frame < end) {
    const int64_t slot = frame % kHistoryFrames;
    const int64_t run = std::min<int64_t>(end - frame, kHistoryFrames - slot);
    std::memcpy(destination + (frame - first), ring.data() + slot, sizeof(float) * static_cast<size_t>(run));
    frame += run;
  }
}

int64_t Mixer::heardFrame() {
  const double now = steadySeconds();
  std::lock_guard<std::mutex> guard(historyLock_);
  const int64_t mixed = mixed_;
  const int count = static_cast<int>(std::min<int64_t>(timingsWritten_, kTimings));
  if (count == 0) return mixed;  // offline: what is mixed is what counts
  // The calls of the last two seconds, as heardAt = origin + frame / rate. A call made late
  // by the scheduler claims too late a time, never too early a one: fit the line, then lower
  // it onto its earliest point.
  auto timing = [&](int back) -> const Timing& {
    return timings_[static_cast<size_t>((timingsWritten_ - 1 - back) % kTimings)];
  };
  const Timing& newest = timing(0);
  double sumF = 0, sumT = 0, sumFF = 0, sumFT = 0;
  int n = 0;
  for (int i = 0; i < count; ++i) {
    const Timing& t = timing(i);
    if (newest.heardAt - t.heardAt > 2.0) break;
    const double f = static_cast<double>(t.frame - newest.frame), h = t.heardAt - newest.heardAt;
    sumF += f, sumT += h, sumFF += f * f, sumFT += f * h;
    ++n;
  }
  double secondsPerFrame = 1.0 / kRate;
  const double spread = n * sumFF - sumF * sumF;
  if (n >= 8 && spread > 0.0) {
    const double fitted = (n * sumFT - sumF * sumT) / spread;
    // A device's clock is off by parts per thousand at most; a wilder slope is noise.
    if (std::fabs(fitted * kRate - 1.0) < 0.1) secondsPerFrame = fitted;
  }
  const double meanF = n > 0 ? sumF / n : 0.0, meanT = n > 0 ? sumT / n : 0.0;
  double origin = meanT - secondsPerFrame * meanF;  // relative to the newest call
  double lowest = 0.0;
  for (int i = 0; i < n; ++i) {
    const Timing& t = timing(i);
    const double residual =
        (t.heardAt - newest.heardAt) - (origin + secondsPerFrame * static_cast<double>(t.frame - newest.frame));
    lowest = i == 0 ? residual : std::min(lowest, residual);
  }
  origin += lowest;
  const double frames = (now - newest.heardAt - origin) / secondsPerFrame;
  const int64_t heard = newest.frame + static_cast<int64_t>(std::floor(frames));
  return std::clamp<int64_t>(heard, std::max<int64_t>(0, mixed - kLatencyFrames), mixed);
}

bool Mixer::heardPosition(const Channel* channel, double* seconds) {
  size_t index = 0;
  while (index < channels_.size() && channels_[index].get() != channel) ++index;
  if (index == channels_.size()) return false;
  const int64_t frame = heardFrame() - 1;  // the last frame heard by now
  std::lock_guard<std::mutex> guard(historyLock_);
  for (int64_t i = chunkCount_ - 1; i >= 0 && i >= chunkCount_ - kChunkRecords; --i) {
    const size_t record = static_cast<size_t>(i % kChunkRecords);
    const ChunkRecord& chunk = chunks_[record];
    if (frame >= chunk.frame + chunk.frames) return false;  // not mixed by now
    if (frame < chunk.frame) continue;
    const int64_t position = chunkPositions_[record * channels_.size() + index];
    if (position < 0) return false;
    const double rate = chunkRates_[record * channels_.size() + index];
    *seconds = static_cast<double>(position) / rate + static_cast<double>(frame + 1 - chunk.frame) / kRate;
    return true;
  }
  return false;
}

}  // namespace audio
