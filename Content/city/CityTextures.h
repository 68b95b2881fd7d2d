// CityTextures: the images the city is drawn with, painted by code.
//
// Each function returns the PNG bytes of one texture; the same call always gives the same
// bytes. Images are painted upright (top row first); the loader flips them so that texture
// coordinate v = 0 is the bottom of the picture.
#pragma once

#include <cstdint>
#include <vector>

namespace content {

// Facades: 32 window bays by 64 floors (16 pixels a window cell, 512 x 1024 a style). The
// alpha channel is 1 on lit windows, which the facade effect lets flicker. style: 0 glass,
// 1 warm, 2 dark.
constexpr int kFacadeBays = 32, kFacadeFloors = 64;
constexpr float kBayWidth = 3.0f, kFloorHeight = 3.5f;
// The three facade styles in one texture, one above the other (style s from v = s/3 to
// (s+1)/3), so that every tower's walls are drawn in one call, nearest first.
std::vector<uint8_t> facadeAtlasTexture();

// The far city's walls: 32 bays by 32 floors of small windows (8 pixels a cell, 256 x 256),
// alpha 1 on lit windows; it repeats both ways.
constexpr int kFarBays = 32, kFarFloors = 32;
std::vector<uint8_t> farFacadeTexture();
// The far city's ground: one 110-unit block (256 x 256) with the streets centred on its
// edges, lamps along their kerbs and a few lights between; alpha 1 on lights. Repeats.
std::vector<uint8_t> farGroundTexture();

std::vector<uint8_t> roofTexture();      // 256 x 256 gravel roof with a parapet edge
std::vector<uint8_t> pavementTexture();  // 128 x 128 sidewalk slabs
// 2048 x 1024 panorama, elevation -10 to 90 degrees bottom to top: clouds lit from below
// and stars in the colour channels, distant skyline silhouettes (with their windows) where
// alpha is 1.
std::vector<uint8_t> skyTexture();
constexpr int kSignColumns = 8, kSignRows = 2;  // neon sign atlas, 64 x 256 a sign
std::vector<uint8_t> signTexture();
// The colour a sign casts around it: its frame's and its glyphs' light, mixed. cell counts
// the atlas from its bottom-left sign (texture coordinates (0, 0)), row by row.
struct Rgba signColour(int cell);
constexpr int kHoloRows = 4;  // billboard atlas, 512 x 128 a board
std::vector<uint8_t> holoTexture();
std::vector<uint8_t> lampRedTexture();    // 8 x 8 solid lamp colours for the crowns
std::vector<uint8_t> lampWhiteTexture();
std::vector<uint8_t> lampSodiumTexture();  // 8 x 8, the avenue lamps' warm light
std::vector<uint8_t> mastTexture();         // 8 x 8 plain: masts drawn textured keep the coordinate array on

// A 5 x 7 pixel font for the few words the content writes on things.
void drawText(class Image& image, int x, int y, int scale, const char* text, struct Rgba colour);

}  // namespace content
