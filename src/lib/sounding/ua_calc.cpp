#include <kav/calc.h>
#include <kav/mess.h>
#include <kav/thm_tool.h>
#include <kav/ua_calc.h>

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <vector>

#include "console/guard.hpp"

namespace {

constexpr float kMissing = KAV_MISSING;
constexpr double kDegToRad = 3.14159265358979323846 / 180.0;

enum class Family { pressure, height, theta, none };

Family family_of(int coord) {
  switch (coord) {
    case 1:
    case 100:
    case 101:
    case 102:
    case 115:
    case 116:
      return Family::pressure;
    case 103:
    case 104:
    case 105:
    case 106:
      return Family::height;
    case 113:
    case 114:
      return Family::theta;
    default:
      return Family::none;
  }
}

UPA_level missing_level() {
  UPA_level l;
  UPA_level_init(&l);
  return l;
}

// The surface level that the sounding analysis keeps (all missing until a
// sounding is installed).
UPA_level analysis_surface() { return *THERM_get_sfc(); }

// The interpolation key of a pressure, computed one way for levels and
// requests so that a request at a level's pressure meets its key exactly.
float pressure_key(float p) {
  if (is_missing(p) || p <= 0) return kMissing;
  return static_cast<float>(-std::log(static_cast<double>(p)));
}

// Potential temperature (K) of a level's temperature (C) and pressure.
float level_theta(float t, float p) { return pot_temp(to_kelvin(t), p); }

// Mixing ratio (g/kg) of a level's dew point (C) at its pressure.
float level_mixrat(float td, float p) { return mix_ratio(to_kelvin(td), p); }

// A temperature (K) handed back by a formula: 0 or less means the formula
// refused its input, so it is missing, like -9999.
float kelvin_result(float k) { return is_missing(k) || k <= 0 ? kMissing : k; }

// The pressure and height keys of the sounding interpolated last. An
// analysis interpolates one sounding hundreds of times; the keys (a logarithm
// per level) are computed again only when the levels' pressures or heights
// differ from those they were computed from.
struct KeyCache {
  const UPA_level *levels = nullptr;  // the array the keys belong to
  int coord = 0;                      // its coordinate code
  std::vector<float> source;          // the pressures or heights they came from
  std::vector<float> keys;            // the keys
};

const std::vector<float> &cached_keys(const UPA_level *levels, int n, int coord) {
  static KeyCache cache;
  bool height = coord >= 103 && coord <= 106;
  size_t un = static_cast<size_t>(n);
  bool same = cache.levels == levels && cache.coord == coord && cache.source.size() == un;
  for (size_t i = 0; same && i < un; ++i)
    same = cache.source[i] == (height ? levels[i].h : levels[i].p);
  if (same) return cache.keys;
  cache.levels = levels;
  cache.coord = coord;
  cache.source.resize(un);
  cache.keys.resize(un);
  for (size_t i = 0; i < un; ++i) {
    cache.source[i] = height ? levels[i].h : levels[i].p;
    cache.keys[i] = UPA_get_level(coord, &levels[i]);
  }
  return cache.keys;
}

// The fields of a level in the order they are interpolated.
float UPA_level::*const kFields[6] = {&UPA_level::p,  &UPA_level::h,   &UPA_level::t,
                                      &UPA_level::td, &UPA_level::dir, &UPA_level::spd};

// The keys of a sounding for one coordinate code, and the interpolation of
// single requests in it.
class Interpolator {
 public:
  Interpolator(UPA_level *levels, int n, int coord) : levels_(levels), family_(family_of(coord)) {
    if (levels == nullptr || n <= 0) return;
    if (family_ == Family::pressure || family_ == Family::height) {
      keys_ = &cached_keys(levels, n, coord);
    } else {
      if (family_ == Family::theta) UPA_calc_temp(levels, n);
      own_.reserve(static_cast<size_t>(n));
      bool seen_valid = false;
      for (int i = 0; i < n; ++i) {
        float key = UPA_get_level(coord, &levels[i]);
        if (family_ == Family::theta) {
          // Leading levels without a key are tolerated; after a valid key the
          // first missing one ends the usable sounding.
          if (is_missing(key) && seen_valid) break;
          if (!is_missing(key)) seen_valid = true;
        }
        own_.push_back(key);
      }
      keys_ = &own_;
    }
    for (float k : *keys_)
      if (!is_missing(k)) usable_ = true;
  }

  int count() const { return keys_ == nullptr ? 0 : static_cast<int>(keys_->size()); }

  // Resolves one request into *out. Returns the bracketing index, 0 for a
  // request taken from (or refused below) the lowest level, or -1 for a
  // request that was skipped.
  int resolve(float value, UPA_level *out) const {
    *out = missing_level();
    if (is_missing(value)) return -1;
    float target = value;
    float tol = 0;
    switch (family_) {
      case Family::pressure:
      case Family::none:
        if (value <= 0) return -1;
        target = pressure_key(value);
        tol = 0.01f;
        break;
      case Family::height:
        tol = 3;
        break;
      case Family::theta:
        tol = 1;
        break;
    }
    int m = count();
    if (!usable_ || family_ == Family::none) return 0;
    if (!is_missing((*keys_)[0]) && target < (*keys_)[0]) {
      if (target >= (*keys_)[0] - tol) *out = levels_[0];
      return 0;
    }
    int k = 1;
    while (k < m && (is_missing((*keys_)[static_cast<size_t>(k)]) ||
                     (*keys_)[static_cast<size_t>(k)] < target))
      ++k;
    for (float UPA_level::*field : kFields) {
      if (!fill_field(field, k, value, target, tol, out)) {
        *out = missing_level();
        break;
      }
    }
    return k;
  }

 private:
  // Finds one field at the target; false when the pressure gap rule refuses
  // the whole request.
  bool fill_field(float UPA_level::*field, int k, float value, float target, float tol,
                  UPA_level *out) const {
    int m = count();
    int lo = k - 1;
    while (lo >= 0 && is_missing(levels_[lo].*field)) --lo;
    int hi = k;
    while (hi < m && is_missing(levels_[hi].*field)) ++hi;
    bool have_lo = lo >= 0, have_hi = hi < m;
    float klo = have_lo ? (*keys_)[static_cast<size_t>(lo)] : kMissing;
    float khi = have_hi ? (*keys_)[static_cast<size_t>(hi)] : kMissing;
    bool keys_valid = have_lo && have_hi && !is_missing(klo) && !is_missing(khi);

    if (field == &UPA_level::p && keys_valid &&
        std::fabs(static_cast<double>(levels_[lo].p) - levels_[hi].p) > 300) {
      // No interpolation across a wide gap: only a request at one of its
      // ends is taken, with that end's pressure.
      if (target >= klo && target - klo <= tol) {
        out->p = levels_[lo].p;
      } else if (target <= khi && khi - target <= tol) {
        out->p = levels_[hi].p;
      } else {
        return false;
      }
      return true;
    }
    if (field == &UPA_level::p && family_ == Family::pressure) {
      out->p = value;
      return true;
    }
    if (field == &UPA_level::h && family_ == Family::height) {
      out->h = value;
      return true;
    }
    float &dst = out->*field;
    if (!have_lo && have_hi && khi == target) {
      dst = levels_[hi].*field;
    } else if (have_lo && !have_hi && klo == target) {
      dst = levels_[lo].*field;  // a request at the only level that has the field
    } else if (keys_valid) {
      float flo = levels_[lo].*field, fhi = levels_[hi].*field;
      if (klo == target) {
        dst = flo;
      } else if (khi == target) {
        dst = fhi;
      } else if (klo == khi) {
        dst = flo;
      } else {
        double frac = (static_cast<double>(target) - klo) / (static_cast<double>(khi) - klo);
        dst = field == &UPA_level::dir
                  ? direction(flo, fhi, frac)
                  : static_cast<float>(flo + (static_cast<double>(fhi) - flo) * frac);
      }
    }
    return true;
  }

  // Interpolates a wind direction along the shorter arc.
  static float direction(float lo, float hi, double frac) {
    double d = static_cast<double>(hi) - lo;
    double v;
    if (d > 180) {
      v = (d - 360) * frac + lo;
      if (v < 0) v += 360;
    } else if (d < -180) {
      v = (360 + d) * frac + lo;
      if (v > 360) v -= 360;
    } else {
      v = lo + d * frac;
    }
    return static_cast<float>(v);
  }

  UPA_level *levels_;
  Family family_;
  const std::vector<float> *keys_ = nullptr;  // the keys in use: own_ or the cache's
  std::vector<float> own_;                    // keys of the potential-temperature family
  bool usable_ = false;
};

// The sounding at one coordinate value.
UPA_level level_at(UPA_level *levels, int n, int coord, float value, int *index = nullptr) {
  UPA_level l;
  int k = UPA_interp(levels, n, coord, value, &l);
  if (index != nullptr) *index = k;
  return l;
}

// The 850, 700 and 500 mb levels of the stability indices.
struct Mandatory {
  UPA_level l850, l700, l500;
};

Mandatory mandatory_levels(UPA_level *levels, int n) {
  Mandatory m;
  m.l850 = level_at(levels, n, 100, 850);
  m.l700 = level_at(levels, n, 100, 700);
  m.l500 = level_at(levels, n, 100, 500);
  return m;
}

bool any_missing(std::initializer_list<float> values) {
  for (float v : values)
    if (is_missing(v)) return true;
  return false;
}

// One trapezoidal walk of layer_parcel_mean: sums (q_a + q_b) ln(p_a/p_b)
// and the weights ln(p_a/p_b) over the steps from B through the levels lb..ub-1
// that carry the field to T.
struct Walk {
  double sum = 0;
  double weight = 0;
};

Walk walk_layer(const UPA_level *levels, int n, const UPA_level &b, const UPA_level &t, int lb,
                int ub, float UPA_level::*field, float (*quantity)(float, float)) {
  Walk w;
  int a_index = -1;  // where the next step starts: -1 is B
  UPA_level a = b;
  auto trace = [&](int b_index, const UPA_level &to, float qa, float qb) {
    double fa = a.*field, fb = to.*field, pa = a.p, pb = to.p;
    if (a_index < 0 && b_index < 0)
      MESS_print(M_DEBUG, "LB,LT  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f\n", fa, fb, pa, pb, qa, qb);
    else if (a_index < 0)
      MESS_print(M_DEBUG, "LB,%2d  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f\n", b_index, fa, fb, pa, pb,
                 qa, qb);
    else if (b_index < 0)
      MESS_print(M_DEBUG, "%2d,LT  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f\n", a_index, fa, fb, pa, pb,
                 qa, qb);
    else
      MESS_print(M_DEBUG, "%2d,%2d  %5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f\n", a_index, b_index, fa,
                 fb, pa, pb, qa, qb);
  };
  // One step from a to the level to; a step of no depth is not taken.
  auto step = [&](int b_index, const UPA_level &to) {
    if (to.p == a.p) {
      if (a_index < 0 && b_index >= 0) {
        a_index = b_index;  // the level at B's pressure takes B's place
        a = to;
      }
      return;
    }
    float qa = quantity(a.*field, a.p), qb = quantity(to.*field, to.p);
    if (!is_missing(qa) && !is_missing(qb)) {
      double lnp = std::log(static_cast<double>(a.p) / to.p);
      w.sum += (static_cast<double>(qa) + qb) * lnp;
      w.weight += lnp;
      trace(b_index, to, qa, qb);
    }
    a_index = b_index;
    a = to;
  };
  for (int i = lb < 0 ? 0 : lb; i < ub && i < n; ++i) {
    const UPA_level &l = levels[i];
    if (is_missing(l.*field) || is_missing(l.p) || l.p <= 0) continue;
    step(i, l);
  }
  step(-1, t);
  return w;
}

}  // namespace

extern "C" {

void UPA_level_init(UPA_level *level) KAV_NOEXCEPT {
  if (level == nullptr) return;
  level->p = level->h = level->t = level->td = level->dir = level->spd = kMissing;
}

float UPA_get_level(int coord, const UPA_level *level) KAV_NOEXCEPT {
  if (level == nullptr) return kMissing;
  switch (family_of(coord)) {
    case Family::pressure:
      return pressure_key(level->p);
    case Family::height:
      return is_missing(level->h) ? kMissing : level->h;
    case Family::theta:
      return level_theta(level->t, level->p);
    case Family::none:
      break;
  }
  return kMissing;
}

void UPA_calc_temp(UPA_level *levels, int n) KAV_NOEXCEPT {
  if (levels == nullptr) return;
  auto usable = [&](int i) { return !is_missing(levels[i].t) && !is_missing(levels[i].p); };
  for (int i = 0; i < n; ++i) {
    if (!is_missing(levels[i].t) || is_missing(levels[i].p)) continue;
    int lo = i - 1;
    while (lo >= 0 && !usable(lo)) --lo;
    int hi = i + 1;
    while (hi < n && !usable(hi)) ++hi;
    if (lo < 0 || hi >= n) continue;
    double plo = levels[lo].p, phi = levels[hi].p;
    if (plo == phi) continue;  // no line through two temperatures at one pressure
    double tlo = levels[lo].t, thi = levels[hi].t;
    levels[i].t = static_cast<float>(tlo + (thi - tlo) * (levels[i].p - plo) / (phi - plo));
  }
}

static int upa_interp_levels_body(UPA_level *levels, int n, int coord, const float *values,
                                  UPA_level *results, int num_results) {
  if (levels == nullptr || n < 0) n = 0;
  if (coord == 1) {
    UPA_level sfc = analysis_surface();
    if (results != nullptr && num_results > 0) results[0] = sfc;
    if (is_missing(sfc.p)) return 0;
    for (int i = 0; i < n; ++i)
      if (levels[i].p == sfc.p) return i;
    return 0;
  }
  Interpolator interp(levels, n, coord);
  int ret = interp.count();
  if (values == nullptr || results == nullptr) return ret;
  for (int i = 0; i < num_results; ++i) {
    int k = interp.resolve(values[i], &results[i]);
    if (k >= 0) ret = k;
  }
  return ret;
}

int UPA_interp_levels(UPA_level *levels, int n, int coord, const float *values, UPA_level *results,
                      int num_results) KAV_NOEXCEPT {
  // Out of memory: every result missing, as for a request that finds nothing.
  return kav::fault::guard(
      0, [&] { return upa_interp_levels_body(levels, n, coord, values, results, num_results); },
      [&] {
        kav::out_of_memory("UPA_interp_levels");
        for (int i = 0; results != nullptr && i < num_results; ++i) UPA_level_init(&results[i]);
      });
}

int UPA_interp(UPA_level *levels, int n, int coord, float value, UPA_level *result) KAV_NOEXCEPT {
  return UPA_interp_levels(levels, n, coord, &value, result, 1);
}

float UPA_thick_top(int coord, float bottom, float thick) KAV_NOEXCEPT {
  if (is_missing(bottom)) return kMissing;
  Family f = family_of(coord);
  if (is_missing(thick)) {
    switch (f) {
      case Family::pressure:
        thick = 10;
        break;
      case Family::height:
        thick = 50;
        break;
      case Family::theta:
        thick = 5;
        break;
      case Family::none:
        return kMissing;  // no default depth to use
    }
  }
  return f == Family::pressure ? bottom - thick : bottom + thick;
}

float UPA_thick_bottom(int coord, float top, float thick) KAV_NOEXCEPT {
  if (is_missing(top)) return kMissing;
  Family f = family_of(coord);
  if (is_missing(thick)) {
    switch (f) {
      case Family::pressure:
        thick = 20;
        break;
      case Family::height:
        thick = 200;
        break;
      case Family::theta:
        thick = 2;
        break;
      case Family::none:
        return kMissing;
    }
  }
  return f == Family::pressure ? top + thick : top - thick;
}

float UPA_sfc_pres(const UPA_level *levels, const int *index) KAV_NOEXCEPT {
  if (levels == nullptr || index == nullptr || *index < 0) return 1000;
  return levels[*index].p;
}

int UPA_merge_array(const UPA_level *in1, int n1, const UPA_level *in2, int n2,
                    UPA_level *out) KAV_NOEXCEPT {
  if (out == nullptr) return 0;
  if (in1 == nullptr || n1 < 0) n1 = 0;
  if (in2 == nullptr || n2 < 0) n2 = 0;
  int j = 0, count = 0;
  for (int i = 0; i < n1; ++i) {
    while (j < n2 && in2[j].p > in1[i].p) out[count++] = in2[j++];
    if (j < n2 && in2[j].p == in1[i].p) {
      UPA_level merged = in1[i];
      for (float UPA_level::*field : kFields)
        if (is_missing(merged.*field)) merged.*field = in2[j].*field;
      out[count++] = merged;
      ++j;
    } else {
      out[count++] = in1[i];
    }
  }
  return count;
}

void layer_parcel_mean(UPA_level *levels, int n, int coord, float bottom, float top, float *wbar,
                       float *obar) KAV_NOEXCEPT {
  float w_out = kMissing, o_out = kMissing;
  if (levels != nullptr && n == 1) {
    w_out = level_mixrat(levels[0].td, levels[0].p);
    o_out = level_theta(levels[0].t, levels[0].p);
  } else if (levels != nullptr && n > 1 && !is_missing(bottom) && !is_missing(top) &&
             bottom != top) {
    int lb = 0, ub = 0;
    UPA_level b = level_at(levels, n, coord, bottom, &lb);
    UPA_level t = level_at(levels, n, coord == 1 ? 100 : coord, top, &ub);
    // The layer needs both ends in the sounding and a positive depth.
    if (!is_missing(b.p) && !is_missing(t.p) && b.p > t.p && t.p > 0) {
      MESS_print(M_DEBUG, "%2d-%2d  %5.1f %5.1f  %5.1f %5.1f\n", lb, ub, b.t, t.t, b.td, t.td);
      Walk theta = walk_layer(levels, n, b, t, lb, ub, &UPA_level::t, level_theta);
      Walk mixr = walk_layer(levels, n, b, t, lb, ub, &UPA_level::td, level_mixrat);
      if (theta.weight > 0) o_out = static_cast<float>(theta.sum / (2 * theta.weight));
      if (mixr.weight > 0) w_out = static_cast<float>(mixr.sum / (2 * mixr.weight));
      MESS_print(M_DEBUG, "%f %f\n", w_out, o_out);
    }
  }
  if (wbar != nullptr) *wbar = w_out;
  if (obar != nullptr) *obar = o_out;
}

float thickness(UPA_level *levels, int n, int coord, float bottom, float top) KAV_NOEXCEPT {
  UPA_level b = level_at(levels, n, coord, bottom), t = level_at(levels, n, coord, top);
  if (any_missing({b.h, t.h})) return kMissing;
  return std::fabs(t.h - b.h);
}

float lapse_rate(UPA_level *levels, int n, int coord, float bottom, float top) KAV_NOEXCEPT {
  UPA_level b = level_at(levels, n, coord, bottom), t = level_at(levels, n, coord, top);
  if (any_missing({b.t, t.t, b.h, t.h}) || b.h == t.h) return kMissing;
  return static_cast<float>(-(static_cast<double>(t.t) - b.t) / (static_cast<double>(t.h) - b.h));
}

float theta_lapse_rate(UPA_level *levels, int n, int coord, float bottom, float top) KAV_NOEXCEPT {
  UPA_level b = level_at(levels, n, coord, bottom), t = level_at(levels, n, coord, top);
  float thb = level_theta(b.t, b.p), tht = level_theta(t.t, t.p);
  if (any_missing({thb, tht, b.h, t.h}) || b.h == t.h) return kMissing;
  return static_cast<float>((static_cast<double>(tht) - thb) / (static_cast<double>(t.h) - b.h));
}

float theta_pres_lapse_rate(UPA_level *levels, int n, int coord, float bottom,
                            float top) KAV_NOEXCEPT {
  UPA_level b = level_at(levels, n, coord, bottom), t = level_at(levels, n, coord, top);
  float thb = level_theta(b.t, b.p), tht = level_theta(t.t, t.p);
  if (any_missing({thb, tht}) || b.p == t.p) return kMissing;
  return static_cast<float>((static_cast<double>(tht) - thb) / (static_cast<double>(b.p) - t.p));
}

float static_stability(UPA_level *levels, int n, int coord, float level) KAV_NOEXCEPT {
  UPA_level m = level_at(levels, n, coord, level);
  UPA_level b = level_at(levels, n, coord, UPA_thick_bottom(coord, level, kMissing));
  UPA_level t = level_at(levels, n, coord, UPA_thick_top(coord, level, kMissing));
  if (any_missing({b.t, t.t, b.h, t.h, m.t, m.p, b.p, t.p}) || b.p == t.p) return kMissing;
  float thm = level_theta(m.t, m.p), thb = level_theta(b.t, b.p), tht = level_theta(t.t, t.p);
  float tm = to_kelvin(m.t);
  if (any_missing({thm, thb, tht, tm})) return kMissing;
  return static_cast<float>(-287.05 * tm / (static_cast<double>(thm) * m.p * 10000) *
                            (static_cast<double>(tht) - thb) / (static_cast<double>(t.p) - b.p));
}

float total_totals(UPA_level *levels, int n) KAV_NOEXCEPT {
  Mandatory m = mandatory_levels(levels, n);
  if (any_missing({m.l850.t, m.l850.td, m.l500.t})) return kMissing;
  return m.l850.t + m.l850.td - 2 * m.l500.t;
}

float vertical_totals(UPA_level *levels, int n) KAV_NOEXCEPT {
  Mandatory m = mandatory_levels(levels, n);
  if (any_missing({m.l850.t, m.l500.t})) return kMissing;
  return m.l850.t - m.l500.t;
}

float cross_totals(UPA_level *levels, int n) KAV_NOEXCEPT {
  Mandatory m = mandatory_levels(levels, n);
  if (any_missing({m.l850.td, m.l500.t})) return kMissing;
  return m.l850.td - m.l500.t;
}

float k_index(UPA_level *levels, int n) KAV_NOEXCEPT {
  Mandatory m = mandatory_levels(levels, n);
  if (any_missing({m.l850.t, m.l500.t, m.l850.td, m.l700.t, m.l700.td})) return kMissing;
  return (m.l850.t - m.l500.t) + m.l850.td - (m.l700.t - m.l700.td);
}

float sweat_index(UPA_level *levels, int n) KAV_NOEXCEPT {
  Mandatory m = mandatory_levels(levels, n);
  const UPA_level &a = m.l850, &u = m.l500;
  if (any_missing({u.t, u.dir, a.t, a.dir, a.td})) return kMissing;
  double s = a.td > 0 ? 12.0 * a.td : 0.0;
  double tt = static_cast<double>(a.t) + a.td - 2.0 * u.t;
  if (tt > 49) s += 20 * (tt - 49);
  if (!is_missing(a.spd)) s += 2.0 * a.spd;
  if (!is_missing(u.spd)) s += u.spd;
  double shear = static_cast<double>(u.dir) - a.dir;
  if (a.dir >= 135 && a.dir <= 250 && u.dir >= 210 && u.dir <= 310 && shear > 0 &&
      !is_missing(a.spd) && !is_missing(u.spd) && a.spd >= 15 && u.spd >= 15)
    s += 125 * (0.2 + std::sin(shear * kDegToRad));
  return static_cast<float>(s);
}

float lifted_index(UPA_level *levels, int n, int coord, float bottom, float thick,
                   float top) KAV_NOEXCEPT {
  if (levels == nullptr || n <= 0 || is_missing(levels[0].p) || levels[0].p < 500) return kMissing;
  UPA_level l = level_at(levels, n, coord, bottom), u = level_at(levels, n, coord, top);
  if (any_missing({l.t, u.t, l.p, u.p})) return kMissing;
  float tp, tdp;
  if (!is_missing(thick) && thick > 0) {
    float wbar, obar;
    layer_parcel_mean(levels, n, coord, bottom, UPA_thick_top(coord, bottom, thick), &wbar, &obar);
    tp = kelvin_result(temp_on_dryad(obar, l.p));
    tdp = kelvin_result(temp_on_mixrat(wbar, l.p));
  } else {
    tp = to_kelvin(l.t);
    tdp = to_kelvin(l.td);
  }
  // Without a parcel dew point there is no condensation level to lift to.
  if (any_missing({tp, tdp})) return kMissing;
  float plcl = lcl_pres(tp, tdp, l.p);
  float tlcl = kelvin_result(lcl_temp(tp, l.p, plcl));
  if (any_missing({plcl, tlcl})) return kMissing;
  float parcel;
  if (u.p > plcl)
    parcel = kelvin_result(temp_on_dryad(pot_temp(tp, l.p), u.p));
  else
    parcel = kelvin_result(temp_on_satad(kelvin_result(thetae_on_satad(tlcl, plcl)), u.p));
  parcel = to_celsius(parcel);
  if (is_missing(parcel)) return kMissing;
  return u.t - parcel;
}

}  // extern "C"
