// Domains and regions: every domain text form (rows in
// tests/data/region_decode.txt), projection names, printing that decodes
// back, comparison, region chains on the fixture files of
// tests/data/regions (found, not found, self-reference), the region menu and
// its reader, the region prompt, the priorities, and the real data/kav.reg
// checked against the boxes its regions cover.
#include <gtest/gtest.h>
#include <kav/flag.h>
#include <kav/maptran.h>
#include <kav/mess.h>
#include <kav/region.h>
#include <kav/resrc.h>
#include <kav/system.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

constexpr float kMiss = -9999.0f;
const std::string kRegions = std::string(KAV_TEST_DATA) + "/regions";

// Region files are looked up in the fixture directory.
class Regions : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_put("file_path", kRegions.c_str());
    RES_put("stat_prior", "");
    RES_put("plot_domain", "");
    RES_put("region", "");
    FLAG_set_batch(0);
    MESS_set(0, M_OUT2);  // print to out2, warnings and errors included
  }
};

// Decodes quietly (warnings captured) and returns the result.
int decode(const std::string &text, Domain *d, std::string *err = nullptr) {
  int r = 0;
  kavtest::Captured c = kavtest::capture([&] { r = DOM_decode(text.c_str(), d); });
  if (err) *err = c.err;
  return r;
}

TEST_F(Regions, EveryTextFormOfTheRows) {
  const auto table = kavtest::read_rows("region_decode.txt");
  ASSERT_GT(table.size(), 40u);
  for (const auto &row : table) {
    SCOPED_TRACE(row.where());
    const std::vector<std::string> &r = row.fields;
    Domain d;
    const int res = decode(r[0], &d);
    ASSERT_EQ(res, std::stoi(r[1])) << r[0];
    if (res != 1 && res != 2) continue;
    ASSERT_EQ(r.size(), 16u) << r[0];
    EXPECT_EQ(d.proj, std::stoi(r[2])) << r[0];
    const float want[] = {std::stof(r[3]), std::stof(r[4]), std::stof(r[5]), std::stof(r[6]),
                          std::stof(r[7]), std::stof(r[8]), std::stof(r[9]), std::stof(r[10])};
    const float got[] = {d.plat,     d.plon,     d.param[0], d.param[1],
                         d.param[2], d.param[3], d.clat,     d.clon};
    for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(got[i], want[i]) << r[0] << " field " << i;
    EXPECT_EQ(d.nx, std::stoi(r[11])) << r[0];
    EXPECT_EQ(d.ny, std::stoi(r[12])) << r[0];
    EXPECT_FLOAT_EQ(d.dx, std::stof(r[13])) << r[0];
    EXPECT_FLOAT_EQ(d.dy, std::stof(r[14])) << r[0];
    EXPECT_EQ(d.ellipse, std::stoi(r[15])) << r[0];
    EXPECT_EQ(d.param[4], kMiss);
  }
}

TEST_F(Regions, EmptyAndNullTextsAreNoDomain) {
  Domain d;
  EXPECT_EQ(DOM_decode(nullptr, &d), -9999);
  EXPECT_EQ(DOM_decode("", &d), -9999);
  EXPECT_EQ(d.proj, -9999);
  EXPECT_EQ(d.clat, kMiss);
  std::string err;
  EXPECT_EQ(decode(",,,", &d, &err), -1);
  EXPECT_NE(err.find("DOM_decode: Invalid plot domain"), std::string::npos);
}

TEST_F(Regions, DecodeSetsTheFlagAndThePriority) {
  Domain d;
  decode("us", &d);
  EXPECT_EQ(FLAG_get(FLAG_REGION), 2);
  EXPECT_EQ(DOM_get_prior(), 2);  // 36.8 units tall
  RES_put("stat_prior", "+1");
  decode("us", &d);
  EXPECT_EQ(DOM_get_prior(), 3);
  RES_put("stat_prior", "-1");
  decode("us", &d);
  EXPECT_EQ(DOM_get_prior(), 1);
  RES_put("stat_prior", "5");
  decode("us", &d);
  EXPECT_EQ(DOM_get_prior(), 5);
  RES_put("stat_prior", "x");
  decode("40,-100,25,17,0.1,0.1", &d);
  EXPECT_EQ(DOM_get_prior(), 6);
  decode("nosuch", &d);
  EXPECT_EQ(FLAG_get(FLAG_REGION), -1);
  DOM_set_base_prior(60);
  EXPECT_EQ(DOM_get_prior(), 1);
  DOM_set_prior(4);
  EXPECT_EQ(DOM_get_prior(), 4);
  DOM_set_loc_prior(7);
  EXPECT_EQ(DOM_get_loc_prior(), 7);
}

TEST_F(Regions, ProjectionNames) {
  for (const auto &r : kavtest::read_rows("region_proj_names.txt"))
    EXPECT_EQ(DOM_proj_str(r.fields[0].c_str()), std::stoi(r.fields[1])) << r.where();
  EXPECT_EQ(DOM_proj_str(nullptr), -1);
}

TEST_F(Regions, PrintedDomainsDecodeBackEqual) {
  Domain d;
  DOM_init(&d);
  d.proj = 1;
  d.plat = 39;
  d.plon = -97;
  d.param[0] = 60;
  d.clat = 39;
  d.clon = -97;
  d.nx = 25;
  d.ny = 17;
  d.dx = d.dy = 2.3f;
  kavtest::Captured c = kavtest::capture([&] { DOM_print(M_PRINT, &d); });
  EXPECT_EQ(c.out, "pstereo:39.000:-97.000:60.000::,39.000,-97.000,25,17,2.3000,2.3000\n");
  // Domains that a fixed number of decimals would not give back.
  const char *texts[] = {
      "ps,39,-97,25,17,2.3,2.3",
      "ps::-97,39.123456,-97.000001,25,17,0.123456789,1e-5",  // pole latitude unset
      "ps:45,39,-97,25,17,2,2",                               // pole longitude unset
      "ps:45::::,39,-97,25,17,2,2",
      "lambaz:45:-100,45,-100,25,17,2,2",  // reads back as itself, not lamb
      "lamb:40:-95:30:60:1.1:7,40,-95,25,17,2,2",
      "sat:e:0:-75:421.61:1,0,-75,25,17,2,2",
      "sat:e,0,-75,25,17,2,2",
      "hodo,-50,-50,25,17,100,100",
      "xp,0,0,10,20,200,400",
      "teph,-40,1050,25,17,80,-950",
      "rteph,-40,1050,25,17,80,-950",
      "size,30,20",
      "xz,0,0,10,10,1,1",
      "none",
  };
  for (const char *t : texts) {
    Domain a, b;
    ASSERT_GE(decode(t, &a), 1) << t;
    const std::string printed = kavtest::capture([&] { DOM_print(M_PRINT, &a); }).out;
    ASSERT_FALSE(printed.empty());
    ASSERT_EQ(printed.back(), '\n');
    const std::string back = printed.substr(0, printed.size() - 1);
    ASSERT_EQ(decode(back, &b), 1) << t << " -> " << back;
    EXPECT_EQ(DOM_comp(&a, &b), 1) << t << " -> " << back;
  }
  // Nothing printed when the class is off.
  EXPECT_EQ(kavtest::capture([&] { DOM_print(M_DEBUG, &d); }).out, "");
}

TEST_F(Regions, ComparisonAndAspect) {
  Domain a, b;
  decode("ps,39,-97,25,17,2,2", &a);
  decode("ps:39:-97,39,-97,25,17,2,2", &b);
  EXPECT_EQ(DOM_comp(&a, &b), 1);  // a missing pole stands for the centre
  EXPECT_EQ(DOM_comp(&b, &a), 1);
  EXPECT_EQ(DOM_comp_proj(&a, &b), 1);
  b.plon = -96;
  EXPECT_EQ(DOM_comp(&a, &b), 0);
  EXPECT_EQ(DOM_comp_proj(&a, &b), 0);
  decode("ps:39:-97,39,-97,25,17,2,2.5", &b);
  EXPECT_EQ(DOM_comp(&a, &b), 0);
  EXPECT_EQ(DOM_comp_proj(&a, &b), 1);
  b = a;
  b.ellipse = 1;
  EXPECT_EQ(DOM_comp(&a, &b), 0);
  EXPECT_EQ(DOM_comp(&a, nullptr), 0);
  EXPECT_FLOAT_EQ(DOM_aspect(&a), 1.5f);
  a.ny = 1;
  EXPECT_FLOAT_EQ(DOM_aspect(&a), 1.0f);
}

TEST_F(Regions, BuiltInRegionsResetTheRecord) {
  Domain d;
  DOM_init(&d);
  d.plat = 12;
  d.param[0] = 45;
  d.param[3] = 1;
  d.ellipse = 1;
  ASSERT_EQ(DOM_get_def_region("MW", &d), 1);
  EXPECT_EQ(d.proj, 1);
  EXPECT_EQ(d.plat, kMiss);
  EXPECT_EQ(d.param[0], kMiss);
  EXPECT_EQ(d.param[3], kMiss);
  EXPECT_EQ(d.ellipse, 0);
  EXPECT_EQ(d.clat, 43);
  EXPECT_EQ(d.plon, -93);
  EXPECT_FLOAT_EQ(d.dx, 1.1f);
  EXPECT_EQ(DOM_get_def_region("nowhere", &d), 0);
  EXPECT_EQ(d.nx, 25);
  EXPECT_FLOAT_EQ(d.dx, 1.2f);
  kavtest::with_stdin("41.5\n-88\n", [&] {
    kavtest::capture([&] { EXPECT_EQ(DOM_get_def_region("var", &d), 1); });
  });
  EXPECT_FLOAT_EQ(d.clat, 41.5f);
  EXPECT_FLOAT_EQ(d.clon, -88);
}

TEST_F(Regions, ChainsResolveFourDeep) {
  Domain d, want;
  ASSERT_EQ(decode("chain1", &d), 2);
  decode("lamb:40:-95:30:60,40,-95,25,17,2,2", &want);
  EXPECT_EQ(DOM_comp(&d, &want), 1);
  // Through another file and back.
  ASSERT_EQ(decode("other.reg:back2", &d), 2);
  EXPECT_EQ(DOM_comp(&d, &want), 1);
  ASSERT_EQ(decode("fi:other.reg", &d), 2);
  EXPECT_FLOAT_EQ(d.clat, 60);
  ASSERT_EQ(decode("viafi", &d), 2);
  EXPECT_FLOAT_EQ(d.clon, -150);
  ASSERT_EQ(decode("viaus", &d), 2);
  EXPECT_FLOAT_EQ(d.dx, 2.3f);
  ASSERT_EQ(decode("proj", &d), 2);
  EXPECT_EQ(d.proj, 5);
}

TEST_F(Regions, FailuresAreNamedAndPassedOut) {
  Domain d;
  std::string err;
  EXPECT_EQ(decode("broke1", &d, &err), -1);
  EXPECT_NE(err.find("Region not found: nosuchregion"), std::string::npos) << err;
  EXPECT_EQ(decode("uss", &d, &err), -1);
  EXPECT_NE(err.find("Region not found: uss"), std::string::npos);
  EXPECT_EQ(decode("other.reg:nokey", &d, &err), -1);
  EXPECT_NE(err.find("Region nokey not found in other.reg"), std::string::npos);
  EXPECT_EQ(decode("missing.reg:key", &d, &err), -1);
  EXPECT_EQ(decode("fi:missing.reg", &d, &err), -1);
  EXPECT_NE(err.find("No domain in region file missing.reg"), std::string::npos);
  EXPECT_EQ(decode("id:KXYZ", &d, &err), -1);
  EXPECT_NE(err.find("KXYZ not found"), std::string::npos);
  EXPECT_EQ(decode("id:stations.cty:KXYZ", &d, &err), -1);
  EXPECT_NE(err.find("stations.cty"), std::string::npos);
  // Nothing read from a region reference runs a command or reads a stream.
  EXPECT_EQ(decode("fi:|touch pwned", &d, &err), -1);
  EXPECT_NE(err.find("Not a region file"), std::string::npos);
  EXPECT_EQ(decode("-:key", &d, &err), -1);
}

TEST_F(Regions, SelfReferenceEndsWithFailure) {
  Domain d;
  std::string err;
  EXPECT_EQ(decode("self", &d, &err), -1);
  EXPECT_EQ(decode("loopa", &d, &err), -1);
  EXPECT_NE(err.find("deeper than"), std::string::npos) << err;
  // The nesting counter is back at zero afterwards.
  EXPECT_EQ(decode("chain1", &d), 2);
}

TEST_F(Regions, SearchingARegionFile) {
  char text[DOM_TEXT_LEN];
  std::string err;
  kavtest::Captured c = kavtest::capture([&] {
    EXPECT_EQ(DOM_search_file("kav.reg", "CHAIN3", text), 1);  // past a blank line
  });
  EXPECT_STREQ(text, "chain4");
  EXPECT_EQ(DOM_search_file("other.reg", nullptr, text), 1);
  EXPECT_STREQ(text, "ps:60:-150,60,-150,25,17,1.5,1.5");
  c = kavtest::capture([&] { EXPECT_EQ(DOM_search_file("kav.reg", "bad3", text), 0); });
  EXPECT_NE(c.err.find("longer than 79"), std::string::npos);
  EXPECT_NE(c.err.find("line"), std::string::npos);
  EXPECT_EQ(DOM_search_file("none.reg", "x", text), 0);
  kavtest::TempDir dir;
  const std::string longline(2000, 'x');
  dir.write("long.reg", longline + "\nok Ok 1 40,-100\n");
  c = kavtest::capture(
      [&] { EXPECT_EQ(DOM_search_file(dir.file("long.reg").c_str(), "ok", text), 1); });
  EXPECT_STREQ(text, "40,-100");
  EXPECT_NE(c.err.find("too long"), std::string::npos);
}

TEST_F(Regions, MenuLoadsOnlyFromAReadableFile) {
  const std::string first = DOM_get_region_abbr(1);
  kavtest::TempDir dir;
  kavtest::Captured c =
      kavtest::capture([&] { EXPECT_EQ(DOM_read_menu(dir.file("no.reg").c_str()), 0); });
  EXPECT_EQ(DOM_get_region_abbr(1), first);
  dir.write("empty.reg", "# nothing\n\n");
  c = kavtest::capture([&] { EXPECT_EQ(DOM_read_menu(dir.file("empty.reg").c_str()), 0); });
  EXPECT_EQ(DOM_get_region_abbr(1), first);
  dir.write("menu.reg",
            "# comment line that would have been an entry\n"
            "aa A_description_longer_than_twenty 1 40,-100\n"
            "hid Hidden 0 40,-90\n"
            "toolong Abbreviation 1 40,-80\n" +
                std::string(600, 'y') +
                "\n"
                "bb Second 1 30,-90\n");
  c = kavtest::capture([&] { EXPECT_EQ(DOM_read_menu(dir.file("menu.reg").c_str()), 1); });
  EXPECT_NE(c.err.find("abbreviation longer than 5"), std::string::npos);
  EXPECT_STREQ(DOM_get_region_name(0), "Return to previous menu");
  EXPECT_STREQ(DOM_get_region_abbr(1), "aa");
  EXPECT_STREQ(DOM_get_region_name(1), "A description longer");
  EXPECT_STREQ(DOM_get_region_abbr(2), "bb");
  EXPECT_EQ(DOM_get_region_name(3), nullptr);
  EXPECT_EQ(DOM_get_region_abbr(3), nullptr);
  EXPECT_EQ(DOM_get_region_name(99), nullptr);
  c = kavtest::capture([&] { DOM_print_file(dir.file("menu.reg").c_str()); });
  EXPECT_NE(c.out.find(" Abbr    Description\n"), std::string::npos);
  EXPECT_NE(c.out.find("hid      Hidden"), std::string::npos);
}

TEST_F(Regions, PromptReadsTheWholeLine) {
  Domain d;
  int r = 0;
  // A domain text longer than a menu word.
  kavtest::with_stdin("lamb:40:-95:30:60,40,-95,25,17,2,2\n",
                      [&] { kavtest::capture([&] { r = DOM_prompt_region(&d, 0); }); });
  EXPECT_EQ(r, 1);
  EXPECT_EQ(d.proj, 4);
  EXPECT_EQ(d.param[1], 60);
  // A number picks the visible region; "list" and wrong answers cost a try.
  ASSERT_EQ(DOM_read_menu("other.reg"), 1);
  kavtest::Captured c;
  kavtest::with_stdin("?\nlist\nnosuch\n2\n",
                      [&] { c = kavtest::capture([&] { r = DOM_prompt_region(&d, 0); }); });
  EXPECT_NE(c.out.find("Region Menu"), std::string::npos);
  EXPECT_NE(c.out.find(" Abbr    Description"), std::string::npos);
  EXPECT_NE(c.err.find("Invalid domain"), std::string::npos);
  EXPECT_NE(c.out.find("back,first,far,back2\n"), std::string::npos);
  EXPECT_EQ(r, 2);
  EXPECT_EQ(d.proj, 3);  // "far", looked up in the menu's own file
  // The end of the input answers nothing.
  kavtest::with_stdin("99\n", [&] { c = kavtest::capture([&] { r = DOM_prompt_region(&d, 0); }); });
  EXPECT_NE(c.err.find("No region 99"), std::string::npos);
  kavtest::with_stdin("Far_away\n",
                      [&] { kavtest::capture([&] { r = DOM_prompt_region(&d, 0); }); });
  EXPECT_EQ(r, -9999);
  kavtest::with_stdin("Far away\n",
                      [&] { kavtest::capture([&] { r = DOM_prompt_region(&d, 0); }); });
  EXPECT_EQ(r, 2);
  kavtest::with_stdin("back\n", [&] { kavtest::capture([&] { r = DOM_prompt_region(&d, 0); }); });
  EXPECT_EQ(r, 0);
  kavtest::with_stdin("main\n", [&] { kavtest::capture([&] { r = DOM_prompt_region(&d, 0); }); });
  EXPECT_EQ(r, 0);
  kavtest::with_stdin("\n", [&] { kavtest::capture([&] { r = DOM_prompt_region(&d, 0); }); });
  EXPECT_EQ(r, -9999);
  kavtest::with_stdin("a\nb\nc\nd\ne\n",
                      [&] { c = kavtest::capture([&] { r = DOM_prompt_region(&d, 0); }); });
  EXPECT_EQ(r, -1);
  kavtest::with_stdin(std::string(5000, 'z') + "\nfirst\n",
                      [&] { c = kavtest::capture([&] { r = DOM_prompt_region(&d, 0); }); });
  EXPECT_NE(c.err.find("Answer longer"), std::string::npos);
  EXPECT_EQ(r, 2);
  EXPECT_FLOAT_EQ(d.clat, 60);
  // Batch mode takes the first region; a switched-off prompt gives 0.
  FLAG_set_batch(1);
  kavtest::capture([&] { r = DOM_prompt_region(&d, 0); });
  EXPECT_EQ(r, 2);
  EXPECT_FLOAT_EQ(d.clon, -150);
  FLAG_set_batch(0);
  DOM_set_prompt_region(0);
  EXPECT_EQ(DOM_prompt_region(&d, 0), 0);
  DOM_set_prompt_region(1);
  // The resources come first.
  RES_put("region", "ne");
  auto quiet = [&](auto f) {
    int res = 0;
    kavtest::capture([&] { res = f(); });
    return res;
  };
  EXPECT_EQ(quiet([&] { return DOM_prompt_region(&d, 0); }), 2);
  EXPECT_FLOAT_EQ(d.dx, 0.9f);
  RES_put("plot_domain", "40,-100");
  EXPECT_EQ(quiet([&] { return DOM_prompt_region(&d, 1); }), 1);
  EXPECT_EQ(quiet([&] { return DOM_get_region(&d, 1); }), 1);
  EXPECT_EQ(quiet([&] { return DOM_get_region(&d, 2); }), 2);
  EXPECT_EQ(quiet([&] { return DOM_get_grid_domain(&d); }), 2);
  RES_put("grid_domain", "30,-90");
  EXPECT_EQ(quiet([&] { return DOM_get_grid_domain(&d); }), 1);
  EXPECT_FLOAT_EQ(d.clat, 30);
  RES_put("grid_domain", "");
  RES_put("plot_domain", "");
  RES_put("region", "");
  EXPECT_EQ(quiet([&] { return DOM_get_region(&d, 2); }), 0);
  EXPECT_EQ(quiet([&] { return DOM_get_region(&d, 4); }), 2);  // the first menu region
}

int prompt_with_bad_region(void *) {
  RES_put("region", "nosuchplace");
  Domain d;
  DOM_prompt_region(&d, 0);
  return 0;
}

TEST_F(Regions, InvalidResourceDomainEndsTheProgram) {
  int code = 0;
  kavtest::Captured c =
      kavtest::capture([&] { code = KAV_run_func(prompt_with_bad_region, nullptr); });
  EXPECT_EQ(code, 43);
  EXPECT_NE(c.err.find("Invalid domain"), std::string::npos);
}

// The real region file: every line decodes, makes a usable domain, and holds
// the box its region covers with the corners near it.
TEST(KavReg, EveryRegionCoversItsBox) {
  RES_put("file_path", KAV_SOURCE_DATA);
  kavtest::Captured c = kavtest::capture([] { EXPECT_EQ(DOM_read_menu("kav.reg"), 1); });
  EXPECT_EQ(c.err, "");
  EXPECT_STREQ(DOM_get_region_abbr(1), "us");
  EXPECT_STREQ(DOM_get_region_name(2), "New England");
  EXPECT_NE(DOM_get_region_abbr(19), nullptr);
  EXPECT_EQ(DOM_get_region_abbr(20), nullptr);
  for (const char *builtin : {"us", "ne", "at", "se", "mw", "sp", "nw", "sw"}) {
    Domain file, def;
    ASSERT_EQ(decode(builtin, &file), 2) << builtin;
    DOM_get_def_region(builtin, &def);
    EXPECT_EQ(DOM_comp(&file, &def), 1) << builtin;
  }
  Domain var;
  int r = 0;
  kavtest::with_stdin("10\n20\n", [&] { kavtest::capture([&] { r = DOM_decode("var", &var); }); });
  EXPECT_EQ(r, 2);
  EXPECT_FLOAT_EQ(var.clon, 20);
  const auto boxes = kavtest::read_rows("region_boxes.txt");
  ASSERT_GT(boxes.size(), 70u);
  for (const auto &row : boxes) {
    SCOPED_TRACE(row.where());
    const std::vector<std::string> &b = row.fields;
    Domain d;
    ASSERT_EQ(decode(b[0], &d), 2) << b[0];
    ASSERT_EQ(MAP_domain(&d), 0) << b[0];
    const float s = std::stof(b[1]), n = std::stof(b[2]), w = std::stof(b[3]), e = std::stof(b[4]);
    for (int i = 0; i <= 10; ++i) {
      for (int j = 0; j <= 10; ++j) {
        if (i != 0 && i != 10 && j != 0 && j != 10) continue;  // the box's edges
        const float lat = s + (n - s) * static_cast<float>(i) / 10,
                    lon = w + (e - w) * static_cast<float>(j) / 10;
        float x, y;
        ASSERT_EQ(MAP_tran(lat, lon, &x, &y), 1) << b[0];
        EXPECT_EQ(MAP_in_domain(x, y), 1) << b[0] << " " << lat << " " << lon;
      }
    }
    // The corners lie near the box: no farther from its centre than one and
    // a half times its own corners are.
    auto dist = [](double la1, double lo1, double la2, double lo2) {
      const double rad = 0.017453292519943295;
      const double cosd = std::sin(la1 * rad) * std::sin(la2 * rad) +
                          std::cos(la1 * rad) * std::cos(la2 * rad) * std::cos((lo2 - lo1) * rad);
      return std::acos(std::fmax(-1.0, std::fmin(1.0, cosd))) / rad;
    };
    const double clat = (s + n) / 2.0, clon = (w + e) / 2.0;
    double reach = 0;
    for (double la : {s, n})
      for (double lo : {w, e}) reach = std::fmax(reach, dist(clat, clon, la, lo));
    const double gx[] = {0, d.nx - 1.0}, gy[] = {0, d.ny - 1.0};
    for (double cx : gx) {
      for (double cy : gy) {
        float x, y, lat, lon;
        MAP_grid_tran(static_cast<float>(cx), static_cast<float>(cy), &x, &y);
        ASSERT_EQ(MAP_untran(x, y, &lat, &lon), 1) << b[0];
        EXPECT_LE(dist(clat, clon, lat, lon), 1.5 * reach + 3) << b[0] << " " << lat << " " << lon;
      }
    }
  }
}

}  // namespace
