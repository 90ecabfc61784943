// The resource store, the built-in table of the library's options and the
// command-line decoder.
#include <kav/flag.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config/resrc_int.hpp"
#include "console/files_int.hpp"
#include "console/guard.hpp"

namespace {

// One row of the built-in table.
struct BuiltIn {
  res_type key;
  const char *def;  // resource name
  const char *env;  // environment variable
  const char *cmd;  // option abbreviation, or null for a positional entry
  int pos;          // position count of a positional entry
  DEF_convert cvt;
};

constexpr BuiltIn kBuiltIn[] = {
    {RES_help, "help", "kavhelp", "h", 0, CV_help},
    {RES_batch, "batch", "kavbatch", "ba", 0, CV_batch},
    {RES_message, "message", "kavmess", "me", 0, CV_mess},
    {RES_ingestor, "ingestor", "kavingestor", "di", 0, CV_ingestor},
    {RES_name_conv, "name_conv", "kavnameconv", "nc", 0, CV_name},
    {RES_in_file, "in_file", "kavinfile", "if", 0, CV_string},
    {RES_in_files, "in_file", "kavinfile", "if", 0, CV_string},
    {RES_out_file, "out_file", "kavoutfile", "of", 0, CV_string},
    {RES_input, "input", "kavin", "in", 0, CV_string},
    {RES_inputg, "input", "kavin", "inp", 0, CV_string},
    {RES_output, "output", "kavout", "ou", 0, CV_string},
    {RES_file_path, "file_path", "kavfile", "fp", 0, CV_path},
    {RES_data_path, "data_path", "kavdata", "dp", 0, CV_path},
    {RES_con_path, "con_path", "kavcon", "cp", 0, CV_path},
    {RES_raw_path, "raw_path", "kavraw", "rp", 0, CV_path},
    {RES_grid_path, "grid_path", "kavgrid", "gp", 0, CV_path},
    {RES_watch_path, "watch_path", "kavwatch", "wp", 0, CV_path},
    {RES_image_path, "image_path", "kavimage", "ip", 0, CV_string},
    {RES_text_path, "text_path", "kavtext", "tp", 0, CV_path},
    {RES_model_path, "model_path", "kavmpath", "mp", 0, CV_path},
    {RES_sat_path, "sat_path", "kavsat", "sp", 0, CV_path},
    {RES_map_file, "map_file", "kavmap", "mf", 0, CV_string},
    {RES_bull_file, "bull_file", "kavbullfile", "bf", 0, CV_string},
    {RES_log_file, "log_file", "kavlog", "lf", 0, CV_string},
    {RES_city_file, "city_file", "kavcity", "cf", 0, CV_string},
    {RES_file_param, "file_param", "kavfileparam", "pf", 0, CV_file_param},
    {RES_current, "current", "kavcurrent", "cu", 0, CV_current},
    {RES_hour, "hour", "kavhour", "ho", 0, CV_hour},
    {RES_num_hour, "num_hour", "kavnumhour", "nh", 0, CV_string},
    {RES_decode_hour, "decode_hour", "kavdecode", "dh", 0, CV_string},
    {RES_model, "model", "kavmodel", "mo", 0, CV_string},
    {RES_grid_type, "grid_type", "kavgridtype", "gt", 0, CV_int},
    {RES_grid_num, "grid_num", "kavgridnum", "gn", 0, CV_string},
    {RES_identifier, "identifier", "kavident", "id", 0, CV_string},
    {RES_product, "product", "kavproduct", "ph", 0, CV_string},
    {RES_forecast, "forecast", "kavforecast", "fc", 0, CV_string},
    {RES_state, "state", "kavstate", "st", 0, CV_string},
    {RES_plot_domain, "plot_domain", "kavdomain", "pd", 0, CV_domain},
    {RES_grid_domain, "grid_domain", "kavgrddomain", "gd", 0, CV_domain},
    {RES_region, "region", "kavregion", "re", 0, CV_region},
    {RES_time, "time", "kavtime", "ft", 0, CV_string},
    {RES_level, "level", "kavlevel", "le", 0, CV_string},
    {RES_variable, "variable", "kavvar", "va", 0, CV_string},
    {RES_stat_prior, "stat_prior", "kavprior", "pr", 0, CV_int},
    {RES_object_param, "object_param", "kavobject", "oa", 0, CV_string},
    {RES_con_interval, "con_interval", "kavconint", "in", 0, CV_float},
    {RES_plot_type, "plot_type", "kavplot", "pl", 0, CV_plot_type},
    {RES_draw, "draw", "kavdraw", "dr", 0, CV_draw},
    {RES_parameter, "parameter", "kavparam", "pa", 0, CV_string},
    {RES_table, "table", "kavtable", "ta", 0, CV_bool},
    {RES_plot_scale, "plot_scale", "kavscale", "sc", 0, CV_float},
    {RES_con_base, "con_base", "kavconbase", "cb", 0, CV_float},
    {RES_plot_format, "plot_format", "kavformat", "fm", 0, CV_string},
    {RES_plot_param, "plot_param", "kavpltparam", "pp", 0, CV_string},
    {RES_label, "label", "kavlabel", "la", 0, CV_string},
    {RES_color_table, "color_table", "kavclrtbl", "ct", 0, CV_string},
    {RES_background, "background", "kavback", "bg", 0, CV_string},
    {RES_color_text, "color_text", "kavclrtext", "cot", 0, CV_string},
    {RES_color_data, "color_data", "kavclrdata", "cod", 0, CV_string},
    {RES_color_map, "color_map", "kavclrmap", "com", 0, CV_string},
    {RES_color_grid, "color_grid", "kavclrgrid", "cogr", 0, CV_string},
    {RES_color_line, "color_line", "kavclrln", "coln", 0, CV_string},
    {RES_color_cmap, "color_cmap", "kavclrcmap", "cocm", 0, CV_string},
    {RES_color_cont, "color_cont", "kavclrcont", "coco", 0, CV_string},
    {RES_color_label, "color_label", "kavclrlab", "cola", 0, CV_string},
    {RES_color_clabel, "color_clabel", "kavclrclab", "cocl", 0, CV_string},
    {RES_color_front, "color_front", "kavclrfront", "cofr", 0, CV_string},
    {RES_color_watch, "color_watch", "kavclrwatch", "cowa", 0, CV_string},
    {RES_color_fill, "color_fill", "kavclrfill", "cof", 0, CV_string},
    {RES_color_wind, "color_wind", "kavclrwind", "cowd", 0, CV_string},
    {RES_color_cloud, "color_cloud", "kavclrcld", "cocd", 0, CV_string},
    {RES_color_wx, "color_wx", "kavclrwx", "cowx", 0, CV_string},
    {RES_color_pop, "color_pop", "kavclrpop", "copp", 0, CV_string},
    {RES_color_sound, "color_sound", "kavclrsnd", "cosd", 0, CV_string},
    {RES_color_therm, "color_therm", "kavclrtherm", "coth", 0, CV_string},
    {RES_color_thrmtxt, "color_thrmtxt", "kavclrthtxt", "cott", 0, CV_string},
    {RES_color_hodo, "color_hodo", "kavclrhodo", "coh", 0, CV_string},
    {RES_color_hodtxt, "color_hodtxt", "kavclrhdtxt", "coht", 0, CV_string},
    {RES_font_list, "font_list", "kavfontlist", "fl", 0, CV_string},
    {RES_window_num, "window_num", "kavwindownum", "wn", 0, CV_int},
    {RES_device, "device", "kavdevice", "de", 0, CV_device},
    {RES_title, "title", "kavtitle", "ti", 0, CV_string},
    {RES_geometry, "geometry", "kavgeometry", "ge", 0, CV_string},
    {RES_icon, "icon", "kavicon", "ic", 0, CV_bool},
    {RES_command, "command", "kavcommand", nullptr, 10, CV_strings},
    {RES_commands, "command", "kavcommand", "cd", 0, CV_string},
    {RES_filename, "filename", "kavfilename", nullptr, 1, CV_strcpy},
    {RES_filenames, "filename", "kavfilename", nullptr, 10, CV_strings},
    {RES_values, "value", "kavvalue", nullptr, 10, CV_strings},
};

const BuiltIn *find_builtin(res_type key) {
  for (const BuiltIn &b : kBuiltIn)
    if (b.key == key) return &b;
  return nullptr;
}

// The longest option name the decoder keeps; longer names are cut.
constexpr size_t kMaxOptionName = 49;

// What the index keeps of one record beside the list.
struct Indexed {
  resource *record;     // the record in the list
  size_t capacity = 0;  // bytes allocated for its data by RES_append; 0 when unknown
  size_t length = 0;    // length of its data while capacity is known
};

// Process-wide resource state. The list keeps the order resources were made
// in; the index beside it finds a name without walking the list, so that a
// long command line decodes in time linear in its length.
struct ResState {
  resource root_res{};                                    // head record; carries no resource
  resource *last = nullptr;                               // the most recently created (the tail)
  std::unordered_map<std::string_view, Indexed> by_name;  // records by name (views of r->name)
  int clargc = 0;                                         // stored command line
  char **clargv = nullptr;
};

ResState &state() {
  static ResState s;
  return s;
}

// The index entry of a resource by exact name, or null.
Indexed *lookup(const char *name) {
  auto &by_name = state().by_name;
  auto it = by_name.find(std::string_view(name));
  return it == by_name.end() ? nullptr : &it->second;
}

// Finds a resource by exact name.
resource *find(const char *name) {
  Indexed *e = lookup(name);
  return e ? e->record : nullptr;
}

char *copy_text(const char *text) {
  if (!text) return nullptr;
  size_t n = std::strlen(text) + 1;
  char *c = static_cast<char *>(std::malloc(n));
  if (c) std::memcpy(c, text, n);
  return c;
}

// Creates a record at the tail of the store; null when memory ran out.
resource *create(const char *name) {
  ResState &s = state();
  auto *r = static_cast<resource *>(std::calloc(1, sizeof(resource)));
  if (!r) return nullptr;
  r->name = copy_text(name);
  if (!r->name) {
    std::free(r);
    return nullptr;
  }
  try {
    s.by_name.emplace(std::string_view(r->name), Indexed{r});
  } catch (...) {
    std::free(r->name);
    std::free(r);
    return nullptr;
  }
  (s.last ? s.last : &s.root_res)->next = r;
  s.last = r;
  return r;
}

bool is_keyed_arg(const char *a) {
  if (a[0] != '-') return false;
  if (std::isalpha(static_cast<unsigned char>(a[1]))) return true;
  return a[1] == '-' && std::isalpha(static_cast<unsigned char>(a[2]));
}

bool dash_letter(const char *a) {
  return a[0] == '-' && std::isalpha(static_cast<unsigned char>(a[1]));
}

// Case-sensitive or case-blind "text is a prefix of word" (text not empty).
bool is_prefix(const std::string &text, const char *word, bool blind) {
  size_t n = text.size();
  if (n == 0 || n > std::strlen(word)) return false;
  return blind ? strnicmp(text.c_str(), word, static_cast<int>(n)) == 0
               : std::strncmp(text.c_str(), word, n) == 0;
}

bool begins_with(const std::string &text, const char *head, bool blind) {
  size_t n = std::strlen(head);
  if (text.size() < n) return false;
  return blind ? strnicmp(text.c_str(), head, static_cast<int>(n)) == 0
               : std::strncmp(text.c_str(), head, n) == 0;
}

// An option name and its value, taken apart from one argument.
struct Option {
  std::string name;
  const char *value = nullptr;  // null when the option has none
  bool from_next = false;       // the value is the next argument
};

// Splits an option argument that starts at text (after its dashes). The "="
// is looked for from search on.
Option split_option(const char *text, const char *eq, int i, int argc, char **argv,
                    bool (*takes_next)(const char *)) {
  Option o;
  if (eq) {
    o.name.assign(text, static_cast<size_t>(eq - text));
    o.value = eq + 1;
  } else {
    o.name = text;
    if (i + 1 < argc && !takes_next(argv[i + 1])) {
      o.value = argv[i + 1];
      o.from_next = true;
    }
  }
  if (o.name.size() > kMaxOptionName) o.name.resize(kMaxOptionName);
  return o;
}

bool not_value(const char *a) { return dash_letter(a); }

void prescan(int argc, char **argv) {
  for (int i = 1; i < argc; ++i) {
    const char *a = argv[i];
    if (!dash_letter(a)) continue;
    Option o = split_option(a + 1, std::strchr(a, '='), i, argc, argv, not_value);
    if (o.from_next) ++i;
    if (!o.value) continue;
    if (is_prefix(o.name, "name", false)) {
      RES_new(KAV_IMISSING, "name", o.value, CV_string);
      kav::res::sources_title(o.value);
    } else if (begins_with(o.name, "default", false) || begins_with(o.name, "df", false)) {
      RES_new(KAV_IMISSING, "default", o.value, CV_string);
    }
  }
}

bool usable(const RES_defobj &e) { return e.def && e.def[0]; }
bool keyed(const RES_defobj &e) { return usable(e) && e.pos == 0 && e.cmd; }

// The keyed entry an option name selects: abbreviation, then resource name,
// then (unless the pre-scan took it) a prefix of the resource name. -1 for
// none, -2 when the pre-scan already dealt with the option.
int match_keyed(const RES_defobj *table, const std::string &name) {
  for (int k = 0; table[k].def; ++k)
    if (keyed(table[k]) && stricmp(table[k].cmd, name.c_str()) == 0) return k;
  for (int k = 0; table[k].def; ++k)
    if (keyed(table[k]) && stricmp(table[k].def, name.c_str()) == 0) return k;
  if (is_prefix(name, "name", true) || begins_with(name, "default", true) ||
      begins_with(name, "df", true))
    return -2;
  for (int k = 0; table[k].def; ++k)
    if (keyed(table[k]) && is_prefix(name, table[k].def, true)) return k;
  return -1;
}

// Stores the option argv[i] under the keyed entry it selects (a free
// resource when none does) and forwards it to the display window. Returns the
// index of the last argument it used: i, or i + 1 when the value was the next
// argument. A boolean option never takes the next argument.
int take_option(int i, int argc, char **argv, const RES_defobj *table) {
  const char *a = argv[i];
  const char *text = a[1] == '-' ? a + 2 : a + 1;
  const char *eq = std::strchr(a + 1, '=');
  Option o = split_option(text, eq, i, argc, argv, dash_letter);
  const int k = match_keyed(table, o.name);
  if (k == -2) return o.from_next ? i + 1 : i;
  if (k == -1) {
    RES_new(KAV_IMISSING, o.name.c_str(), o.value, CV_string);
    return o.from_next ? i + 1 : i;
  }
  const RES_defobj &e = table[k];
  if (o.from_next) {
    if (e.cvt == CV_bool || e.cvt == CV_batch || e.cvt == CV_help)
      o.value = nullptr;
    else
      ++i;
  }
  RES_new(k, e.def, o.value, e.cvt);
  kav::res::sources_forward(e.def, o.value ? o.value : "");
  return i;
}

// Stores the position-th plain argument under the positional entry of that
// position, else under the entry that gathers the rest (position 10), which
// appends from the second argument on. Nothing takes an argument no entry wants.
void take_value(const char *a, int position, const RES_defobj *table) {
  int chosen = -1;
  for (int k = 0; table[k].def && chosen < 0; ++k)
    if (usable(table[k]) && !table[k].cmd && table[k].pos == position) chosen = k;
  for (int k = 0; table[k].def && chosen < 0; ++k)
    if (usable(table[k]) && !table[k].cmd && table[k].pos == 10) chosen = k;
  if (chosen < 0) return;
  const RES_defobj &e = table[chosen];
  if (e.pos == 10 && position > 1)
    RES_append(chosen, e.def, a, e.cvt);
  else
    RES_new(chosen, e.def, a, e.cvt);
}

// The command line, the last and strongest source: options and plain values
// in their order; "--" alone is passed over.
void main_pass(int argc, char **argv, const RES_defobj *table) {
  int position = 0;
  for (int i = 1; i < argc; ++i) {
    const char *a = argv[i];
    if (std::strcmp(a, "--") == 0) continue;
    if (is_keyed_arg(a))
      i = take_option(i, argc, argv, table);
    else
      take_value(a, ++position, table);
  }
}

// Entry indices belong to one decoding table: records left by an earlier
// decoding are free resources to this one.
void forget_entries() {
  for (resource *r = state().root_res.next; r; r = r->next) r->index = KAV_IMISSING;
}

// The characters of argv[0] after its last "/" (the empty text before a
// command line is stored).
const char *program_base_name() {
  const char *p = RES_get_prog();
  if (!p) return "";
  const char *slash = std::strrchr(p, '/');
  return slash ? slash + 1 : p;
}

}  // namespace

namespace kav::res {

void decode_sources(const char *progname, int argc, char **argv, RES_defobj *table) {
  forget_entries();
  RES_setCL(argc, argv);
  sources_identify(progname);
  prescan(argc, argv);
  sources_search_path(table);
  sources_environment(table);
  main_pass(argc, argv, table);
  sources_close();
}

resource *first_record() { return state().root_res.next; }

resource *find_record(const char *name) { return name ? find(name) : nullptr; }

}  // namespace kav::res

extern "C" {

int RES_enter(RES_defobj *obj, res_type key) KAV_NOEXCEPT {
  if (!obj) return 1;
  const BuiltIn *b = find_builtin(key);
  if (!b) {
    RES_fill_obj(obj, "", "", nullptr, CV_none, nullptr, nullptr);
    std::printf("%d\n", static_cast<int>(key));
    return 1;
  }
  RES_fill_obj(obj, b->def, b->env, b->cmd ? b->cmd : RES_POS(b->pos), b->cvt, nullptr, nullptr);
  return 1;
}

int RES_fill_obj(RES_defobj *obj, const char *def, const char *env, const char *cmd,
                 DEF_convert cvt, void *out, int *num) KAV_NOEXCEPT {
  if (!obj) return 1;
  obj->def = def;
  obj->env = env;
  auto count = reinterpret_cast<std::uintptr_t>(cmd);
  if (count <= 10) {
    obj->cmd = nullptr;
    obj->pos = static_cast<int>(count);
  } else {
    obj->cmd = cmd;
    obj->pos = 0;
  }
  obj->cvt = cvt;
  obj->out = out;
  obj->num = num;
  return 1;
}

static int res_new(int index, const char *name, const char *data, DEF_convert cvt) {
  if (!name) return -1;
  resource *r = find(name);
  if (!r) {
    r = create(name);
    if (!r) {
      kav::out_of_memory("RES_new");
      return -1;
    }
  } else {
    std::free(r->data);
    r->data = nullptr;
    lookup(name)->capacity = 0;
  }
  r->data = copy_text(data);
  r->cvt = cvt;
  r->index = index;
  if (data && !r->data) {  // the resource stays, without a value
    kav::out_of_memory("RES_new");
    return -1;
  }
  return 0;
}

int RES_new(int index, const char *name, const char *data, DEF_convert cvt) KAV_NOEXCEPT {
  return kav::guarded("RES_new", -1, [&] { return res_new(index, name, data, cvt); });
}

static int res_append(int index, const char *name, const char *data, DEF_convert cvt) {
  if (!name) return -1;
  Indexed *e = lookup(name);
  if (!e) return res_new(index, name, data, cvt);
  resource *r = e->record;
  if (!data) return 0;
  if (!r->data) {
    r->data = copy_text(data);
    e->capacity = 0;
    if (r->data) return 0;
    kav::out_of_memory("RES_append");
    return -1;
  }
  // The buffer grows by doubling, so that many appends copy each value a
  // bounded number of times.
  size_t old_len = e->capacity ? e->length : std::strlen(r->data), add = std::strlen(data);
  size_t need = old_len + add + 2;
  if (need > e->capacity) {
    size_t cap = e->capacity > need ? e->capacity : need;
    if (cap < 2 * e->capacity) cap = 2 * e->capacity;
    if (cap < 64) cap = 64;
    char *grown = static_cast<char *>(std::realloc(r->data, cap));
    if (!grown) {
      kav::out_of_memory("RES_append");
      return -1;
    }
    r->data = grown;
    e->capacity = cap;
  }
  r->data[old_len] = '\n';
  std::memcpy(r->data + old_len + 1, data, add + 1);
  e->length = old_len + 1 + add;
  return 0;
}

int RES_append(int index, const char *name, const char *data, DEF_convert cvt) KAV_NOEXCEPT {
  return kav::guarded("RES_append", -1, [&] { return res_append(index, name, data, cvt); });
}

int RES_put(const char *name, const char *value) KAV_NOEXCEPT {
  return RES_new(KAV_IMISSING, name, value, CV_string);
}

const char *RES_get(const char *name) KAV_NOEXCEPT {
  if (!name) return nullptr;
  resource *r = find(name);
  // Data files are found in the package's data directory by default.
  if (!r) return std::strcmp(name, "file_path") == 0 ? kav_files::data_dir() : nullptr;
  return r->data ? r->data : "";
}

int RES_getvals(const char *name, int *paramc, char ***paramv) KAV_NOEXCEPT {
  int dummy = 0;
  if (!paramc) paramc = &dummy;
  *paramc = 0;
  if (!paramv) return 0;
  *paramv = nullptr;
  if (!name) return 0;
  resource *r = find(name);
  if (!r || !r->data) return 0;
  if (parse_string(r->data, r->cvt == CV_strings ? '\n' : ',', paramc, paramv) != 0 && *r->data)
    kav::out_of_memory("RES_getvals");  // only memory refuses a text
  return *paramc;
}

int RES_list(void) KAV_NOEXCEPT {
  for (resource *r = state().root_res.next; r; r = r->next) {
    if (r->data)
      MESS_print(M_PRINT & M_SUB_D, "%s: %s\n", r->name, r->data);
    else
      MESS_print(M_PRINT & M_SUB_D, "%s:\n", r->name);
  }
  return 0;
}

int RES_setCL(int argc, char **argv) KAV_NOEXCEPT {
  state().clargc = argc;
  state().clargv = argv;
  return 1;
}

const char *RES_get_prog(void) KAV_NOEXCEPT {
  const ResState &s = state();
  return (s.clargv && s.clargc > 0) ? s.clargv[0] : nullptr;
}

char *RES_get_progname(char *prog) KAV_NOEXCEPT {
  static char fallback[] = "KAV";
  const char *base = program_base_name();
  if (!prog) {
    prog = static_cast<char *>(std::malloc(std::strlen(base) + 1));
    if (!prog) return fallback;
  }
  std::memmove(prog, base, std::strlen(base) + 1);
  return prog;
}

char *RES_get_prognamen(char *prog, int size) KAV_NOEXCEPT {
  if (!prog || size < 1) return prog;
  std::snprintf(prog, static_cast<size_t>(size), "%s", program_base_name());
  return prog;
}

}  // extern "C"
