// GltfImport: a glTF 2.0 scene (.gltf with its files, or .glb) converted to the engine's
// scene file and the archive members it needs.
//
// importGltf() reads the file (GltfSafety: every buffer and image confined to the file's folder,
// the parser opening no file itself), checks every accessor, index, image and reference it
// follows, and fills an ImportedScene: the scene message, the images and the importer's lit
// effects as archive members, and the list of what the scene holds that the engine does not
// carry. The rules it follows are in docs/importing.md. The result is plain data: `pylon
// import` writes it into an archive, the player's --scene lays it over the data archive.
// Not for writing glTF, and nothing here touches GL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <map>

#include "import/GltfCurves.h"
#include "import/GltfSafety.h"
#include "resources/KestrelLib.pb.h"

class Loader;

namespace gltf_import {

struct ImportOptions {
  std::string cameraName;  // --camera NAME: the camera (or its node) of that name; "" for the first
  // --world R,G,B: the world's colour (linear), behind the scene and lighting it from all round.
  bool world = false;
  float worldColour[3] = {0, 0, 0};
  std::vector<float> worldTerms;  // --world IMAGE: its light's nine spherical-harmonic terms (27)
};

struct ImportedScene {
  Kestrel::KestrelLib scene;
  // Archive members the scene refers to ("/"-separated names): images and effects.
  std::vector<std::pair<std::string, std::vector<uint8_t>>> members;
  // What the file holds that the engine does not carry, one line each, without repeats.
  std::vector<std::string> notCarried;
  // What the file holds that plays otherwise than its author may expect, one line each.
  std::vector<std::string> warnings;
  // The external files the scene read (buffers, images), as paths beside the scene file.
  std::vector<std::string> files;
  // The source's own motion, for checks against the converted envelopes: each object's node
  // name (in object order), the camera's node name, and every animated channel by (node
  // name, "translation" | "rotation" | "scale").
  std::vector<std::string> objectNodes;
  std::string cameraNode;
  // The scene camera's clipping planes, for the scene part that shows it: the glTF camera's
  // znear and zfar, or planes fitted to the scene's bounds at its first frame where the file
  // gives no zfar or the importer made the camera (cameraMade: the file has none).
  float cameraNear = 0, cameraFar = 0;
  bool cameraMade = false;
  // What the importer did on the file's behalf, one line each (the camera it made, the planes).
  std::vector<std::string> messages;
  std::map<std::pair<std::string, std::string>, Curve> curves;
};

// --world's value: "R,G,B" (linear, 0 or more each, as Blender's world colour shows them),
// or an equirectangular image file (PNG or JPEG) as Blender's world takes one, reduced to
// the terms of its light (GltfWorld.h) and its mean colour. 0 on success; 1 with `error`
// saying what is wrong.
int parseWorld(const std::string& text, ImportOptions& options, std::string& error);

// 0 on success; 1 with `error` naming the file and the problem.
int importGltf(const std::string& path, const ImportOptions& options, ImportedScene& out, std::string& error);
// The same over bytes in memory (a .glb when they start with "glTF", else JSON); `name`
// appears in messages. External files are looked up beside `name` on disk, or, given
// `members`, `name` is an archive member and they are the members beside it.
int importGltfMemory(const uint8_t* data, size_t size, const std::string& name, const ImportOptions& options,
                     ImportedScene& out, std::string& error, const MemberReader& members = {});

// The members of `loader`'s archive, for importGltfMemory over one of them; `loader` must
// outlive its use.
MemberReader archiveMembers(Loader& loader);

// The importer's member names, shared with the tools that merge archives.
extern const char* const kImportedPrefix;  // every image and effect goes under this folder

}  // namespace gltf_import
