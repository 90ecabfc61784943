// GRIB product definition: keys, reference date, forecast time, level,
// variable and the ensemble extension; the parameter tables (units by
// parameter, the local table of centre 98, the edition-0 table) and the
// predefined grids.
#include <kav/date.h>
#include <kav/grib.h>
#include <kav/mess.h>
#include <kav/var_tool.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "console/guard.hpp"
#include "grid/grib_int.hpp"

namespace kav::grib {
namespace {

// One row of a parameter mapping: the parameter met, the edition-1
// parameter it becomes, its units, and a level it implies (ltype 0: none).
struct Mapping {
  int from;
  int var;
  const char *units;
  int ltype;
  int level;
};

// Local parameters of centre 98.
constexpr Mapping kLocal98[] = {
    {129, 6, "m^2/s^2", 0, 0}, {130, 11, "K", 0, 0},      {139, 11, "K", 0, 0},
    {131, 33, "m/s", 0, 0},    {132, 34, "m/s", 0, 0},    {134, 1, "Pa", 0, 0},
    {135, 39, "Pa/s", 0, 0},   {146, 122, "W/m^2", 0, 0}, {147, 121, "W/m^2", 0, 0},
    {151, 1, "Pa", 102, -1},   {157, 52, "%", 0, 0},      {164, 71, "%", 200, 0},
    {165, 33, "m/s", 105, 10}, {166, 34, "m/s", 105, 10}, {167, 11, "K", 105, 2},
    {168, 17, "K", 105, 2},    {172, 81, "", 0, 0},       {176, 111, "W/m^2", 0, 0},
    {177, 112, "W/m^2", 0, 0}, {180, 326, "N/m^2", 0, 0}, {181, 327, "N/m^2", 0, 0},
    {228, 61, "m", 0, 0},
};

// Parameters of edition 0.
constexpr Mapping kEdition0[] = {
    {1, 1, "hPa", 0, 0},        {2, 7, "10 m", 0, 0},       {3, 8, "10 m", 0, 0},
    {4, 11, "C", 0, 0},         {5, 15, "C", 0, 0},         {6, 16, "C", 0, 0},
    {8, 13, "C", 0, 0},         {10, 17, "C", 0, 0},        {11, 18, "dC", 0, 0},
    {12, 51, ".1 g/kg", 0, 0},  {13, 52, "%", 0, 0},        {14, 53, ".1 g/kg", 0, 0},
    {15, 131, "dC", 0, 0},      {17, 132, "dC", 0, 0},      {21, 32, "m/s", 0, 0},
    {23, 33, "m/s", 0, 0},      {24, 34, "m/s", 0, 0},      {29, 35, "10^5 m^2/s", 0, 0},
    {30, 43, "10^-5 /s", 0, 0}, {31, 41, "10^-5 /s", 0, 0}, {40, 38, "mb/s", 0, 0},
    {44, 136, "m/s/km", 0, 0},  {47, 54, "mm", 0, 0},       {48, 63, "mm", 0, 0},
    {50, 61, "mm", 0, 0},       {51, 66, "cm", 0, 0},       {55, 62, "mm", 0, 0},
    {61, 80, ".1 C", 0, 0},     {64, 100, ".5 m", 0, 0},    {75, 107, "10 deg", 0, 0},
    {76, 108, "s", 0, 0},
};

// Units of edition-1 parameters; parameters in no row get "-".
struct UnitRow {
  const char *units;
  int params[24];  // ends at 0
};
constexpr UnitRow kUnits[] = {
    {"", {22, 23, 28, 29, 30, 81, 91, 134, 140, 141, 142, 143, 144, 191, 192, 209}},
    {"Pa", {1, 2, 26, 55, 56, 128, 129, 130}},
    {"Pa/s", {3, 39}},
    {"m^2/s^2", {6, 37, 190}},
    {"m", {7, 8, 9, 20, 66, 83, 100, 221}},
    {"Dobson", {10}},
    {"K", {11, 12, 13, 14, 15, 16, 17, 80, 85, 133}},
    {"dK", {18, 24, 25, 131, 132}},
    {"K/m", {19}},
    {"Dbz", {21}},
    {"gpm", {27, 222, 230}},
    {"deg", {31, 47, 107, 571}},
    {"m/s", {32, 33, 34, 40, 48, 49, 196, 197}},
    {"m^2/s", {35, 36}},
    {"/s", {38, 41, 42, 43, 44, 45, 46, 136}},
    {"kg/kg", {50, 51, 53, 76, 153, 154}},
    {"%", {52, 60, 71, 84, 193, 194, 195, 201, 207, 213}},
    {"kg/m^2", {54, 57, 58, 61, 62, 63, 65, 86, 90, 223}},
    {"kg/m^2/s", {59, 214}},
    {"kg/m^3", {77}},
    {"s", {108}},
    {"W/m^2", {111, 112, 113, 114, 121, 122, 145, 155, 160, 161, 162,
               163, 164, 165, 166, 167, 168, 204, 205, 211, 212}},
    {"N/m^2", {124, 125, 147, 148, 172, 226, 227}},
    {"kg/kg/s", {135}},
    {"/s^2", {138}},
    {"/s/m", {139}},
    {"J/kg", {146, 156, 157, 158}},
    {"m^2/s/kg", {149}},
    {"km/s", {151}},
    {"kg-m/m^2-s", {208}},
    {"K/s", {216}},
    {"dBZ", {491}},
};

const char *units_of(int var) {
  const int p = var % 1000;
  for (const UnitRow &r : kUnits)
    for (int q : r.params) {
      if (q == 0) break;
      if (q == p) return r.units;
    }
  return "-";
}

// Predefined grids: latitude/longitude (projection 2) and Lambert (4).
struct Predefined {
  int type;
  int proj;
  int nx, ny;
  float dx, dy, clat, clon;
};
constexpr Predefined kGrids[] = {
    {21, 2, 37, 37, 5, 2.5f, 45, 90},
    {22, 2, 37, 37, 5, 2.5f, 45, -90},
    {23, 2, 37, 37, 5, 2.5f, -45, 90},
    {24, 2, 37, 37, 5, 2.5f, -45, -90},
    {25, 2, 73, 19, 5, 5, 45, 180},
    {26, 2, 73, 19, 5, 5, -45, 180},
    {37, 2, 73, 73, 1.5f, 1.5f, 45, 15},
    {38, 2, 73, 73, 1.5f, 1.5f, 45, 105},
    {39, 2, 73, 73, 1.5f, 1.5f, 45, -165},
    {40, 2, 73, 73, 1.5f, 1.5f, 45, -75},
    {41, 2, 73, 73, 1.5f, 1.5f, -45, 15},
    {42, 2, 73, 73, 1.5f, 1.5f, -45, 105},
    {43, 2, 73, 73, 1.5f, 1.5f, -45, -165},
    {44, 2, 73, 73, 1.5f, 1.5f, -45, -75},
    {50, 2, 36, 33, 2.5f, 1.25f, 40, -96.25f},
    {61, 2, 91, 46, 2, 2, 45, 90},
    {62, 2, 91, 46, 2, 2, 45, -90},
    {63, 2, 91, 46, 2, 2, -45, 90},
    {64, 2, 91, 46, 2, 2, -45, -90},
    {211, 4, 93, 65, 0.8127f, 0.8127f, 40.607f, -100.553f},
    {212, 4, 185, 129, 0.4063f, 0.4063f, 40.606f, -100.554f},
    {215, 4, 369, 257, 0.2032f, 0.2032f, 40.607f, -100.553f},
};

// Forecast time P converted by the time unit U.
int by_unit(int u, int p) {
  if (u == 2) return p + 800;
  if (u == 3) return p + 900;
  if (u == 12) return p * 12;
  return p;
}

int forecast_time(const unsigned char *p) {
  const int u = p[17], p1 = p[18], p2 = p[19], t = p[20], n = static_cast<int>(u2(p + 21));
  const int c1 = by_unit(u, p1), c2 = by_unit(u, p2);
  const int f = n * p2 + (u == 2 ? 800 : 0) + (u == 3 ? 900 : 0);
  switch (t) {
    case 0:
      return c1;
    case 1:
      return 0;
    case 2:
    case 3:
    case 4:
    case 5:
      return t * 1000000 + c1 * 1000 + c2;
    case 10:
      return p1 * 256 + p2;
    case 113:
      return 13000000 + c1 * 1000 + f;
    case 118:
      return 18000000 + c1 * 1000 + f;
    case 123:
      return 23000000 + f;
    default:
      return KAV_IMISSING;
  }
}

int level_of(int ltype, const unsigned char *p) {
  switch (ltype) {
    case 1:
    case 4:
    case 6:
    case 7:
    case 102:
    case 200:
      return 0;
    case 5:
    case 100:
    case 103:
    case 105:
    case 107:
    case 111:
    case 113:
    case 117:
    case 119:
      return static_cast<int>(u2(p + 10));
    case 101:
    case 104:
    case 106:
    case 108:
    case 109:
    case 112:
    case 114:
    case 116:
    case 120:
      return p[10] * 1000 + p[11];
    default:
      return KAV_IMISSING;
  }
}

// The threshold text and code of a probability product.
void threshold(const Decoder &d, std::string &text, int &code) {
  char buf[64] = "";
  float limit = d.ens_prob_low;
  switch (d.ens_prob_type) {
    case 1:
    case 4:
      std::snprintf(buf, sizeof buf, " below %.2f", double(d.ens_prob_low));
      break;
    case 2:
    case 5:
      std::snprintf(buf, sizeof buf, " above %.2f", double(d.ens_prob_up));
      limit = d.ens_prob_up;
      break;
    case 3:
    case 6:
      std::snprintf(buf, sizeof buf, " in %.2f-%.2f", double(d.ens_prob_low),
                    double(d.ens_prob_up));
      break;
    case 7:
      std::snprintf(buf, sizeof buf, " above %.2f", double(d.ens_prob_low));
      break;
    case 8:
      std::snprintf(buf, sizeof buf, " below %.2f", double(d.ens_prob_up));
      limit = d.ens_prob_up;
      break;
    default:
      break;
  }
  text = buf;
  double r = std::isfinite(limit) ? std::round(double(limit)) : 0.0;
  if (r < 0) r = 5000 - r;
  code = r > 9999 ? 9999 : static_cast<int>(r);
}

}  // namespace

int decode_pds(const unsigned char *p, size_t len, int version, GRD_report *grd) {
  Decoder &d = dec();
  if (len < (version == 0 ? 24u : 28u)) {
    MESS_print(M_WARN, "GRIB_PDB: Product definition of %lu octets is too short\n",
               static_cast<unsigned long>(len));
    return GRIB_REJECT;
  }
  grd->version = version;
  grd->source = d.centre = p[4];
  grd->model = p[5];
  grd->type = d.grid_id = p[6];
  d.flag = p[7];
  grd->ltype = p[9];
  pds_date(p, version == 0 ? 24 : len, &grd->date);
  grd->time = forecast_time(p);
  grd->level = level_of(grd->ltype, p);
  const int param = p[8];
  if (p[3] != 129)
    grd->var = param == 177 ? 571 : param;
  else
    grd->var = param == 212 ? 491 : param;
  MESS_print(0x40000000u, "Source: %d\nModel: %d\n", grd->source, grd->model);
  MESS_print(0x40000000u, "Init time: %d/%d/%d %2.2d:%2.2d\n", grd->date.month, grd->date.day,
             grd->date.year, grd->date.hour, grd->date.min);
  MESS_print(0x40000000u, "Grid type: %d\nGrid time: %d\nTime range: %d\nTime units: %d\n",
             grd->type, grd->time, p[20], p[17]);
  MESS_print(0x40000000u, "P1,P2: %d,%d\nLevel type: %d\nFlag: %X\n", p[18], p[19], grd->ltype,
             d.flag);
  MESS_print(0x40000000u, "Level: [%d %d %d] %d\n", p[9], p[10], p[11], grd->level);
  grd->units[0] = '\0';
  GRIB_units(grd);
  // Ensemble extension of centre 7, sub-centre 2.
  d.ens = 0;
  d.ens_type = d.ens_id = d.ens_prod = d.ens_smooth = d.ens_prob_var = d.ens_prob_type = 0;
  d.ens_prob_low = d.ens_prob_up = KAV_MISSING;
  if (version == 1 && grd->source == 7 && len >= 26 && p[25] == 2 && len >= 45) {
    d.ens = 1;
    d.ens_type = p[41];
    d.ens_id = p[42];
    d.ens_prod = p[43];
    d.ens_smooth = p[44];
    if (param == 191 || param == 192) {
      if (len < 55) {
        MESS_print(M_WARN, "GRIB_PDB: Probability product definition of %lu octets is too short\n",
                   static_cast<unsigned long>(len));
        return GRIB_REJECT;
      }
      d.ens_prob_var = p[45];
      d.ens_prob_type = p[46];
      d.ens_prob_low = static_cast<float>(ibm_double(p + 47));
      d.ens_prob_up = static_cast<float>(ibm_double(p + 51));
    }
    MESS_print(0x40000000u, "Ens: %d %d %d %d\n", d.ens_type, d.ens_id, d.ens_prod, d.ens_smooth);
  }
  if (version == 1) {
    if (grd->ltype == 1 && param == 7 && grd->model == 44) grd->var = 161;
    d.dscale = std::pow(10.0, -s2(p + 26));
  } else {
    d.dscale = 1.0;
  }
  DOM_init(&grd->domain);
  GRIB_set_domain(d.grid_id, &grd->domain);
  d.ydir = 1;
  d.xdir = 1;
  d.by_columns = false;
  d.thin = false;
  d.thin_ptr.clear();
  const int g = d.grid_id;
  d.pole = (g >= 21 && g <= 26) || (g >= 61 && g <= 64);
  d.lat = (g == 21 || g == 22 || g == 25 || g == 61 || g == 62) ? 0.0f : -90.0f;
  GRIB_set_var(grd);
  char label[DATE_LABEL_LEN] = "";
  DATE_make_label_for_time(grd->time, grd->source * 1000 + grd->model, &grd->date, label);
  put_text(grd->datim, sizeof grd->datim, label);
  return GRIB_OK;
}

}  // namespace kav::grib

using namespace kav::grib;

extern "C" {

static int grib_pdb_body(int grd_fd, GRD_report *grd) {
  if (!grd) return GRIB_FAIL;
  const int r = load_message(grd_fd, "GRIB_PDB");
  if (r != GRIB_OK) return r;
  Decoder &d = dec();
  if (d.mark != Mark::Grib || d.version > 1 || !d.pds) return GRIB_REJECT;
  return decode_pds(d.msg.data() + d.pds, d.pds_len, d.version, grd);
}

int GRIB_PDB(int grd_fd, GRD_report *grd) KAV_NOEXCEPT {
  return kav::guarded("GRIB_PDB", GRIB_FAIL, [&] { return grib_pdb_body(grd_fd, grd); });
}

static int grib_decode_pdb_body(const unsigned char *data, GRD_report *grd) {
  if (!data || !grd) return GRIB_REJECT;
  const int version = dec().version == 0 ? 0 : 1;
  return decode_pds(data, u3(data), version, grd);
}

int GRIB_decode_PDB(const unsigned char *data, GRD_report *grd) KAV_NOEXCEPT {
  return kav::guarded("GRIB_decode_PDB", GRIB_FAIL,
                      [&] { return grib_decode_pdb_body(data, grd); });
}

static int grib_set_var_body(GRD_report *grd) {
  if (!grd) return -1;
  const Decoder &d = dec();
  char buf[VAR_LABEL_LEN] = "";
  std::string info;
  const bool prob = d.ens && (grd->var == 191 || grd->var == 192);
  if (d.ens &&
      (d.ens_prod == 1 || d.ens_prod == 2 || d.ens_prod == 11 || d.ens_prod == 12 || prob)) {
    VAR_make_datalevel(grd->time, grd->ltype, grd->level, buf);
    info = buf;
    if (!info.empty()) info += ' ';
    char name[VAR_LABEL_LEN] = "";
    if (prob) {
      info += grd->var == 191 ? (d.ens_prob_type < 4 ? "Ens prob (%) " : "Prob (%) ")
                              : (d.ens_prob_type < 4 ? "Ens norm prob (%) " : "Prob (%) ");
      GRD_report probe{};
      probe.var = d.ens_prob_var;
      probe.source = grd->source;
      probe.version = grd->version;
      GRIB_units(&probe);
      VAR_str(name, d.ens_prob_var, nullptr);
      std::string text;
      int code = 0;
      threshold(d, text, code);
      info += name;
      info += text;
      if (probe.units[0] && std::strcmp(probe.units, "-") != 0) {
        info += ' ';
        info += probe.units;
      }
      std::snprintf(grd->units, sizeof grd->units, "%%");
      const long long v = static_cast<long long>(grd->var) * 10000000LL + d.ens_prob_var * 10000LL +
                          d.ens_prob_type * 1000LL + code;
      grd->var = v > INT_MAX ? INT_MAX : static_cast<int>(v);
    } else {
      VAR_str(name, grd->var, grd->units);
      char head[32] = "";
      if (d.ens_prod == 1) {
        // The mark before the member number, by ensemble type 1 to 5.
        static constexpr const char *kMemberMark[] = {"", "-", "+", "c", "w"};
        if (d.ens_type >= 1 && d.ens_type <= 5)
          std::snprintf(head, sizeof head, "Ens[%s%d] ", kMemberMark[d.ens_type - 1], d.ens_id);
        grd->var += d.ens_type * 20000 + d.ens_id * 1000 + 19280000;
      } else if (d.ens_prod == 2) {
        std::snprintf(head, sizeof head, "Ens mean ");
        grd->var += 19000000;
      } else {
        std::snprintf(head, sizeof head, "Ens std dev ");
        grd->var += 19001000;
      }
      info += head;
      info += name;
    }
  } else {
    VAR_make_datatype(grd->time, grd->ltype, grd->level, grd->var, grd->units, buf);
    info = buf;
  }
  put_text(grd->info, sizeof grd->info, info);
  MESS_print(0x40000000u, "Variable: [%d] %d %s\n", d.ens, grd->var, grd->info);
  return 0;
}

int GRIB_set_var(GRD_report *grd) KAV_NOEXCEPT {
  return kav::guarded("GRIB_set_var", -1, [&] { return grib_set_var_body(grd); });
}

int GRIB_units(GRD_report *grd) KAV_NOEXCEPT {
  if (!grd) return -1;
  grd->units[0] = '\0';
  const Decoder &d = dec();
  const Mapping *table = nullptr;
  size_t count = 0;
  if (grd->source == 98 && grd->var > 128 && grd->var < 1000) {
    table = kLocal98;
    count = sizeof kLocal98 / sizeof kLocal98[0];
  } else if (grd->version == 0 || (d.version == 0 && grd->version != 1)) {
    table = kEdition0;
    count = sizeof kEdition0 / sizeof kEdition0[0];
  }
  if (table) {
    for (size_t i = 0; i < count; ++i) {
      if (table[i].from != grd->var) continue;
      grd->var = table[i].var;
      put_text(grd->units, sizeof grd->units, table[i].units);
      if (table[i].ltype) {
        grd->ltype = table[i].ltype;
        if (table[i].level >= 0) grd->level = table[i].level;
      }
      return 0;
    }
    MESS_print(0x40u, "Invalid GRIB variable: %d\n", grd->var);
    return 0;
  }
  put_text(grd->units, sizeof grd->units, units_of(grd->var < 0 ? 0 : grd->var));
  return 0;
}

int GRIB_set_domain(int type, Domain *domain) KAV_NOEXCEPT {
  if (!domain) return 0;
  for (const Predefined &g : kGrids) {
    if (g.type != type) continue;
    DOM_init(domain);
    domain->proj = g.proj;
    domain->nx = g.nx;
    domain->ny = g.ny;
    domain->dx = g.dx;
    domain->dy = g.dy;
    domain->clat = g.clat;
    domain->clon = g.clon;
    if (g.proj == 4) {
      domain->plat = 90;
      domain->plon = -95;
      domain->param[0] = domain->param[1] = 25;
      domain->param[2] = 1.0f;
    }
    return 1;
  }
  return 0;
}

}  // extern "C"
