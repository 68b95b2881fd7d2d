#include "platform/Events.h"

#include <SDL.h>

#include <cstring>
#include <deque>

namespace platform {
namespace {
std::deque<Message> g_posted;
bool g_quitPosted = false;
int g_quitCode = 0;
WindowProc g_windowProc;

bool translate(const SDL_Event& event, Message& out) {
  out = Message{};
  static_assert(sizeof(SDL_Event) <= sizeof(out.native));
  std::memcpy(out.native.data(), &event, sizeof(SDL_Event));
  out.hasNative = true;
  switch (event.type) {
    case SDL_QUIT:
      out.type = MessageType::Close;
      return true;
    case SDL_WINDOWEVENT:
      out.type = event.window.event == SDL_WINDOWEVENT_CLOSE ? MessageType::Close : MessageType::Other;
      return true;
    case SDL_KEYDOWN:
      out.type = MessageType::KeyDown;
      out.wParam = event.key.keysym.sym;
      return true;
    case SDL_TEXTINPUT:
      out.type = MessageType::Char;
      out.wParam = static_cast<unsigned char>(event.text.text[0]);
      return true;
    default:
      out.type = MessageType::Other;
      return true;
  }
}
}  // namespace

bool peekMessage(Message& out) {
  if (!g_posted.empty()) {
    out = g_posted.front();
    g_posted.pop_front();
    return true;
  }
  if (SDL_WasInit(SDL_INIT_EVENTS)) {
    SDL_Event event;
    if (SDL_PollEvent(&event)) return translate(event, out);
  }
  if (g_quitPosted) {
    g_quitPosted = false;
    out = Message{};
    out.type = MessageType::Quit;
    out.wParam = g_quitCode;
    return true;
  }
  return false;
}

void dispatchMessage(const Message& message) {
  if (g_windowProc) g_windowProc(message);
}

void postMessage(const Message& message) { g_posted.push_back(message); }

void postQuitMessage(int exitCode) {
  g_quitPosted = true;
  g_quitCode = exitCode;
}

void setWindowProc(WindowProc proc) { g_windowProc = std::move(proc); }

void clearMessages() {
  g_posted.clear();
  g_quitPosted = false;
  g_quitCode = 0;
}

}  // namespace platform
