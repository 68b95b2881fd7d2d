#include "screen/ConfigSelection.h"

#include <algorithm>

#include "runtime/Options.h"

namespace config_selection {

bool isUsableMode(const platform::DisplayModeRecord& mode) {
  if (mode.bitsPerPixel != 32) return false;
  return mode.refreshRate == 0 || (mode.refreshRate >= 60 && mode.refreshRate <= 100);
}

std::string modeLabel(const platform::DisplayModeRecord& mode) {
  std::string label = std::to_string(mode.width) + " x " + std::to_string(mode.height) + ", " +
                      std::to_string(mode.bitsPerPixel) + " bpp";
  if (mode.refreshRate != 0) label += " @ " + std::to_string(mode.refreshRate) + " Hz";
  return label;
}

int preselectedMode(const std::vector<DisplayMode>& modes, bool gui, int width, int height, int refreshRate,
                    int desktopWidth, int desktopHeight) {
  int selected = -1;
  for (size_t i = 0; i < modes.size(); ++i) {
    const platform::DisplayModeRecord& m = modes[i].mode;
    bool match = gui ? (m.width == width && m.height == height && m.refreshRate == refreshRate)
                     : (m.width == desktopWidth && m.height == desktopHeight);
    if (match) selected = static_cast<int>(i);
  }
  return selected;
}

std::vector<int> antialiasingChoices(const std::vector<PixelFormatEntry>& formats) {
  std::vector<int> choices{0};
  for (const PixelFormatEntry& entry : formats) {
    if (entry.samples != 0 && indexOf(choices, entry.samples) < 0) choices.push_back(entry.samples);
  }
  return choices;
}

std::vector<std::string> antialiasingLabels(const std::vector<int>& choices) {
  std::vector<std::string> labels;
  for (int samples : choices) labels.push_back(samples == 0 ? "None" : std::to_string(samples) + " samples");
  return labels;
}

std::vector<float> anisotropyChoices(float maxAnisotropy) {
  std::vector<float> choices{1.0f};
  for (int n = 2; static_cast<float>(n) <= maxAnisotropy && n <= (1 << 20); n *= 2) {
    choices.push_back(static_cast<float>(n));
  }
  return choices;
}

std::vector<std::string> anisotropyLabels(const std::vector<float>& choices) {
  std::vector<std::string> labels;
  for (float level : choices) labels.push_back(level == 1.0f ? "None" : std::to_string(static_cast<int>(level)));
  return labels;
}

float anisotropyLevel(int index) { return index <= 0 ? 1.0f : static_cast<float>(1 << std::min(index, 20)); }

int indexOf(const std::vector<int>& list, int value) {
  auto found = std::find(list.begin(), list.end(), value);
  return found == list.end() ? -1 : static_cast<int>(found - list.begin());
}

int indexOf(const std::vector<float>& list, float value) {
  auto found = std::find(list.begin(), list.end(), value);
  return found == list.end() ? -1 : static_cast<int>(found - list.begin());
}

const DisplayMode* chosenMode(const std::vector<DisplayDevice>& devices, int deviceIndex, int modeIndex) {
  if (deviceIndex < 0 || deviceIndex >= static_cast<int>(devices.size())) return nullptr;
  const std::vector<DisplayMode>& modes = devices[deviceIndex].modes;
  if (modeIndex < 0 || modeIndex >= static_cast<int>(modes.size())) return nullptr;
  return &modes[modeIndex];
}

int pixelFormatNumber(const std::vector<DisplayDevice>& devices, int deviceIndex, int samples, bool* listed) {
  if (listed) *listed = false;
  if (deviceIndex < 0 || deviceIndex >= static_cast<int>(devices.size())) return 1;
  for (const PixelFormatEntry& entry : devices[deviceIndex].pixelFormats) {
    if (entry.samples != samples) continue;
    if (listed) *listed = true;
    return entry.format;
  }
  return 1;
}

void windowPosition(const platform::Rect& workArea, int clientWidth, int clientHeight, int outerWidth, int outerHeight,
                    int& x, int& y) {
  x = clientWidth < workArea.right ? (workArea.right - outerWidth) / 2 : 0;
  y = clientHeight < workArea.bottom ? (workArea.bottom - outerHeight) / 2 : 0;
}

std::string captureFileName(const std::string& programPath) {
  // Only a dot in the file name itself starts an extension; one in a folder name does not.
  size_t slash = programPath.rfind('/');
  size_t dot = programPath.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return programPath + "_capture.avi";
  return programPath.substr(0, dot) + "_capture.avi";
}

void storeStartSelection(UserConfig& config, const std::vector<DisplayDevice>& devices, std::vector<int>& aaChoices,
                         bool gui, int desktopWidth, int desktopHeight) {
  config.deviceIndex = 0;
  const DisplayDevice* first = devices.empty() ? nullptr : &devices.front();
  if (first && !first->modes.empty()) {
    int mode = preselectedMode(first->modes, gui, config.width, config.height, config.refreshRate, desktopWidth,
                               desktopHeight);
    config.modeIndex = mode < 0 ? 0 : mode;
    config.width = first->modes[config.modeIndex].mode.width;
    config.height = first->modes[config.modeIndex].mode.height;
  }
  aaChoices = antialiasingChoices(first ? first->pixelFormats : std::vector<PixelFormatEntry>{});
  int aa = indexOf(aaChoices, config.aaSamples);
  config.aaSamples = aaChoices[aa < 0 ? 0 : aa];
  std::vector<float> aniso = anisotropyChoices(first ? first->maxAnisotropy : 0.0f);
  int level = indexOf(aniso, config.anisoLevel);
  config.anisoLevel = anisotropyLevel(level < 0 ? 0 : level);
  config.soundDriver = 0;
  config.soundOutput = 0;
  config.accepted = true;
}

void applyOptions(UserConfig& config, const std::vector<DisplayDevice>& devices, const ProgramOptions& options) {
  if (options.windowed) config.fullscreen = false;
  if (options.fullscreen) config.fullscreen = true;
  if (options.width && options.height) {
    config.width = *options.width;
    config.height = *options.height;
    config.modeIndex = -1;
    if (config.deviceIndex >= 0 && config.deviceIndex < static_cast<int>(devices.size())) {
      const std::vector<DisplayMode>& modes = devices[config.deviceIndex].modes;
      for (size_t i = 0; i < modes.size(); ++i) {
        if (modes[i].mode.width == config.width && modes[i].mode.height == config.height) {
          config.modeIndex = static_cast<int>(i);
        }
      }
    }
  }
  if (options.noVsync) config.vsync = false;
  if (options.aaSamples) config.aaSamples = *options.aaSamples;
  if (options.aniso) {
    float maxLevel = 1.0f;
    if (config.deviceIndex >= 0 && config.deviceIndex < static_cast<int>(devices.size())) {
      maxLevel = std::max(1.0f, devices[config.deviceIndex].maxAnisotropy);
    }
    config.anisoLevel = std::clamp(*options.aniso, 1.0f, maxLevel);
  }
  if (options.log) config.createLog = true;
}

}  // namespace config_selection
