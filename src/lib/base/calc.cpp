#include <kav/calc.h>

#include <algorithm>
#include <cmath>

namespace {

// The older wind chill models hold from calm air up to skin temperature.
bool older_wind_chill_applies(float temp, float ws) {
  return !(static_cast<double>(ws) < CALC_WC_CALM_SPEED ||
           static_cast<double>(temp) > CALC_WC_SKIN_TEMP);
}

// The wind of the older models, capped at their highest speed.
double capped_wind(float ws) {
  return static_cast<double>(ws) > CALC_WC_MAX_SPEED ? CALC_WC_MAX_SPEED : static_cast<double>(ws);
}

}  // namespace

extern "C" {

float wind_chill_temp(float temp, float ws) KAV_NOEXCEPT {
  if (ws < 0 || temp < 0) return KAV_MISSING;
  if (!older_wind_chill_applies(temp, ws)) return temp;
  double w = capped_wind(ws);
  double t = temp;
  return static_cast<float>(CALC_WC_SKIN_TEMP -
                            (0.474266 + 0.453843 * std::sqrt(w) - 0.0453843 * w) *
                                (CALC_WC_SKIN_TEMP - t));
}

float wind_chill_temp2(float temp, float ws) KAV_NOEXCEPT {
  if (ws < 0 || temp < 0) return KAV_MISSING;
  double t = temp;
  float w = static_cast<float>(0.6215 * t + 116.514 +
                               std::pow(static_cast<double>(ws), 0.16) * (0.4863 * t - 146.774));
  return w > temp ? temp : w;
}

float wind_chill(float temp, float ws) KAV_NOEXCEPT {
  if (ws < 0 || temp < 0) return KAV_MISSING;
  if (!older_wind_chill_applies(temp, ws)) return temp;
  double w = capped_wind(ws);
  double t = temp;
  return static_cast<float>((CALC_WC_SKIN_TEMP - t) * ((10.45 + 10.0 * std::sqrt(w) - w) * 1.1627));
}

}  // extern "C"

namespace {

constexpr float kMissing = KAV_MISSING;

// Narrows a double result to the float of the interface. A result that has
// no finite float value (an overflow of non-physical input) is missing.
inline float narrow(double v) {
  if (!std::isfinite(v) || std::fabs(v) > 3.4e38) return kMissing;
  return static_cast<float>(v);
}

// Either argument missing.
inline bool any_missing(float a, float b) { return is_missing(a) || is_missing(b); }
inline bool any_missing(float a, float b, float c) { return any_missing(a, b) || is_missing(c); }

// The inverse of the saturation vapour pressure curve, shared by
// temp_vapor_pr and temp_on_mixrat (e in mb, positive).
double temp_of_vapor(double e) {
  double a = std::pow(e, 0.0915) - 1.2035;
  return std::pow(10.0, 2.4082965 + 0.0498646455 * std::log10(e)) - 7.08475 + 38.9114 * a * a;
}

// The vapour pressure behind a temperature-or-vapour-pressure argument.
inline float vapor_of(float temp) { return temp <= 100 ? temp : vapor_pr(temp); }

// Kelvin to Fahrenheit, narrowed to float.
inline float fahrenheit(float k) {
  return narrow(CALC_FAHRENHEIT_0C + 9.0 * (static_cast<double>(k) - CALC_KELVIN_0C) / 5.0);
}

// Fahrenheit to kelvin, narrowed to float.
inline float kelvin_of_f(double f) {
  return narrow(CALC_KELVIN_0C + 5.0 * (f - CALC_FAHRENHEIT_0C) / 9.0);
}

// The condensation-level equivalent potential temperature shared by
// eq_pot_temp, wet_bulb and wet_bulb_pot_temp.
float thetae_at_lcl(float temp, float dewp, float pr) {
  float pl = lcl_pres(temp, dewp, pr);
  float tl = lcl_temp(temp, pr, pl);
  return thetae_on_satad(tl, pl);
}

}  // namespace

extern "C" {

int is_missing(float v) KAV_NOEXCEPT { return v == kMissing || !std::isfinite(v); }

float to_kelvin(float t) KAV_NOEXCEPT {
  return is_missing(t) ? kMissing : narrow(static_cast<double>(t) + CALC_KELVIN_0C);
}

float to_celsius(float t) KAV_NOEXCEPT {
  return is_missing(t) ? kMissing : narrow(static_cast<double>(t) - CALC_KELVIN_0C);
}

float vapor_pr(float t) KAV_NOEXCEPT {
  if (is_missing(t) || t < 0) return kMissing;
  if (t < 100) return 0;
  double k = t;
  double x = 23.832241 - 5.02808 * std::log10(k) -
             1.3816e-7 * std::pow(10.0, 11.344 - 0.0303998 * k) +
             0.008132801 * std::pow(10.0, 3.49149 - 1302.8844 / k) - 2949.076 / k;
  return narrow(std::pow(10.0, x));
}

float temp_vapor_pr(float e) KAV_NOEXCEPT {
  if (is_missing(e)) return kMissing;
  if (e <= 0) return 0;
  return narrow(temp_of_vapor(e));
}

float mix_ratio(float temp, float pr) KAV_NOEXCEPT {
  if (any_missing(temp, pr)) return kMissing;
  if (temp <= 0 || pr <= 0) return 0;
  float e = vapor_of(temp);
  float rest = pr - e;
  // Saturation at or beyond the pressure has no mixing ratio: the formula
  // would divide by zero or turn negative.
  if (rest <= 0) return kMissing;
  return narrow(622.0 * e / rest);
}

float spec_hum(float temp, float pr) KAV_NOEXCEPT {
  if (any_missing(temp, pr)) return kMissing;
  if (temp <= 0 || pr <= 0) return 0;
  float e = vapor_of(temp);
  if (is_missing(e)) return kMissing;
  return narrow(622.0 * e / pr);
}

float rel_hum(float t, float td) KAV_NOEXCEPT {
  if (any_missing(t, td) || t <= 0 || td <= 0) return kMissing;
  if (t <= 100 && td <= 100) return narrow(100.0f * td / t);
  float et = vapor_pr(t);
  if (et <= 0) return kMissing;  // t is not a temperature with a vapour pressure
  return narrow(100.0f * vapor_pr(td) / et);
}

float dew_temp(float temp, float rh) KAV_NOEXCEPT {
  if (any_missing(temp, rh) || temp <= 0) return kMissing;
  rh = std::clamp(rh, 2.0f, 100.0f);
  return temp_vapor_pr(vapor_pr(temp) * rh / 100.0f);
}

float temp_on_mixrat(float w, float pr) KAV_NOEXCEPT {
  if (any_missing(w, pr)) return kMissing;
  if (w <= 0 || pr <= 0) return 0;
  float wp = w * pr;
  double m = wp / (622.0 + static_cast<double>(w));
  return narrow(temp_of_vapor(m));
}

float pot_temp(float temp, float pr) KAV_NOEXCEPT {
  if (any_missing(temp, pr) || temp <= 0 || pr <= 0) return kMissing;
  return narrow(temp * std::pow(1000.0 / pr, 0.286));
}

float temp_on_dryad(float pot, float pr) KAV_NOEXCEPT {
  if (any_missing(pot, pr)) return kMissing;
  if (pot <= 0 || pr <= 0) return 0;
  return narrow(pot * std::pow(pr / 1000.0, 0.286));
}

float virt_temp(float temp, float dewp, float pr) KAV_NOEXCEPT {
  if (any_missing(temp, dewp, pr) || temp <= 0 || dewp < 0 || pr < 0) return kMissing;
  if (dewp == 0) return temp;
  float w = dewp <= 100 ? dewp : mix_ratio(dewp, pr);
  if (is_missing(w)) return kMissing;
  return narrow((1.0 + 0.609 * w / 1000.0) * temp);
}

float virt_pot_temp(float temp, float dewp, float pr) KAV_NOEXCEPT {
  if (any_missing(temp, dewp, pr) || temp <= 0 || dewp < 0 || pr < 0) return kMissing;
  if (dewp == 0) return pot_temp(temp, pr);
  if (pr <= 0) return kMissing;  // (1000/0)^0.286 has no value
  float tv = virt_temp(temp, dewp, pr);
  if (is_missing(tv)) return kMissing;
  return narrow(tv * std::pow(1000.0 / pr, 0.286));
}

float thetae_on_satad(float temp, float pr) KAV_NOEXCEPT {
  if (any_missing(temp, pr)) return kMissing;
  if (temp <= 0 || pr <= 0) return 0;
  float w = mix_ratio(temp, pr);
  if (is_missing(w)) return kMissing;
  return narrow(temp * std::pow(1000.0 / pr, 0.286) / std::exp(-2.6518986 * w / temp));
}

float temp_on_satad(float pot, float pr) KAV_NOEXCEPT {
  if (any_missing(pot, pr) || pot <= 0 || pr <= 0 || pr > 2000) return kMissing;
  double t = 253.16;
  double d = 120;
  for (int i = 0; i < 12; ++i) {
    float tf = narrow(t);
    float w = mix_ratio(tf, pr);
    // A guess whose saturation vapour pressure reaches the pressure has an
    // unbounded equivalent potential temperature: it is too warm.
    float f = -1;
    if (!is_missing(w)) f = narrow(pot * std::exp(-2.6518986 * w / t) - pot_temp(tf, pr));
    float f2 = f * f;
    if (static_cast<double>(f2) < 2e-5) break;
    d /= 2;
    t += f > 0 ? d : -d;
  }
  return narrow(t);
}

float lcl_pres(float ts, float tds, float ps) KAV_NOEXCEPT {
  if (any_missing(ts, tds, ps) || ts <= 100 || tds <= 100 || ps <= 0 || ps > 1100) return kMissing;
  float w = mix_ratio(tds, ps);
  if (is_missing(w)) return kMissing;
  float theta = pot_temp(ts, ps);
  float p = ps;
  float d = temp_on_mixrat(w, p) - temp_on_dryad(theta, p);
  for (int n = 0; n < 8 && static_cast<double>(d * d) > 0.0001; ++n) {
    p = narrow(p * std::pow(2.0, 0.02 * d));
    if (is_missing(p)) return kMissing;
    d = temp_on_mixrat(w, p) - temp_on_dryad(theta, p);
  }
  return p;
}

float lcl_temp(float ts, float ps, float pl) KAV_NOEXCEPT {
  return temp_on_dryad(pot_temp(ts, ps), pl);
}

float eq_pot_temp(float temp, float dewp, float pr) KAV_NOEXCEPT {
  if (any_missing(temp, dewp, pr) || temp <= 0 || dewp < 0 || pr < 0) return kMissing;
  if (dewp == 0) return pot_temp(temp, pr);
  return thetae_at_lcl(temp, dewp, pr);
}

float wet_bulb(float temp, float dewp, float pr) KAV_NOEXCEPT {
  if (any_missing(temp, dewp, pr) || temp <= 0 || dewp < 0 || pr < 0) return kMissing;
  if (dewp == 0) return 0;
  return temp_on_satad(thetae_at_lcl(temp, dewp, pr), pr);
}

float wet_bulb_pot_temp(float temp, float dewp, float pr) KAV_NOEXCEPT {
  if (any_missing(temp, dewp, pr) || temp <= 0 || dewp < 0 || pr < 0) return kMissing;
  if (dewp == 0) return 0;
  return temp_on_satad(thetae_at_lcl(temp, dewp, pr), 1000);
}

float conv_temp(float wbar, float pc, float pr) KAV_NOEXCEPT {
  float t = temp_on_mixrat(wbar, pc);
  return temp_on_dryad(pot_temp(t, pc), pr);
}

float heat_index(float temp, float dewp) KAV_NOEXCEPT {
  if (any_missing(temp, dewp) || temp < 0 || dewp < 0 || dewp > temp) return kMissing;
  float es = vapor_pr(temp);
  if (es <= 0) return kMissing;  // no vapour pressure below 100 K: R undefined
  float t = fahrenheit(temp);
  float r = narrow(100.0f * vapor_pr(dewp) / es);
  if (any_missing(t, r)) return kMissing;
  double h = 0.0936 * r + (static_cast<double>(t - 68.0f) * 1.2 + 60.8);
  if (h < 77) return kelvin_of_f(h);
  float t2 = t * t, t3 = t2 * t, r2 = r * r, r3 = r2 * r;
  h = 16 + 0.185212 * t + 5.37941 * r - 0.100254 * t * r + 0.00941695 * t2 + 0.00728898 * r2 +
      0.000345372 * t2 * r - 0.000814971 * t * r2 + 1.02102e-5 * t2 * r2 - 3.8646e-5 * t3 +
      2.91583e-5 * r3 + 1.42721e-6 * t3 * r + 1.97483e-7 * t * r3 - 2.18429e-8 * t3 * r2 +
      8.43296e-10 * t2 * r3 - 4.81975e-11 * t3 * r3;
  if (h == kMissing) return kMissing;
  return kelvin_of_f(h);
}

float humiture(float temp, float dewp) KAV_NOEXCEPT {
  if (any_missing(temp, dewp) || temp < 0 || dewp < 0) return kMissing;
  float h = vapor_pr(dewp) - 21.0f;
  float t = fahrenheit(temp);
  if (is_missing(t)) return kMissing;
  return h >= 0 ? t + h : t;
}

float temp_hum_index(float temp, float dewp) KAV_NOEXCEPT {
  if (any_missing(temp, dewp) || temp < 0 || dewp < 0) return kMissing;
  return narrow(17.5 + (0.55 * temp + 0.2 * dewp));
}

float sfc_pr_alt(float alt, float el) KAV_NOEXCEPT {
  if (any_missing(alt, el) || alt <= 0) return kMissing;
  double base = (288.15 - 0.0065 * el) / 288.15;
  if (base <= 0) return kMissing;  // above the top of the standard atmosphere
  return narrow(alt * std::pow(base, 5.2558));
}

float pres_alt(float pres) KAV_NOEXCEPT {
  if (is_missing(pres) || pres <= 0) return kMissing;
  if (static_cast<double>(pres) < 226.32)
    return narrow(11000.0 + 6341.62 * std::log(226.32 / pres));
  float t = narrow(288.15 * std::pow(pres / 1013.25, 0.190263));
  return narrow((288.15 - t) / 0.0065);
}

float interp_temp(float t1, float t2, float p1, float p2, float pr) KAV_NOEXCEPT {
  if (any_missing(p1, p2) || p1 <= 0 || p2 <= 0) return kMissing;
  if (is_missing(t1) && is_missing(t2)) return kMissing;
  if (is_missing(t1)) return t2;
  if (is_missing(t2)) return t1;
  // No line through two points at one pressure, no logarithm of pr <= 0.
  if (is_missing(pr) || pr <= 0 || p1 == p2) return kMissing;
  float dt = t2 - t1;
  float q1 = pr / p1;
  float q2 = p1 / p2;
  return narrow(t1 - dt * std::log(q1) / std::log(q2));
}

float calc_earth_dist(float lat1, float lon1, float lat2, float lon2) KAV_NOEXCEPT {
  if (any_missing(lat1, lon1) || any_missing(lat2, lon2)) return kMissing;
  constexpr double rad = 0.017453292519943334;
  auto unit = [](float lat, float lon, float v[3]) {
    double phi = lat * rad, lam = lon * rad;
    v[0] = narrow(std::cos(phi) * std::cos(lam));
    v[1] = narrow(std::cos(phi) * std::sin(lam));
    v[2] = narrow(std::sin(phi));
  };
  float a[3], b[3];
  unit(lat1, lon1, a);
  unit(lat2, lon2, b);
  float c = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  // Rounding can carry the cosine just past +-1, where acos has no value.
  c = std::clamp(c, -1.0f, 1.0f);
  return narrow(100.0 * std::acos(static_cast<double>(c)) * 63.713);
}

}  // extern "C"
