// kavsounding: the analysis of one upper-air sounding. Reads a sounding file
// (the package's KAVRAW file, or the tabular text form with a %RAW% section),
// computes the stability indices, the parcel ascent and the wind parameters,
// prints their reports and optionally writes the KAVRAW file.
#include <kav/calc.h>
#include <kav/files.h>
#include <kav/flag.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>
#include <kav/system.h>
#include <kav/thm_tool.h>
#include <kav/ua_read.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const res_type kKeyed[] = {RES_help,       RES_batch,    RES_message,   RES_file_path,
                           RES_plot_param, RES_out_file, RES_parameter, RES_null};
const res_type kPositional[] = {RES_filename, RES_null};

constexpr float kMissing = KAV_MISSING;

// Exit codes.
constexpr int kExitOpen = 10;    // the sounding file cannot be opened
constexpr int kExitEmpty = 11;   // the file holds no sounding
constexpr int kExitOption = 12;  // an option value is invalid, or no file was given
constexpr int kExitWrite = 13;   // the KAVRAW file cannot be written

// The reports asked for with -pa.
struct Reports {
  bool indices = true, wind = true, storm = true, levels = false, winds = false;
};

Reports read_reports() {
  Reports r;
  int n = 0;
  char **items = nullptr;
  RES_getvals("parameter", &n, &items);
  if (n > 0) r = Reports{false, false, false, false, false};
  for (int i = 0; i < n; ++i) {
    const char *it = items[i];
    if (stricmp(it, "indices") == 0) {
      r.indices = true;
    } else if (stricmp(it, "wind") == 0) {
      r.wind = true;
    } else if (stricmp(it, "storm") == 0) {
      r.storm = true;
    } else if (stricmp(it, "levels") == 0) {
      r.levels = true;
    } else if (stricmp(it, "winds") == 0) {
      r.winds = true;
    } else if (stricmp(it, "all") == 0) {
      r = Reports{true, true, true, true, true};
    } else {
      MESS_print(M_ERROR, "kavsounding: Unknown report: %s\n", it);
      free_parsed_array(n, items);
      KAV_exit(kExitOption);
    }
  }
  free_parsed_array(n, items);
  return r;
}

// A number filling the whole text.
bool number(const char *text, float *out) {
  char *end = nullptr;
  errno = 0;
  float v = std::strtof(text, &end);
  if (end == text || *end != '\0' || errno != 0 || v != v) return false;
  *out = v;
  return true;
}

// The storm motion of a "storm=DIR:SPD" item of -pp (degrees, knots); the
// direction missing when none was given. Ends the program for a bad one.
WIND read_storm() {
  WIND w{kMissing, kMissing};
  int n = 0;
  char **items = nullptr;
  RES_getvals("plot_param", &n, &items);
  for (int i = 0; i < n; ++i) {
    if (strnicmp(items[i], "storm", 5) != 0) continue;
    std::string text = items[i][5] == '\0' ? "" : items[i] + 6;
    size_t colon = text.find(':');
    float dir, spd;
    if (colon == std::string::npos || !number(text.substr(0, colon).c_str(), &dir) ||
        !number(text.substr(colon + 1).c_str(), &spd) || dir < 0 || dir > 360 || spd < 0 ||
        spd > 300) {
      MESS_print(M_ERROR, "kavsounding: Invalid storm motion (storm=DIR:SPEED): %s\n", items[i]);
      free_parsed_array(n, items);
      KAV_exit(kExitOption);
    }
    w.dir = dir;
    w.spd = spd;
  }
  free_parsed_array(n, items);
  return w;
}

// 1 when the file begins with the KAVRAW tag, 0 when not (standard input
// is never looked into), -1 when it cannot be opened.
int is_kavraw(const char *name) {
  if (FILE_is_stdio(name)) return 0;
  FILE *fp = FILE_open(name, "r");
  if (fp == nullptr) return -1;
  char head[7] = "";
  size_t got = std::fread(head, 1, 6, fp);
  FILE_close(fp);
  return got == 6 && std::strncmp(head, "KAVRAW", 6) == 0 ? 1 : 0;
}

void print_help() {
  char prog[50];
  RES_get_prognamen(prog, sizeof prog);
  MESS_print(M_PRINT, "%s: This program analyses an upper-air sounding: stability\n", prog);
  MESS_print(M_PRINT, "       indices, parcel energy and wind parameters\n");
  // The listing names the file once; what it may hold follows as a
  // continuation line, then the values the options take.
  RES_help_print(prog, kKeyed, kPositional);
  MESS_print(M_PRINT, "               KAVRAW, or tabular text with %%RAW%% (- standard input)\n");
  MESS_print(M_PRINT, "Option values...\n");
  MESS_print(M_PRINT, " -pp par=sfc|layer:DEPTH|mu|maxt|P[:T[:TD]]   parcel (default layer:100)\n");
  MESS_print(M_PRINT, " -pp storm=DIR:SPEED    storm motion, degrees and knots\n");
  MESS_print(M_PRINT, " -pa indices,wind,storm,levels,winds,all   reports to print\n");
  MESS_print(M_PRINT, " -o file     Write the sounding as a KAVRAW file (short for -of)\n");
}

}  // namespace

int main(int argc, char **argv) {
  RES_init(argc, argv, kKeyed, kPositional);
  if (FLAG_help()) {
    print_help();
    KAV_exit(0);
  }

  const char *name = RES_get("filename");
  if (name == nullptr || name[0] == '\0') {
    MESS_print(M_ERROR, "kavsounding: No sounding file given\n");
    KAV_exit(kExitOption);
  }
  std::string file = name;
  Reports reports = read_reports();
  WIND storm = read_storm();
  if (THERM_param() != 0) KAV_exit(kExitOption);

  // The storm table prints at out3: shown unless a level was chosen.
  MESS_set(20, M_OUT3);
  // Pauses between the reports only for someone at a terminal.
  if (!isatty(STDIN_FILENO)) MESS_set_page(0);
  MESS_print_prog("SOUNDING ANALYSIS");

  // -o names the file itself, whatever its letters: a template of its own
  // ("@"), with any "%" of the name kept as it is.
  const char *out = RES_get("out_file");
  bool write_raw = out != nullptr && out[0] != '\0';
  if (write_raw && std::strchr(out, ',') != nullptr) {
    // A comma would split the name into a list of output items.
    MESS_print(M_ERROR, "kavsounding: An output file name cannot contain a comma: %s\n", out);
    KAV_exit(kExitOption);
  }
  if (write_raw) {
    std::string item = "raw=@";
    for (const char *c = out; *c != '\0'; ++c)
      item += *c == '%' ? std::string("%%") : std::string(1, *c);
    RES_put("out_file", item.c_str());
  }

  static std::vector<UPA_level> levels(THERM_MAX_LEVELS);
  static std::vector<UPA_level> winds(THERM_MAX_LEVELS);
  int kind = is_kavraw(file.c_str());
  if (kind < 0) {
    MESS_print(M_ERROR, "kavsounding: Unable to open sounding file: %s\n", file.c_str());
    KAV_exit(kExitOpen);
  }
  if (kind == 1) {
    if (THERM_read_raw(file.c_str()) != 0) {
      MESS_print(M_ERROR, "kavsounding: No sounding levels in %s\n", file.c_str());
      KAV_exit(kExitEmpty);
    }
  } else {
    char id[20];
    Date date;
    int n = UPA_read_text(file.c_str(), levels.data(), THERM_MAX_LEVELS, id, sizeof id, &date);
    if (n < 0) KAV_exit(kExitEmpty);
    // The surface: the lowest level with a temperature.
    float pr = kMissing;
    int nw = 0;
    for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
      if (is_missing(pr) && !is_missing(levels[i].t)) pr = levels[i].p;
      if (!is_missing(levels[i].dir) && !is_missing(levels[i].spd))
        winds[static_cast<size_t>(nw++)] = levels[i];
    }
    if (n == 0 || is_missing(pr)) {
      MESS_print(M_ERROR, "kavsounding: No sounding levels in %s\n", file.c_str());
      KAV_exit(kExitEmpty);
    }
    THERM_set_data(pr, levels.data(), n, winds.data(), nw);
    THERM_set_id(id, KAV_IMISSING);
    THERM_set_date(&date);
  }
  if (!is_missing(storm.dir)) THERM_set_storm(&storm);

  THERM_calc();
  char label[64] = "";
  DATE_make_label(THERM_get_date(), label);
  MESS_print(M_MESS, "Station: %s  %s\n", THERM_get_id(), label);
  if (reports.indices) THERM_indices();
  if (reports.wind) THERM_wind();
  if (reports.storm) THERM_storm_table();
  if (reports.levels) THERM_sig_table();
  if (reports.winds) THERM_wind_table();

  if (write_raw && THERM_out_raw() == 0) KAV_exit(kExitWrite);
  return 0;
}
