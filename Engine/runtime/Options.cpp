#include "runtime/Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

ProgramOptions& programOptions() {
  static ProgramOptions options;
  return options;
}

namespace {

struct OptionSpec {
  const char* name;
  const char* argument;  // nullptr: a switch
  const char* help;
};

// One table drives parsing, --help and the manual page, so they cannot drift apart.
const std::vector<OptionSpec>& optionTable() {
  static const std::vector<OptionSpec> table = {
      {"--no-dialog", nullptr,
       "start with the pre-selected settings, without the settings dialog (--shot and --capture imply it, and a "
       "1920x1080 window unless --size or --fullscreen say otherwise)"},
      {"--windowed", nullptr, "run in a window"},
      {"--fullscreen", nullptr, "run full screen"},
      {"--size", "WxH", "window or full-screen mode size, for example 1280x720"},
      {"--no-vsync", nullptr, "do not wait for vertical retrace"},
      {"--aa", "N", "multisample anti-aliasing samples (0 for none)"},
      {"--aniso", "N", "anisotropic texture filtering level (1 for none)"},
      {"--log", nullptr, "write the log file Pylon.txt in the working directory"},
      {"--gui", nullptr, "show the tweak GUI (windowed, with the log)"},
      {"--capture", "FILE.avi|.mp4|.mov|.mkv",
       "capture every frame, with the music, into a video file; the extension picks the container "
       "(MP4 and MOV: H.264 with AAC sound, MKV: H.264 with FLAC)"},
      {"--fps", "N", "capture frame rate: 15, 20, 25, 30 or 60"},
      {"--codec", "NAME", "capture video codec (see --list-codecs)"},
      {"--quality", "N", "capture quality for MP4, MOV and MKV: H.264's rate factor 0-51 (default 20, lower is better)"},
      {"--audio-codec", "NAME", "capture sound codec for MP4, MOV and MKV: aac, flac or pcm"},
      {"--from", "SECONDS", "start the demo at this time"},
      {"--to", "SECONDS", "end the demo after this time (default: the production's length)"},
      {"--shot", "SECONDS FILE.png", "render the frame at that demo time to a PNG file and exit"},
      {"--shots", "T1,T2,... FOLDER",
       "render the frames at those demo times, one after another in one run, to FOLDER/T.png (T as written) and "
       "exit; each frame is drawn as --shot draws it"},
      {"--sound-output", "NAME", "sound output method (auto, nosound, pulseaudio, alsa, pipewire)"},
      {"--data", "FILE|DIR", "data archive (or a directory of its files) to play instead of data.zip"},
      {"--production", "FILE", "play this production file instead of the archive's production.txtpb"},
      {"--scene", "FILE.gltf|FILE.glb",
       "play this glTF 2.0 scene as a production of its own (with --production: in place of the scene member "
       "city-03.pb)"},
      {"--camera", "NAME", "with --scene: view through the camera (or camera node) of that name, not the first"},
      {"--world", "R,G,B", "with --scene: the world's colour (linear, as Blender's), behind the scene and lighting it from all round"},
      {"--post", "on|off",
       "off: show the parts as drawn, without bloom or the final grading (the production file's post { enabled: false })"},
      {"--watch", nullptr, "reload the production file, effects, images, meshes and scenes when their files are saved"},
      {"--sync", "[HOST][:PORT]",
       "follow a sync editor (127.0.0.1:1338 by default): its keys drive the tracks, its pause and row the clock"},
      {"--loop", "FROM TO", "play the stretch from FROM to TO seconds over and over"},
      {"--render-scale", "S|auto",
       "draw the scene at S (0.25 to 1, default 1) times the view's width and height and scale it up; auto "
       "picks the scale every frame to hold --target-fps. Capture and --shot always render at 1"},
      {"--target-fps", "N", "the frame rate --render-scale auto holds (default: the display's refresh rate, or 60)"},
      {"--list-codecs", nullptr, "list the capture video codecs, with the containers each fits, and exit"},
      {"--help", nullptr, "show this help and exit"},
      {"--version", nullptr, "show the version and exit"},
  };
  return table;
}

bool parseInt(const char* text, int& out) {
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);
  if (!*text || *end || value < -1000000 || value > 1000000) return false;
  out = static_cast<int>(value);
  return true;
}

}  // namespace

bool parseFiniteNumber(const char* text, double& out) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  // "nan", "inf" and values past the double range parse, but no time or count can use them.
  if (!*text || *end || errno == ERANGE || !std::isfinite(value)) return false;
  out = value;
  return true;
}

std::string versionText() { return std::string("Veltro 12 ") + PYLON_VERSION_TEXT; }

std::string usageText() {
  std::string text =
      "Usage: veltro12 [OPTION]...\n"
      "Plays the real-time demo Veltro 12 from its data archive data.zip.\n\n"
      "Options:\n";
  for (const OptionSpec& spec : optionTable()) {
    std::string left = std::string("  ") + spec.name;
    if (spec.argument) left += std::string(" ") + spec.argument;
    if (left.size() < 32) left.resize(32, ' ');
    else left += "  ";
    text += left + spec.help + "\n";
  }
  return text;
}

int parseOptions(int argc, const char* const* argv, ProgramOptions& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](const char* what) -> const char* {
      if (i + 1 >= argc) {
        error = "option " + arg + " needs " + what;
        return nullptr;
      }
      return argv[++i];
    };
    auto bad = [&](const char* v) {
      error = "invalid value for " + arg + ": " + v;
      return 1;
    };
    if (arg == "--help" || arg == "-h") o.help = true;
    else if (arg == "--version") o.version = true;
    else if (arg == "--no-dialog") o.noDialog = true;
    else if (arg == "--windowed") { o.windowed = true; o.fullscreen = false; }
    else if (arg == "--fullscreen") { o.fullscreen = true; o.windowed = false; }
    else if (arg == "--no-vsync") o.noVsync = true;
    else if (arg == "--log") o.log = true;
    else if (arg == "--gui") o.gui = true;
    else if (arg == "--list-codecs") o.listCodecs = true;
    else if (arg == "--size") {
      const char* v = value("WxH");
      if (!v) return 1;
      int w = 0, h = 0;
      const char* x = std::strchr(v, 'x');
      if (!x || !parseInt(std::string(v, x).c_str(), w) || !parseInt(x + 1, h) || w < 16 || h < 16) return bad(v);
      o.width = w;
      o.height = h;
    } else if (arg == "--aa") {
      const char* v = value("N");
      int n = 0;
      if (!v) return 1;
      if (!parseInt(v, n) || n < 0 || n > 64) return bad(v);
      o.aaSamples = n;
    } else if (arg == "--aniso") {
      const char* v = value("N");
      int n = 0;
      if (!v) return 1;
      if (!parseInt(v, n) || n < 1 || n > 64) return bad(v);
      o.aniso = static_cast<float>(n);
    } else if (arg == "--capture") {
      const char* v = value("FILE.avi");
      if (!v) return 1;
      o.captureFile = v;
    } else if (arg == "--fps") {
      const char* v = value("N");
      int n = 0;
      if (!v) return 1;
      if (!parseInt(v, n) || (n != 15 && n != 20 && n != 25 && n != 30 && n != 60)) return bad(v);
      o.fps = n;
    } else if (arg == "--codec") {
      const char* v = value("NAME");
      if (!v) return 1;
      o.codec = v;
    } else if (arg == "--quality") {
      const char* v = value("N");
      int n = 0;
      if (!v) return 1;
      if (!parseInt(v, n) || n < 0 || n > 51) return bad(v);
      o.quality = n;
    } else if (arg == "--audio-codec") {
      const char* v = value("NAME");
      if (!v) return 1;
      const std::string name = v;
      if (name != "aac" && name != "flac" && name != "pcm") return bad(v);
      o.audioCodec = name;
    } else if (arg == "--from" || arg == "--to") {
      const char* v = value("SECONDS");
      double s = 0;
      if (!v) return 1;
      if (!parseFiniteNumber(v, s) || s < 0 || s > 1000) return bad(v);
      (arg == "--from" ? o.from : o.to) = s;
    } else if (arg == "--shot") {
      const char* v = value("SECONDS FILE.png");
      double s = 0;
      if (!v) return 1;
      if (!parseFiniteNumber(v, s) || s < 0 || s > 1000) return bad(v);
      const char* file = value("FILE.png");
      if (!file) return 1;
      o.shotTime = s;
      o.shotFile = file;
    } else if (arg == "--shots") {
      const char* v = value("T1,T2,... FOLDER");
      if (!v) return 1;
      std::vector<std::pair<double, std::string>> shots;
      const std::string list = v;
      for (size_t begin = 0; begin <= list.size();) {
        const size_t comma = std::min(list.find(',', begin), list.size());
        const std::string text = list.substr(begin, comma - begin);
        double s = 0;
        if (!parseFiniteNumber(text.c_str(), s) || s < 0 || s > 1000) return bad(v);
        shots.emplace_back(s, text);
        begin = comma + 1;
      }
      const char* folder = value("FOLDER");
      if (!folder) return 1;
      const std::string prefix = std::string(folder) + (*folder && folder[std::strlen(folder) - 1] == '/' ? "" : "/");
      o.shotTime = shots.front().first;
      o.shotFile = prefix + shots.front().second + ".png";
      o.moreShots.clear();
      for (size_t k = 1; k < shots.size(); ++k) o.moreShots.emplace_back(shots[k].first, prefix + shots[k].second + ".png");
    } else if (arg == "--sound-output") {
      const char* v = value("NAME");
      if (!v) return 1;
      o.soundOutput = v;
    } else if (arg == "--data") {
      const char* v = value("FILE");
      if (!v) return 1;
      o.dataFile = v;
    } else if (arg == "--production") {
      const char* v = value("FILE");
      if (!v) return 1;
      o.productionFile = v;
    } else if (arg == "--scene") {
      const char* v = value("FILE.gltf|FILE.glb");
      if (!v) return 1;
      o.sceneFile = v;
    } else if (arg == "--camera") {
      const char* v = value("NAME");
      if (!v) return 1;
      o.cameraName = v;
    } else if (arg == "--world") {
      const char* v = value("R,G,B");
      if (!v) return 1;
      o.world = v;
    } else if (arg == "--post") {
      const char* v = value("on|off");
      if (!v) return 1;
      if (std::string(v) != "on" && std::string(v) != "off") return bad(v);
      o.postOff = std::string(v) == "off";
    } else if (arg == "--watch") {
      o.watch = true;
    } else if (arg == "--sync") {
      // The address is optional: the next argument is one unless it is an option.
      o.sync = i + 1 < argc && argv[i + 1][0] != '-' ? std::string(argv[++i]) : std::string();
    } else if (arg == "--loop") {
      const char* from = value("FROM TO");
      double a = 0, b = 0;
      if (!from) return 1;
      if (!parseFiniteNumber(from, a) || a < 0 || a > 1000) return bad(from);
      const char* to = value("TO");
      if (!to) return 1;
      if (!parseFiniteNumber(to, b) || b <= a || b > 1000) return bad(to);
      o.loopFrom = a;
      o.loopTo = b;
    } else if (arg == "--render-scale") {
      const char* v = value("S|auto");
      double s = 0;
      if (!v) return 1;
      if (std::string(v) == "auto") {
        o.renderScaleAuto = true;
        o.renderScale.reset();
      } else {
        if (!parseFiniteNumber(v, s) || s < 0.25 || s > 1) return bad(v);
        o.renderScale = static_cast<float>(s);
        o.renderScaleAuto = false;
      }
    } else if (arg == "--target-fps") {
      const char* v = value("N");
      int n = 0;
      if (!v) return 1;
      if (!parseInt(v, n) || n < 10 || n > 500) return bad(v);
      o.targetFps = n;
    } else {
      error = "unknown option: " + arg;
      return 1;
    }
  }
  if (!o.world.empty() && o.sceneFile.empty()) {
    error = "--world needs --scene FILE (a production file gives a scene part its world)";
    return 1;
  }
  if (!o.cameraName.empty() && o.sceneFile.empty()) {
    error = "--camera needs --scene FILE (pylon import --camera NAME picks the camera of an archive)";
    return 1;
  }
  // A render that runs unattended (--shot, --capture) has no one to answer the settings
  // dialog: it starts with the settings the options give, in a 16:9 window of 1920x1080
  // unless they name a size or full screen.
  if (!o.captureFile.empty() || o.shotTime) {
    o.noDialog = true;
    if (!o.fullscreen) o.windowed = true;
    if (!o.width) {
      o.width = 1920;
      o.height = 1080;
    }
  }
  return 0;
}
