// Reads and opens that fail inside the definition files, the defaults files
// the resource layer reads and the file-name conventions: a failure is
// reported, and nothing cut short by it is taken for what the file holds.
#include <gtest/gtest.h>
#include <kav/date.h>
#include <kav/def_read.h>
#include <kav/files.h>
#include <kav/mess.h>
#include <kav/resrc.h>

#include <string>
#include <utility>
#include <vector>

#include "support/decode.h"
#include "support/kavtest.h"
#include "support/sweep.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

// A definition file with a directive, a comment and a quoted value.
const char *const kDefinitions =
    "# defaults\n"
    "DEF fast\n"
    "prog.parameter: first\n"
    "IF fast\n"
    "prog.label: \"a label\"\n"
    "END\n"
    "*.table: last\n";
// A directive comes back as an entry of its own too.
const Entries kEntries = {
    {"def", "fast"}, {"prog.parameter", "first"}, {"prog.label", "a label"}, {"*.table", "last"}};

// Opens name and reads every entry: the result of the last DEF_get.
int read_definitions(const std::string &name, Entries &out) {
  out.clear();
  DEF_clr_tag();
  if (DEF_open(name.c_str()) != 0) return -9;
  char key[DEF_KEY_SIZE], value[DEF_VALUE_SIZE];
  int r;
  while ((r = DEF_get(key, value)) == 1) out.emplace_back(key, value);
  DEF_close();
  return r;
}

TEST(FailIOConfig, DefinitionFile) {
  MESS_set(0, M_WARN | M_ERROR);
  kavtest::TempDir dir;
  const std::string name = dir.write("kav.cfg", kDefinitions);
  // Open blocks outlive their file: a file cut short inside its IF leaves
  // one open, which the next attempt must not inherit.
  std::string end_lines;
  for (int i = 0; i < 40; ++i) end_lines += "END\n";
  const std::string ends = dir.write("ends.cfg", end_lines);
  const auto close_blocks = [&] {
    Entries none;
    kavtest::capture([&] { read_definitions(ends, none); });
  };
  Entries got;
  ASSERT_EQ(read_definitions(name, got), -1);
  ASSERT_EQ(got, kEntries);
  const int struck = kavtest::io_sweep(
      "DEF_get",
      [&] {
        const int r = read_definitions(name, got);
        // Entries before a failure are whole ones, in order.
        EXPECT_LE(got.size(), kEntries.size());
        for (size_t i = 0; i < got.size() && i < kEntries.size(); ++i)
          EXPECT_EQ(got[i], kEntries[i]);
        if (r != -1) {
          EXPECT_EQ(r, -2);
        }
        return r == -1 && got == kEntries;
      },
      close_blocks);
  EXPECT_GE(struck, static_cast<int>(std::string(kDefinitions).size()));
  // A file that cannot be opened is passed over by the caller: DEF_get ends
  // at once.
  {
    kavtest::FailOpen fail(1);
    EXPECT_EQ(DEF_open(name.c_str()), -1);
  }
  char key[DEF_KEY_SIZE], value[DEF_VALUE_SIZE];
  EXPECT_EQ(DEF_get(key, value), -1);
}

TEST(FailIOConfig, DefinitionFileStaysFailedUntilReopened) {
  MESS_set(0, M_WARN | M_ERROR);
  kavtest::TempDir dir;
  const std::string name = dir.write("kav.cfg", kDefinitions);
  char key[DEF_KEY_SIZE], value[DEF_VALUE_SIZE];
  const std::string err = kavtest::capture([&] {
                            kavtest::FailIO fail(3);
                            ASSERT_EQ(DEF_open(name.c_str()), 0);
                            EXPECT_EQ(DEF_get(key, value), -2);
                          }).err;
  EXPECT_NE(err.find("DEF_get: Unable to read file: " + name), std::string::npos) << err;
  // Later reads would go on past the lost bytes: they give the failure again.
  EXPECT_EQ(DEF_get(key, value), -2);
  ASSERT_EQ(DEF_open(name.c_str()), 0);
  EXPECT_EQ(DEF_get(key, value), 1);
  DEF_close();
}

// A defaults file read by the resource layer: the entries before a failure
// stay, the failure is reported with the file's name, and no value is cut.
TEST(FailIOConfig, DefaultsFileOfTheResourceLayer) {
  MESS_set(0, M_WARN | M_ERROR);
  kavtest::ScopedEnv no_default("kavdefault", nullptr);
  kavtest::ScopedEnv no_param("kavparam", nullptr);
  kavtest::ScopedEnv no_label("kavlabel", nullptr);
  kavtest::TempDir dir;
  const std::string name =
      dir.write("d/kav.cfg", "prog.parameter: from-file\nprog.label: \"a long label\"\n");
  const auto decode = [&] {
    for (const char *r : {"parameter", "label"}) RES_new(-9999, r, "<unset>", CV_string);
    kavtest::decode({"-df", dir.file("d")}, {RES_parameter, RES_label});
  };
  int struck = 0;
  for (int nth = 1;; ++nth) {
    bool hit = false;
    const std::string err = kavtest::capture([&] {
                              kavtest::FailIO fail(nth);
                              decode();
                              hit = fail.struck();
                            }).err;
    const std::string param = kavtest::get("parameter"), label = kavtest::get("label");
    if (!hit) {
      EXPECT_EQ(param, "from-file");
      EXPECT_EQ(label, "a long label");
      break;
    }
    ++struck;
    EXPECT_TRUE(param == "from-file" || param == "<unset>") << param;
    EXPECT_TRUE(label == "a long label" || label == "<unset>") << label;
    EXPECT_NE(err.find("RES_decode: Defaults file read only in part, the rest not used: " + name),
              std::string::npos)
        << nth << ": " << err;
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(struck, 40);
}

TEST(FailIOConfig, NameConventionFile) {
  MESS_set(0, M_WARN | M_ERROR);
  kavtest::TempDir dir;
  dir.write("name_conv",
            "# type  template  header  size\nsfc %y%m%d%h.sfc - 100\n"
            "upa_x %y%m%d%h.upa %y%m%d.hdr 0\n");
  RES_put("file_path", dir.path().c_str());
  RES_put("name_conv", nullptr);
  const Date d = {2024, 3, 5, 65, 2, 12, 30, 0};
  std::string want;
  const auto select = [&] {
    const int r = FILE_set_name("upa_x");
    char out[FILE_NAME_LEN] = "";
    if (r == -1) {
      // No template is left to make a name from a convention half read.
      FILE_set_date(&d, out);
      EXPECT_STREQ(out, "filename");
    }
    return r == 1 && FILE_set_date(&d, out) >= 0 && out == want;
  };
  ASSERT_EQ(FILE_set_name("upa_x"), 1);
  char out[FILE_NAME_LEN] = "";
  ASSERT_GE(FILE_set_date(&d, out), 0);
  want = out;
  ASSERT_NE(want.find(".upa"), std::string::npos);
  const int struck = kavtest::io_sweep("FILE_set_name", select);
  EXPECT_GT(struck, 60);
  // A convention file that cannot be opened makes the type its own template
  // (a warning says so): the call does not find the type.
  kavtest::open_sweep("FILE_set_name", select);
  RES_put("file_path", "");
}

}  // namespace
