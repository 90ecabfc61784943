// The keyed table: chained hash buckets per key over items kept in insertion
// order. Entries and key copies are malloc'ed, as the table is a C record a
// caller may hold and clear.
#include <kav/table.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

constexpr unsigned kHashModulus = 35177;

void forget(TAB_table *tab) { std::memset(tab, 0, sizeof *tab); }

char *copy_key(const char *key) {
  const size_t n = std::strlen(key) + 1;
  char *p = static_cast<char *>(std::malloc(n));
  if (p) std::memcpy(p, key, n);
  return p;
}

void free_entry(TAB_entry *e) {
  if (!e) return;
  std::free(e->key);
  std::free(e);
}

bool usable(const TAB_table *tab) {
  return tab && tab->numkey >= 1 && tab->numkey <= TAB_MAX_KEYS && tab->tab_size >= 1 &&
         tab->table[0] && tab->tail[0];
}

}  // namespace

extern "C" {

int TAB_hash(const char *key, int tsize) KAV_NOEXCEPT {
  if (!key || tsize < 1) return -1;
  unsigned h = 0;
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(key); *p; ++p)
    h = (h * 257u + *p) % kHashModulus;
  return static_cast<int>(h % static_cast<unsigned>(tsize));
}

int TAB_create(TAB_table *tab, int tsize, int dsize, int nkey) KAV_NOEXCEPT {
  if (!tab) return -1;
  forget(tab);
  if (tsize < 1 || dsize < 0 || nkey < 1 || nkey > TAB_MAX_KEYS) return -1;
  for (int k = 0; k < nkey; ++k) {
    tab->table[k] =
        static_cast<TAB_entry **>(std::calloc(static_cast<size_t>(tsize), sizeof(TAB_entry *)));
    tab->tail[k] =
        static_cast<TAB_entry **>(std::calloc(static_cast<size_t>(tsize), sizeof(TAB_entry *)));
    if (!tab->table[k] || !tab->tail[k]) {
      for (int j = 0; j <= k; ++j) {
        std::free(tab->table[j]);
        std::free(tab->tail[j]);
      }
      forget(tab);
      return -1;
    }
  }
  tab->tab_size = tsize;
  tab->data_size = dsize;
  tab->numkey = nkey;
  return 0;
}

int TAB_enter(TAB_table *tab, const void *data, ...) KAV_NOEXCEPT {
  if (!usable(tab)) return -1;
  const char *keys[TAB_MAX_KEYS] = {};
  va_list ap;
  va_start(ap, data);
  for (int k = 0; k < tab->numkey; ++k) keys[k] = va_arg(ap, const char *);
  va_end(ap);
  for (int k = 0; k < tab->numkey; ++k)
    if (!keys[k]) return -1;

  // Everything is allocated before anything is linked, so a failure leaves
  // the table as it was.
  void *buf = std::calloc(1, tab->data_size > 0 ? static_cast<size_t>(tab->data_size) : 1);
  TAB_entry *made[TAB_MAX_KEYS] = {};
  bool ok = buf != nullptr;
  for (int k = 0; ok && k < tab->numkey; ++k) {
    made[k] = static_cast<TAB_entry *>(std::calloc(1, sizeof(TAB_entry)));
    if (made[k]) made[k]->key = copy_key(keys[k]);
    ok = made[k] && made[k]->key;
  }
  if (!ok) {
    for (int k = 0; k < tab->numkey; ++k) free_entry(made[k]);
    std::free(buf);
    return -1;
  }
  if (data && tab->data_size > 0) std::memcpy(buf, data, static_cast<size_t>(tab->data_size));

  for (int k = 0; k < tab->numkey; ++k) {
    TAB_entry *e = made[k];
    e->data = buf;
    const int b = TAB_hash(keys[k], tab->tab_size);
    if (tab->tail[k][b])
      tab->tail[k][b]->link = e;
    else
      tab->table[k][b] = e;
    tab->tail[k][b] = e;
  }
  if (tab->last_ptr)
    tab->last_ptr->next = made[0];
  else
    tab->head_ptr = made[0];
  tab->last_ptr = made[0];
  ++tab->num_entry;
  return 0;
}

int TAB_searches(const TAB_table *tab, int keynum, const char *key, void **ptrs,
                 int max) KAV_NOEXCEPT {
  if (!usable(tab) || !key || keynum < 1 || keynum > tab->numkey || max < 1 || !ptrs) return 0;
  int found = 0;
  for (TAB_entry *e = tab->table[keynum - 1][TAB_hash(key, tab->tab_size)]; e && found < max;
       e = e->link)
    if (std::strcmp(e->key, key) == 0) ptrs[found++] = e->data;
  return found;
}

void *TAB_search(const TAB_table *tab, int keynum, const char *key) KAV_NOEXCEPT {
  void *p = nullptr;
  return TAB_searches(tab, keynum, key, &p, 1) == 1 ? p : nullptr;
}

int TAB_first(TAB_table *tab) KAV_NOEXCEPT {
  if (!tab) return -1;
  tab->data_ptr = tab->head_ptr;
  return 0;
}

void *TAB_next(TAB_table *tab) KAV_NOEXCEPT {
  if (!tab || !tab->data_ptr) return nullptr;
  void *data = tab->data_ptr->data;
  tab->data_ptr = tab->data_ptr->next;
  return data;
}

int TAB_clear(TAB_table *tab) KAV_NOEXCEPT {
  if (!tab) return -1;
  const int nkey = tab->numkey >= 1 && tab->numkey <= TAB_MAX_KEYS ? tab->numkey : 0;
  for (int k = 0; k < nkey; ++k) {
    if (!tab->table[k]) continue;
    for (int b = 0; b < tab->tab_size; ++b) {
      TAB_entry *e = tab->table[k][b];
      while (e) {
        TAB_entry *link = e->link;
        if (k == 0) std::free(e->data);  // the data once, through the first key
        free_entry(e);
        e = link;
      }
    }
    std::free(tab->table[k]);
    std::free(tab->tail[k]);
  }
  forget(tab);
  return 0;
}

}  // extern "C"
