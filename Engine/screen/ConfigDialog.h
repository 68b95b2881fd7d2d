// ConfigDialog: the start-up "Settings" dialog shown by Screen::init before any window opens.
//
// Owned by Runtime; its construction stores the Runtime pointer in a static that the
// dialog's handlers use. getUserConfig() calls run() once: it lists the video codecs through
// the capture service, fills the General page (adapter, resolution, anti-aliasing,
// anisotropy, full screen, vsync, sound driver and output method, statistics, log) and the
// Capture page from the screen's lists and its settings record, shows the dialog through the
// platform layer and stores what the user chose back into the record: each page by its kind
// when it is left and when Start is pressed. Start sets `accepted`; Exit and the close box
// clear it. Nothing is kept between runs.
//
// The fill and save steps are public so that tests can check them without a display; they
// are not meant for any other caller.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "capture/CodecInfo.h"
#include "platform/dialog/SettingsDialog.h"
#include "sound/Sound.h"

class Runtime;
class Screen;

class ConfigDialog {
 public:
  explicit ConfigDialog(Runtime* runtime);
  static Runtime* runtime;

  // Shows the dialog over `screen` and waits for the user. 0 when it was shown and left
  // (screen.config.accepted tells Start from Exit); 1 when it could not be shown, with the
  // system's error number in errorCode.
  int run(Screen& screen, int& errorCode);

  // Tests and scripted runs: called once the dialog is on screen; it may act on it.
  std::function<void(platform::SettingsDriver& driver)> onShown;

  // The resolution list of device `device`: its mode labels, with the mode the settings
  // record asks for pre-selected (the last match; none when nothing matches).
  static platform::ChoiceList modeList(const Screen& screen, int device, int desktopWidth, int desktopHeight);
  // The General page's controls from the screen's lists and record; fills screen.aaChoices.
  static void fillGeneralPage(Screen& screen, const std::vector<SoundOutputChoice>& outputs, int desktopWidth,
                              int desktopHeight, platform::SettingsPages& pages);
  // Stores the General page into the record and logs the summary lines.
  static void saveGeneralPage(Screen& screen, const std::vector<SoundOutputChoice>& outputs,
                              const platform::SettingsPages& pages);
  static void fillCapturePage(const Screen& screen, platform::SettingsPages& pages);
  static void saveCapturePage(Screen& screen, const platform::SettingsPages& pages);
  // The index of the last codec whose name begins with "DivX"; `current` when there is none.
  static int defaultCodecIndex(const std::vector<CodecInfo>& codecs, int current);
};
