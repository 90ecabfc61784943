// The shared test helpers: what they leave behind.
#include "support/kavtest.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

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

}  // namespace
