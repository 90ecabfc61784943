#include <kav/calc.h>
#include <kav/vecttool.h>

#include <cmath>

namespace {

constexpr float kMissing = KAV_MISSING;
constexpr double kDegToRad = 0.017453292519943334;
constexpr double kRadToDeg = 57.295779513082195;

}  // namespace

extern "C" {

int wind2vect(float dir, float spd, float *u, float *v) KAV_NOEXCEPT {
  if (u == nullptr || v == nullptr) return -1;
  if (is_missing(dir) || is_missing(spd)) {
    *u = *v = kMissing;
    return -1;
  }
  double a = static_cast<double>(dir) * kDegToRad;
  *u = static_cast<float>(-static_cast<double>(spd) * std::sin(a));
  *v = static_cast<float>(-static_cast<double>(spd) * std::cos(a));
  return 0;
}

int vect2wind(float u, float v, float *dir, float *spd) KAV_NOEXCEPT {
  if (dir == nullptr || spd == nullptr) return -1;
  if (is_missing(u) || is_missing(v)) {
    *dir = *spd = kMissing;
    return -1;
  }
  double s = std::sqrt(static_cast<double>(u) * u + static_cast<double>(v) * v);
  double d = 0;
  if (s >= 0.01) {
    d = std::atan2(-static_cast<double>(u), -static_cast<double>(v)) * kRadToDeg;
    if (d < 0) d += 360;
  }
  *dir = static_cast<float>(d);
  *spd = static_cast<float>(s);
  return 0;
}

}  // extern "C"
