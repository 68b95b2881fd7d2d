// ProductionFile: reading and checking a production file (the Production schema in
// protobuf's text format) and resolving what it says into seconds.
//
//   std::vector<ProductionError> errors;
//   ProductionFile production;
//   if (readProduction(text, "production.txtpb", production, errors) == 0)
//     checkMembers(production, loader, errors);        // optional: every named member exists
//   for (const ProductionError& e : errors) puts(e.text().c_str());
//
// readProduction() parses and checks the file's own rules; on success `production.timeline`
// holds the entries in seconds and `production.length` the end. Every error found is
// reported, not only the first: an unknown field is skipped and noted, so the rest of the
// file is still read and checked (a syntax error ends the reading where it is). Each error
// names the file and, where the file has one, the line and column (1-based) of the field
// it is about, or the timeline entry.
//
// Nothing here draws or plays: the player (DemoPlayer), `pylon check` and the live reload
// all use these functions. No global state; safe to call from any thread.
#pragma once

#include <string>
#include <vector>

#include "resources/Production.pb.h"

class Loader;

struct ProductionError {
  std::string file;
  int line = 0;    // 1-based; 0 when the error is not about one place in the file
  int column = 0;  // 1-based
  std::string message;
  // "file:line:column: message", or "file: message" without a place ("message" alone when
  // the message names its file itself).
  std::string text() const;
};

// One timeline entry in seconds, with the transition kinds of the frame (1 to 8, or 0 for
// none) and the index of its part in `ProductionFile::message.part()`.
struct ResolvedEntry {
  int part = -1;
  float start = 0, end = 0, fadeIn = 0, fadeOut = 0;
  int inKind = 1, outKind = 2;
};

struct ProductionFile {
  Pylon::Production message;
  std::string file;  // the name its errors carry
  bool parsed = false;  // read to its end (its own rules may still have failed)
  double length = 0;
  std::vector<ResolvedEntry> timeline;
  // Where each field was written, for errors found after the parse (member checks).
  struct Place {
    int line = 0, column = 0;
  };
  std::vector<Place> partPlaces, entryPlaces;
};

// The most entries a timeline holds.
constexpr int kMaxProductionEntries = 64;

// Parses `text` (named `file` in errors) and checks its rules. 0 when there is no error;
// 1 with every error appended to `errors`.
int readProduction(const std::string& text, const std::string& file, ProductionFile& production,
                   std::vector<ProductionError>& errors);

// Appends an error for every member the production names that `loader` does not hold (the
// music, the scenes, effects, meshes and textures of its parts). 0 when all are there.
int checkMembers(const ProductionFile& production, Loader& loader, std::vector<ProductionError>& errors);

// The archive member a production is read from.
constexpr const char* kProductionMember = "production.txtpb";

// Seconds of `value` written in seconds, beats or rows at the production's tempo.
double beatSeconds(const Pylon::Production& production, double beats);
double rowSeconds(const Pylon::Production& production, double rows);

// The production of one imported scene: a scene part naming `member` over `length`
// seconds, fading in and out, with the music member `music` ("" for none) and the camera's
// planes when they are given (near > 0).
struct SceneProduction {
  std::string title, member, music;
  double length = 10.0;
  float near = 0.0f, far = 0.0f;
};
std::string sceneProductionText(const SceneProduction& scene);
// The length of an imported scene's production: its whole animation and a second more,
// in which it fades out holding its last pose (10 s for a scene that does not move).
double sceneProductionLength(double animationSeconds);
