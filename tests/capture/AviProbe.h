// Helpers for the capture tests: synthetic frames, and the ffmpeg command line to look
// inside the AVI files the tests write.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace avi_probe {

// A 24-bit BGR frame, rows bottom-up and padded to 4 bytes, as OpenGL reads it back.
// Every frame number gives a different picture, and its top differs from its bottom.
std::vector<uint8_t> patternFrame(int frame, int width, int height);

// The same picture top-down with unpadded rows, as ffmpeg decodes it to bgr24.
std::vector<uint8_t> patternTopDown(int frame, int width, int height);

// ffprobe's view of one stream ("v:0", "a:0"): codec_name, codec_tag_string, profile, r_frame_rate,
// nb_frames, duration, width, height, sample_rate, channels. Empty when ffprobe failed.
std::map<std::string, std::string> probeStream(const std::string& file, const std::string& stream);

// Every video frame, decoded at the stream's constant frame rate, top-down bgr24.
std::vector<std::vector<uint8_t>> decodeFrames(const std::string& file, int width, int height);

// The first audio stream as interleaved 16-bit samples.
std::vector<int16_t> decodeAudio(const std::string& file);

// Peak signal-to-noise ratio in dB; 99 for identical pictures, 0 for different sizes.
double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

std::string runCommand(const std::string& command, int* status = nullptr);

}  // namespace avi_probe
