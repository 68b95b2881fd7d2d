// Exercises each web library once, through the calls the engine makes on it, under node.
// Expects /check.zip in MEMFS with notes.txt (deflated) and tone.ogg (1 kHz sine, mono).
#include <SDL.h>
#include <google/protobuf/io/tokenizer.h>
#include <google/protobuf/text_format.h>
#include <kiss_fftr.h>
#include <vorbis/vorbisfile.h>
#include <zip.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "probe.pb.h"

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const std::string& what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
  (ok ? passed : failed)++;
}

std::vector<unsigned char> readEntry(zip_t* archive, const char* name, zip_uint16_t* method) {
  zip_stat_t st;
  if (zip_stat(archive, name, 0, &st) != 0) return {};
  *method = st.comp_method;
  std::vector<unsigned char> data(st.size);
  zip_file_t* file = zip_fopen(archive, name, 0);
  if (!file) return {};
  const zip_int64_t got = zip_fread(file, data.data(), data.size());
  zip_fclose(file);
  if (got != static_cast<zip_int64_t>(data.size())) return {};
  return data;
}

struct Memory {
  const std::vector<unsigned char>* bytes;
  size_t at = 0;
};

size_t memRead(void* out, size_t size, size_t count, void* source) {
  auto* m = static_cast<Memory*>(source);
  const size_t n = std::min(size * count, m->bytes->size() - m->at);
  std::memcpy(out, m->bytes->data() + m->at, n);
  m->at += n;
  return size ? n / size : 0;
}

struct Errors : google::protobuf::io::ErrorCollector {
  std::string text;
  void AddError(int line, int column, const std::string& message) override {
    text += std::to_string(line + 1) + ":" + std::to_string(column + 1) + ": " + message;
  }
};

}  // namespace

int main() {
  try {
    throw std::runtime_error("thrown");
  } catch (const std::exception& e) {
    check(std::string(e.what()) == "thrown", "C++ exception caught (-fexceptions)");
  }

  // zlib, directly.
  std::string plain;
  for (int i = 0; i < 200; ++i) plain += "the quick brown fox " + std::to_string(i % 7) + "\n";
  std::vector<Bytef> packed(compressBound(plain.size()));
  uLongf packedSize = packed.size();
  std::vector<Bytef> unpacked(plain.size());
  uLongf unpackedSize = unpacked.size();
  const bool zok = compress2(packed.data(), &packedSize, reinterpret_cast<const Bytef*>(plain.data()),
                             plain.size(), 9) == Z_OK &&
                   uncompress(unpacked.data(), &unpackedSize, packed.data(), packedSize) == Z_OK &&
                   std::memcmp(unpacked.data(), plain.data(), plain.size()) == 0;
  check(zok, "zlib " + std::string(zlibVersion()) + " round trip " + std::to_string(plain.size()) + " -> " +
                 std::to_string(packedSize) + " bytes");

  // libzip, from a file in MEMFS.
  int error = 0;
  zip_t* archive = zip_open("/check.zip", ZIP_RDONLY, &error);
  check(archive != nullptr, "libzip " + std::string(LIBZIP_VERSION) + " opens /check.zip");
  if (!archive) return 1;
  zip_uint16_t method = 0;
  const std::vector<unsigned char> notes = readEntry(archive, "notes.txt", &method);
  const std::string notesText(notes.begin(), notes.end());
  check(method == ZIP_CM_DEFLATE && notesText.rfind("line 1 of the web check\n", 0) == 0 && notes.size() > 1000,
        "libzip inflates notes.txt (" + std::to_string(notes.size()) + " bytes, deflated)");
  const std::vector<unsigned char> ogg = readEntry(archive, "tone.ogg", &method);
  zip_close(archive);
  check(!ogg.empty(), "libzip reads tone.ogg (" + std::to_string(ogg.size()) + " bytes)");

  // libvorbis through vorbisfile, from memory.
  Memory source{&ogg};
  OggVorbis_File vf;
  ov_callbacks callbacks{memRead, nullptr, nullptr, nullptr};
  std::vector<float> samples;
  int rate = 0;
  if (ov_open_callbacks(&source, &vf, nullptr, 0, callbacks) == 0) {
    vorbis_info* info = ov_info(&vf, -1);
    rate = info->rate;
    for (;;) {
      float** pcm = nullptr;
      int section = 0;
      const long n = ov_read_float(&vf, &pcm, 1024, &section);
      if (n <= 0) break;
      samples.insert(samples.end(), pcm[0], pcm[0] + n);
    }
    ov_clear(&vf);
  }
  check(rate == 44100 && samples.size() >= 22000 && samples.size() <= 22100,
        "vorbisfile decodes " + std::to_string(samples.size()) + " samples at " + std::to_string(rate) + " Hz");

  // kissfft: the tone's peak lands in the 1 kHz bin.
  const int n = 1024;
  if (samples.size() >= 4096 + n) {
    kiss_fftr_cfg plan = kiss_fftr_alloc(n, 0, nullptr, nullptr);
    std::vector<kiss_fft_cpx> bins(n / 2 + 1);
    kiss_fftr(plan, samples.data() + 4096, bins.data());
    kiss_fftr_free(plan);
    int peak = 0;
    for (int i = 1; i <= n / 2; ++i)
      if (std::hypot(bins[i].r, bins[i].i) > std::hypot(bins[peak].r, bins[peak].i)) peak = i;
    const double hz = peak * static_cast<double>(rate) / n;
    check(std::fabs(hz - 1000.0) < 50.0, "kissfft peak at " + std::to_string(hz) + " Hz");
  } else {
    check(false, "kissfft: too few samples to transform");
  }

  // protobuf, full runtime: text format in, and a clear message for bad text.
  webcheck::Probe probe;
  const bool parsed = google::protobuf::TextFormat::ParseFromString(
      "name: \"web\"\ncount: 3\nvalues: [1.5, 2.5]\n", &probe);
  check(parsed && probe.name() == "web" && probe.count() == 3 && probe.values_size() == 2 &&
            probe.values(1) == 2.5f,
        "protobuf " + google::protobuf::internal::VersionString(GOOGLE_PROTOBUF_VERSION) +
            " TextFormat parses a Probe");
  google::protobuf::TextFormat::Parser parser;
  Errors errors;
  parser.RecordErrorsTo(&errors);
  webcheck::Probe bad;
  const bool rejected = !parser.ParseFromString("name: \"web\"\ncount: lots\n", &bad);
  check(rejected && errors.text.rfind("2:8:", 0) == 0, "protobuf rejects bad text: " + errors.text);

  // SDL2: the timer subsystem starts without a browser.
  SDL_version linked;
  SDL_GetVersion(&linked);
  const bool sdlOk = SDL_Init(SDL_INIT_TIMER) == 0;
  const Uint64 ticks = SDL_GetTicks64();
  check(sdlOk, "SDL " + std::to_string(linked.major) + "." + std::to_string(linked.minor) + "." +
                   std::to_string(linked.patch) + " SDL_Init(SDL_INIT_TIMER), ticks " +
                   std::to_string(ticks) + (sdlOk ? "" : std::string(": ") + SDL_GetError()));
  SDL_Quit();

  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
