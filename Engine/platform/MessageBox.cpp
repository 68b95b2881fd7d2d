#include "platform/MessageBox.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {
MessageSink g_sink;
bool g_unattended = false;

void writeToStandardError(const std::string& text, const std::string& caption) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
}
}  // namespace

bool hasDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

void setMessageSink(MessageSink sink) { g_sink = std::move(sink); }
void setUnattended(bool unattended) { g_unattended = unattended; }
bool isUnattended() { return g_unattended; }

void showMessageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
  if (g_sink) {
    g_sink(text, caption, icon);
    return;
  }
  if (g_unattended || !hasDisplay()) {
    writeToStandardError(text, caption);
    return;
  }
  Uint32 flags = SDL_MESSAGEBOX_ERROR;
  if (icon == MessageIcon::Warning) flags = SDL_MESSAGEBOX_WARNING;
  if (icon == MessageIcon::Information) flags = SDL_MESSAGEBOX_INFORMATION;
  // SDL can show a box without its video subsystem; if even that fails (no X server
  // reachable after all), the text still reaches the user on standard error.
  if (SDL_ShowSimpleMessageBox(flags, caption.c_str(), text.c_str(), nullptr) != 0) {
    writeToStandardError(text, caption);
  }
}

}  // namespace platform
