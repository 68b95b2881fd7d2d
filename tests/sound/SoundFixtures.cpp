#include "SoundFixtures.h"

#include <sys/wait.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>
#include <zip.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <stdexcept>

#include "support/TestSupport.h"

namespace sound_fixtures {

int runCommand(const std::string& command, std::string* output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
    if (output) output->append(buffer, got);
  }
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string makeOgg(const std::string& path, const std::string& generators, double seconds, int rate, int channels,
                    double volume) {
  const std::string arguments = "-r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -C 10 synth " +
                                std::to_string(seconds) + " " + generators + " vol " + std::to_string(volume);
  // Every test runs in a process of its own: the files are made once per build tree, each
  // under a name of its own arguments, and moved into place whole.
  const std::string cacheDir = std::string(PYLON_BINARY_DIR) + "/sound-fixtures";
  std::filesystem::create_directories(cacheDir);
  const std::string cached = cacheDir + "/" + std::to_string(std::hash<std::string>{}(arguments)) + ".ogg";
  if (!std::filesystem::exists(cached)) {
    const std::string command = "sox -q -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                                " -C 10 '" + path + "' synth " + std::to_string(seconds) + " " + generators + " vol " +
                                std::to_string(volume) + " 2>&1";
    std::string ignored;
    if (runCommand(command, &ignored) != 0) return "";
    std::error_code error;
    std::filesystem::copy_file(path, cached + ".part" + std::to_string(getpid()), error);
    if (!error) std::filesystem::rename(cached + ".part" + std::to_string(getpid()), cached, error);
    return testing_support::readFile(path);
  }
  const std::string bytes = testing_support::readFile(cached);
  testing_support::writeFile(path, bytes);
  return bytes;
}

void makeArchive(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) throw std::runtime_error("cannot create " + path);
  for (const auto& [name, bytes] : members) {
    void* copy = std::malloc(bytes.size() ? bytes.size() : 1);
    std::memcpy(copy, bytes.data(), bytes.size());
    zip_source_t* source = zip_source_buffer(archive, copy, bytes.size(), 1);
    zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
  }
  zip_close(archive);
}

namespace {
struct Reader {
  const std::string* bytes;
  size_t offset = 0;
};
size_t readCb(void* out, size_t size, size_t count, void* source) {
  auto* r = static_cast<Reader*>(source);
  const size_t n = std::min(size * count, r->bytes->size() - r->offset) / size;
  std::memcpy(out, r->bytes->data() + r->offset, n * size);
  r->offset += n * size;
  return n;
}
}  // namespace

std::vector<float> decodeAll(const std::string& bytes, int* rate) {
  Reader reader{&bytes};
  OggVorbis_File file;
  // Not seekable on purpose: a plain linear decode, unlike the layer's.
  if (ov_open_callbacks(&reader, &file, nullptr, 0, ov_callbacks{readCb, nullptr, nullptr, nullptr}) != 0) return {};
  if (rate) *rate = static_cast<int>(ov_info(&file, -1)->rate);
  const int channels = ov_info(&file, -1)->channels;
  std::vector<float> frames;
  float** pcm;
  int section;
  long got;
  while ((got = ov_read_float(&file, &pcm, 4096, &section)) != 0) {
    if (got < 0) continue;
    for (long i = 0; i < got; ++i) {
      frames.push_back(pcm[0][i]);
      frames.push_back(pcm[channels > 1 ? 1 : 0][i]);
    }
  }
  ov_clear(&file);
  return frames;
}

int peakBand(const float* values, int bands) {
  int best = 0;
  for (int i = 1; i < bands; ++i) {
    if (values[i] > values[best]) best = i;
  }
  return best;
}

}  // namespace sound_fixtures
