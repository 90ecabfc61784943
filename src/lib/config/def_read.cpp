#include <kav/def_read.h>
#include <kav/files.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "config/def_read_int.hpp"
#include "console/guard.hpp"

namespace {

// The definition-file layer's state: one instance for the process. Tags and
// the stack of open blocks outlive the file they were read from.
struct DefState {
  std::FILE *def_file = nullptr;             // the definition file being read
  std::string def_name;                      // its name as opened
  bool in_long_line = false;                 // the last piece read was cut from its line
  bool read_failed = false;                  // a read of the file failed: no more entries
  int long_lines = 0;                        // long lines reported in this file
  std::string prog_name = "Kav";             // the running program's name
  std::string prog_title;                    // replaces prog_name in keys; "+t" adds t
  std::array<std::string, DEF_MAX_TAG> tag;  // the defined tags (copies)
  int num_tag = 0;                           // tags in use
  std::array<int, DEF_MAX_MATCH> match{};    // state of each open block: 0, 1 or 99
  int num_match = 0;                         // depth of the block stack
  int num_over = 0;                          // IF blocks opened past the stack, skipped whole
  int matches = 1;                           // 1 while lines are taken
};

DefState &state() {
  static DefState s;
  return s;
}

// Level states of an open block.
constexpr int kNotYet = 0;  // no branch taken yet: skipping
constexpr int kTaken = 1;   // the current branch is taken
constexpr int kDone = 99;   // a branch was taken earlier: skipping the rest

// The file-name layer: names given by users get its expansion ("~", "-").
bool file_is_dir(const std::string &name) { return FILE_is_dir(name.c_str()) == 1; }

bool file_exist(const std::string &name) { return FILE_exist(name.c_str()) == 1; }

std::FILE *file_open(const std::string &name, const char *access) {
  return FILE_open(name.c_str(), access);
}

// Reads the next piece of a line: at most DEF_LINE_MAX characters, without the
// line end (and without a carriage return before it). false at end of file
// and when a read failed (std::ferror tells): a cut piece is no line.
bool read_piece(std::FILE *f, std::string &line, bool &cut) {
  line.clear();
  cut = false;
  int c = EOF;
  bool any = false;
  while ((c = std::getc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    line.push_back(static_cast<char>(c));
    if (line.size() == DEF_LINE_MAX) {
      int next = std::getc(f);
      if (next != '\n' && next != EOF) {
        std::ungetc(next, f);
        cut = true;
      }
      break;
    }
  }
  if (std::ferror(f)) return false;
  if (!any) return false;
  // A NUL ends the text, as it would in a C buffer.
  line.resize(std::strlen(line.c_str()));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

bool is_blank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The next white-space separated word of line from pos; pos moves past it.
std::string_view next_word(std::string_view line, size_t &pos) {
  while (pos < line.size() && is_blank(line[pos])) ++pos;
  size_t begin = pos;
  while (pos < line.size() && !is_blank(line[pos])) ++pos;
  return line.substr(begin, pos - begin);
}

bool is_tag(std::string_view value) {
  const DefState &s = state();
  std::string v(value);
  for (int i = 0; i < s.num_tag; ++i)
    if (stricmp(s.tag[static_cast<size_t>(i)].c_str(), v.c_str()) == 0) return true;
  return false;
}

void recompute_matches() {
  DefState &s = state();
  s.matches = s.num_over == 0 ? 1 : 0;
  for (int i = 0; i < s.num_match; ++i)
    if (s.match[static_cast<size_t>(i)] != kTaken) s.matches = 0;
}

void add_tag(std::string_view value) {
  DefState &s = state();
  if (s.num_tag >= DEF_MAX_TAG) {
    MESS_print(M_WARN, "DEF_get: more than %d tags, %.*s not defined\n", DEF_MAX_TAG,
               static_cast<int>(value.size()), value.data());
    return;
  }
  s.tag[static_cast<size_t>(s.num_tag++)] = std::string(value);
}

void remove_tag(std::string_view value) {
  DefState &s = state();
  std::string v(value);
  for (int i = 0; i < s.num_tag; ++i) {
    if (stricmp(s.tag[static_cast<size_t>(i)].c_str(), v.c_str()) != 0) continue;
    for (int j = i; j + 1 < s.num_tag; ++j)
      s.tag[static_cast<size_t>(j)] = s.tag[static_cast<size_t>(j) + 1];
    s.tag[static_cast<size_t>(--s.num_tag)].clear();
    return;
  }
}

// Obeys a conditional directive; false when key is none.
bool conditional(std::string_view key, std::string_view value) {
  DefState &s = state();
  if (key == "IF" && !value.empty()) {
    if (s.num_over > 0 || s.num_match >= DEF_MAX_MATCH) {
      if (s.num_over == 0)
        MESS_print(M_WARN, "DEF_get: if nested deeper than %d levels, block skipped\n",
                   DEF_MAX_MATCH);
      ++s.num_over;
    } else {
      s.match[static_cast<size_t>(s.num_match++)] = is_tag(value) ? kTaken : kNotYet;
    }
  } else if (key == "ELIF" && !value.empty()) {
    if (s.num_over > 0) {
      // A block past the stack stays skipped in every branch.
    } else if (s.num_match == 0) {
      MESS_print(M_WARN, "DEF_get: elif without an if\n");
    } else {
      int &top = s.match[static_cast<size_t>(s.num_match - 1)];
      top = (top == kTaken || top == kDone) ? kDone : (is_tag(value) ? kTaken : kNotYet);
    }
  } else if (key == "ELSE") {
    if (s.num_over > 0) {
    } else if (s.num_match == 0) {
      MESS_print(M_WARN, "DEF_get: else without an if\n");
    } else {
      int &top = s.match[static_cast<size_t>(s.num_match - 1)];
      top = (top == kTaken || top == kDone) ? kDone : kTaken;
    }
  } else if (key == "END") {
    if (s.num_over > 0)
      --s.num_over;
    else if (s.num_match == 0)
      MESS_print(M_WARN, "DEF_get: end without an if\n");
    else
      --s.num_match;
  } else {
    return false;
  }
  recompute_matches();
  return true;
}

// Letters A-Z become a-z.
void low_text(std::string &text) { low_string(text.data()); }

void copy_out(char *out, int size, const std::string &text) {
  size_t n = text.size();
  if (n > static_cast<size_t>(size - 1)) n = static_cast<size_t>(size - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

// The name of resource r for the running program, qualified by its name or
// title.
std::string qualified_name(std::string_view r) {
  const DefState &s = state();
  std::string out;
  if (s.prog_title.empty())
    out = s.prog_name;
  else if (s.prog_title[0] == '+')
    out = s.prog_name + "." + s.prog_title.substr(1);
  else
    out = s.prog_title;
  out += '.';
  out += r;
  return out;
}

// Matches name against a key with '*': each '*' moves to the first occurrence
// of the text up to the next '*', without backtracking; the rest compares
// exactly. A pattern ending in '*' never matches.
bool pattern_match(std::string_view name, std::string_view pattern) {
  size_t n = 0, p = 0;
  while (n < name.size() && p < pattern.size()) {
    if (pattern[p] == '*') {
      ++p;
      size_t end = pattern.find('*', p);
      std::string_view segment =
          pattern.substr(p, end == std::string_view::npos ? std::string_view::npos : end - p);
      size_t at = name.find(segment, n);
      if (at == std::string_view::npos) return false;
      n = at;
      if (p >= pattern.size()) return false;  // nothing after the '*' to compare
    }
    if (name[n] != pattern[p]) return false;
    ++n;
    ++p;
  }
  return n == name.size() && p == pattern.size();
}

// The part of a key after its last '.' or '*', or npos when it has neither.
size_t name_start(std::string_view key) {
  size_t at = key.find_last_of(".*");
  return at == std::string_view::npos ? at : at + 1;
}

}  // namespace

namespace kav::def {

std::FILE *open_stream() { return state().def_file; }

const std::string &open_name() { return state().def_name; }

}  // namespace kav::def

extern "C" {

int DEF_open(const char *filename) KAV_NOEXCEPT try {
  DEF_close();
  std::string name;
  if (!filename || !*filename) {
    name = ".kavdef";
  } else if (file_is_dir(filename)) {
    std::string dir = filename;
    if (dir.back() != '/') dir += '/';
    static const char *const kCandidates[] = {"kav.cfg", ".kavdef", "Kav.res"};
    for (const char *candidate : kCandidates) {
      name = dir + candidate;
      if (file_exist(name)) break;
    }
  } else {
    name = filename;
  }
  // Nothing after the open may need memory: a failure then would leave the
  // file open behind a call that failed.
  DefState &s = state();
  s.def_file = file_open(name, "r");
  s.in_long_line = false;
  s.read_failed = false;
  s.long_lines = 0;
  if (s.def_file)
    s.def_name.swap(name);
  else
    s.def_name.clear();
  return s.def_file ? 0 : -1;
} catch (...) {
  kav::out_of_memory("DEF_open");
  return -1;
}

int DEF_close(void) KAV_NOEXCEPT {
  DefState &s = state();
  if (s.def_file) FILE_close(s.def_file);
  s.def_file = nullptr;
  return 0;
}

int DEF_prog(void) KAV_NOEXCEPT try {
  char prog[256] = "";
  RES_get_prognamen(prog, sizeof prog);
  if (prog[0]) state().prog_name = prog;
  return 0;
} catch (...) {
  kav::out_of_memory("DEF_prog");
  return -1;
}

int DEF_name(const char *name) KAV_NOEXCEPT try {
  state().prog_title = name ? name : "";
  return 0;
} catch (...) {
  kav::out_of_memory("DEF_name");
  return -1;
}

int DEF_title(const char *title) KAV_NOEXCEPT { return DEF_name(title); }

int DEF_tag(const char *str) KAV_NOEXCEPT try {
  DefState &s = state();
  if (!str) return -1;
  if (s.num_tag >= DEF_MAX_TAG) {
    MESS_print(M_WARN, "DEF_tag: more than %d tags, %s not defined\n", DEF_MAX_TAG, str);
    return -1;
  }
  s.tag[static_cast<size_t>(s.num_tag++)] = str;
  return 0;
} catch (...) {
  kav::out_of_memory("DEF_tag");
  return -1;
}

int DEF_clr_tag(void) KAV_NOEXCEPT {
  DefState &s = state();
  for (auto &t : s.tag) t.clear();
  s.num_tag = 0;
  return 0;
}

int DEF_get(char *resrc, char *value) KAV_NOEXCEPT {
  return DEF_getn(resrc, DEF_KEY_SIZE, value, DEF_VALUE_SIZE);
}

int DEF_getn(char *resrc, int resrc_size, char *value, int value_size) KAV_NOEXCEPT try {
  DefState &s = state();
  if (!resrc || !value || resrc_size < 2 || value_size < 2 || !s.def_file) return -1;
  if (s.read_failed) return -2;
  std::string line;
  bool cut = false;
  while (read_piece(s.def_file, line, cut)) {
    // One warning for a long line, however many pieces it makes, and a few
    // per file: a file of huge lines must not bury the other messages.
    constexpr int kLongLinesReported = 3;
    if (cut && !s.in_long_line && s.long_lines < kLongLinesReported) {
      MESS_print(M_WARN, "DEF_get: line longer than %d characters read in pieces\n", DEF_LINE_MAX);
      if (++s.long_lines == kLongLinesReported)
        MESS_print(M_WARN, "DEF_get: further long lines are not reported\n");
    }
    s.in_long_line = cut;
    if (line.empty() || line[0] == '#') continue;
    std::string_view text(line);
    size_t pos = 0;
    std::string_view key = next_word(text, pos);
    if (key.empty()) continue;
    std::string_view word = next_word(text, pos);

    if (conditional(key, word)) continue;
    if (!word.empty()) {
      if (key == "DEF")
        add_tag(word);
      else if (key == "UNDEF")
        remove_tag(word);
    }
    if (word.empty() || !s.matches) continue;

    std::string val;
    if (word[0] == '"') {
      size_t from = static_cast<size_t>(word.data() - text.data()) + 1;
      size_t to = text.find('"', from);
      val = std::string(text.substr(from, to == std::string_view::npos ? to : to - from));
    } else {
      val = std::string(word);
    }
    std::string k(key);
    low_text(k);
    if (k.back() == ':') k.pop_back();

    if (k.size() > static_cast<size_t>(resrc_size - 1)) {
      MESS_print(M_WARN, "DEF_get: key longer than %d characters skipped: %.*s...\n",
                 resrc_size - 1, resrc_size - 1, k.c_str());
      continue;
    }
    if (val.size() > static_cast<size_t>(value_size - 1))
      MESS_print(M_WARN, "DEF_get: value of %s cut to %d characters\n", k.c_str(), value_size - 1);
    copy_out(resrc, resrc_size, k);
    copy_out(value, value_size, val);
    return 1;
  }
  if (std::ferror(s.def_file)) {
    MESS_print(M_WARN, "DEF_get: Unable to read file: %s\n", s.def_name.c_str());
    s.read_failed = true;
    return -2;
  }
  return -1;
} catch (...) {
  // Memory ran out part-way: the rest of the file is unread, which is not
  // its end.
  kav::out_of_memory("DEF_getn");
  state().read_failed = true;
  return -2;
}

int DEF_cmp(const char *resrc, const char *string) KAV_NOEXCEPT try {
  if (!resrc || !string) return 0;
  return pattern_match(qualified_name(resrc), string) ? 1 : 0;
} catch (...) {
  kav::out_of_memory("DEF_cmp");
  return 0;
}

int DEF_valid(const char *string) KAV_NOEXCEPT try {
  if (!string) return 0;
  std::string_view key(string);
  size_t start = name_start(key);
  // A key ending in its qualifier names no resource.
  if (start == std::string_view::npos || start == key.size()) return 0;
  return pattern_match(qualified_name(key.substr(start)), key) ? 1 : 0;
} catch (...) {
  kav::out_of_memory("DEF_valid");
  return 0;
}

int DEF_parse_name(const char *str, char *ostr) KAV_NOEXCEPT try {
  if (!str || !ostr) return 0;
  std::string_view key(str);
  size_t start = name_start(key);
  if (start == std::string_view::npos) start = 0;
  std::string_view part = key.substr(start);
  std::memmove(ostr, part.data(), part.size());
  ostr[part.size()] = '\0';
  return 1;
} catch (...) {
  kav::out_of_memory("DEF_parse_name");
  return 0;
}

int DEF_env(const char *resrc, const char *env, char *value) KAV_NOEXCEPT {
  return DEF_envn(resrc, env, value, DEF_VALUE_SIZE);
}

int DEF_envn(const char *resrc, const char *env, char *value, int size) KAV_NOEXCEPT try {
  if (!resrc || !value || size < 1) return 0;
  const DefState &s = state();
  std::string qualified = "kav";
  if (!s.prog_title.empty() && s.prog_title[0] == '+')
    qualified += s.prog_name + "." + s.prog_title.substr(1);
  else
    qualified += s.prog_title.empty() ? s.prog_name : s.prog_title;
  qualified += '.';
  qualified += resrc;

  const char *found = std::getenv(qualified.c_str());
  if (!found && env && *env) found = std::getenv(env);
  if (!found) found = std::getenv((std::string("kav") + resrc).c_str());
  if (!found) return 0;

  std::string text = found;
  if (text.size() > static_cast<size_t>(size - 1))
    MESS_print(M_WARN, "DEF_env: value of %s cut to %d characters\n", resrc, size - 1);
  copy_out(value, size, text);
  return 1;
} catch (...) {
  kav::out_of_memory("DEF_envn");
  return 0;
}

}  // extern "C"
