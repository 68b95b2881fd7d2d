#include "scene/MathUtil.h"

#include <cmath>
#include <cstring>

MathUtil::MathUtil(Runtime* owner) : runtime(owner) {}

void MathUtil::perspective(double fovY, double aspect, double zNear, double zFar, float* m) {
  const double h = fovY * 0.5 * pi / 180.0;
  const double f = std::cos(h) / std::sin(h);
  std::memset(m, 0, 16 * sizeof(float));
  m[0] = static_cast<float>(f / aspect);
  m[5] = static_cast<float>(f);
  m[10] = static_cast<float>(-(zFar + zNear) / (zFar - zNear));
  m[11] = static_cast<float>(-2.0 * zFar * zNear / (zFar - zNear));
  m[14] = -1.0f;
}

namespace {
struct Vec3 {
  double x, y, z;
};
Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 normalised(const Vec3& v) {
  const double length = std::sqrt(dot(v, v));
  if (length == 0.0) return v;
  return {v.x / length, v.y / length, v.z / length};
}
}  // namespace

void MathUtil::lookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ, double upX,
                      double upY, double upZ, float* m) {
  const Vec3 eye{eyeX, eyeY, eyeZ};
  const Vec3 f = normalised({eyeX - centerX, eyeY - centerY, eyeZ - centerZ});
  const Vec3 s = normalised(cross({upX, upY, upZ}, f));
  const Vec3 u = normalised(cross(f, s));
  const Vec3 rows[3] = {s, u, f};
  for (int r = 0; r < 3; ++r) {
    m[4 * r + 0] = static_cast<float>(rows[r].x);
    m[4 * r + 1] = static_cast<float>(rows[r].y);
    m[4 * r + 2] = static_cast<float>(rows[r].z);
    m[4 * r + 3] = static_cast<float>(-dot(rows[r], eye));
  }
  m[12] = m[13] = m[14] = 0.0f;
  m[15] = 1.0f;
}

void MathUtil::rotation(float angle, float x, float y, float z, float* m) {
  const float length = std::sqrt(x * x + y * y + z * z);
  if (length != 0.0f) {
    x /= length;
    y /= length;
    z /= length;
  }
  const float r = angle * static_cast<float>(pi) / 180.0f;
  const float s = std::sin(r);
  const float c = std::cos(r);
  std::memset(m, 0, 16 * sizeof(float));
  m[0] = x * x + c * (1.0f - x * x);
  m[1] = x * y * (1.0f - c) + z * s;
  m[2] = x * z * (1.0f - c) - y * s;
  m[4] = x * y * (1.0f - c) - z * s;
  m[5] = y * y + c * (1.0f - y * y);
  m[6] = y * z * (1.0f - c) + x * s;
  m[8] = x * z * (1.0f - c) + y * s;
  m[9] = y * z * (1.0f - c) - x * s;
  m[10] = z * z + c * (1.0f - z * z);
  m[15] = 1.0f;
}

void MathUtil::multiply(const float* a, const float* b, float* result) {
  float product[16];
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a[4 * r + k] * b[4 * k + c];
      product[4 * r + c] = sum;
    }
  }
  std::memcpy(result, product, sizeof(product));
}

void MathUtil::transpose(float* m) {
  for (int r = 0; r < 4; ++r) {
    for (int c = r + 1; c < 4; ++c) {
      const float t = m[4 * r + c];
      m[4 * r + c] = m[4 * c + r];
      m[4 * c + r] = t;
    }
  }
}

void MathUtil::transformRow(const float* v, const float* m, float* result) {
  float row[4];
  for (int i = 0; i < 4; ++i) row[i] = v[0] * m[i] + v[1] * m[4 + i] + v[2] * m[8 + i] + v[3] * m[12 + i];
  std::memcpy(result, row, sizeof(row));
}

void MathUtil::identity(float* m) { scaling(1.0f, 1.0f, 1.0f, m); }

void MathUtil::translation(float x, float y, float z, float* m) {
  identity(m);
  m[3] = x;
  m[7] = y;
  m[11] = z;
}

void MathUtil::scaling(float x, float y, float z, float* m) {
  std::memset(m, 0, 16 * sizeof(float));
  m[0] = x;
  m[5] = y;
  m[10] = z;
  m[15] = 1.0f;
}
