// Faults: makes chosen platform calls fail on purpose, so that tests can reach the engine's
// failure paths (a refused full-screen switch, a window that cannot be created, ...).
//
// An armed fault lets its call succeed `succeedFirst` times and then fails it every time
// until it is cleared; clearFaults() disarms all of them. Production code never arms a
// fault. Each platform call that can fail asks failNow() first and then reports failure
// exactly as it would for a real one. Faults may be asked from any thread (an AVI file's
// writer thread asks its own); they are armed and cleared from the main thread.
#pragma once

namespace platform {

enum class Fault {
  ChangeDisplayMode,   // changeDisplaySettings() refuses the mode
  CreateWindow,        // createWindow() returns nullptr
  GetDC,               // getDC() returns nullptr
  SetPixelFormat,      // setPixelFormat() returns false
  CreateContext,       // createGLContext() returns nullptr
  MakeCurrent,         // makeCurrent() with a context returns false
  PixelFormatQueries,  // pixelFormatQueriesAvailable() returns false
  FullscreenOnShow,    // showWindow() leaves a full-screen window out of its mode, as a refusing system does
  VideoWrite,          // an AVI file's writer cannot store a video frame, as on a full disk
  SoundWrite,          // an AVI file's writer cannot store a run of sound samples
  VideoFileClose,      // finishing an AVI file (last frames, index, header) cannot be written
  FramebufferStatus,   // a render target's completeness check reports incomplete_attachment
  PixelBufferRead,     // a captured frame's pixel buffer cannot be mapped for reading
  Count
};

void setFault(Fault fault, bool armed, int succeedFirst = 0);
// True when the call guarded by `fault` must fail now (counts down succeedFirst).
bool failNow(Fault fault);
void clearFaults();

}  // namespace platform
