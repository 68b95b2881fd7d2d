// MathUtil: the engine's matrix operations.
//
// A matrix is 16 floats in row-major order: element (row r, column c) is at index 4r + c.
// Points are column vectors transformed as M * p, so a translation sits in elements 3, 7
// and 11; in A * B * p the matrix B acts first. GL expects column-major order, so a matrix
// is transposed before it is handed to the GL (cg/Transforms.h). Angles passed here are degrees.
//
// Owned by Runtime (Runtime::instance()->math), but every operation is static and writes
// into a caller-provided matrix, so it can be used without the runtime. Nothing here
// allocates or touches GL.
#pragma once

class Runtime;

class MathUtil {
 public:
  explicit MathUtil(Runtime* runtime);

  Runtime* runtime = nullptr;
  static constexpr double pi = 3.141592653589793;

  // Perspective projection from a vertical field of view in degrees (double precision).
  static void perspective(double fovY, double aspect, double zNear, double zFar, float* m);
  // View matrix of an eye at `eye` looking at `center` with `up` (double precision).
  static void lookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ, double upX,
                     double upY, double upZ, float* m);
  // The transpose of the usual right-handed rotation by `angle` degrees about (x, y, z): it
  // turns points by -angle, like glRotatef(-angle, x, y, z). An axis of length 0 is used as
  // it is.
  static void rotation(float angle, float x, float y, float z, float* m);
  // result = a * b. result may be a or b: the product is formed in a temporary.
  static void multiply(const float* a, const float* b, float* result);
  static void transpose(float* m);
  // The row vector v * m: result[i] = sum over j of v[j] * m[4j + i].
  static void transformRow(const float* v, const float* m, float* result);

  static void identity(float* m);
  static void translation(float x, float y, float z, float* m);  // T(x, y, z)
  static void scaling(float x, float y, float z, float* m);      // S(x, y, z)
};
