// Parcel energy and convective levels: the parcel ascent, cap strength, the
// energy index, precipitable water, freezing and wet-bulb-zero levels, the
// estimated maximum temperature and the theta-e index.
#include <kav/calc.h>
#include <kav/mess.h>
#include <kav/string.h>
#include <kav/tools.h>
#include <kav/ua_calc.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "sounding/ua_calc_int.hpp"

namespace {

using kav_ua::celsius_result;
using kav_ua::kelvin_result;
using kav_ua::kMissing;
using kav_ua::level_at;

constexpr int kMaxMoistSteps = 128;  // 10 mb steps from at most 1100 mb up

// One 10 mb step of the saturated ascent.
struct MoistStep {
  float pmid;    // mean pressure of the step, mb
  float energy;  // its buoyant energy, J/kg (missing when a height was)
};

void trace_level(const UPA_level &l) {
  MESS_print(M_DEBUG, "P:%6.1f H:%7.0f T:%7.1f Td:%7.1f Dir:%6.0f Spd:%6.0f\n",
             static_cast<double>(l.p), static_cast<double>(l.h), static_cast<double>(l.t),
             static_cast<double>(l.td), static_cast<double>(l.dir), static_cast<double>(l.spd));
}

// The parcel's starting state at bottom: the level there, or the layer mean
// of depth thick above it (temperature and dew point in degrees Celsius).
UPA_level start_parcel(UPA_level *levels, int n, int coord, float bottom, float thick, int *index) {
  UPA_level p1 = level_at(levels, n, coord, bottom, index);
  if (!is_missing(thick) && thick > 0 && !is_missing(p1.p)) {
    float wbar = kMissing, obar = kMissing;
    layer_parcel_mean(levels, n, coord, bottom, UPA_thick_top(coord, bottom, thick), &wbar, &obar);
    p1.t = is_missing(obar) ? kMissing : celsius_result(temp_on_dryad(obar, p1.p));
    p1.td = is_missing(wbar) ? kMissing : celsius_result(temp_on_mixrat(wbar, p1.p));
  }
  return p1;
}

// The running sums of the ascent.
struct Areas {
  double plus = 0;   // positive area
  double minus = 0;  // negative area below the free convection level
};

// Adds one step's energy: positive to the positive area, anything else to
// the negative one.
void add_dry(Areas &a, float e) {
  if (is_missing(e)) return;
  if (e > 0)
    a.plus += e;
  else
    a.minus -= e;
}

// Mean relative humidity (%) of the layer bottom..top in pressure, weighted
// by ln p over the levels with temperature and dew point.
float mean_rhum(UPA_level *lev, int n, float bottom, float top) {
  if (lev == nullptr || n <= 0 || is_missing(bottom) || bottom <= top) return kMissing;
  double sum = 0, weight = 0;
  float pa = kMissing, ra = kMissing;
  auto add = [&](const UPA_level &l) {
    if (is_missing(l.t) || is_missing(l.td) || is_missing(l.p) || l.p <= 0) return;
    float rh = rel_hum(to_kelvin(l.t), to_kelvin(l.td));
    if (is_missing(rh)) return;
    if (!is_missing(pa) && pa > l.p) {
      double w = std::log(static_cast<double>(pa) / l.p);
      sum += (static_cast<double>(ra) + rh) / 2 * w;
      weight += w;
    }
    pa = l.p;
    ra = rh;
  };
  UPA_level b, t;
  UPA_interp(lev, n, 100, bottom, &b);
  UPA_interp(lev, n, 100, top, &t);
  add(b);
  for (int i = 0; i < n; ++i)
    if (!is_missing(lev[i].p) && lev[i].p < bottom && lev[i].p > top) add(lev[i]);
  add(t);
  return weight > 0 ? static_cast<float>(sum / weight) : kMissing;
}

}  // namespace

extern "C" {

float energy_calc(const UPA_level *par1, const UPA_level *par2, const UPA_level *env1,
                  const UPA_level *env2) KAV_NOEXCEPT {
  if (par1 == nullptr || par2 == nullptr || env1 == nullptr || env2 == nullptr) return kMissing;
  if (is_missing(par1->t) || is_missing(par2->t) || is_missing(env1->t) || is_missing(env2->t) ||
      is_missing(env1->h) || is_missing(env2->h))
    return kMissing;
  double te = (static_cast<double>(env1->t) + env2->t) / 2;
  double tp = (static_cast<double>(par1->t) + par2->t) / 2;
  return static_cast<float>((static_cast<double>(env2->h) - env1->h) * (tp - te) * 9.8 /
                            (te + 273.15));
}

int parcel_calc(UPA_level *levels, int n, UPA_level *blev, int coord, float bottom, float thick,
                PARCEL_params *params) KAV_NOEXCEPT {
  if (params == nullptr) return 0;
  PARCEL_params &r = *params;
  r.plcl = r.el = r.mpl = r.Bel = r.Bmpl = kMissing;
  r.lfc = -1;
  r.Bplus = r.Bminus = r.wmax = r.cap = 0;
  auto fail = [&r]() {
    r.Bplus = r.Bminus = r.wmax = r.cap = r.lfc = kMissing;
    return 0;
  };
  if (levels == nullptr || n <= 0 || is_missing(bottom)) return fail();

  // Starting state: the parcel P1 and its environment E1.
  int start = 0;
  UPA_level p1, e1;
  if (blev != nullptr && !is_missing(blev->p)) {
    e1 = level_at(levels, n, 100, blev->p, &start);
    p1 = *blev;
  } else {
    p1 = start_parcel(levels, n, coord, bottom, thick, &start);
    e1 = level_at(levels, n, coord, bottom);
    if (!is_missing(thick) && thick > 0) e1 = level_at(levels, n, 100, p1.p);
    if (blev != nullptr) *blev = p1;
  }
  trace_level(p1);
  if (is_missing(p1.p) || is_missing(p1.t) || is_missing(p1.td)) return fail();

  // Condensation level: without it there is no ascent to make.
  float tk = to_kelvin(p1.t), tdk = to_kelvin(p1.td);
  float plcl = lcl_pres(tk, tdk, p1.p);
  // A saturated parcel condenses where it is (the iteration may land a
  // fraction of a millibar below it).
  if (!is_missing(plcl) && plcl > p1.p) plcl = p1.p;
  float tlcl = is_missing(plcl) ? kMissing : kelvin_result(lcl_temp(tk, p1.p, plcl));
  if (is_missing(plcl) || is_missing(tlcl) || plcl <= 0) return fail();
  r.plcl = plcl;
  r.tlcl = tlcl;
  float theta = pot_temp(tlcl, plcl);
  double cap = std::max(0.0, is_missing(e1.t) ? 0.0 : static_cast<double>(e1.t) - p1.t);
  Areas areas;

  // One step to the environment level e2 with the parcel temperature tpar.
  auto step = [&](const UPA_level &e2, float tpar) {
    UPA_level p2 = e2;
    p2.t = tpar;
    if (e2.p > 500 && !is_missing(e2.t) && !is_missing(tpar))
      cap = std::max(cap, static_cast<double>(e2.t) - tpar);
    float e = energy_calc(&p1, &p2, &e1, &e2);
    MESS_print(M_DEBUG, "%5.1f,%5.1f %5.1f,%5.1f %5.1f,%5.1f = %5.1f\n", static_cast<double>(p1.t),
               static_cast<double>(p2.t), static_cast<double>(e1.t), static_cast<double>(e2.t),
               static_cast<double>(p1.p), static_cast<double>(p2.p), static_cast<double>(e));
    p1 = p2;
    e1 = e2;
    return e;
  };

  // Dry ascent through every level with a temperature up to the
  // condensation level (a level at that very pressure included), then to the
  // condensation level itself when it lies inside the sounding.
  for (int i = std::max(start, 0); i < n; ++i) {
    const UPA_level &l = levels[i];
    if (is_missing(l.t) || is_missing(l.p)) continue;
    if (l.p < plcl) break;
    if (l.p >= p1.p) continue;  // no depth to climb
    UPA_level e2 = level_at(levels, n, 100, l.p);
    if (is_missing(e2.t)) continue;
    add_dry(areas, step(e2, celsius_result(temp_on_dryad(theta, l.p))));
  }
  if (p1.p != plcl) {
    UPA_level e2 = level_at(levels, n, 100, plcl);
    if (!is_missing(e2.t)) add_dry(areas, step(e2, celsius_result(temp_on_dryad(theta, plcl))));
  }

  // Saturated ascent in 10 mb steps while the sounding reaches above.
  float satad = kelvin_result(thetae_on_satad(tlcl, plcl));
  r.Satad = satad;
  float ptop = kMissing;
  for (int i = 0; i < n; ++i)
    if (!is_missing(levels[i].p) && levels[i].p > 0 && (is_missing(ptop) || levels[i].p < ptop))
      ptop = levels[i].p;
  std::array<MoistStep, kMaxMoistSteps> steps;
  int nsteps = 0;
  if (!is_missing(satad) && p1.p == plcl) {
    for (int k = 1; k <= kMaxMoistSteps; ++k) {
      float p = plcl - 10.0f * static_cast<float>(k);
      if (p <= 0 || !(ptop < p)) break;
      UPA_level e2 = level_at(levels, n, 100, p);
      if (is_missing(e2.t)) break;
      float tpar = celsius_result(temp_on_satad(satad, p));
      if (is_missing(tpar)) break;
      float pmid = (p1.p + p) / 2;
      steps[static_cast<size_t>(nsteps++)] = {pmid, step(e2, tpar)};
    }
  }

  // Energy of the saturated steps. Below the free convection level negative
  // steps count in the negative area. Above it every buoyant step counts in
  // the positive area; the equilibrium level is where the highest buoyant
  // layer ends, so the negative steps of stable pockets between the free
  // convection level and it are subtracted from the net energy there. The
  // maximum parcel level is where the net energy, still falling above the
  // equilibrium level, reaches zero.
  int k = 0;
  for (; k < nsteps; ++k) {
    float e = steps[static_cast<size_t>(k)].energy;
    if (is_missing(e)) continue;
    if (e >= 0) {
      r.lfc = steps[static_cast<size_t>(k)].pmid;
      break;
    }
    areas.minus -= e;
  }
  if (k < nsteps) {
    int lfc_step = k, last_pos = -1;
    for (int j = lfc_step; j < nsteps; ++j) {
      float e = steps[static_cast<size_t>(j)].energy;
      if (!is_missing(e) && e > 0) {
        areas.plus += e;
        last_pos = j;
      }
    }
    int el_step = -1;
    for (int j = last_pos + 1; last_pos >= 0 && j < nsteps; ++j) {
      float e = steps[static_cast<size_t>(j)].energy;
      if (!is_missing(e) && e < 0) {
        el_step = j;
        break;
      }
    }
    if (el_step >= 0) {
      double neg = 0;
      for (int j = lfc_step; j <= el_step; ++j) {
        float e = steps[static_cast<size_t>(j)].energy;
        if (!is_missing(e) && e < 0) neg -= e;
      }
      r.el = steps[static_cast<size_t>(el_step)].pmid;
      r.Bel = static_cast<float>(areas.plus - neg);
      for (int j = el_step; j < nsteps; ++j) {
        float e = steps[static_cast<size_t>(j)].energy;
        if (j > el_step && !is_missing(e) && e < 0) neg -= e;
        if (areas.plus <= neg) {
          r.mpl = steps[static_cast<size_t>(j)].pmid;
          r.Bmpl = static_cast<float>(areas.plus - neg);
          break;
        }
      }
    }
  }
  MESS_print(M_DEBUG, "   %5.1f-%5.1f-%5.1f %5.1f,%5.1f,%5.1f %5.1f-%5.1f\n",
             static_cast<double>(r.lfc), static_cast<double>(r.el), static_cast<double>(r.mpl),
             areas.plus, areas.minus, static_cast<double>(r.Bel), static_cast<double>(plcl),
             static_cast<double>(tlcl));

  r.Bplus = static_cast<float>(areas.plus);
  r.Bminus = static_cast<float>(areas.minus);
  r.cap = static_cast<float>(cap);
  if (areas.plus > 0) r.wmax = static_cast<float>(std::sqrt(2 * areas.plus));
  return 1;
}

float cap_strength(UPA_level *levels, int n, int coord, float bottom, float thick) KAV_NOEXCEPT {
  if (levels == nullptr || n <= 0 || is_missing(bottom)) return kMissing;
  int start = 0;
  UPA_level p1 = start_parcel(levels, n, coord, bottom, thick, &start);
  if (is_missing(p1.p) || is_missing(p1.t) || is_missing(p1.td)) return kMissing;
  float tk = to_kelvin(p1.t);
  float plcl = lcl_pres(tk, to_kelvin(p1.td), p1.p);
  if (!is_missing(plcl) && plcl > p1.p) plcl = p1.p;
  float tlcl = is_missing(plcl) ? kMissing : kelvin_result(lcl_temp(tk, p1.p, plcl));
  if (is_missing(plcl) || is_missing(tlcl)) return kMissing;
  int idx = 0;
  UPA_level e = level_at(levels, n, 100, plcl, &idx);
  if (is_missing(e.t)) return kMissing;
  double cap = static_cast<double>(e.t) - to_celsius(tlcl);
  bool dry = plcl < 500;
  float theta = dry ? pot_temp(tlcl, plcl) : kelvin_result(thetae_on_satad(tlcl, plcl));
  if (is_missing(theta)) return static_cast<float>(cap);
  for (int i = std::max(idx, 0); i < n; ++i) {
    const UPA_level &l = levels[i];
    if (is_missing(l.p) || l.p <= 500) break;
    if (is_missing(l.t)) continue;  // a wind-only level says nothing of the cap
    float tp = celsius_result(dry ? temp_on_dryad(theta, l.p) : temp_on_satad(theta, l.p));
    if (!is_missing(tp)) cap = std::max(cap, static_cast<double>(l.t) - tp);
  }
  return static_cast<float>(cap);
}

float energy_index(UPA_level *levels, int n) KAV_NOEXCEPT {
  UPA_level a = level_at(levels, n, 100, 850), b = level_at(levels, n, 100, 500);
  auto energy = [](const UPA_level &l) -> double {
    if (is_missing(l.t) || is_missing(l.td) || is_missing(l.h)) return kMissing;
    float w = mix_ratio(to_kelvin(l.td), l.p);
    if (is_missing(w)) return kMissing;
    return 0.24 * to_kelvin(l.t) + static_cast<double>(l.h) * 980 * 100 / 4.2e7 + 0.6 * w;
  };
  double ea = energy(a), eb = energy(b);
  if (ea == kMissing || eb == kMissing) return kMissing;
  return static_cast<float>(eb - ea);
}

float precip_water(UPA_level *levels, int n) KAV_NOEXCEPT {
  if (levels == nullptr || n <= 2 || is_missing(levels[0].p) || levels[0].p < 500) return kMissing;
  if (is_missing(levels[0].td) && is_missing(levels[1].td) && is_missing(levels[2].td))
    return kMissing;
  double sum = 0;
  bool have = false;
  float p_prev = 0, q_prev = 0;
  for (int i = 0; i < n; ++i) {
    const UPA_level &l = levels[i];
    if (is_missing(l.td) || is_missing(l.p) || l.p <= 0) continue;
    float q = spec_hum(to_kelvin(l.td), l.p);
    if (is_missing(q)) continue;
    if (have) sum += (static_cast<double>(p_prev) - l.p) * ((q_prev + q) / 2000.0) / 2.4892;
    p_prev = l.p;
    q_prev = q;
    have = true;
  }
  return static_cast<float>(sum);
}

float freezing_level(UPA_level *levels, int n) KAV_NOEXCEPT {
  if (levels == nullptr || n <= 0 || is_missing(levels[0].p) || levels[0].p < 500) return kMissing;
  bool first = true;
  float tp = 0, pp = 0;
  for (int i = 0; i < n; ++i) {
    const UPA_level &l = levels[i];
    if (is_missing(l.t) || is_missing(l.p)) continue;
    if (first) {
      if (l.p > 500 && l.t < 0) return -1;
      first = false;
    } else if ((tp >= 0) != (l.t >= 0)) {
      return linear_interp(0, tp, l.t, pp, l.p);
    }
    tp = l.t;
    pp = l.p;
  }
  return kMissing;
}

float wet_bulb_zero(UPA_level *levels, int n) KAV_NOEXCEPT {
  if (levels == nullptr || n <= 0) return kMissing;
  bool first = true;
  float wp = 0, pp = 0;
  for (int i = 0; i < n; ++i) {
    const UPA_level &l = levels[i];
    if (is_missing(l.t) || is_missing(l.td) || is_missing(l.p)) continue;
    float wb = celsius_result(wet_bulb(to_kelvin(l.t), to_kelvin(l.td), l.p));
    if (is_missing(wb)) continue;  // no wet bulb is no sign to compare
    if (first) {
      if (wb < 0) return -1;
      first = false;
    } else if ((wp >= 0) != (wb >= 0)) {
      return linear_interp(0, wp, wb, pp, l.p);
    }
    wp = wb;
    pp = l.p;
  }
  return kMissing;
}

float max_temperature(UPA_level *levels, int n, int coord, float bottom, float thick) KAV_NOEXCEPT {
  if (is_missing(bottom)) return kMissing;
  UPA_level b = level_at(levels, n, coord, bottom);
  UPA_level t = level_at(levels, n, coord, UPA_thick_top(coord, bottom, thick));
  if (is_missing(b.p) || is_missing(t.p) || is_missing(t.t)) return kMissing;
  float theta = pot_temp(to_kelvin(t.t), t.p);
  if (is_missing(theta)) return kMissing;
  return kelvin_result(temp_on_dryad(theta, b.p));
}

float mean_value(UPA_level *levels, int n, int coord, const char *var, float bottom,
                 float top) KAV_NOEXCEPT {
  if (var == nullptr || stricmp(var, "rhum") != 0) return kMissing;
  if (coord != 100 && coord != 1) return kMissing;
  return mean_rhum(levels, n, bottom, top);
}

int thetae_index(UPA_level *lev, int num, THETAE_params *params) KAV_NOEXCEPT {
  if (params == nullptr) return -1;
  THETAE_params &r = *params;
  r.index = r.base = r.top = r.max = r.maxp = r.min = r.minp = kMissing;
  if (lev == nullptr || num <= 0) return -1;
  // Theta-e of a level, missing without temperature, dew point or pressure.
  auto thetae = [&](int i) {
    const UPA_level &l = lev[i];
    if (is_missing(l.t) || is_missing(l.td) || is_missing(l.p) || l.p <= 0) return kMissing;
    return kelvin_result(eq_pot_temp(to_kelvin(l.t), to_kelvin(l.td), l.p));
  };
  int i = 0;
  float prev = kMissing;
  for (; i < num && is_missing(prev = thetae(i)); ++i) {
  }
  if (i >= num) return -1;
  float prev_p = lev[i].p;
  r.max = r.min = prev;
  r.maxp = r.minp = prev_p;

  struct Layer {
    double sum = 0;
    float base = kMissing;
    float top = kMissing;
  };
  constexpr int kLayers = 5;
  std::array<Layer, kLayers> cand;
  int cur = 0, closed = 0;
  bool open = false;
  cand[0].base = prev_p;
  // A layer runs from the level where theta-e begins to fall to the level
  // where it stops falling.
  for (++i; i < num && cand[static_cast<size_t>(cur)].base >= 700 && closed < kLayers; ++i) {
    float te = thetae(i);
    if (is_missing(te)) continue;
    float p = lev[i].p;
    if (te > r.max) {
      r.max = te;
      r.maxp = p;
    }
    if (te < r.min) {
      r.min = te;
      r.minp = p;
    }
    Layer &c = cand[static_cast<size_t>(cur)];
    if (prev >= te) {
      if (!open) {
        open = true;
        c.base = prev_p;
      }
      c.sum += static_cast<double>(prev) - te;
    } else if (open) {
      open = false;
      c.top = prev_p;
      if (++closed < kLayers) cand[static_cast<size_t>(++cur)].base = prev_p;
    }
    prev = te;
    prev_p = p;
  }
  if (cand[0].base < 700) return -1;
  int best = -1;
  for (int j = 0; j < kLayers; ++j) {
    const Layer &c = cand[static_cast<size_t>(j)];
    if (is_missing(c.base) || c.base < 700) continue;
    if (best < 0 || c.sum > cand[static_cast<size_t>(best)].sum) best = j;
  }
  if (best < 0) return -1;
  r.index = static_cast<float>(cand[static_cast<size_t>(best)].sum);
  r.base = cand[static_cast<size_t>(best)].base;
  r.top = cand[static_cast<size_t>(best)].top;
  return 0;
}

}  // extern "C"
