// Helpers shared by the sources of the sounding computations (ua_calc*.cpp).
#ifndef KAV_SOUNDING_UA_CALC_INT_HPP
#define KAV_SOUNDING_UA_CALC_INT_HPP

#include <kav/calc.h>
#include <kav/ua_calc.h>

namespace kav_ua {

constexpr float kMissing = KAV_MISSING;

inline UPA_level missing_level() {
  UPA_level l;
  UPA_level_init(&l);
  return l;
}

// The sounding at one coordinate value; *index gets the bracketing index.
inline UPA_level level_at(UPA_level *levels, int n, int coord, float value, int *index = nullptr) {
  UPA_level l;
  int k = UPA_interp(levels, n, coord, value, &l);
  if (index != nullptr) *index = k;
  return l;
}

// A temperature (K) handed back by a formula: 0 or less means the formula
// refused its input, so it is missing, like -9999.
inline float kelvin_result(float k) { return is_missing(k) || k <= 0 ? kMissing : k; }

// Degrees Celsius of a formula's kelvin result, missing when it was refused.
inline float celsius_result(float k) { return to_celsius(kelvin_result(k)); }

// True for the codes whose layers are given in pressure.
inline bool pressure_coord(int coord) {
  return coord == 1 || coord == 100 || coord == 101 || coord == 102 || coord == 115 || coord == 116;
}

// True for the codes whose layers are given in height.
inline bool height_coord(int coord) { return coord >= 103 && coord <= 106; }

}  // namespace kav_ua

#endif
