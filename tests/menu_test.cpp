// Menus: layout in one and two columns, and answers read from standard input.
#include <gtest/gtest.h>
#include <kav/menu.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <list>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

struct Entry {
  std::string name;
  std::string abbr;
  int index;
  int disp0;  // display switch of menu kind 0
  int disp3;  // display switch of menu kind 3
};

// A menu table with its texts kept alive; entry 0 is "Return to previous menu".
class Menu {
 public:
  explicit Menu(const std::vector<Entry> &entries) {
    add({"Return to previous menu", "back", 0, 1, 1});
    for (const Entry &e : entries) add(e);
    items_.push_back(MENU_item{});  // null name ends the table
  }
  const MENU_item *table() const { return items_.data(); }

 private:
  void add(const Entry &e) {
    texts_.push_back(e.name);
    char *name = texts_.back().data();
    texts_.push_back(e.abbr);
    char *abbr = texts_.back().data();
    MENU_item item{};
    item.name = name;
    item.abbr = abbr;
    item.index = e.index;
    item.disp[0] = e.disp0;
    item.disp[3] = e.disp3;
    items_.push_back(item);
  }
  std::list<std::string> texts_;  // stable addresses
  std::vector<MENU_item> items_;
};

// n shown items "Item k" (abbreviation "ik", index 100 + k), with a hidden
// item before each so that table positions and menu numbers differ.
Menu numbered(int n) {
  std::vector<Entry> entries;
  for (int k = 1; k <= n; ++k) {
    entries.push_back({"Hidden " + std::to_string(k), "h" + std::to_string(k), 500 + k, 0, 1});
    entries.push_back({"Item " + std::to_string(k), "i" + std::to_string(k), 100 + k, 1, 0});
  }
  return Menu(entries);
}

std::string pad30(const std::string &s) { return s + std::string(30 - s.size(), ' '); }
std::string left(int k) {
  char b[8];
  std::snprintf(b, sizeof b, " %2d: ", k);
  return b + pad30("Item " + std::to_string(k)) + " ";
}
std::string right(int k) {
  char b[8];
  std::snprintf(b, sizeof b, " %2d: ", k);
  return b + pad30("Item " + std::to_string(k)) + "\n";
}

std::string printed(const Menu &m, int kind, int flag) {
  return kavtest::capture([&] { MENU_print("Pick one", m.table(), kind, flag); }).out;
}

TEST(MenuPrint, SmallMenuWithSeparatorAndEveryClosingChoice) {
  Menu m({{"Surface", "sfc", 7, 1, 0}, {"-", "", 8, 1, 0}, {"Upper air", "upa", 9, 1, 0}});
  const std::string body =
      "Pick one\n"
      "  1: Surface                       \n"
      " --------------------               \n"
      "  3: Upper air                     \n";
  EXPECT_EQ(printed(m, 0, 0), body + "\n");
  EXPECT_EQ(printed(m, 0, 4), body + " 99: Help                          \n\n");
  EXPECT_EQ(printed(m, 0, 1), body + "  0: Exit program                  \n\n");
  EXPECT_EQ(printed(m, 0, 2), body + "  0: Return to previous menu       \n\n");
  EXPECT_EQ(printed(m, 0, 3), body +
                                  "  0: Return to previous menu       \n"
                                  " -1: Exit program                  \n\n");
  EXPECT_EQ(printed(m, 0, 7), body + " 99: Help                          \n" +
                                  "  0: Return to previous menu       \n"
                                  " -1: Exit program                  \n\n");
}

TEST(MenuPrint, TwelveItemsStayInOneColumn) {
  std::string want = "Pick one\n";
  for (int k = 1; k <= 12; ++k) want += right(k);
  EXPECT_EQ(printed(numbered(12), 0, 0), want + "\n");
}

TEST(MenuPrint, ThirteenItemsEndWithItemSevenAlone) {
  std::string want = "Pick one\n";
  for (int r = 1; r <= 6; ++r) want += left(r) + right(r + 7);
  want += right(7);
  // In two columns the return line leaves its line open.
  want +=
      "  0: " + pad30("Return to previous menu") + " " + " -1: Exit program                  \n\n";
  EXPECT_EQ(printed(numbered(13), 0, 3), want);
}

TEST(MenuPrint, FourteenItemsEndWithItemsSevenAndFourteen) {
  std::string want = "Pick one\n";
  for (int r = 1; r <= 6; ++r) want += left(r) + right(r + 7);
  want += left(7) + right(14);
  EXPECT_EQ(printed(numbered(14), 0, 0), want + "\n");
}

TEST(MenuPrint, SeparatorsInBothColumns) {
  std::vector<Entry> e;
  for (int k = 1; k <= 13; ++k)
    e.push_back(k == 2 || k == 9 ? Entry{"----", "", 0, 1, 0}
                                 : Entry{"Item " + std::to_string(k), "", k, 1, 0});
  const std::string out = printed(Menu(e), 0, 0);
  EXPECT_NE(out.find(" --------------------                --------------------               \n"),
            std::string::npos)
      << out;
}

TEST(MenuPrint, MenuKindSelectsItemsAndTitleIsNotAFormat) {
  Menu m = numbered(2);
  const std::string kind3 = kavtest::capture([&] { MENU_print("100%s %d", m.table(), 3, 0); }).out;
  EXPECT_EQ(kind3,
            "100%s %d\n"
            "  1: Hidden 1                      \n"
            "  2: Hidden 2                      \n\n");
  const auto bad = kavtest::capture([&] { MENU_print("T", m.table(), 10, 0); });
  EXPECT_EQ(bad.out, "T\n\n");
  EXPECT_NE(bad.err.find("MENU_print"), std::string::npos);
}

struct Answer {
  const char *input;  // what is typed
  int flag;
  int code;            // expected result
  const char *string;  // expected answer buffer afterwards
};

void PrintTo(const Answer &a, std::ostream *os) {
  std::string typed = a.input;
  for (char &c : typed)
    if (c == '\n') c = '|';
  *os << '[' << typed << "] flag " << a.flag;
}

class MenuAnswer : public ::testing::TestWithParam<Answer> {};

// Three shown items among hidden ones: 1 = Item 1 (i1, 101) ... 3 = Item 3.
// The prompt hands every line to the command handler first, and a line
// beginning with "exit" (any case) may end the process there before the menu
// sees it. Each answer therefore runs in a child process: a child that ends
// with 0 without reporting is accepted only for such a line.
TEST_P(MenuAnswer, GivesTheCode) {
  const Answer &a = GetParam();
  Menu m = numbered(3);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    char answer[20] = "stale";
    int code = 0;
    kavtest::capture([&] {
      kavtest::with_stdin(
          a.input, [&] { code = MENU_process("Pick", m.table(), 0, "Choice: ", answer, a.flag); });
    });
    const std::string report = std::to_string(code) + " " + answer;
    if (write(fds[1], report.data(), report.size()) < 0) _exit(3);
    _exit(0);
  }
  close(fds[1]);
  std::string report;
  char buf[64];
  for (ssize_t got; (got = read(fds[0], buf, sizeof buf)) > 0;)
    report.append(buf, static_cast<size_t>(got));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  if (report.empty()) {
    EXPECT_EQ(strncasecmp(a.input, "exit", 4), 0) << "the answer ended the process";
    return;
  }
  EXPECT_EQ(report, std::to_string(a.code) + " " + a.string);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MenuAnswer,
    ::testing::Values(
        // numbers count shown items, not table positions
        Answer{"3\n", 0, 103, "i3"}, Answer{"1\n", 0, 101, "i1"}, Answer{"4\n", 0, -9999, "4"},
        Answer{"0\n", 0, -9999, "0"}, Answer{"0\n", 2, 0, "0"}, Answer{"-1\n", 2, -9999, "-1"},
        Answer{"-1\n", 1, -1, "-1"}, Answer{"0\n", 1, 0, "0"}, Answer{"-1\n", 3, -1, "-1"},
        Answer{"-2\n", 3, -9999, "-2"}, Answer{"-\n", 3, -9999, "-"},
        Answer{"99999999999999999999\n", 0, -9999, "9999999999999999999"},
        // abbreviations and names, any case; entry 0 matches too
        Answer{"I2\n", 0, 102, "i2"}, Answer{"item\n", 0, -9999, "item"},
        Answer{"back\n", 0, 0, "back"}, Answer{"BACK\n", 3, 0, "back"},
        Answer{"h1\n", 0, -9999, "h1"},  // hidden in this kind
        // closing words
        Answer{"exit\n", 3, -1, "exit"}, Answer{"MAIN\n", 3, 0, "MAIN"},
        Answer{"Exit\n", 1, 0, "Exit"}, Answer{"main\n", 1, -9999, "main"},
        Answer{"main\n", 2, 0, "main"}, Answer{"exit\n", 2, -9999, "exit"},
        Answer{"exit\n", 0, -9999, "exit"},
        // "?" lists and asks again; nonsense and silence match nothing
        Answer{"?\n2\n", 0, 102, "i2"}, Answer{"nonsense\n2\n", 0, -9999, "nonsense"},
        Answer{"\n", 3, -9999, ""}, Answer{"", 3, -9999, ""}, Answer{"i1 i2\n", 0, 101, "i1"},
        Answer{"abcdefghijklmnopqrstuvwxyz\n", 0, -9999, "abcdefghijklmnopqrs"}));

TEST(MenuProcess, QuestionMarkListsAbbreviationsAndPromptsAgain) {
  Menu m({{"Surface", "sfc", 7, 1, 0}, {"-", "", 8, 1, 0}, {"Upper air", "upa", 9, 1, 0}});
  char answer[20];
  int code = 0;
  const auto out = kavtest::capture([&] {
    kavtest::with_stdin("?\nSURFACE\n",
                        [&] { code = MENU_process("T", m.table(), 0, "Choice: ", answer, 0); });
  });
  EXPECT_EQ(code, 7);
  EXPECT_STREQ(answer, "sfc");
  // Every shown line has its place in the list, separators included.
  EXPECT_NE(out.out.find("Choice: back,sfc,,upa\n\nChoice: "), std::string::npos) << out.out;
}

TEST(MenuProcess, SeparatorIsNeverChosen) {
  Menu m({{"Surface", "sfc", 7, 1, 0}, {"-", "", 8, 1, 0}});
  char answer[20];
  int code = 0;
  kavtest::capture([&] {
    kavtest::with_stdin("2\n", [&] { code = MENU_process("T", m.table(), 0, "", answer, 0); });
  });
  EXPECT_EQ(code, -9999);
}

TEST(MenuProcess, LongAbbreviationIsCutToTheBuffer) {
  Menu m({{"Long", "an_abbreviation_much_longer_than_twenty", 5, 1, 0}});
  char answer[24];
  std::memset(answer, 'x', sizeof answer);
  int code = 0;
  kavtest::capture([&] {
    kavtest::with_stdin("1\n", [&] { code = MENU_process("T", m.table(), 0, "", answer, 0); });
  });
  EXPECT_EQ(code, 5);
  EXPECT_STREQ(answer, "an_abbreviation_muc");
  EXPECT_EQ(answer[20], 'x');
}

TEST(MenuLookup, SearchAbbrAndCheck) {
  Menu m = numbered(2);
  EXPECT_EQ(MENU_search("BACK", m.table()), 0);
  EXPECT_EQ(MENU_search("hidden 2", m.table()), 502);  // every entry, shown or not
  EXPECT_EQ(MENU_search("i2", m.table()), 102);
  EXPECT_EQ(MENU_search("nothing", m.table()), -9999);
  EXPECT_EQ(MENU_search(nullptr, m.table()), -9999);
  EXPECT_STREQ(MENU_get_abbr(101, m.table()), "i1");
  EXPECT_EQ(MENU_get_abbr(42, m.table()), nullptr);
  EXPECT_EQ(MENU_check(101, m.table(), 0), 1);
  EXPECT_EQ(MENU_check(101, m.table(), 3), 0);
  EXPECT_EQ(MENU_check(501, m.table(), 3), 1);
  EXPECT_EQ(MENU_check(42, m.table(), 0), 0);
  EXPECT_EQ(MENU_check(101, m.table(), 10), 0);
}

}  // namespace
