#include "support/kavtest.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

extern char **environ;

namespace kavtest {
namespace {

std::string temp_name(const char *tag) {
  const char *dir = std::getenv("TMPDIR");
  std::string t = std::string(dir && *dir ? dir : "/tmp") + "/kav-" + tag + "-XXXXXX";
  return t;
}

// Redirects one descriptor to a temporary file and restores it. The file is
// unlinked as soon as it is made, so that nothing is left behind even when
// the code under test ends the process inside the capture.
class Redirect {
 public:
  explicit Redirect(int fd) : fd_(fd) {
    std::string t = temp_name("cap");
    std::vector<char> buf(t.begin(), t.end());
    buf.push_back('\0');
    file_ = mkstemp(buf.data());
    if (file_ >= 0) unlink(buf.data());
    saved_ = dup(fd_);
    dup2(file_, fd_);
  }
  ~Redirect() {
    dup2(saved_, fd_);
    close(saved_);
    if (file_ >= 0) close(file_);
  }
  Redirect(const Redirect &) = delete;
  Redirect &operator=(const Redirect &) = delete;
  std::string text() const {
    std::string s;
    char buf[4096];
    off_t at = 0;
    for (;;) {
      ssize_t n = pread(file_, buf, sizeof buf, at);
      if (n <= 0) break;
      s.append(buf, static_cast<size_t>(n));
      at += n;
    }
    return s;
  }

 private:
  int fd_;
  int saved_;
  int file_ = -1;
};

std::string drain(int fd) {
  std::string s;
  char buf[4096];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0) {
      s.append(buf, static_cast<size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  return s;
}

}  // namespace

Captured capture(const std::function<void()> &fn) {
  std::fflush(nullptr);
  std::cout.flush();
  std::cerr.flush();
  Captured c;
  {
    Redirect out(1), err(2);
    fn();
    std::fflush(nullptr);
    std::cout.flush();
    std::cerr.flush();
    c.out = out.text();
    c.err = err.text();
  }
  return c;
}

void with_stdin(const std::string &input, const std::function<void()> &fn) {
  std::string t = temp_name("in");
  std::vector<char> buf(t.begin(), t.end());
  buf.push_back('\0');
  int tmp = mkstemp(buf.data());
  if (tmp >= 0) unlink(buf.data());  // nothing left behind, however the test ends
  if (write(tmp, input.data(), input.size()) < 0) {
    // the test will see an empty input
  }
  lseek(tmp, 0, SEEK_SET);
  // Drop whatever the stream buffered from the previous input, so that no
  // stale bytes answer the next read.
  std::fflush(stdin);
  int saved = dup(0);
  dup2(tmp, 0);
  close(tmp);
  clearerr(stdin);
  fn();
  std::fflush(stdin);
  dup2(saved, 0);
  close(saved);
  clearerr(stdin);
}

TempDir::TempDir() {
  std::string t = temp_name("dir");
  std::vector<char> buf(t.begin(), t.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data())) path_ = buf.data();
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::file(const std::string &name) const { return path_ + "/" + name; }

std::string TempDir::write(const std::string &name, const std::string &text) const {
  std::string full = file(name);
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(full).parent_path(), ec);
  std::ofstream(full, std::ios::binary) << text;
  return full;
}

long long utc(int y, int mo, int d, int h, int mi, int s) {
  struct tm tm = {};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  return static_cast<long long>(timegm(&tm));
}

std::string read_file(const std::string &name) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return {};
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

RunResult run(const std::vector<std::string> &argv, const std::string &input,
              const std::vector<std::string> &env, int timeout_s) {
  RunResult r;
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) || pipe(out_pipe) || pipe(err_pipe)) return r;

  std::vector<std::string> envs;
  for (char **e = environ; *e; ++e) {
    std::string kv = *e;
    std::string key = kv.substr(0, kv.find('='));
    bool replaced = false;
    for (const auto &x : env)
      if (x.substr(0, x.find('=')) == key) replaced = true;
    if (!replaced) envs.push_back(kv);
  }
  for (const auto &x : env) envs.push_back(x);

  pid_t pid = fork();
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]})
      close(fd);
    std::vector<char *> av, ev;
    for (const auto &a : argv) av.push_back(const_cast<char *>(a.c_str()));
    av.push_back(nullptr);
    for (const auto &e : envs) ev.push_back(const_cast<char *>(e.c_str()));
    ev.push_back(nullptr);
    execve(av[0], av.data(), ev.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);

  // Feed standard input from a thread so that a child writing much output
  // while we write cannot deadlock us.
  std::thread feeder([&] {
    signal(SIGPIPE, SIG_IGN);
    size_t off = 0;
    while (off < input.size()) {
      ssize_t n = ::write(in_pipe[1], input.data() + off, input.size() - off);
      if (n <= 0) break;
      off += static_cast<size_t>(n);
    }
    close(in_pipe[1]);
  });
  std::string err_text;
  std::thread err_reader([&] { err_text = drain(err_pipe[0]); });

  // Watchdog: kill the child when it runs past the time-out.
  bool done = false;
  std::thread watchdog([&] {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
    while (!__atomic_load_n(&done, __ATOMIC_SEQ_CST) && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!__atomic_load_n(&done, __ATOMIC_SEQ_CST)) kill(pid, SIGKILL);
  });
  r.out = drain(out_pipe[0]);
  err_reader.join();
  feeder.join();
  int status = 0;
  waitpid(pid, &status, 0);
  __atomic_store_n(&done, true, __ATOMIC_SEQ_CST);
  watchdog.join();
  close(out_pipe[0]);
  close(err_pipe[0]);
  r.err = err_text;
  if (WIFEXITED(status))
    r.status = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    r.status = 128 + WTERMSIG(status);
  return r;
}

ScopedEnv::ScopedEnv(const std::string &name, const char *value) : name_(name) {
  if (const char *o = std::getenv(name.c_str())) {
    had_ = true;
    old_ = o;
  }
  if (value)
    setenv(name.c_str(), value, 1);
  else
    unsetenv(name.c_str());
}

ScopedEnv::~ScopedEnv() {
  if (had_)
    setenv(name_.c_str(), old_.c_str(), 1);
  else
    unsetenv(name_.c_str());
}

// ---- Rows of the data tables ----

namespace {

std::string trimmed(const std::string &s) {
  const size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

std::vector<std::string> split_words(const std::string &line) {
  std::vector<std::string> out;
  size_t i = 0;
  for (;;) {
    i = line.find_first_not_of(" \t", i);
    if (i == std::string::npos) break;
    if (line[i] == '"') {
      const size_t close = line.find('"', i + 1);
      out.push_back(line.substr(i + 1, close == std::string::npos ? close : close - i - 1));
      i = close == std::string::npos ? line.size() : close + 1;
    } else {
      const size_t end = line.find_first_of(" \t", i);
      out.push_back(line.substr(i, end == std::string::npos ? end : end - i));
      i = end == std::string::npos ? line.size() : end;
    }
  }
  return out;
}

std::vector<std::string> split_bars(const std::string &line) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t bar = line.find('|', start);
    out.push_back(line.substr(start, bar == std::string::npos ? bar : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return out;
}

// The end of a bracketed column that starts at open: the first ']' followed
// by nothing but blanks before a '|' or the end of the line.
size_t bracket_end(const std::string &line, size_t open) {
  for (size_t close = line.find(']', open); close != std::string::npos;
       close = line.find(']', close + 1)) {
    const size_t next = line.find_first_not_of(" \t", close + 1);
    if (next == std::string::npos || line[next] == '|') return close;
  }
  return std::string::npos;
}

std::vector<std::string> split_columns(const std::string &line) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t first = line.find_first_not_of(" \t", start);
    size_t from = start;
    if (first != std::string::npos && line[first] == '[') {
      const size_t close = bracket_end(line, first);
      if (close != std::string::npos) from = close;
    }
    const size_t bar = line.find('|', from);
    out.push_back(trimmed(line.substr(start, bar == std::string::npos ? bar : bar - start)));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return out;
}

}  // namespace

std::string Row::where() const { return file + ":" + std::to_string(line); }

void PrintTo(const Row &row, std::ostream *os) {
  *os << row.where() << ":";
  for (const std::string &f : row.fields) *os << " [" << f << "]";
}

std::vector<Row> read_rows(const std::string &file, Split split) {
  std::vector<Row> rows;
  std::ifstream in(std::string(KAV_TEST_DATA) + "/" + file);
  int number = 0;
  for (std::string text; std::getline(in, text);) {
    ++number;
    if (split != Split::lines && (text.empty() || text[0] == '#')) continue;
    Row row{file, number, text, {}};
    switch (split) {
      case Split::lines:
        break;
      case Split::words:
        row.fields = split_words(text);
        break;
      case Split::bars:
        row.fields = split_bars(text);
        break;
      case Split::columns:
        row.fields = split_columns(text);
        break;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string row_test_name(int line, const std::string &label) {
  std::string name = "line" + std::to_string(line);
  if (!label.empty()) {
    name += '_';
    for (char c : label) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return name;
}

std::string substitute(std::string text,
                       const std::vector<std::pair<std::string, std::string>> &values) {
  for (const auto &[key, value] : values) {
    if (key.empty()) continue;
    for (size_t at = text.find(key); at != std::string::npos;
         at = text.find(key, at + value.size()))
      text.replace(at, key.size(), value);
  }
  return text;
}

std::vector<std::string> words_of(const std::string &text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::string read_block(const std::vector<Row> &lines, size_t *i) {
  std::string text;
  while (++*i < lines.size()) {
    const std::string &line = lines[*i].text;
    if (line == ">>") return text;
    if (line == ">>!") {
      if (!text.empty()) text.pop_back();
      return text;
    }
    text += line + "\n";
  }
  return text;
}

}  // namespace kavtest
