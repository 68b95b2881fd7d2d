// MessageBox: the one way the engine tells the user about a failure.
//
// showMessageBox(text, caption, icon) is called from anywhere in the engine. Where a display
// exists it shows a real modal box; where none exists, or the run is unattended
// (setUnattended(true), the player's --no-dialog), it writes "caption: text" to standard
// error and returns at once, so a headless render never hangs on a box nobody can click.
//
// Tests install a recording sink with setMessageSink() and assert on the exact texts;
// setMessageSink({}) restores the default behaviour. Main thread only.
#pragma once

#include <functional>
#include <string>

namespace platform {

enum class MessageIcon { Error, Warning, Information };

using MessageSink = std::function<void(const std::string& text, const std::string& caption, MessageIcon icon)>;

void showMessageBox(const std::string& text, const std::string& caption, MessageIcon icon);

// Replaces the default sink (empty function: back to the default).
void setMessageSink(MessageSink sink);

// Unattended runs never block on a box: they write to standard error instead.
void setUnattended(bool unattended);
bool isUnattended();

// True when an X11 or Wayland display is named in the environment.
bool hasDisplay();

}  // namespace platform
