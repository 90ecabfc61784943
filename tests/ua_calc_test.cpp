// Sounding interpolation and stability indices: the worked edge cases, the
// faults that must not come back, soundings of every awkward shape, and two
// real radiosonde ascents (tests/data/ua_*.txt) checked against values worked
// out by hand from their mandatory levels and by numerical integration.
#include <gtest/gtest.h>
#include <kav/calc.h>
#include <kav/mess.h>
#include <kav/ua_calc.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

constexpr float M = KAV_MISSING;

UPA_level lev(float p, float h, float t, float td, float dir = M, float spd = M) {
  return UPA_level{p, h, t, td, dir, spd};
}

UPA_level at(std::vector<UPA_level> &s, int coord, float value, int *k = nullptr) {
  UPA_level r;
  int ret = UPA_interp(s.data(), static_cast<int>(s.size()), coord, value, &r);
  if (k != nullptr) *k = ret;
  return r;
}

bool all_missing(const UPA_level &l) {
  return l.p == M && l.h == M && l.t == M && l.td == M && l.dir == M && l.spd == M;
}

// Reads a sounding in the tabular text form: six comma-separated numbers a line.
std::vector<UPA_level> load_sounding(const std::string &name) {
  std::vector<UPA_level> s;
  for (const kavtest::Row &row : kavtest::read_rows(name, kavtest::Split::lines)) {
    UPA_level l;
    char c[5];
    if (std::sscanf(row.text.c_str(), " %f %c %f %c %f %c %f %c %f %c %f", &l.p, &c[0], &l.h, &c[1],
                    &l.t, &c[2], &l.td, &c[3], &l.dir, &c[4], &l.spd) == 11)
      s.push_back(l);
  }
  return s;
}

// ---- Interpolation: the worked edge cases ----

std::vector<UPA_level> simple() {
  return {lev(1000, 100, 20, 15, 180, 10), lev(850, 1500, 12, 8, 220, 20),
          lev(700, 3100, 4, -6, 250, 30), lev(500, 5800, -12, -30, 270, 40)};
}

TEST(UpaInterp, RequestAtALevelGivesItsFieldsExactly) {
  auto s = simple();
  for (const auto &l : simple()) {
    UPA_level r = at(s, 100, l.p);
    EXPECT_EQ(r.p, l.p);
    EXPECT_EQ(r.h, l.h);
    EXPECT_EQ(r.t, l.t);
    EXPECT_EQ(r.td, l.td);
    EXPECT_EQ(r.dir, l.dir);
    EXPECT_EQ(r.spd, l.spd);
    // The same in height: the level's pressure comes back exactly.
    r = at(s, 103, l.h);
    EXPECT_EQ(r.p, l.p);
    EXPECT_EQ(r.h, l.h);
  }
}

TEST(UpaInterp, LinearInLogPressure) {
  auto s = simple();
  UPA_level r = at(s, 100, 922.0f);
  double f = std::log(1000.0 / 922.0) / std::log(1000.0 / 850.0);
  EXPECT_EQ(r.p, 922.0f);
  EXPECT_NEAR(r.t, 20 + (12 - 20) * f, 1e-4);
  EXPECT_NEAR(r.h, 100 + 1400 * f, 1e-2);
  EXPECT_NEAR(r.dir, 180 + 40 * f, 1e-3);
  // In height the weights are linear in height.
  r = at(s, 103, 2300);
  EXPECT_NEAR(r.t, 8, 1e-4);
  EXPECT_EQ(r.h, 2300);
}

TEST(UpaInterp, BelowTheSurface) {
  auto s = simple();
  int k = -1;
  UPA_level r = at(s, 100, 1000.5f, &k);
  EXPECT_EQ(r.p, 1000);
  EXPECT_EQ(r.t, 20);
  EXPECT_EQ(k, 0);
  EXPECT_TRUE(all_missing(at(s, 100, 1015)));
  // Height: within 3 m below the lowest level, or not.
  EXPECT_EQ(at(s, 103, 98).t, 20);
  EXPECT_TRUE(all_missing(at(s, 103, 96)));
}

TEST(UpaInterp, AboveTheTopOnlyTheCoordinateIsKnown) {
  auto s = simple();
  UPA_level r = at(s, 100, 300);
  EXPECT_EQ(r.p, 300);
  EXPECT_EQ(r.t, M);
  EXPECT_EQ(r.h, M);
  r = at(s, 103, 9000);
  EXPECT_EQ(r.h, 9000);
  EXPECT_EQ(r.p, M);
}

TEST(UpaInterp, MissingFieldIsSkippedForThatFieldOnly) {
  std::vector<UPA_level> s = {lev(1000, 100, 20, 16), lev(900, 1000, 14, M), lev(800, 2000, 8, 4)};
  UPA_level r = at(s, 103, 1000);
  EXPECT_EQ(r.t, 14);
  EXPECT_NEAR(r.td, 16 - 12 * 900.0 / 1900, 1e-4);  // between 100 m and 2000 m
}

TEST(UpaInterp, DirectionTakesTheShorterArc) {
  std::vector<UPA_level> s = {lev(1000, 0, 10, 0, 350, 10), lev(900, 1000, 5, 0, 10, 20)};
  EXPECT_FLOAT_EQ(at(s, 103, 500).dir, 360);
  EXPECT_FLOAT_EQ(at(s, 103, 250).dir, 355);
  EXPECT_FLOAT_EQ(at(s, 103, 750).dir, 5);
  std::swap(s[0].dir, s[1].dir);
  EXPECT_FLOAT_EQ(at(s, 103, 500).dir, 0);
  EXPECT_FLOAT_EQ(at(s, 103, 250).dir, 5);
}

TEST(UpaInterp, WidePressureGap) {
  std::vector<UPA_level> s = {lev(1000, 100, 20, 10), lev(500, 5800, -12, -30)};
  EXPECT_TRUE(all_missing(at(s, 100, 700)));
  UPA_level r = at(s, 100, 999.5f);
  EXPECT_EQ(r.p, 1000);
  r = at(s, 100, 500.2f);
  EXPECT_EQ(r.p, 500);
  EXPECT_NEAR(r.t, -12, 0.03);  // the other fields are still found at 500.2 mb
  // The gap refuses a height request inside it too.
  EXPECT_TRUE(all_missing(at(s, 103, 3000)));
}

TEST(UpaInterp, MissingAndNonPositiveRequestsAreSkipped) {
  auto s = simple();
  float values[] = {850, M, 0, -5, 700};
  UPA_level out[5];
  int k = UPA_interp_levels(s.data(), 4, 100, values, out, 5);
  EXPECT_EQ(out[0].t, 12);
  for (int i = 1; i < 4; ++i) EXPECT_TRUE(all_missing(out[i])) << i;
  EXPECT_EQ(out[4].t, 4);
  EXPECT_EQ(k, 2);  // the first level at or above 700 mb
  // No resolved request: the number of usable levels.
  EXPECT_EQ(UPA_interp_levels(s.data(), 4, 100, values + 1, out, 3), 4);
}

TEST(UpaInterp, SingleLevelSounding) {
  std::vector<UPA_level> s = {lev(950, 500, 25, 20, 200, 15)};
  UPA_level r = at(s, 100, 950);
  EXPECT_EQ(r.t, 25);
  EXPECT_EQ(r.spd, 15);
  EXPECT_EQ(at(s, 100, 800).t, M);
  EXPECT_EQ(at(s, 103, 500).t, 25);
  EXPECT_TRUE(all_missing(at(s, 100, 1000)));
}

TEST(UpaInterp, PotentialTemperatureCoordinate) {
  auto s = simple();
  float th850 = pot_temp(285.15f, 850);
  UPA_level r = at(s, 113, th850);
  EXPECT_EQ(r.p, 850);
  EXPECT_EQ(r.t, 12);
  // Missing temperatures are filled first (in place).
  s[1].t = M;
  r = at(s, 113, pot_temp(289, 922));
  EXPECT_NE(r.p, M);
  EXPECT_NE(s[1].t, M);
  // After the first valid key, a missing one ends the usable sounding.
  std::vector<UPA_level> cut = {lev(M, 0, M, M), lev(1000, 100, 20, 10), lev(M, 900, 10, 5),
                                lev(500, 5800, -12, -30)};
  EXPECT_EQ(UPA_interp_levels(cut.data(), 4, 113, nullptr, nullptr, 0), 2);
  EXPECT_EQ(at(cut, 113, pot_temp(261.15f, 500)).t, M);
}

TEST(UpaInterp, UnknownCodeGivesMissing) {
  auto s = simple();
  EXPECT_TRUE(all_missing(at(s, 107, 850)));
  EXPECT_EQ(UPA_get_level(107, &s[0]), M);
}

TEST(UpaGetLevel, KeysOfEachFamily) {
  UPA_level l = lev(850, 1500, 12, 8);
  for (int c : {1, 100, 101, 102, 115, 116})
    EXPECT_FLOAT_EQ(UPA_get_level(c, &l), -std::log(850.0f)) << c;
  for (int c : {103, 104, 105, 106}) EXPECT_EQ(UPA_get_level(c, &l), 1500) << c;
  for (int c : {113, 114}) EXPECT_FLOAT_EQ(UPA_get_level(c, &l), pot_temp(285.15f, 850)) << c;
  UPA_level bad = lev(0, M, M, 8);
  EXPECT_EQ(UPA_get_level(100, &bad), M);
  EXPECT_EQ(UPA_get_level(103, &bad), M);
  EXPECT_EQ(UPA_get_level(113, &bad), M);  // a missing t is not -9999 + 273.15
}

// ---- Temperature fill, depths, surface pressure, merging ----

TEST(UpaCalcTemp, FillsLinearlyInPressureAndNeverDividesByZero) {
  std::vector<UPA_level> s = {lev(M, 0, M, M), lev(1000, 0, 20, 0), lev(900, 0, M, 0),
                              lev(800, 0, 10, 0), lev(700, 0, M, 0)};
  UPA_calc_temp(s.data(), 5);
  EXPECT_EQ(s[0].t, M);
  EXPECT_FLOAT_EQ(s[2].t, 15);
  EXPECT_EQ(s[4].t, M);
  std::vector<UPA_level> same = {lev(850, 0, 15, 0), lev(850, 0, M, 0), lev(850, 0, 14, 0)};
  UPA_calc_temp(same.data(), 3);
  EXPECT_EQ(same[1].t, M);
}

TEST(UpaThick, DefaultDepthsByFamily) {
  EXPECT_EQ(UPA_thick_top(100, 850, M), 840);
  EXPECT_EQ(UPA_thick_bottom(100, 850, M), 870);
  EXPECT_EQ(UPA_thick_top(1, 850, 100), 750);
  EXPECT_EQ(UPA_thick_top(103, 1000, M), 1050);
  EXPECT_EQ(UPA_thick_bottom(105, 1000, M), 800);
  EXPECT_EQ(UPA_thick_top(113, 300, M), 305);
  EXPECT_EQ(UPA_thick_bottom(114, 300, M), 298);
  EXPECT_EQ(UPA_thick_top(100, M, 10), M);
  // No default depth outside the table: missing, not bottom - 9999.
  EXPECT_EQ(UPA_thick_top(107, 850, M), M);
  EXPECT_EQ(UPA_thick_bottom(107, 850, M), M);
  EXPECT_EQ(UPA_thick_top(107, 850, 10), 860);
}

TEST(UpaSfcPres, IndexOrDefault) {
  auto s = simple();
  int i = 1, none = KAV_IMISSING;
  EXPECT_EQ(UPA_sfc_pres(s.data(), &i), 850);
  EXPECT_EQ(UPA_sfc_pres(s.data(), &none), 1000);
  EXPECT_EQ(UPA_sfc_pres(s.data(), nullptr), 1000);
}

TEST(UpaMergeArray, InterleavesMergesAndDropsLevelsAboveIn1) {
  std::vector<UPA_level> in1 = {lev(1000, 100, 20, M), lev(850, M, 12, 8), lev(700, 3100, 4, -6)};
  std::vector<UPA_level> in2 = {lev(1010, 0, 21, 15), lev(850, 1500, 99, 99, 220, 20),
                                lev(800, 2000, 9, 1), lev(500, 5800, -12, -30),
                                lev(300, 9500, -40, -50)};
  std::vector<UPA_level> out(8);
  int n = UPA_merge_array(in1.data(), 3, in2.data(), 5, out.data());
  ASSERT_EQ(n, 5);
  const float ps[] = {1010, 1000, 850, 800, 700};
  for (int i = 0; i < n; ++i) EXPECT_EQ(out[static_cast<size_t>(i)].p, ps[i]);
  EXPECT_EQ(out[2].h, 1500);  // from in2 where in1 is missing
  EXPECT_EQ(out[2].t, 12);    // in1 wins where valid
  EXPECT_EQ(out[2].dir, 220);
  EXPECT_EQ(UPA_merge_array(nullptr, 3, in2.data(), 5, out.data()), 0);
  EXPECT_EQ(UPA_merge_array(in1.data(), 3, nullptr, 0, out.data()), 3);
}

// ---- Layer quantities ----

TEST(UpaLayer, HandComputedLayers) {
  auto s = simple();
  EXPECT_FLOAT_EQ(thickness(s.data(), 4, 100, 1000, 500), 5700);
  EXPECT_FLOAT_EQ(thickness(s.data(), 4, 100, 500, 1000), 5700);
  EXPECT_NEAR(lapse_rate(s.data(), 4, 100, 850, 500), 24.0 / 4300, 1e-7);
  double th850 = 285.15 * std::pow(1000.0 / 850, 0.286), th500 = 261.15 * std::pow(2.0, 0.286);
  EXPECT_NEAR(theta_lapse_rate(s.data(), 4, 100, 850, 500), (th500 - th850) / 4300, 1e-6);
  EXPECT_NEAR(theta_pres_lapse_rate(s.data(), 4, 100, 850, 500), (th500 - th850) / 350, 1e-5);
  EXPECT_EQ(lapse_rate(s.data(), 4, 100, 850, 850), M);
  EXPECT_EQ(theta_pres_lapse_rate(s.data(), 4, 100, 850, 850), M);
  EXPECT_EQ(thickness(s.data(), 4, 100, 1000, M), M);
  EXPECT_EQ(thickness(s.data(), 4, 100, 1100, 500), M);
}

TEST(UpaLayer, StaticStabilityByHand) {
  std::vector<UPA_level> s = {lev(520, 5500, -10, -20), lev(500, 5750, -12, -22),
                              lev(490, 5880, -13, -23)};
  double thb = 263.15 * std::pow(1000.0 / 520, 0.286), tht = 260.15 * std::pow(1000.0 / 490, 0.286);
  double thm = 261.15 * std::pow(2.0, 0.286);
  double want = -287.05 * 261.15 / (thm * 500 * 10000) * (tht - thb) / (490.0 - 520.0);
  EXPECT_NEAR(static_stability(s.data(), 3, 100, 500), want, std::fabs(want) * 1e-4);
  // Missing heights at either end make it missing.
  s[0].h = M;
  EXPECT_EQ(static_stability(s.data(), 3, 100, 500), M);
  EXPECT_EQ(static_stability(s.data(), 3, 100, M), M);
}

TEST(UpaLayer, ParcelMeanOfThreeLevelsByHand) {
  auto s = simple();
  float w, o;
  layer_parcel_mean(s.data(), 4, 100, 1000, 700, &w, &o);
  // Trapezoids in ln p over 1000-850-700 of the levels' thetas and mixing
  // ratios.
  double th[3], wr[3], lp[3] = {std::log(1000.0), std::log(850.0), std::log(700.0)};
  const float ts[] = {20, 12, 4}, tds[] = {15, 8, -6}, ps[] = {1000, 850, 700};
  for (int i = 0; i < 3; ++i) {
    th[i] = (ts[i] + 273.15) * std::pow(1000.0 / ps[i], 0.286);
    wr[i] = mix_ratio(tds[i] + 273.15f, ps[i]);
  }
  double tw = ((th[0] + th[1]) * (lp[0] - lp[1]) + (th[1] + th[2]) * (lp[1] - lp[2])) /
              (2 * (lp[0] - lp[2]));
  double ww = ((wr[0] + wr[1]) * (lp[0] - lp[1]) + (wr[1] + wr[2]) * (lp[1] - lp[2])) /
              (2 * (lp[0] - lp[2]));
  EXPECT_NEAR(o, tw, 1e-3);
  EXPECT_NEAR(w, ww, 1e-4);
}

TEST(UpaLayer, ParcelMeanMatchesFineIntegration) {
  // A smooth profile in 10 mb levels, temperature and dew point linear in
  // ln p; the means weighted by ln p are integrated independently with the
  // midpoint rule in 30000 steps.
  auto temp = [](double p) { return 25 + 30 * std::log(p / 1000); };
  auto dewp = [](double p) { return 18 + 45 * std::log(p / 1000); };
  std::vector<UPA_level> s;
  for (int p = 1000; p >= 600; p -= 10)
    s.push_back(
        lev(static_cast<float>(p), M, static_cast<float>(temp(p)), static_cast<float>(dewp(p))));
  float w, o;
  layer_parcel_mean(s.data(), static_cast<int>(s.size()), 100, 995, 705, &w, &o);
  const int steps = 30000;
  double sth = 0, sw = 0, l0 = std::log(995.0), l1 = std::log(705.0);
  for (int i = 0; i < steps; ++i) {
    double p = std::exp(l0 + (l1 - l0) * (i + 0.5) / steps);
    sth += (temp(p) + 273.15) * std::pow(1000 / p, 0.286);
    double e = 6.112 * std::exp(17.67 * dewp(p) / (dewp(p) + 243.5));  // Bolton's vapour pressure
    sw += 622 * e / (p - e);
  }
  EXPECT_NEAR(o, sth / steps, 0.01);
  EXPECT_NEAR(w, sw / steps, 0.03);  // the two vapour-pressure curves differ by ~0.1 %
}

TEST(UpaLayer, ParcelMeanRefusesWhatItCannotForm) {
  auto s = simple();
  float w = 0, o = 0;
  auto check_missing = [&](float bottom, float top) {
    w = o = 0;
    layer_parcel_mean(s.data(), 4, 100, bottom, top, &w, &o);
    EXPECT_EQ(w, M) << bottom << "-" << top;
    EXPECT_EQ(o, M) << bottom << "-" << top;
  };
  check_missing(M, 700);     // missing bottom
  check_missing(850, M);     // missing top
  check_missing(850, 850);   // no depth
  check_missing(1100, 900);  // bottom below the sounding
  check_missing(300, 200);   // layer above the sounding
  check_missing(700, 850);   // upside down
  // One level: its own values.
  layer_parcel_mean(s.data(), 1, 100, M, M, &w, &o);
  EXPECT_FLOAT_EQ(w, mix_ratio(288.15f, 1000));
  EXPECT_FLOAT_EQ(o, 293.15f);
  // Empty: missing.
  layer_parcel_mean(s.data(), 0, 100, 1000, 700, &w, &o);
  EXPECT_EQ(w, M);
}

TEST(UpaLayer, ParcelMeanDividesByTheDepthActuallyUsed) {
  // The lowest level has no temperature or dew point: the mean over
  // 1000-700 is the mean over the part that has values, 950-700.
  std::vector<UPA_level> s = {lev(1000, 0, M, M), lev(950, 450, 22, 16), lev(850, 1400, 14, 9),
                              lev(700, 3000, 5, -5)};
  float w1, o1, w2, o2;
  layer_parcel_mean(s.data(), 4, 100, 1000, 700, &w1, &o1);
  layer_parcel_mean(s.data(), 4, 100, 950, 700, &w2, &o2);
  EXPECT_NEAR(o1, o2, 1e-3);
  EXPECT_NEAR(w1, w2, 1e-4);
}

TEST(UpaLayer, ParcelMeanTraceAtDebugLevel) {
  auto s = simple();
  M_type old = MESS_get();
  MESS_set(0, old | M_DEBUG);
  float w, o;
  auto out = kavtest::capture([&] { layer_parcel_mean(s.data(), 4, 100, 925, 700, &w, &o); });
  MESS_set(0, old);
  EXPECT_NE(out.out.find(" 1- 2   "), std::string::npos) << out.out;
  EXPECT_NE(out.out.find("LB, 1  "), std::string::npos) << out.out;
  EXPECT_NE(out.out.find(" 1,LT  "), std::string::npos) << out.out;
  auto quiet = kavtest::capture([&] { layer_parcel_mean(s.data(), 4, 100, 925, 700, &w, &o); });
  EXPECT_TRUE(quiet.out.empty());
}

// ---- Stability indices ----

TEST(UpaIndices, SweatShearTermBounds) {
  auto make = [](float dir850, float dir500, float spd850, float spd500) {
    return std::vector<UPA_level>{
        lev(1000, 100, 25, 20, 180, 10), lev(850, 1500, 20, 15, dir850, spd850),
        lev(700, 3100, 8, 0, 230, 30), lev(500, 5800, -10, -30, dir500, spd500)};
  };
  // TT = 20 + 15 + 20 = 55: 12*15 + 20*6 + 2*20 + 30 = 370 without shear.
  auto s = make(130, 250, 20, 30);
  EXPECT_NEAR(sweat_index(s.data(), 4), 370, 1e-3);
  s = make(135, 250, 20, 30);
  EXPECT_NEAR(sweat_index(s.data(), 4), 370 + 125 * (0.2 + std::sin(115 * M_PI / 180)), 1e-3);
  s = make(250, 310, 20, 30);
  EXPECT_NEAR(sweat_index(s.data(), 4), 370 + 125 * (0.2 + std::sin(60 * M_PI / 180)), 1e-3);
  s = make(200, 190, 20, 30);  // backing: no shear term
  EXPECT_NEAR(sweat_index(s.data(), 4), 370, 1e-3);
  s = make(200, 250, 14, 30);  // slow 850 wind: no shear term
  EXPECT_NEAR(sweat_index(s.data(), 4), 358, 1e-3);
  s = make(M, 250, 20, 30);
  for (auto &l : s)
    if (l.p != 500) l.dir = M;
  EXPECT_EQ(sweat_index(s.data(), 4), M);
}

TEST(UpaIndices, MissingWhenALevelIsMissing) {
  // Dew point only at 500 mb: nothing to find at 850 and 700 mb.
  std::vector<UPA_level> s = {lev(1000, 100, 25, M, 200, 20), lev(850, 1500, 20, M, 220, 25),
                              lev(700, 3100, 8, M), lev(500, 5800, -10, -30, 250, 40)};
  EXPECT_EQ(total_totals(s.data(), 4), M);
  EXPECT_EQ(cross_totals(s.data(), 4), M);
  EXPECT_EQ(k_index(s.data(), 4), M);
  EXPECT_EQ(sweat_index(s.data(), 4), M);
  EXPECT_FLOAT_EQ(vertical_totals(s.data(), 4), 30);
  EXPECT_EQ(total_totals(s.data(), 0), M);
  EXPECT_EQ(total_totals(nullptr, 4), M);
}

TEST(UpaIndices, LiftedIndexRefusals) {
  std::vector<UPA_level> high = {lev(450, 6500, -20, -30), lev(300, 9500, -40, -50)};
  EXPECT_EQ(lifted_index(high.data(), 2, 100, 450, 0, 300), M);
  EXPECT_EQ(lifted_index(high.data(), 0, 100, 450, 0, 300), M);
  // A parcel without a dew point has no condensation level: missing, not a
  // dry-adiabatic number.
  std::vector<UPA_level> s = {lev(1000, 100, 25, M), lev(850, 1500, 18, M), lev(500, 5800, -10, M)};
  EXPECT_EQ(lifted_index(s.data(), 3, 100, 1000, 0, 500), M);
  EXPECT_EQ(lifted_index(s.data(), 3, 100, 1000, 100, 500), M);
  EXPECT_EQ(lifted_index(s.data(), 3, 100, 1000, 0, 100), M);  // no temperature at the top
}

TEST(UpaIndices, LiftedIndexDryBranchByHand) {
  // A dry parcel whose condensation level lies above 500 mb: the parcel
  // follows the dry adiabat, T = 298.15 (500/1000)^0.286.
  std::vector<UPA_level> s = {lev(1000, 100, 25, -40), lev(850, 1500, 15, -45),
                              lev(500, 5800, -12, -60)};
  double parcel = 298.15 * std::pow(0.5, 0.286) - 273.15;
  EXPECT_NEAR(lifted_index(s.data(), 3, 100, 1000, 0, 500), -12 - parcel, 1e-3);
}

// ---- Soundings of every awkward shape: missing, never a read past the end ----

TEST(UpaRobust, RandomSoundingsGiveFiniteOrMissing) {
  std::mt19937 rng(12345);
  std::uniform_real_distribution<float> u(0, 1);
  auto pick = [&](float lo, float hi) { return u(rng) < 0.2f ? M : lo + (hi - lo) * u(rng); };
  const int coords[] = {1, 100, 103, 113, 107};
  for (int trial = 0; trial < 3000; ++trial) {
    int n = static_cast<int>(u(rng) * 7);
    // Exactly sized on the heap so that the sanitizer sees any read past n.
    std::vector<UPA_level> s(static_cast<size_t>(n));
    for (auto &l : s) {
      l = lev(pick(100, 1050), pick(0, 15000), pick(-70, 40), pick(-90, 30), pick(0, 360),
              pick(0, 120));
      if (u(rng) < 0.1f && &l != s.data()) l = *(&l - 1);  // duplicate level
    }
    UPA_level *d = n > 0 ? s.data() : nullptr;
    auto ok = [&](float v) { return v == M || std::isfinite(v); };
    for (int c : coords) {
      float a = pick(100, 1050), b = pick(100, 1050);
      if (c == 103) a = pick(0, 12000), b = pick(0, 12000);
      if (c == 113) a = pick(280, 400), b = pick(280, 400);
      EXPECT_TRUE(ok(thickness(d, n, c, a, b)));
      EXPECT_TRUE(ok(lapse_rate(d, n, c, a, b)));
      EXPECT_TRUE(ok(theta_lapse_rate(d, n, c, a, b)));
      EXPECT_TRUE(ok(theta_pres_lapse_rate(d, n, c, a, b)));
      EXPECT_TRUE(ok(static_stability(d, n, c, a)));
      EXPECT_TRUE(ok(lifted_index(d, n, c, a, pick(0, 150), b)));
      float w, o;
      layer_parcel_mean(d, n, c, a, b, &w, &o);
      EXPECT_TRUE(ok(w) && ok(o));
      UPA_level r;
      int k = UPA_interp(d, n, c, a, &r);
      EXPECT_TRUE(k >= 0 && k <= n);
    }
    EXPECT_TRUE(ok(total_totals(d, n)) && ok(k_index(d, n)) && ok(sweat_index(d, n)));
    std::vector<UPA_level> out(static_cast<size_t>(2 * n + 1));
    EXPECT_LE(UPA_merge_array(d, n, d, n, out.data()), 2 * n);
  }
}

// ---- Two real ascents ----

struct Ascent {
  const char *file;
  float sfc;                   // surface pressure: the first level with a temperature
  float tt, vt, ct, k, sweat;  // by hand from the mandatory levels
  float thick1000_500;         // 500 mb height less 1000 mb height
  float li_sfc;                // surface parcel to 500 mb, numerical integration
  float li_mixed;              // 100 mb layer-mean parcel, the same integration
};

// Hand computations (C): OAX T850 21.0 Td850 14.0 T700 11.6 Td700 2.6
// T500 -11.1, winds 180/50 and 245/52; BNA T850 20.4 Td850 19.3 T700 12.6
// Td700 -15.4 T500 -7.5, winds 270/29 and 285/47.01 (850 mb direction beyond
// 250: no shear term). The lifted indices come from a pseudo-adiabatic parcel
// integrated with fourth-order Runge-Kutta in 0.1 mb steps (Bolton's vapour
// pressure, latent heat varying with temperature), from the surface level, or
// from the layer's mean potential temperature and mixing ratio (OAX 304.93 K,
// 16.79 g/kg; BNA 306.47 K, 18.64 g/kg) at the surface pressure.
const Ascent kAscents[] = {
    {"ua_oax_2014061619.txt", 965, 57.2f, 32.1f, 25.1f, 37.1f,
     static_cast<float>(168 + 164 + 100 + 52 + 125 * (0.2 + std::sin(65 * M_PI / 180))), 5786,
     -12.18f, -9.88f},
    {"ua_bna_2014072800.txt", 989, 54.7f, 27.9f, 26.8f, 19.2f, 231.6f + 114 + 58 + 47.01f, 5818,
     -8.92f, -8.62f},
};

void PrintTo(const Ascent &a, std::ostream *os) { *os << a.file; }

class RealAscent : public ::testing::TestWithParam<Ascent> {};

TEST_P(RealAscent, IndicesMatchHandAndIntegration) {
  const Ascent &a = GetParam();
  auto s = load_sounding(a.file);
  ASSERT_GT(s.size(), 50u) << a.file;
  int n = static_cast<int>(s.size());
  EXPECT_NEAR(total_totals(s.data(), n), a.tt, 1e-3);
  EXPECT_NEAR(vertical_totals(s.data(), n), a.vt, 1e-3);
  EXPECT_NEAR(cross_totals(s.data(), n), a.ct, 1e-3);
  EXPECT_NEAR(k_index(s.data(), n), a.k, 1e-3);
  EXPECT_NEAR(sweat_index(s.data(), n), a.sweat, 1e-2);
  EXPECT_NEAR(thickness(s.data(), n, 100, 1000, 500), a.thick1000_500, 1e-2);
  EXPECT_NEAR(lifted_index(s.data(), n, 100, a.sfc, 0, 500), a.li_sfc, 0.3);
  EXPECT_NEAR(lifted_index(s.data(), n, 100, a.sfc, 100, 500), a.li_mixed, 0.3);
  // Heights back to pressures: the 500 mb height gives 500 mb.
  UPA_level l = at(s, 103, at(s, 100, 500).h);
  EXPECT_NEAR(l.p, 500, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(Soundings, RealAscent, ::testing::ValuesIn(kAscents),
                         [](const ::testing::TestParamInfo<Ascent> &p) {
                           return std::string(p.param.file).substr(3, 3);
                         });

TEST(RealAscentOax, MixedLayerDividesByUsedDepth) {
  // The 1000 mb level lies below ground without temperature: the mean from
  // 1000 mb is the mean of the part above the ground.
  auto s = load_sounding("ua_oax_2014061619.txt");
  int n = static_cast<int>(s.size());
  float w1, o1, w2, o2;
  layer_parcel_mean(s.data(), n, 100, 1000, 865, &w1, &o1);
  layer_parcel_mean(s.data(), n, 100, 965, 865, &w2, &o2);
  EXPECT_NEAR(o1, o2, 1e-3);
  EXPECT_NEAR(w1, w2, 1e-4);
  EXPECT_NEAR(o2, 304.93, 0.01);
  EXPECT_NEAR(w2, 16.79, 0.01);
}

}  // namespace
