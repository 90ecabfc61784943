// The reports of the sounding analysis: indices with risk words, the parcel,
// the wind parameters, the storm table and the level tables.
#include <kav/calc.h>
#include <kav/mess.h>
#include <kav/thm_tool.h>
#include <kav/tools.h>
#include <kav/ua_calc.h>
#include <kav/ua_merge.h>
#include <kav/vecttool.h>

#include <cmath>

#include "console/guard.hpp"
#include "sounding/thm_tool_int.hpp"

namespace {

using kav_therm::feet;
using kav_therm::height_at;
using kav_therm::state;
using kav_therm::ThermState;
constexpr float kMissing = KAV_MISSING;

double d(float v) { return static_cast<double>(v); }
double f_of(float c) { return 9.0 * c / 5 + 32; }

// One risk category: the words that apply while the value passes the test.
struct Risk {
  float bound;
  const char *words;
};

// Risk words of an index whose danger grows as it falls: the first category
// whose bound the value exceeds, else the last.
const char *risk_above(float v, const Risk *r, int n) {
  for (int i = 0; i < n - 1; ++i)
    if (v > r[i].bound) return r[i].words;
  return r[n - 1].words;
}

// Risk words of an index whose danger grows as it rises: the first category
// whose bound the value stays below, else the last.
const char *risk_below(float v, const Risk *r, int n) {
  for (int i = 0; i < n - 1; ++i)
    if (v < r[i].bound) return r[i].words;
  return r[n - 1].words;
}

const Risk kLiRisk[] = {{2, "None\n"},
                        {0, "Showers probable\n"},
                        {-2, "Thunderstorms probable\n"},
                        {-4, "Severe thunderstorms possible\n"},
                        {0, "Severe thunderstorms probable\n"}};
const Risk kSiRisk[] = {{3, "None\n"},
                        {1, "Showers probable\n"},
                        {-2, "Thunderstorms probable\n"},
                        {-6, "Severe thunderstorms possible\n"},
                        {0, "Severe thunderstorms probable\n"}};
const Risk kTtRisk[] = {{44, "None\n"},
                        {49, "Scattered moderate thunderstorms\n"},
                        {55, "Scattered heavy thunderstorms\n"},
                        {0, "Severe Thunderstorms probable\n"}};
const Risk kKRisk[] = {{15, "None\n"},
                       {20, "< 20 % chance of thunderstorms\n"},
                       {25, "20-40 % chance of thunderstorms\n"},
                       {30, "40-60 % chance of thunderstorms\n"},
                       {35, "60-80 % chance of thunderstorms\n"},
                       {0, "> 80 % chance of thunderstorms\n"}};
const Risk kSweatRisk[] = {{300, "None\n"},
                           {400, "Showers and thunderstorms possible\n"},
                           {0, "Severe Thunderstorms possible\n"}};
const Risk kEiRisk[] = {{0, "None\n"},
                        {-2, "Scattered severe thunderstorms\n"},
                        {0, "Severe Thunderstorms probable\n"}};

// "NAME   value UNIT Risk: words": name padded to the value's column, unit
// "C" or blank.
template <size_t N>
void risk_line(M_type type, const char *name, float v, const char *unit, const Risk (&r)[N],
               bool above) {
  if (is_missing(v)) return;
  MESS_print(type, "%s%6.2f %s Risk: ", name, d(v), unit);
  // The words are text, never a format.
  MESS_print(type, "%s",
             above ? risk_above(v, r, static_cast<int>(N)) : risk_below(v, r, static_cast<int>(N)));
}

// "NAME p mb = h m = ft ft": a level given in mb with its height in metres
// and feet, the pressure in a field of width w.
void level_line(M_type type, const char *name, int w, float p) {
  if (is_missing(p)) return;
  float h = height_at(p);
  MESS_print(type, "%s%*.2f mb = %8.2f m = %8.2f ft\n", name, w, d(p), d(h), d(feet(h)));
}

void freezing_lines(const ThermState &s) {
  if (!is_missing(s.sfc.t) && s.sfc.t < 0)
    MESS_print(0x8000, "Freezing level:      Surface below freezing\n");
  bool have = false;
  float tp = 0, pp = 0, hp = kMissing;
  for (int i = 0; i < s.sm_num; ++i) {
    const UPA_level &l = s.sm[i];
    if (is_missing(l.t) || is_missing(l.p)) continue;
    if (have && ((tp >= 0 && l.t < 0) || (tp < 0 && l.t >= 0))) {
      float p0 = linear_interp(0, tp, l.t, pp, l.p);
      float h0 =
          is_missing(hp) || is_missing(l.h) ? height_at(p0) : linear_interp(p0, pp, l.p, hp, l.h);
      if (!is_missing(p0))
        MESS_print(0x8000, "Freezing level:         %7.2f mb = %8.2f m = %8.2f ft\n", d(p0), d(h0),
                   d(feet(h0)));
    }
    have = true;
    tp = l.t;
    pp = l.p;
    hp = l.h;
  }
}

}  // namespace

extern "C" {

static int therm_indices_body(void) {
  ThermState &s = state();
  const THERM_values &v = s.values;
  UPA_level *sm = s.sm;
  int n = s.sm_num;
  MESS_print(0xF0000, "\nSounding variables and indices\n");
  if (!is_missing(v.thick)) MESS_print(0x4000, "1000-500 mb thick:      %7.2f m\n", d(v.thick));
  freezing_lines(s);
  if (v.wb0 == -1)
    MESS_print(0x8000, "Wetbulb zero:        Below ground\n");
  else
    level_line(0x8000, "Wetbulb zero:           ", 7, v.wb0);
  if (!is_missing(v.precip))
    MESS_print(0x8000, "Precipitable water:     %7.2f inches\n", d(v.precip));
  if (!is_missing(v.mean_rh))
    MESS_print(0x8000, "Sfc-500 mean rel hum:   %7.2f %%\n", d(v.mean_rh));
  if (!is_missing(v.max_t))
    MESS_print(0x8000, "Est. max temperature:   %7.2f C = %7.2f F\n", d(v.max_t), f_of(v.max_t));
  if (!is_missing(v.plcl) && v.plcl > 0) {
    UPA_level l;
    UPA_interp(sm, n, 100, v.plcl, &l);
    MESS_print(0x8000, "Sfc-Lift cond lev (LCL): %6.2f mb = %8.2f m = %8.2f ft T: %7.2f C\n",
               d(v.plcl), d(l.h), d(feet(l.h)), d(l.t));
  }
  if (!is_missing(v.lapse57))
    MESS_print(0x8000, "700-500 lapse rate:      %6.2f C/km\n", d(v.lapse57));
  if (!is_missing(v.thetae.index))
    MESS_print(0x8000, "ThetaE index:            %6.2f C Layer %6.1f-%6.1f mb\n", d(v.thetae.index),
               d(v.thetae.base), d(v.thetae.top));
  if (!is_missing(v.ccl) && v.ccl > 0) {
    level_line(0x8000, "Conv cond level (CCL):  ", 7, v.ccl);
    if (!is_missing(v.wbar)) MESS_print(0x8000, "  Mean mixing ratio:    %7.2f g/kg\n", d(v.wbar));
    if (!is_missing(v.ct))
      MESS_print(0x8000, "  Conv temperature:     %7.2f C = %7.2f F\n", v.ct - 273.15,
                 f_of(static_cast<float>(v.ct - 273.15)));
  } else if (v.ccl == -1) {
    MESS_print(0x8000, "Conv cond level (CCL): None\n");
  }
  MESS_hold(0x8000, "Press return to continue\n");

  float ps = s.sfc.p;
  float li300 = lifted_index(sm, n, 100, ps, 100, 300);
  float li700 = lifted_index(sm, n, 100, ps, 100, 700);
  if (!is_missing(v.cap)) MESS_print(0x8000, "Cap Strength:            %6.2f C\n", d(v.cap));
  risk_line(0x4000, "Lifted Index:            ", v.li, "C", kLiRisk, true);
  if (!is_missing(li300)) MESS_print(0x8000, "Lifted Index @300 mb:    %6.2f C\n", d(li300));
  if (!is_missing(li700)) MESS_print(0x8000, "Lifted Index @700 mb:    %6.2f C\n", d(li700));
  risk_line(0x4000, "Showalter Index:         ", v.si, "C", kSiRisk, true);
  risk_line(0x4000, "Total Totals Index:      ", v.tt, "C", kTtRisk, false);
  float vt = vertical_totals(sm, n), ct = cross_totals(sm, n);
  if (!is_missing(vt)) MESS_print(0x8000, "  Vertical Totals Index: %6.2f C\n", d(vt));
  if (!is_missing(ct)) MESS_print(0x8000, "  Cross Totals Index:    %6.2f C\n", d(ct));
  risk_line(0x4000, "K Index:                 ", v.k, " ", kKRisk, false);
  risk_line(0x8000, "Sweat Index:             ", v.sweat, " ", kSweatRisk, false);
  risk_line(0x8000, "Energy Index:            ", v.ei, " ", kEiRisk, true);
  MESS_hold(0x4000, "Press return to continue\n");

  MESS_print(0x10000, "\nParcel Indices\n");
  const UPA_level &par = s.par;
  switch (s.par_type) {
    case 1:
      MESS_print(0x10000, "Parcel: using surface\n");
      break;
    case 2:
      MESS_print(0x10000, "Parcel: using %1.0f mb layer\n", d(s.par_thick));
      break;
    case 3:
      MESS_print(0x10000, "Parcel: using max temp\n");
      break;
    case 4:
      MESS_print(0x10000, "Parcel: using most unstable P: %1.0f\n", d(par.p));
      break;
    case 5:
      MESS_print(0x10000, "Parcel: using P: %1.0f T: %2.1f TD: %2.1f\n", d(par.p), d(par.t),
                 d(par.td));
      break;
    default:
      break;
  }
  const PARCEL_params &pc = v.parcel;
  if (!is_missing(pc.Bplus))
    MESS_print(0x10000, "CAPE (B+):             %8.2f J/kg\n", d(pc.Bplus));
  if (!is_missing(pc.wmax)) MESS_print(0x20000, "Max Up Vert Vel:       %8.2f m/s\n", d(pc.wmax));
  if (!is_missing(pc.Bminus))
    MESS_print(0x10000, "Conv Inhibition (B-):  %8.2f J/kg\n", d(pc.Bminus));
  if (!is_missing(pc.cap)) MESS_print(0x10000, "Cap Strength:          %8.2f C\n", d(pc.cap));
  level_line(0x20000, "Lift Cond Lev (LCL):   ", 8, pc.plcl);
  if (pc.lfc == -1)
    MESS_print(0x20000, "Lev Free Conv (LFC):     none\n");
  else
    level_line(0x20000, "Lev Free Conv (LFC):   ", 8, pc.lfc);
  level_line(0x20000, "Equ Level (EL):        ", 8, pc.el);
  if (!is_missing(pc.Bel)) MESS_print(0x20000, "B at Equ Level:        %8.2f J/kg\n", d(pc.Bel));
  level_line(0x20000, "Max Parcel Lev (MPL):  ", 8, pc.mpl);
  MESS_hold(0x10000, "Press return to continue\n");
  return 0;
}

int THERM_indices(void) KAV_NOEXCEPT {
  return kav::guarded("THERM_indices", -1, [&] { return therm_indices_body(); });
}

static int therm_wind_body(void) {
  ThermState &s = state();
  const THERM_values &v = s.values;
  MESS_print(0x40000, "\nWind Parameters\n");
  if (!is_missing(s.mean6.dir))
    MESS_print(0x40000, "Mean winds (0-6000m):           %6.1f at %6.1f knts\n", d(s.mean6.dir),
               d(s.mean6.spd));
  if (!is_missing(s.storm.dir))
    MESS_print(0x40000, "Storm direction:                %6.1f at %6.1f knts\n", d(s.storm.dir),
               d(s.storm.spd));
  auto k = [](float x) { return is_missing(x) ? -9999.0 : 1000.0 * x; };
  const SHEAR_params &sh = v.shear;
  if (!is_missing(sh.pos_shr))
    MESS_print(0x80000, "Shear (0-3000m)              pos: %6.1f neg: %6.1f tot: %6.1f 10-3/s\n",
               k(sh.pos_shr), k(sh.neg_shr),
               is_missing(sh.neg_shr) ? -9999.0 : k(sh.pos_shr) + k(sh.neg_shr));
  const HELICITY_params &h = v.helicity;
  if (!is_missing(h.dir_shr))
    MESS_print(0x80000, "Storm rel Dir Shear (0-3000m):    %6.1f deg\n", d(h.dir_shr));
  if (!is_missing(h.pos_hel))
    MESS_print(0x40000, "Storm rel helicity (0-3000m) pos: %6.1f neg: %6.1f tot: %6.1f m^2/s^2\n",
               d(h.pos_hel), d(h.neg_hel), d(h.tot_hel));
  if (!is_missing(h.ave_hel))
    MESS_print(0x80000, "                             ave: %6.1f 10^-3 m/s^2 rel: %6.2f\n",
               k(h.ave_hel), d(h.rel_hel));
  if (!is_missing(h.hor_vort))
    MESS_print(0x80000, "Storm rel vorticity (0-3000m) horiz: %6.1f stream: %6.1f 10^-3/s\n",
               k(h.hor_vort), k(h.stm_vort));
  if (!is_missing(v.ehi)) MESS_print(0x40000, "Energy-Hel index:       %7.2f\n", d(v.ehi));
  if (!is_missing(v.brn)) MESS_print(0x80000, "Bulk Rich Number:       %7.2f\n", d(v.brn));
  if (!is_missing(v.bshear))
    MESS_print(0x80000, "Bulk Shear:             %7.2f m/s\n", d(v.bshear));
  MESS_hold(0x40000, "Press return to continue\n");
  return 0;
}

int THERM_wind(void) KAV_NOEXCEPT {
  return kav::guarded("THERM_wind", -1, [&] { return therm_wind_body(); });
}

static int therm_storm_table_body(void) {
  ThermState &s = state();
  constexpr M_type kT = 0x400000;
  const char *rule =
      "-------------------------------------------------------------------------------\n";
  MESS_print(kT, "\nStorm Parameters\n");
  MESS_print(kT, "%s", rule);
  MESS_print(kT,
             "Depth  Mean    Inflow|    Shear      |           Helicity           | Vorticity\n");
  MESS_print(kT,
             " AGL  Dir Spd Dir Spd|  Pos  Neg  Tot|  Pos   Neg   Tot   Ave   Rel |  Hor Strm\n");
  MESS_print(kT, "  m       knt     knt|     10^-3/s   |       m^2/s^2     m/s^2      | 10^-3/s\n");
  MESS_print(kT, "%s", rule);
  float su = kMissing, sv = kMissing;
  if (!is_missing(s.storm.spd)) wind2vect(s.storm.dir, s.storm.spd * 0.5144f, &su, &sv);
  const float depths[] = {500, 1000, 1500, 2000, 2500, 3000, 4000, 5000, 6000};
  float hs = s.sfc.h;
  for (float dep : depths) {
    MESS_print(kT, "%4.0f  ", d(dep));
    WIND mean{kMissing, kMissing};
    int got = is_missing(hs) ? -1 : layer_wind_mean(s.wm, s.wm_num, 103, hs, hs + dep, &mean);
    if (got == 1 && !is_missing(mean.dir) && !is_missing(mean.spd)) {
      MESS_print(kT, "%3.0f %3.0f ", d(mean.dir), d(mean.spd));
      float mu, mv, idir = kMissing, ispd = kMissing;
      wind2vect(mean.dir, mean.spd * 0.5144f, &mu, &mv);
      if (!is_missing(su)) vect2wind(mu - su, mv - sv, &idir, &ispd);
      if (!is_missing(idir))
        MESS_print(kT, "%3.0f %3.0f| ", d(idir), ispd * 1.944);
      else
        MESS_print(kT, "  -   -| ");
    } else {
      MESS_print(kT, " NO DATA       | ");
    }
    SHEAR_params sh{kMissing, kMissing};
    if (!is_missing(hs)) shear_layer(s.wm, s.wm_num, 103, hs, hs + dep, nullptr, &sh);
    if (!is_missing(sh.pos_shr) && !is_missing(sh.neg_shr))
      MESS_print(kT, "%4.1f %4.1f %4.1f|", 1000.0 * sh.pos_shr, 1000.0 * sh.neg_shr,
                 1000.0 * (d(sh.pos_shr) + sh.neg_shr));
    else
      MESS_print(kT, "              |");
    HELICITY_params h;
    int r = -1;
    if (!is_missing(hs)) r = helicity(s.wm, s.wm_num, 103, hs, hs + dep, &s.storm, &h);
    if (r >= 0 && !is_missing(h.pos_hel)) {
      MESS_print(kT, "%5.1f%6.1f%6.1f ", d(h.pos_hel), d(h.neg_hel), d(h.tot_hel));
      double ave = is_missing(h.ave_hel) ? -9999.0 : 1000.0 * h.ave_hel;
      double hv = is_missing(h.hor_vort) ? -9999.0 : 1000.0 * h.hor_vort;
      double sv2 = is_missing(h.stm_vort) ? -9999.0 : 1000.0 * h.stm_vort;
      if (dep <= 3000) {
        MESS_print(kT, "%6.1f %5.2f|", ave, d(h.rel_hel));
        MESS_print(kT, "%5.1f%5.1f\n", hv, sv2);
      } else {
        MESS_print(kT, "%6.1f %5.2f| ", ave, d(h.rel_hel));
        MESS_print(kT, "%4.1f %4.1f\n", hv, sv2);
      }
    } else {
      MESS_print(kT, "                              |\n");
    }
  }
  return 0;
}

int THERM_storm_table(void) KAV_NOEXCEPT {
  return kav::guarded("THERM_storm_table", -1, [&] { return therm_storm_table_body(); });
}

static int therm_sig_table_body(void) {
  ThermState &s = state();
  int limit = MESS_get_max_lines() - 4;
  int lines = 0;
  auto count = [&]() {
    if (++lines >= limit && limit > 0) {
      MESS_hold(0x1000, "Press return to continue\n");
      lines = 0;
    }
  };
  MESS_print(0x1000, "\nSounding levels\n");
  UPA_print_level(0x1000, -4, nullptr);
  for (int i = 0; i < s.sm_num; ++i) {
    UPA_print_level(0x2000, s.sm[i].p == s.sfc.p ? -1 : i, &s.sm[i]);
    count();
  }
  if (!is_missing(s.trop.p)) {
    UPA_print_level(0x2000, -2, &s.trop);
    count();
  }
  if (!is_missing(s.mwnd.p)) {
    UPA_print_level(0x2000, -3, &s.mwnd);
    count();
  }
  MESS_hold(0x1000, "Press return to continue\n");
  return 0;
}

int THERM_sig_table(void) KAV_NOEXCEPT {
  return kav::guarded("THERM_sig_table", -1, [&] { return therm_sig_table_body(); });
}

static int therm_wind_table_body(void) {
  ThermState &s = state();
  int limit = MESS_get_max_lines() - 4;
  int lines = 0;
  MESS_print(0x100000, "\nWind levels\n");
  UPA_print_wind(0x100000, -4, nullptr, nullptr);
  for (int i = 0; i < s.wm_num; ++i) {
    UPA_print_wind(0x200000, i, &s.wm[i], &s.storm);
    if (++lines >= limit && limit > 0) {
      MESS_hold(0x400000, "Press return to continue\n");
      lines = 0;
    }
  }
  MESS_hold(0x400000, "Press return to continue\n");
  return 0;
}

int THERM_wind_table(void) KAV_NOEXCEPT {
  return kav::guarded("THERM_wind_table", -1, [&] { return therm_wind_table_body(); });
}

}  // extern "C"
