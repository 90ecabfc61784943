// The sounding analysis: the installed sounding, its surface level, storm
// motion and parcel choice, and the computation of the analysis table.
#include <kav/calc.h>
#include <kav/files.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>
#include <kav/thm_tool.h>
#include <kav/ua_calc.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/guard.hpp"
#include "sounding/thm_tool_int.hpp"

namespace kav_therm {

namespace {
constexpr float kMissing = KAV_MISSING;
}

UPA_level calm_level() {
  UPA_level l;
  UPA_level_init(&l);
  l.spd = 0;
  return l;
}

ThermState::ThermState() {
  sfc = trop = mwnd = calm_level();
  UPA_level_init(&par);
  UPA_level_init(&par_choice);
  DATE_init(&file_date);
  mean6.dir = mean6.spd = storm.dir = storm.spd = kMissing;
  THERM_init_values(&values);
}

ThermState &state() {
  static ThermState s;
  return s;
}

UPA_level *own_levels(std::vector<UPA_level> &room) {
  if (room.size() < THERM_MAX_LEVELS) room.resize(THERM_MAX_LEVELS);
  return room.data();
}

float height_at(float p) {
  ThermState &s = state();
  if (is_missing(p) || p <= 0) return kMissing;
  UPA_level l;
  UPA_interp(s.sm, s.sm_num, 100, p, &l);
  return l.h;
}

float feet(float m) { return is_missing(m) ? kMissing : static_cast<float>(m * 3.2808); }

}  // namespace kav_therm

namespace {

using kav_therm::state;
using kav_therm::ThermState;
constexpr float kMissing = KAV_MISSING;

// Reads one "par" item of plot_param: the text after "par=" (or "par:") is
// WORD[:T[:TD]]. An empty word or "sfc" is the surface parcel, "maxt" the
// maximum-temperature parcel, "layer:DEPTH" a mixed layer, and a pressure
// the parcel at that level with the sounding's temperature and dew point
// unless given.
bool read_parcel_item(ThermState &s, const char *item) {
  const char *rest = std::strlen(item) > 4 ? item + 4 : "";
  char word[64] = "";
  float a = kMissing, b = kMissing;
  // The word ends at the first colon; the numbers follow.
  const char *colon = std::strchr(rest, ':');
  size_t wl = colon != nullptr ? static_cast<size_t>(colon - rest) : std::strlen(rest);
  if (wl >= sizeof word) wl = sizeof word - 1;
  std::memcpy(word, rest, wl);
  word[wl] = '\0';
  trim_string(word);
  if (colon != nullptr) {
    char *end = nullptr;
    a = std::strtof(colon + 1, &end);
    if (end == colon + 1) a = kMissing;
    const char *colon2 = std::strchr(colon + 1, ':');
    if (colon2 != nullptr) {
      b = std::strtof(colon2 + 1, &end);
      if (end == colon2 + 1) b = kMissing;
    }
  }
  if (word[0] == '\0' || stricmp(word, "sfc") == 0) {
    s.par_type = 1;
  } else if (stricmp(word, "maxt") == 0) {
    s.par_type = 3;
  } else if (stricmp(word, "mu") == 0) {
    s.par_type = 4;
  } else if (stricmp(word, "layer") == 0) {
    if (is_missing(a) || !(a > 0) || a > 1000) {
      MESS_print(M_WARN, "THERM_param: Invalid parcel layer depth: %s\n", item);
      return false;
    }
    s.par_type = 2;
    s.par_thick = a;
  } else {
    char *end = nullptr;
    errno = 0;
    float p = std::strtof(word, &end);
    if (end == word || *end != '\0' || errno != 0 || !(p > 0) || p > 1100) {
      MESS_print(M_WARN, "THERM_param: Invalid parcel: %s\n", item);
      return false;
    }
    s.par_type = 5;
    UPA_level_init(&s.par_choice);
    s.par_choice.p = p;
    s.par_choice.t = a;
    s.par_choice.td = b;
    s.par = s.par_choice;
  }
  return true;
}

// The most unstable level: the largest equivalent potential temperature of
// the levels from the surface pressure ps up to 300 mb above it.
UPA_level most_unstable(UPA_level *sm, int n, float ps) {
  UPA_level best;
  UPA_level_init(&best);
  if (sm == nullptr || is_missing(ps)) return best;
  float best_te = kMissing;
  auto consider = [&](const UPA_level &l) {
    if (is_missing(l.t) || is_missing(l.td) || is_missing(l.p) || l.p > ps || l.p < ps - 300)
      return;
    float te = eq_pot_temp(to_kelvin(l.t), to_kelvin(l.td), l.p);
    if (is_missing(te) || te <= 0) return;
    if (is_missing(best_te) || te > best_te) {
      best_te = te;
      best = l;
    }
  };
  UPA_level sfc;
  UPA_interp(sm, n, 100, ps, &sfc);
  consider(sfc);
  for (int i = 0; i < n; ++i) consider(sm[i]);
  return best;
}

void compute_storm(ThermState &s) {
  s.mean6.dir = s.mean6.spd = kMissing;
  if (!is_missing(s.sfc.h)) layer_wind_mean(s.wm, s.wm_num, 103, s.sfc.h, s.sfc.h + 6000, &s.mean6);
  if (!is_missing(s.mean6.dir) && !is_missing(s.mean6.spd)) {
    float dir = s.mean6.dir + 30;
    if (dir > 360) dir -= 360;
    s.storm.dir = dir;
    s.storm.spd = 0.75f * s.mean6.spd;
  } else {
    s.storm.dir = s.storm.spd = kMissing;
  }
}

}  // namespace

extern "C" {

int THERM_init_values(THERM_values *values) KAV_NOEXCEPT {
  if (values == nullptr) return 0;
  THERM_values &v = *values;
  v.wmo = KAV_IMISSING;
  float *flat[] = {&v.lat,     &v.lon,   &v.elev,   &v.plcl,    &v.tlcl,  &v.frz, &v.wb0,
                   &v.lapse57, &v.max_t, &v.precip, &v.mean_rh, &v.thick, &v.ccl, &v.wbar,
                   &v.ct,      &v.li,    &v.cap,    &v.si,      &v.tt,    &v.k,   &v.sweat,
                   &v.ei,      &v.brn,   &v.bshear, &v.ehi};
  for (float *f : flat) *f = kMissing;
  v.thetae = THETAE_params{kMissing, kMissing, kMissing, kMissing, kMissing, kMissing, kMissing};
  UPA_level_init(&v.par_lev);
  v.parcel = PARCEL_params{kMissing, kMissing, kMissing, kMissing, kMissing, kMissing,
                           kMissing, kMissing, kMissing, kMissing, kMissing, kMissing};
  v.helicity = HELICITY_params{kMissing, kMissing, kMissing, kMissing,
                               kMissing, kMissing, kMissing, kMissing};
  v.shear = SHEAR_params{kMissing, kMissing};
  return 0;
}

THERM_values *THERM_get_values(void) KAV_NOEXCEPT { return &state().values; }

static int therm_set_data_body(float pr, UPA_level *smi, int smi_num, UPA_level *wmi, int wmi_num) {
  ThermState &s = state();
  s.sm = smi;
  s.sm_num = smi == nullptr ? 0 : std::clamp(smi_num, 0, THERM_MAX_LEVELS);
  s.wm = wmi;
  s.wm_num = wmi == nullptr ? 0 : std::clamp(wmi_num, 0, THERM_MAX_LEVELS);
  // The surface of this sounding first, so that a parcel chosen from it
  // starts from this sounding's surface.
  UPA_level_init(&s.sfc);
  s.sfc.p = pr;
  if (!is_missing(pr)) UPA_interp(s.sm, s.sm_num, 100, pr, &s.sfc);
  MESS_print(0x80000000u, "SFCP: %f\n", static_cast<double>(pr));
  MESS_print(0x80000000u, "%f %f %f %f %f %f\n", static_cast<double>(s.sfc.p),
             static_cast<double>(s.sfc.h), static_cast<double>(s.sfc.t),
             static_cast<double>(s.sfc.td), static_cast<double>(s.sfc.dir),
             static_cast<double>(s.sfc.spd));
  THERM_param();
  THERM_init_values(&s.values);
  compute_storm(s);
  return 0;
}

int THERM_set_data(float pr, UPA_level *smi, int smi_num, UPA_level *wmi,
                   int wmi_num) KAV_NOEXCEPT {
  return kav::guarded("THERM_set_data", -1,
                      [&] { return therm_set_data_body(pr, smi, smi_num, wmi, wmi_num); });
}

static int therm_calc_storm_body(void) {
  compute_storm(state());
  return 0;
}

int THERM_calc_storm(void) KAV_NOEXCEPT {
  return kav::guarded("THERM_calc_storm", -1, [&] { return therm_calc_storm_body(); });
}

static int therm_calc_body(void) {
  ThermState &s = state();
  THERM_values &v = s.values;
  UPA_level *sm = s.sm;
  int n = s.sm_num;
  float ps = s.sfc.p;

  v.thick = thickness(sm, n, 100, 1000, 500);
  v.frz = freezing_level(sm, n);
  v.wb0 = wet_bulb_zero(sm, n);
  v.precip = precip_water(sm, n);
  v.mean_rh = mean_value(sm, n, 100, "rhum", ps, 500);
  float mt = max_temperature(sm, n, 100, ps, 150);
  v.max_t = is_missing(mt) ? kMissing : mt - 273.15f;

  UPA_level b;
  UPA_interp(sm, n, 100, ps, &b);
  float tk = to_kelvin(b.t), tdk = to_kelvin(b.td);
  v.plcl = is_missing(tk) || is_missing(tdk) || is_missing(b.p) ? kMissing : lcl_pres(tk, tdk, b.p);
  float tl = is_missing(v.plcl) ? kMissing : lcl_temp(tk, b.p, v.plcl);
  v.tlcl = is_missing(tl) || tl <= 0 ? kMissing : tl;

  float lr = lapse_rate(sm, n, 100, 700, 500);
  v.lapse57 = is_missing(lr) ? kMissing : 1000 * lr;
  thetae_index(sm, n, &v.thetae);

  v.ccl = pr_ccl(sm, n, 100, ps, 100, &v.wbar);
  v.ct = v.ccl > 0 && !is_missing(v.wbar) ? conv_temp(v.wbar, v.ccl, ps) : kMissing;
  if (!is_missing(v.ct) && v.ct <= 0) v.ct = kMissing;

  v.li = lifted_index(sm, n, 100, ps, 100, 500);
  v.cap = cap_strength(sm, n, 100, ps, 100);
  v.si = lifted_index(sm, n, 100, 850, 0, 500);
  v.tt = total_totals(sm, n);
  v.k = k_index(sm, n);
  v.sweat = sweat_index(sm, n);
  v.ei = energy_index(sm, n);

  // The parcel.
  UPA_level start;
  UPA_level_init(&start);
  v.parcel = PARCEL_params{kMissing, kMissing, kMissing, kMissing, kMissing, kMissing,
                           kMissing, kMissing, kMissing, kMissing, kMissing, kMissing};
  switch (s.par_type) {
    case 1:
      parcel_calc(sm, n, &start, 100, ps, 0, &v.parcel);
      break;
    case 2:
      parcel_calc(sm, n, &start, 100, ps, s.par_thick, &v.parcel);
      break;
    case 3:
      start = s.sfc;
      start.t = v.max_t;
      if (is_missing(start.t)) start.p = kMissing;  // no parcel to lift
      if (!is_missing(start.p)) parcel_calc(sm, n, &start, 100, ps, 0, &v.parcel);
      break;
    case 4:
      start = most_unstable(sm, n, ps);
      if (!is_missing(start.p)) parcel_calc(sm, n, &start, 100, ps, 0, &v.parcel);
      break;
    case 5:
      if (!is_missing(s.par_choice.p)) {
        UPA_interp(sm, n, 100, s.par_choice.p, &start);
        if (!is_missing(s.par_choice.t)) start.t = s.par_choice.t;
        if (!is_missing(s.par_choice.td)) start.td = s.par_choice.td;
        if (!is_missing(start.p)) parcel_calc(sm, n, &start, 100, ps, 0, &v.parcel);
      }
      break;
    default:
      break;
  }
  s.par = start;
  v.par_lev = start;

  v.shear = SHEAR_params{kMissing, kMissing};
  HELICITY_params hp;
  helicity(nullptr, 0, 103, 0, 0, nullptr, &hp);  // all missing
  v.helicity = hp;
  if (!is_missing(s.sfc.h)) {
    shear_layer(s.wm, s.wm_num, 103, s.sfc.h, s.sfc.h + 3000, nullptr, &v.shear);
    helicity(s.wm, s.wm_num, 103, s.sfc.h, s.sfc.h + 3000, &s.storm, &v.helicity);
  }
  bulk_richardson(s.wm, s.wm_num, 100, ps, v.parcel.Bplus, &v.brn, &v.bshear);
  v.ehi = energy_helicity(s.wm, s.wm_num, 100, ps, &s.storm, v.parcel.Bplus);
  return 0;
}

int THERM_calc(void) KAV_NOEXCEPT {
  return kav::guarded("THERM_calc", -1, [&] { return therm_calc_body(); });
}

static int therm_param_body(void) {
  ThermState &s = state();
  int n = 0;
  char **items = nullptr;
  int result = 0;
  RES_getvals("plot_param", &n, &items);
  for (int i = 0; i < n; ++i) {
    const char *item = items[i];
    if (stricmp(item, "page") == 0)
      MESS_set_page(2);
    else if (stricmp(item, "nopage") == 0)
      MESS_set_page(0);
    else if (strnicmp(item, "par", 3) == 0 && !read_parcel_item(s, item))
      result = -1;
  }
  free_parsed_array(n, items);
  return result;
}

int THERM_param(void) KAV_NOEXCEPT {
  return kav::guarded("THERM_param", -1, [&] { return therm_param_body(); });
}

int THERM_set_parcel(int type, float thick, const UPA_level *lev) KAV_NOEXCEPT {
  ThermState &s = state();
  s.par_type = type;
  if (type == 2 && !is_missing(thick) && thick > 0) s.par_thick = thick;
  UPA_level_init(&s.par_choice);
  if (type == 5 && lev != nullptr) {
    s.par_choice.p = lev->p;
    s.par_choice.t = lev->t;
    s.par_choice.td = lev->td;
  }
  s.par = s.par_choice;
  return 0;
}

int THERM_get_parcel_type(void) KAV_NOEXCEPT { return state().par_type; }
float THERM_get_parcel_thick(void) KAV_NOEXCEPT { return state().par_thick; }

int THERM_set_storm(const WIND *wind) KAV_NOEXCEPT {
  if (wind != nullptr) state().storm = *wind;
  return 0;
}
WIND *THERM_get_storm(void) KAV_NOEXCEPT { return &state().storm; }
WIND *THERM_get_mean6(void) KAV_NOEXCEPT { return &state().mean6; }

static int therm_set_id_body(const char *str, int val) {
  ThermState &s = state();
  s.id = str == nullptr ? "" : std::string(str).substr(0, 19);
  s.values.wmo = val;
  FILE_set_key('i', s.id.c_str());
  return 0;
}

int THERM_set_id(const char *str, int val) KAV_NOEXCEPT {
  return kav::guarded("THERM_set_id", -1, [&] { return therm_set_id_body(str, val); });
}
const char *THERM_get_id(void) KAV_NOEXCEPT { return state().id.c_str(); }
int THERM_get_wmo(void) KAV_NOEXCEPT { return state().values.wmo; }

int THERM_set_date(const Date *date) KAV_NOEXCEPT {
  ThermState &s = state();
  if (date != nullptr)
    s.file_date = *date;
  else
    FILE_get_date(&s.file_date);
  return 0;
}
const Date *THERM_get_date(void) KAV_NOEXCEPT { return &state().file_date; }

int THERM_set_trop(const UPA_level *lev) KAV_NOEXCEPT {
  if (lev != nullptr) state().trop = *lev;
  return 0;
}
int THERM_set_mwnd(const UPA_level *lev) KAV_NOEXCEPT {
  if (lev != nullptr) state().mwnd = *lev;
  return 0;
}
UPA_level *THERM_get_trop(void) KAV_NOEXCEPT { return &state().trop; }
UPA_level *THERM_get_mwnd(void) KAV_NOEXCEPT { return &state().mwnd; }
UPA_level *THERM_get_sfc(void) KAV_NOEXCEPT { return &state().sfc; }
UPA_level *THERM_get_parcel(void) KAV_NOEXCEPT { return &state().par; }
UPA_level *THERM_get_SM(void) KAV_NOEXCEPT { return state().sm; }
int THERM_get_SM_num(void) KAV_NOEXCEPT { return state().sm_num; }
UPA_level *THERM_get_WM(void) KAV_NOEXCEPT { return state().wm; }
int THERM_get_WM_num(void) KAV_NOEXCEPT { return state().wm_num; }

float THERM_get_sfc_level(int ltype) KAV_NOEXCEPT {
  const UPA_level &sfc = state().sfc;
  if (ltype == 103 || ltype == 104) return sfc.h;
  if (ltype == 113 || ltype == 114)
    return is_missing(sfc.t) ? kMissing : pot_temp(sfc.t + 273.15f, sfc.p);
  return sfc.p;
}

int UPA_sm_interp(int coord, const float *values, UPA_level *result, int num_result) KAV_NOEXCEPT {
  ThermState &s = state();
  return UPA_interp_levels(s.sm, s.sm_num, coord, values, result, num_result);
}

int UPA_wm_interp(int coord, const float *values, UPA_level *result, int num_result) KAV_NOEXCEPT {
  ThermState &s = state();
  return UPA_interp_levels(s.wm, s.wm_num, coord, values, result, num_result);
}

int UPA_calc_wind(UPA_level *sm, int sm_num, UPA_level *wm, int wm_num) KAV_NOEXCEPT {
  if (sm == nullptr || wm == nullptr || wm_num <= 0) return 0;
  for (int i = 0; i < sm_num; ++i) {
    if (!is_missing(sm[i].dir) || is_missing(sm[i].p)) continue;
    UPA_level l;
    UPA_interp(wm, wm_num, 100, sm[i].p, &l);
    sm[i].dir = l.dir;
    sm[i].spd = l.spd;
  }
  return 0;
}

}  // extern "C"
