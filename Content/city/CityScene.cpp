#include "city/CityScene.h"

#include <algorithm>
#include <cmath>

#include "city/CameraFlight.h"
#include "city/CarTrails.h"
#include "city/CityTextures.h"
#include "city/FarCity.h"
#include "city/StreetLights.h"
#include "data/Image.h"
#include "data/SceneWriter.h"

namespace content {

const char* const kCityInfoTool = "pylon build-data";

namespace {

constexpr float kPi = 3.14159265358979f;

}  // namespace

const std::vector<NamedAsset>& cityTextures() {
  static const std::vector<NamedAsset> list = {
      {"textures/city/facades.png", facadeAtlasTexture}, {"textures/city/roof.png", roofTexture},
      {"textures/city/pavement.png", pavementTexture},
      {"textures/city/sky.png", skyTexture},       {"textures/city/signs.png", signTexture},
      {"textures/city/holo.png", holoTexture},
      {"textures/city/lamp-red.png", lampRedTexture}, {"textures/city/lamp-white.png", lampWhiteTexture},
      {"textures/city/far-facade.png", farFacadeTexture}, {"textures/city/far-ground.png", farGroundTexture},
      {"textures/city/lamp-sodium.png", lampSodiumTexture}, {"textures/city/street-light.png", groundLightTexture},
      {"textures/city/mast.png", mastTexture},
  };
  return list;
}

namespace {

enum Tex { kTexFacades = 1, kTexRoof, kTexPavement, kTexSky, kTexSigns, kTexHolo, kTexLampRed,
           kTexLampWhite, kTexFarFacade, kTexFarGround, kTexLampSodium, kTexStreetLight, kTexMast };

struct Materials {
  uint32_t facade, roof, rooftop, mast, pavement, street, curbCyan, curbAmber, neon, beacon, sky, holo, beam,
      ringMetal, lampRed, lampWhite, farTowers, farGround, lampPost, lampHead, trails;
};

// Adds the faces of one box tier, mapped into the facade texture of its style: each face
// takes a random window-aligned rectangle of it, floors counted from the ground so tiers line
// up. The normal carries the style in x, for the effect to find the style's part of the
// atlas, and the wall's outward direction (x, z) in y and z, for the rooms it sees into.
void addFacade(Mesh& m, const Box& b, float v0, int style, Random& rnd) {
  const float bayU = 1.0f / kFacadeBays, texW = kFacadeBays * kBayWidth, texH = kFacadeFloors * kFloorHeight;
  Vec3 lo = b.lo, hi = b.hi;
  Vec3 corners[4] = {{lo.x, 0, hi.z}, {hi.x, 0, hi.z}, {hi.x, 0, lo.z}, {lo.x, 0, lo.z}};
  for (int f = 0; f < 4; ++f) {
    Vec3 a = corners[f], c = corners[(f + 1) % 4];
    float w = std::fabs(c.x - a.x) + std::fabs(c.z - a.z);
    int bays = int(std::ceil(w / kBayWidth));
    int start = rnd.below(std::max(1, kFacadeBays - bays));
    float u0 = float(start) * bayU, u1 = u0 + w / texW;
    float va = v0 + lo.y / texH, vb = v0 + hi.y / texH;
    const uint32_t quad = m.vertexCount();
    m.addQuad({a.x, lo.y, a.z}, {c.x, lo.y, c.z}, {c.x, hi.y, c.z}, {a.x, hi.y, a.z}, u0, va, u1, vb);
    // Outwards: a -> c turned a quarter turn about the vertical (the corners go round the box
    // the same way for every face).
    const float outX = (a.z - c.z) / w, outZ = (c.x - a.x) / w;
    for (size_t i = size_t(quad) * 3; i + 2 < m.normals.size(); i += 3)
      m.normals[i] = float(style), m.normals[i + 1] = outX, m.normals[i + 2] = outZ;
  }
}

// The city's static geometry in world coordinates: facades by style, roofs, rooftop plant,
// masts. One object, one surface per material.
Geometry buildTowers(SceneWriter& w, const CityLayout& city, const Materials& mat) {
  Mesh facades, roofs, plant, masts;
  // Towers from south to north: the flight mostly looks north, so near walls tend to be
  // drawn first and hide the far ones before they are shaded. All styles share one draw, so
  // the order holds across them.
  std::vector<const Tower*> order;
  for (const Tower& t : city.towers) order.push_back(&t);
  std::stable_sort(order.begin(), order.end(), [](const Tower* a, const Tower* b) {
    return a->tiers[0].lo.z + a->tiers[0].hi.z > b->tiers[0].lo.z + b->tiers[0].hi.z;
  });
  for (const Tower* tp : order) {
    const Tower& t = *tp;
    Random rnd(uint32_t(t.seed));
    float top = t.height();
    float texH = kFacadeFloors * kFloorHeight;
    int floorsFree = std::max(0, int((texH - top) / kFloorHeight));
    float v0 = float(rnd.below(floorsFree + 1)) / kFacadeFloors;
    for (const Box& b : t.tiers) {
      addFacade(facades, b, v0, t.facade, rnd);
      addBox(roofs, b.lo, b.hi, kTop, BoxMapping::Unit);
    }
    // Rooftop plant: a few boxes on the top tier.
    const Box& r = t.tiers.back();
    int units = 1 + rnd.below(3);
    for (int k = 0; k < units; ++k) {
      float sx = rnd.uniform(2, 4.5f), sz = rnd.uniform(2, 4.5f), sy = rnd.uniform(1.2f, 3.2f);
      float x = rnd.uniform(r.lo.x + 1, std::max(r.lo.x + 1, r.hi.x - 1 - sx));
      float z = rnd.uniform(r.lo.z + 1, std::max(r.lo.z + 1, r.hi.z - 1 - sz));
      addBox(plant, {x, r.hi.y, z}, {x + sx, r.hi.y + sy, z + sz}, kSides | kTop, BoxMapping::Unit);
    }
    if (t.mast) {
      Vec3 c = t.roofCentre();
      float s = t.landmark ? 0.9f : 0.35f;
      addBox(masts, {c.x - s, c.y, c.z - s}, {t.mastTop.x + s, t.mastTop.y, t.mastTop.z + s}, kSides, BoxMapping::Unit);
      if (t.landmark)  // a wider base for the spire
        addBox(masts, {c.x - 3, c.y, c.z - 3}, {c.x + 3, c.y + 6, c.z + 3}, kSides | kTop, BoxMapping::Unit);
    }
  }
  SurfaceMesh sm;
  // Roofs and facades first: their effects read texture coordinates, and a flat-coloured
  // surface drawn without an effect switches the coordinate array off and leaves it so. The
  // masts come last and are textured (plain) to switch it on again for the objects after.
  sm.add(roofs, mat.roof);
  sm.add(facades, mat.facade);
  sm.add(plant, mat.rooftop);
  sm.add(masts, mat.mast);
  return w.geometry(sm);
}

// Streets, sidewalks and the glowing curb lines of the avenues. Street quads carry
// (distance along the street, position across it from -1 to 1) as texture coordinates.
Geometry buildStreets(SceneWriter& w, const CityLayout& city, const Materials& mat) {
  Mesh asphalt, pavement, curbCyan, curbAmber;
  const float lo = city.lines.front() - 60, hi = city.lines.back() + 60;
  const std::vector<float>& L = city.lines;
  for (float line : L) {
    float hw = CityLayout::halfWidth(line);
    // Along x: one strip over the whole length.
    asphalt.addQuad({lo, 0, line + hw}, {hi, 0, line + hw}, {hi, 0, line - hw}, {lo, 0, line - hw}, lo, 1, hi, -1);
    // Along z: pieces between the crossing streets, so the two never overlap.
    std::vector<float> cuts = {lo};
    for (float c : L) cuts.push_back(c - CityLayout::halfWidth(c)), cuts.push_back(c + CityLayout::halfWidth(c));
    cuts.push_back(hi);
    for (size_t i = 0; i + 1 < cuts.size(); i += 2) {
      float z0 = cuts[i], z1 = cuts[i + 1];
      asphalt.addQuad({line - hw, 0, z1}, {line + hw, 0, z1}, {line + hw, 0, z0}, {line - hw, 0, z0}, -1, -z1, 1, -z0);
      // The quad's u runs across and v along: swap into (along, across) by rewriting uvs.
      size_t n = asphalt.uvs.size();
      for (size_t k = n - 8; k < n; k += 2) std::swap(asphalt.uvs[k], asphalt.uvs[k + 1]);
    }
  }
  // Sidewalk blocks and the avenues' curb lights.
  for (size_t i = 0; i + 1 < L.size(); ++i)
    for (size_t j = 0; j + 1 < L.size(); ++j) {
      float x0 = L[i] + CityLayout::halfWidth(L[i]), x1 = L[i + 1] - CityLayout::halfWidth(L[i + 1]);
      float z0 = L[j] + CityLayout::halfWidth(L[j]), z1 = L[j + 1] - CityLayout::halfWidth(L[j + 1]);
      addBox(pavement, {x0, 0, z0}, {x1, 0.25f, z1}, kTop | kSides, BoxMapping::Unit);
    }
  for (float a : city.avenues) {
    float hw = CityLayout::halfWidth(a) - 0.6f;
    for (size_t i = 0; i + 1 < L.size(); ++i) {
      float s0 = L[i] + CityLayout::halfWidth(L[i]) + 1, s1 = L[i + 1] - CityLayout::halfWidth(L[i + 1]) - 1;
      for (float side : {-1.0f, 1.0f}) {
        float c = a + side * hw;
        // along x at z = a, and along z at x = a
        curbCyan.addQuad({s0, 0.05f, c + 0.25f}, {s1, 0.05f, c + 0.25f}, {s1, 0.05f, c - 0.25f}, {s0, 0.05f, c - 0.25f}, 0, 0, 1, 1);
        curbAmber.addQuad({c - 0.25f, 0.05f, s1}, {c + 0.25f, 0.05f, s1}, {c + 0.25f, 0.05f, s0}, {c - 0.25f, 0.05f, s0}, 0, 0, 1, 1);
      }
    }
  }
  Mesh posts, heads;
  lampMeshes(streetLamps(city), posts, heads);
  SurfaceMesh sm;
  // As for the towers: flat kerb lights and lamp posts, then the textured lamp heads and
  // pavement, then the streets' effect.
  sm.add(curbCyan, mat.curbCyan);
  sm.add(curbAmber, mat.curbAmber);
  sm.add(posts, mat.lampPost);
  sm.add(heads, mat.lampHead);
  sm.add(pavement, mat.pavement);
  sm.add(asphalt, mat.street);
  return w.geometry(sm);
}

// Neon signs hung off the facades that face the avenues, and the merged mast beacons.
Geometry buildSigns(SceneWriter& w, const CityLayout& city, const Materials& mat, Geometry& beacons) {
  Mesh signs, lights;
  std::vector<SignPlate> plates;
  for (const Tower& t : city.towers) {
    Random rnd(uint32_t(t.seed) ^ 0x5157u);
    plates.clear();
    placeTowerSigns(t, city.avenues, rnd, plates);
    for (const SignPlate& p : plates)
      signs.addQuad(p.corner[0], p.corner[1], p.corner[2], p.corner[3], p.u0, p.v0, p.u1, p.v1);
    if (t.mast && !t.landmark) {
      // The beacon effect blinks each light with its own phase, carried in u.
      Mesh cube;
      float s = 0.7f;
      Vec3 p = t.mastTop;
      addBox(cube, {p.x - s, p.y - s, p.z - s}, {p.x + s, p.y + s, p.z + s}, kAllFaces, BoxMapping::Unit);
      float phase = rnd.uniform();
      for (size_t k = 0; k < cube.uvs.size(); k += 2) cube.uvs[k] = phase, cube.uvs[k + 1] = 0;
      lights.append(cube);
    }
  }
  SurfaceMesh sm, lm;
  sm.add(signs, mat.neon);
  lm.add(lights, mat.beacon);
  beacons = w.geometry(lm);
  return w.geometry(sm);
}

// The far city around the detailed grid, one object per tile: its towers, then the ground
// they hide in part.
void addFarCity(SceneWriter& w, const CityLayout& city, const Materials& mat) {
  for (const FarTile& tile : makeFarCity(city).tiles) {
    SurfaceMesh sm;
    sm.add(tile.towers, mat.farTowers);
    sm.add(tile.ground, mat.farGround);
    w.object(w.geometry(sm), Motion());
  }
}

Geometry buildSky(SceneWriter& w, const Materials& mat) {
  // A sphere of radius 480 around its origin; u runs with the heading, v from -10 degrees
  // (0) to the zenith (1) as the panorama texture expects. Faces point inwards.
  // The rings lie a degree apart around the horizon: the sky effect works out its colour
  // gradient per vertex, and the glow at the horizon changes over a few degrees.
  Mesh m;
  const std::vector<float> elev = {-90, -30, -10, -6, -4, -2, -1, 0, 1, 2, 4, 6, 9, 13, 20, 32, 55, 90};
  const int seg = 24, rings = int(elev.size()) - 1;
  const float radius = 480;
  for (int r = 0; r <= rings; ++r)
    for (int s = 0; s <= seg; ++s) {
      float e = elev[r] * kPi / 180, hd = float(s) / seg * 2 * kPi;
      Vec3 d{std::cos(e) * std::sin(hd), std::sin(e), -std::cos(e) * std::cos(hd)};
      float v = std::max(0.0f, (elev[r] + 10) / 100);
      m.addVertex(d * radius, d * -1.0f, {std::cos(hd), 0, std::sin(hd)}, float(s) / seg, v);
    }
  for (int r = 0; r < rings; ++r)
    for (int s = 0; s < seg; ++s) {
      uint32_t a = uint32_t(r * (seg + 1) + s), b = a + 1, c = a + seg + 1, d = c + 1;
      m.addTriangle(a, c, b);
      m.addTriangle(b, c, d);
    }
  SurfaceMesh sm;
  sm.add(m, mat.sky);
  return w.geometry(sm);
}

// Unit-sized shapes shared by many objects through their sharing key.
Mesh ringMesh(int segments) {
  // An octagonal band of radius 1 from y 0 to 2, outside faces plus a top rim.
  Mesh m;
  for (int i = 0; i < segments; ++i) {
    float a0 = float(i) / segments * 2 * kPi, a1 = float(i + 1) / segments * 2 * kPi;
    Vec3 p0{std::cos(a0), 0, std::sin(a0)}, p1{std::cos(a1), 0, std::sin(a1)};
    float u0 = float(i) / segments, u1 = float(i + 1) / segments;
    m.addQuad(p1, p0, p0 + Vec3{0, 2, 0}, p1 + Vec3{0, 2, 0}, u1, 0, u0, 1);
    Vec3 q0 = p0 * 0.8f, q1 = p1 * 0.8f;
    m.addQuad(p1 + Vec3{0, 2, 0}, p0 + Vec3{0, 2, 0}, q0 + Vec3{0, 2, 0}, q1 + Vec3{0, 2, 0}, u1, 1, u0, 1);
  }
  return m;
}

Mesh beaconMesh() {
  Mesh m;
  addBox(m, {-0.9f, -0.9f, -0.9f}, {0.9f, 0.9f, 0.9f}, kAllFaces, BoxMapping::Unit);
  return m;
}

Mesh signCubeMesh() {
  // Four faces of a box of half-size 1, height 2, each showing one board of the holo atlas.
  Mesh m;
  Vec3 c[4] = {{-1, 0, 1}, {1, 0, 1}, {1, 0, -1}, {-1, 0, -1}};
  for (int f = 0; f < 4; ++f) {
    Vec3 a = c[f], b = c[(f + 1) % 4];
    float v0 = float(f) / kHoloRows, v1 = float(f + 1) / kHoloRows;
    m.addQuad(a, b, b + Vec3{0, 2, 0}, a + Vec3{0, 2, 0}, 0, 1 - v1, 1, 1 - v0);
  }
  addBox(m, {-1, 2, -1}, {1, 2.2f, 1}, kTop, BoxMapping::Unit);
  return m;
}

Mesh boardMesh(int row) {
  // A board of 1 x 1 facing +z, standing on its bottom edge, showing one board of the holo
  // atlas on both sides.
  Mesh m;
  float v0 = 1 - float(row + 1) / kHoloRows, v1 = 1 - float(row) / kHoloRows;
  m.addQuad({-0.5f, 0, 0}, {0.5f, 0, 0}, {0.5f, 1, 0}, {-0.5f, 1, 0}, 0, v0, 1, v1);
  m.addQuad({0.5f, 0, -0.05f}, {-0.5f, 0, -0.05f}, {-0.5f, 1, -0.05f}, {0.5f, 1, -0.05f}, 0, v0, 1, v1);
  return m;
}

Mesh beamMesh() {
  // An open cone from the origin up the +y axis, 160 long, 9 wide at its end; v along it.
  Mesh m;
  const int seg = 10;
  for (int i = 0; i < seg; ++i) {
    float a0 = float(i) / seg * 2 * kPi, a1 = float(i + 1) / seg * 2 * kPi;
    Vec3 e0{std::cos(a0) * 9, 160, std::sin(a0) * 9}, e1{std::cos(a1) * 9, 160, std::sin(a1) * 9};
    Vec3 o{0, 0, 0};
    Vec3 n = normalize(Vec3{std::cos(a0), 0, std::sin(a0)});
    uint32_t i0 = m.addVertex(o, n, {0, 1, 0}, 0.5f, 0), i1 = m.addVertex(e0, n, {0, 1, 0}, 0, 1);
    uint32_t i2 = m.addVertex(e1, n, {0, 1, 0}, 1, 1);
    m.addTriangle(i0, i2, i1);
    m.addTriangle(i0, i1, i2);  // both sides: the beam is seen from inside and out
  }
  return m;
}

Kestrel::Envelope spin(float secondsPerTurn, float phase) {
  // A heading that turns for ever: one turn over the keys, repeated with the offset.
  Kestrel::Envelope e;
  e.set_pre(kOffsetRepeat);
  e.set_post(kOffsetRepeat);
  addKey(e, 0, phase, kLinear);
  addKey(e, secondsPerTurn, phase + 2 * kPi, kLinear);
  return e;
}

Kestrel::Envelope blink(float period, float onShare, float phase) {
  // Dissolve 0 (drawn) for onShare of each period, 1 (skipped) for the rest, repeating.
  Kestrel::Envelope e;
  e.set_pre(kRepeat);
  e.set_post(kRepeat);
  addKey(e, phase, 0, kStepped);
  addKey(e, phase + period * onShare, 1, kStepped);
  addKey(e, phase + period, 0, kStepped);
  return e;
}

Kestrel::Envelope window(float from, float to, float gapFrom = 0, float gapTo = 0) {
  // Dissolve: skipped before from, drawn from `from` until `to` (with a dark gap from gapFrom
  // to gapTo when given), skipped again after.
  Kestrel::Envelope e;
  addKey(e, 0, 1, kStepped);
  addKey(e, from, 0, kStepped);
  if (gapTo > gapFrom) {
    addKey(e, gapFrom, 1, kStepped);
    addKey(e, gapTo, 0, kStepped);
  }
  addKey(e, to, 1, kStepped);
  return e;
}

}  // namespace

CityStats makeCityScene(Kestrel::KestrelLib& scene, const CityLayout& city, const std::string& version) {
  scene.Clear();
  Kestrel::Info* info = scene.mutable_info();
  info->set_tool(kCityInfoTool);
  info->set_version(version);
  info->set_copyright("Veltro 12, made with PylonLib");
  info->set_modified("generated");
  SceneWriter w(scene);

  for (const NamedAsset& t : cityTextures()) w.texture(t.name);

  uint32_t shFacade = w.shader("shaders/city-facade.cgfx", {{"samFacade", kTexFacades}});
  uint32_t shStreet = w.shader("shaders/city-street.cgfx", {{"samLight", kTexStreetLight}});
  uint32_t shNeon = w.shader("shaders/city-neon.cgfx", {{"samSign", kTexSigns}});
  uint32_t shBeacon = w.shader("shaders/city-beacon.cgfx", {});
  uint32_t shSky = w.shader("shaders/city-sky.cgfx", {{"samSky", kTexSky}});
  uint32_t shHolo = w.shader("shaders/city-holo.cgfx", {{"samHolo", kTexHolo}});
  uint32_t shBeam = w.shader("shaders/city-beam.cgfx", {});
  uint32_t shFarTowers = w.shader("shaders/city-far.cgfx", {{"samFar", kTexFarFacade}});
  uint32_t shFarGround = w.shader("shaders/city-far.cgfx", {{"samFar", kTexFarGround}});
  uint32_t shTrails = w.shader("shaders/city-trails.cgfx", {});
  uint32_t shRoof = w.shader("shaders/city-roof.cgfx", {{"samRoof", kTexRoof}});

  Materials mat{};
  mat.facade = w.material(1, 1, 1, shFacade, 0, Kestrel::UV);
  mat.roof = w.material(1, 1, 1, shRoof, 0, Kestrel::UV);
  mat.rooftop = w.material(0.11f, 0.11f, 0.13f, 0, 0, Kestrel::FLAT);
  mat.mast = w.material(1, 1, 1, 0, kTexMast, Kestrel::UV);
  mat.pavement = w.material(1, 1, 1, 0, kTexPavement, Kestrel::UV);
  mat.street = w.material(1, 1, 1, shStreet, 0, Kestrel::UV);
  mat.curbCyan = w.material(0.25f, 0.85f, 1.0f, 0, 0, Kestrel::FLAT);
  mat.curbAmber = w.material(1.0f, 0.6f, 0.2f, 0, 0, Kestrel::FLAT);
  mat.neon = w.material(1, 1, 1, shNeon, 0, Kestrel::UV);
  mat.beacon = w.material(1, 0.1f, 0.05f, shBeacon, 0, Kestrel::FLAT);
  mat.sky = w.material(1, 1, 1, shSky, 0, Kestrel::UV);
  mat.holo = w.material(1, 1, 1, shHolo, 0, Kestrel::UV);
  mat.beam = w.material(0.7f, 0.8f, 1.0f, shBeam, 0, Kestrel::FLAT);
  mat.ringMetal = w.material(1, 1, 1, shNeon, 0, Kestrel::UV);
  // The crown lamps are textured rather than flat, so that drawing them leaves the
  // texture-coordinate array on for the effects drawn after them.
  mat.lampRed = w.material(1, 1, 1, 0, kTexLampRed, Kestrel::UV);
  mat.lampWhite = w.material(1, 1, 1, 0, kTexLampWhite, Kestrel::UV);
  mat.farTowers = w.material(1, 1, 1, shFarTowers, 0, Kestrel::UV);
  mat.farGround = w.material(1, 1, 1, shFarGround, 0, Kestrel::UV);
  mat.lampPost = w.material(0.07f, 0.07f, 0.08f, 0, 0, Kestrel::FLAT);
  mat.lampHead = w.material(1, 1, 1, 0, kTexLampSodium, Kestrel::UV);
  mat.trails = w.material(1, 1, 1, shTrails, 0, Kestrel::UV);

  CameraFlight flight = makeCameraFlight();

  // The opaque city first, then the sky where it left the far plane untouched (the sky
  // follows the camera, so it is always around it; its effect puts it at the far plane and
  // shades only the pixels the city did not cover), then everything blended over both.
  w.object(buildTowers(w, city, mat), Motion());
  w.object(buildStreets(w, city, mat), Motion());
  addFarCity(w, city, mat);
  {
    Geometry sky = buildSky(w, mat);
    Motion m;
    for (int c = 0; c < 3; ++c) m.channel[c] = flight.position[c];
    w.object(sky, m);
  }
  Geometry lights;
  Geometry signs = buildSigns(w, city, mat, lights);
  w.object(signs, Motion());
  w.object(lights, Motion());

  // Landmarks: a spinning crown with blinking lamps on each, searchlights on two.
  SurfaceMesh ringSm, lampSm, beamSm, cubeSm, boardSm[2];
  ringSm.add(ringMesh(8), mat.ringMetal);
  lampSm.add(beaconMesh(), mat.lampRed);
  beamSm.add(beamMesh(), mat.beam);
  cubeSm.add(signCubeMesh(), mat.holo);
  boardSm[0].add(boardMesh(0), mat.holo);
  boardSm[1].add(boardMesh(1), mat.holo);
  Geometry ring = w.geometry(ringSm), lamp = w.geometry(lampSm), beam = w.geometry(beamSm);
  Geometry cube = w.geometry(cubeSm), board[2] = {w.geometry(boardSm[0]), w.geometry(boardSm[1])};
  std::vector<uint32_t> beams;
  for (size_t i = 0; i < city.landmarks.size(); ++i) {
    const Tower& t = city.towers[size_t(city.landmarks[i])];
    const Box& top = t.tiers.back();
    float radius = std::max(top.hi.x - top.lo.x, top.hi.z - top.lo.z) * 0.5f + 1.5f;
    Vec3 c = t.roofCentre();
    uint32_t mount = w.nullObject(Motion({c.x, c.y + 2, c.z}));
    Motion ringMotion;
    ringMotion.channel[3] = spin(14.0f + 3.0f * float(i), 0.3f * float(i));
    ringMotion.channel[6] = constantEnvelope(radius);
    ringMotion.channel[8] = constantEnvelope(radius);
    uint32_t crown = w.object(ring, ringMotion);
    w.setParent(crown, mount);
    for (int k = 0; k < 4; ++k) {
      float a = float(k) * kPi * 0.5f;
      uint32_t l = w.object(lamp, Motion({std::cos(a) * (radius + 0.4f), 1.0f, std::sin(a) * (radius + 0.4f)}),
                            {k % 2 ? mat.lampWhite : mat.lampRed});
      w.setParent(l, crown);
      w.setDissolve(l, blink(1.2f, 0.45f, 0.3f * float(k) + 0.17f * float(i)));
    }
    // The spire's tip lamp blinks slowly.
    uint32_t tip = w.object(lamp, Motion(t.mastTop));
    w.setDissolve(tip, blink(2.0f, 0.5f, 0.4f * float(i)));
    if (i == 0 || i == 2 || i == 3) {
      // Two searchlights turn with the crown, tilted outwards. With the music: the first two
      // pairs light up on the drop at 43 s, go dark through the breakdown at 78 s and come
      // back at 86 s; the third joins on the return at 93 s.
      for (int k = 0; k < 2; ++k) {
        Motion bm({0, 1.5f, 0});
        bm.channel[3] = constantEnvelope(float(k) * kPi);
        Kestrel::Envelope tilt;
        tilt.set_pre(kOscillate);
        tilt.set_post(kOscillate);
        addKey(tilt, 0, 0.35f, kTcb);
        addKey(tilt, 5.0f + float(k), 0.6f, kTcb);
        bm.channel[4] = tilt;  // pitch: leaning away from the vertical, swaying
        uint32_t b = w.object(beam, bm);
        w.setParent(b, crown);
        w.setDissolve(b, i == 3 ? window(93.0f, 116.0f) : window(43.0f, 116.0f, 78.0f, 86.0f));
        beams.push_back(b);
      }
    }
  }

  // Spinning sign cubes on rooftops along the flight.
  int cubes = 0;
  for (const Tower& t : city.towers) {
    if (t.landmark || t.mast || t.height() < 30 || t.height() > 90 || cubes >= 8) continue;
    Vec3 c = t.roofCentre();
    bool nearRoute = std::fabs(c.x + 110) < 60 || std::fabs(c.z - 110) < 60;
    if (!nearRoute || (t.seed % 5) != 0) continue;
    uint32_t mount = w.nullObject(Motion({c.x, c.y, c.z}));
    Motion cm;
    cm.channel[3] = spin(9.0f + float(cubes), 0.7f * float(cubes));
    for (int s = 6; s < 9; ++s) cm.channel[s] = constantEnvelope(3.5f);
    uint32_t o = w.object(cube, cm);
    w.setParent(o, mount);
    ++cubes;
  }

  // Billboards over the avenue at x = -110, facing the camera's cruise; they switch on one
  // after the other with the cars' arrival, and the first goes dark again at 101 s.
  const float boardZ[] = {-20, -140, -250};
  for (int k = 0; k < 3; ++k) {
    Motion bm({-110, 44.0f + 6.0f * float(k), boardZ[k]});
    bm.channel[6] = constantEnvelope(26);
    bm.channel[7] = constantEnvelope(6.5f);
    bm.channel[8] = constantEnvelope(1);
    uint32_t o = w.object(board[k % 2], bm);
    w.setDissolve(o, window(43.0f + 0.6f * float(k), k == 0 ? 101.0f : 1000.0f));
  }

  // The cars' light trails, with the cars from 43 s on.
  {
    SurfaceMesh sm;
    sm.add(carTrails(), mat.trails);
    uint32_t o = w.object(w.geometry(sm), Motion());
    w.setDissolve(o, window(43.0f, 1000.0f));
    // Its vertices carry the cars' records, not positions: no bounding box, never culled.
    scene.mutable_object(int(o) - 1)->clear_boundingbox();
  }

  // The look-at target, then the camera.
  Motion targetMotion;
  for (int c = 0; c < 3; ++c) targetMotion.channel[c] = flight.target[c];
  uint32_t target = w.nullObject(targetMotion);
  Kestrel::Camera* cam = scene.add_camera();
  cam->set_name("flight");
  cam->mutable_target()->set_type(1);
  cam->mutable_target()->set_number(target);
  for (int c = 0; c < 3; ++c) *cam->add_motion() = flight.position[c];
  *cam->add_motion() = constantEnvelope(0);
  *cam->add_motion() = constantEnvelope(0);
  *cam->add_motion() = flight.bank;
  *cam->mutable_zoomfactor() = flight.zoom;

  CityStats stats;
  stats.trianglesDrawn = w.trianglesDrawn;
  stats.drawCalls = w.drawCalls;
  stats.objects = uint32_t(scene.object_size());
  (void)beams;
  return stats;
}

}  // namespace content
