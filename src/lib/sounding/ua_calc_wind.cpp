// Wind profile of a sounding: layer-mean wind, veering and backing shear,
// storm-relative helicity, the bulk Richardson number, the energy-helicity
// index, and the convective condensation level.
#include <kav/calc.h>
#include <kav/mess.h>
#include <kav/ua_calc.h>
#include <kav/vecttool.h>

#include <algorithm>
#include <cmath>

#include "sounding/ua_calc_int.hpp"

namespace {

using kav_ua::height_coord;
using kav_ua::kMissing;
using kav_ua::level_at;
using kav_ua::pressure_coord;

constexpr double kKnotToMs = 0.5144;
constexpr double kDegToRad = 0.017453292519943334;

// A wind vector in m/s; valid is false when the wind is missing.
struct Vec {
  double x = 0, y = 0;
  bool valid = false;
};

Vec wind_vec(float dir, float spd) {
  Vec v;
  if (is_missing(dir) || is_missing(spd)) return v;
  float u, w;
  wind2vect(dir, static_cast<float>(spd * kKnotToMs), &u, &w);
  v.x = u;
  v.y = w;
  v.valid = true;
  return v;
}

Vec level_vec(const UPA_level &l) { return wind_vec(l.dir, l.spd); }

// Direction and speed of a vector.
void vec_wind(const Vec &v, float *dir, float *spd) {
  vect2wind(static_cast<float>(v.x), static_cast<float>(v.y), dir, spd);
}

double wrap180(double d) {
  if (d < -180) d += 360;
  if (d > 180) d -= 360;
  return d;
}

// The mean wind of a layer: the ln p (or height) weighted mean vector and
// mean scalar speed, in knots.
struct MeanWind {
  int result = -1;      // as layer_wind_mean
  double u = 0, v = 0;  // mean vector, knots
  double spd = 0;       // mean scalar speed, knots
  bool have = false;    // a step had winds at both ends
};

// The weight of a step: ln(p_a / p_b) when both ends carry a pressure,
// else the height climbed when both carry a height (wind levels given in
// height only), else none.
double step_weight(const UPA_level &a, const UPA_level &b, bool by_height) {
  if (by_height) {
    if (is_missing(a.h) || is_missing(b.h)) return 0;
    return static_cast<double>(b.h) - a.h;
  }
  if (is_missing(a.p) || is_missing(b.p) || a.p <= 0 || b.p <= 0) return 0;
  return std::log(static_cast<double>(a.p) / b.p);
}

MeanWind mean_wind(UPA_level *lev, int num, int coord, float bottom, float top) {
  MeanWind m;
  if (lev == nullptr || num <= 0 || is_missing(bottom)) return m;
  if (!is_missing(top) && (pressure_coord(coord) ? top > bottom : top < bottom)) return m;
  if (num == 1) {
    Vec v = level_vec(lev[0]);
    m.u = v.x / kKnotToMs;
    m.v = v.y / kKnotToMs;
    m.spd = lev[0].spd;
    m.have = v.valid;
    m.result = 0;
    return m;
  }
  int lb = 0, ub = 0;
  UPA_level b = level_at(lev, num, coord, bottom, &lb);
  if (is_missing(top) || top == bottom) {
    Vec v = level_vec(b);
    m.u = v.x / kKnotToMs;
    m.v = v.y / kKnotToMs;
    m.spd = b.spd;
    m.have = v.valid;
    m.result = 1;
    return m;
  }
  UPA_level t = level_at(lev, num, coord, top, &ub);
  // A layer whose ends are not in the sounding has no mean.
  float kb = UPA_get_level(coord, &b), kt = UPA_get_level(coord, &t);
  if (is_missing(kb) || is_missing(kt)) return m;
  lb = std::clamp(lb, 0, num);
  ub = std::clamp(ub, 0, num);
  // Weighted in ln p, or in height where the layer's winds carry no pressure.
  bool by_height = is_missing(b.p) || is_missing(t.p);
  for (int i = lb; i < ub && !by_height; ++i)
    if (!is_missing(lev[i].dir) && is_missing(lev[i].p)) by_height = true;

  double su = 0, sv = 0, ss = 0, w = 0;
  UPA_level a = b;
  float ka = kb;
  bool a_is_bottom = true;
  auto step = [&](const UPA_level &to, float kto) {
    if (kto == ka) {
      if (a_is_bottom) a = to;  // the level at the bottom takes its place
      a_is_bottom = false;
      return;
    }
    double wt = step_weight(a, to, by_height);
    Vec va = level_vec(a), vb = level_vec(to);
    if (va.valid && vb.valid && wt != 0) {
      su += (va.x + vb.x) / kKnotToMs * wt;
      sv += (va.y + vb.y) / kKnotToMs * wt;
      ss += (static_cast<double>(a.spd) + to.spd) * wt;
      w += wt;
    }
    a = to;
    ka = kto;
    a_is_bottom = false;
  };
  for (int i = lb; i < ub; ++i) {
    if (is_missing(lev[i].dir)) continue;
    float k = UPA_get_level(coord, &lev[i]);
    if (is_missing(k)) continue;
    step(lev[i], k);
  }
  step(t, kt);
  if (w == 0) {
    m.result = 0;
    return m;
  }
  m.u = su / (2 * w);
  m.v = sv / (2 * w);
  m.spd = ss / (2 * w);
  m.have = true;
  m.result = is_missing(t.dir) ? 0 : 1;
  return m;
}

// The highest height of the sounding (missing when no level has one): steps
// in height never go further, which bounds every walk by the sounding.
float top_height(const UPA_level *lev, int num) {
  float top = kMissing;
  for (int i = 0; i < num; ++i)
    if (!is_missing(lev[i].h) && (is_missing(top) || lev[i].h > top)) top = lev[i].h;
  return top;
}

// The height limit of a shear or helicity walk: T's height + 10 m; with a
// top not found, the bottom height plus the layer depth in a height
// coordinate (result 0). Returns false when there is no limit.
bool height_limit(int coord, const UPA_level &b, const UPA_level &t, float bottom, float top,
                  double *limit, int *result) {
  if (!is_missing(t.h)) {
    *limit = static_cast<double>(t.h) + 10;
    return true;
  }
  if (height_coord(coord) && !is_missing(top) && !is_missing(bottom)) {
    *limit = static_cast<double>(b.h) + (static_cast<double>(top) - bottom);
    *result = 0;
    return true;
  }
  return false;
}

}  // namespace

extern "C" {

int layer_wind_mean(UPA_level *lev, int num, int coord, float bottom, float top,
                    WIND *wind) KAV_NOEXCEPT {
  MeanWind m = mean_wind(lev, num, coord, bottom, top);
  if (wind == nullptr) return m.result;
  wind->dir = wind->spd = kMissing;
  if (m.result == -1 || !m.have) return m.result;
  float spd;
  vect2wind(static_cast<float>(m.u), static_cast<float>(m.v), &wind->dir, &spd);
  wind->spd = static_cast<float>(m.spd);
  MESS_print(M_DEBUG, "%f %f\n", static_cast<double>(wind->dir), static_cast<double>(wind->spd));
  return m.result;
}

int shear_layer(UPA_level *lev, int num, int coord, float bottom, float top, const WIND *storm,
                SHEAR_params *windp) KAV_NOEXCEPT {
  if (windp == nullptr) return -1;
  windp->pos_shr = windp->neg_shr = kMissing;
  if (lev == nullptr || num <= 0 || (!is_missing(lev[0].h) && lev[0].h > 5000)) return 0;
  if (storm != nullptr) {
    Vec s = wind_vec(storm->dir, storm->spd);
    MESS_print(M_DEBUG, "%f,%f\n", s.x, s.y);
  }
  UPA_level b = level_at(lev, num, coord, bottom), t = level_at(lev, num, coord, top);
  if (is_missing(b.h)) return -1;
  int result = 1;
  double limit = 0;
  if (!height_limit(coord, b, t, bottom, top, &limit, &result)) return -1;
  float htop = top_height(lev, num);
  if (!is_missing(htop)) limit = std::min(limit, static_cast<double>(htop) + 10);

  Vec prev = level_vec(b), veer, back;
  UPA_level pl = b;
  double depth = 0;
  for (double z = static_cast<double>(b.h) + 500; z <= limit; z += 500) {
    UPA_level l = level_at(lev, num, 103, static_cast<float>(z));
    Vec cur = level_vec(l);
    if (prev.valid && cur.valid) {
      double dx = cur.x - prev.x, dy = cur.y - prev.y;
      double turn = static_cast<double>(l.dir) - pl.dir;
      Vec &sum = ((turn > 0 && turn < 180) || turn < -180) ? veer : back;
      sum.x += dx;
      sum.y += dy;
      depth += 500;
      MESS_print(M_DEBUG, "%5.1f %5.1f-%5.1f  %5.1f,%5.1f %5.1f,%5.1f = %5.1f,%5.1f %5.1f,%5.1f\n",
                 z, static_cast<double>(pl.dir), static_cast<double>(l.dir), prev.x, prev.y, cur.x,
                 cur.y, veer.x, veer.y, back.x, back.y);
    }
    pl = l;
    prev = cur;
  }
  if (depth != 0) {
    windp->pos_shr = static_cast<float>(std::hypot(veer.x, veer.y) / depth);
    windp->neg_shr = static_cast<float>(std::hypot(back.x, back.y) / depth);
    MESS_print(M_DEBUG, "%5.1f %5.1f-%5.1f\n", depth, static_cast<double>(windp->pos_shr),
               static_cast<double>(windp->neg_shr));
  }
  return result;
}

int helicity(UPA_level *lev, int num, int coord, float bottom, float top, const WIND *storm,
             HELICITY_params *windp) KAV_NOEXCEPT {
  if (windp == nullptr) return -1;
  HELICITY_params &r = *windp;
  r.dir_shr = r.pos_hel = r.neg_hel = r.tot_hel = r.ave_hel = r.rel_hel = r.hor_vort = r.stm_vort =
      kMissing;
  if (lev == nullptr || num <= 1 || (!is_missing(lev[0].h) && lev[0].h > 5000)) return 0;
  if (storm == nullptr) return 0;
  Vec s = wind_vec(storm->dir, storm->spd);
  if (!s.valid) return 0;
  int result = 1;
  int ti = 0;
  UPA_level b = level_at(lev, num, coord, bottom), t = level_at(lev, num, coord, top, &ti);
  auto rel = [&s](const UPA_level &l) {
    Vec v = level_vec(l);
    if (v.valid) {
      v.x -= s.x;
      v.y -= s.y;
    }
    return v;
  };
  Vec v1 = rel(b);
  float w1d = kMissing, w1s = kMissing;
  if (v1.valid) vec_wind(v1, &w1d, &w1s);
  if (is_missing(t.dir) && ti >= num) {
    // A top above the sounding: integrate to its last height.
    float htop = top_height(lev, num);
    if (!is_missing(htop)) t = level_at(lev, num, 103, htop);
    result = 0;
  }
  Vec v2 = rel(t);
  if (v1.valid && v2.valid) {
    float w2d, w2s;
    vec_wind(v2, &w2d, &w2s);
    r.dir_shr = static_cast<float>(wrap180(static_cast<double>(w2d) - w1d));
  }
  if (is_missing(b.h)) return -1;
  double limit = 0;
  if (!height_limit(coord, b, t, bottom, top, &limit, &result)) return -1;
  float htop = top_height(lev, num);
  if (!is_missing(htop)) limit = std::min(limit, static_cast<double>(htop) + 10);

  r.pos_hel = r.neg_hel = r.tot_hel = r.ave_hel = r.rel_hel = r.hor_vort = r.stm_vort = 0;
  double pos = 0, neg = 0, stream = 0, vort = 0, depth = 0;
  int count = 0;
  for (double z = static_cast<double>(b.h) + 100; z <= limit; z += 100) {
    ++count;
    UPA_level l = level_at(lev, num, 103, static_cast<float>(z));
    Vec v = rel(l);
    if (!v.valid) continue;
    float w2d, w2s;
    vec_wind(v, &w2d, &w2s);
    if (v1.valid) {
      double hel = v1.y * v.x - v.y * v1.x;
      (hel > 0 ? pos : neg) += hel;
      double turn = wrap180(static_cast<double>(w2d) - w1d);
      double dshr = (static_cast<double>(w2s) + w1s) * (turn * kDegToRad / 100) / 2;
      double sshr = (static_cast<double>(w2s) - w1s) / 100;
      stream += dshr;
      vort += std::sqrt(dshr * dshr + sshr * sshr);
      depth += 100;
      MESS_print(M_DEBUG, "%5.1f %5.1f-%5.1f  %5.1f,%5.1f %5.1f,%5.1f = %5.1f %5.1f\n", z,
                 static_cast<double>(w1d), static_cast<double>(w2d), v1.x, v1.y, v.x, v.y, pos,
                 neg);
    }
    // A bottom without wind: the integration starts at the first wind.
    v1 = v;
    w1d = w2d;
    w1s = w2s;
  }
  r.pos_hel = static_cast<float>(pos);
  r.neg_hel = static_cast<float>(neg);
  r.tot_hel = static_cast<float>(pos + neg);
  if (depth != 0) r.ave_hel = static_cast<float>((pos + neg) / depth);
  if (count > 0) {
    r.hor_vort = static_cast<float>(vort / count);
    r.stm_vort = static_cast<float>(stream / count);
  }
  if (r.hor_vort != 0) r.rel_hel = static_cast<float>(stream / vort);
  return result;
}

int bulk_richardson(UPA_level *lev, int num, int coord, float bottom, float cape, float *brn,
                    float *shear) KAV_NOEXCEPT {
  float brn_out = kMissing, shear_out = kMissing;
  int result = -1;
  if (lev != nullptr && num > 0) {
    UPA_level b = level_at(lev, num, coord, bottom);
    if (!is_missing(b.h)) {
      MeanWind low = mean_wind(lev, num, 103, b.h, b.h + 500);
      MeanWind deep = mean_wind(lev, num, 103, b.h, b.h + 6000);
      // Bulk shear: the length of the difference of the two mean vectors.
      if (low.result == 1 && deep.result == 1 && low.have && deep.have) {
        double s = std::hypot(deep.u - low.u, deep.v - low.v) * kKnotToMs;
        shear_out = static_cast<float>(s);
        if (!is_missing(cape) && cape >= 0 && s != 0)
          brn_out = static_cast<float>(cape / (0.5 * s * s));
        result = 0;
      }
    }
  }
  if (brn != nullptr) *brn = brn_out;
  if (shear != nullptr) *shear = shear_out;
  return result;
}

float energy_helicity(UPA_level *lev, int num, int coord, float bottom, const WIND *storm,
                      float cape) KAV_NOEXCEPT {
  if (lev == nullptr || num <= 0 || is_missing(bottom) || is_missing(cape)) return kMissing;
  UPA_level b = level_at(lev, num, coord, bottom);
  if (is_missing(b.h)) return kMissing;
  HELICITY_params hp;
  helicity(lev, num, 103, b.h, b.h + 2000, storm, &hp);
  if (is_missing(hp.pos_hel)) return kMissing;
  return static_cast<float>(static_cast<double>(hp.pos_hel) * cape / 160000);
}

float pr_ccl(UPA_level *lev, int num, int coord, float bottom, float thick,
             float *Wbar) KAV_NOEXCEPT {
  float dummy;
  float &w = Wbar != nullptr ? *Wbar : dummy;
  w = kMissing;
  if (lev == nullptr || num <= 0) return kMissing;
  int lb = 0;
  UPA_level b = level_at(lev, num, coord, bottom, &lb);
  if (is_missing(b.p) || b.p < 500) return kMissing;
  float wb = kMissing;
  if (num == 1) {
    w = is_missing(b.td) ? kMissing : mix_ratio(to_kelvin(b.td), b.p);
    return 0;
  }
  if (!is_missing(thick) && thick > 0) {
    float obar;
    layer_parcel_mean(lev, num, coord, bottom, UPA_thick_top(coord, bottom, thick), &wb, &obar);
  } else if (!is_missing(b.td)) {
    wb = mix_ratio(to_kelvin(b.td), b.p);
  }
  w = wb;
  if (is_missing(wb) || wb <= 0) return kMissing;

  // The walk starts at the first level at or above B (the index found for a
  // request at a level's own pressure is the one after it).
  int first = std::clamp(lb, 0, num);
  while (first > 0 && !is_missing(lev[first - 1].p) && lev[first - 1].p <= b.p) --first;
  int last = -1, stop = -1;
  for (int i = first; i < num; ++i) {
    const UPA_level &l = lev[i];
    if (is_missing(l.t) || is_missing(l.p) || l.p <= 0) continue;
    float tm = temp_on_mixrat(wb, l.p);
    if (tm > to_kelvin(l.t)) {
      stop = i;
      break;
    }
    last = i;
  }
  if (stop < 0) return -1;
  if (last < 0) return lev[stop].p;
  // Refine the crossing between the two levels by halving steps.
  const UPA_level &lo = lev[last], &hi = lev[stop];
  if (lo.p == hi.p) return hi.p;
  double p = (static_cast<double>(lo.p) + hi.p) / 2;
  double dp = (static_cast<double>(lo.p) - hi.p) / 2;
  for (int k = 0; k < 12; ++k) {
    float te = interp_temp(lo.t, hi.t, lo.p, hi.p, static_cast<float>(p));
    if (is_missing(te)) break;
    double diff = static_cast<double>(temp_on_mixrat(wb, static_cast<float>(p))) - (te + 273.15);
    if (diff * diff < 2e-5) break;
    p += diff > 0 ? dp : -dp;
    dp /= 2;
  }
  return static_cast<float>(p);
}

}  // extern "C"
