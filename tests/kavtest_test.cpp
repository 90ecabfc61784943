// The shared test helpers: what they leave behind.
#include "support/kavtest.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// A test that ends the process inside a capture or while reading a given
// input leaves no temporary file.
TEST(KavtestCapture, ExitInsideLeavesNoFiles) {
  kavtest::TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  kavtest::ScopedEnv tmp("TMPDIR", dir.path().c_str());
  pid_t pid = fork();
  if (pid == 0) {
    kavtest::with_stdin("20\n", [] { kavtest::capture([] { std::exit(3); }); });
    _exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(KavtestCapture, StillCapturesBothStreams) {
  auto c = kavtest::capture([] {
    std::printf("out");
    std::fprintf(stderr, "err");
  });
  EXPECT_EQ(c.out, "out");
  EXPECT_EQ(c.err, "err");
}

// Blocks of a case file end at ">>" (with their last line feed) or ">>!"
// (without it), and the reader stands on the closing line afterwards.
TEST(KavtestCaseFiles, BlocksEndWhereTheyAreClosed) {
  std::vector<kavtest::Row> lines;
  for (const char *text : {"stdout <<", "a", "", "b", ">>", "stderr <<", "c", ">>!", "x <<", "d"})
    lines.push_back({"t.txt", static_cast<int>(lines.size()) + 1, text, {}});
  size_t i = 0;
  EXPECT_EQ(kavtest::read_block(lines, &i), "a\n\nb\n");
  EXPECT_EQ(i, 4u);
  i = 5;
  EXPECT_EQ(kavtest::read_block(lines, &i), "c");
  EXPECT_EQ(i, 7u);
  i = 8;
  EXPECT_EQ(kavtest::read_block(lines, &i), "d\n");  // unclosed: to the end
  EXPECT_EQ(i, lines.size());
  EXPECT_EQ(kavtest::words_of(" -x\t1  \"a b\" "),
            (std::vector<std::string>{"-x", "1", "\"a", "b\""}));
}

// Keys are replaced everywhere, and a value holding its own key is not
// replaced again.
TEST(KavtestCaseFiles, SubstituteEveryKey) {
  EXPECT_EQ(kavtest::substitute("$A/$B/$A", {{"$A", "x$A"}, {"$B", "y"}}), "x$A/y/x$A");
  EXPECT_EQ(kavtest::substitute("none", {{"$A", "x"}, {"", "z"}}), "none");
}

}  // namespace
