// The resource store and the command-line decoder.
#include <gtest/gtest.h>
#include <kav/flag.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/decode.h"
#include "support/fault.h"
#include "support/kavtest.h"

namespace {

// Command lines handed to RES_init must outlive it: the store keeps argv.
using kavtest::decode;
using kavtest::get;

std::vector<std::string> values(const char *name) {
  int n = 0;
  char **list = nullptr;
  RES_getvals(name, &n, &list);
  std::vector<std::string> out(list, list + n);
  free_parsed_array(n, list);
  return out;
}

int table_flag() {
  int t = -5;
  RES_getval("table", &t, CV_bool);
  return t;
}

TEST(ResStore, NewReplacesAppendJoinsWithNewlines) {
  EXPECT_EQ(RES_get("st_a"), nullptr);
  RES_put("st_a", "one");
  RES_put("st_a", "two");
  EXPECT_EQ(get("st_a"), "two");
  RES_append(-9999, "st_b", "x", CV_strings);
  RES_append(-9999, "st_b", "y", CV_string);
  RES_append(-9999, "st_b", nullptr, CV_string);
  EXPECT_EQ(get("st_b"), "x\ny");
  EXPECT_EQ(values("st_b"), (std::vector<std::string>{"x", "y"}));
  // A resource present without a value reads as the empty text, and its list is empty.
  RES_new(-9999, "st_c", nullptr, CV_string);
  EXPECT_EQ(get("st_c"), "");
  EXPECT_TRUE(values("st_c").empty());
  // Names are case-sensitive.
  EXPECT_EQ(RES_get("ST_A"), nullptr);
}

TEST(ResStore, ListKeepsCreationOrder) {
  RES_put("lo_first", "1");
  RES_put("lo_second", nullptr);
  RES_put("lo_first", "3");
  auto c = kavtest::capture([] { RES_list(); });
  size_t a = c.out.find("lo_first: 3\n"), b = c.out.find("lo_second:\n");
  ASSERT_NE(a, std::string::npos);
  ASSERT_NE(b, std::string::npos);
  EXPECT_LT(a, b);
}

TEST(ResStore, GetvalsSplitsCommasKeepingEmptyItems) {
  RES_put("gv", "a,,b");
  EXPECT_EQ(values("gv"), (std::vector<std::string>{"a", "", "b"}));
  int n = 7;
  EXPECT_EQ(RES_getvals("gv_absent", &n, nullptr), 0);
  EXPECT_EQ(n, 0);
}

TEST(ResConv, Kinds) {
  int i = -1;
  EXPECT_EQ(RES_conv_data("0x1F", &i, CV_int), 1);
  EXPECT_EQ(i, 31);
  EXPECT_EQ(RES_conv_data("-12", &i, CV_int), 1);
  EXPECT_EQ(i, -12);
  RES_conv_data("abc", &i, CV_int);
  EXPECT_EQ(i, -12);  // not a number: nothing stored
  short sh = 3;
  RES_conv_data("-4", &sh, CV_short);
  EXPECT_EQ(sh, 3);  // negative shorts are not accepted
  RES_conv_data("40", &sh, CV_short);
  EXPECT_EQ(sh, 40);
  long l = 0;
  RES_conv_data("123456789", &l, CV_long);
  EXPECT_EQ(l, 123456789L);
  RES_conv_data("-7", &l, CV_color);
  EXPECT_EQ(l, -7L);
  float f = 0;
  RES_conv_data("2.5e1", &f, CV_float);
  EXPECT_FLOAT_EQ(f, 25.0f);
  const char *text = nullptr;
  const char *src = "hello";
  RES_conv_data(src, &text, CV_string);
  EXPECT_EQ(text, src);
  char buf[16];
  RES_conv_data("copy", buf, CV_strcpy);
  EXPECT_STREQ(buf, "copy");
  // Missing value or output address.
  EXPECT_EQ(RES_conv_data(nullptr, &i, CV_int), 0);
  EXPECT_EQ(RES_conv_data("1", nullptr, CV_int), 0);
}

TEST(ResConv, Booleans) {
  int b = 5;
  for (const char *yes : {"true", "ON", "Yes"}) {
    b = 0;
    RES_conv_data(yes, &b, CV_bool);
    EXPECT_EQ(b, 1) << yes;
  }
  for (const char *no : {"false", "Off", "NO"}) {
    b = 1;
    RES_conv_data(no, &b, CV_bool);
    EXPECT_EQ(b, 0) << no;
  }
  b = 5;
  RES_conv_data("1", &b, CV_bool);
  EXPECT_EQ(b, 5);
  RES_conv_data(nullptr, &b, CV_bool);
  EXPECT_EQ(b, 1);
}

TEST(ResEnter, BuiltInRowsAndKeysWithoutRows) {
  RES_defobj e{};
  RES_enter(&e, RES_table);
  EXPECT_STREQ(e.def, "table");
  EXPECT_STREQ(e.env, "kavtable");
  EXPECT_STREQ(e.cmd, "ta");
  EXPECT_EQ(e.cvt, CV_bool);
  EXPECT_EQ(e.out, nullptr);
  RES_enter(&e, RES_filename);
  EXPECT_EQ(e.cmd, nullptr);
  EXPECT_EQ(e.pos, 1);
  EXPECT_EQ(e.cvt, CV_strcpy);
  auto c = kavtest::capture([&] { RES_enter(&e, RES_age); });
  EXPECT_STREQ(e.def, "");
  EXPECT_EQ(c.out, "1\n");
  // RES_in_file and RES_in_files give the same entry.
  RES_defobj a{}, b{};
  RES_enter(&a, RES_in_file);
  RES_enter(&b, RES_in_files);
  EXPECT_STREQ(a.def, b.def);
  EXPECT_STREQ(a.cmd, b.cmd);
}

TEST(ResEnter, EveryKeyHasARowOrIsOneOfTheTwentyFive) {
  int without = 0;
  for (int k = 1; k < RES_KEY_COUNT; ++k) {
    RES_defobj e{};
    kavtest::capture([&] { RES_enter(&e, static_cast<res_type>(k)); });
    if (!e.def || !*e.def) ++without;
  }
  EXPECT_EQ(without, 25);
}

TEST(ResDecode, OptionForms) {
  const std::vector<res_type> keyed{RES_table, RES_parameter, RES_input, RES_in_file};
  for (auto form : {"-ta", "-tab", "-TABLE", "--table", "-table=yes", "-t"}) {
    RES_put("table", "no");
    decode({form}, keyed);
    EXPECT_EQ(table_flag(), 1) << form;
  }
  decode({"-table=off"}, keyed);
  EXPECT_EQ(table_flag(), 0);
  // -in selects input by its abbreviation before in_file by prefix.
  decode({"-in", "grid"}, keyed);
  EXPECT_EQ(get("input"), "grid");
  decode({"-pa", "--x"}, keyed);
  EXPECT_EQ(get("parameter"), "--x");
}

TEST(ResDecode, BooleanGivesItsArgumentBack) {
  decode({"-ta", "5", "-pa", "q"}, {RES_table, RES_parameter}, {RES_values});
  EXPECT_EQ(table_flag(), 1);
  EXPECT_EQ(values("value"), (std::vector<std::string>{"5"}));
  EXPECT_EQ(get("parameter"), "q");
}

TEST(ResDecode, FreeResourcesAndCutNames) {
  decode({"-fr_x=5", "-Fr_Y", "v"}, {RES_table});
  EXPECT_EQ(get("fr_x"), "5");
  EXPECT_EQ(get("Fr_Y"), "v");
  std::string longname(80, 'q');
  decode({"-" + longname + "=1"}, {RES_table});
  EXPECT_EQ(get(std::string(49, 'q').c_str()), "1");
  EXPECT_EQ(RES_get(longname.c_str()), nullptr);
}

TEST(ResDecode, TitleAndDefaultPrescan) {
  decode({"-na", "mytitle", "-nam", "x"}, {RES_name_conv});
  EXPECT_EQ(get("name"), "x");
  EXPECT_EQ(RES_get("name_conv"), nullptr);  // never reached by prefix
  RES_put("name", "keep");
  decode({"-NAME", "foo", "-ta"}, {RES_table}, {RES_values});
  EXPECT_EQ(get("name"), "keep");
  EXPECT_EQ(RES_get("NAME"), nullptr);
  EXPECT_TRUE(values("value").empty() || values("value") != std::vector<std::string>{"foo"});
  decode({"-default", "/a:/b"}, {RES_table});
  EXPECT_EQ(get("default"), "/a:/b");
  decode({"-dfx", "/a"}, {RES_table});
  EXPECT_EQ(get("default"), "/a");
}

TEST(ResDecode, Positionals) {
  RES_put("value", "old");
  decode({"1", "--", "-5", "--5", "-"}, {RES_table}, {RES_values});
  EXPECT_EQ(values("value"), (std::vector<std::string>{"1", "-5", "--5", "-"}));
  // Count 1 plus count 10: the second value is appended to what the other
  // resource already holds.
  RES_put("filename", nullptr);
  RES_new(-9999, "command", "earlier", CV_strings);
  decode({"f1", "c2", "c3"}, {}, {RES_filename, RES_command});
  EXPECT_EQ(get("filename"), "f1");
  EXPECT_EQ(values("command"), (std::vector<std::string>{"earlier", "c2", "c3"}));
}

TEST(ResDecode, BatchAndHelpSetFlags) {
  decode({}, {RES_batch, RES_help});
  EXPECT_EQ(FLAG_batch(), 0);
  EXPECT_EQ(FLAG_get(FLAG_BATCH), -9999);
  decode({"-ba", "-h"}, {RES_batch, RES_help});
  EXPECT_EQ(FLAG_batch(), 1);
  EXPECT_EQ(FLAG_help(), 1);
}

// A second decoding converts only what its own command line stored: records
// of the first keep their values but are not run through the new table.
TEST(ResDecode, LaterDecodingIgnoresEarlierEntries) {
  std::vector<res_type> many(20, RES_table);
  many.push_back(RES_parameter);
  many.push_back(RES_batch);
  decode({"-pa", "w", "-ba"}, many);
  EXPECT_EQ(FLAG_batch(), 1);
  decode({}, {RES_batch});
  EXPECT_EQ(FLAG_batch(), 0);
  EXPECT_EQ(get("parameter"), "w");
  EXPECT_EQ(get("batch"), "");
}

TEST(ResDecode, TooManyKeysAreCutWithAWarning) {
  std::vector<res_type> keyed(80, RES_table);
  auto c = kavtest::capture([&] { decode({"-ta"}, keyed); });
  EXPECT_NE(c.err.find("RES_init: More than 74 options"), std::string::npos);
  EXPECT_EQ(table_flag(), 1);
}

TEST(ResProgname, BaseNameAndBoundedCopy) {
  decode({}, {});
  EXPECT_STREQ(RES_get_prog(), "/usr/bin/prog");
  char buf[50];
  EXPECT_STREQ(RES_get_progname(buf), "prog");
  char *heap = RES_get_progname(nullptr);
  EXPECT_STREQ(heap, "prog");
  std::free(heap);
  char small[3];
  EXPECT_STREQ(RES_get_prognamen(small, sizeof small), "pr");
}

// Scribbles over the stack below the caller, where a call's locals lived.
[[gnu::noinline]] void scribble_stack() {
  volatile char junk[4096];
  for (auto &c : junk) c = 'x';
}

TEST(ResProgname, WithoutACommandLine) {
  const res_type none[] = {RES_null};
  RES_init(0, nullptr, none, none);
  scribble_stack();
  ASSERT_NE(RES_get_prog(), nullptr);
  EXPECT_STREQ(RES_get_prog(), "");
  char buf[8] = "junk";
  EXPECT_STREQ(RES_get_progname(buf), "");
}

TEST(ResHelp, Entries) {
  auto c = kavtest::capture([] {
    RES_help_item(RES_color_hodtxt);
    RES_help_item(RES_map_file);
    RES_help_item(RES_table);
    RES_help_item(RES_region);
    RES_help_item(RES_object_param);
  });
  EXPECT_EQ(c.out,
            " -coht dclr,sclr,hclr  Hodograph text colors\n"
            " -mf file[,file]  Map database files\n"
            " -ta         Prints a table\n"
            " -re region or [proj],clat,clon[,nx,ny][,dx,dy]\n"
            "             Region to be used for plotting and gridding\n"
            "               region=predefined region:\n"
            "                  us,ne,at,se,mw,sp,nw,sw,etc\n"
            "               proj=projection, clat=central latitude, clon=central longitude,\n"
            "               nx,ny=number of gridpoints and dx,dy=grid spacing\n"
            "               us,ne,at,se,mw,sp,nw,sw,var\n"
            " -oa smooth[,radinf,pass,conv,min]\n"
            "             Objective analysis parameters\n");
  auto ten = kavtest::capture([] {
    RES_help_item(RES_font_list);
    RES_help_item(RES_age);
  });
  EXPECT_EQ(ten.out, " -fl list    List of fonts to use\n1\n");
}

TEST(ResHelp, ListingWithoutPositionals) {
  const res_type keyed[] = {RES_help, RES_null};
  const res_type none[] = {RES_null};
  auto c = kavtest::capture([&] { RES_help_print("prog", keyed, none); });
  EXPECT_EQ(c.out,
            "prog syntax (version:5.60.4-LINUX-X11)\n"
            "   prog [options...]\n"
            "Keyed options...\n"
            " -df file    Resource/defaults file name\n"
            " -na name    Program name\n"
            " -h          Print this help\n"
            "Positional options...\n");
}

TEST(ResHelp, EveryKeyedRowHasAnEntry) {
  for (int k = 1; k < RES_KEY_COUNT; ++k) {
    RES_defobj e{};
    kavtest::capture([&] { RES_enter(&e, static_cast<res_type>(k)); });
    auto c = kavtest::capture([&] { RES_help_item(static_cast<res_type>(k)); });
    bool has_row = e.def && *e.def;
    EXPECT_EQ(c.out == std::to_string(k) + "\n", !has_row) << "key " << k;
  }
}

// Appending to one resource grows its buffer by doubling: the number of
// allocations grows with the logarithm of the values, not with their count
// (each append used to copy the whole list).
TEST(ResAppend, GrowsTheBufferGeometrically) {
  if (!kavtest::malloc_injection()) GTEST_SKIP() << "malloc is not counted in this build";
  RES_new(KAV_IMISSING, "many", "0", CV_strings);
  long calls = 0;
  {
    kavtest::FailAlloc count(1 << 30);
    for (int i = 0; i < 20000; ++i)
      ASSERT_EQ(RES_append(KAV_IMISSING, "many", "12345", CV_strings), 0);
    calls = count.calls();
  }
  EXPECT_LT(calls, 100);
  int n = 0;
  char **items = nullptr;
  ASSERT_EQ(RES_getvals("many", &n, &items), 20001);
  EXPECT_STREQ(items[0], "0");
  EXPECT_STREQ(items[20000], "12345");
  free_parsed_array(n, items);
  RES_put("many", nullptr);
}

}  // namespace
