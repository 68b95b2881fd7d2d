// MathUtil: the engine's matrix operations (row-major, column vectors).
//
// Owned by Runtime; holds pi as a double for perspective and rotation.
#pragma once

class Runtime;

class MathUtil {
 public:
  explicit MathUtil(Runtime* runtime);

  Runtime* runtime = nullptr;
  double pi = 3.141592653589793;
};
