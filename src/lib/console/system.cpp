#include <fcntl.h>
#include <kav/mess.h>
#include <kav/string.h>
#include <kav/system.h>
#include <signal.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/fault.hpp"

extern char **environ;

namespace {

// The process and timing state: one instance for the process. Children get a
// copy that lives only until they execute another program.
struct ProcState {
  std::array<proc_item, KAV_MAX_PROC> procs;  // the background children
  int num_proc = 0;                           // one more than the highest slot ever filled
  std::string proc_infile;                    // standard input of started programs ("" = none)
  std::string proc_outfile;                   // standard output of started programs ("" = none)
  struct timeval start {};                    // when KAV_init_time ran
  struct timeval current {};                  // the last clock reading of KAV_elapse_time
  float elapse = 0;                           // seconds slept through KAV_sleep since then

  ProcState() {
    for (proc_item &p : procs) {
      p.index = 0;
      p.name[0] = '\0';
      p.id = -1;
    }
  }
};

ProcState &state() {
  static ProcState s;
  return s;
}

bool in_range(int proc) { return proc >= 0 && proc < KAV_MAX_PROC; }

// The longest resource name "set" accepts.

// The exit code of a reaped child; a signal that ended it counts as
// 128 + its number, as shells report it.
int exit_code(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Waits for the child pid, freeing the table slot of every other child reaped
// on the way. Its exit code, or -1 when the wait fails.
int wait_for(pid_t pid, const char *who) {
  for (;;) {
    int status = 0;
    pid_t reaped = ::wait(&status);
    if (reaped < 0) {
      if (errno == EINTR) continue;
      MESS_print(M_ERROR, "%s: Unable to wait for process %d: %s\n", who, static_cast<int>(pid),
                 std::strerror(errno));
      return -1;
    }
    if (reaped == pid) return exit_code(status);
    KAV_clr_proc(KAV_proc(static_cast<int>(reaped)));
  }
}

// Creates a child with the standard streams flushed first, so that nothing
// buffered is written twice. -1 (reported) when no child can be created.
pid_t fork_child(const char *who) {
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid < 0)
    MESS_print(M_ERROR, "%s: Unable to create a process: %s\n", who, std::strerror(errno));
  return pid;
}

// In a child: opens name with flags as descriptor target. False (reported)
// when it cannot be opened.
bool replace_fd(int target, const char *name, int flags) {
  int fd = ::open(name, flags, 0666);
  if (fd < 0) {
    MESS_print(M_ERROR, "KAV_run: Unable to open %s: %s\n", name, std::strerror(errno));
    return false;
  }
  if (fd != target) {
    ::dup2(fd, target);
    ::close(fd);
  }
  return true;
}

// The child's side of KAV_run; never returns.
[[noreturn]] void run_child(const char *filename, char *const argv[], char *const env[], int flag) {
  const ProcState &s = state();
  ::signal(SIGINT, SIG_DFL);
  if ((flag & 1) && ::chdir(filename) != 0) {
    MESS_print(M_ERROR, "KAV_run: Unable to change directory to %s: %s\n", filename,
               std::strerror(errno));
    ::_exit(1);
  }
  const int out_flags = O_WRONLY | O_CREAT | O_TRUNC;
  if (flag & 2) {
    const char *in = s.proc_infile.empty() ? "/dev/null" : s.proc_infile.c_str();
    if (!replace_fd(STDIN_FILENO, in, O_RDONLY)) ::_exit(1);
    if (!s.proc_outfile.empty() && !replace_fd(STDOUT_FILENO, s.proc_outfile.c_str(), out_flags))
      ::_exit(1);
    ::setpgid(0, 0);
  } else {
    if (!s.proc_infile.empty() && !replace_fd(STDIN_FILENO, s.proc_infile.c_str(), O_RDONLY))
      ::_exit(1);
    if (!s.proc_outfile.empty() && !replace_fd(STDOUT_FILENO, s.proc_outfile.c_str(), out_flags))
      ::_exit(1);
  }
  char *const name_only[] = {const_cast<char *>(filename), nullptr};
  if (env) environ = const_cast<char **>(env);
  ::execvp(filename, argv ? argv : name_only);
  MESS_print(M_ERROR, "Running %s: %s\n", filename, std::strerror(errno));
  ::_exit(2);
}

}  // namespace

extern "C" {

void KAV_exit(int status) KAV_NOEXCEPT {
  // Output that never arrived is a failure, as for cat and printf: a full
  // disc, a closed standard output.
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  if (!flushed || std::ferror(stdout)) {
    MESS_print(M_ERROR, "KAV_exit: Unable to write standard output: %s\n",
               !flushed && errno ? std::strerror(errno) : "write error");
    if (status == 0) status = KAV_EXIT_OUTPUT;
  }
  std::exit(status);
}

int KAV_add_proc(int pid, const char *name) KAV_NOEXCEPT {
  ProcState &s = state();
  for (int i = 0; i < KAV_MAX_PROC; ++i) {
    proc_item &p = s.procs[static_cast<size_t>(i)];
    if (p.id != -1) continue;
    p.id = pid;
    std::snprintf(p.name, sizeof p.name, "%s", name ? name : "");
    if (i >= s.num_proc) ++s.num_proc;
    return i;
  }
  return -1;
}

int KAV_numproc(void) KAV_NOEXCEPT { return state().num_proc; }

int KAV_proc(int pid) KAV_NOEXCEPT {
  if (pid == -1) return -1;
  const ProcState &s = state();
  for (int i = 0; i < KAV_MAX_PROC; ++i)
    if (s.procs[static_cast<size_t>(i)].id == pid) return i;
  return -1;
}

int KAV_proc_id(int proc) KAV_NOEXCEPT {
  return in_range(proc) ? state().procs[static_cast<size_t>(proc)].id : -1;
}

const char *KAV_proc_name(int proc) KAV_NOEXCEPT {
  return in_range(proc) ? state().procs[static_cast<size_t>(proc)].name : "";
}

int KAV_set_proc(int proc, int value) KAV_NOEXCEPT {
  if (!in_range(proc)) return -1;
  state().procs[static_cast<size_t>(proc)].id = value;
  return 0;
}

int KAV_clr_proc(int proc) KAV_NOEXCEPT {
  if (!in_range(proc)) return 0;
  proc_item &p = state().procs[static_cast<size_t>(proc)];
  p.id = -1;
  p.name[0] = '\0';
  return 0;
}

int KAV_chk_proc(int proc) KAV_NOEXCEPT {
  if (!in_range(proc)) return 0;
  int id = state().procs[static_cast<size_t>(proc)].id;
  if (id == -1) return 0;
  // Ids of 0 and below would probe process groups, not one process.
  if (id > 0 && (::kill(id, 0) == 0 || errno == EPERM)) return 1;
  KAV_clr_proc(proc);
  return 0;
}

int KAV_set_infile(const char *name) KAV_NOEXCEPT {
  state().proc_infile = name ? name : "";
  return 1;
}

int KAV_set_outfile(const char *name) KAV_NOEXCEPT {
  state().proc_outfile = name ? name : "";
  return 1;
}

int KAV_run(const char *filename, char *const argv[], char *const env[], int flag) KAV_NOEXCEPT {
  if ((flag & 2) && state().num_proc >= KAV_MAX_PROC) return 0;
  if (!filename || !*filename) {
    MESS_print(M_ERROR, "KAV_run: No program to run\n");
    return -1;
  }
  pid_t pid = fork_child("KAV_run");
  if (pid < 0) return -1;
  if (pid == 0) run_child(filename, argv, env, flag);
  if (flag & 2) return KAV_add_proc(static_cast<int>(pid), argv && argv[0] ? argv[0] : filename);
  return wait_for(pid, "KAV_run");
}

int KAV_run_func(int (*func)(void *), void *arg) KAV_NOEXCEPT {
  if (!func) return -1;
  pid_t pid = fork_child("KAV_run_func");
  if (pid < 0) return -1;
  if (pid == 0) {
    ::signal(SIGINT, SIG_DFL);
    int result = func(arg);
    std::fflush(nullptr);
    ::_exit(result);
  }
  return wait_for(pid, "KAV_run_func");
}

int KAV_back_proc(void) KAV_NOEXCEPT {
  // The null device is opened before the parent leaves, so that a failure
  // leaves the program running attached rather than without its streams.
  int null_fd = ::open("/dev/null", O_RDWR);
  if (null_fd < 0) {
    MESS_print(M_ERROR, "KAV_back_proc: Unable to open /dev/null: %s\n", std::strerror(errno));
    return 0;
  }
  pid_t pid = fork_child("KAV_back_proc");
  if (pid < 0) {
    ::close(null_fd);
    return 0;
  }
  if (pid > 0) KAV_exit(0);
  ::signal(SIGINT, SIG_DFL);
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) ::dup2(null_fd, fd);
  if (null_fd > STDERR_FILENO) ::close(null_fd);
  ::setpgid(0, 0);
  return 1;
}

int KAV_get_pid(void) KAV_NOEXCEPT { return static_cast<int>(::getpid()); }

int KAV_sleep(float secs) KAV_NOEXCEPT {
  if (!(secs > 0)) return -1;
  state().elapse += secs;
  double usec = static_cast<double>(secs) * 1e6;
  long long whole = usec >= 9.0e18 ? LLONG_MAX : static_cast<long long>(usec);
  struct timespec ts;
  ts.tv_sec = static_cast<time_t>(whole / 1000000);
  ts.tv_nsec = static_cast<long>(whole % 1000000) * 1000;
  while (::nanosleep(&ts, &ts) == -1 && errno == EINTR) {
  }
  return 0;
}

int KAV_init_time(void) KAV_NOEXCEPT {
  ProcState &s = state();
  ::gettimeofday(&s.start, nullptr);
  s.elapse = 0;
  return 0;
}

float KAV_elapse_time(void) KAV_NOEXCEPT {
  ProcState &s = state();
  ::gettimeofday(&s.current, nullptr);
  if (s.current.tv_usec == 0) return s.elapse;
  long sec = static_cast<long>(s.current.tv_sec - s.start.tv_sec);
  long usec = static_cast<long>(s.current.tv_usec - s.start.tv_usec);
  if (usec < 0) {
    usec += 1000000;
    --sec;
  }
  return static_cast<float>(sec) + static_cast<float>(usec) / 1000000.0f;
}

long KAV_get_virt_mem(void) KAV_NOEXCEPT {
  char name[64];
  std::snprintf(name, sizeof name, "/proc/%d/stat", KAV_get_pid());
  std::FILE *f = kav::fault::open(name, "r");
  if (!f) return 0;
  // The line is a few hundred bytes (the program name in it is at most 16
  // characters): a fixed buffer holds it, and the heap is not needed.
  char text[4096];
  const size_t n = std::fread(text, 1, sizeof text - 1, f);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    MESS_print(M_WARN, "KAV_get_virt_mem: Unable to read file: %s\n", name);
    return 0;
  }
  text[n] = '\0';
  // The second field, the program name in parentheses, may hold blanks:
  // fields are counted from the last ')'.
  const char *close = std::strrchr(text, ')');
  if (!close) return 0;
  const char *p = close + 1;
  for (int field = 3; field <= 23; ++field) {
    while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (!*p) return 0;
    if (field == 23) return std::strtol(p, nullptr, 10);
    while (*p && !std::isspace(static_cast<unsigned char>(*p))) ++p;
  }
  return 0;
}

}  // extern "C"
