// Renderer: the renderer's state shared by the demo frame, scene drawing and the tweak bar:
// projection parameters, switches, the camera record and the matrices of the frame.
//
// Owned by Runtime; plain data read and written on the main thread.
#pragma once

class Runtime;

class Renderer {
 public:
  explicit Renderer(Runtime* runtime);

  Runtime* runtime = nullptr;

  float fovY = 70.0f;
  float zNear = 0.05f;
  float zFar = 150.0f;
  float aspect = 0.0f;
  bool postprocess = true;
  bool controlgrid = false;
  bool spectrum = false;
  int fftControl = 2;  // flash bin, 0 to 512; 0 disables the beat flash
  const float* spectrumData = nullptr;
};
