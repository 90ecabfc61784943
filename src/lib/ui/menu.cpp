#include <kav/menu.h>
#include <kav/mess.h>
#include <kav/string.h>
#include <kav/system.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console/guard.hpp"

namespace {

// Answers are one word of at most this many characters; callers' buffers
// hold one more for the terminator.
constexpr size_t kAnswerLen = 19;

// Tables this long are taken as unterminated: no real menu comes close.
constexpr int kMaxEntries = 10000;

const char *text_or_empty(const char *s) { return s ? s : ""; }

bool is_separator(const MENU_item &item) { return item.name && item.name[0] == '-'; }

// The entries of kind menu_num, in table order, numbered 1 to n by position.
std::vector<const MENU_item *> visible_items(const char *func, const MENU_item *menu,
                                             int menu_num) {
  std::vector<const MENU_item *> items;
  if (!menu) return items;
  if (menu_num < 0 || menu_num >= MENU_KINDS) {
    MESS_print(M_WARN, "%s: Menu kind %d out of range\n", func, menu_num);
    return items;
  }
  if (!menu[0].name) return items;  // an empty table has no entry 0 either
  for (int i = 1; i < kMaxEntries && menu[i].name; ++i)
    if (menu[i].disp[menu_num] == 1) items.push_back(&menu[i]);
  return items;
}

// The name of entry 0, empty for an empty table.
const char *return_name(const MENU_item *menu) {
  return (menu && menu[0].name) ? menu[0].name : "";
}

// Prints one cell: the left form leaves the line open for a second column.
void print_cell(const MENU_item &item, int number, bool line_end) {
  if (is_separator(item))
    MESS_print(M_PRINT, line_end ? " --------------------               \n"
                                 : " --------------------               ");
  else if (line_end)
    MESS_print(M_PRINT, " %2d: %-30s\n", number, item.name);
  else
    MESS_print(M_PRINT, " %2d: %-30s ", number, item.name);
}

// A whole number after an optional '-', with at least one digit.
bool parse_number(const char *s, long *out) {
  const char *p = s;
  if (*p == '-') ++p;
  if (!*p) return false;
  for (const char *q = p; *q; ++q)
    if (!std::isdigit(static_cast<unsigned char>(*q))) return false;
  errno = 0;
  long v = std::strtol(s, nullptr, 10);
  if (errno == ERANGE) v = (v < 0) ? LONG_MIN : LONG_MAX;
  *out = v;
  return true;
}

// Copies an abbreviation into the answer buffer, cut to the answer length.
void copy_answer(char *string, const char *abbr) {
  std::strncpy(string, text_or_empty(abbr), kAnswerLen);
  string[kAnswerLen] = '\0';
}

bool matches(const char *answer, const char *text) {
  return text && *text && stricmp(answer, text) == 0;
}

// The code of a closing word, or false when the answer is none.
bool closing_word(const char *answer, int flag, int *code) {
  const bool exit_offered = flag & MENU_EXIT;
  const bool return_offered = flag & MENU_RETURN;
  const bool is_exit = std::strcmp(answer, "Exit program") == 0 || stricmp(answer, "exit") == 0;
  const bool is_main =
      std::strcmp(answer, "Return to main menu") == 0 || stricmp(answer, "main") == 0;
  if (exit_offered && return_offered) {
    if (is_exit) return *code = -1, true;
    if (is_main) return *code = 0, true;
  } else if (exit_offered) {
    if (is_exit) return *code = 0, true;
  } else if (return_offered) {
    if (is_main) return *code = 0, true;
  }
  return false;
}

}  // namespace

extern "C" {

int MENU_print(const char *title, const MENU_item *menu, int menu_num, int flag) KAV_NOEXCEPT try {
  const auto items = visible_items("MENU_print", menu, menu_num);
  const int n = static_cast<int>(items.size());
  const bool two_columns = n >= 13;

  MESS_print(M_PRINT, "%s", text_or_empty(title));
  MESS_print(M_PRINT, "\n");

  // Items are taken by their 1-based number in the listing.
  const auto item = [&items](int number) -> const MENU_item & {
    return *items[static_cast<size_t>(number - 1)];
  };
  if (!two_columns) {
    for (int i = 1; i <= n; ++i) print_cell(item(i), i, true);
  } else {
    const int h = (n + 1) / 2;
    for (int r = 1; r < h; ++r) {
      print_cell(item(r), r, false);
      print_cell(item(r + h), r + h, true);
    }
    if (n % 2) {
      print_cell(item(h), h, true);
    } else {
      print_cell(item(h), h, false);
      print_cell(item(2 * h), 2 * h, true);
    }
  }

  if (flag & MENU_HELP) MESS_print(M_PRINT, " 99: Help                          \n");

  if ((flag & MENU_EXIT) && (flag & MENU_RETURN)) {
    MESS_print(M_PRINT, two_columns ? "  0: %-30s " : "  0: %-30s\n", return_name(menu));
    MESS_print(M_PRINT, " -1: Exit program                  \n");
  } else if (flag & MENU_EXIT) {
    MESS_print(M_PRINT, "  0: Exit program                  \n");
  } else if (flag & MENU_RETURN) {
    MESS_print(M_PRINT, "  0: %-30s\n", return_name(menu));
  }
  MESS_print(M_PRINT, "\n");
  return 1;
} catch (...) {
  kav::out_of_memory("MENU_print");
  return -1;
}

int MENU_process(const char *title, const MENU_item *menu, int menu_num, const char *prompt,
                 char *string, int flag) KAV_NOEXCEPT try {
  char own[kAnswerLen + 1];
  if (!string) string = own;

  MENU_print(title, menu, menu_num, flag);
  const auto items = visible_items("MENU_process", menu, menu_num);
  const long n = static_cast<long>(items.size());
  const long lowest = (flag & MENU_EXIT) ? -1 : (flag & MENU_RETURN) ? 0 : 1;
  const bool have_entry0 = menu && menu[0].name;

  for (;;) {
    // An empty line stores nothing: start from an empty answer so that an
    // earlier answer left in the buffer is never taken for a new one.
    string[0] = '\0';
    KAV_promptl(text_or_empty(prompt), string);
    string[kAnswerLen] = '\0';
    if (std::strcmp(string, "?") != 0) break;

    std::string list = have_entry0 ? text_or_empty(menu[0].abbr) : "";
    for (const MENU_item *item : items) {
      list += ',';
      list += text_or_empty(item->abbr);
    }
    MESS_print(M_PRINT, "%s\n\n", list.c_str());
  }

  if (!string[0]) return KAV_IMISSING;

  int code = 0;
  if (closing_word(string, flag, &code)) return code;

  long number = 0;
  if (parse_number(string, &number)) {
    if (number < lowest || number > n) return KAV_IMISSING;
    if (number <= 0) return static_cast<int>(number);
    const MENU_item *item = items[static_cast<size_t>(number - 1)];
    if (is_separator(*item)) return KAV_IMISSING;
    copy_answer(string, item->abbr);
    return item->index;
  }

  if (have_entry0 && (matches(string, menu[0].abbr) || matches(string, menu[0].name))) {
    copy_answer(string, menu[0].abbr);
    return menu[0].index;
  }
  for (const MENU_item *item : items) {
    if (is_separator(*item)) continue;
    if (matches(string, item->abbr) || matches(string, item->name)) {
      copy_answer(string, item->abbr);
      return item->index;
    }
  }
  return KAV_IMISSING;
} catch (...) {
  kav::out_of_memory("MENU_process");
  return -1;
}

int MENU_search(const char *item, const MENU_item *menu) KAV_NOEXCEPT {
  if (!item || !menu) return KAV_IMISSING;
  for (int i = 0; i < kMaxEntries && menu[i].name; ++i)
    if ((menu[i].abbr && stricmp(item, menu[i].abbr) == 0) || stricmp(item, menu[i].name) == 0)
      return menu[i].index;
  return KAV_IMISSING;
}

const char *MENU_get_abbr(int index, const MENU_item *menu) KAV_NOEXCEPT {
  if (!menu) return nullptr;
  for (int i = 0; i < kMaxEntries && menu[i].name; ++i)
    if (menu[i].index == index) return menu[i].abbr;
  return nullptr;
}

int MENU_check(int index, const MENU_item *menu, int menu_num) KAV_NOEXCEPT {
  if (!menu || menu_num < 0 || menu_num >= MENU_KINDS) return 0;
  for (int i = 0; i < kMaxEntries && menu[i].name; ++i)
    if (menu[i].index == index) return menu[i].disp[menu_num] ? 1 : 0;
  return 0;
}

}  // extern "C"
