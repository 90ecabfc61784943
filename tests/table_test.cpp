// The keyed table: hashing, bucket chains, look-ups by each key, insertion
// order, bounds on key numbers and table shapes.
#include <gtest/gtest.h>
#include <kav/table.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The key hash worked out independently: bytes as unsigned values.
int reference_hash(const std::string &key, int tsize) {
  long h = 0;
  for (char c : key) h = (h * 257 + static_cast<unsigned char>(c)) % 35177;
  return static_cast<int>(h % tsize);
}

struct Item {
  int n;
  char tag[8];
};

TEST(Table, HashMatchesTheReferenceForAsciiAndHighBytes) {
  const std::vector<std::string> keys = {
      "", "A", "KMSN", "72558", "b12345", "zzzzzzzzzzzzzzzz", "\xc3\xa9t\xc3\xa9", "\xff\xff\xff"};
  for (int tsize : {1, 7, 97, 4000})
    for (const std::string &k : keys) {
      const int b = TAB_hash(k.c_str(), tsize);
      EXPECT_EQ(b, reference_hash(k, tsize)) << k << " " << tsize;
      EXPECT_GE(b, 0);
      EXPECT_LT(b, tsize);
    }
  // Small ASCII keys by hand: "A" is 65; "AB" is 65*257+66 = 16771.
  EXPECT_EQ(TAB_hash("A", 100000), 65);
  EXPECT_EQ(TAB_hash("AB", 100000), 16771);
  EXPECT_EQ(TAB_hash(nullptr, 10), -1);
  EXPECT_EQ(TAB_hash("A", 0), -1);
}

TEST(Table, EntersUnderEveryKeyAndFindsByEach) {
  TAB_table tab;
  ASSERT_EQ(TAB_create(&tab, 13, sizeof(Item), 3), 0);
  for (int i = 0; i < 40; ++i) {
    Item it{i, {}};
    std::snprintf(it.tag, sizeof it.tag, "t%d", i);
    const std::string k1 = "id" + std::to_string(i), k2 = std::to_string(10000 + i),
                      k3 = "loc" + std::to_string(i % 5);
    ASSERT_EQ(TAB_enter(&tab, &it, k1.c_str(), k2.c_str(), k3.c_str()), 0);
  }
  EXPECT_EQ(tab.num_entry, 40);
  auto *a = static_cast<Item *>(TAB_search(&tab, 1, "id17"));
  auto *b = static_cast<Item *>(TAB_search(&tab, 2, "10017"));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);  // one data buffer shared by the item's keys
  EXPECT_EQ(a->n, 17);
  EXPECT_STREQ(a->tag, "t17");
  // Keys are per key number and exact.
  EXPECT_EQ(TAB_search(&tab, 2, "id17"), nullptr);
  EXPECT_EQ(TAB_search(&tab, 1, "ID17"), nullptr);
  // The third key is shared by eight items: the first entered comes first.
  void *found[20];
  EXPECT_EQ(TAB_searches(&tab, 3, "loc2", found, 20), 8);
  EXPECT_EQ(static_cast<Item *>(found[0])->n, 2);
  EXPECT_EQ(static_cast<Item *>(found[7])->n, 37);
  EXPECT_EQ(TAB_searches(&tab, 3, "loc2", found, 3), 3);
  EXPECT_EQ(static_cast<Item *>(TAB_search(&tab, 3, "loc4"))->n, 4);
  // Each entry sits in the bucket its key hashes to, chains in entry order.
  for (int k = 0; k < 3; ++k)
    for (int bkt = 0; bkt < tab.tab_size; ++bkt)
      for (TAB_entry *e = tab.table[k][bkt]; e; e = e->link)
        EXPECT_EQ(reference_hash(e->key, tab.tab_size), bkt);
  EXPECT_EQ(TAB_clear(&tab), 0);
  EXPECT_EQ(tab.num_entry, 0);
  EXPECT_EQ(TAB_search(&tab, 1, "id17"), nullptr);
}

TEST(Table, WalksItemsInInsertionOrder) {
  TAB_table tab;
  ASSERT_EQ(TAB_create(&tab, 3, sizeof(int), 1), 0);
  EXPECT_EQ(TAB_first(&tab), 0);
  EXPECT_EQ(TAB_next(&tab), nullptr);
  for (int i = 0; i < 10; ++i) ASSERT_EQ(TAB_enter(&tab, &i, std::to_string(9 - i).c_str()), 0);
  TAB_first(&tab);
  for (int i = 0; i < 10; ++i) {
    auto *p = static_cast<int *>(TAB_next(&tab));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(*p, i);
  }
  EXPECT_EQ(TAB_next(&tab), nullptr);
  TAB_clear(&tab);
}

TEST(Table, KeyNumbersAndShapesOutsideTheTableAreRefused) {
  TAB_table tab;
  ASSERT_EQ(TAB_create(&tab, 5, sizeof(int), 2), 0);
  int v = 3;
  ASSERT_EQ(TAB_enter(&tab, &v, "a", "b"), 0);
  EXPECT_EQ(TAB_search(&tab, 0, "a"), nullptr);
  EXPECT_EQ(TAB_search(&tab, -1, "a"), nullptr);
  EXPECT_EQ(TAB_search(&tab, 3, "a"), nullptr);
  EXPECT_EQ(TAB_search(&tab, 1, nullptr), nullptr);
  EXPECT_EQ(TAB_enter(&tab, &v, "a", nullptr), -1);
  EXPECT_EQ(tab.num_entry, 1);
  TAB_clear(&tab);
  EXPECT_EQ(TAB_search(&tab, 1, "a"), nullptr);
  EXPECT_EQ(TAB_enter(&tab, &v, "a", "b"), -1);  // cleared: no buckets
  EXPECT_EQ(TAB_create(&tab, 0, 4, 1), -1);
  EXPECT_EQ(TAB_create(&tab, 4, 4, 0), -1);
  EXPECT_EQ(TAB_create(&tab, 4, 4, TAB_MAX_KEYS + 1), -1);
  EXPECT_EQ(TAB_create(&tab, 4, -1, 1), -1);
  EXPECT_EQ(TAB_create(nullptr, 4, 4, 1), -1);
  EXPECT_EQ(TAB_clear(&tab), 0);  // an empty table clears
}

}  // namespace
