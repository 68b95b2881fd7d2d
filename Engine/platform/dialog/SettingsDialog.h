// SettingsDialog: the modal start-up "Settings" window, drawn with GTK 3.
//
// The engine's dialog logic (screen/ConfigDialog) fills a SettingsPages record with the
// texts and selections of every control, then calls runSettingsDialog(), which shows a
// window with a "General" and a "Capture" tab and the Start and Exit buttons, and returns
// when the user leaves. The layer knows nothing of adapters or codecs: whenever the user
// acts, it asks the engine through SettingsCallbacks (refill the resolution list for another
// adapter, whether a codec is configurable, open a codec's settings), and it reports each
// page's controls back with savePage() when that page is left and when Start is pressed,
// exactly as the engine asks.
//
// Controls carry the numeric ids of the classic resource layout (1001 adapter list ...
// 1027 output file; Start and Exit are 1 and 2) so that tests can drive them through
// SettingsDriver. Enter presses Start when Start is the default action: not while a button
// (Exit, Browse..., Settings) or a list has the focus, which take Enter themselves. Escape
// and the close box press Exit. "Browse..." asks before replacing an existing file, the one
// that will really be written (captureFileFor). Main thread only; nothing is kept after return.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

struct ChoiceList {
  std::vector<std::string> entries;
  int selected = -1;  // -1: no selection
};

struct SettingsPages {
  // General page
  ChoiceList adapters;       // 1001
  ChoiceList modes;          // 1002
  ChoiceList antialiasing;   // 1003
  ChoiceList anisotropy;     // 1004
  bool fullscreen = false;   // 1005
  bool vsync = false;        // 1006
  ChoiceList soundDrivers;   // 1007
  ChoiceList outputMethods;  // 1008
  bool showStats = false;    // 1009
  bool createLog = false;    // 1010
  // Capture page
  bool captureEnabled = false;  // 1014
  ChoiceList videoCodecs;       // 1018
  ChoiceList frameRates;        // 1021
  ChoiceList audioCodecs;       // 1026
  std::string outputFile;       // 1027
  // Window icon, RGBA rows top to bottom (none when empty).
  std::vector<unsigned char> iconRgba;
  int iconSize = 0;
};

enum class SettingsPage { General = 0, Capture = 1 };
enum class SettingsResult { Start, Exit, Failed };

// The ids of the controls, for SettingsDriver.
enum SettingsControl {
  kStartButton = 1,
  kExitButton = 2,
  kAdapterList = 1001,
  kModeList = 1002,
  kAntialiasingList = 1003,
  kAnisotropyList = 1004,
  kFullscreenCheck = 1005,
  kVsyncCheck = 1006,
  kSoundDriverList = 1007,
  kOutputMethodList = 1008,
  kShowStatsCheck = 1009,
  kCreateLogCheck = 1010,
  kCaptureCheck = 1014,
  kBrowseButton = 1016,
  kVideoCodecList = 1018,
  kAudioSettingsButton = 1019,
  kCodecSettingsButton = 1020,
  kFrameRateList = 1021,
  kFrameRateLabel = 1025,
  kAudioCodecList = 1026,
  kOutputFileField = 1027,
};

enum class SettingsKey { Enter, Escape };

// Lets a test act on the shown dialog as a user would, from inside its event loop.
class SettingsDriver {
 public:
  virtual ~SettingsDriver() = default;
  virtual void select(int control, int index) = 0;
  virtual void check(int control, bool on) = 0;
  virtual void setText(int control, const std::string& text) = 0;
  virtual void showPage(SettingsPage page) = 0;
  virtual bool isEnabled(int control) = 0;
  virtual std::string startLabel() = 0;
  virtual void pressStart() = 0;
  virtual void pressExit() = 0;
  virtual void closeWindow() = 0;
  // A key pressed while the dialog has the keyboard.
  virtual void pressKey(SettingsKey key) = 0;
  // Gives a control the keyboard focus.
  virtual void focus(int control) = 0;
  // Lets the window draw itself (for screenshots) for about `milliseconds`.
  virtual void settle(int milliseconds) = 0;
};

struct SettingsCallbacks {
  // The resolution list for another adapter (entries and the pre-selected one).
  std::function<ChoiceList(int adapter)> modesForAdapter;
  std::function<bool(int codec)> codecConfigurable;
  std::function<void(int codec)> configureCodec;
  // The capture check box was toggled (the engine stores it at once).
  std::function<void(bool enabled)> captureToggled;
  // A file was chosen in the save-file chooser.
  std::function<void(const std::string& path)> fileChosen;
  // A page is being left, or Start was pressed while it is shown: store its controls.
  std::function<void(SettingsPage page, const SettingsPages& controls)> savePage;
  // Tests: called once the window is on screen; it may drive the dialog.
  std::function<void(SettingsDriver& driver)> onShown;
};

// The file a capture writes for a name chosen in the file chooser: ".avi" added when the
// name has no extension.
std::string captureFileFor(const std::string& chosen);

// Shows the dialog modally. Failed (with a non-zero number in errorCode) when no display can
// be opened.
SettingsResult runSettingsDialog(SettingsPages& pages, const SettingsCallbacks& callbacks, int& errorCode);

}  // namespace platform
