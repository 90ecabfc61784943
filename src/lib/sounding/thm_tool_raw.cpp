// The sounding text file ("KAVRAW") of the analysis, written and read back,
// and a sounding built from a decoded upper-air report.
#include <kav/calc.h>
#include <kav/date.h>
#include <kav/files.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>
#include <kav/system.h>
#include <kav/thm_tool.h>
#include <kav/ua_merge.h>
#include <kav/ua_read.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console/files_out.hpp"
#include "console/guard.hpp"
#include "sounding/thm_tool_int.hpp"

namespace {

using kav_therm::own_levels;
using kav_therm::state;
using kav_therm::ThermState;
constexpr float kMissing = KAV_MISSING;

double d(float v) { return static_cast<double>(v); }

// The output name from the out_file resource: "upa_snd" unless an item that
// is not a "gif" output names the file, as "raw=NAME" (or "raw:NAME"), or
// "raw" alone for the default, or the plain name.
std::string out_name() {
  std::string name = "upa_snd";
  int n = 0;
  char **items = nullptr;
  RES_getvals("out_file", &n, &items);
  for (int i = 0; i < n; ++i) {
    const char *item = items[i];
    if (strnicmp(item, "gif", 3) == 0 || item[0] == '\0') continue;
    if (strnicmp(item, "raw", 3) == 0 && (item[3] == '\0' || item[3] == '=' || item[3] == ':')) {
      name = item[3] == '\0' || item[4] == '\0' ? "upa_snd" : item + 4;
    } else {
      name = item;
    }
  }
  free_parsed_array(n, items);
  return name;
}

// One line of the file: label, then P, H, T, Td, Dir and Spd.
void write_level(FILE *fp, const char *label, const UPA_level &l) {
  std::fprintf(fp, "%s", label);
  std::fprintf(fp, "%4.0f ", d(l.p));
  if (is_missing(l.h))
    std::fprintf(fp, "    - ");
  else
    std::fprintf(fp, "%5.0f ", d(l.h));
  if (is_missing(l.t))
    std::fprintf(fp, "     - ");
  else
    std::fprintf(fp, " %5.1f ", d(l.t));
  if (is_missing(l.td))
    std::fprintf(fp, "    - ");
  else
    std::fprintf(fp, "%5.1f ", d(l.td));
  if (is_missing(l.dir))
    std::fprintf(fp, "   - ");
  else
    std::fprintf(fp, "%4.0f ", d(l.dir));
  if (is_missing(l.spd))
    std::fprintf(fp, "  - ");
  else
    std::fprintf(fp, "%3.0f", d(l.spd));
  std::fprintf(fp, "\n");
}

}  // namespace

extern "C" {

static int therm_out_raw_body(void) {
  ThermState &s = state();
  std::string name = out_name();
  char file[FILE_NAME_LEN + 1] = "";
  // A name that cannot be made (memory ran out) is empty, which would mean
  // standard output: nothing is written then.
  if (FILE_set_name(name.c_str()) < 0 || FILE_set_date(&s.file_date, file) < 0 || !file[0]) {
    MESS_print(M_WARN, "THERM_out_raw: Unable to open output file: %s\n", name.c_str());
    return 0;
  }
  // Written to a temporary that replaces the old file only when complete.
  kav::OutFile out;
  if (!out.open("THERM_out_raw", "output file", file, false)) return 0;
  FILE *fp = out.stream();
  UPA_calc_wind(s.sm, s.sm_num, s.wm, s.wm_num);
  char label[64] = "";
  DATE_make_label(&s.file_date, label);
  std::fprintf(fp, "KAVRAW\n%s\n!%s Sounding\n", label, s.id.c_str());
  std::fprintf(fp, " Lev   P     H     T     Td    Dir Spd $\n");
  char lab[16];
  for (int i = 0; i < s.sm_num; ++i) {
    if (!is_missing(s.sfc.p) && s.sm[i].p == s.sfc.p)
      std::snprintf(lab, sizeof lab, " SFC ");
    else
      std::snprintf(lab, sizeof lab, "%4d ", i % 10000);
    write_level(fp, lab, s.sm[i]);
  }
  for (int i = 0; i < s.wm_num; ++i) {
    if (i == 0)
      std::snprintf(lab, sizeof lab, "WIND ");
    else
      std::snprintf(lab, sizeof lab, "%4d ", i % 10000);
    if (!is_missing(s.wm[i].p) && s.wm[i].p > 0) write_level(fp, lab, s.wm[i]);
  }
  if (!is_missing(s.trop.p)) write_level(fp, "TROP ", s.trop);
  if (!is_missing(s.mwnd.p)) write_level(fp, "MWND ", s.mwnd);
  std::fprintf(fp, "\n");
  if (!out.close("THERM_out_raw")) return 0;
  MESS_print(0x200, "Written raw file to: %s\n", file);
  return 1;
}

int THERM_out_raw(void) KAV_NOEXCEPT {
  return kav::guarded("THERM_out_raw", 0, [&] { return therm_out_raw_body(); });
}

static int therm_read_raw_body(const char *filename) {
  ThermState &s = state();
  int fd = UPA_raw_open(filename);
  if (fd < 0) {
    MESS_print(M_ERROR, "Unable to open file:%s\n", filename != nullptr ? filename : "");
    KAV_exit(10);
  }
  const char *info = UPA_raw_info(fd);
  const char *label = UPA_raw_label(fd);
  MESS_print(0x1000, "ID: %s\n", info);
  MESS_print(0x1000, "Date: %s\n", label);
  char word[20] = "";
  std::sscanf(info, "%19s", word);
  Date date;
  DATE_decode_label(label, &date);
  int nf = UPA_raw_num_fields(fd);
  for (int i = 0; i < nf; ++i) MESS_print(M_DEBUG, "NAME: %d %s\n", i, UPA_raw_field_name(fd, i));

  // Levels are read aside: the sounding installed now stays whole until this
  // file has been read to its end.
  std::vector<UPA_level> read_sm(THERM_MAX_LEVELS), read_wm;
  UPA_level *sm = read_sm.data();
  UPA_level *wm = nullptr;
  int sm_num = 0, wm_num = 0;
  UPA_level sfc_level;
  UPA_level_init(&sfc_level);
  float sfc_p = kMissing;
  UPA_level trop = kav_therm::calm_level(), mwnd = kav_therm::calm_level();
  UPA_level scratch;  // a level beyond the 300 kept, read and dropped
  UPA_level *cur = nullptr;
  bool in_wind = false, warned = false;
  char station[6];
  float pres, value;
  int field;
  int got;
  while ((got = UPA_raw_read(fd, station, &pres, &field, &value)) == 0) {
    MESS_print(M_DEBUG, "%d %d %s %f %f %d %s = %f %s\n", fd, field, station, d(pres), d(value),
               field, UPA_raw_field_name(fd, field), d(value), info);
    if (stricmp(station, "sfc") == 0) sfc_p = pres;
    if (field == 2) {
      if (stricmp(station, "mwnd") == 0) {
        cur = &mwnd;
      } else if (stricmp(station, "trop") == 0) {
        cur = &trop;
      } else {
        if (stricmp(station, "wind") == 0 && !in_wind) {
          in_wind = true;
          read_wm.resize(THERM_MAX_LEVELS);
          wm = read_wm.data();
        }
        int &num = in_wind ? wm_num : sm_num;
        UPA_level *arr = in_wind ? wm : sm;
        if (num < THERM_MAX_LEVELS) {
          cur = &arr[num++];
        } else {
          if (!warned)
            MESS_print(M_WARN, "THERM_read_raw: More than %d levels in %s; the rest is ignored\n",
                       THERM_MAX_LEVELS, filename);
          warned = true;
          cur = &scratch;
        }
      }
      UPA_level_init(cur);
    }
    if (cur == nullptr) continue;
    cur->p = pres;
    switch (field) {
      case 2:
        cur->h = value;
        break;
      case 3:
        cur->t = value;
        break;
      case 4:
        cur->td = value;
        break;
      case 5:
        cur->dir = value;
        break;
      case 6:
        cur->spd = value;
        break;
      default:
        break;
    }
  }
  UPA_raw_close(fd);
  if (got == -2) {
    // UPA_raw_read has named the file; the sounding installed before stays.
    MESS_print(M_WARN, "THERM_read_raw: Sounding not installed, its file read in part: %s\n",
               filename);
    return -1;
  }
  s.id = word;
  s.file_date = date;
  if (sm_num == 0) {
    MESS_print(M_WARN, "THERM_read_raw: No sounding levels in %s\n", filename);
  }
  if (is_missing(sfc_p) && sm_num > 0) sfc_p = sm[0].p;
  sm = std::copy_n(read_sm.data(), sm_num, own_levels(s.own_sm)) - sm_num;
  if (wm_num > 0) wm = std::copy_n(read_wm.data(), wm_num, own_levels(s.own_wm)) - wm_num;
  s.trop = trop;
  s.mwnd = mwnd;
  if (wm_num > 0)
    THERM_set_data(sfc_p, sm, sm_num, wm, wm_num);
  else
    THERM_set_data(sfc_p, sm, sm_num, sm, sm_num);
  return sm_num > 0 ? 0 : -1;
}

int THERM_read_raw(const char *filename) KAV_NOEXCEPT {
  return kav::guarded("THERM_read_raw", -1, [&] { return therm_read_raw_body(filename); });
}

static int upa_merge_report_body(UPA_report *report) {
  if (report == nullptr) return 0;
  ThermState &s = state();
  UPA_level *sm = own_levels(s.own_sm);
  UPA_level *wm = own_levels(s.own_wm);
  // The station's elevation, location and number are the report's own.
  MESS_print(0x10000000u, "Station: %s %d %f %f %f\n", report->id, report->wmo, d(report->lat),
             d(report->lon), d(report->elev));
  int sm_num = UPA_sm_merge(report, sm, THERM_MAX_LEVELS);
  if (sm_num <= 0) return 0;
  UPA_calc_height(sm, sm_num, report->elev);
  int wm_num = UPA_wm_merge(report, wm, THERM_MAX_LEVELS);
  UPA_calc_press(wm, wm_num, sm, sm_num);
  // Wind levels the temperature levels cannot place are dropped.
  int kept = 0;
  for (int i = 0; i < wm_num; ++i)
    if (!is_missing(wm[i].p)) wm[kept++] = wm[i];
  wm_num = kept;
  UPA_calc_wind(sm, sm_num, wm, wm_num);
  for (int i = 0; i < sm_num; ++i) UPA_print_level(0x10000000u, i, &sm[i]);
  int sfc_index = 0;
  float pr = UPA_sfc_pres(sm, &sfc_index);
  THERM_set_data(pr, sm, sm_num, wm, wm_num);
  s.id = std::string(report->id, strnlen(report->id, sizeof report->id)).substr(0, 19);
  s.values.wmo = report->wmo;
  s.values.lat = report->lat;
  s.values.lon = report->lon;
  s.values.elev = report->elev;
  return 1;
}

int UPA_merge_report(UPA_report *report) KAV_NOEXCEPT {
  return kav::guarded("UPA_merge_report", 0, [&] { return upa_merge_report_body(report); });
}

}  // extern "C"
