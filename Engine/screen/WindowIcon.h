// WindowIcon: the program's window icon, drawn in code: a car on a road in front of a city
// skyline at dusk, on a rounded square.
//
// Screen::init builds it once and hands it to every window it opens. Pure pixels; no
// platform calls.
#pragma once

#include <vector>

// size × size RGBA pixels, rows top to bottom; size is clamped to 16 … 256.
std::vector<unsigned char> makeWindowIcon(int size);
