#include <kav/calc.h>
#include <kav/mess.h>
#include <kav/ua_read.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr float kMissing = KAV_MISSING;

struct UaReadState {
  int file_type = 0;    // the upper-air file type in use; 3, 4, 5 write missing groups as "X"
  char group[32] = "";  // the text of the last encoded group (five characters)
};

UaReadState &state() {
  static UaReadState s;
  return s;
}

// The first five characters of a group, terminated; empty for null.
struct Group {
  char text[6] = "";
  explicit Group(const char *str) {
    if (str == nullptr) return;
    size_t n = 0;
    while (n < 5 && str[n] != '\0') {
      text[n] = str[n];
      ++n;
    }
    text[n] = '\0';
  }
  bool missing_mark() const { return text[0] == 'X'; }
};

// True when the text holds only slashes and blanks: the code's own
// way of writing a value that was not observed.
bool unobserved(const char *text) {
  for (; *text != '\0'; ++text)
    if (*text != '/' && *text != ' ') return false;
  return true;
}

void warn_unreadable(const char *fn, const char *what, const Group &g) {
  MESS_print(M_WARN, "%s: Unreadable %s in group \"%s\"\n", fn, what, g.text);
}

// Writes the missing-group text of the current file type.
int write_missing() {
  int type = state().file_type;
  std::snprintf(state().group, sizeof state().group, "%s",
                (type >= 3 && type <= 5) ? "X" : "99999");
  return -1;
}

void set_pair(float *a, float *b, float va, float vb) {
  *a = va;
  *b = vb;
}

// The pressure a decoded pressure code stands for: 1000 for 00, 925 for 92.
float stored_pressure(int p) {
  if (p == 0) return 1000;
  if (p == 920) return 925;
  return static_cast<float>(p);
}

// Completes the height from the height code h by the decoded pressure p.
float height_of(int p, int h) {
  switch (p) {
    case 0:
      return static_cast<float>(h >= 500 ? 500 - h : h);
    case 920:
      return static_cast<float>(h);
    case 850:
      return static_cast<float>(h + 1000);
    case 700:
      return static_cast<float>(h > 500 ? h + 2000 : h + 3000);
    case 500:
    case 400:
      return static_cast<float>(10 * h);
    case 300:
    case 250:
      return static_cast<float>(h > 500 ? 10 * h : 10000 + 10 * h);
    case 200:
    case 150:
    case 100:
    case 70:
      return static_cast<float>(10000 + 10 * h);
    case 50:
      return static_cast<float>(h > 500 ? 10 * h + 10000 : 10 * h + 20000);
    case 30:
    case 20:
      return static_cast<float>(20000 + 10 * h);
    case 10:
      return static_cast<float>(h > 500 ? 10 * h + 20000 : 10 * h + 30000);
    case 7:
    case 5:
      return static_cast<float>(30000 + 10 * h);
    case 3:
    case 2:
      return static_cast<float>(h > 500 ? 10 * h + 30000 : 10 * h + 40000);
    case 1:
      return static_cast<float>(h > 500 ? 10 * h + 40000 : 10 * h + 50000);
    default:
      return static_cast<float>(h);
  }
}

}  // namespace

extern "C" {

int UPA_set_file_type(int type) KAV_NOEXCEPT {
  int old = state().file_type;
  state().file_type = type;
  return old;
}

int UPA_get_file_type(void) KAV_NOEXCEPT { return state().file_type; }

int decd_ph(const char *str, float *pres, float *hght) KAV_NOEXCEPT {
  if (pres == nullptr || hght == nullptr) {
    MESS_print(M_ERROR, "decd_ph: No place for the decoded values\n");
    return -1;
  }
  set_pair(pres, hght, kMissing, kMissing);
  Group g(str);
  if (g.missing_mark()) return -1;
  int pc = 0, hc = 0;
  int n = std::sscanf(g.text, "%2d%3d", &pc, &hc);
  if (n < 1) {
    if (!unobserved(g.text)) warn_unreadable("decd_ph", "pressure", g);
    return -1;
  }
  if (pc == 99) return -1;
  int p = pc < 1 ? -pc : 10 * pc;
  *pres = stored_pressure(p);
  if (n < 2) {
    if (g.text[2] != '\0' && !unobserved(g.text + 2)) warn_unreadable("decd_ph", "height", g);
    return 0;
  }
  if (hc < 0) {
    warn_unreadable("decd_ph", "height", g);
    return 0;
  }
  *hght = height_of(p, hc);
  return 0;
}

int decd_td(const char *str, float *temp, float *dewpt) KAV_NOEXCEPT {
  if (temp == nullptr || dewpt == nullptr) {
    MESS_print(M_ERROR, "decd_td: No place for the decoded values\n");
    return -1;
  }
  set_pair(temp, dewpt, kMissing, kMissing);
  Group g(str);
  if (g.missing_mark()) return -1;
  int tc = 0, dc = 0;
  int n = std::sscanf(g.text, "%3d%2d", &tc, &dc);
  if (n < 1 || tc < 0) {
    if (!unobserved(g.text)) warn_unreadable("decd_td", "temperature", g);
    return -1;
  }
  if (tc == 999) return -1;
  // The parity of the tenths digit carries the sign.
  float t = static_cast<float>(tc % 2 == 0 ? tc / 10.0 : -tc / 10.0);
  *temp = t;
  if (n < 2 || dc < 0) {
    if (g.text[3] != '\0' && !unobserved(g.text + 3))
      warn_unreadable("decd_td", "dew-point depression", g);
    return 0;
  }
  if (dc == 99) return 0;
  *dewpt = static_cast<float>(dc <= 50 ? t - dc / 10.0 : t - static_cast<double>(dc - 50));
  return 0;
}

int decd_wd(const char *str, float *dir, float *spd) KAV_NOEXCEPT {
  if (dir == nullptr || spd == nullptr) {
    MESS_print(M_ERROR, "decd_wd: No place for the decoded values\n");
    return -1;
  }
  set_pair(dir, spd, kMissing, kMissing);
  Group g(str);
  if (g.missing_mark()) return -1;
  int wc = 0, fc = 0;
  int n = std::sscanf(g.text, "%3d%2d", &wc, &fc);
  if (n < 1 || wc < 0) {
    if (!unobserved(g.text)) warn_unreadable("decd_wd", "wind", g);
    return -1;
  }
  if (wc == 999) return -1;
  int d = wc - wc % 5;
  if (d > 360) return -1;
  if (n < 2 || fc < 0) {
    if (g.text[3] != '\0' && !unobserved(g.text + 3)) warn_unreadable("decd_wd", "wind speed", g);
    *dir = static_cast<float>(d);
    return 0;
  }
  int s = (wc % 5) * 100 + fc;
  if (s > 250) return -1;
  set_pair(dir, spd, static_cast<float>(d), static_cast<float>(s));
  return 0;
}

int encd_ph(float pres, float hght) KAV_NOEXCEPT {
  if (is_missing(pres) && is_missing(hght)) return write_missing();
  // The two pressure digits only tell the levels 1000 mb (00) to 1 mb (-1)
  // apart; beyond that range a group would name another level.
  if (is_missing(pres) || pres < 1 || pres >= 1010) {
    if (!is_missing(pres))
      MESS_print(M_WARN, "encd_ph: Pressure %g mb has no pressure/height group\n", pres);
    return write_missing();
  }
  bool have_h = !is_missing(hght);
  if (have_h && std::fabs(hght) > 1e6f) {
    MESS_print(M_WARN, "encd_ph: Height %g m has no height code: written missing\n", hght);
    have_h = false;
  }
  int p = static_cast<int>(pres);
  char pdigits[8];
  if (pres < 10)
    std::snprintf(pdigits, sizeof pdigits, "-%1d", p);
  else
    std::snprintf(pdigits, sizeof pdigits, "%2.2d", (p % 1000) / 10);
  char hdigits[8] = "/";
  if (have_h) {
    double h = hght < 0 ? 500.0 - static_cast<double>(hght) : static_cast<double>(hght);
    int hi = static_cast<int>(h);
    int code = pres <= 500 ? (hi % 10000) / 10 : hi % 1000;
    std::snprintf(hdigits, sizeof hdigits, "%3.3d", code);
  }
  std::snprintf(state().group, sizeof state().group, "%s%s", pdigits, hdigits);
  return 0;
}

int encd_td(float temp, float dewpt) KAV_NOEXCEPT {
  if (is_missing(temp) && is_missing(dewpt)) return write_missing();
  if (is_missing(temp)) return write_missing();  // a dew point alone has no group
  double tt = 10.0 * (static_cast<double>(temp) + 0.01);
  // Three digits hold tenths from -99.7 to 99.9 (code 999 means missing).
  if (tt <= -998.0 || tt >= 1000.0) {
    MESS_print(M_WARN, "encd_td: Temperature %g C has no temperature code\n", temp);
    return write_missing();
  }
  int t = static_cast<int>(tt);
  int tcode = t >= 0 ? t / 2 * 2 : 1 - t / 2 * 2;
  int dcode = 99;
  if (!is_missing(dewpt)) {
    double dd = 10.0 * (static_cast<double>(temp) - static_cast<double>(dewpt) + 0.01);
    // The integer part is taken toward zero, so a dew point less than a
    // tenth above the temperature is saturation (code 0); only a code that
    // would come out negative has no digits.
    if (dd <= -1.0) {
      MESS_print(M_WARN, "encd_td: Dew point %g C above temperature %g C: written missing\n", dewpt,
                 temp);
    } else if (dd < 1000.0) {
      dcode = static_cast<int>(dd);
      if (dcode >= 60)
        dcode = dcode / 10 + 50;
      else if (dcode >= 50)
        dcode = 50;
      if (dcode > 98) dcode = 99;  // 49 degrees or more: beyond the code
    }
  }
  std::snprintf(state().group, sizeof state().group, "%3.3d%2.2d", tcode, dcode);
  return 0;
}

int encd_wd(float dir, float spd) KAV_NOEXCEPT {
  if (is_missing(dir) || is_missing(spd) || dir < 0 || spd < 0) return write_missing();
  if (dir >= 362.5f || spd >= 250.99f) {
    MESS_print(M_WARN, "encd_wd: Wind %g deg %g kt has no wind group\n", dir, spd);
    return write_missing();
  }
  int a = static_cast<int>(spd + 0.01);
  int d = static_cast<int>(dir + 2.5) / 5 * 5;
  std::snprintf(state().group, sizeof state().group, "%3.3d%2.2d", d + a / 100, a % 100);
  return 0;
}

const char *encd_group(void) KAV_NOEXCEPT { return state().group; }

}  // extern "C"
