// Options: the player's command line, for Linux users and scripted runs.
//
// parseOptions() fills a ProgramOptions from argv; the engine's services read the parsed
// values from programOptions() during start-up (the loader its archive path, the screen its
// overrides, and so on). No option changes what the production shows. usageText() is the
// one text behind --help and the manual page.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct ProgramOptions {
  bool help = false;
  bool version = false;
  bool noDialog = false;
  bool windowed = false;
  bool fullscreen = false;
  std::optional<int> width, height;  // --size WxH
  bool noVsync = false;
  std::optional<int> aaSamples;      // --aa N
  std::optional<float> aniso;        // --aniso N
  bool log = false;
  bool gui = false;
  std::string captureFile;           // --capture FILE.avi|.mp4|.mov|.mkv
  std::optional<int> fps;            // --fps N
  std::string codec;                 // --codec NAME
  std::optional<int> quality;        // --quality N
  std::string audioCodec;            // --audio-codec aac|flac|pcm
  std::optional<double> from;        // --from SECONDS
  std::optional<double> to;          // --to SECONDS
  std::optional<double> shotTime;    // --shot SECONDS FILE.png (--shots: the first of them)
  std::string shotFile;
  // --shots T1,T2,... FOLDER: the shots after the first, each (time, FOLDER/T.png) with T as written.
  std::vector<std::pair<double, std::string>> moreShots;
  std::string soundOutput;           // --sound-output NAME
  std::string dataFile;              // --data FILE|DIR
  std::string productionFile;        // --production FILE
  std::string sceneFile;             // --scene FILE.gltf|FILE.glb
  std::string cameraName;            // --camera NAME (with --scene)
  std::string world;                 // --world R,G,B (with --scene)
  bool postOff = false;              // --post off: no bloom or grading, whatever the production says
  bool watch = false;                // --watch
  std::optional<std::string> sync;   // --sync [HOST][:PORT] ("" for the editor's default address)
  std::optional<double> loopFrom, loopTo;  // --loop FROM TO
  bool listCodecs = false;
  std::optional<float> renderScale;  // --render-scale S (0.25 to 1)
  bool renderScaleAuto = false;      // --render-scale auto
  std::optional<int> targetFps;      // --target-fps N
};

// The options of this run (defaults until parseOptions() is called on it).
ProgramOptions& programOptions();

// 0 on success; 1 with a one-line reason in `error` for an unknown option or a bad value.
int parseOptions(int argc, const char* const* argv, ProgramOptions& options, std::string& error);

// A whole decimal number that is finite (no "nan", no "inf", nothing past the double
// range); false, leaving `out` alone, otherwise. Shared with the content tool's options.
bool parseFiniteNumber(const char* text, double& out);

std::string usageText();
std::string versionText();
