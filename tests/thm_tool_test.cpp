// The sounding analysis: the two real ascents against an independent parcel
// ascent (tests/data/thm_tool_reference.txt, scripts/sounding_reference.py),
// idealised soundings whose energy and helicity are worked out by hand, the
// report texts and their risk boundaries, the KAVRAW file round trip, the
// parcel choice, and the faults that must not come back.
#include <gtest/gtest.h>
#include <kav/calc.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/thm_tool.h>
#include <kav/ua_calc.h>
#include <kav/ua_read.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

constexpr float M = KAV_MISSING;

std::vector<UPA_level> load_ascent(const std::string &name) {
  std::vector<UPA_level> s(THERM_MAX_LEVELS);
  char id[20];
  Date date;
  int n = UPA_read_text((std::string(KAV_TEST_DATA) + "/" + name).c_str(), s.data(),
                        THERM_MAX_LEVELS, id, sizeof id, &date);
  s.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return s;
}

// The lowest level with a temperature: the surface of a tabular ascent.
float surface_of(const std::vector<UPA_level> &s) {
  for (const auto &l : s)
    if (l.t != M) return l.p;
  return M;
}

// Heights by the hypsometric equation in the plain temperature from h0 at
// the first level.
void add_heights(std::vector<UPA_level> &s, float h0) {
  s[0].h = h0;
  for (size_t i = 1; i < s.size(); ++i) {
    double tm = (s[i - 1].t + s[i].t) / 2.0 + 273.15;
    s[i].h = static_cast<float>(s[i - 1].h + 287.04 / 9.80665 * tm * std::log(s[i - 1].p / s[i].p));
  }
}

struct Analysis {
  std::vector<UPA_level> sm, wm;
  void install(int par_type, float thick = 100) {
    RES_put("plot_param", "");
    THERM_set_parcel(par_type, thick, nullptr);
    load();
  }
  // Installs and analyses with the parcel choice as it stands.
  void load() {
    THERM_set_data(surface_of(sm), sm.data(), static_cast<int>(sm.size()), wm.data(),
                   static_cast<int>(wm.size()));
    THERM_calc();
  }
};

Analysis ascent(const std::string &name) {
  Analysis a;
  a.sm = load_ascent(name);
  for (const auto &l : a.sm)
    if (l.dir != M && l.spd != M) a.wm.push_back(l);
  return a;
}

class ThermTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static bool init = false;
    if (!init) {
      char prog[] = "thm_tool_test";
      char *argv[] = {prog, nullptr};
      const res_type keys[] = {RES_plot_param, RES_out_file, RES_null};
      const res_type pos[] = {RES_null};
      kavtest::ScopedEnv env("kavdefault", "/nonexistent");
      RES_init(1, argv, keys, pos);
      init = true;
    }
    MESS_set(0, M_WARN);
    MESS_set_page(0);
    RES_put("plot_param", "");
    RES_put("out_file", "");
  }
};

// ---- The real ascents against the independent reference ----

struct RefRow {
  std::string file, parcel;
  float plcl, cape, lfc, el, pw;
};

std::vector<RefRow> reference_rows() {
  std::vector<RefRow> rows;
  std::ifstream in(std::string(KAV_TEST_DATA) + "/thm_tool_reference.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    RefRow r;
    std::string lfc;
    ss >> r.file >> r.parcel >> r.plcl >> r.cape >> lfc >> r.el >> r.pw;
    r.lfc = lfc == "-" ? M : std::stof(lfc);
    rows.push_back(r);
  }
  return rows;
}

TEST_F(ThermTest, RealAscentsMatchAnIndependentParcelAscent) {
  auto rows = reference_rows();
  ASSERT_EQ(rows.size(), 4u);
  for (const auto &r : rows) {
    SCOPED_TRACE(r.file + " " + r.parcel);
    Analysis a = ascent(r.file);
    ASSERT_GT(a.sm.size(), 80u);
    a.install(r.parcel == "sfc" ? 1 : 2, 100);
    const THERM_values *v = THERM_get_values();
    const PARCEL_params &p = v->parcel;
    EXPECT_NEAR(p.plcl, r.plcl, 2.0);
    // Two independent formula families for the moist adiabat and the
    // buoyancy agree to a few per cent.
    EXPECT_NEAR(p.Bplus, r.cape, 0.06 * r.cape);
    EXPECT_NEAR(p.el, r.el, 12);
    if (r.lfc != M) {
      EXPECT_NEAR(p.lfc, r.lfc, 12);
    }
    EXPECT_NEAR(v->precip, r.pw, 0.02 * r.pw);
    EXPECT_NEAR(p.wmax, std::sqrt(2 * p.Bplus), 0.01);
    // The maximum parcel level lies above the equilibrium level, where the
    // net energy has fallen to zero.
    EXPECT_LT(p.mpl, p.el);
    EXPECT_LE(p.Bmpl, 0);
    EXPECT_GT(p.Bel, 0);
  }
}

// The literal rule would stop at the first negative step above the free
// convection level: on the OAX ascent a stable pocket of about 0.2 K near
// 746 mb. The equilibrium level is the top of the highest buoyant layer.
TEST_F(ThermTest, EquilibriumLevelCrossesTheShallowStablePocket) {
  Analysis a = ascent("ua_oax_2014061619.txt");
  a.install(2, 100);
  const PARCEL_params &p = THERM_get_values()->parcel;
  EXPECT_GT(p.lfc, 700);
  EXPECT_LT(p.lfc, 730);
  EXPECT_LT(p.el, 200);  // not ~746 mb
  // The pocket's negative energy is subtracted from the net energy at the
  // equilibrium level, not from the positive area.
  EXPECT_LT(p.Bel, p.Bplus);
  EXPECT_GT(p.Bel, p.Bplus - 100);
  EXPECT_GT(p.Bplus, 3000);
}

TEST_F(ThermTest, RealAscentIndicesByHand) {
  Analysis a = ascent("ua_oax_2014061619.txt");
  a.install(1);
  const THERM_values *v = THERM_get_values();
  // 500 mb at 5820 m, 1000 mb at 34 m.
  EXPECT_NEAR(v->thick, 5820 - 34, 0.5);
  // T850 21.0, Td850 14.0, T700 10.6? read from the file: the indices of the
  // mandatory levels.
  UPA_level l850, l700, l500;
  UPA_interp(a.sm.data(), static_cast<int>(a.sm.size()), 100, 850, &l850);
  UPA_interp(a.sm.data(), static_cast<int>(a.sm.size()), 100, 700, &l700);
  UPA_interp(a.sm.data(), static_cast<int>(a.sm.size()), 100, 500, &l500);
  EXPECT_NEAR(v->tt, l850.t + l850.td - 2 * l500.t, 1e-4);
  EXPECT_NEAR(v->k, (l850.t - l500.t) + l850.td - (l700.t - l700.td), 1e-4);
  // 700-500 lapse rate in C/km.
  EXPECT_NEAR(v->lapse57, 1000 * (l700.t - l500.t) / (l500.h - l700.h), 1e-3);
  // Freezing level between the levels that straddle 0 C.
  EXPECT_GT(v->frz, 500);
  EXPECT_LT(v->frz, 650);
  EXPECT_GT(v->max_t, 30);
  EXPECT_LT(v->max_t, 40);
  EXPECT_NE(v->helicity.pos_hel, M);
  EXPECT_NE(v->brn, M);
  EXPECT_NE(v->ehi, M);
}

// ---- Idealised soundings ----

// From 1000 mb to the top (200 mb) every 10 mb.
std::vector<UPA_level> column(float (*temp)(float p), float (*dew)(float t, float p),
                              float top = 200) {
  std::vector<UPA_level> s;
  for (float p = 1000; p >= top; p -= 10) {
    float t = temp(p);
    s.push_back(UPA_level{p, M, t, dew(t, p), M, M});
  }
  add_heights(s, 100);
  return s;
}

TEST_F(ThermTest, DryAdiabaticSoundingHasNoFreeConvection) {
  // Air too dry to condense below the sounding's top at 500 mb: the parcel
  // rides the environment's own dry adiabat.
  auto s = column([](float p) { return temp_on_dryad(300, p) - 273.15f; },
                  [](float t, float) { return t - 55; }, 500);
  PARCEL_params pp;
  ASSERT_EQ(parcel_calc(s.data(), static_cast<int>(s.size()), nullptr, 100, 1000, 0, &pp), 1);
  EXPECT_LT(pp.plcl, 500);  // above the top: no step is taken there
  EXPECT_EQ(pp.lfc, -1);
  EXPECT_EQ(pp.el, M);
  EXPECT_EQ(pp.mpl, M);
  EXPECT_LT(pp.Bplus, 0.5);
  EXPECT_LT(pp.Bminus, 0.5);
  EXPECT_EQ(pp.wmax, pp.Bplus > 0 ? std::sqrt(2 * pp.Bplus) : 0);
}

float moist_t(float p) { return temp_on_satad(thetae_on_satad(298.15f, 1000), p) - 273.15f; }

TEST_F(ThermTest, SaturatedMoistAdiabaticSoundingHasNearZeroAreas) {
  auto s = column(moist_t, [](float t, float) { return t; });
  PARCEL_params pp;
  ASSERT_EQ(parcel_calc(s.data(), static_cast<int>(s.size()), nullptr, 100, 1000, 0, &pp), 1);
  EXPECT_NEAR(pp.plcl, 1000, 1);
  EXPECT_LT(pp.Bplus, 15);
  EXPECT_LT(pp.Bminus, 15);
}

TEST_F(ThermTest, EnvironmentOneKelvinColderThanTheMoistAdiabat) {
  auto s = column([](float p) { return moist_t(p) - 1; }, [](float t, float) { return t; });
  // The parcel starts saturated on the adiabat at 1000 mb.
  UPA_level start{1000, 100, moist_t(1000), moist_t(1000), M, M};
  PARCEL_params pp;
  ASSERT_EQ(parcel_calc(s.data(), static_cast<int>(s.size()), &start, 100, 1000, 0, &pp), 1);
  // CAPE = sum of g dz * 1 K / T over the column the ascent climbs (its 10 mb
  // steps stop below the top level at 200 mb). The saturated adiabat found by
  // bisection to a few hundredths of a kelvin allows a few per cent.
  double expect = 0;
  for (size_t i = 1; i + 1 < s.size(); ++i)
    expect += 9.8 * (s[i].h - s[i - 1].h) / ((s[i].t + s[i - 1].t) / 2 + 273.15);
  EXPECT_NEAR(pp.Bplus, expect, 0.04 * expect);
  EXPECT_NEAR(pp.lfc, 995, 6);
  EXPECT_EQ(pp.el, M);  // buoyant to the top
  EXPECT_EQ(pp.cap, 0);
}

// ---- Hodographs worked out by hand ----

// Wind levels every 100 m from 0 to 3000 m (pressures from a standard
// atmosphere) with the given wind at each height.
std::vector<UPA_level> hodograph(void (*wind)(float z, float *dir, float *spd)) {
  std::vector<UPA_level> s;
  for (float z = 0; z <= 3000; z += 100) {
    UPA_level l{static_cast<float>(1000 * std::exp(-z / 8000.0)), z, 20, 10, 0, 0};
    wind(z, &l.dir, &l.spd);
    s.push_back(l);
  }
  return s;
}

TEST_F(ThermTest, UnidirectionalHodographHelicity) {
  // From the west, 0 to 40 knots linearly over 3 km.
  auto s = hodograph([](float z, float *d, float *v) {
    *d = 270;
    *v = 40 * z / 3000;
  });
  int n = static_cast<int>(s.size());
  HELICITY_params hp;
  // A storm on the hodograph line: no helicity.
  WIND on_line{270, 20};
  EXPECT_EQ(helicity(s.data(), n, 103, 0, 3000, &on_line, &hp), 1);
  EXPECT_NEAR(hp.pos_hel, 0, 1e-3);
  EXPECT_NEAR(hp.neg_hel, 0, 1e-3);
  // A storm moving south at 10 knots (cv = -5.144 m/s): SRH = -cv * U with
  // U = 40 knots = 20.576 m/s, 105.84 m2/s2.
  WIND south{360, 10};
  EXPECT_EQ(helicity(s.data(), n, 103, 0, 3000, &south, &hp), 1);
  EXPECT_NEAR(hp.tot_hel, 5.144 * 20.576, 0.05);
  EXPECT_NEAR(hp.neg_hel, 0, 1e-3);
  EXPECT_NEAR(hp.ave_hel, hp.tot_hel / 3000, 1e-5);
  // Moving north instead: the same amount negative.
  WIND north{180, 10};
  helicity(s.data(), n, 103, 0, 3000, &north, &hp);
  EXPECT_NEAR(hp.tot_hel, -5.144 * 20.576, 0.05);
  // Veering shear none, all of it in one direction.
  SHEAR_params sh;
  EXPECT_EQ(shear_layer(s.data(), n, 103, 0, 3000, nullptr, &sh), 1);
  EXPECT_NEAR(sh.pos_shr + sh.neg_shr, 20.576 / 3000, 1e-4);
}

TEST_F(ThermTest, CircularHodographHelicity) {
  // 20 knots veering from 180 to 270 degrees over 3 km, storm at rest: each
  // 100 m step turns 3 degrees, SRH = 30 S^2 sin 3 deg with S = 10.288 m/s.
  auto veer = hodograph([](float z, float *d, float *v) {
    *d = 180 + 90 * z / 3000;
    *v = 20;
  });
  WIND calm{0, 0};
  HELICITY_params hp;
  ASSERT_EQ(helicity(veer.data(), static_cast<int>(veer.size()), 103, 0, 3000, &calm, &hp), 1);
  double s2 = 10.288 * 10.288;
  EXPECT_NEAR(hp.pos_hel, 30 * s2 * std::sin(3 * M_PI / 180), 0.05);
  EXPECT_NEAR(hp.neg_hel, 0, 1e-4);
  EXPECT_NEAR(hp.dir_shr, 90, 0.01);
  // Pure turning: the streamwise part is all the vorticity.
  EXPECT_NEAR(hp.rel_hel, 1, 1e-4);
  EXPECT_NEAR(hp.stm_vort, 10.288 * (3 * M_PI / 180) / 100, 1e-6);
  // Backing the other way round: the same helicity, negative.
  auto back = hodograph([](float z, float *d, float *v) {
    *d = 270 - 90 * z / 3000;
    *v = 20;
  });
  helicity(back.data(), static_cast<int>(back.size()), 103, 0, 3000, &calm, &hp);
  EXPECT_NEAR(hp.neg_hel, -30 * s2 * std::sin(3 * M_PI / 180), 0.05);
  EXPECT_NEAR(hp.dir_shr, -90, 0.01);
}

TEST_F(ThermTest, StormMotionFromTheMeanWind) {
  // 350 degrees at 40 knots through 8 km: storm from 20 degrees at 30.
  std::vector<UPA_level> s;
  for (float z = 0; z <= 8000; z += 500)
    s.push_back(UPA_level{static_cast<float>(1000 * std::exp(-z / 8000.0)), z, 20 - z / 150,
                          10 - z / 150, 350, 40});
  THERM_set_data(1000, s.data(), static_cast<int>(s.size()), s.data(), static_cast<int>(s.size()));
  EXPECT_NEAR(THERM_get_mean6()->dir, 350, 0.01);
  EXPECT_NEAR(THERM_get_storm()->dir, 20, 0.01);
  EXPECT_NEAR(THERM_get_storm()->spd, 30, 0.01);
  // Without winds the storm motion is missing.
  for (auto &l : s) l.dir = l.spd = M;
  THERM_set_data(1000, s.data(), static_cast<int>(s.size()), s.data(), static_cast<int>(s.size()));
  EXPECT_EQ(THERM_get_storm()->dir, M);
  EXPECT_EQ(THERM_get_storm()->spd, M);
}

// ---- Reports ----

std::string report(int (*fn)(void)) {
  return kavtest::capture([fn] { fn(); }).out;
}

TEST_F(ThermTest, RiskWordsAtTheirBoundaries) {
  Analysis a = ascent("ua_bna_2014072800.txt");
  a.install(2);
  MESS_set(0, M_OUT4);
  THERM_values *v = THERM_get_values();
  struct Row {
    float li, si, tt, k, sweat, ei;
    const char *expect[6];
  } rows[] = {
      {2,
       3,
       44,
       35,
       400,
       0,
       {"Lifted Index:              2.00 C Risk: Showers probable\n",
        "Showalter Index:           3.00 C Risk: Showers probable\n",
        "Total Totals Index:       44.00 C Risk: Scattered moderate thunderstorms\n",
        "K Index:                  35.00   Risk: > 80 % chance of thunderstorms\n",
        "Sweat Index:             400.00   Risk: Severe Thunderstorms possible\n",
        "Energy Index:              0.00   Risk: Scattered severe thunderstorms\n"}},
      {-4,
       -6,
       55,
       15,
       300,
       -2,
       {"Lifted Index:             -4.00 C Risk: Severe thunderstorms probable\n",
        "Showalter Index:          -6.00 C Risk: Severe thunderstorms probable\n",
        "Total Totals Index:       55.00 C Risk: Severe Thunderstorms probable\n",
        "K Index:                  15.00   Risk: < 20 % chance of thunderstorms\n",
        "Sweat Index:             300.00   Risk: Showers and thunderstorms possible\n",
        "Energy Index:             -2.00   Risk: Severe Thunderstorms probable\n"}},
      {2.01f,
       3.01f,
       43.99f,
       14.99f,
       299.99f,
       0.01f,
       {"Lifted Index:              2.01 C Risk: None\n",
        "Showalter Index:           3.01 C Risk: None\n",
        "Total Totals Index:       43.99 C Risk: None\n",
        "K Index:                  14.99   Risk: None\n",
        "Sweat Index:             299.99   Risk: None\n",
        "Energy Index:              0.01   Risk: None\n"}},
      {0,
       -2,
       49,
       30,
       0,
       -1,
       {"Lifted Index:              0.00 C Risk: Thunderstorms probable\n",
        "Showalter Index:          -2.00 C Risk: Severe thunderstorms possible\n",
        "Total Totals Index:       49.00 C Risk: Scattered heavy thunderstorms\n",
        "K Index:                  30.00   Risk: 60-80 % chance of thunderstorms\n",
        "Sweat Index:               0.00   Risk: None\n",
        "Energy Index:             -1.00   Risk: Scattered severe thunderstorms\n"}},
  };
  for (const auto &r : rows) {
    v->li = r.li;
    v->si = r.si;
    v->tt = r.tt;
    v->k = r.k;
    v->sweat = r.sweat;
    v->ei = r.ei;
    std::string out = report(THERM_indices);
    for (const char *e : r.expect) EXPECT_NE(out.find(e), std::string::npos) << e << "\n" << out;
  }
}

TEST_F(ThermTest, IndexReportOfARealAscent) {
  Analysis a = ascent("ua_oax_2014061619.txt");
  a.install(1);
  MESS_set(0, M_OUT4);
  std::string out = report(THERM_indices);
  for (const char *e :
       {"\nSounding variables and indices\n", "1000-500 mb thick:      5786.00 m\n",
        "Parcel: using surface\n", "CAPE (B+):", "Lev Free Conv (LFC):", "Equ Level (EL):",
        "Max Parcel Lev (MPL):", "Precipitable water:        1.50 inches\n"})
    EXPECT_NE(out.find(e), std::string::npos) << e;
  EXPECT_EQ(out.find("-9999"), std::string::npos) << out;
  EXPECT_EQ(out.find("Surface below freezing"), std::string::npos);
  std::string wind = report(THERM_wind);
  EXPECT_NE(wind.find("Storm rel helicity (0-3000m) pos:"), std::string::npos);
  std::string table = report(THERM_storm_table);
  EXPECT_NE(table.find("\nStorm Parameters\n"), std::string::npos);
  EXPECT_EQ(table.find("NO DATA"), std::string::npos);
  EXPECT_NE(table.find("6000  "), std::string::npos);
}

TEST_F(ThermTest, WarmLayerAloftPrintsThreeFreezingLevels) {
  std::vector<UPA_level> s = {{1000, 100, 5, 0, M, M},
                              {900, 900, -2, -4, M, M},
                              {850, 1350, 3, 1, M, M},
                              {700, 2900, -8, -12, M, M},
                              {500, 5500, -25, -30, M, M}};
  THERM_set_data(1000, s.data(), 5, s.data(), 5);
  THERM_calc();
  MESS_set(0, M_OUT4);
  std::string out = report(THERM_indices);
  size_t count = 0;
  for (size_t at = out.find("Freezing level:"); at != std::string::npos;
       at = out.find("Freezing level:", at + 1))
    ++count;
  EXPECT_EQ(count, 3u) << out;
  EXPECT_EQ(out.find("Surface below freezing"), std::string::npos);
}

TEST_F(ThermTest, SurfaceBelowFreezingOnlyForAKnownTemperature) {
  std::vector<UPA_level> s = {
      {1000, 100, -5, -8, M, M}, {850, 1350, -10, -15, M, M}, {500, 5500, -30, -40, M, M}};
  THERM_set_data(1000, s.data(), 3, s.data(), 3);
  THERM_calc();
  MESS_set(0, M_OUT4);
  EXPECT_NE(report(THERM_indices).find("Freezing level:      Surface below freezing\n"),
            std::string::npos);
  s[0].t = M;
  THERM_set_data(1000, s.data(), 3, s.data(), 3);
  THERM_calc();
  EXPECT_EQ(report(THERM_indices).find("Surface below freezing"), std::string::npos);
}

TEST_F(ThermTest, StormTableWithoutWindsAloftSaysNoData) {
  Analysis a = ascent("ua_bna_2014072800.txt");
  // Winds only in the lowest 2 km.
  std::vector<UPA_level> low;
  for (const auto &l : a.wm)
    if (l.h < 210 + 2000) low.push_back(l);
  a.wm = low;
  a.install(2);
  MESS_set(0, M_OUT4);
  std::string table = report(THERM_storm_table);
  EXPECT_NE(table.find("1000  "), std::string::npos);
  EXPECT_NE(table.find("6000   NO DATA       | "), std::string::npos) << table;
}

// ---- The parcel choice ----

TEST_F(ThermTest, ParcelChoiceFromPlotParam) {
  Analysis a = ascent("ua_oax_2014061619.txt");
  int n = static_cast<int>(a.sm.size());
  float ps = surface_of(a.sm);
  struct Row {
    const char *item;
    int type;
    float thick;
  } rows[] = {{"par=850:20:15", 5, 100}, {"par=layer:50", 2, 50},
              {"par=maxt", 3, 50},       {"par", 1, 50},
              {"par=", 1, 50},           {"par=sfc", 1, 50},
              {"par=mu", 4, 50},         {"PAR=Layer:75", 2, 75}};
  THERM_set_parcel(2, 100, nullptr);
  for (const auto &r : rows) {
    SCOPED_TRACE(r.item);
    RES_put("plot_param", r.item);
    THERM_set_data(ps, a.sm.data(), n, a.wm.data(), static_cast<int>(a.wm.size()));
    EXPECT_EQ(THERM_get_parcel_type(), r.type);
    EXPECT_EQ(THERM_get_parcel_thick(), r.thick);
    THERM_calc();
    const UPA_level *par = THERM_get_parcel();
    if (r.type == 5) {
      EXPECT_EQ(par->p, 850);
      EXPECT_EQ(par->t, 20);
      EXPECT_EQ(par->td, 15);
    }
    if (r.type == 1) {
      EXPECT_EQ(par->p, ps);
    }
    if (r.type == 3) {
      EXPECT_NEAR(par->t, THERM_get_values()->max_t, 1e-4);
    }
    EXPECT_NE(THERM_get_values()->parcel.Bplus, M);
  }
  // Invalid items are refused with a warning and change nothing.
  for (const char *bad : {"par=abc", "par=layer:-5", "par=layer", "par=5000", "par=850x"}) {
    RES_put("plot_param", bad);
    kavtest::Captured c = kavtest::capture([] { EXPECT_EQ(THERM_param(), -1); });
    EXPECT_NE(c.err.find("THERM_param: Invalid parcel"), std::string::npos) << bad;
    EXPECT_EQ(THERM_get_parcel_type(), 2);
  }
}

// A parcel level chosen by pressure takes the temperature and dew point of
// the sounding being analysed, never those of the previous one's surface.
TEST_F(ThermTest, GivenLevelParcelTakesTheNewSounding) {
  Analysis oax = ascent("ua_oax_2014061619.txt");
  Analysis bna = ascent("ua_bna_2014072800.txt");
  RES_put("plot_param", "par=850");
  oax.load();
  bna.load();
  UPA_level l850;
  UPA_interp(bna.sm.data(), static_cast<int>(bna.sm.size()), 100, 850, &l850);
  const UPA_level *par = THERM_get_parcel();
  EXPECT_EQ(par->p, 850);
  EXPECT_FLOAT_EQ(par->t, l850.t);
  EXPECT_FLOAT_EQ(par->td, l850.td);
}

// A new sounding starts from empty results: nothing of the previous
// sounding's parcel, helicity or Richardson number stays.
TEST_F(ThermTest, NewSoundingClearsEveryResult) {
  Analysis oax = ascent("ua_oax_2014061619.txt");
  oax.install(2);
  ASSERT_NE(THERM_get_values()->parcel.Bplus, M);
  std::vector<UPA_level> bare = {{1000, 100, 20, M, M, M}, {500, 5500, -20, M, M, M}};
  THERM_set_data(1000, bare.data(), 2, bare.data(), 2);
  const THERM_values *v = THERM_get_values();
  EXPECT_EQ(v->parcel.Bplus, M);
  EXPECT_EQ(v->parcel.el, M);
  EXPECT_EQ(v->helicity.pos_hel, M);
  EXPECT_EQ(v->shear.pos_shr, M);
  EXPECT_EQ(v->brn, M);
  EXPECT_EQ(v->bshear, M);
  EXPECT_EQ(v->ehi, M);
  EXPECT_EQ(v->thetae.index, M);
  THERM_calc();
  // A parcel without a dew point cannot be lifted.
  EXPECT_EQ(v->parcel.Bplus, M);
  EXPECT_EQ(v->parcel.lfc, M);
  EXPECT_EQ(v->helicity.pos_hel, M);
}

TEST_F(ThermTest, SurfaceCoordinateIsTheInstalledSurface) {
  Analysis bna = ascent("ua_bna_2014072800.txt");
  bna.install(1);
  UPA_level l;
  int k = UPA_interp(bna.sm.data(), static_cast<int>(bna.sm.size()), 1, 0, &l);
  EXPECT_EQ(l.p, 989);
  EXPECT_EQ(l.t, 32.6f);
  EXPECT_EQ(k, 1);  // the level at the surface pressure
  EXPECT_EQ(THERM_get_sfc_level(1), 989);
  EXPECT_EQ(THERM_get_sfc_level(103), 210);
  EXPECT_NEAR(THERM_get_sfc_level(113), pot_temp(32.6f + 273.15f, 989), 1e-3);
}

// ---- The KAVRAW file ----

TEST_F(ThermTest, KavrawRoundTrip) {
  kavtest::TempDir dir;
  Analysis bna = ascent("ua_bna_2014072800.txt");
  bna.install(1);
  THERM_set_id("BNA", 72327);
  Date date;
  DATE_init(&date);
  date.year = 2014;
  date.month = 7;
  date.day = 28;
  date.hour = 0;
  date.min = 0;
  THERM_set_date(&date);
  UPA_level trop{113, 15942, -73.3f, -80.3f, 280, 27};
  THERM_set_trop(&trop);
  std::string file = dir.file("bna.raw");
  RES_put("out_file", ("gif,raw=@" + file).c_str());
  MESS_set(0, M_OUT4);
  kavtest::Captured c = kavtest::capture([] { EXPECT_EQ(THERM_out_raw(), 1); });
  EXPECT_NE(c.out.find("Written raw file to: " + file), std::string::npos) << c.err;
  std::string text = kavtest::read_file(file);
  EXPECT_EQ(text.rfind(
                "KAVRAW\n0000Z 28 JUL 14\n!BNA Sounding\n Lev   P     H     T     Td    Dir Spd $\n"
                "   0 1000    82      -     -    -   - \n SFC  989   210   32.6  23.6  265  10\n",
                0),
            0u)
      << text;
  EXPECT_NE(text.find("\nWIND  989   210   32.6  23.6  265  10\n"), std::string::npos);
  EXPECT_NE(text.find("\nTROP  113 15942  -73.3 -80.3  280  27\n\n"), std::string::npos);

  std::vector<UPA_level> before(bna.sm);
  MESS_set(0, M_WARN);
  ASSERT_EQ(THERM_read_raw(file.c_str()), 0);
  EXPECT_STREQ(THERM_get_id(), "BNA");
  EXPECT_EQ(THERM_get_date()->year, 2014);
  EXPECT_EQ(THERM_get_date()->month, 7);
  EXPECT_EQ(THERM_get_date()->day, 28);
  EXPECT_EQ(THERM_get_trop()->p, 113);
  EXPECT_EQ(THERM_get_trop()->t, -73.3f);
  ASSERT_EQ(THERM_get_SM_num(), static_cast<int>(before.size()));
  EXPECT_EQ(THERM_get_WM_num(), static_cast<int>(bna.wm.size()));
  EXPECT_EQ(THERM_get_sfc()->p, 989);
  const UPA_level *sm = THERM_get_SM();
  for (size_t i = 0; i < before.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_NEAR(sm[i].p, before[i].p, 0.5);
    EXPECT_NEAR(sm[i].h, before[i].h, 0.5);
    if (before[i].t == M)
      EXPECT_EQ(sm[i].t, M);
    else
      EXPECT_NEAR(sm[i].t, before[i].t, 0.051);
    if (before[i].td == M) {
      EXPECT_EQ(sm[i].td, M);
    }
  }
}

// Whole-millibar pressures, values of -1, and the lone "-" of a missing
// column; a second level at the same written pressure stays a level.
TEST_F(ThermTest, KavrawReadsBackTheSameLevels) {
  kavtest::TempDir dir;
  std::string file = dir.write("s.raw",
                               "KAVRAW\n1200Z  5 MAR 24\n!XYZ Sounding\n"
                               " Lev   P     H     T     Td    Dir Spd $\n"
                               " SFC 1000   100    5.0  -1.0   -1   - \n"
                               "   1  850  1500   -1.0 -10.0  270  20\n"
                               "   2  850  1505   -1.5 -11.0    -  - \n"
                               "   3  500  5600  -20.0     -  280  40\n"
                               "WIND 1000   100      -     -   90   5\n"
                               "   1  500  5600      -     -  280  40\n\n");
  ASSERT_EQ(THERM_read_raw(file.c_str()), 0);
  ASSERT_EQ(THERM_get_SM_num(), 4);
  ASSERT_EQ(THERM_get_WM_num(), 2);
  const UPA_level *sm = THERM_get_SM();
  EXPECT_EQ(sm[0].td, -1.0f);
  EXPECT_EQ(sm[0].dir, -1.0f);
  EXPECT_EQ(sm[0].spd, M);
  EXPECT_EQ(sm[1].t, -1.0f);
  EXPECT_EQ(sm[2].p, 850);
  EXPECT_EQ(sm[2].h, 1505);
  EXPECT_EQ(sm[3].td, M);
  EXPECT_EQ(THERM_get_WM()[0].dir, 90);
  EXPECT_STREQ(THERM_get_id(), "XYZ");
}

TEST_F(ThermTest, KavrawStopsAtThreeHundredLevels) {
  kavtest::TempDir dir;
  std::string text =
      "KAVRAW\n1200Z  5 MAR 24\n!BIG Sounding\n Lev   P     H     T     Td    Dir Spd $\n";
  for (int i = 0; i < 350; ++i) {
    char line[80];
    std::snprintf(line, sizeof line, "%4d %4d %5d  %5.1f %5.1f  270  20\n", i, 1000 - 2 * i,
                  100 + 20 * i, 20.0 - 0.1 * i, 10.0 - 0.1 * i);
    text += line;
  }
  std::string file = dir.write("big.raw", text);
  kavtest::Captured c = kavtest::capture([&] { EXPECT_EQ(THERM_read_raw(file.c_str()), 0); });
  EXPECT_EQ(THERM_get_SM_num(), THERM_MAX_LEVELS);
  EXPECT_NE(c.err.find("THERM_read_raw: More than 300 levels"), std::string::npos) << c.err;
  // Without a wind section the temperature levels serve as wind levels.
  EXPECT_EQ(THERM_get_WM(), THERM_get_SM());
}

TEST_F(ThermTest, UnwritableOutputIsWarnedAndSkipped) {
  Analysis bna = ascent("ua_bna_2014072800.txt");
  bna.install(1);
  RES_put("out_file", "raw=@/nonexistent-dir/\x01/x/y");
  kavtest::TempDir dir;
  std::string blocker = dir.write("file", "x");
  RES_put("out_file", ("raw=@" + blocker + "/sub/out.raw").c_str());
  kavtest::Captured c = kavtest::capture([] { EXPECT_EQ(THERM_out_raw(), 0); });
  EXPECT_NE(c.err.find("THERM_out_raw: Unable to open output file: "), std::string::npos) << c.err;
}

// ---- A decoded report ----

TEST_F(ThermTest, MergeReport) {
  UPA_report r{};
  std::snprintf(r.id, sizeof r.id, "OAX");
  r.wmo = 72558;
  r.elev = 350;
  r.lat = 41.3f;
  r.lon = -96.4f;
  r.numman = 3;
  r.man[0] = UPA_level{925, 722, 24.6f, 21.2f, 150, 34};
  r.man[1] = UPA_level{850, 1460, 21, 14, 180, 50};
  r.man[2] = UPA_level{700, 3142, 11.6f, -3.4f, 215, 42};
  r.numsig = 2;
  r.sig[0] = UPA_level{965, M, 27.8f, 23.8f, M, M};
  r.sig[1] = UPA_level{800, M, 19, 9, M, M};
  r.numwnd = 1;
  r.wnd[0] = UPA_level{M, 2000, M, M, 200, 45};
  ASSERT_EQ(UPA_merge_report(&r), 1);
  ASSERT_EQ(THERM_get_SM_num(), 5);
  const UPA_level *sm = THERM_get_SM();
  EXPECT_EQ(sm[0].p, 965);
  EXPECT_EQ(sm[0].h, 350);  // the station's elevation
  // 800 mb between 850 (1460 m) and 700 (3142 m), by the hypsometric rule.
  EXPECT_GT(sm[3].h, 1900);
  EXPECT_LT(sm[3].h, 2000);
  EXPECT_EQ(THERM_get_sfc()->p, 965);
  EXPECT_EQ(THERM_get_WM_num(), 4);
  EXPECT_STREQ(THERM_get_id(), "OAX");
  EXPECT_EQ(THERM_get_wmo(), 72558);
  UPA_report empty{};
  EXPECT_EQ(UPA_merge_report(&empty), 0);
}

}  // namespace
