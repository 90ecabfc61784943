#include <kav/calc.h>
#include <kav/mess.h>
#include <kav/ua_merge.h>
#include <kav/vecttool.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr float kMissing = KAV_MISSING;
constexpr double kRd = 287.05;  // gas constant of dry air, J/(kg K)
constexpr double kG = 9.80665;  // gravity, m/s^2

// Fills the fields of a that are missing from b.
void fill_from(UPA_level &a, const UPA_level &b) {
  float UPA_level::*fields[] = {&UPA_level::h, &UPA_level::t, &UPA_level::td, &UPA_level::dir,
                                &UPA_level::spd};
  for (auto f : fields)
    if (is_missing(a.*f)) a.*f = b.*f;
}

// Virtual temperature (K) of a level; the temperature alone without a dew
// point; missing without a temperature.
double virt_k(const UPA_level &l) {
  if (is_missing(l.t)) return kMissing;
  float tk = to_kelvin(l.t);
  if (is_missing(l.td)) return tk;
  float tv = virt_temp(tk, to_kelvin(l.td), l.p);
  return is_missing(tv) ? tk : tv;
}

// The text of a value in a level line with the given decimals, "-" when
// missing.
void cell(char *buf, size_t size, int decimals, float v) {
  if (is_missing(v))
    std::snprintf(buf, size, "%s", "-");
  else
    std::snprintf(buf, size, "%.*f", decimals, static_cast<double>(v));
}

void label_of(char *buf, size_t size, int index) {
  switch (index) {
    case -1:
      std::snprintf(buf, size, "%s", "SFC");
      break;
    case -2:
      std::snprintf(buf, size, "%s", "TROP");
      break;
    case -3:
      std::snprintf(buf, size, "%s", "MWND");
      break;
    default:
      std::snprintf(buf, size, "%d", index);
  }
}

}  // namespace

extern "C" {

int UPA_sm_merge(const UPA_report *report, UPA_level *sm, int max) KAV_NOEXCEPT {
  if (report == nullptr || sm == nullptr || max <= 0) return 0;
  int nm = std::clamp(report->numman, 0, UPA_MAX_MAN);
  int ns = std::clamp(report->numsig, 0, UPA_MAX_SIG);
  int count = 0;
  auto add = [&](const UPA_level &l, bool mandatory) {
    if (is_missing(l.p) || !(l.p > 0)) return;
    for (int i = 0; i < count; ++i) {
      if (sm[i].p != l.p) continue;
      if (mandatory) {
        UPA_level m = l;
        fill_from(m, sm[i]);
        sm[i] = m;
      } else {
        fill_from(sm[i], l);
      }
      return;
    }
    if (count >= max) return;
    int j = count++;
    while (j > 0 && sm[j - 1].p < l.p) {
      sm[j] = sm[j - 1];
      --j;
    }
    sm[j] = l;
  };
  for (int i = 0; i < nm; ++i) add(report->man[i], true);
  for (int i = 0; i < ns; ++i) add(report->sig[i], false);
  return count;
}

int UPA_wm_merge(const UPA_report *report, UPA_level *wm, int max) KAV_NOEXCEPT {
  if (report == nullptr || wm == nullptr || max <= 0) return 0;
  int nm = std::clamp(report->numman, 0, UPA_MAX_MAN);
  int nw = std::clamp(report->numwnd, 0, UPA_MAX_WND);
  int count = 0;
  for (int i = 0; i < nm && count < max; ++i) {
    const UPA_level &l = report->man[i];
    if (!is_missing(l.dir) && !is_missing(l.h)) wm[count++] = l;
  }
  for (int i = 0; i < nw && count < max; ++i) {
    const UPA_level &l = report->wnd[i];
    if (is_missing(l.dir) || is_missing(l.h)) continue;
    bool dup = false;
    for (int j = 0; j < count && !dup; ++j) dup = wm[j].h == l.h;
    if (!dup) wm[count++] = l;
  }
  std::stable_sort(wm, wm + count,
                   [](const UPA_level &a, const UPA_level &b) { return a.h < b.h; });
  return count;
}

int UPA_calc_height(UPA_level *levels, int n, float elev) KAV_NOEXCEPT {
  if (levels == nullptr || n <= 0) return 0;
  int filled = 0;
  if (is_missing(levels[0].h) && !is_missing(elev)) {
    levels[0].h = elev;
    ++filled;
  }
  // Upward from the level below, then downward for what is left.
  for (int i = 1; i < n; ++i) {
    UPA_level &l = levels[i];
    const UPA_level &b = levels[i - 1];
    if (!is_missing(l.h) || is_missing(b.h) || is_missing(l.p) || is_missing(b.p) || l.p <= 0 ||
        b.p <= 0)
      continue;
    double tb = virt_k(b), tl = virt_k(l);
    if (tb == kMissing || tl == kMissing) continue;
    l.h = static_cast<float>(b.h + kRd / kG * (tb + tl) / 2 * std::log(b.p / l.p));
    ++filled;
  }
  for (int i = n - 2; i >= 0; --i) {
    UPA_level &l = levels[i];
    const UPA_level &a = levels[i + 1];
    if (!is_missing(l.h) || is_missing(a.h) || is_missing(l.p) || is_missing(a.p) || l.p <= 0 ||
        a.p <= 0)
      continue;
    double ta = virt_k(a), tl = virt_k(l);
    if (ta == kMissing || tl == kMissing) continue;
    l.h = static_cast<float>(a.h - kRd / kG * (ta + tl) / 2 * std::log(l.p / a.p));
    ++filled;
  }
  return filled;
}

int UPA_calc_press(UPA_level *wm, int wm_num, UPA_level *sm, int sm_num) KAV_NOEXCEPT {
  if (wm == nullptr || sm == nullptr) return 0;
  int filled = 0;
  for (int i = 0; i < wm_num; ++i) {
    if (!is_missing(wm[i].p) || is_missing(wm[i].h)) continue;
    UPA_level l;
    UPA_interp(sm, sm_num, 103, wm[i].h, &l);
    if (!is_missing(l.p)) {
      wm[i].p = l.p;
      ++filled;
    }
  }
  return filled;
}

int UPA_print_level(M_type type, int index, const UPA_level *lev) KAV_NOEXCEPT {
  if (index < -3 || lev == nullptr) {
    MESS_print(type, " Lev      P       H       T      Td   Dir  Spd\n");
    return 0;
  }
  char lab[16], p[16], h[16], t[16], td[16], d[16], s[16];
  label_of(lab, sizeof lab, index);
  cell(p, sizeof p, 1, lev->p);
  cell(h, sizeof h, 0, lev->h);
  cell(t, sizeof t, 1, lev->t);
  cell(td, sizeof td, 1, lev->td);
  cell(d, sizeof d, 0, lev->dir);
  cell(s, sizeof s, 0, lev->spd);
  MESS_print(type, "%4s %7s %7s %7s %7s %5s %4s\n", lab, p, h, t, td, d, s);
  return 0;
}

int UPA_print_wind(M_type type, int index, const UPA_level *lev, const WIND *storm) KAV_NOEXCEPT {
  if (index < -3 || lev == nullptr) {
    MESS_print(type, " Lev      P       H   Dir  Spd  SRdir SRspd\n");
    return 0;
  }
  char lab[16], p[16], h[16], d[16], s[16], rd[16], rs[16];
  label_of(lab, sizeof lab, index);
  cell(p, sizeof p, 1, lev->p);
  cell(h, sizeof h, 0, lev->h);
  cell(d, sizeof d, 0, lev->dir);
  cell(s, sizeof s, 0, lev->spd);
  float rdir = kMissing, rspd = kMissing;
  if (storm != nullptr) {
    float u, v, su, sv;
    if (wind2vect(lev->dir, lev->spd, &u, &v) == 0 &&
        wind2vect(storm->dir, storm->spd, &su, &sv) == 0)
      vect2wind(u - su, v - sv, &rdir, &rspd);
  }
  cell(rd, sizeof rd, 0, rdir);
  cell(rs, sizeof rs, 0, rspd);
  MESS_print(type, "%4s %7s %7s %5s %4s %6s %5s\n", lab, p, h, d, s, rd, rs);
  return 0;
}

}  // extern "C"
