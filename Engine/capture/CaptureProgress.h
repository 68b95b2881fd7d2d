// CaptureProgress: what a capturing run tells the person waiting for it, on standard error.
//
// Owned by AviCapture. The demo frame calls plan() once, on its first capturing frame, with
// the number of frames the run will write and the demo time of each; AviCapture reports the
// start (or why capture could not start), every written frame and the end. On a terminal
// the progress is one line redrawn in place, a few times a second; into a pipe or a log it
// is a plain line at every tenth of the run. Nothing here decides anything about the
// capture itself, and nothing is written for a run without capture.
#pragma once

#include <functional>
#include <string>

class CaptureProgress {
 public:
  CaptureProgress();

  void plan(int totalFrames, double firstTime, double step);
  bool planned() const { return step > 0; }
  double plannedFirstTime() const { return firstTime; }
  double plannedStep() const { return step; }
  void started(const std::string& file, int width, int height, int frameRate, const std::string& codec);
  // `runEnds`: the run stops for it (a capture asked for on the command line); otherwise the
  // demo plays on without capture.
  void failed(const std::string& file, const std::string& reason, bool runEnds = false);
  void frameWritten(int frameIndex);
  // `problem`: why the file is incomplete (empty when it is whole).
  void finished(const std::string& file, int frames, const std::string& problem = "");

  // Replaceable for tests: where the text goes, whether it is a terminal, and the wall clock
  // in seconds.
  std::function<void(const std::string&)> sink;
  bool terminal = false;
  std::function<double()> wallClock;

 private:
  std::string progressLine(int done) const;

  int totalFrames = 0;
  double firstTime = 0.0, step = 0.0;
  double startWall = -1.0;
  double lastDrawn = -1.0;
  int lastTenth = 0;
  bool lineOpen = false;
};
