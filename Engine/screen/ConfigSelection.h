// ConfigSelection: the rules that decide which display modes, anti-aliasing and anisotropy
// choices the start-up settings offer, which entries start selected, and what pressing
// Start without touching anything stores.
//
// Pure functions over the enumerated lists and the settings record; the screen's enumeration,
// the settings dialog and the unattended start (--no-dialog) all use them, so the three
// cannot disagree. Nothing here talks to the platform.
#pragma once

#include <string>
#include <vector>

#include "platform/Displays.h"
#include "platform/Window.h"
#include "screen/DisplayDevice.h"
#include "screen/UserConfig.h"

struct ProgramOptions;

namespace config_selection {

// Kept for the mode list: 32 bits per pixel at 60 to 100 Hz inclusive. A mode whose refresh
// rate the platform does not know (0) is kept too: it is the display's only mode on many
// X servers.
bool isUsableMode(const platform::DisplayModeRecord& mode);

// "1024 x 768, 32 bpp @ 60 Hz"; with an unknown refresh rate the rate is left out:
// "1280 x 1024, 32 bpp".
std::string modeLabel(const platform::DisplayModeRecord& mode);

// The mode list's pre-selected entry: with the GUI switch on, the mode of exactly width,
// height and refresh rate; with it off, a mode of the desktop's size at any rate. The last
// match wins; -1 when nothing matches.
int preselectedMode(const std::vector<DisplayMode>& modes, bool gui, int width, int height, int refreshRate,
                    int desktopWidth, int desktopHeight);

// The anti-aliasing choices: 0 ("None") first, then every non-zero sample count of the
// formats, once each, in the order first met.
std::vector<int> antialiasingChoices(const std::vector<PixelFormatEntry>& formats);
std::vector<std::string> antialiasingLabels(const std::vector<int>& choices);  // "None", "4 samples"

// The anisotropy choices as levels: 1 ("None"), then the powers of two from 2 up to
// maxAnisotropy inclusive. Entry k stands for level 2^k.
std::vector<float> anisotropyChoices(float maxAnisotropy);
std::vector<std::string> anisotropyLabels(const std::vector<float>& choices);  // "None", "2", "4"
float anisotropyLevel(int index);                                              // 2^index

// Position of `value` in `list`, -1 when absent.
int indexOf(const std::vector<int>& list, int value);
int indexOf(const std::vector<float>& list, float value);

// The mode chosen by deviceIndex and modeIndex, or nullptr when either is out of range.
const DisplayMode* chosenMode(const std::vector<DisplayDevice>& devices, int deviceIndex, int modeIndex);

// The window's pixel format number: the first format of the device, in list order, with
// exactly `samples` samples; 1 when none has (or the device is out of range). A listed
// format may itself be numbered 1: `listed` (when given) tells a match from the fallback.
int pixelFormatNumber(const std::vector<DisplayDevice>& devices, int deviceIndex, int samples, bool* listed = nullptr);

// Windowed placement on the work area. A coordinate is centred by the outer (framed) size
// only when the client size is smaller than the work area's right (bottom) coordinate;
// otherwise it stays 0.
void windowPosition(const platform::Rect& workArea, int clientWidth, int clientHeight, int outerWidth, int outerHeight,
                    int& x, int& y);

// The default capture file: the program's path with its extension replaced by
// "_capture.avi"; a file name without an extension gets it appended.
std::string captureFileName(const std::string& programPath);

// What Start stores when nothing was touched: the first device, the pre-selected mode (the
// first when none matches) with its size, the anti-aliasing entry equal to aaSamples (None
// when the hardware has none), the anisotropy entry of anisoLevel (None when it is not on
// the list), the first sound driver and the automatic output method. `aaChoices` receives
// the anti-aliasing list. With no device or no mode the size and indices stay as they are.
void storeStartSelection(UserConfig& config, const std::vector<DisplayDevice>& devices, std::vector<int>& aaChoices,
                         bool gui, int desktopWidth, int desktopHeight);

// The player's command-line overrides: --windowed, --fullscreen, --size (with the device's
// last mode of that size for full screen, none when it has no such mode), --no-vsync,
// --aa, --aniso (kept within the device's maximum) and --log.
void applyOptions(UserConfig& config, const std::vector<DisplayDevice>& devices, const ProgramOptions& options);

}  // namespace config_selection
