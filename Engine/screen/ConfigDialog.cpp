#include "screen/ConfigDialog.h"

#include "capture/AviCapture.h"
#include "platform/Displays.h"
#include "platform/video/Compressors.h"
#include "runtime/Logger.h"
#include "runtime/Runtime.h"
#include "screen/ConfigSelection.h"
#include "screen/Screen.h"

using platform::ChoiceList;
using platform::SettingsPages;

Runtime* ConfigDialog::runtime = nullptr;

ConfigDialog::ConfigDialog(Runtime* owner) { runtime = owner; }

namespace {

// A list's selection, or the first entry when nothing valid is selected: Start must store
// something sound even when a list showed no selection.
int chosenIndex(const ChoiceList& list, size_t count) {
  if (count == 0) return -1;
  return list.selected >= 0 && static_cast<size_t>(list.selected) < count ? list.selected : 0;
}

ChoiceList listOf(std::vector<std::string> entries, int selected) {
  ChoiceList list;
  list.entries = std::move(entries);
  list.selected = selected;
  return list;
}

// The soundtrack goes into the capture as it is decoded: plain 16-bit PCM.
constexpr const char* kSoundtrackCodec = "PCM 16-bit (the soundtrack, uncompressed)";

}  // namespace

ChoiceList ConfigDialog::modeList(const Screen& screen, int device, int desktopWidth, int desktopHeight) {
  ChoiceList list;
  if (device < 0 || device >= static_cast<int>(screen.devices.size())) return list;
  const std::vector<DisplayMode>& modes = screen.devices[device].modes;
  for (const DisplayMode& mode : modes) list.entries.push_back(mode.label);
  const UserConfig& c = screen.config;
  const bool gui = screen.runtime && screen.runtime->gui != 0;
  list.selected =
      config_selection::preselectedMode(modes, gui, c.width, c.height, c.refreshRate, desktopWidth, desktopHeight);
  return list;
}

void ConfigDialog::fillGeneralPage(Screen& screen, const std::vector<SoundOutputChoice>& outputs, int desktopWidth,
                                   int desktopHeight, SettingsPages& pages) {
  const UserConfig& c = screen.config;
  std::vector<std::string> adapters;
  for (const DisplayDevice& device : screen.devices) adapters.push_back(device.description);
  pages.adapters = listOf(adapters, adapters.empty() ? -1 : 0);
  pages.modes = modeList(screen, 0, desktopWidth, desktopHeight);

  // Anti-aliasing and anisotropy come from the first device: only it has a temporary
  // context read for its formats and its maximum anisotropy.
  const DisplayDevice* first = screen.devices.empty() ? nullptr : &screen.devices.front();
  screen.aaChoices =
      config_selection::antialiasingChoices(first ? first->pixelFormats : std::vector<PixelFormatEntry>{});
  pages.antialiasing = listOf(config_selection::antialiasingLabels(screen.aaChoices),
                              config_selection::indexOf(screen.aaChoices, c.aaSamples));
  const std::vector<float> levels = config_selection::anisotropyChoices(first ? first->maxAnisotropy : 0.0f);
  pages.anisotropy =
      listOf(config_selection::anisotropyLabels(levels), config_selection::indexOf(levels, c.anisoLevel));

  pages.fullscreen = c.fullscreen;
  pages.vsync = c.vsync;
  pages.showStats = c.showStats;
  pages.createLog = c.createLog;

  pages.soundDrivers = listOf(screen.soundDrivers, screen.soundDrivers.empty() ? -1 : 0);
  std::vector<std::string> methods;
  for (const SoundOutputChoice& choice : outputs) methods.push_back(choice.text);
  pages.outputMethods = listOf(methods, methods.empty() ? -1 : 0);
}

void ConfigDialog::saveGeneralPage(Screen& screen, const std::vector<SoundOutputChoice>& outputs,
                                   const SettingsPages& pages) {
  UserConfig& c = screen.config;
  Logger& log = *screen.runtime->logger;

  const int device = chosenIndex(pages.adapters, screen.devices.size());
  if (device >= 0) {
    c.deviceIndex = device;
    const std::vector<DisplayMode>& modes = screen.devices[device].modes;
    const int mode = chosenIndex(pages.modes, modes.size());
    if (mode >= 0) {
      c.modeIndex = mode;
      c.width = modes[mode].mode.width;
      c.height = modes[mode].mode.height;
    }
  }
  log << "Resolution: " << c.width << "x" << c.height << "\n";

  c.fullscreen = pages.fullscreen;
  log << "Fullscreen: " << (c.fullscreen ? 1 : 0) << "\n";
  c.vsync = pages.vsync;
  log << "VSync: " << (c.vsync ? 1 : 0) << "\n";

  const int aa = chosenIndex(pages.antialiasing, screen.aaChoices.size());
  c.aaSamples = aa < 0 ? 0 : screen.aaChoices[aa];
  log << "AA samples: " << c.aaSamples << " samples\n";

  const int aniso = chosenIndex(pages.anisotropy, pages.anisotropy.entries.size());
  c.anisoLevel = config_selection::anisotropyLevel(aniso < 0 ? 0 : aniso);
  log << "Aniso level: x" << static_cast<double>(c.anisoLevel) << "\n";

  const int driver = chosenIndex(pages.soundDrivers, screen.soundDrivers.size());
  c.soundDriver = driver < 0 ? 0 : driver;
  const int output = chosenIndex(pages.outputMethods, outputs.size());
  c.soundOutput = output < 0 ? 0 : outputs[output].value;

  c.showStats = pages.showStats;
  c.createLog = pages.createLog;
}

void ConfigDialog::fillCapturePage(const Screen& screen, SettingsPages& pages) {
  const UserConfig& c = screen.config;
  pages.captureEnabled = c.captureEnabled;
  std::vector<std::string> names;
  for (const CodecInfo& codec : screen.codecs) names.push_back(codec.name);
  const int codecCount = static_cast<int>(names.size());
  pages.videoCodecs = listOf(names, c.codecIndex >= 0 && c.codecIndex < codecCount ? c.codecIndex : -1);
  std::vector<std::string> rates;
  for (int rate : c.captureFrameRates) rates.push_back(std::to_string(rate));
  const int rateCount = static_cast<int>(rates.size());
  pages.frameRates =
      listOf(rates, c.captureFrameRateIndex >= 0 && c.captureFrameRateIndex < rateCount ? c.captureFrameRateIndex : -1);
  pages.audioCodecs = listOf({kSoundtrackCodec}, 0);
  pages.outputFile = c.captureFileName;
}

void ConfigDialog::saveCapturePage(Screen& screen, const SettingsPages& pages) {
  UserConfig& c = screen.config;
  c.captureEnabled = pages.captureEnabled;
  const int rate = chosenIndex(pages.frameRates, c.captureFrameRates.size());
  if (rate >= 0) c.captureFrameRateIndex = rate;
  const int codec = chosenIndex(pages.videoCodecs, screen.codecs.size());
  if (codec >= 0) c.codecIndex = codec;
  // The field can be typed into: a name typed there is as much the user's choice as one
  // picked with the file chooser. An emptied field keeps the previous name.
  if (!pages.outputFile.empty()) c.captureFileName = pages.outputFile;
}

int ConfigDialog::defaultCodecIndex(const std::vector<CodecInfo>& codecs, int current) {
  for (size_t i = 0; i < codecs.size(); ++i) {
    if (codecs[i].name.compare(0, 4, "DivX") == 0) current = static_cast<int>(i);
  }
  return current;
}

int ConfigDialog::run(Screen& screen, int& errorCode) {
  UserConfig& c = screen.config;
  Logger& log = *screen.runtime->logger;

  screen.codecs.clear();
  if (screen.runtime->capture) screen.runtime->capture->enumerateCodecs(screen.codecs);
  c.codecIndex = defaultCodecIndex(screen.codecs, c.codecIndex);

  int desktopWidth = 0, desktopHeight = 0;
  platform::getDesktopSize(desktopWidth, desktopHeight);
  const std::vector<SoundOutputChoice> outputs = Sound::outputMethods();

  SettingsPages pages;
  fillGeneralPage(screen, outputs, desktopWidth, desktopHeight, pages);
  fillCapturePage(screen, pages);
  if (screen.icon.size() == static_cast<size_t>(Screen::iconSize * Screen::iconSize * 4)) {
    pages.iconRgba = screen.icon;
    pages.iconSize = Screen::iconSize;
  }

  platform::SettingsCallbacks callbacks;
  callbacks.modesForAdapter = [&](int device) { return modeList(screen, device, desktopWidth, desktopHeight); };
  callbacks.codecConfigurable = [&](int codec) {
    return codec >= 0 && codec < static_cast<int>(screen.codecs.size()) && screen.codecs[codec].configurable;
  };
  callbacks.configureCodec = [&](int codec) {
    if (codec < 0 || codec >= static_cast<int>(screen.codecs.size())) return;
    using namespace platform::video;
    // The compressor shows its own settings; nothing is read back.
    if (HIC compressor = ICOpen(ICTYPE_VIDEO, screen.codecs[codec].handler, ICMODE_QUERY)) {
      ICSendMessage(compressor, ICM_CONFIGURE, 0, 0);
      ICClose(compressor);
    }
  };
  callbacks.captureToggled = [&](bool enabled) { c.captureEnabled = enabled; };
  callbacks.fileChosen = [&](const std::string& path) {
    c.captureFileName = path;
    log << "capture output file: " << path << "\n";
  };
  callbacks.savePage = [&](platform::SettingsPage page, const SettingsPages& controls) {
    if (page == platform::SettingsPage::General) saveGeneralPage(screen, outputs, controls);
    if (page == platform::SettingsPage::Capture) saveCapturePage(screen, controls);
  };
  if (onShown) callbacks.onShown = onShown;

  const platform::SettingsResult result = platform::runSettingsDialog(pages, callbacks, errorCode);
  if (result == platform::SettingsResult::Failed) return 1;
  c.accepted = result == platform::SettingsResult::Start;
  return 0;
}
