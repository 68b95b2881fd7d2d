// The SDL2 parts that need a browser: a window with a WebGL 2 context through SDL's
// emscripten video backend, and an audio device on its Web Audio backend. The outcome goes
// into a <pre id="result"> element, which run.sh reads back from headless Chromium.
#include <GLES3/gl3.h>
#include <SDL.h>
#include <emscripten.h>

#include <string>

namespace {

std::string report;
int failed = 0;

void check(bool ok, const std::string& what) {
  report += std::string(ok ? "ok" : "FAILED") + ": " + what + "\n";
  if (!ok) ++failed;
}

void silence(void*, Uint8* stream, int len) { SDL_memset(stream, 0, len); }

}  // namespace

int main() {
  const bool videoOk = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) == 0;
  check(videoOk, std::string("SDL_Init(VIDEO | EVENTS | TIMER) with driver ") +
                     (videoOk ? SDL_GetCurrentVideoDriver() : SDL_GetError()));

  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
  SDL_Window* window = SDL_CreateWindow("check", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 64, 64,
                                        SDL_WINDOW_OPENGL);
  SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
  const char* version = context ? reinterpret_cast<const char*>(glGetString(GL_VERSION)) : nullptr;
  check(version && std::string(version).find("WebGL 2") != std::string::npos,
        std::string("WebGL 2 context: ") + (version ? version : SDL_GetError()));
  if (context) {
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    unsigned char pixel[4] = {};
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    check(pixel[0] > 60 && pixel[0] < 70 && pixel[2] > 185 && pixel[2] < 195,
          "glClear and glReadPixels: " + std::to_string(pixel[0]) + "," + std::to_string(pixel[1]) + "," +
              std::to_string(pixel[2]));
  }

  const bool audioOk = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  check(audioOk, std::string("SDL audio driver ") + (audioOk ? SDL_GetCurrentAudioDriver() : SDL_GetError()));
  SDL_AudioSpec want{}, have{};
  want.freq = 44100;
  want.format = AUDIO_F32SYS;
  want.channels = 2;
  want.samples = 1024;
  want.callback = silence;
  const SDL_AudioDeviceID device = audioOk ? SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0) : 0;
  check(device != 0, "SDL_OpenAudioDevice on Web Audio: " +
                         (device ? std::to_string(have.freq) + " Hz, " + std::to_string(int(have.channels)) + " channels"
                                 : std::string(SDL_GetError())));
  if (device) SDL_CloseAudioDevice(device);

  report += failed ? "browser check FAILED\n" : "browser check passed\n";
  EM_ASM(
      {
        var pre = document.createElement('pre');
        pre.id = 'result';
        pre.textContent = UTF8ToString($0);
        document.body.appendChild(pre);
      },
      report.c_str());
  return 0;
}
