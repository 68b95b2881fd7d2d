// Message boxes in the browser: an overlay of the page (platform/web/Page.h). It never
// blocks, so an unattended run shows it too; standard error (the console) gets the text as
// on the desktop.
#include "platform/MessageBox.h"

#include <cstdio>

#include "platform/web/Page.h"

namespace platform {
namespace {
MessageSink g_sink;
bool g_unattended = false;
}  // namespace

// The canvas is always there to draw on.
bool hasDisplay() { return true; }

void setMessageSink(MessageSink sink) { g_sink = std::move(sink); }
void setUnattended(bool unattended) { g_unattended = unattended; }
bool isUnattended() { return g_unattended; }

void showMessageBox(const std::string& text, const std::string& caption, MessageIcon icon) {
  if (g_sink) {
    g_sink(text, caption, icon);
    return;
  }
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  const char* kind = icon == MessageIcon::Error ? "error" : icon == MessageIcon::Warning ? "warning" : "information";
  page::showMessage(caption, text, kind);
}

}  // namespace platform
