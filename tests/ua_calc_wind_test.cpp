// Wind profile: vectors, layer-mean wind, shear, bulk Richardson number,
// energy-helicity index and convective condensation level; the worked edge
// cases and the faults that must not come back.
#include <gtest/gtest.h>
#include <kav/calc.h>
#include <kav/ua_calc.h>
#include <kav/vecttool.h>

#include <cmath>
#include <vector>

namespace {

constexpr float M = KAV_MISSING;

int n_of(const std::vector<UPA_level> &s) { return static_cast<int>(s.size()); }

TEST(Vectors, WindAndComponents) {
  float u, v, d, s;
  EXPECT_EQ(wind2vect(270, 10, &u, &v), 0);
  EXPECT_NEAR(u, 10, 1e-5);
  EXPECT_NEAR(v, 0, 1e-5);
  EXPECT_EQ(wind2vect(M, 10, &u, &v), -1);
  EXPECT_EQ(u, M);
  EXPECT_EQ(v, M);
  EXPECT_EQ(vect2wind(0.005f, 0.005f, &d, &s), 0);
  EXPECT_EQ(d, 0);  // shorter than 0.01
  EXPECT_EQ(vect2wind(0, -10, &d, &s), 0);
  EXPECT_NEAR(d, 360 - 360, 1e-4);  // from the north
  EXPECT_EQ(vect2wind(-10, 0, &d, &s), 0);
  EXPECT_NEAR(d, 90, 1e-4);
  EXPECT_NEAR(s, 10, 1e-5);
  for (float dir = 5; dir < 360; dir += 35) {
    wind2vect(dir, 25, &u, &v);
    vect2wind(u, v, &d, &s);
    EXPECT_NEAR(d, dir, 1e-3);
    EXPECT_NEAR(s, 25, 1e-4);
  }
  EXPECT_EQ(vect2wind(1, M, &d, &s), -1);
  EXPECT_EQ(wind2vect(0, 0, nullptr, &v), -1);
}

std::vector<UPA_level> profile() {
  std::vector<UPA_level> s;
  for (float z = 0; z <= 8000; z += 500)
    s.push_back(UPA_level{static_cast<float>(1000 * std::exp(-z / 8000.0)), z, 20 - z / 150,
                          10 - z / 150, 200 + z / 100, 10 + z / 200});
  return s;
}

TEST(LayerWindMean, ReversingWindKeepsTheScalarSpeed) {
  // From the south in the lower half, from the north in the upper half.
  std::vector<UPA_level> s = {{1000, 0, 20, 10, 180, 20},
                              {900, 850, 12, 5, 180, 20},
                              {899, 860, 12, 5, 0, 20},
                              {800, 1950, 5, 0, 0, 20}};
  WIND w;
  EXPECT_EQ(layer_wind_mean(s.data(), 4, 100, 1000, 800, &w), 1);
  EXPECT_NEAR(w.spd, 20, 1e-3);
  // Refusals: a downward layer, an empty sounding, a missing bottom.
  EXPECT_EQ(layer_wind_mean(s.data(), 4, 100, 800, 1000, &w), -1);
  EXPECT_EQ(w.dir, M);
  EXPECT_EQ(layer_wind_mean(s.data(), 4, 103, 1000, 500, &w), -1);
  EXPECT_EQ(layer_wind_mean(nullptr, 0, 100, 1000, 800, &w), -1);
  EXPECT_EQ(layer_wind_mean(s.data(), 4, 103, M, 6000 - 9999, &w), -1);
  EXPECT_EQ(w.spd, M);
  // One level, or a layer of no depth.
  EXPECT_EQ(layer_wind_mean(s.data(), 1, 100, 1000, 800, &w), 0);
  EXPECT_EQ(w.dir, 180);
  EXPECT_EQ(layer_wind_mean(s.data(), 4, 100, 1000, M, &w), 1);
  EXPECT_EQ(w.spd, 20);
}

// Wind levels given in height only have no ln p: the mean is weighted in
// height, never NaN.
TEST(LayerWindMean, WindLevelsWithoutPressure) {
  std::vector<UPA_level> s;
  for (float z = 0; z <= 3000; z += 500) s.push_back(UPA_level{M, z, M, M, 270, 10 + z / 100});
  WIND w;
  EXPECT_EQ(layer_wind_mean(s.data(), n_of(s), 103, 0, 3000, &w), 1);
  EXPECT_NEAR(w.dir, 270, 1e-3);
  EXPECT_NEAR(w.spd, 25, 1e-3);  // linear in height: the middle value
}

TEST(LayerWindMean, TopWithoutWindGivesZero) {
  auto s = profile();
  WIND w;
  EXPECT_EQ(layer_wind_mean(s.data(), n_of(s), 103, 0, 20000, &w), 0);
  EXPECT_NE(w.dir, M);
}

TEST(ShearLayer, RefusalsAndLimits) {
  auto s = profile();
  SHEAR_params sh;
  EXPECT_EQ(shear_layer(s.data(), n_of(s), 103, 0, 3000, nullptr, &sh), 1);
  EXPECT_GT(sh.pos_shr, 0);  // veering with height
  EXPECT_NEAR(sh.neg_shr, 0, 1e-6);
  EXPECT_EQ(shear_layer(nullptr, 0, 103, 0, 3000, nullptr, &sh), 0);
  EXPECT_EQ(sh.pos_shr, M);
  auto bad = s;
  for (auto &l : bad) l.h = M;
  EXPECT_EQ(shear_layer(bad.data(), n_of(bad), 100, 1000, 700, nullptr, &sh), -1);
  // A top far beyond the sounding in height: the walk ends with the
  // sounding however deep the layer; helicity integrates to the last height.
  EXPECT_EQ(shear_layer(s.data(), n_of(s), 103, 0, 1e9f, nullptr, &sh), 1);
  EXPECT_NE(sh.pos_shr, M);
  HELICITY_params hp;
  WIND storm{240, 20};
  EXPECT_EQ(helicity(s.data(), n_of(s), 103, 0, 1e9f, &storm, &hp), 0);
  EXPECT_NE(hp.pos_hel, M);
}

TEST(Helicity, MissingStormOrShortSounding) {
  auto s = profile();
  HELICITY_params hp;
  WIND none{M, M};
  EXPECT_EQ(helicity(s.data(), n_of(s), 103, 0, 3000, &none, &hp), 0);
  EXPECT_EQ(hp.pos_hel, M);
  WIND storm{240, 20};
  EXPECT_EQ(helicity(s.data(), 1, 103, 0, 3000, &storm, &hp), 0);
  EXPECT_EQ(helicity(s.data(), n_of(s), 103, 0, 3000, nullptr, &hp), 0);
}

// Both mean winds must be formed: a sounding whose winds end below 6000 m
// has no bulk Richardson number, and says so.
TEST(BulkRichardson, EitherMeanMissingFails) {
  auto s = profile();
  float brn, shear;
  EXPECT_EQ(bulk_richardson(s.data(), n_of(s), 100, 1000, 2000, &brn, &shear), 0);
  EXPECT_GT(shear, 0);
  EXPECT_NEAR(brn, 2000 / (0.5 * shear * shear), 1e-2);
  std::vector<UPA_level> low(s.begin(), s.begin() + 7);  // winds to 3000 m
  EXPECT_EQ(bulk_richardson(low.data(), n_of(low), 100, 1000, 2000, &brn, &shear), -1);
  EXPECT_EQ(brn, M);
  EXPECT_EQ(shear, M);
  EXPECT_EQ(bulk_richardson(nullptr, 0, 100, 1000, 2000, &brn, &shear), -1);
  // A negative or missing CAPE: shear but no number.
  EXPECT_EQ(bulk_richardson(s.data(), n_of(s), 100, 1000, M, &brn, &shear), 0);
  EXPECT_EQ(brn, M);
  EXPECT_NE(shear, M);
}

// The bulk shear is the difference of the mean vectors: a wind that turns
// round at constant speed has a bulk shear though its mean speeds agree.
TEST(BulkRichardson, BulkShearOfVectorMeans) {
  std::vector<UPA_level> s;
  for (float z = 0; z <= 7000; z += 250)
    s.push_back(UPA_level{static_cast<float>(1000 * std::exp(-z / 8000.0)), z, 20, 10,
                          z <= 500 ? 90.0f : 270.0f, 20});
  float brn, shear;
  ASSERT_EQ(bulk_richardson(s.data(), n_of(s), 100, 1000, 1000, &brn, &shear), 0);
  EXPECT_GT(shear, 12);  // most of 20 knots each way = 20.6 m/s apart
  EXPECT_LT(shear, 20.6);
  // A constant wind: no shear, no number.
  for (auto &l : s) l.dir = 180;
  ASSERT_EQ(bulk_richardson(s.data(), n_of(s), 100, 1000, 1000, &brn, &shear), 0);
  EXPECT_NEAR(shear, 0, 1e-4);
}

TEST(EnergyHelicity, MissingCapeIsMissing) {
  auto s = profile();
  WIND storm{240, 20};
  EXPECT_EQ(energy_helicity(s.data(), n_of(s), 100, 1000, &storm, M), M);
  EXPECT_EQ(energy_helicity(s.data(), n_of(s), 100, M, &storm, 1000), M);
  HELICITY_params hp;
  helicity(s.data(), n_of(s), 103, 0, 2000, &storm, &hp);
  EXPECT_NEAR(energy_helicity(s.data(), n_of(s), 100, 1000, &storm, 1600),
              hp.pos_hel * 1600 / 160000, 1e-4);
}

TEST(PrCcl, CrossingFirstLevelAndEqualPressures) {
  std::vector<UPA_level> s = {{1000, 100, 30, 20, M, M},
                              {900, 1000, 22, 10, M, M},
                              {800, 2000, 12, 0, M, M},
                              {700, 3000, 4, -10, M, M}};
  float w;
  float ccl = pr_ccl(s.data(), 4, 100, 1000, 0, &w);
  EXPECT_NEAR(w, mix_ratio(293.15f, 1000), 1e-4);
  ASSERT_GT(ccl, 700);
  ASSERT_LT(ccl, 1000);
  // At the crossing the mixing-ratio line meets the temperature curve.
  UPA_level l;
  UPA_interp(s.data(), 4, 100, ccl, &l);
  EXPECT_NEAR(temp_on_mixrat(w, ccl) - 273.15f, l.t, 0.3);
  // The line already warmer than the first level.
  std::vector<UPA_level> sat = {{1000, 100, 20, 20.5f, M, M}, {900, 1000, 15, 10, M, M}};
  EXPECT_EQ(pr_ccl(sat.data(), 2, 100, 1000, 0, &w), 1000);
  // Two levels at one pressure around the crossing: no division by zero.
  std::vector<UPA_level> dup = {{1000, 100, 30, 20, M, M},
                                {900, 1000, 22, 10, M, M},
                                {900, 1000, 5, 0, M, M},
                                {700, 3000, 0, -10, M, M}};
  float c = pr_ccl(dup.data(), 4, 100, 1000, 0, &w);
  EXPECT_TRUE(std::isfinite(c));
  EXPECT_EQ(c, 900);
  // Never crossing; no dew point; starting above 500 mb.
  std::vector<UPA_level> warm = {{1000, 100, 40, 0, M, M}, {900, 1000, 35, 0, M, M}};
  EXPECT_EQ(pr_ccl(warm.data(), 2, 100, 1000, 0, &w), -1);
  std::vector<UPA_level> dry = {{1000, 100, 40, M, M, M}, {900, 1000, 35, M, M, M}};
  EXPECT_EQ(pr_ccl(dry.data(), 2, 100, 1000, 0, &w), M);
  EXPECT_EQ(pr_ccl(s.data(), 4, 100, 450, 0, &w), M);
  EXPECT_EQ(w, M);
}

}  // namespace
