// Events: the engine's message queue, in the shape of a Win32 message pump.
//
// peekMessage() never blocks: it removes and returns the next waiting message, or returns
// false when none waits. Messages come, in this order, from messages posted with
// postMessage() (tests use it to inject input), from the window system (SDL events turned
// into Close, KeyDown, Char or Other), and last from postQuitMessage(): like WM_QUIT, the
// quit message is handed out only once nothing else is waiting, and carries its exit code.
//
// dispatchMessage() hands a message to the window procedure set with setWindowProc().
// The original SDL event rides along in Message::native so that a GUI layer inside
// platform/ can forward it; engine code treats it as opaque. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace platform {

enum class MessageType {
  Quit,     // wParam: exit code
  Close,    // the user closed the window
  KeyDown,  // wParam: key code (27 is Escape)
  Char,     // wParam: character code
  Other     // anything else the window system reports
};

struct Message {
  MessageType type = MessageType::Other;
  int64_t wParam = 0;
  std::array<unsigned char, 64> native{};  // the SDL_Event it came from, if any
  bool hasNative = false;
};

constexpr int64_t kKeyEscape = 27;

using WindowProc = std::function<int64_t(const Message&)>;

bool peekMessage(Message& out);
void dispatchMessage(const Message& message);
void postMessage(const Message& message);
void postQuitMessage(int exitCode);
void setWindowProc(WindowProc proc);

// Drops every waiting message and a pending quit (tests start each case clean).
void clearMessages();

}  // namespace platform
