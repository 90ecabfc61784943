// The station table: loading the stations that pass the limits into the
// keyed table, the search criteria, and the look-ups by key and location.
#include <kav/calc.h>
#include <kav/cty_tool.h>
#include <kav/maptran.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>
#include <kav/tools.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "console/guard.hpp"
#include "geo/cty_int.hpp"

namespace {

constexpr M_type kLoadInfo = 0xF00;
constexpr int kRings = 50;  // rings of the location search: 0 to 4.9 degrees

// An item of a type 1 table: the record and its caller data.
struct FullItem {
  CTY_data data;
  void *user;
};

// An item of a type 2 or 3 table.
struct XYItem {
  CTY_locate loc;
  void *user;
};

// The station table of the process.
struct CityTable {
  int store = 0;                        // how the table was filled: 1, 2, 3; 0 none loaded
  int id_type = 0;                      // which identifier a plot record carries
  TAB_table city_tbl{};                 // the keyed table
  int data_size = 0;                    // bytes of caller data per station, 0 none
  CTY_enter_fn enter_func = nullptr;    // fills a new station's caller data
  const void *stat_FULL_ptr = nullptr;  // the type 1 item found last
  const void *stat_XY_ptr = nullptr;    // the type 2 or 3 item found last
};

CityTable &state() {
  static CityTable s;
  return s;
}

bool iequal(const std::string &a, const char *b) { return stricmp(a.c_str(), b) == 0; }

// True when text begins with prefix, ignoring case.
bool ibegins(const char *text, const std::string &prefix) {
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (!text[i]) return false;
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

bool has_id(const char *id) { return id[0] && id[1] != '-'; }

std::string wmo5(int wmo) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%5.5d", wmo);
  return buf;
}

// The WMO key text of a station: "%05d", "b%05d" for a buoy. WMO numbers
// are bounded by the reader, and the text by the identifier's size.
std::string wmo_key(const CTY_data &d) {
  char buf[sizeof(CTY_locate{}.id)];
  std::snprintf(buf, sizeof buf, std::strcmp(d.region, "B_") == 0 ? "b%05d" : "%05d", d.wmo);
  return buf;
}

// The location key of tenths of a degree, rounded by the format; a value
// that rounds to zero is written as 0, never "-0".
std::string loc_key(double lat10, double lon10) {
  if (!std::isfinite(lat10) || !std::isfinite(lon10) || std::fabs(lat10) > 1e6 ||
      std::fabs(lon10) > 1e6)
    return "";
  double a = std::nearbyint(lat10), b = std::nearbyint(lon10);
  if (a == 0) a = 0;
  if (b == 0) b = 0;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%5.0f%6.0f", a, b);
  return buf;
}

// Reads a number just after a prefix; false when none is there or it is
// beyond any float a station holds.
bool num_after(const std::string &t, size_t at, double *v) {
  const char *p = t.c_str() + at;
  char *end = nullptr;
  errno = 0;
  *v = std::strtod(p, &end);
  return end != p && errno != ERANGE && std::isfinite(*v) && std::fabs(*v) <= 1e30;
}

bool int_after(const std::string &t, size_t at, long *v) {
  const char *p = t.c_str() + at;
  char *end = nullptr;
  errno = 0;
  *v = std::strtol(p, &end, 10);
  return end != p && errno != ERANGE;
}

// A comparison term "<prefix><op><number>" of a float field.
bool compare(double field, char op, double v) {
  return op == '=' ? field == v : op == '<' ? field <= v : field >= v;
}

// Texts a station is compared with.
struct Station {
  const CTY_data &d;
  std::string wmo;   // "%5.5d"
  std::string stcn;  // "%2s_%2s" of state and country
};

// Evaluates the term at terms[*i], using up the terms it needs.
bool term_holds(const std::vector<std::string> &terms, size_t *i, const Station &s) {
  const std::string &t = terms[*i];
  const CTY_data &d = s.d;
  auto next = [&](std::string *out) {
    if (*i + 1 >= terms.size()) return false;
    *out = terms[++*i];
    return true;
  };
  if (ibegins(t.c_str(), "Name=")) return ibegins(d.name, t.substr(5));
  if (ibegins(t.c_str(), "ST=")) {
    if (t.size() == 5) return iequal(t.substr(3), d.state);
    if (t.size() == 8) return iequal(t.substr(3), s.stcn.c_str());
    return false;
  }
  if (iequal(t, "ST")) {
    std::string n;
    if (!next(&n)) return false;
    if (n.size() == 2) return iequal(n, d.state);
    if (n.size() == 5) return iequal(n, s.stcn.c_str());
    return false;
  }
  if (ibegins(t.c_str(), "CN=")) return iequal(t.substr(3), d.region);
  if (iequal(t, "CN")) {
    std::string n;
    return next(&n) && iequal(n, d.region);
  }
  if (ibegins(t.c_str(), "ID=")) return iequal(t.substr(3), d.id);
  if (ibegins(t.c_str(), "RA<")) {
    std::string lon_t, range_t;
    double lat, lon, range;
    if (!next(&lon_t) || !next(&range_t)) return false;
    if (!num_after(t, 3, &lat) || !num_after(lon_t, 0, &lon) || !num_after(range_t, 0, &range))
      return false;
    const float dist =
        calc_earth_dist(static_cast<float>(lat), static_cast<float>(lon), d.lat, d.lon);
    return dist != KAV_MISSING && dist <= range;
  }
  if (ibegins(t.c_str(), "WMO=")) return iequal(t.substr(4), s.wmo.c_str());
  struct NumTerm {
    const char *name;
    int kind;  // 0 priority, 1 latitude, 2 longitude, 3 elevation, 4 WMO number
  };
  static const NumTerm kNumTerms[] = {{"P", 0}, {"Lat", 1}, {"Lon", 2}, {"Elev", 3}, {"WMO", 4}};
  for (const NumTerm &nt : kNumTerms) {
    const size_t n = std::strlen(nt.name);
    if (t.size() <= n || !ibegins(t.c_str(), nt.name)) continue;
    const char op = t[n];
    if (op != '=' && op != '<' && op != '>') continue;
    if (nt.kind == 4 && op == '=') continue;  // the text form above
    if (nt.kind == 0 || nt.kind == 4) {
      long v;
      if (!int_after(t, n + 1, &v)) return false;
      const double field = nt.kind == 0 ? d.prior : d.wmo;
      return compare(field, op, static_cast<double>(v));
    }
    double v;
    if (!num_after(t, n + 1, &v)) return false;
    const float field = nt.kind == 1 ? d.lat : nt.kind == 2 ? d.lon : d.el;
    return compare(static_cast<double>(field), op, static_cast<double>(static_cast<float>(v)));
  }
  return false;
}

bool criterion_met(const std::string &crit, const Station &s) {
  std::vector<std::string> terms;
  size_t start = 0;
  for (;;) {
    const size_t colon = crit.find(':', start);
    terms.push_back(crit.substr(start, colon == std::string::npos ? colon : colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  bool ok = true;
  for (size_t i = 0; ok && i < terms.size(); ++i) ok = term_holds(terms, &i, s);
  if (ok) return true;
  if (crit.size() == 5 && crit == s.wmo) return true;
  if (has_id(s.d.id) && iequal(crit, s.d.id)) return true;
  return crit.size() > 4 && ibegins(s.d.name, crit);
}

const char *const kTermPrefixes[] = {
    "Name=", "ST=",  "ST:",  "CN=",  "CN:",  "ID=",   "RA<",   "P=",    "P<",   "P>",   "Lat=",
    "Lat<",  "Lat>", "Lon=", "Lon<", "Lon>", "Elev=", "Elev<", "Elev>", "WMO=", "WMO<", "WMO>"};

bool is_search_term(const char *ids) {
  for (const char *p : kTermPrefixes)
    if (ibegins(ids, p)) return true;
  return false;
}

void *&user_of(void *item) {
  return state().store == 1 ? static_cast<FullItem *>(item)->user
                            : static_cast<XYItem *>(item)->user;
}

// Allocates a new station's caller data and lets the caller fill it; null
// when no data is attached. Throws std::bad_alloc when memory runs out.
void *new_user_data(const CTY_data &d) {
  CityTable &s = state();
  if (s.data_size <= 0) return nullptr;
  char *buf = static_cast<char *>(std::malloc(static_cast<size_t>(s.data_size)));
  if (!buf) throw std::bad_alloc();
  buf[0] = '\0';
  if (s.enter_func) s.enter_func(&d, buf);
  return buf;
}

// The key number and text CTY_search looks up.
int search_key(const char *id, std::string *key) {
  const size_t n = std::strlen(id);
  auto digits = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
      if (!std::isdigit(static_cast<unsigned char>(id[i]))) return false;
    return true;
  };
  *key = id;
  if ((n == 5 && digits(0, 5)) || (n == 6 && id[0] == 'b' && digits(1, 6))) return 2;
  if (n == 5 && std::isupper(static_cast<unsigned char>(id[0])) && digits(2, 5)) {
    *key = wmo5(stn_id_to_wmo(id));
    return 2;
  }
  return 1;
}

bool loaded() { return state().store != 0 && state().city_tbl.table[0]; }

// A station's caller data until the table takes it.
using UserData = std::unique_ptr<void, decltype(&std::free)>;

// What CTY_store took, given back unless the load completes: the open
// database, the parsed identifier list, and the table being filled.
struct StoreUndo {
  StoreUndo() = default;
  StoreUndo(const StoreUndo &) = delete;
  StoreUndo &operator=(const StoreUndo &) = delete;
  ~StoreUndo() {
    free_parsed_array(numid, ids);
    if (done) return;
    if (fd >= 0) CTY_close(fd);
    CTY_clear();
  }
  int fd = -1;           // the database, closed on failure
  int numid = 0;         // the identifier criteria
  char **ids = nullptr;  // their texts, always freed
  bool done = false;     // the table is whole and stays
};

}  // namespace

extern "C" {

int CTY_set_id_type(int type) KAV_NOEXCEPT {
  state().id_type = type;
  return 0;
}

int CTY_data_size(int size) KAV_NOEXCEPT {
  state().data_size = size > 0 ? size : 0;
  return 0;
}

int CTY_enter_func(CTY_enter_fn func) KAV_NOEXCEPT {
  state().enter_func = func;
  return 0;
}

static int cty_data_cmp_body(int numid, char **ids, const CTY_data *data) {
  if (numid <= 0) return 1;
  if (!ids || !data) return -1;
  const Station s{*data, wmo5(data->wmo), [&] {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "%2s_%2s", data->state, data->region);
                    return std::string(buf);
                  }()};
  for (int i = 0; i < numid; ++i)
    if (ids[i] && criterion_met(ids[i], s)) return i;
  return -1;
}

int CTY_data_cmp(int numid, char **ids, const CTY_data *data) KAV_NOEXCEPT {
  return kav::guarded("CTY_data_cmp", -1, [&] { return cty_data_cmp_body(numid, ids, data); });
}

int CTY_id_cmp(const char *ids, const char *id) KAV_NOEXCEPT {
  if (!ids) return 0;
  if (is_search_term(ids)) return 1;
  return id && stricmp(ids, id) == 0 ? 1 : 0;
}

int CTY_ids_cmp(int numid, char **ids, const char *id) KAV_NOEXCEPT {
  if (numid <= 0) return 1;
  if (!ids) return 0;
  for (int i = 0; i < numid; ++i)
    if (CTY_id_cmp(ids[i], id)) return 1;
  return 0;
}

static int cty_store_body(const char *city_file, int type, const Domain *domain, int prior) {
  CityTable &s = state();
  if (type < 1 || type > 3) return 0;
  if (loaded()) CTY_clear();
  StoreUndo undo;
  int estimate = 0;
  undo.fd = CTY_open_file(city_file, &estimate);
  if (undo.fd < 0) return 0;
  const int fd = undo.fd;
  s.store = type;
  MAP_domain(domain);
  MESS_print(kLoadInfo, "Reading the city database file...\n");

  const char *criteria = RES_get("identifier");
  // An identifier list that cannot be split for want of memory must not
  // read as no criterion at all (every station).
  if (criteria && *criteria && RES_getvals("identifier", &undo.numid, &undo.ids) == 0)
    throw std::bad_alloc();
  const int numid = undo.numid;
  char **const ids = undo.ids;
  const int crit_count = numid == 1 && stricmp(ids[0], "all") == 0 ? 0 : numid;
  if (prior == KAV_IMISSING) prior = CTY_get_prior();

  CTY_rewind(fd);
  const int item_size = static_cast<int>(type == 1 ? sizeof(FullItem) : sizeof(XYItem));
  if (TAB_create(&s.city_tbl, estimate, item_size, type == 3 ? 3 : 2) != 0) throw std::bad_alloc();
  CTY_data d;
  // Memory that runs out while a line is read leaves as bad_alloc, never as
  // the end of the file: a table cut short is not a loaded table.
  while (kav_cty::read_record(fd, &d) > 0) {
    if (d.prior > prior) continue;
    const std::string wkey = wmo_key(d);
    if (CTY_data_cmp(crit_count, ids, &d) < 0) continue;
    float x, y;
    if (!MAP_tran(d.lat, d.lon, &x, &y) || !MAP_in_grid_domain(x, y)) continue;
    UserData user(new_user_data(d), &std::free);
    int r;
    if (type == 1) {
      FullItem item{d, user.get()};
      r = TAB_enter(&s.city_tbl, &item, d.id, wkey.c_str());
    } else {
      XYItem item{};
      item.loc.wmo = d.wmo;
      item.loc.x = x;
      item.loc.y = y;
      item.loc.el = d.el;
      item.loc.pr = d.prior;
      item.user = user.get();
      std::string id;
      if (s.id_type == 1) {
        id = d.wmo == 99999 ? d.id : wkey;
      } else if (s.id_type == 2) {
        char conv[11];
        id = has_id(d.id)                       ? d.id
             : std::strcmp(d.region, "B_") == 0 ? wkey
                                                : stn_wmo_to_id(d.wmo, conv);
      } else {
        id = d.id[0] && d.id[1] == '-' ? wkey : d.id;
      }
      std::snprintf(item.loc.id, sizeof item.loc.id, "%s", id.c_str());
      if (type == 2) {
        r = TAB_enter(&s.city_tbl, &item, item.loc.id, wkey.c_str());
      } else {
        const std::string lkey =
            loc_key(10.0 * static_cast<double>(d.lat), 10.0 * static_cast<double>(d.lon));
        r = TAB_enter(&s.city_tbl, &item, item.loc.id, wkey.c_str(), lkey.c_str());
      }
    }
    // Only memory refuses an entry.
    if (r != 0) throw std::bad_alloc();
    (void)user.release();  // the table owns it now
  }
  if (kav_cty::read_failed()) return 0;  // CTY_read has named the file; undone
  undo.done = true;
  return fd;
}

int CTY_store(const char *city_file, int type, const Domain *domain, int prior) KAV_NOEXCEPT {
  return kav::guarded("CTY_store", 0,
                      [&] { return cty_store_body(city_file, type, domain, prior); });
}

static int cty_make_entry_simple_body(const char *id, const char *wmo) {
  CityTable &s = state();
  if (!loaded() || s.store != 1 || !id || !wmo) return 0;
  FullItem item{};
  CTY_data_init(&item.data);
  std::snprintf(item.data.id, sizeof item.data.id, "%s", id);
  char *end = nullptr;
  errno = 0;
  const long n = std::strtol(wmo, &end, 10);
  item.data.wmo =
      end == wmo || errno == ERANGE || n < -99999 || n > 999999 ? 99999 : static_cast<int>(n);
  UserData user(new_user_data(item.data), &std::free);
  item.user = user.get();
  if (TAB_enter(&s.city_tbl, &item, id, wmo) != 0) throw std::bad_alloc();
  (void)user.release();  // the table owns it now
  return 0;
}

int CTY_make_entry_simple(const char *id, const char *wmo) KAV_NOEXCEPT {
  return kav::guarded("CTY_make_entry_simple", 0,
                      [&] { return cty_make_entry_simple_body(id, wmo); });
}

static int cty_search_body(const char *id, void *data) {
  CityTable &s = state();
  if (!loaded() || !id || !data) return 0;
  std::string key;
  const int keynum = search_key(id, &key);
  void *item = TAB_search(&s.city_tbl, keynum, key.c_str());
  if (!item) return 0;
  if (s.store == 1) {
    std::memcpy(data, &static_cast<FullItem *>(item)->data, sizeof(CTY_data));
    s.stat_FULL_ptr = item;
  } else {
    std::memcpy(data, &static_cast<XYItem *>(item)->loc, sizeof(CTY_locate));
    s.stat_XY_ptr = item;
  }
  return 1;
}

int CTY_search(const char *id, void *data) KAV_NOEXCEPT {
  return kav::guarded("CTY_search", 0, [&] { return cty_search_body(id, data); });
}

static int cty_search_loc_body(float lat, float lon, CTY_locate *data) {
  CityTable &s = state();
  if (!loaded() || s.store != 3 || !data) return 0;
  const double a = 10.0 * static_cast<double>(lat), b = 10.0 * static_cast<double>(lon);
  for (int i = 0; i < kRings; ++i) {
    // Each side runs from one corner up to the next; the side along a - i
    // starts a cell earlier, at the corner (a - i, b - i), which no other
    // side reaches.
    for (int j = -i; j <= i; ++j) {
      const double offsets[4][2] = {{a + i, b + j}, {a + j, b + i}, {a - i, b + j}, {a + j, b - i}};
      for (int k = 0; k < 4; ++k) {
        if (j == -i && k != 2) continue;
        const std::string key = loc_key(offsets[k][0], offsets[k][1]);
        void *item = key.empty() ? nullptr : TAB_search(&s.city_tbl, 3, key.c_str());
        if (item) {
          *data = static_cast<XYItem *>(item)->loc;
          s.stat_XY_ptr = item;
          return 1;
        }
      }
    }
  }
  return 0;
}

int CTY_search_loc(float lat, float lon, CTY_locate *data) KAV_NOEXCEPT {
  return kav::guarded("CTY_search_loc", 0, [&] { return cty_search_loc_body(lat, lon, data); });
}

void *CTY_get_data(const char *id) KAV_NOEXCEPT {
  CityTable &s = state();
  if (!loaded() || !id) return nullptr;
  const bool by_wmo = std::strlen(id) == 5 && std::isdigit(static_cast<unsigned char>(id[0]));
  void *item = TAB_search(&s.city_tbl, by_wmo ? 2 : 1, id);
  return item ? user_of(item) : nullptr;
}

void *CTY_next_data(int next) KAV_NOEXCEPT {
  CityTable &s = state();
  if (!loaded()) return nullptr;
  if (next == 0) TAB_first(&s.city_tbl);
  while (void *item = TAB_next(&s.city_tbl))
    if (user_of(item)) return user_of(item);
  return nullptr;
}

int CTY_clear_data(int flag) KAV_NOEXCEPT {
  CityTable &s = state();
  if (!loaded()) return 0;
  for (TAB_entry *e = s.city_tbl.head_ptr; e; e = e->next) {
    void *&user = user_of(e->data);
    if (!user) continue;
    if (flag == 0) {
      std::free(user);
      user = nullptr;
    } else {
      static_cast<char *>(user)[0] = '\0';
    }
  }
  return 0;
}

int CTY_clear(void) KAV_NOEXCEPT {
  CityTable &s = state();
  if (loaded()) CTY_clear_data(0);
  TAB_clear(&s.city_tbl);
  s.store = 0;
  s.stat_FULL_ptr = s.stat_XY_ptr = nullptr;
  return 0;
}

TAB_table *CTY_get_table(void) KAV_NOEXCEPT { return &state().city_tbl; }

}  // extern "C"
