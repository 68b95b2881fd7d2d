// ProductionSource: which production the player plays, read and checked.
//
// In order: the file --production names; for --scene alone, a production of its own for
// the imported scene (one scene part over the scene's animation, fading in and out, no
// cars, no music); the data's "production.txtpb"; else Veltro 12's built-in production.
// With --scene and --production, the glTF scene is laid over the archive's "city-03.pb"
// and the production decides how it plays. Called once before the screen opens; the live
// reload reads the same file again with readProductionFile().
#pragma once

#include <string>
#include <vector>

#include "resources/ProductionFile.h"

class Loader;
struct OverlaidScene;
struct ProgramOptions;

// 0 with `production` read and checked (its members found in `loader`); 1 with every error.
// `scene` (when given) keeps what the --scene import left, for the live reload.
int loadPlayerProduction(Loader& loader, const ProgramOptions& options, ProductionFile& production,
                         std::vector<ProductionError>& errors, OverlaidScene* scene = nullptr);

// The player's preparation before the screen opens: loadPlayerProduction(), then the
// production handed to demoPlayer() and its music to the sound. 1, with every error shown
// in one message box, when the production cannot be played.
int preparePlayerProduction(const ProgramOptions& options, OverlaidScene* scene = nullptr);

// Where the production of this run is read from: the --production file, or the data
// directory's production.txtpb; "" when it is not a file that can be watched.
std::string productionFilePath(Loader& loader, const ProgramOptions& options);

// Reads and checks the production file at `path` (a file of the file system).
int readProductionFile(const std::string& path, Loader& loader, ProductionFile& production,
                       std::vector<ProductionError>& errors);
