// Fixtures for the sound tests: Ogg Vorbis files made by sox, archives made with libzip,
// and a reference decode that does not go through the layer.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace sound_fixtures {

// sox's synth effect, e.g. "sine 440 sine 1000" (one generator per channel) for `seconds`
// at `rate`, written as Ogg Vorbis at high quality. Empty string when sox failed.
std::string makeOgg(const std::string& path, const std::string& generators, double seconds, int rate = 44100,
                    int channels = 2, double volume = 0.5);

// A ZIP archive holding the given {name, bytes} members.
void makeArchive(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members);

// Every frame of an Ogg Vorbis file, stereo interleaved, decoded with vorbisfile directly.
std::vector<float> decodeAll(const std::string& bytes, int* rate = nullptr);

// The band with the largest value among the first `bands`.
int peakBand(const float* values, int bands);

// Runs a shell command; its standard output goes to `output`. Returns the exit status.
int runCommand(const std::string& command, std::string* output);

}  // namespace sound_fixtures
