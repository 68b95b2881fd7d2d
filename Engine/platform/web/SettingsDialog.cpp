// The settings dialog in the browser: the page's own controls choose the size and quality
// and start the player with --no-dialog, so the dialog never opens; asked for, it fails
// with a message box that says why.
#include "platform/dialog/SettingsDialog.h"

#include "platform/MessageBox.h"
#include "platform/web/Unavailable.h"

namespace platform {

std::string captureFileFor(const std::string& chosen) {
  const size_t slash = chosen.find_last_of('/');
  const size_t dot = chosen.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return chosen + ".avi";
  return chosen;
}

SettingsResult runSettingsDialog(SettingsPages&, const SettingsCallbacks&, int& errorCode) {
  showMessageBox(notInBrowser("The settings dialog") + ": the page's controls choose the settings (--no-dialog).",
                 "Settings", MessageIcon::Error);
  errorCode = 1;
  return SettingsResult::Failed;
}

}  // namespace platform
