// Process utilities: commands typed at prompts, real child processes, the
// background table, sleeping, elapsed time and virtual memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <kav/resrc.h>
#include <kav/system.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/kavtest.h"

extern char **environ;

namespace {

// A null-terminated argument vector over owned texts.
class Argv {
 public:
  Argv(std::initializer_list<std::string> args) : text_(args) {
    for (std::string &t : text_) ptr_.push_back(t.data());
    ptr_.push_back(nullptr);
  }
  char *const *get() { return ptr_.data(); }

 private:
  std::vector<std::string> text_;
  std::vector<char *> ptr_;
};

// Runs a shell command through KAV_run in the foreground.
int run_sh(const std::string &command, char *const *env = environ) {
  Argv argv{"sh", "-c", command};
  return KAV_run("/bin/sh", argv.get(), env, 0);
}

// Starts a shell command in the background: its slot.
int start_sh(const std::string &command) {
  Argv argv{"sh", "-c", command};
  return KAV_run("/bin/sh", argv.get(), environ, 2);
}

// Reaps a background child started by the library; its exit code or -1.
int reap(int pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Skips the case when the background starts of earlier cases in this process
// have used up the table's starts.
#define NEED_BACKGROUND_STARTS(n) \
  if (KAV_numproc() + (n) > KAV_MAX_PROC) GTEST_SKIP() << "background starts used up"

double now_seconds() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

// ---- Commands typed at prompts ----

struct SetCase {
  const char *line, *name, *value;
};

TEST(SetCommand, StoresResourcesInEveryForm) {
  const SetCase cases[] = {
      {"set table=yes", "table", "yes"},
      {"SET Name=Value", "Name", "Value"},
      {"set units metric", "units", "metric"},
      {"Set  units = = imperial  units", "units", "imperial  units"},
      {"set bare", "bare", ""},
      {"set eq=", "eq", ""},
      {"settle later=1", "later", "1"},
  };
  for (const SetCase &c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(KAV_set_command(c.line), 1);
    ASSERT_NE(RES_get(c.name), nullptr);
    EXPECT_STREQ(RES_get(c.name), c.value);
  }
}

TEST(SetCommand, AloneListsTheResources) {
  RES_put("listed", "here");
  kavtest::Captured c = kavtest::capture([] { EXPECT_EQ(KAV_set_command("set"), 1); });
  EXPECT_EQ(c.out.rfind("Set resources\n", 0), 0u) << c.out;
  EXPECT_NE(c.out.find("listed: here\n"), std::string::npos) << c.out;
  EXPECT_EQ(c.out.back(), '\n');
  EXPECT_EQ(c.out.substr(c.out.size() - 2), "\n\n");
}

TEST(SetCommand, OverLongNamesAreRefused) {
  std::string nineteen(19, 'n'), twenty(20, 't');
  EXPECT_EQ(KAV_set_command(("set " + nineteen + "=1").c_str()), 1);
  EXPECT_STREQ(RES_get(nineteen.c_str()), "1");
  std::string err = kavtest::capture([&] {
                      EXPECT_EQ(KAV_set_command(("set " + twenty + "=1").c_str()), 1);
                    }).err;
  EXPECT_EQ(RES_get(twenty.c_str()), nullptr);
  EXPECT_EQ(RES_get(twenty.substr(0, 19).c_str()), nullptr);
  EXPECT_NE(err.find("KAV_set_command: resource name longer than 19 characters"),
            std::string::npos);
}

TEST(SetCommand, OrdinaryAnswersAreNotCommands) {
  for (const char *answer : {"hello", "42", "", "se", "ex", " set a=1", "exi"})
    EXPECT_EQ(KAV_set_command(answer), 0) << answer;
  EXPECT_EQ(KAV_set_command(nullptr), 0);
}

TEST(SetCommandDeathTest, ExitEndsTheProgramWithZero) {
  EXPECT_EXIT(KAV_set_command("exit"), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(KAV_set_command("EXIT now"), ::testing::ExitedWithCode(0), "");
}

TEST(SetCommand, PromptStoresAndAsksAgain) {
  float value = 0;
  kavtest::Captured c = kavtest::capture(
      [&] { kavtest::with_stdin("set prompted=yes\n42\n", [&] { value = KAV_promptf("T? "); }); });
  EXPECT_EQ(value, 42.0f);
  EXPECT_STREQ(RES_get("prompted"), "yes");
  EXPECT_EQ(c.out, "T? T? ");
}

TEST(SetCommand, WindchillPromptsTakeSetAndExit) {
  kavtest::RunResult r = kavtest::run({KAV_WINDCHILL_BIN}, "set table=yes\nset\nexit\n", {}, 20);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Set resources\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("table: yes\n"), std::string::npos) << r.out;
}

// ---- Foreground children ----

TEST(Run, ReturnsTheChildsExitCode) {
  EXPECT_EQ(run_sh("exit 0"), 0);
  EXPECT_EQ(run_sh("exit 7"), 7);
  EXPECT_EQ(run_sh("kill -TERM $$"), 128 + SIGTERM);
}

TEST(Run, ProgramThatDoesNotExistGivesTwo) {
  Argv argv{"kav-no-such-program"};
  int code = -1;
  std::string err =
      kavtest::capture([&] { code = KAV_run("kav-no-such-program", argv.get(), environ, 0); }).err;
  EXPECT_EQ(code, 2);
  EXPECT_EQ(err, "Running kav-no-such-program: No such file or directory\n");
}

TEST(Run, EnvironmentIsReplaced) {
  kavtest::ScopedEnv home("HOME", "/somewhere");
  Argv env{"KAVTEST_X=42", "PATH=/usr/bin:/bin"};
  Argv argv{"sh", "-c", "test \"$KAVTEST_X\" = 42 && test -z \"$HOME\""};
  // "sh" alone is found along the new environment's command path.
  EXPECT_EQ(KAV_run("sh", argv.get(), env.get(), 0), 0);
  EXPECT_EQ(run_sh("test -n \"$HOME\""), 0);  // null env keeps the current one
  Argv plain{"sh", "-c", "test \"$HOME\" = /somewhere"};
  EXPECT_EQ(KAV_run("/bin/sh", plain.get(), nullptr, 0), 0);
  EXPECT_EQ(KAV_run("/bin/true", nullptr, environ, 0), 0);
}

TEST(Run, InputAndOutputFilesReplaceTheStandardStreams) {
  kavtest::TempDir dir;
  std::string in = dir.write("in.txt", "typed input\n");
  std::string out = dir.write("out.txt", "an older and much longer text\n");
  KAV_set_infile(in.c_str());
  KAV_set_outfile(out.c_str());
  EXPECT_EQ(run_sh("cat"), 0);
  EXPECT_EQ(kavtest::read_file(out), "typed input\n");

  std::string created = dir.file("new.txt");
  mode_t mask = ::umask(022);
  KAV_set_outfile(created.c_str());
  EXPECT_EQ(run_sh("echo made"), 0);
  ::umask(mask);
  EXPECT_EQ(kavtest::read_file(created), "made\n");
  struct stat st;
  ASSERT_EQ(::stat(created.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);

  std::string err;
  KAV_set_outfile(dir.file("no/such/dir/out.txt").c_str());
  err = kavtest::capture([] { EXPECT_EQ(run_sh("echo lost"), 1); }).err;
  EXPECT_NE(err.find("KAV_run: Unable to open"), std::string::npos);
  KAV_set_outfile("");
  KAV_set_infile(dir.file("missing.txt").c_str());
  err = kavtest::capture([] { EXPECT_EQ(run_sh("cat"), 1); }).err;
  EXPECT_NE(err.find("missing.txt"), std::string::npos);
  KAV_set_infile(nullptr);

  // Without files the child keeps the parent's streams.
  std::string echoed = kavtest::capture([] { EXPECT_EQ(run_sh("echo to-parent"), 0); }).out;
  EXPECT_EQ(echoed, "to-parent\n");
}

TEST(Run, ChildrenGetTheDefaultInterruptAction) {
  struct sigaction ignore {
  }, old{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGINT, &ignore, &old);
  int code = run_sh("kill -INT $$; exit 0");
  int func_code = KAV_run_func([](void *) -> int { return raise(SIGINT) == 0 ? 0 : 5; }, nullptr);
  sigaction(SIGINT, &old, nullptr);
  EXPECT_EQ(code, 128 + SIGINT);
  EXPECT_EQ(func_code, 128 + SIGINT);
}

TEST(Run, DirectoryFlagChangesDirectoryFirst) {
  Argv argv{"x"};
  kavtest::capture(
      [&] { EXPECT_EQ(KAV_run("/kav-no-such-directory", argv.get(), environ, 1), 1); });
}

TEST(RunFunc, ReturnsTheFunctionsResult) {
  EXPECT_EQ(KAV_run_func([](void *) -> int { return 3; }, nullptr), 3);
  int seen = 0;
  EXPECT_EQ(KAV_run_func(
                [](void *arg) -> int {
                  // The child's copy changes; the parent's stays as it was.
                  *static_cast<int *>(arg) = 1;
                  return KAV_add_proc(12345, "child") >= 0 ? 0 : 1;
                },
                &seen),
            0);
  EXPECT_EQ(seen, 0);
  EXPECT_EQ(KAV_proc(12345), -1);
  EXPECT_EQ(KAV_run_func(nullptr, nullptr), -1);
}

// ---- Background children ----

TEST(Background, ChildReadsTheNullDeviceInItsOwnGroup) {
  NEED_BACKGROUND_STARTS(2);
  kavtest::TempDir dir;
  std::string out = dir.file("bg.txt");
  KAV_set_infile("");
  KAV_set_outfile(out.c_str());
  int slot = start_sh("readlink /proc/self/fd/0; cat /proc/self/stat");
  ASSERT_GE(slot, 0);
  int pid = KAV_proc_id(slot);
  EXPECT_STREQ(KAV_proc_name(slot), "sh");
  EXPECT_EQ(reap(pid), 0);
  KAV_clr_proc(slot);
  std::istringstream text(kavtest::read_file(out));
  std::string device, stat_line;
  std::getline(text, device);
  std::getline(text, stat_line);
  EXPECT_EQ(device, "/dev/null");
  // Fields after the name: state, parent, process group.
  std::istringstream fields(stat_line.substr(stat_line.rfind(')') + 1));
  std::string proc_state;
  int parent = 0, group = 0;
  fields >> proc_state >> parent >> group;
  EXPECT_EQ(group, pid);
  EXPECT_NE(group, static_cast<int>(getpgrp()));

  std::string in = dir.write("in.txt", "from the file\n");
  KAV_set_infile(in.c_str());
  slot = start_sh("cat");
  ASSERT_GE(slot, 0);
  EXPECT_EQ(reap(KAV_proc_id(slot)), 0);
  KAV_clr_proc(slot);
  EXPECT_EQ(kavtest::read_file(out), "from the file\n");
  KAV_set_infile("");
  KAV_set_outfile("");
}

TEST(Background, CheckFreesTheSlotOfAReapedChild) {
  NEED_BACKGROUND_STARTS(1);
  int slot = start_sh("exit 0");
  ASSERT_GE(slot, 0);
  int pid = KAV_proc_id(slot);
  EXPECT_EQ(KAV_chk_proc(slot), 1);  // running or not yet reaped
  EXPECT_EQ(reap(pid), 0);
  EXPECT_EQ(KAV_chk_proc(slot), 0);
  EXPECT_EQ(KAV_proc_id(slot), -1);
  EXPECT_EQ(KAV_chk_proc(slot), 0);
}

// Waits in a child until the process *arg has ended (a zombie, or already
// reaped by the waiting parent). 0 once it has, 1 after ten seconds.
int wait_until_zombie(void *arg) {
  std::string name = "/proc/" + std::to_string(*static_cast<int *>(arg)) + "/stat";
  for (int i = 0; i < 1000; ++i) {
    std::ifstream in(name);
    if (!in) return 0;
    std::string text;
    std::getline(in, text);
    size_t close = text.rfind(')');
    if (close != std::string::npos && text.compare(close + 1, 2, " Z") == 0) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return 1;
}

TEST(Background, ForegroundWaitFreesReapedBackgroundSlots) {
  NEED_BACKGROUND_STARTS(1);
  int slot = start_sh("exit 0");
  ASSERT_GE(slot, 0);
  int pid = KAV_proc_id(slot);
  EXPECT_EQ(KAV_run_func(wait_until_zombie, &pid), 0);
  EXPECT_EQ(KAV_proc_id(slot), -1);
  int status;
  EXPECT_EQ(::waitpid(pid, &status, WNOHANG), -1);
  KAV_clr_proc(slot);
}

// Fills the table with ten short children, reaps them and frees every slot,
// then tries an eleventh start. 0 when everything behaved, else the number of
// the failed step.
int eleven_starts() {
  if (KAV_numproc() != 0) return 1;
  std::vector<int> pids;
  for (int i = 0; i < KAV_MAX_PROC; ++i) {
    int slot = start_sh("exit 0");
    if (slot != i) return 2;
    pids.push_back(KAV_proc_id(slot));
  }
  for (int i = 0; i < KAV_MAX_PROC; ++i) {
    if (reap(pids[static_cast<size_t>(i)]) != 0) return 3;
    KAV_clr_proc(i);
  }
  if (KAV_numproc() != KAV_MAX_PROC) return 4;
  if (start_sh("exit 0") != 0) return 5;
  int status;
  if (::waitpid(-1, &status, WNOHANG) != -1 || errno != ECHILD) return 6;  // nothing started
  if (KAV_add_proc(1, "still") != 0) return 7;  // the table itself has room
  return 0;
}

TEST(BackgroundDeathTest, EleventhStartIsRefusedEvenWithFreeSlots) {
  // A fresh process, so that earlier cases have not used starts.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::_Exit(eleven_starts()), ::testing::ExitedWithCode(0), "");
}

// Detaches; the detached child writes what it sees into report and ends.
void detach_and_report(const std::string &report) {
  if (KAV_back_proc() != 1) std::_Exit(9);
  char in[64] = "", err[64] = "";
  if (readlink("/proc/self/fd/0", in, sizeof in - 1) < 0) in[0] = '\0';
  if (readlink("/proc/self/fd/2", err, sizeof err - 1) < 0) err[0] = '\0';
  struct sigaction sa {};
  sigaction(SIGINT, nullptr, &sa);
  std::string text = std::string(in) + " " + err + " " +
                     (getpgrp() == getpid() ? "own-group" : "shared-group") + " " +
                     (sa.sa_handler == SIG_DFL ? "default" : "changed") + "\n";
  std::string tmp = report + ".tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd >= 0) {
    ssize_t written = ::write(fd, text.data(), text.size());
    (void)written;
    ::close(fd);
    ::rename(tmp.c_str(), report.c_str());
  }
  std::_Exit(0);
}

TEST(BackProcDeathTest, DetachedChildCarriesOnWithNullStreams) {
  kavtest::TempDir dir;
  std::string report = dir.file("report.txt");
  EXPECT_EXIT(detach_and_report(report), ::testing::ExitedWithCode(0), "");
  std::string text;
  for (int i = 0; i < 1000 && text.empty(); ++i) {
    text = kavtest::read_file(report);
    if (text.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(text, "/dev/null /dev/null own-group default\n");
}

// ---- The table (after the background cases: filling it uses up starts) ----

TEST(ProcTable, SlotsFillFirstFreeAndKeepNames) {
  int a = KAV_add_proc(900001, "a-very-long-program-name");
  int b = KAV_add_proc(900002, "b");
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  EXPECT_NE(a, b);
  EXPECT_GT(KAV_numproc(), b);
  EXPECT_EQ(KAV_proc(900002), b);
  EXPECT_EQ(KAV_proc_id(a), 900001);
  EXPECT_STREQ(KAV_proc_name(a), "a-very-long-pr");
  int high = KAV_numproc();
  EXPECT_EQ(KAV_clr_proc(a), 0);
  EXPECT_EQ(KAV_proc(900001), -1);
  EXPECT_STREQ(KAV_proc_name(a), "");
  EXPECT_EQ(KAV_add_proc(900003, nullptr), a);
  EXPECT_EQ(KAV_numproc(), high);
  EXPECT_EQ(KAV_set_proc(a, 900004), 0);
  EXPECT_EQ(KAV_proc(900004), a);
  KAV_clr_proc(a);
  KAV_clr_proc(b);
  // Out-of-range slots read as free and change nothing.
  EXPECT_EQ(KAV_clr_proc(-1), 0);
  EXPECT_EQ(KAV_proc_id(KAV_MAX_PROC), -1);
  EXPECT_STREQ(KAV_proc_name(-5), "");
  EXPECT_EQ(KAV_set_proc(KAV_MAX_PROC, 1), -1);
  EXPECT_EQ(KAV_chk_proc(KAV_MAX_PROC), 0);
  EXPECT_EQ(KAV_proc(-1), -1);
}

TEST(ProcTable, FullTableRefusesASlot) {
  std::vector<int> taken;
  for (int i = 0; i < KAV_MAX_PROC; ++i) {
    int slot = KAV_add_proc(910000 + i, "x");
    if (slot >= 0) taken.push_back(slot);
  }
  EXPECT_EQ(KAV_add_proc(919999, "y"), -1);
  for (int slot : taken) KAV_clr_proc(slot);
}

TEST(ProcTable, NonPositiveIdsAreNotProbedAsGroups) {
  int slot = KAV_add_proc(920000, "fake");
  ASSERT_GE(slot, 0);
  KAV_set_proc(slot, 0);
  EXPECT_EQ(KAV_chk_proc(slot), 0);
  EXPECT_EQ(KAV_proc_id(slot), -1);
}

TEST(Process, PidIsTheRunningProgram) { EXPECT_EQ(KAV_get_pid(), static_cast<int>(getpid())); }

// ---- Timing and memory ----

TEST(Sleep, RefusesNothingToSleep) {
  EXPECT_EQ(KAV_sleep(0), -1);
  EXPECT_EQ(KAV_sleep(-1.5f), -1);
  EXPECT_EQ(KAV_sleep(std::numeric_limits<float>::quiet_NaN()), -1);
}

TEST(Sleep, PausesAtLeastTheTimeAsked) {
  double before = now_seconds();
  EXPECT_EQ(KAV_sleep(0.25f), 0);
  EXPECT_GE(now_seconds() - before, 0.25);
}

TEST(ElapseTime, LiesBetweenTheClockReadingsAroundIt) {
  // Different pauses put the microsecond parts on either side of the start,
  // so both the plain difference and the borrow are exercised.
  for (int i = 0; i < 8; ++i) {
    double t0 = now_seconds();
    KAV_init_time();
    double t1 = now_seconds();
    KAV_sleep(0.013f * static_cast<float>(i + 1));
    double t2 = now_seconds();
    double e = KAV_elapse_time();
    double t3 = now_seconds();
    EXPECT_GE(e, t2 - t1 - 1e-4) << i;
    EXPECT_LE(e, t3 - t0 + 1e-4) << i;
  }
  KAV_init_time();
  EXPECT_LT(KAV_elapse_time(), 0.5f);
}

TEST(VirtMem, AgreesWithTheProcessStatus) {
  long v = KAV_get_virt_mem();
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  statm >> pages;
  double reference = static_cast<double>(pages) * static_cast<double>(sysconf(_SC_PAGESIZE));
  EXPECT_GT(v, 0);
  EXPECT_LT(std::fabs(static_cast<double>(v) - reference), 64.0 * 1024 * 1024);
}

}  // namespace
