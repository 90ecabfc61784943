// The station table: loading by priority, criteria and map; the keys of each
// table type; searches by key and by location; the criteria language checked
// against distances worked out here; caller data.
#include <gtest/gtest.h>
#include <kav/cty_tool.h>
#include <kav/maptran.h>
#include <kav/mess.h>
#include <kav/region.h>
#include <kav/resrc.h>
#include <kav/tools.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

const std::string kStore = KAV_TEST_DATA "/cty/store.cty";

class CtyTool : public ::testing::Test {
 protected:
  void SetUp() override {
    MESS_set(0, M_ERROR | M_WARN);
    RES_put("city_file", "");
    RES_put("file_path", KAV_SOURCE_DATA);
    RES_put("identifier", "all");
    RES_put("stat_prior", "");
    CTY_set_id_type(0);
    CTY_data_size(0);
    CTY_enter_func(nullptr);
    CTY_clear();
  }
  void TearDown() override {
    CTY_clear();
    RES_put("file_path", "");
    RES_put("identifier", "");
    MAP_domain(nullptr);
  }
  // Loads a fixture file by the city_file resource.
  static int store(const std::string &file, int type, const Domain *dom, int prior) {
    RES_put("city_file", file.c_str());
    const int fd = CTY_store(nullptr, type, dom, prior);
    RES_put("city_file", "");
    return fd;
  }
  static std::vector<std::string> stored_ids() {
    std::vector<std::string> ids;
    TAB_table *t = CTY_get_table();
    for (TAB_entry *e = t->head_ptr; e; e = e->next) ids.push_back(e->key);
    return ids;
  }
};

CTY_data station(const char *name, const char *st, const char *cn, const char *id, int prior,
                 float lat, float lon, float el, int wmo) {
  CTY_data d;
  CTY_data_init(&d);
  std::snprintf(d.name, sizeof d.name, "%s", name);
  std::snprintf(d.state, sizeof d.state, "%s", st);
  std::snprintf(d.region, sizeof d.region, "%s", cn);
  std::snprintf(d.id, sizeof d.id, "%s", id);
  d.prior = prior;
  d.lat = lat;
  d.lon = lon;
  d.el = el;
  d.wmo = wmo;
  return d;
}

int cmp1(const char *crit, const CTY_data &d) {
  std::string c = crit;
  char *ids[] = {c.data()};
  return CTY_data_cmp(1, ids, &d);
}

TEST_F(CtyTool, CriteriaTerms) {
  const CTY_data d = station("Madison_Dane", "WI", "US", "KMSN", 3, 43.13f, -89.35f, 262, 72641);
  struct Case {
    const char *crit;
    bool met;
  } cases[] = {
      {"Name=mad", true},
      {"Name=Dane", false},
      {"ST=wi", true},
      {"ST=WI_US", true},
      {"ST=WI_CA", false},
      {"ST=WIS", false},
      {"ST:WI", true},
      {"st:wi_us", true},
      {"ST:MN", false},
      {"ST", false},
      {"CN=us", true},
      {"CN:US", true},
      {"CN:CA", false},
      {"CN", false},
      {"ID=kmsn", true},
      {"ID=KORD", false},
      {"P=3", true},
      {"P<3", true},
      {"P<2", false},
      {"P>3", true},
      {"P>4", false},
      {"P=x", false},
      {"Lat<43.13", true},
      {"Lat>44", false},
      {"Lat=43.13", true},
      {"Lon<-89", true},
      {"Lon>-89", false},
      {"Elev=262", true},
      {"Elev>300", false},
      {"WMO=72641", true},
      {"WMO<72641", true},
      {"WMO>72642", false},
      {"WMO=7264", false},
      {"ST=WI:P<3", true},
      {"ST=WI:P<2", false},
      {"ST:WI:CN:US:P>1", true},
      {"RA<43:-89:100", true},
      {"RA<43:-89:10", false},
      {"RA<43:-89", false},
      {"Bogus=1", false},
      {"", false},
      {"72641", true},
      {"kmsn", true},
      {"madis", true},
      {"madi", false},
      {"Name=mad:bogus", false},
  };
  for (const Case &c : cases) EXPECT_EQ(cmp1(c.crit, d), c.met ? 0 : -1) << c.crit;
  // The result is the position of the first criterion met; no criteria: 1.
  std::string a = "ST=MN", b = "P<5", e = "CN=US";
  char *list[] = {a.data(), b.data(), e.data()};
  EXPECT_EQ(CTY_data_cmp(3, list, &d), 1);
  EXPECT_EQ(CTY_data_cmp(0, nullptr, &d), 1);
}

TEST_F(CtyTool, SearchTermsAndIdentifiers) {
  EXPECT_EQ(CTY_id_cmp("st:wi", "KMSN"), 1);
  EXPECT_EQ(CTY_id_cmp("RA<43:-89:100", "KMSN"), 1);
  EXPECT_EQ(CTY_id_cmp("kmsn", "KMSN"), 1);
  EXPECT_EQ(CTY_id_cmp("KORD", "KMSN"), 0);
  EXPECT_EQ(CTY_id_cmp("STX", "KMSN"), 0);
  std::string a = "KORD", b = "Name=x";
  char *one[] = {a.data()};
  char *two[] = {a.data(), b.data()};
  EXPECT_EQ(CTY_ids_cmp(0, nullptr, "KMSN"), 1);
  EXPECT_EQ(CTY_ids_cmp(1, one, "KMSN"), 0);
  EXPECT_EQ(CTY_ids_cmp(1, one, "kord"), 1);
  EXPECT_EQ(CTY_ids_cmp(2, two, "KMSN"), 1);
}

TEST_F(CtyTool, NothingIsFoundBeforeATableIsLoaded) {
  CTY_data d = station("Unchanged", "--", "--", "X", 1, 1, 2, 3, 4);
  EXPECT_EQ(CTY_search("FXA", &d), 0);
  EXPECT_STREQ(d.name, "Unchanged");
  CTY_locate loc;
  EXPECT_EQ(CTY_search_loc(43, -89, &loc), 0);
  EXPECT_EQ(CTY_get_data("FXA"), nullptr);
  EXPECT_EQ(CTY_next_data(0), nullptr);
  EXPECT_EQ(CTY_make_entry_simple("X", "1"), 0);
  EXPECT_EQ(CTY_search("X", &d), 0);
}

TEST_F(CtyTool, FullRecordsByIdentifierAndWmoKey) {
  ASSERT_GT(store(kStore, 1, nullptr, 9), 0);
  EXPECT_EQ(stored_ids().size(), 8u);
  CTY_data d;
  ASSERT_EQ(CTY_search("FXB", &d), 1);
  EXPECT_STREQ(d.name, "Fixture_beta");
  EXPECT_EQ(d.mos, '*');
  ASSERT_EQ(CTY_search("71104", &d), 1);
  EXPECT_STREQ(d.id, "FXD");
  EXPECT_EQ(CTY_search("fxb", &d), 0);  // keys are exact
  // A buoy is keyed "b" and its WMO number.
  ASSERT_EQ(CTY_search("b12345", &d), 1);
  EXPECT_STREQ(d.name, "Fixture_buoy");
  EXPECT_EQ(CTY_search("12345", &d), 0);
  // A letter, a character and three digits stand for a WMO number.
  char id[11];
  ASSERT_EQ(CTY_search(stn_wmo_to_id(71104, id), &d), 1);
  EXPECT_STREQ(d.id, "FXD");
  // A bare station joins the table.
  EXPECT_EQ(CTY_make_entry_simple("KXYZ", "72999"), 0);
  ASSERT_EQ(CTY_search("72999", &d), 1);
  EXPECT_STREQ(d.id, "KXYZ");
  EXPECT_EQ(d.lat, -9999.0f);
}

TEST_F(CtyTool, PriorityLimitAndCriteriaFromTheResource) {
  ASSERT_GT(store(kStore, 1, nullptr, 3), 0);
  EXPECT_EQ(stored_ids(), (std::vector<std::string>{"FXA", "FXB", "FXD", "--", "--", "FXZ"}));
  // -9999 takes stat_prior, 10 when it is unset: every priority passes.
  ASSERT_GT(store(kStore, 1, nullptr, -9999), 0);
  EXPECT_EQ(stored_ids().size(), 8u);
  RES_put("stat_prior", "1");
  ASSERT_GT(store(kStore, 1, nullptr, -9999), 0);
  EXPECT_EQ(stored_ids(), (std::vector<std::string>{"FXD", "FXZ"}));
  RES_put("stat_prior", "");
  RES_put("identifier", "ST=WI:P<2,71104");
  ASSERT_GT(store(kStore, 1, nullptr, 9), 0);
  EXPECT_EQ(stored_ids(), (std::vector<std::string>{"FXA", "FXD"}));
}

TEST_F(CtyTool, PlotRecordsCarryTheChosenIdentifier) {
  ASSERT_GT(store(kStore, 2, nullptr, 9), 0);
  CTY_locate loc;
  ASSERT_EQ(CTY_search("71105", &loc), 1);
  EXPECT_STREQ(loc.id, "71105");  // no identifier: the WMO key
  ASSERT_EQ(CTY_search("b12345", &loc), 1);
  EXPECT_STREQ(loc.id, "b12345");
  EXPECT_EQ(loc.el, -9999.0f);
  // No projection: the plane point is the location.
  ASSERT_EQ(CTY_search("FXA", &loc), 1);
  EXPECT_FLOAT_EQ(loc.x, 43.1f);
  EXPECT_FLOAT_EQ(loc.y, -89.4f);
  EXPECT_EQ(loc.pr, 2);
  EXPECT_EQ(loc.wmo, 71101);

  CTY_set_id_type(1);
  ASSERT_GT(store(kStore, 2, nullptr, 9), 0);
  ASSERT_EQ(CTY_search("71101", &loc), 1);
  EXPECT_STREQ(loc.id, "71101");
  ASSERT_EQ(CTY_search("FXG", &loc), 1);  // no WMO number: the identifier
  EXPECT_EQ(loc.wmo, 99999);

  CTY_set_id_type(2);
  ASSERT_GT(store(kStore, 2, nullptr, 9), 0);
  char id[11];
  ASSERT_EQ(CTY_search("71105", &loc), 1);
  EXPECT_STREQ(loc.id, stn_wmo_to_id(71105, id));
  ASSERT_EQ(CTY_search("b12345", &loc), 1);
  EXPECT_STREQ(loc.id, "b12345");
  ASSERT_EQ(CTY_search("FXA", &loc), 1);
}

TEST_F(CtyTool, OnlyStationsOnTheMapAreLoaded) {
  Domain dom;
  ASSERT_EQ(DOM_get_def_region("mw", &dom), 1);
  ASSERT_GT(CTY_store("sao.cty", 2, &dom, 9), 0);
  CTY_locate loc;
  ASSERT_EQ(CTY_search("KMSN", &loc), 1);
  float x, y;
  ASSERT_EQ(MAP_tran(43.133f, -89.35f, &x, &y), 1);
  EXPECT_NEAR(loc.x, x, 1e-4);
  EXPECT_NEAR(loc.y, y, 1e-4);
  EXPECT_EQ(CTY_search("EGLL", &loc), 0);
  EXPECT_EQ(CTY_search("KBNA", &loc), 1);
  // Every station loaded lies on the widened map; every one left out does not.
  TAB_table *t = CTY_get_table();
  int n = 0;
  for (TAB_entry *e = t->head_ptr; e; e = e->next, ++n) {
    const auto *l = static_cast<const CTY_locate *>(e->data);
    EXPECT_EQ(MAP_in_grid_domain(l->x, l->y), 1) << l->id;
  }
  EXPECT_GT(n, 100);
  EXPECT_LT(n, 3000);
}

// Great-circle distance on the sphere of 6371.3 km, by the haversine
// formula in double precision.
double haversine_km(double lat1, double lon1, double lat2, double lon2) {
  const double r = M_PI / 180;
  const double dlat = (lat2 - lat1) * r, dlon = (lon2 - lon1) * r;
  const double h =
      std::sin(dlat / 2) * std::sin(dlat / 2) +
      std::cos(lat1 * r) * std::cos(lat2 * r) * std::sin(dlon / 2) * std::sin(dlon / 2);
  return 2 * 6371.3 * std::asin(std::sqrt(h));
}

TEST_F(CtyTool, RangeCriterionAgreesWithGreatCircleDistances) {
  RES_put("identifier", "RA<43:-89:100");
  ASSERT_GT(CTY_store("sao.cty", 1, nullptr, 9), 0);
  std::set<std::string> loaded;
  TAB_table *t = CTY_get_table();
  for (TAB_entry *e = t->head_ptr; e; e = e->next) loaded.insert(e->key);
  CTY_clear();
  // Every station of the file, by its own distance.
  RES_put("identifier", "all");
  ASSERT_GT(CTY_store("sao.cty", 1, nullptr, 9), 0);
  int inside = 0;
  for (TAB_entry *e = CTY_get_table()->head_ptr; e; e = e->next) {
    const auto *d = static_cast<const CTY_data *>(e->data);
    const double km = haversine_km(43, -89, d->lat, d->lon);
    if (std::fabs(km - 100) < 0.05) continue;  // too close to the edge to judge
    EXPECT_EQ(loaded.count(d->id) == 1, km <= 100) << d->id << " " << km;
    inside += km <= 100;
  }
  EXPECT_GE(inside, 5);  // Madison, Janesville, Rockford ...
  EXPECT_EQ(loaded.count("KMSN"), 1u);
}

TEST_F(CtyTool, NearestStationByRings) {
  ASSERT_GT(store(kStore, 3, nullptr, 9), 0);
  CTY_locate loc;
  ASSERT_EQ(CTY_search_loc(43.13f, -89.4f, &loc), 1);  // same tenth
  EXPECT_STREQ(loc.id, "FXA");
  ASSERT_EQ(CTY_search_loc(43.3f, -89.4f, &loc), 1);  // two tenths off
  EXPECT_STREQ(loc.id, "FXA");
  EXPECT_EQ(CTY_search_loc(60.0f, 0.0f, &loc), 0);  // nothing within 4.9 degrees
  // A station whose latitude rounds to zero from below is keyed as 0, not
  // "-0": found from the same tenth north of the equator.
  ASSERT_EQ(CTY_search_loc(0.02f, 10.0f, &loc), 1);
  EXPECT_STREQ(loc.id, "FXZ");
  EXPECT_FLOAT_EQ(loc.x, -0.03f);
  const std::vector<std::string> keys = [] {
    std::vector<std::string> k;
    TAB_table *t = CTY_get_table();
    for (int b = 0; b < t->tab_size; ++b)
      for (TAB_entry *e = t->table[2][b]; e; e = e->link) k.push_back(e->key);
    return k;
  }();
  for (const std::string &k : keys) EXPECT_EQ(k.find("-0 "), std::string::npos) << k;
  EXPECT_NE(std::find(keys.begin(), keys.end(), "    0   100"), keys.end());
}

TEST_F(CtyTool, RingSearchReachesEveryCorner) {
  // The only station lies at the lower-left corner of ring 2 around the
  // point asked for.
  ASSERT_GT(store(KAV_TEST_DATA "/cty/corner.cty", 3, nullptr, 9), 0);
  CTY_locate loc;
  ASSERT_EQ(CTY_search_loc(40.0f, -90.0f, &loc), 1);
  EXPECT_STREQ(loc.id, "FXC");
  // And from the other three corners.
  EXPECT_EQ(CTY_search_loc(39.6f, -90.0f, &loc), 1);
  EXPECT_EQ(CTY_search_loc(40.0f, -90.4f, &loc), 1);
  EXPECT_EQ(CTY_search_loc(39.6f, -90.4f, &loc), 1);
}

struct Tag {
  static void fill(const CTY_data *st, void *buf) {
    std::snprintf(static_cast<char *>(buf), 16, "tag:%s", st->id);
  }
};

TEST_F(CtyTool, CallerDataFollowsTheStations) {
  CTY_data_size(16);
  CTY_enter_func(&Tag::fill);
  ASSERT_GT(store(kStore, 2, nullptr, 9), 0);
  auto *p = static_cast<char *>(CTY_get_data("FXB"));
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, "tag:FXB");
  EXPECT_STREQ(static_cast<char *>(CTY_get_data("71104")), "tag:FXD");
  EXPECT_EQ(CTY_get_data("nosuch"), nullptr);
  std::vector<std::string> seen;
  for (void *q = CTY_next_data(0); q; q = CTY_next_data(1)) seen.push_back(static_cast<char *>(q));
  ASSERT_EQ(seen.size(), 8u);
  EXPECT_EQ(seen.front(), "tag:FXA");
  EXPECT_EQ(seen.back(), "tag:FXZ");
  EXPECT_EQ(CTY_clear_data(1), 0);
  EXPECT_STREQ(static_cast<char *>(CTY_get_data("FXB")), "");
  EXPECT_EQ(CTY_clear_data(0), 0);
  EXPECT_EQ(CTY_get_data("FXB"), nullptr);
  EXPECT_EQ(CTY_next_data(0), nullptr);
}

TEST_F(CtyTool, MissingDatabaseLoadsNothing) {
  auto cap = kavtest::capture([] { EXPECT_EQ(CTY_store("nosuch.cty", 1, nullptr, 9), 0); });
  EXPECT_NE(cap.err.find("Database file not found"), std::string::npos);
  CTY_data d;
  EXPECT_EQ(CTY_search("KMSN", &d), 0);
  EXPECT_EQ(CTY_store("sao.cty", 4, nullptr, 9), 0);
  RES_put("city_file", "none");
  cap = kavtest::capture([] { EXPECT_EQ(CTY_store(nullptr, 1, nullptr, 9), 0); });
  EXPECT_EQ(cap.err, "");
  RES_put("city_file", "");
}

TEST_F(CtyTool, WmoKeysStayWithinTheIdentifier) {
  kavtest::TempDir dir;
  const std::string file =
      dir.write("big.cty",
                "Fixture_big_buoy     -- B_ --   1     10.000   -40.000 -9999 999999 0\n"
                "Fixture_negative     -- -- --   1     11.000   -41.000 -9999 -99999 0\n"
                "Fixture_too_big      -- B_ --   1     12.000   -42.000 -9999 9999999 0\n");
  kavtest::capture([&] { ASSERT_GT(store(file, 2, nullptr, 9), 0); });
  CTY_locate loc;
  ASSERT_EQ(CTY_search("b999999", &loc), 1);
  EXPECT_STREQ(loc.id, "b999999");
  EXPECT_EQ(stored_ids(), (std::vector<std::string>{"b999999", "-99999"}));
  CTY_clear();
  ASSERT_GT(store(kStore, 1, nullptr, 9), 0);
  EXPECT_EQ(CTY_make_entry_simple("KBIG", "99999999999999999999"), 0);
  CTY_data d;
  ASSERT_EQ(CTY_search("KBIG", &d), 1);
  EXPECT_EQ(d.wmo, 99999);
}

TEST_F(CtyTool, StationIdentifiersAndWmoNumbers) {
  char id[11];
  EXPECT_STREQ(stn_wmo_to_id(72558, id), "H2558");
  EXPECT_STREQ(stn_wmo_to_id(1001, id), "A1001");
  EXPECT_STREQ(stn_wmo_to_id(99999, id), "J9999");
  EXPECT_STREQ(stn_wmo_to_id(-9999, id), "--");
  EXPECT_STREQ(stn_wmo_to_id(2147483647, id), "--");
  for (int w : {0, 1, 72558, 99999}) EXPECT_EQ(stn_id_to_wmo(stn_wmo_to_id(w, id)), w);
  EXPECT_EQ(stn_id_to_wmo("K2558"), 99999);
  EXPECT_EQ(stn_id_to_wmo("HX558"), 99999);
  EXPECT_EQ(stn_id_to_wmo("H255"), 99999);
  EXPECT_EQ(stn_id_to_wmo(nullptr), 99999);
}

}  // namespace
