// ScenePart: a production's `scene` part — any scene of the archive, or a glTF file
// imported at start, seen through one of its cameras with the part's near and far planes.
//
// Created from the production's part by the demo, initialised with the other parts; draw()
// renders the scene at the part's local time. release() frees its GL objects and effects
// (a live reload replacing the part).
#pragma once

#include <string>

#include "Effect.h"
#include "resources/KestrelLibDynamic.h"
#include "resources/Production.pb.h"

class ScenePart : public Effect {
 public:
  // `id` names the part in messages and in the member its imported scene is laid over as.
  ScenePart(const std::string& id, const Pylon::ScenePart& config) : id(id), config(config) {}
  int init() override;
  void draw(float localTime) override;
  CGeffect effectNamed(const std::string& name) override { return scene.effectNamed(name); }
  void release() override;

  // The scene member drawn: the part's `member`, or where its glTF file was laid over.
  std::string sceneMember() const;

  std::string id;
  Pylon::ScenePart config;
  KestrelLibDynamic scene;
  int camera = 0;  // the scene camera looked through
};
