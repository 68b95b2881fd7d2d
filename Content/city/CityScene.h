// CityScene: assembles "city-03.pb", the night city the production flies through — towers,
// streets, signs, rooftop parts, landmarks, sky and the camera — from the city layout.
//
// makeCityScene() fills a scene root and reports what it built; the data archive serialises
// the root. The textures and effects the scene names are listed so that the archive can
// carry each of them under that name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "city/CityLayout.h"
#include "resources/KestrelLib.pb.h"

namespace content {

struct CityStats {
  uint32_t trianglesDrawn = 0;  // per frame, every drawn object counted
  uint32_t drawCalls = 0;       // surfaces per frame (one pass each)
  uint32_t objects = 0;
};

// The texture members of the scene, as (archive name, painter) pairs, in scene order.
struct NamedAsset {
  std::string name;
  std::vector<uint8_t> (*make)();
};
const std::vector<NamedAsset>& cityTextures();

// Archive name under which the effect of each scene shader is stored ("shaders/...").
extern const char* const kCityInfoTool;

CityStats makeCityScene(Kestrel::KestrelLib& scene, const CityLayout& layout, const std::string& version);

}  // namespace content
