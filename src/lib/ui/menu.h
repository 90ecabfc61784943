/* Numbered console menus: a table of items printed in one or two columns,
 * answered at a prompt by number, abbreviation or name. */
#ifndef KAV_MENU_H
#define KAV_MENU_H

#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

/* Number of menu kinds an item carries a display switch for. */
#define MENU_KINDS 10

/* Menu flags (bits of flag). */
#define MENU_EXIT 1   /* offers "Exit program" */
#define MENU_RETURN 2 /* offers the return choice (entry 0) */
#define MENU_HELP 4   /* offers help (line 99) */

/* One menu entry. Entry 0 of a table is the return entry; items 1 onward
 * are the choices; a null name ends the table. The table owns its texts. */
typedef struct {
  char *name;           /* the line shown; a leading '-' makes a separator */
  char *abbr;           /* the abbreviation typed or returned */
  int index;            /* the code returned when the item is chosen */
  int disp[MENU_KINDS]; /* shown in menu kind k when disp[k] is 1 */
} MENU_item;

/* Prints the title, the items of kind menu_num (one column below 13 items,
 * else two), the help line and the closing choices the flags offer, all at
 * message type M_PRINT. The title is printed as text, never as a format. A kind
 * outside 0..9 shows no items (with a warning). Returns 1. */
KAV_API int MENU_print(const char *title, const MENU_item *menu, int menu_num,
                       int flag) KAV_NOEXCEPT;

/* Prints the menu and reads one word (at most 19 characters) into string, a
 * caller buffer of at least 20 characters (null: a buffer of its own is
 * used). "?" lists the abbreviations and asks again. Returns the index of the
 * chosen item (its abbreviation, cut to 19 characters, is copied into
 * string), -1 or 0 for the exit and return choices, or -9999 when the answer
 * (an empty line or the end of input included) matched nothing. Separator
 * lines are never chosen. */
KAV_API int MENU_process(const char *title, const MENU_item *menu, int menu_num, const char *prompt,
                         char *string, int flag) KAV_NOEXCEPT;

/* The index of the first entry (entry 0 included) whose abbreviation or name
 * equals item without regard to case; -9999 when none does or either
 * argument is null. */
KAV_API int MENU_search(const char *item, const MENU_item *menu) KAV_NOEXCEPT;

/* The abbreviation of the first entry with that index (owned by the table);
 * null when no entry has it. */
KAV_API const char *MENU_get_abbr(int index, const MENU_item *menu) KAV_NOEXCEPT;

/* 1 when the first entry with that index has a non-zero disp[menu_num],
 * else 0 (also when no entry has it or menu_num is outside 0..9). */
KAV_API int MENU_check(int index, const MENU_item *menu, int menu_num) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
