// The resource entry points that convert values: RES_conv_data and what
// runs it (RES_getval, and the conversion pass of RES_decode and RES_init).
// Region and domain resources decode into a Domain with the domain decoder
// of this layer, so these functions live here, above the resource store
// they read; every other kind is converted by the resource layer below.
#include <kav/flag.h>
#include <kav/mess.h>
#include <kav/region.h>
#include <kav/resrc.h>
#include <kav/string.h>

#include <new>
#include <vector>

#include "config/resrc_int.hpp"
#include "console/guard.hpp"

namespace {

// The domain of a region or domain text into out; out keeps its value when
// the text does not decode.
int conv_domain(const char *who, const char *name, const char *data, Domain *out) {
  Domain d;
  if (DOM_decode(data, &d) == -1) {
    MESS_print(M_WARN, "%s: Not a domain%s: %s\n", who, kav::res::for_resource(name).c_str(), data);
    return 0;
  }
  *out = d;
  return 1;
}

int convert(const char *who, const char *name, const char *data, void *out, DEF_convert cvt) {
  if (cvt == CV_region || cvt == CV_domain) {
    if (!data || !out) return 0;
    return conv_domain(who, name, data, static_cast<Domain *>(out));
  }
  return kav::res::convert(who, name, data, out, cvt);
}

// Decode step 8: every resource the table decoded, through its entry's
// conversion, in the order the resources were made.
void conversion_pass(RES_defobj *table) {
  int entries = 0;
  while (table[entries].def) ++entries;
  for (resource *r = kav::res::first_record(); r; r = r->next) {
    if (r->index == KAV_IMISSING || r->index < 0 || r->index >= entries) continue;
    const RES_defobj &e = table[r->index];
    if (r->cvt == CV_strings && e.out) {
      auto **list = static_cast<char ***>(e.out);
      int count = 0;
      if (parse_string(r->data, '\n', &count, list) != 0 && r->data && *r->data)
        throw std::bad_alloc();  // only memory refuses a text
      if (e.num) *e.num = count;
    } else {
      convert("RES_decode", r->name, r->data, e.out, r->cvt);
    }
  }
}

}  // namespace

extern "C" {

int RES_init(int argc, char **argv, const res_type *res_key, const res_type *res_pos) KAV_NOEXCEPT
    try {
  FLAG_reset(KAV_IMISSING);
  std::vector<RES_defobj> table;
  table.reserve(RES_MAX_DEFOBJ);
  bool full = false;
  for (const res_type *list : {res_key, res_pos}) {
    for (const res_type *k = list; k && *k != RES_null; ++k) {
      if (table.size() + 1 >= RES_MAX_DEFOBJ) {
        full = true;
        break;
      }
      RES_defobj e{};
      RES_enter(&e, *k);
      table.push_back(e);
    }
  }
  if (full)
    MESS_print(M_WARN, "RES_init: More than %d options declared; the rest are ignored\n",
               RES_MAX_DEFOBJ - 1);
  table.push_back(RES_defobj{});  // null def ends the table
  // The stored command line outlives this call: the stand-in must too.
  static char empty_name[] = "";
  static char *fallback[] = {empty_name, nullptr};
  if (argc < 1 || !argv) {
    argc = 1;
    argv = fallback;
  }
  RES_decode(argv[0], "Kav", argc, argv, table.data());
  kav::res::sources_timezone();
  return 1;
} catch (...) {
  kav::out_of_memory("RES_init");
  return -1;
}

int RES_decode(const char *progname, const char *class_name, int argc, char **argv,
               RES_defobj *def_table) KAV_NOEXCEPT try {
  (void)class_name;
  static RES_defobj no_entries[1] = {};
  if (!def_table) def_table = no_entries;
  if (argc < 1 || !argv) argc = 0;
  kav::res::decode_sources(progname, argc, argv, def_table);
  conversion_pass(def_table);
  return 0;
} catch (...) {
  kav::out_of_memory("RES_decode");
  return 0;
}

int RES_getval(const char *name, void *data, DEF_convert cvt) KAV_NOEXCEPT try {
  if (!name || !data) return 0;
  resource *r = kav::res::find_record(name);
  if (!r) return 0;
  return convert("RES_getval", name, r->data, data, cvt);
} catch (...) {
  kav::out_of_memory("RES_getval");
  return 0;
}

int RES_conv_data(const char *data, void *out, DEF_convert cvt) KAV_NOEXCEPT try {
  return convert("RES_conv_data", nullptr, data, out, cvt);
} catch (...) {
  kav::out_of_memory("RES_conv_data");
  return 0;
}

}  // extern "C"
