// AviCapture: writes every rendered frame into an AVI file at a fixed frame rate.
//
// Owned by Runtime. init() opens the file named by the screen's UserConfig, writeFrame()
// reads the back buffer after a frame is drawn, close() finishes the file at shutdown.
#pragma once

class Runtime;

class AviCapture {
 public:
  explicit AviCapture(Runtime* runtime);

  int init();
  void writeFrame();
  void close();

  Runtime* engine = nullptr;
  bool initialised = false;
};
