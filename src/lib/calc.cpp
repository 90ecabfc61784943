#include "lib/calc.h"

#include <cmath>

extern "C" {

float wind_chill_temp(float temp, float ws) {
  if (ws < 0 || temp < 0) return KAV_MISSING;
  if (ws < 2.0f || static_cast<double>(temp) > 306.15) return temp;
  double w = ws > 26.0f ? 26.0 : static_cast<double>(ws);
  double t = temp;
  return static_cast<float>(306.15 - (0.474266 + 0.453843 * std::sqrt(w) - 0.0453843 * w) * (306.15 - t));
}

float wind_chill_temp2(float temp, float ws) {
  if (ws < 0 || temp < 0) return KAV_MISSING;
  double t = temp;
  float w = static_cast<float>(0.6215 * t + 116.514 +
                               std::pow(static_cast<double>(ws), 0.16) * (0.4863 * t - 146.774));
  return w > temp ? temp : w;
}

float wind_chill(float temp, float ws) {
  if (ws < 0 || temp < 0) return KAV_MISSING;
  if (ws < 2.0f || static_cast<double>(temp) > 306.15) return temp;
  double w = ws > 26.0f ? 26.0 : static_cast<double>(ws);
  double t = temp;
  return static_cast<float>((306.15 - t) * ((10.45 + 10.0 * std::sqrt(w) - w) * 1.1627));
}

}  // extern "C"
