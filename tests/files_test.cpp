// Files: file-system services on temporary trees, ~ expansion with a fake
// HOME, standard streams and pipes, file kinds, the name convention file, the
// template language (cases in tests/data/files_templates.txt), current and
// latest files with the clock pinned, overwriting, and a time-stamped log.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <kav/date.h>
#include <kav/files.h>
#include <kav/flag.h>
#include <kav/resrc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

constexpr int M = KAV_IMISSING;

int64_t utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return static_cast<int64_t>(kavtest::utc(y, mo, d, h, mi, s));
}

Date make(int y, int mo, int d, int h = M, int mi = M) { return Date{y, mo, d, M, M, h, mi, 0}; }

std::string read_stream(FILE *fp) {
  std::string s;
  char buf[256];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, fp)) > 0;) s.append(buf, n);
  return s;
}

// Every test starts from the same module state: no fixed fields, no run-time
// minimum size, no header template, the path resources unset.
class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    FILE_reset_time();
    FILE_set_min_size(0);
    FILE_set_header(0);
    FILE_set_type(0);
    FILE_set_late_off(3600);
    for (const char *r :
         {"data_path", "raw_path", "grid_path", "model_path", "text_path", "file_path", "name_conv",
          "con_path", "image_path", "sat_path", "watch_path", "station"})
      RES_put(r, "");
    FLAG_set(FLAG_FILE_PARAM, M);
    FLAG_set_batch(0);
  }
  // A convention file in the temporary directory, selected as name_conv.
  void conventions(const std::string &text) {
    RES_put("name_conv", dir.write("name_conv", text).c_str());
  }
  std::string name_for(const Date &d) {
    char out[FILE_NAME_LEN];
    FILE_set_date(&d, out);
    return out;
  }
  kavtest::TempDir dir;
};

// --- File-system services.

TEST_F(Files, OpenCreatesDirectoriesAndHonoursTheMode) {
  const std::string name = dir.file("out/a/b.txt");
  FILE *fp = FILE_open(name.c_str(), "w");
  ASSERT_NE(fp, nullptr);
  std::fputs("first\n", fp);
  FILE_close(fp);
  EXPECT_EQ(FILE_is_dir(dir.file("out/a").c_str()), 1);
  // Appending and updating keep what is there.
  fp = FILE_open(name.c_str(), "a");
  ASSERT_NE(fp, nullptr);
  std::fputs("second\n", fp);
  FILE_close(fp);
  fp = FILE_open(name.c_str(), "r+");
  ASSERT_NE(fp, nullptr);
  FILE_close(fp);
  EXPECT_EQ(kavtest::read_file(name), "first\nsecond\n");
  EXPECT_EQ(FILE_open(dir.file("missing/x").c_str(), "r"), nullptr);
  EXPECT_EQ(FILE_is_dir(dir.file("missing").c_str()), 0);  // reading creates nothing
  EXPECT_EQ(FILE_open(nullptr, "r"), nullptr);
  EXPECT_EQ(FILE_open(name.c_str(), nullptr), nullptr);
  EXPECT_EQ(FILE_open(name.c_str(), ""), nullptr);
}

TEST_F(Files, StandardStreamsAndPipes) {
  EXPECT_EQ(FILE_open("-", "r"), stdin);
  EXPECT_EQ(FILE_open("", "r"), stdin);
  EXPECT_EQ(FILE_open("STD", "w"), stdout);
  EXPECT_EQ(FILE_open("stdn", "a"), stdout);
  EXPECT_EQ(FILE_close(stdout), 0);  // the standard streams stay open
  FILE *in = FILE_open("|echo hello", "r");
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(read_stream(in), "hello\n");
  EXPECT_EQ(FILE_close(in), 0);
  const std::string target = dir.file("piped.txt");
  FILE *out = FILE_open(("|cat > '" + target + "'").c_str(), "w");
  ASSERT_NE(out, nullptr);
  std::fputs("through the pipe\n", out);
  EXPECT_EQ(FILE_close(out), 0);
  EXPECT_EQ(kavtest::read_file(target), "through the pipe\n");
  EXPECT_EQ(FILE_open("|", "r"), nullptr);
}

TEST_F(Files, HomeExpansion) {
  kavtest::ScopedEnv home("HOME", dir.path().c_str());
  char out[FILE_NAME_LEN];
  EXPECT_STREQ(FILE_add_user_path("~/data/x.sfc", out), (dir.path() + "/data/x.sfc").c_str());
  EXPECT_STREQ(FILE_add_user_path("~", out), dir.path().c_str());
  EXPECT_STREQ(FILE_add_user_path("~no_such_user_kav/x", out), "~no_such_user_kav/x");
  EXPECT_STREQ(FILE_add_user_path("a~b", out), "a~b");
  EXPECT_STREQ(FILE_add_user_path("~root/x", out), "/root/x");
  FILE *fp = FILE_open("~/made/here.txt", "w");
  ASSERT_NE(fp, nullptr);
  FILE_close(fp);
  EXPECT_EQ(FILE_is_file(dir.file("made/here.txt").c_str()), 1);
  EXPECT_EQ(FILE_exist("~/made"), 1);
  EXPECT_EQ(FILE_size("~/made/here.txt"), 0);
  EXPECT_EQ(FILE_delete("~/made/here.txt"), 0);
  EXPECT_EQ(FILE_exist("~/made/here.txt"), 0);
  // A long name is cut, never overflowing.
  const std::string huge = "~/" + std::string(400, 'x');
  FILE_add_user_path(huge.c_str(), out);
  EXPECT_EQ(std::strlen(out), static_cast<size_t>(FILE_NAME_LEN - 1));
}

TEST_F(Files, MakeDirResults) {
  EXPECT_EQ(FILE_make_dir(dir.file("p/q/r").c_str(), 0), 0);
  EXPECT_EQ(FILE_is_dir(dir.file("p/q/r").c_str()), 1);
  EXPECT_EQ(FILE_make_dir(dir.file("p/q/r").c_str(), 0), 1);
  EXPECT_EQ(FILE_make_dir(dir.file("p/q/file.txt").c_str(), 1), 1);
  std::string back = dir.path() + "\\s\\t\\f.txt";
  EXPECT_EQ(FILE_make_dir(back.c_str(), 1), 0);
  EXPECT_EQ(FILE_is_dir(dir.file("s/t").c_str()), 1);
  EXPECT_EQ(FILE_is_dir(dir.file("s/t/f.txt").c_str()), 0);
  EXPECT_EQ(FILE_make_dir(dir.file("u/v/w/x").c_str(), 2), 0);
  EXPECT_EQ(FILE_is_dir(dir.file("u/v").c_str()), 1);
  EXPECT_EQ(FILE_is_dir(dir.file("u/v/w").c_str()), 0);
  // Below a regular file nothing can be made.
  dir.write("plain", "x");
  EXPECT_EQ(FILE_make_dir(dir.file("plain/sub/f").c_str(), 1), -1);
  EXPECT_EQ(FILE_open(dir.file("plain/sub/f").c_str(), "w"), nullptr);
  EXPECT_EQ(FILE_make_dir(nullptr, 0), -1);
}

TEST_F(Files, KindsOfNames) {
  dir.write("f.txt", "12345");
  ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
  EXPECT_EQ(FILE_is_file(dir.file("f.txt").c_str()), 1);
  EXPECT_EQ(FILE_is_dir(dir.file("f.txt").c_str()), 0);
  EXPECT_EQ(FILE_is_dir(dir.path().c_str()), 1);
  EXPECT_EQ(FILE_is_fifo(dir.file("fifo").c_str()), 1);
  EXPECT_EQ(FILE_is_fifo(dir.file("f.txt").c_str()), 0);
  EXPECT_EQ(FILE_is_device("/dev/null"), 1);
  EXPECT_EQ(FILE_is_device(dir.file("f.txt").c_str()), 0);
  EXPECT_EQ(FILE_size(dir.file("f.txt").c_str()), 5);
  EXPECT_EQ(FILE_size(dir.file("none").c_str()), -1);
  EXPECT_NEAR(static_cast<double>(FILE_modtime(dir.file("f.txt").c_str())),
              static_cast<double>(std::time(nullptr)), 60.0);
  EXPECT_EQ(FILE_modtime(dir.file("none").c_str()), -1);
  EXPECT_EQ(FILE_exist("-"), 1);
  EXPECT_EQ(FILE_exist(dir.file("none").c_str()), 0);
  EXPECT_EQ(FILE_delete(dir.file("none").c_str()), -1);
  EXPECT_EQ(FILE_is_file(nullptr), 0);
}

TEST_F(Files, PathsAndStdioNames) {
  char out[FILE_NAME_LEN];
  EXPECT_STREQ(FILE_add_path("/data", "x.sfc", out), "/data/x.sfc");
  EXPECT_STREQ(FILE_add_path("/data/", "x.sfc", out), "/data/x.sfc");
  EXPECT_STREQ(FILE_add_path("/data", "/abs/x", out), "/abs/x");
  EXPECT_STREQ(FILE_add_path("/data", "./rel", out), "./rel");
  EXPECT_STREQ(FILE_add_path("/data", "~/x", out), "~/x");
  EXPECT_STREQ(FILE_add_path("/data", "-", out), "-");
  EXPECT_STREQ(FILE_add_path(nullptr, "x", out), "x");
  EXPECT_STREQ(FILE_add_path("", "x", out), "x");
  // The output may be one of the inputs.
  std::strcpy(out, "name");
  EXPECT_STREQ(FILE_add_path("/p", out, out), "/p/name");
  const std::string huge(300, 'f');
  FILE_add_path("/data", huge.c_str(), out);
  EXPECT_EQ(std::strlen(out), static_cast<size_t>(FILE_NAME_LEN - 1));
  char p[8] = "/a";
  FILE_add_path_delim(p);
  EXPECT_STREQ(p, "/a/");
  FILE_add_path_delim(p);
  EXPECT_STREQ(p, "/a/");
  char e[4] = "";
  FILE_add_path_delim(e);
  EXPECT_STREQ(e, "");
  for (const char *n : {"", "-", "std", "STD", "stdn", "StdN"}) EXPECT_EQ(FILE_is_stdio(n), 1) << n;
  for (const char *n : {"stdout", "--", "x", "std "}) EXPECT_EQ(FILE_is_stdio(n), 0) << n;
  EXPECT_EQ(FILE_is_stdio(nullptr), 0);
  EXPECT_EQ(FILE_fullpath("/x") + FILE_fullpath(".x") + FILE_fullpath("~x"), 3);
  EXPECT_EQ(FILE_fullpath("x/y"), 0);
}

TEST_F(Files, PackageFileKinds) {
  const struct {
    const char *text;
    int kind;
  } cases[] = {{"KAVSFC 1\n", 11}, {"KAVUPA", 12}, {"KAVRAW x", 5}, {"KAVGRID4", 6}, {"KAVMETA", 8},
               {"KAVIMG", 9},      {"KAVGRI", -1}, {"kavsfc", -1},  {"", -1},        {"GRIB", -1}};
  int i = 0;
  for (const auto &c : cases) {
    const std::string name = dir.write("k" + std::to_string(i++), c.text);
    EXPECT_EQ(FILE_type(name.c_str()), c.kind) << c.text;
  }
  dir.write("grid.grd", "KAVGRID4 rest");
  EXPECT_EQ(FILE_type(dir.file("grid.grd-3").c_str()), 6);  // cut at the first '-'
  EXPECT_EQ(FILE_type(dir.file("absent").c_str()), -1);
  // A named pipe is not read: its bytes stay for their reader.
  const std::string fifo = dir.file("pipe.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int fd = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "KAVSFC1234", 10), 10);
  EXPECT_EQ(FILE_type(fifo.c_str()), -1);
  char left[16] = "";
  EXPECT_EQ(::read(fd, left, sizeof left), 10);
  ::close(fd);
  EXPECT_EQ(FILE_type(dir.path().c_str()), -1);
  EXPECT_EQ(FILE_type("-"), -1);
  EXPECT_EQ(FILE_type("|echo KAVSFC"), -1);
  EXPECT_EQ(FILE_type(nullptr), -1);
}

// --- State.

TEST_F(Files, KeysAndStateAccessors) {
  char str[FILE_CONV_LEN];
  FILE_set_key('K', "ab cd");
  EXPECT_EQ(FILE_get_key('K', str), 0);
  EXPECT_STREQ(str, "ab_cd");
  FILE_set_key('L', std::string(100, 'z').c_str());
  FILE_get_key('L', str);
  EXPECT_EQ(std::strlen(str), 29u);
  FILE_get_key('Q', str);
  EXPECT_STREQ(str, "");
  EXPECT_EQ(FILE_set_key(300, "x"), -1);

  FILE_set_name_conv("7200 %D/%y%m%d%h.a %D/%y%m%d%h.h");
  FILE_get_name_conv(str);
  EXPECT_STREQ(str, "7200 %D/%y%m%d%h.a %D/%y%m%d%h.h");
  EXPECT_EQ(FILE_get_late_off(), 7200);
  FILE_set_filename("/keep/me");
  FILE_save_name_conv();
  FILE_set_name_conv("60 other");
  FILE_get_name_conv(str);
  EXPECT_STREQ(str, "60 other ");
  FILE_set_filename("changed");
  FILE_restore_name_conv();
  FILE_get_name_conv(str);
  EXPECT_STREQ(str, "7200 %D/%y%m%d%h.a %D/%y%m%d%h.h");
  EXPECT_STREQ(FILE_get_filename(str), "/keep/me");
  EXPECT_STREQ(str, "/keep/me");
  EXPECT_EQ(FILE_set_name_conv("nonsense"), -1);
  EXPECT_EQ(FILE_get_late_off(), 7200);

  FILE_set_late_off(900);
  EXPECT_EQ(FILE_get_late_off(), 900);
  FILE_set_min_size(42);
  EXPECT_EQ(FILE_get_min_size(), 42);
  FILE_set_min_size(0);

  Date fixed = make(M, M, M, 12, M);
  FILE_set_time(&fixed);
  Date got;
  FILE_get_time(&got);
  EXPECT_EQ(got.hour, 12);
  FILE_reset_time();
  FILE_get_time(&got);
  EXPECT_EQ(got.hour, M);

  char name[] = "sfc#2024030512";
  EXPECT_EQ(FILE_extract_extra_info(name), 1);
  EXPECT_STREQ(name, "sfc");
  EXPECT_STREQ(FILE_get_ext_info(), "#2024030512");
  char dash[] = "-x-y";
  FILE_extract_extra_info(dash);  // looking starts at the third character
  EXPECT_STREQ(dash, "-x");
  char none[] = "ab";
  EXPECT_EQ(FILE_extract_extra_info(none), 0);
  FILE_set_ext_info(std::string(80, 'e').c_str());
  EXPECT_EQ(std::strlen(FILE_get_ext_info()), 39u);
  EXPECT_EQ(KAV_share(1), 0);
}

// --- The name convention file.

TEST_F(Files, ConventionMatches) {
  conventions(
      "# type template header min\n"
      "sfc %D/%y%m%d%h_sao.sfc - 1000\n"
      "sfc_hourly %D/never - 5\n"
      "grid %G/%y%m%d%h_%e.grd %G/%y%m%d%h_%e.hdr\n"
      "\n"
      "upa\n");
  char str[FILE_CONV_LEN];
  EXPECT_EQ(FILE_set_name("sfc"), 1);
  FILE_get_name_conv(str);
  EXPECT_STREQ(str, "3600 %D/%y%m%d%h_sao.sfc ");
  EXPECT_EQ(FILE_get_min_size(), 1000);
  // A partial match on an earlier line wins; the extension follows the last _.
  const auto c = kavtest::capture([] { EXPECT_EQ(FILE_set_name("SFC_hourly"), 1); });
  EXPECT_EQ(c.err, "");
  FILE_get_name_conv(str);
  EXPECT_STREQ(str, "3600 %D/%y%m%d%h_sao.sfc ");
  EXPECT_EQ(FILE_set_name("grid_eta_212"), 1);
  RES_put("grid_path", "/g");
  EXPECT_EQ(name_for(make(2024, 3, 5, 12)), "/g/24030512_212.grd");
  FILE_set_header(1);
  EXPECT_EQ(name_for(make(2024, 3, 5, 12)), "/g/24030512_212.hdr");
  FILE_set_header(0);
  EXPECT_EQ(FILE_get_min_size(), 0);
  EXPECT_EQ(FILE_set_name("upa"), 1);  // fields missing from the line are empty
  FILE_get_name_conv(str);
  EXPECT_STREQ(str, "3600  ");
  // No line: the type is the template.
  EXPECT_EQ(FILE_set_name("%D/%y%m%d%h.xyz"), 0);
  RES_put("data_path", "/d");
  EXPECT_EQ(name_for(make(2024, 3, 5, 12)), "/d/24030512.xyz");
  EXPECT_EQ(FILE_set_name("none"), 0);
  EXPECT_EQ(name_for(make(2024, 3, 5, 12)), "filename");
  EXPECT_EQ(FILE_set_name("@%y%m%d.lit"), 1);
  EXPECT_EQ(name_for(make(2024, 3, 5, 12)), "240305.lit");
}

TEST_F(Files, ConventionKeysInTheType) {
  conventions("sfc %D/%s_%m%d%h_%2t.sfc -\n");
  const auto c = kavtest::capture([] { EXPECT_EQ(FILE_set_name("sfc:s=KDEN:t=ab cd"), 1); });
  EXPECT_EQ(c.err, "");
  EXPECT_EQ(name_for(make(2024, 3, 5, 12)), "./KDEN_030512_ab.sfc");
  char key[FILE_KEY_LEN];
  FILE_get_key('t', key);
  EXPECT_STREQ(key, "ab_cd");
}

TEST_F(Files, MissingConventionFileWarns) {
  RES_put("name_conv", "");
  RES_put("file_path", dir.file("nowhere").c_str());
  const auto c = kavtest::capture([] { EXPECT_EQ(FILE_set_name("%y%m%d%h.sfc"), 0); });
  EXPECT_EQ(c.err,
            "FILE_set_name: No file name convention file: " + dir.file("nowhere/name_conv") + "\n");
  EXPECT_EQ(name_for(make(2024, 3, 5, 12)), "24030512.sfc");
  EXPECT_EQ(FILE_get_late_off(), 3600);
}

TEST_F(Files, LongAndHostileConventionLines) {
  const std::string long_type(400, 't');
  conventions("# comment " + std::string(500, '#') + "\n" + long_type + " " +
              std::string(300, 'x') + " - 12\n" + "abc%%x %y - 99999999999999\n" + "abc %y - -5\n");
  // The requested type is cut to 159 characters and the line to 160: no match.
  EXPECT_EQ(FILE_set_name(long_type.c_str()), 0);
  char out[FILE_NAME_LEN];
  FILE_set_date(nullptr, out);
  EXPECT_LE(std::strlen(out), static_cast<size_t>(FILE_NAME_LEN - 1));
  EXPECT_EQ(FILE_set_name("abc"), 1);
  EXPECT_EQ(FILE_get_min_size(), 0);
}

TEST_F(Files, ShippedConventionFile) {
  RES_put("name_conv", KAV_SOURCE_DATA "/name_conv");
  RES_put("data_path", "/data");
  RES_put("grid_path", "/grids");
  RES_put("model_path", "/models");
  std::ifstream in(KAV_SOURCE_DATA "/name_conv");
  int lines = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string type, conv, hconv, size;
    ASSERT_TRUE(static_cast<bool>(words >> type >> conv >> hconv >> size)) << line;
    EXPECT_LT(line.size(), 160u);
    EXPECT_EQ(FILE_set_name(type.c_str()), 1) << type;
    ++lines;
  }
  EXPECT_GE(lines, 10);
  const Date d = make(2024, 3, 5, 12);
  FILE_set_name("sfc");
  EXPECT_EQ(name_for(d), "/data/24030512_sao.sfc");
  EXPECT_EQ(FILE_get_late_off(), 3600);
  EXPECT_EQ(FILE_get_min_size(), 1000);
  FILE_set_name("upa");
  EXPECT_EQ(name_for(make(2024, 3, 5, 14)), "/data/24030512_upa.upa");
  EXPECT_EQ(FILE_get_late_off(), 43200);
  FILE_set_name("grid_eta");
  EXPECT_EQ(name_for(d), "/grids/24030512_eta.grd");
  FILE_set_name("grib_gfs");
  EXPECT_EQ(name_for(d), "/models/24030512_gfs.grb");
}

// --- The template language: rows of template, date, fixed fields, expected
// name and period.

TEST_F(Files, TemplateRows) {
  RES_put("data_path", "/data");
  RES_put("station", "DEN");
  FILE_set_name("@x");  // the first selection empties the keys
  FILE_set_key('K', "ab cd");
  int rows = 0;
  for (const kavtest::Row &row :
       kavtest::read_rows("files_templates.txt", kavtest::Split::columns)) {
    SCOPED_TRACE(row.where());
    const std::vector<std::string> &col = row.fields;
    ASSERT_EQ(col.size(), 5u);
    int y, mo, d, h, mi, fd, fh, fm;
    ASSERT_EQ(std::sscanf(col[1].c_str(), "%d %d %d %d %d", &y, &mo, &d, &h, &mi), 5);
    ASSERT_EQ(std::sscanf(col[2].c_str(), "%d %d %d", &fd, &fh, &fm), 3);
    const std::string tmpl = col[0].substr(1, col[0].size() - 2);
    FILE_set_name(("@" + tmpl).c_str());
    Date fixed = make(M, M, fd, fh, fm);
    FILE_set_time(&fixed);
    EXPECT_EQ(name_for(make(y, mo, d, h, mi)), col[3].substr(1, col[3].size() - 2));
    EXPECT_EQ(FILE_get_late_off(), std::stoi(col[4]));
    FILE_reset_time();
    ++rows;
  }
  EXPECT_GE(rows, 20);
}

TEST_F(Files, TemplateRecordsTheDate) {
  RES_put("data_path", "/data");
  FILE_set_name("@%D/%y%m%d%3h_sao.sfc");
  EXPECT_EQ(name_for(make(2024, 3, 5, 14, 40)), "/data/24030512_sao.sfc");
  Date got;
  FILE_get_date(&got);
  EXPECT_EQ((std::vector<int>{got.year, got.month, got.day, got.hour, got.min}),
            (std::vector<int>{2024, 3, 5, 12, M}));
  char out[FILE_NAME_LEN];
  EXPECT_EQ(FILE_set_date(nullptr, out), 0);  // the recorded date again
  EXPECT_STREQ(out, "/data/24030512_sao.sfc");
  EXPECT_STREQ(FILE_get_filename(nullptr), "/data/24030512_sao.sfc");
}

TEST_F(Files, TemplateAndTheUsersName) {
  RES_put("data_path", "/data");
  FILE_set_name("@%D/%y%m%d%h_sao.sfc");
  // A full path from the user keeps its directory.
  FILE_set_filename("/arch/24030512_sao.sfc");
  EXPECT_EQ(name_for(make(2024, 3, 5, 13)), "/arch/24030513_sao.sfc");
  // A date without a year gives the user's name.
  char out[FILE_NAME_LEN];
  FILE_set_filename("mine.dat");
  const Date noyear = make(M, 3, 5, 12);
  EXPECT_EQ(FILE_set_date(&noyear, out), 1);
  EXPECT_STREQ(out, "mine.dat");
  FILE_set_name("@-");
  EXPECT_EQ(FILE_set_date(&noyear, out), 1);
  EXPECT_STREQ(out, "-");
  FILE_set_name(("@" + std::string(60, 'a') + "%K%K%K%K%K%K%K%K").c_str());
  FILE_set_key('K', std::string(29, 'k').c_str());
  FILE_set_date(&noyear, out);
  EXPECT_EQ(std::strlen(out), static_cast<size_t>(FILE_NAME_LEN - 1));
}

// --- Current and latest files, the clock pinned through kavcurtime.

class Latest : public Files {
 protected:
  void SetUp() override {
    Files::SetUp();
    RES_put("data_path", dir.path().c_str());
    conventions("sfc %D/%y%m%d%h_sao.sfc - 1000\n");
    dir.write("24030512_sao.sfc", std::string(500, 'x'));  // too small to count
    dir.write("24030511_sao.sfc", std::string(2000, 'x'));
    dir.write("24030423_sao.sfc", std::string(1500, 'x'));
    FILE_set_name("sfc");
  }
  std::string file(const char *name) { return dir.file(name); }
  kavtest::ScopedEnv now{"kavcurtime", "2024030513"};
  char out[FILE_NAME_LEN] = "";
};

TEST_F(Latest, SearchSkipsSmallFiles) {
  EXPECT_EQ(FILE_set_current("la", out), utc(2024, 3, 5, 11));
  EXPECT_EQ(out, file("24030511_sao.sfc"));
  EXPECT_EQ(FILE_set_current(nullptr, out), utc(2024, 3, 5, 11));
  EXPECT_STREQ(FILE_get_filename(nullptr), out);
  FILE_set_min_size(100);  // the run-time minimum replaces the convention's
  EXPECT_EQ(FILE_set_current("l", out), utc(2024, 3, 5, 12));
  // A run-time minimum below 1 leaves the convention's, and a missing file
  // (13 UTC) never counts as present.
  FILE_set_min_size(-5);
  EXPECT_EQ(FILE_set_current("la", out), utc(2024, 3, 5, 11));
  EXPECT_EQ(out, file("24030511_sao.sfc"));
  FILE_set_min_size(0);
}

TEST_F(Latest, LimitsOffsetsAndSigns) {
  EXPECT_EQ(FILE_set_current("la#2", out), utc(2024, 3, 5, 12));  // not found: the oldest tried
  EXPECT_EQ(out, file("24030512_sao.sfc"));
  EXPECT_EQ(FILE_set_current("la-12", out), utc(2024, 3, 4, 23));
  EXPECT_EQ(FILE_set_current("-6", out), utc(2024, 3, 5, 7));
  EXPECT_EQ(FILE_set_current("-1d", out), utc(2024, 3, 4, 13));
  EXPECT_EQ(FILE_set_current("+2", out), utc(2024, 3, 5, 15));
  EXPECT_EQ(FILE_set_current("-1d6:30", out), utc(2024, 3, 4, 6));
  EXPECT_EQ(out, file("24030406_sao.sfc"));
  EXPECT_EQ(FILE_set_current("-13la", out), utc(2024, 3, 4, 23));
  EXPECT_EQ(FILE_set_current("#2024030512", out), utc(2024, 3, 5, 12));
  EXPECT_EQ(FILE_set_current("#2024", out), utc(2024, 1, 1));
  EXPECT_EQ(out, file("24010100_sao.sfc"));
}

TEST_F(Latest, FixedFieldsPullTheTimeBack) {
  Date fixed = make(M, M, M, 18, M);
  FILE_set_time(&fixed);
  EXPECT_EQ(FILE_set_current("#202403051300", out), utc(2024, 3, 4, 18));
  EXPECT_EQ(out, file("24030418_sao.sfc"));
  fixed = make(M, M, 20, M, M);
  FILE_set_time(&fixed);
  EXPECT_EQ(FILE_set_current("#202401051300", out), utc(2023, 12, 20, 13));
  fixed = make(M, 6, M, M, M);
  FILE_set_time(&fixed);
  EXPECT_EQ(FILE_set_current("#202403051300", out), utc(2023, 6, 5, 13));
}

TEST_F(Latest, ClockAndTemplateWithoutDates) {
  kavtest::ScopedEnv unset("kavcurtime", nullptr);
  DATE_set_clock([]() -> int64_t { return utc(2024, 3, 5, 12, 59); });
  EXPECT_EQ(FILE_set_current("la", out), utc(2024, 3, 5, 11));
  kavtest::ScopedEnv bad("kavcurtime", "soon");
  const auto c = kavtest::capture([&] { FILE_set_current("-1", out); });
  EXPECT_EQ(c.err, "FILE_set_current: Bad kavcurtime: soon\n");
  EXPECT_EQ(out, file("24030511_sao.sfc"));
  DATE_set_clock(nullptr);
  // Without date escapes there is one file whatever the time: one try.
  dir.write("fixed.dat", std::string(10, 'x'));
  FILE_set_name(("@" + dir.file("fixed.dat")).c_str());
  FILE_set_current("#202403051230la", out);
  EXPECT_EQ(out, file("fixed.dat"));
  EXPECT_EQ(FILE_get_late_off(), M);
}

// --- Overwriting.

TEST_F(Files, OverwriteAnswers) {
  const std::string name = dir.write("exists.txt", "x");
  EXPECT_EQ(FILE_overwrite(dir.file("absent").c_str(), 2), 1);
  EXPECT_EQ(FILE_overwrite("-", 2), 1);
  const struct {
    int flag;
    const char *answer;
    int result;
  } cases[] = {{2, "Y\n", 1},   {2, "o\n", 1}, {2, "a\n", 2}, {2, "App\n", 2},  {2, "n\n", 3},
               {2, "use\n", 3}, {2, "\n", 3},  {1, "A\n", 3}, {1, "over\n", 1}, {1, "y\n", 1}};
  for (const auto &c : cases) {
    int got = -1;
    kavtest::Captured cap;
    // Drop what standard input still buffers: a rewind alone would reuse it.
    std::fflush(stdin);
    kavtest::with_stdin(c.answer, [&] {
      cap = kavtest::capture([&] { got = FILE_overwrite(name.c_str(), c.flag); });
    });
    EXPECT_EQ(got, c.result) << c.flag << " " << c.answer;
    EXPECT_EQ(cap.out, name + (c.flag == 2 ? ": exists overwrite (Y,N,Use,Over,App): "
                                           : ": exists overwrite (Y,N,Use,Over): "));
  }
  EXPECT_EQ(FILE_overwrite(name.c_str(), 7), 0);
  FLAG_set_batch(1);
  EXPECT_EQ(FILE_overwrite(name.c_str(), 2), 3);
  FLAG_set(FLAG_FILE_PARAM, 2);
  EXPECT_EQ(FILE_overwrite(name.c_str(), 2), 2);
}

// --- The command's time-stamped log.

TEST(FilesLog, WindchillWritesATimeStampedLog) {
  kavtest::TempDir dir;
  const std::string log = dir.file("wc.log");
  const auto r = kavtest::run({KAV_WINDCHILL_BIN, "-me=@fi=" + log, "30", "10"});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::string text = kavtest::read_file(log);
  ASSERT_FALSE(text.empty());
  const std::regex stamp("^\\d\\d [A-Z]{3} \\d\\d  \\d\\d:\\d\\d:\\d\\dZ -- ");
  std::istringstream lines(text);
  int stamped = 0;
  for (std::string line; std::getline(lines, line);)
    if (std::regex_search(line, stamp)) ++stamped;
  EXPECT_GE(stamped, 1) << text;
}

}  // namespace
