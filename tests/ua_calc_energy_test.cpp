// Parcel energy and convective levels: the layer energy by hand, the edge
// cases of the parcel ascent, and the faults that must not come back
// (missing inputs never turned into numbers, bounded tables).
#include <gtest/gtest.h>
#include <kav/calc.h>
#include <kav/tools.h>
#include <kav/ua_calc.h>

#include <cmath>
#include <vector>

namespace {

constexpr float M = KAV_MISSING;

int n_of(const std::vector<UPA_level> &s) { return static_cast<int>(s.size()); }

// A conditionally unstable sounding from 1000 to 200 mb.
std::vector<UPA_level> unstable() {
  return {{1000, 100, 30, 22, 180, 10},   {925, 780, 24, 19, 200, 20},
          {850, 1500, 18, 14, 220, 25},   {700, 3100, 6, -2, 240, 30},
          {500, 5750, -12, -25, 250, 40}, {400, 7400, -22, -40, 260, 50},
          {300, 9500, -36, -50, 260, 60}, {250, 10800, -46, -60, 260, 60},
          {200, 12200, -55, -70, 260, 60}};
}

TEST(EnergyCalc, LayerEnergyByHand) {
  UPA_level p1{900, M, 20, M, M, M}, p2{850, M, 18, M, M, M};
  UPA_level e1{900, 1000, 19, M, M, M}, e2{850, 1500, 16, M, M, M};
  // 500 m * (19 - 17.5) * 9.8 / 290.65
  EXPECT_NEAR(energy_calc(&p1, &p2, &e1, &e2), 500 * 1.5 * 9.8 / (17.5 + 273.15), 1e-3);
  e2.h = M;
  EXPECT_EQ(energy_calc(&p1, &p2, &e1, &e2), M);
  EXPECT_EQ(energy_calc(nullptr, &p2, &e1, &e2), M);
}

TEST(ParcelCalc, EmptyOrMissingBottomFails) {
  PARCEL_params pp;
  EXPECT_EQ(parcel_calc(nullptr, 0, nullptr, 100, 1000, 0, &pp), 0);
  EXPECT_EQ(pp.Bplus, M);
  EXPECT_EQ(pp.lfc, M);
  auto s = unstable();
  EXPECT_EQ(parcel_calc(s.data(), n_of(s), nullptr, 100, M, 0, &pp), 0);
  EXPECT_EQ(pp.Bminus, M);
}

// A missing dew point leaves no condensation level: the ascent fails with
// missing values instead of running dry through the whole sounding.
TEST(ParcelCalc, MissingDewPointFailsWithMissingValues) {
  auto s = unstable();
  s[0].td = M;
  PARCEL_params pp;
  EXPECT_EQ(parcel_calc(s.data(), n_of(s), nullptr, 100, 1000, 0, &pp), 0);
  EXPECT_EQ(pp.Bplus, M);
  EXPECT_EQ(pp.Bminus, M);
  EXPECT_EQ(pp.cap, M);
  EXPECT_EQ(pp.wmax, M);
  EXPECT_EQ(pp.plcl, M);
}

// A condensation level above the sounding's top: the dry ascent ends at the
// last level; no step is made with missing environment values.
TEST(ParcelCalc, CondensationLevelAboveTheTop) {
  std::vector<UPA_level> s = {
      {1000, 100, 35, -20, M, M}, {900, 1050, 25, -25, M, M}, {800, 2080, 15, -30, M, M}};
  PARCEL_params pp;
  ASSERT_EQ(parcel_calc(s.data(), n_of(s), nullptr, 100, 1000, 0, &pp), 1);
  EXPECT_LT(pp.plcl, 800);
  EXPECT_EQ(pp.lfc, -1);
  EXPECT_EQ(pp.el, M);
  EXPECT_TRUE(std::isfinite(pp.Bplus) && pp.Bplus >= 0 && pp.Bplus < 1000);
  EXPECT_TRUE(std::isfinite(pp.Bminus) && pp.Bminus >= 0 && pp.Bminus < 1000);
}

TEST(ParcelCalc, UnstableSoundingAndLayerParcelCopiedOut) {
  auto s = unstable();
  PARCEL_params pp;
  UPA_level start;
  UPA_level_init(&start);
  ASSERT_EQ(parcel_calc(s.data(), n_of(s), &start, 100, 1000, 100, &pp), 1);
  EXPECT_EQ(start.p, 1000);
  float wbar, obar;
  layer_parcel_mean(s.data(), n_of(s), 100, 1000, 900, &wbar, &obar);
  EXPECT_NEAR(start.t, temp_on_dryad(obar, 1000) - 273.15f, 1e-3);
  EXPECT_NEAR(start.td, temp_on_mixrat(wbar, 1000) - 273.15f, 1e-3);
  EXPECT_GT(pp.Bplus, 500);
  EXPECT_GT(pp.lfc, pp.el);
  EXPECT_GT(pp.plcl, pp.lfc - 1);
  EXPECT_NEAR(pp.Satad, thetae_on_satad(pp.tlcl, pp.plcl), 1e-3);
  // The given starting level is used as it is.
  UPA_level given{925, 780, 24, 19, M, M};
  PARCEL_params pg;
  ASSERT_EQ(parcel_calc(s.data(), n_of(s), &given, 100, 1000, 0, &pg), 1);
  EXPECT_NEAR(pg.plcl, lcl_pres(24 + 273.15f, 19 + 273.15f, 925), 1e-3);
}

TEST(CapStrength, ParcelBelowAnInversion) {
  std::vector<UPA_level> s = {{1000, 100, 25, 20, M, M},
                              {950, 540, 22, 18, M, M},
                              {900, 1000, 24, 5, M, M},
                              {800, 2000, 16, 0, M, M},
                              {500, 5700, -12, -30, M, M}};
  float cap = cap_strength(s.data(), n_of(s), 100, 1000, 0);
  EXPECT_GT(cap, 0);
  EXPECT_LT(cap, 8);
  EXPECT_EQ(cap_strength(s.data(), n_of(s), 100, M, 0), M);
  EXPECT_EQ(cap_strength(nullptr, 0, 100, 1000, 0), M);
}

// The static energy of each level: 0.24 T + g h / J + 0.6 w, the dew point
// converted to kelvin once.
TEST(EnergyIndex, ByHand) {
  std::vector<UPA_level> s = {{850, 1500, 15, 10, M, M}, {500, 5700, -15, -25, M, M}};
  double e850 = 0.24 * 288.15 + 1500.0 * 980 * 100 / 4.2e7 + 0.6 * mix_ratio(283.15f, 850);
  double e500 = 0.24 * 258.15 + 5700.0 * 980 * 100 / 4.2e7 + 0.6 * mix_ratio(248.15f, 500);
  EXPECT_NEAR(energy_index(s.data(), 2), e500 - e850, 1e-3);
  s[1].td = M;
  EXPECT_EQ(energy_index(s.data(), 2), M);
}

TEST(PrecipWater, OneTrapezoidWhenOnlyTheEndsHaveDewPoints) {
  std::vector<UPA_level> s = {{1000, 100, 20, 15, M, M},
                              {850, 1500, 10, M, M, M},
                              {700, 3000, 0, M, M, M},
                              {500, 5600, -20, -30, M, M}};
  double q1 = spec_hum(288.15f, 1000), q2 = spec_hum(243.15f, 500);
  EXPECT_NEAR(precip_water(s.data(), 4), 500 * ((q1 + q2) / 2000) / 2.4892, 1e-4);
  EXPECT_EQ(precip_water(s.data(), 2), M);
  s[0].td = M;
  s[3].td = M;
  EXPECT_EQ(precip_water(s.data(), 4), M);
}

TEST(FreezingLevel, GroundAndCrossing) {
  std::vector<UPA_level> s = {
      {1000, 100, -2, -5, M, M}, {850, 1400, 4, 0, M, M}, {700, 3000, -6, -10, M, M}};
  EXPECT_EQ(freezing_level(s.data(), 3), -1);
  s[0].t = 6;
  EXPECT_NEAR(freezing_level(s.data(), 3), 850 - 150 * 4.0 / 10, 1e-3);
  std::vector<UPA_level> high = {{450, 6000, -20, -30, M, M}};
  EXPECT_EQ(freezing_level(high.data(), 1), M);
  EXPECT_EQ(freezing_level(nullptr, 0), M);
}

// A level without a wet bulb is no sign to compare: never "-1 at the ground".
TEST(WetBulbZero, MissingInputIsSkipped) {
  std::vector<UPA_level> s = {
      {1000, 100, 10, M, M, M}, {900, 1000, 8, 4, M, M}, {700, 3000, -5, -10, M, M}};
  float wb = wet_bulb_zero(s.data(), 3);
  EXPECT_GT(wb, 700);
  EXPECT_LT(wb, 900);
  std::vector<UPA_level> none = {{1000, 100, 10, M, M, M}, {900, 1000, 8, M, M, M}};
  EXPECT_EQ(wet_bulb_zero(none.data(), 2), M);
  std::vector<UPA_level> cold = {{1000, 100, -3, -6, M, M}, {900, 1000, 2, 0, M, M}};
  EXPECT_EQ(wet_bulb_zero(cold.data(), 2), -1);
}

// A missing top gives a missing maximum temperature, not 0 K.
TEST(MaxTemperature, MissingTopIsMissing) {
  std::vector<UPA_level> s = {{1000, 100, 25, 15, M, M}, {900, 1000, 18, 10, M, M}};
  EXPECT_EQ(max_temperature(s.data(), 2, 100, 1000, 150), M);
  s.push_back({800, 2000, 14, 5, M, M});
  float t850 = 16;  // between 18 at 900 and 14 at 800, in ln p
  UPA_level l;
  UPA_interp(s.data(), 3, 100, 850, &l);
  t850 = l.t;
  EXPECT_NEAR(max_temperature(s.data(), 3, 100, 1000, 150),
              temp_on_dryad(pot_temp(t850 + 273.15f, 850), 1000), 1e-3);
  EXPECT_EQ(max_temperature(s.data(), 3, 100, M, 150), M);
}

// Theta-e falling in steps: the largest decrease over one layer, and never
// more than five layers looked at however many there are.
TEST(ThetaeIndex, LargestLayerAndAtMostFiveLayers) {
  std::vector<UPA_level> s;
  // Alternately moist and dry every 10 mb from 1000 to 700 mb: many layers.
  for (int i = 0; i <= 30; ++i) {
    float p = 1000.0f - 10 * static_cast<float>(i);
    s.push_back(UPA_level{p, M, 25.0f - 0.6f * static_cast<float>(i),
                          i % 2 ? 0.0f : 20.0f - 0.5f * static_cast<float>(i), M, M});
  }
  s.push_back(UPA_level{500, M, -15, -40, M, M});
  THETAE_params tp;
  ASSERT_EQ(thetae_index(s.data(), n_of(s), &tp), 0);
  EXPECT_GT(tp.index, 0);
  EXPECT_GE(tp.base, 700);
  EXPECT_LT(tp.top, tp.base);
  EXPECT_GE(tp.max, tp.min);
  // A monotonic decrease is one layer from the ground; its top is missing
  // while the layer never closes.
  std::vector<UPA_level> fall = {
      {1000, 100, 30, 24, M, M}, {850, 1500, 20, 5, M, M}, {700, 3100, 8, -20, M, M}};
  ASSERT_EQ(thetae_index(fall.data(), 3, &tp), 0);
  EXPECT_EQ(tp.base, 1000);
  double te0 = eq_pot_temp(303.15f, 297.15f, 1000), te2 = eq_pot_temp(281.15f, 253.15f, 700);
  EXPECT_NEAR(tp.index, te0 - te2, 1e-2);
  EXPECT_EQ(tp.maxp, 1000);
  EXPECT_EQ(tp.minp, 700);
  // Starting above 700 mb.
  std::vector<UPA_level> high = {{650, 3600, 0, -5, M, M}, {500, 5600, -15, -25, M, M}};
  EXPECT_EQ(thetae_index(high.data(), 2, &tp), -1);
  std::vector<UPA_level> dry = {{1000, 100, 20, M, M, M}};
  EXPECT_EQ(thetae_index(dry.data(), 1, &tp), -1);
  EXPECT_EQ(tp.max, M);
}

TEST(LinearInterp, LineAndRefusals) {
  EXPECT_FLOAT_EQ(linear_interp(0, 4, -6, 850, 700), 790);
  EXPECT_EQ(linear_interp(1, 2, 2, 0, 5), M);
  EXPECT_EQ(linear_interp(M, 1, 2, 3, 4), M);
  EXPECT_EQ(linear_interp(1, 1, 2, M, 4), M);
}

TEST(MeanValue, RelativeHumidityOfALayer) {
  std::vector<UPA_level> s = {{1000, 100, 20, 20, M, M}, {500, 5600, -20, -20, M, M}};
  EXPECT_NEAR(mean_value(s.data(), 2, 100, "rhum", 1000, 500), 100, 0.01);
  EXPECT_EQ(mean_value(s.data(), 2, 100, "temp", 1000, 500), M);
  EXPECT_EQ(mean_value(s.data(), 2, 103, "rhum", 1000, 500), M);
}

}  // namespace
