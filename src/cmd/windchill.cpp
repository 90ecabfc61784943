// windchill: the wind chill from an air temperature (F) and a wind speed
// (knots), given on the command line or typed at prompts, with an optional
// table for temperatures from 40 F down to -30 F and winds of 5 to 40 knots.
// Exit codes: 0 done, 60 invalid temperature, 64 invalid wind speed, 74
// standard output could not be written.
#include <kav/calc.h>
#include <kav/flag.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>
#include <kav/system.h>

#include <cmath>
#include <cstdlib>

namespace {

const res_type kKeyed[] = {RES_help,  RES_batch,     RES_message, RES_file_path,
                           RES_table, RES_parameter, RES_null};
const res_type kPositional[] = {RES_values, RES_null};

constexpr float kMissing = KAV_MISSING;
constexpr double kMsPerKnot = 0.5144;  // the command's knot, in m/s

// The values the command takes from its command line: temperatures inside
// (kLowestF, kHighestF) degrees F and winds inside (0, kFastestKt) knots.
constexpr float kLowestF = -200.0f;
constexpr double kHighestF = 91.4;
constexpr float kFastestKt = 50.0f;

enum Formula { kWcval = 0, kWctemp = 1, kWctemp2 = 2 };

float f_to_k(float f) {
  return f == kMissing ? kMissing
                       : static_cast<float>(CALC_KELVIN_0C + 5.0 * (f - CALC_FAHRENHEIT_0C) / 9.0);
}
float kt_to_ms(float kt) { return kt == kMissing ? kMissing : static_cast<float>(kMsPerKnot * kt); }
float k_to_f(float k) {
  return k == kMissing ? kMissing
                       : static_cast<float>(CALC_FAHRENHEIT_0C + 9.0 * (k - CALC_KELVIN_0C) / 5.0);
}

// The wind chill shown for a temperature (F) and a speed (knots). The two
// equivalent temperatures come back in F. The heat-loss index is shown in its
// own unit, W/m^2; where it does not apply (calm air, or air above skin
// temperature) the index is the air temperature itself, shown in F too.
float chill(Formula formula, float t, float s) {
  float tk = f_to_k(t);
  float ms = kt_to_ms(s);
  float w;
  switch (formula) {
    case kWcval:
      w = wind_chill(tk, ms);
      if (w == kMissing) return kMissing;
      if (static_cast<double>(ms) < CALC_WC_CALM_SPEED ||
          static_cast<double>(tk) > CALC_WC_SKIN_TEMP)
        return k_to_f(w);
      return w;
    case kWctemp:
      w = wind_chill_temp(tk, ms);
      break;
    default:
      w = wind_chill_temp2(tk, ms);
      break;
  }
  return w == kMissing ? kMissing : k_to_f(w);
}

void print_table(Formula formula) {
  MESS_print(M_OUT1, "           Wind Chill\n");
  MESS_print(M_OUT1, "          Temperature(F)\n    ");
  for (float t = 40; t >= -30; t -= 5) MESS_print(M_OUT1, "%4.0f ", static_cast<double>(t));
  MESS_print(M_OUT1, "\nWind(knots)\n");
  for (float s = 5; s <= 40; s += 5) {
    MESS_print(M_OUT1, "%3.0f:", static_cast<double>(s));
    for (float t = 40; t >= -30; t -= 5)
      MESS_print(M_OUT1, "%4.0f ", static_cast<double>(chill(formula, t, s)));
    MESS_print(M_OUT1, "\n");
  }
  MESS_print(M_OUT1, "\n");
}

Formula read_formula() {
  Formula formula = kWctemp2;
  int n = 0;
  char **items = nullptr;
  RES_getvals("parameter", &n, &items);
  for (int i = 0; i < n; ++i) {
    if (stricmp(items[i], "wcval") == 0)
      formula = kWcval;
    else if (stricmp(items[i], "wctemp") == 0)
      formula = kWctemp;
    else if (stricmp(items[i], "wctemp2") == 0)
      formula = kWctemp2;
  }
  free_parsed_array(n, items);
  return formula;
}

}  // namespace

int main(int argc, char **argv) {
  float temp = kMissing;
  float spd = kMissing;
  int table = 0;
  char temp_str[50];

  RES_init(argc, argv, kKeyed, kPositional);

  if (FLAG_help()) {
    RES_get_prognamen(temp_str, sizeof temp_str);
    MESS_print(M_PRINT, "%s: This program calculates the wind chill given temperature\n", temp_str);
    MESS_print(M_PRINT, "       and wind speed\n");
    RES_help_print(temp_str, kKeyed, kPositional);
    MESS_print(M_PRINT, " temp        Specifies the temperature in F\n");
    MESS_print(M_PRINT, " wind        Specifies the wind speed in knots\n");
    KAV_exit(0);
  }

  int n = 0;
  char **values = nullptr;
  RES_getvals("value", &n, &values);
  if (n >= 1) temp = static_cast<float>(std::atof(values[0]));
  if (n >= 2) spd = static_cast<float>(std::atof(values[1]));
  free_parsed_array(n, values);
  Formula formula = read_formula();
  RES_getval("table", &table, CV_bool);

  // Two values and nothing else asked for: only the number is printed.
  if (temp != kMissing && spd != kMissing && table == 0 && MESS_check_set() == 0)
    MESS_set(0, M_WARN);

  MESS_print_prog("WIND CHILL CALCULATION");

  if ((temp == kMissing && spd == kMissing) || table) {
    print_table(formula);
    if (table && temp == kMissing && spd == kMissing) KAV_exit(0);
  }
  if (FLAG_batch() && temp == kMissing && spd == kMissing) KAV_exit(0);

  if (temp != kMissing) {
    if (!std::isfinite(temp) || temp <= kLowestF || static_cast<double>(temp) >= kHighestF) {
      MESS_print(M_ERROR, "Invalid temperature:%f\n", static_cast<double>(temp));
      KAV_exit(60);
    }
    MESS_print(M_MESS, "Temperature (F): %5.1f\n", static_cast<double>(temp));
  } else {
    temp = KAV_promptf("Enter the temperature (F): ");
  }

  if (spd != kMissing) {
    if (!std::isfinite(spd) || spd <= 0.0f || spd >= kFastestKt) {
      MESS_print(M_ERROR, "Invalid wind speed:%f\n", static_cast<double>(spd));
      KAV_exit(64);
    }
    MESS_print(M_MESS, "Wind speed (knots): %5.1f\n", static_cast<double>(spd));
  } else {
    spd = KAV_promptf("Enter the wind speed (knots): ");
  }

  if (temp == kMissing && spd == kMissing) KAV_exit(0);

  float wc = chill(formula, temp, spd);
  MESS_print(M_MESS, "Wind Chill (F): ");
  MESS_print(M_PRINT, "%2.1f\n", static_cast<double>(wc));
  KAV_exit(0);
}
