/* A keyed table: items of a fixed size entered under one to four text keys,
 * found by any key through chained hash buckets, and walked in the order
 * they were entered. The station database keeps its loaded stations here. */
#ifndef KAV_TABLE_H
#define KAV_TABLE_H

#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

/* Most keys an item can have. */
#define TAB_MAX_KEYS 4

/* One key of one item. */
typedef struct TAB_entry {
  char *key;              /* own copy of the key text */
  void *data;             /* the item's data, shared by the entries of all its keys */
  struct TAB_entry *link; /* next entry in the same bucket */
  struct TAB_entry *next; /* next item in insertion order (first key's entries only) */
} TAB_entry;

typedef struct {
  int tab_size;                    /* buckets per key */
  int data_size;                   /* bytes of data per item */
  TAB_entry *data_ptr;             /* iteration cursor: the item TAB_next gives next */
  TAB_entry *head_ptr;             /* first item entered (its first key's entry) */
  TAB_entry *last_ptr;             /* last item entered */
  int num_entry;                   /* items entered */
  int numkey;                      /* keys per item, 1 to TAB_MAX_KEYS */
  TAB_entry **table[TAB_MAX_KEYS]; /* one bucket array of tab_size chains per key */
  TAB_entry **tail[TAB_MAX_KEYS];  /* the last entry of each chain, so that many
                                      items under one key append in constant time */
} TAB_table;

/* Empties *tab (whatever it held is forgotten, not freed) and allocates nkey
 * bucket arrays of tsize buckets for items of dsize bytes. 0, or -1 with the
 * table left empty when tsize is below 1, dsize below 0, nkey outside 1 to
 * TAB_MAX_KEYS, or memory runs out. */
KAV_API int TAB_create(TAB_table *tab, int tsize, int dsize, int nkey) KAV_NOEXCEPT;

/* Enters an item: copies data_size bytes from data (none when data is null:
 * the copy is zeroed) into one new buffer and enters it under the numkey key
 * texts that follow (const char *, none null), each appended to the end of
 * its bucket's chain; the item joins the end of the insertion order. 0, or
 * -1 (nothing entered) for a table never created, a null key or no memory. */
KAV_API int TAB_enter(TAB_table *tab, const void *data, ...) KAV_NOEXCEPT;

/* The bucket of a key in a table of tsize buckets: h = (h*257 + c) mod 35177
 * over the key's bytes taken as unsigned, then h mod tsize. -1 for a null key
 * or a tsize below 1. */
KAV_API int TAB_hash(const char *key, int tsize) KAV_NOEXCEPT;

/* The data of the first entry, in bucket order, whose key equals key exactly
 * for key number keynum (from 1); null when there is none, when the table is
 * empty, or keynum is outside 1 to numkey. The data belongs to the table. */
KAV_API void *TAB_search(const TAB_table *tab, int keynum, const char *key) KAV_NOEXCEPT;

/* As TAB_search, collecting up to max matches in bucket order into ptrs;
 * the count found (0 for a bad argument). */
KAV_API int TAB_searches(const TAB_table *tab, int keynum, const char *key, void **ptrs,
                         int max) KAV_NOEXCEPT;

/* Sets the cursor to the first item entered. 0 (-1 for null). */
KAV_API int TAB_first(TAB_table *tab) KAV_NOEXCEPT;
/* The cursor's data, then the cursor moves on; null at the end. */
KAV_API void *TAB_next(TAB_table *tab) KAV_NOEXCEPT;

/* Frees every key copy, every item's data (once), every entry and the
 * bucket arrays, and leaves the table empty. 0 (-1 for null). */
KAV_API int TAB_clear(TAB_table *tab) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
