// FrameShot: writes the back buffer of the current GL context to a PNG file.
//
// Used by the player's --shot and by tests and tools that look at a rendered frame. Call it
// after the frame is drawn and before the buffers are swapped.
#pragma once

#include <string>

// 0 on success; 1 when the file cannot be written (the reason goes to standard error).
int writeFrameShot(const std::string& path, int width, int height);
