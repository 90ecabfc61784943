// Map projections: every geographic projection against PROJ (rows made by
// scripts/gen_maptran_fixtures.py in tests/data/maptran_proj.txt) and
// Snyder's worked examples, dense forward/inverse round trips, the
// diagrams and plots, grid indices, the declutter grid, and the failures:
// points off the projection, missing and non-finite inputs, refused domains.
#include <gtest/gtest.h>
#include <kav/maptran.h>
#include <kav/region.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

constexpr float kMiss = -9999.0f;

Domain decoded(const std::string &text) {
  Domain d;
  EXPECT_EQ(DOM_decode(text.c_str(), &d), 1) << text;
  return d;
}

// Makes the domain of a text current.
void use(const std::string &text) {
  Domain d = decoded(text);
  ASSERT_EQ(MAP_domain(&d), 0) << text;
}

double lon_diff(double a, double b) {
  double d = std::fmod(a - b, 360.0);
  if (d > 180) d -= 360;
  if (d < -180) d += 360;
  return std::fabs(d);
}

void check_rows(const char *file) {
  const auto table = kavtest::read_rows(file);
  ASSERT_GT(table.size(), 0u) << file;
  std::string current;
  int on = 0, off = 0;
  for (const auto &row : table) {
    SCOPED_TRACE(row.where());
    const std::vector<std::string> &r = row.fields;
    ASSERT_EQ(r.size(), 6u);
    if (r[0] != current) {
      use(r[0]);
      current = r[0];
    }
    const float lat = std::stof(r[1]), lon = std::stof(r[2]);
    const double ex = std::stod(r[3]), ey = std::stod(r[4]), tol = std::stod(r[5]);
    float x, y;
    const int res = MAP_tran(lat, lon, &x, &y);
    if (ex == kMiss) {
      EXPECT_EQ(res, 0) << r[0] << " " << lat << " " << lon;
      EXPECT_EQ(x, kMiss);
      EXPECT_EQ(y, kMiss);
      ++off;
      continue;
    }
    ++on;
    ASSERT_EQ(res, 1) << r[0] << " " << lat << " " << lon;
    // Floats carry about seven digits.
    EXPECT_NEAR(x, ex, std::fmax(tol, 3e-7 * std::fabs(ex))) << r[0] << " " << lat << " " << lon;
    EXPECT_NEAR(y, ey, std::fmax(tol, 3e-7 * std::fabs(ey))) << r[0] << " " << lat << " " << lon;
  }
  EXPECT_GT(on, 0);
  (void)off;
}

// Runs first in its own process under CTest: the state before any domain.
TEST(AInitialState, NoProjectionAndUnsetLimits) {
  MAP_limits l;
  MAP_get_limits(&l);
  if (MAP_get_proj() != -9999) GTEST_SKIP() << "a domain was set before";
  EXPECT_EQ(l.x_min, kMiss);
  EXPECT_EQ(l.y_max, kMiss);
  float x, y;
  EXPECT_EQ(MAP_tran(1, 2, &x, &y), 1);
  EXPECT_EQ(x, 1);
  EXPECT_EQ(MAP_in_domain(5, 5), 1);
  EXPECT_EQ(MAP_grid_tran(0, 0, &x, &y), -1);
}

TEST(ProjAgainstProj, EveryRowOfTheFixture) { check_rows("maptran_proj.txt"); }

TEST(ProjAgainstProj, SnyderWorkedExamples) { check_rows("maptran_snyder.txt"); }

TEST(ProjAgainstProj, FixtureCoversEveryGeographicFamily) {
  std::vector<int> seen;
  for (const auto &r : kavtest::read_rows("maptran_proj.txt"))
    seen.push_back(decoded(r.fields[0]).proj);
  int i = 0, code, has;
  const char *name;
  while (MAP_proj_entry(i++, &code, &name, &has)) {
    if (code < 1 || code > 9 || !has) continue;
    EXPECT_NE(std::find(seen.begin(), seen.end(), code), seen.end()) << name;
  }
}

// A domain of every geographic family, and the area its round trips cover.
// Near the rim of a bounded view the inverse of float coordinates loses
// digits (the slope is infinite there): min_cos keeps the points whose
// angular distance from the view's centre has at least that cosine.
struct RoundTrip {
  const char *domain;
  float lat_min, lat_max, lon_span;  // longitudes plon +- lon_span
  double min_cos = -2;
};

const RoundTrip kTrips[] = {
    {"ps:45:-105,45,-105,25,17,2,2", -74, 89.5, 180},
    {"ps:-60:30:-71,-60,30,25,17,2,2", -89.5, 74, 180},
    {"ll:0:-100,40,-100,25,17,1,1", -90, 90, 180},
    {"merc:0:150,0,150,25,17,2,2", -89, 89, 180},
    {"lamb:40:-95:30:60,40,-95,25,17,2,2", -80, 89.5, 179},
    {"lamb:-40:-95:-35,-40,-95,25,17,2,2", -89.5, 80, 179},
    {"ortho:40:-100,40,-100,25,17,2,2", -90, 90, 180, 0.05},
    {"moll:0:20,0,20,25,17,2,2", -89.5, 89.5, 179.5},
    {"lambaz:45:-100,45,-100,25,17,2,2", -90, 90, 180},
    {"lambaz:-90:0,-90,0,25,17,2,2", -90, 89, 180},
    {"sat:0:-75:421.61,0,-75,25,17,2,2", -90, 90, 180, 0.2},
    {"sat:0:-75:421.61:1,0,-75,25,17,2,2", -90, 90, 180, 0.2},
    {"sat:e:0:140:421.61,0,140,25,17,2,2", -90, 90, 180, 0.2},
};

TEST(RoundTrips, DenseForwardInverseReturnTheInput) {
  for (const RoundTrip &t : kTrips) {
    use(t.domain);
    const Domain *d = MAP_get_domain(nullptr);
    int ok = 0;
    for (float lat = t.lat_min; lat <= t.lat_max; lat += 0.5f) {
      for (float dl = -t.lon_span; dl <= t.lon_span; dl += 0.75f) {
        const float lon = d->plon + dl;
        const double r = 0.017453292519943295;
        const double plat = t.domain[0] == 's' ? 0 : d->plat;
        const double cosc = std::sin(plat * r) * std::sin(lat * r) +
                            std::cos(plat * r) * std::cos(lat * r) * std::cos(dl * r);
        if (cosc < t.min_cos) continue;
        float x, y, la, lo;
        if (!MAP_tran(lat, lon, &x, &y)) {
          EXPECT_EQ(x, kMiss);
          continue;
        }
        ASSERT_TRUE(std::isfinite(x) && std::isfinite(y)) << t.domain << " " << lat << " " << lon;
        ASSERT_EQ(MAP_untran(x, y, &la, &lo), 1) << t.domain << " " << lat << " " << lon;
        ASSERT_TRUE(std::isfinite(la) && std::isfinite(lo));
        EXPECT_NEAR(la, lat, 2e-3) << t.domain << " " << lat << " " << lon;
        if (std::fabs(lat) < 89.9f) {
          EXPECT_LT(lon_diff(lo, lon), 2e-3 / std::cos(lat * 0.01745329))
              << t.domain << " " << lat << " " << lon;
        }
        EXPECT_GE(lo, -180.0f);
        EXPECT_LE(lo, 180.0f);
        ++ok;
      }
    }
    EXPECT_GT(ok, 2000) << t.domain;
  }
}

TEST(RoundTrips, InversesOffTheProjectionFail) {
  float la, lo;
  use("ortho:40:-100,40,-100,25,17,2,2");
  EXPECT_EQ(MAP_untran(64, 10, &la, &lo), 0);
  EXPECT_EQ(la, kMiss);
  use("lambaz:45:-100,45,-100,25,17,2,2");
  EXPECT_EQ(MAP_untran(128, 10, &la, &lo), 0);
  use("moll:0:0,0,0,25,17,2,2");
  EXPECT_EQ(MAP_untran(0, 64, &la, &lo), 0);
  // Inside the y range but beyond the ellipse's edge.
  EXPECT_EQ(MAP_untran(127, 10, &la, &lo), 0);
  EXPECT_EQ(MAP_untran(-127, 60, &la, &lo), 0);
  // The poles of the ellipse are points.
  EXPECT_EQ(MAP_untran(0, 63.7122f, &la, &lo), 1);
  EXPECT_NEAR(la, 90, 1e-3);
  use("sat:0:-75:421.61,0,-75,25,17,2,2");
  EXPECT_EQ(MAP_untran(80, 0, &la, &lo), 0);
  use("ll:0:0,0,0,25,17,1,1");
  EXPECT_EQ(MAP_untran(0, 91, &la, &lo), 0);
}

TEST(EdgeCases, PolarStereographic) {
  float x, y, x2, y2;
  use("ps,60,-100,25,17,2,2");  // north polar, true at 60 N
  EXPECT_NEAR(MAP_factor(60, 0), 1.0f, 1e-6);
  EXPECT_NEAR(MAP_factor(90, 0), 1.866f / 2, 1e-3);
  // Latitude -80 on a north-polar map is drawn at -75.
  MAP_tran(-80, 10, &x, &y);
  MAP_tran(-75, 10, &x2, &y2);
  EXPECT_FLOAT_EQ(x, x2);
  EXPECT_FLOAT_EQ(y, y2);
  // A south-polar map has its own scale: true at 60 S, not 13.9.
  use("ps,-60,0,25,17,2,2");
  EXPECT_NEAR(MAP_factor(-60, 0), 1.0f, 1e-6);
  EXPECT_NEAR(MAP_factor(-90, 0), 1.866f / 2, 1e-3);
  EXPECT_EQ(MAP_factor(90, 0), kMiss);
  use("ps:-70:0:-71,-70,0,25,17,2,2");
  EXPECT_NEAR(MAP_factor(-71, 0), 1.0f, 1e-6);
}

TEST(EdgeCases, LongitudesWrapOnEveryGeographicCode) {
  const char *domains[] = {"ps,50,-100,25,17,2,2",        "ll,40,-100,25,17,1,1",
                           "merc,0,-100,25,17,2,2",       "lamb,40,-100,25,17,2,2",
                           "ortho:0:-120,0,-120,5,5,1,1", "moll,0,-100,25,17,2,2",
                           "lambaz,10,-100,25,17,2,2",    "sat:0:-150,0,-150,25,17,2,2"};
  for (const char *t : domains) {
    use(t);
    float x1, y1, x2, y2;
    ASSERT_EQ(MAP_tran(20, 190, &x1, &y1), 1) << t;
    ASSERT_EQ(MAP_tran(20, -170, &x2, &y2), 1) << t;
    EXPECT_FLOAT_EQ(x1, x2) << t;
    EXPECT_FLOAT_EQ(y1, y2) << t;
    // Far-off, infinite, NaN and missing inputs end at once, as off.
    EXPECT_EQ(MAP_tran(20, 1e30f, &x1, &y1), 1) << t;
    EXPECT_EQ(MAP_tran(20, INFINITY, &x1, &y1), 0) << t;
    EXPECT_EQ(MAP_tran(20, NAN, &x1, &y1), 0) << t;
    EXPECT_EQ(MAP_tran(NAN, 20, &x1, &y1), 0) << t;
    EXPECT_EQ(MAP_tran(20, kMiss, &x1, &y1), 0) << t;
    EXPECT_EQ(x1, kMiss);
    EXPECT_EQ(y1, kMiss);
    EXPECT_EQ(MAP_tran(kMiss, 20, &x1, &y1), 0) << t;
    EXPECT_EQ(MAP_tran(95, 20, &x1, &y1), 0) << t;
    EXPECT_EQ(MAP_untran(kMiss, 3, &x1, &y1), 0) << t;
    EXPECT_EQ(MAP_untran(3, NAN, &x1, &y1), 0) << t;
  }
}

TEST(EdgeCases, MercatorAndMollweideAtThePoles) {
  float x, y, x2, y2;
  use("merc,0,0,25,17,2,2");
  MAP_tran(90, 30, &x, &y);
  MAP_tran(89.9f, 30, &x2, &y2);
  EXPECT_FLOAT_EQ(y, y2);
  use("moll,0,0,25,17,2,2");
  ASSERT_EQ(MAP_tran(90, 100, &x, &y), 1);
  EXPECT_EQ(x, 0);
  EXPECT_NEAR(y, 63.7122, 1e-4);
  ASSERT_EQ(MAP_tran(-90, -100, &x, &y), 1);
  EXPECT_EQ(x, 0);
  EXPECT_NEAR(y, -63.7122, 1e-4);
  // The whole globe spans [-2R, 2R] in x.
  ASSERT_EQ(MAP_tran(0, 179.999f, &x, &y), 1);
  EXPECT_NEAR(x, 2 * 63.7122, 1e-3);
}

TEST(EdgeCases, LambertAzimuthalAntipodeAndCentre) {
  use("lambaz:40:-100,40,-100,25,17,2,2");
  float x, y, la, lo;
  EXPECT_EQ(MAP_tran(-40, 80, &x, &y), 0);
  EXPECT_EQ(x, kMiss);
  EXPECT_EQ(y, kMiss);
  // Close to the antipode the point is still drawn, finite.
  ASSERT_EQ(MAP_tran(-39.9f, 80, &x, &y), 1);
  EXPECT_TRUE(std::isfinite(x) && std::isfinite(y));
  // The centre is a point.
  ASSERT_EQ(MAP_tran(40, -100, &x, &y), 1);
  EXPECT_EQ(MAP_untran(x, y, &la, &lo), 1);
  EXPECT_FLOAT_EQ(la, 40);
  EXPECT_FLOAT_EQ(lo, -100);
}

TEST(EdgeCases, SatelliteViewDisc) {
  use("sat:0:-75,0,-75,25,17,2,2");
  float x, y;
  EXPECT_EQ(MAP_tran(0, 15, &x, &y), 0);
  EXPECT_EQ(MAP_tran(0, -165, &x, &y), 0);
  ASSERT_EQ(MAP_tran(0, -75, &x, &y), 1);
  EXPECT_NEAR(x, 0, 1e-5);
  EXPECT_NEAR(y, 0, 1e-5);
  // Scan angles: atan of the tangent plane's coordinates.
  float xt, yt, xs, ys;
  use("sat:0:-75,0,-75,25,17,2,2");
  MAP_tran(30, -40, &xt, &yt);
  use("sat:0:-75::1,0,-75,25,17,2,2");
  MAP_tran(30, -40, &xs, &ys);
  EXPECT_NEAR(xs, std::atan(xt / 421.61) * 421.61, 1e-3);
  EXPECT_NEAR(ys, std::atan(yt / 421.61) * 421.61, 1e-3);
}

TEST(EdgeCases, LambertConformalHemispheres) {
  // Southern true latitudes count by their size: signed or not, the same map.
  float x1, y1, x2, y2;
  use("lamb:-40:130:-30:-60,-40,130,25,17,2,2");
  ASSERT_EQ(MAP_tran(-35, 140, &x1, &y1), 1);
  use("lamb:-40:130:30:60,-40,130,25,17,2,2");
  ASSERT_EQ(MAP_tran(-35, 140, &x2, &y2), 1);
  EXPECT_FLOAT_EQ(x1, x2);
  EXPECT_FLOAT_EQ(y1, y2);
  // The south pole is the apex: y grows towards the equator.
  float xe, ye;
  MAP_tran(-10, 130, &xe, &ye);
  EXPECT_GT(ye, y1);
  // Tangent cones are true at their parallel in both hemispheres.
  use("lamb:-35:0:-35,-35,0,25,17,2,2");
  EXPECT_NEAR(MAP_factor(-35, 0), 1.0f, 1e-5);
  use("lamb:35:0:35,35,0,25,17,2,2");
  EXPECT_NEAR(MAP_factor(35, 0), 1.0f, 1e-5);
  // param[2] overrides the factor.
  use("lamb:35:0:35:35:1.5,35,0,25,17,2,2");
  EXPECT_FLOAT_EQ(MAP_factor(10, 0), 1.5f);
  // A cone that cannot close is refused.
  Domain d = decoded("lamb:35:0:0:0,35,0,25,17,2,2");
  kavtest::Captured c = kavtest::capture([&] { EXPECT_EQ(MAP_domain(&d), -1); });
  EXPECT_NE(c.err.find("MAP_domain"), std::string::npos);
  EXPECT_EQ(MAP_tran(35, 0, &x1, &y1), 0);
}

TEST(EdgeCases, ProjCoordDerivesTheConstantsAgain) {
  use("lamb:40:-95:30:60,40,-95,25,17,2,2");
  float x, y;
  MAP_tran(20, -80, &x, &y);  // constants of 30/60 in use
  const float tl[2] = {25, 25};
  ASSERT_EQ(MAP_proj_coord(tl), 0);
  float x2, y2;
  MAP_tran(20, -80, &x2, &y2);
  use("lamb:40:-95:25:25,40,-95,25,17,2,2");
  float x3, y3;
  MAP_tran(20, -80, &x3, &y3);
  EXPECT_FLOAT_EQ(x2, x3);
  EXPECT_FLOAT_EQ(y2, y3);
  EXPECT_NE(x, x2);
  MAP_limits l1, l2;
  MAP_get_limits(&l2);
  use("lamb:40:-95:30:60,40,-95,25,17,2,2");
  MAP_proj_coord(tl);
  MAP_get_limits(&l1);
  EXPECT_FLOAT_EQ(l1.x_min, l2.x_min);
  EXPECT_FLOAT_EQ(l1.y_max, l2.y_max);
  use("ps,40,-95,25,17,2,2");
  EXPECT_EQ(MAP_proj_coord(tl), -1);
}

TEST(Domains, RefusedAndEmptyDomains) {
  float x, y;
  Domain d;
  // No projection: the inputs pass through both ways.
  EXPECT_EQ(MAP_domain(nullptr), -1);
  EXPECT_EQ(MAP_get_proj(), -9999);
  EXPECT_EQ(MAP_tran(12, 34, &x, &y), 1);
  EXPECT_EQ(x, 12);
  EXPECT_EQ(y, 34);
  EXPECT_EQ(MAP_untran(5, 6, &x, &y), 1);
  EXPECT_EQ(x, 5);
  EXPECT_EQ(MAP_in_domain(1e6, 1e6), 1);
  // A missing centre, or one off the projection, is refused.
  DOM_init(&d);
  d.proj = 1;
  d.nx = d.ny = 10;
  d.dx = d.dy = 1;
  kavtest::Captured c = kavtest::capture([&] { EXPECT_EQ(MAP_domain(&d), -1); });
  EXPECT_NE(c.err.find("MAP_domain"), std::string::npos);
  EXPECT_EQ(MAP_tran(40, -100, &x, &y), 0);
  EXPECT_EQ(MAP_in_domain(0, 0), 0);
  MAP_limits l;
  MAP_get_limits(&l);
  EXPECT_EQ(l.x_min, kMiss);
  d = decoded("ortho:40:-100,-40,80,25,17,2,2");
  kavtest::capture([&] { EXPECT_EQ(MAP_domain(&d), -1); });
  EXPECT_EQ(MAP_tran(40, -100, &x, &y), 0);
  // A code without a transform is refused, not drawn.
  d = decoded("gnom,40,-100,25,17,2,2");
  kavtest::capture([&] { EXPECT_EQ(MAP_domain(&d), -1); });
  EXPECT_EQ(MAP_tran(40, -100, &x, &y), 0);
  EXPECT_EQ(MAP_get_proj(), 6);
  // A missing size leaves the limits unset but the transforms working.
  d = decoded("ps,40,-100,25,17,2,2");
  d.nx = -9999;
  EXPECT_EQ(MAP_domain(&d), 0);
  EXPECT_EQ(MAP_tran(40, -100, &x, &y), 1);
  EXPECT_EQ(MAP_grid_tran(0, 0, &x, &y), -1);
}

TEST(Grid, IndicesAndLimits) {
  use("ps,40,-100,25,17,2,3");
  MAP_limits l;
  MAP_get_limits(&l);
  float xc, yc;
  MAP_tran_center(&xc, &yc);
  EXPECT_NEAR(l.x_max - l.x_min, 48, 1e-4);
  EXPECT_NEAR(l.y_max - l.y_min, 48, 1e-4);
  EXPECT_NEAR((l.x_max + l.x_min) / 2, xc, 1e-4);
  float x, y, gx, gy;
  EXPECT_EQ(MAP_grid_tran(0, 0, &x, &y), 0);
  EXPECT_FLOAT_EQ(x, l.x_min);
  EXPECT_FLOAT_EQ(y, l.y_max);
  MAP_grid_tran(24, 16, &x, &y);
  EXPECT_NEAR(x, l.x_max, 1e-4);
  EXPECT_NEAR(y, l.y_min, 1e-4);
  EXPECT_EQ(MAP_grid_untran(x, y, &gx, &gy), 0);
  EXPECT_NEAR(gx, 24, 1e-4);
  EXPECT_NEAR(gy, 16, 1e-4);
  EXPECT_EQ(MAP_grid_tran(kMiss, 0, &x, &y), -1);
  EXPECT_EQ(x, kMiss);
  EXPECT_EQ(MAP_grid_untran(kMiss, 0, &gx, &gy), -1);
  EXPECT_EQ(MAP_in_domain(xc, yc), 1);
  EXPECT_EQ(MAP_in_domain(l.x_max + 1, yc), 0);
  EXPECT_EQ(MAP_in_grid_domain(l.x_max + 5.9f, yc), 1);
  EXPECT_EQ(MAP_in_grid_domain(l.x_max + 6.1f, yc), 0);
  EXPECT_EQ(MAP_in_grid_domain(xc, l.y_min - 8.9f), 1);
  EXPECT_EQ(MAP_in_grid_domain(xc, l.y_min - 9.1f), 0);
  float ux, uy;
  MAP_get_up_left(&ux, &uy);
  EXPECT_EQ(ux, l.x_min);
  EXPECT_EQ(uy, l.y_max);
}

TEST(Grid, DeclutterCells) {
  MAP_set_plot_limit(2);
  use("ll,0,0,5,5,1,1");
  ASSERT_EQ(MAP_plot_grid_init(), 0);
  float x, y;
  MAP_grid_tran(1.1f, 1.1f, &x, &y);
  EXPECT_EQ(MAP_plot_grid(x, y), 1);
  MAP_grid_tran(1.3f, 1.4f, &x, &y);
  EXPECT_EQ(MAP_plot_grid(x, y), 0);  // same half-interval cell
  MAP_grid_tran(1.6f, 1.1f, &x, &y);
  EXPECT_EQ(MAP_plot_grid(x, y), 1);  // next cell
  MAP_grid_tran(4, 4, &x, &y);
  EXPECT_EQ(MAP_plot_grid(x, y), 1);  // the far corner is in a cell
  MAP_grid_tran(4.01f, 4, &x, &y);
  EXPECT_EQ(MAP_plot_grid(x, y), 0);  // off the grid
  EXPECT_EQ(MAP_plot_grid(kMiss, 0), 0);
  MAP_set_plot_limit(-2);
  ASSERT_EQ(MAP_plot_grid_init(), 0);
  MAP_grid_tran(0.1f, 0.1f, &x, &y);
  EXPECT_EQ(MAP_plot_grid(x, y), 1);
  MAP_grid_tran(1.9f, 1.9f, &x, &y);
  EXPECT_EQ(MAP_plot_grid(x, y), 0);
  MAP_set_plot_limit(-1);
  EXPECT_EQ(MAP_plot_grid(x, y), 1);
  // A grid too large for any plot is refused, and everything is admitted.
  Domain d = decoded("ll,0,0,100000,100000,0.001,0.001");
  MAP_domain(&d);
  MAP_set_plot_limit(100);
  kavtest::capture([] { EXPECT_EQ(MAP_plot_grid_init(), -1); });
  EXPECT_EQ(MAP_plot_grid(0, 0), 1);
  MAP_set_plot_limit(0);
}

TEST(Diagrams, SkewTSkewsIsothermsAt45DegreesOnTheDevice) {
  // Temperatures -40..40 C, pressures 1050..100 mb.
  use("skewt,-40,1050,25,17,80,-950");
  MAP_limits l;
  MAP_get_limits(&l);
  EXPECT_FLOAT_EQ(l.x_min, -40);  // limits are formed unskewed
  EXPECT_FLOAT_EQ(l.x_max, 40);
  MAP_limits view = {0, 100, 0, 100};
  MAP_set_view(&view);
  float x1, y1, x2, y2;
  MAP_tran(0, 1000, &x1, &y1);
  MAP_tran(0, 500, &x2, &y2);
  const float skew = (x2 - x1) / (y2 - y1);
  view = {0, 100, 0, 200};
  MAP_set_view(&view);
  MAP_tran(0, 1000, &x1, &y1);
  MAP_tran(0, 500, &x2, &y2);
  EXPECT_NEAR((x2 - x1) / (y2 - y1), 2 * skew, 1e-5);
  float t, p;
  ASSERT_EQ(MAP_untran(x2, y2, &t, &p), 1);
  EXPECT_NEAR(t, 0, 1e-4);
  EXPECT_NEAR(p, 500, 1e-2);
  // An unset view divides by nothing: a square one is taken.
  view = {kMiss, kMiss, kMiss, kMiss};
  MAP_set_view(&view);
  EXPECT_EQ(MAP_tran(0, 500, &x1, &y1), 1);
  EXPECT_TRUE(std::isfinite(x1));
  view = {5, 5, 5, 5};
  MAP_set_view(&view);
  EXPECT_EQ(MAP_tran(0, 500, &x1, &y1), 1);
  EXPECT_TRUE(std::isfinite(x1));
  EXPECT_EQ(MAP_tran(0, 0, &x1, &y1), 0);
  EXPECT_EQ(MAP_tran(kMiss, 500, &x1, &y1), 0);
}

TEST(Diagrams, TephigramInverseReturnsTemperatureAndPressure) {
  for (const char *t : {"teph,-40,1050,25,17,80,-950", "rteph,-40,1050,25,17,80,-950"}) {
    use(t);
    MAP_limits view = {0, 300, 0, 400};
    MAP_set_view(&view);
    for (float temp = -40; temp <= 40; temp += 10) {
      for (float p = 1000; p >= 200; p -= 100) {
        float x, y, t2, p2;
        ASSERT_EQ(MAP_tran(temp, p, &x, &y), 1) << t;
        ASSERT_EQ(MAP_untran(x, y, &t2, &p2), 1) << t;
        EXPECT_NEAR(t2, temp, 1e-3) << t;
        EXPECT_NEAR(p2, p, 2e-3 * p / 100) << t << " " << temp << " " << p;
      }
    }
    // The unset view never divides by zero.
    view = {kMiss, kMiss, kMiss, kMiss};
    MAP_set_view(&view);
    float x, y;
    EXPECT_EQ(MAP_tran(0, 500, &x, &y), 1);
    EXPECT_TRUE(std::isfinite(x) && std::isfinite(y));
    EXPECT_EQ(MAP_tran(-300, 500, &x, &y), 0);  // below absolute zero
  }
}

TEST(Diagrams, PlotsAndSimpleDiagrams) {
  float x, y, a, b;
  use("stuve,-40,1050,25,17,80,-950");
  MAP_tran(10, 500, &x, &y);
  EXPECT_NEAR(y, -std::pow(500.0, 0.285714), 1e-4);
  MAP_untran(x, y, &a, &b);
  EXPECT_NEAR(b, 500, 1e-2);
  use("ema,-40,1050,25,17,80,-950");
  MAP_tran(10, 500, &x, &y);
  EXPECT_NEAR(y, -std::log(500.0), 1e-6);
  use("xlogp,-40,1050,25,17,80,-950");
  MAP_untran(3, -std::log(700.0f), &a, &b);
  EXPECT_NEAR(b, 700, 1e-2);
  use("hodo,-50,-50,25,17,100,100");
  MAP_tran(90, 10, &x, &y);
  EXPECT_NEAR(x, 10, 1e-5);
  EXPECT_NEAR(y, 0, 1e-5);
  MAP_untran(-10, 0, &a, &b);
  EXPECT_NEAR(a, 270, 1e-4);
  EXPECT_NEAR(b, 10, 1e-5);
  MAP_limits l;
  MAP_get_limits(&l);
  EXPECT_EQ(l.x_min, -50);
  EXPECT_EQ(l.y_max, 50);
  // Linear plot: data 0..200 onto plot 0..10.
  use("xy,0,0,10,20,200,400");
  MAP_tran(100, 100, &x, &y);
  EXPECT_NEAR(x, 5, 1e-5);
  EXPECT_NEAR(y, 5, 1e-5);
  MAP_untran(x, y, &a, &b);
  EXPECT_NEAR(a, 100, 1e-4);
  use("xp,0,0,10,20,200,400");
  MAP_tran(100, 100, &x, &y);
  MAP_untran(x, y, &a, &b);
  EXPECT_NEAR(b, 100, 1e-4);
  use("pix,0,0,10,10,640,480");
  MAP_tran(3, 4, &x, &y);
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, -4);
  // A linear plot without a data span is refused.
  Domain d = decoded("xy,0,0,10,20,0,400");
  kavtest::capture([&] { EXPECT_EQ(MAP_domain(&d), -1); });
}

TEST(Directions, AdjustmentsFollowTheTrueDirectionOnThePlot) {
  // The plot angle of a small step from a point towards a true direction.
  auto plot_dir = [](float x, float y, double dir) {
    float la, lo, x2, y2;
    MAP_untran(x, y, &la, &lo);
    const double r = 0.017453292519943295, step = 0.02;
    MAP_tran(static_cast<float>(la + step * std::cos(dir * r)),
             static_cast<float>(lo + step * std::sin(dir * r) / std::cos(la * r)), &x2, &y2);
    return std::atan2(x2 - x, y2 - y) / r;
  };
  const char *domains[] = {"ps,50,-100,25,17,2,2",    "ps,-50,60,25,17,2,2",
                           "lamb,40,-100,25,17,2,2",  "lamb:-40:130:-30:-60,-40,130,25,17,2,2",
                           "ortho,30,-100,25,17,2,2", "lambaz,50,10,25,17,2,2",
                           "moll,0,0,25,17,2,2",      "sat:0:-75,0,-75,25,17,2,2"};
  for (const char *t : domains) {
    use(t);
    float x, y;
    MAP_tran(MAP_get_clat() + 8, MAP_get_clon() + 15, &x, &y);
    for (double dir : {0.0, 33.0, 90.0, 200.0}) {
      double diff = MAP_dir_adj(static_cast<float>(dir), x, y) - plot_dir(x, y, dir);
      diff = std::remainder(diff, 360.0);
      EXPECT_NEAR(diff, 0, 0.2) << t << " " << dir;
      diff = std::remainder(MAP_undir_adj(MAP_dir_adj(static_cast<float>(dir), x, y), x, y) - dir,
                            360.0);
      EXPECT_NEAR(diff, 0, 0.05) << t << " " << dir;
    }
  }
  use("merc,0,0,25,17,2,2");
  EXPECT_EQ(MAP_dir_adj(45, 3, 4), 45);
  // A point with no geographic place gives no direction.
  use("ortho,30,-100,25,17,2,2");
  EXPECT_EQ(MAP_dir_adj(45, 100, 0), kMiss);
  EXPECT_EQ(MAP_undir_adj(45, 100, 0), kMiss);
  EXPECT_EQ(MAP_dir_adj(kMiss, 1, 1), kMiss);
  use("ps,50,-100,25,17,2,2");
  float x, y;
  MAP_tran(45, -90, &x, &y);
  EXPECT_NEAR(MAP_uvdir_adj(0, 0, x, y), MAP_dir_adj(0, x, y), 1e-6);
  // MAP_dir gives a true direction on a polar stereographic map.
  float x2, y2;
  MAP_tran(46, -90, &x2, &y2);
  EXPECT_NEAR(MAP_dir(x, y, x2, y2), 0, 0.05);
}

TEST(Directions, OffsetGoesTheDistance) {
  use("ps,40,-100,25,17,2,2");
  float x, y, xf, yf, la, lo;
  MAP_tran(40, -100, &x, &y);
  ASSERT_EQ(MAP_offset(x, y, 0, 111.195f, &xf, &yf), 1);
  MAP_untran(xf, yf, &la, &lo);
  EXPECT_NEAR(la, 41, 1e-3);
  EXPECT_NEAR(lo, -100, 1e-3);
  MAP_offset(x, y, 90, 111.195f, &xf, &yf);
  MAP_untran(xf, yf, &la, &lo);
  EXPECT_NEAR(lo, -100 + 1 / std::cos(40 * 0.0174533), 1e-3);
  // A start with no geographic point: the failure is passed on.
  use("ortho,30,-100,25,17,2,2");
  EXPECT_EQ(MAP_offset(100, 0, 0, 10, &xf, &yf), 0);
  EXPECT_EQ(xf, kMiss);
  EXPECT_EQ(yf, kMiss);
}

TEST(Domains, DomainToDomainKeepsTheCurrentOne) {
  Domain ps = decoded("ps,40,-100,25,17,2,2");
  Domain ll = decoded("ll,40,-100,25,17,1,1");
  Domain ortho = decoded("ortho,40,-100,25,17,1,1");
  MAP_domain(&ortho);
  MAP_limits before, after;
  MAP_get_limits(&before);
  MAP_domain(&ps);
  float x, y;
  MAP_tran(45, -90, &x, &y);
  MAP_domain(&ortho);
  float lx, ly;
  ASSERT_EQ(MAP_domain_tran(&ps, &ll, x, y, &lx, &ly), 0);
  EXPECT_NEAR(lx, 10, 1e-3);  // latlon x is the longitude east of plon
  EXPECT_NEAR(ly, 45, 1e-3);
  MAP_get_limits(&after);
  EXPECT_EQ(MAP_get_proj(), 5);
  EXPECT_EQ(before.x_min, after.x_min);
  // Same domain: copied.
  EXPECT_EQ(MAP_domain_tran(&ps, &ps, 1.5f, 2.5f, &lx, &ly), 0);
  EXPECT_EQ(lx, 1.5f);
  // No place on the first domain, or none on the second: failure, -9999.
  EXPECT_EQ(MAP_domain_tran(&ortho, &ll, 100, 0, &lx, &ly), -1);
  EXPECT_EQ(lx, kMiss);
  EXPECT_EQ(MAP_domain_tran(&ll, &ortho, 80, -40, &lx, &ly), -1);
  EXPECT_EQ(ly, kMiss);
}

TEST(Registry, EveryEntryWithTransformsMakesADomain) {
  int i = 0, code, has, n = 0;
  const char *name;
  while (MAP_proj_entry(i++, &code, &name, &has)) {
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(DOM_proj_str(name), code) << name;
    EXPECT_EQ(MAP_proj_str(name), code) << name;
    Domain d;
    DOM_init(&d);
    d.proj = code;
    d.clat = code >= 20 ? 10.0f : 30.0f;
    d.clon = code >= 20 ? 500.0f : -100.0f;
    d.nx = d.ny = 11;
    d.dx = d.dy = code >= 20 ? 20.0f : 1.0f;
    int r = 0;
    kavtest::capture([&] { r = MAP_domain(&d); });
    EXPECT_EQ(r, has ? 0 : -1) << name;
    if (has) ++n;
  }
  EXPECT_GE(n, 19);
}

}  // namespace
