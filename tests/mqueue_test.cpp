// The display-window channel on both transports, against the kavwin test
// server in a child process and against raw peers that misbehave.
//
// Queue keys are unique to this run (an offset made from the process id) and
// every queue in that range is removed after each test and at exit, even when
// a test fails. Sockets use 127.0.0.1 only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <kav/mqueue.h>
#include <kav/resrc.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/channel.h"
#include "support/kavtest.h"
#include "support/loopback.h"

namespace {

using kavtest::free_ports;
using kavtest::kavwin_path;
using kavtest::loopback_connect;
using kavtest::loopback_listen;
using kavtest::queue_base;
using kavtest::remove_queues;
using kavtest::Server;

void raw_send(int fd, const std::string &bytes) {
  ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
}

std::string frame(const std::string &text) {
  return std::string(1, static_cast<char>(text.size())) + text;
}

// Selects the socket transport on a free port of this run: the port, or -1.
int socket_channel() {
  int p = free_ports(1);
  if (p <= 0) return -1;
  MQ_settype(1);
  MQ_offset(p);
  return p;
}

int g_timeouts = 0;
void count_timeout(int) { ++g_timeouts; }

// Each test starts from the default channel settings on this run's keys.
class ChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MQ_settype(0);
    MQ_offset(queue_base());
    MQ_timeout(20);
    MQ_timeout_func(nullptr);
    MQ_disable_alarm();  // no watchdog left armed by a test before
    g_timeouts = 0;
  }
  void TearDown() override {
    MQ_disable_alarm();
    MQ_del(-1);
    MQ_settype(1);
    MQ_del(-1);
    MQ_settype(0);
    remove_queues();
  }
};

// Both transports against kavwin: transport and the matching kavwin options.
class TransportTest : public ChannelTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    ChannelTest::SetUp();
    MQ_settype(GetParam());
    if (GetParam() == 0) {
      num_ = 100;
      offset_ = queue_base();
    } else {
      num_ = 100;
      offset_ = free_ports(1) - num_;
      ASSERT_GT(offset_, 0);
    }
    MQ_offset(offset_);
  }
  std::vector<std::string> server_args(std::vector<std::string> extra) const {
    std::vector<std::string> a = {"-t", GetParam() ? "socket" : "mqueue",
                                  "-o", std::to_string(offset_),
                                  "-k", std::to_string(num_),
                                  "-i", "20"};
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  }
  int open_channel() {
    int q = MQ_open(num_);
    EXPECT_GE(q, 0) << "MQ_open failed: " << std::strerror(errno);
    return q;
  }
  // Drops a client connection: only sockets have one (MQ_del on a queue
  // would remove the server's queue).
  void drop(int q) {
    if (GetParam() == 1) MQ_del(q);
  }
  int num_ = 0;
  int offset_ = 0;
};

TEST_P(TransportTest, IdsAreHandedOutFromThreeAndReusedAfterANegativeFlag) {
  Server srv(server_args({}));
  ASSERT_TRUE(srv.ready()) << srv.stop();
  int q = open_channel();
  EXPECT_EQ(MQ_connect(q), 3);
  EXPECT_EQ(MQ_connect(q), 4);
  char item[MQ_ITEMLEN];
  ASSERT_GE(MQ_put(q, 3, "quit"), 0);
  EXPECT_EQ(MQ_get(q, 3, item), -3);  // the server closed id 3 with "-"
  drop(q);
  q = open_channel();
  EXPECT_EQ(MQ_connect(q), 3);
  EXPECT_EQ(MQ_connect(q), 5);
  std::string out = srv.stop();
  EXPECT_NE(out.find("kavwin: 3: quit"), std::string::npos) << out;
}

TEST_P(TransportTest, QueriesAndSetsResources) {
  Server srv(server_args({"color=red", "empty="}));
  ASSERT_TRUE(srv.ready()) << srv.stop();
  int q = open_channel();
  int id = MQ_connect(q);
  ASSERT_EQ(id, 3);
  char item[MQ_ITEMLEN];
  ASSERT_GE(MQ_put(q, id, "query res %s", "color"), 0);
  EXPECT_EQ(MQ_get(q, id, item), 0);
  EXPECT_STREQ(item, "red\n");
  EXPECT_EQ(MQ_get(q, id, item), 1);
  EXPECT_STREQ(item, "");

  ASSERT_GE(MQ_put(q, id, "query res %s", "missing"), 0);
  EXPECT_EQ(MQ_get(q, id, item), 1);

  ASSERT_GE(MQ_put(q, id, "set res %s %s", "color", "deep blue"), 0);
  EXPECT_EQ(MQ_get(q, id, item), 1);
  ASSERT_GE(MQ_put(q, id, "query res color"), 0);
  EXPECT_EQ(MQ_get(q, id, item), 0);
  EXPECT_STREQ(item, "deep blue\n");
  EXPECT_EQ(MQ_get(q, id, item), 1);

  ASSERT_GE(MQ_put(q, id, "bogus"), 0);
  EXPECT_EQ(MQ_get(q, id, item), 1);
  EXPECT_EQ(item[0], '!');
  std::string out = srv.stop();
  EXPECT_NE(out.find("kavwin: 3: set res color deep blue"), std::string::npos) << out;
}

TEST_P(TransportTest, A118CharacterMessagePassesWholeBothWaysAndLongerIsRefused) {
  const std::string back(117, 'r');  // answered with its line end: 118
  Server srv(server_args({"long=" + back}));
  ASSERT_TRUE(srv.ready()) << srv.stop();
  int q = open_channel();
  int id = MQ_connect(q);
  ASSERT_EQ(id, 3);
  char item[MQ_ITEMLEN + 8];
  std::memset(item, 'Z', sizeof item);

  const std::string value(108, 'v');  // "set res x " + 108 = 118
  ASSERT_EQ(std::string("set res x " + value).size(), 118u);
  ASSERT_GE(MQ_put(q, id, "set res x %s", value.c_str()), 0);
  EXPECT_EQ(MQ_get(q, id, item), 1);

  auto cap = kavtest::capture(
      [&] { EXPECT_EQ(MQ_put(q, id, "set res y %s", (value + "w").c_str()), -1); });
  EXPECT_NE(cap.err.find("MQ_put"), std::string::npos);

  ASSERT_GE(MQ_put(q, id, "query res long"), 0);
  EXPECT_EQ(MQ_get(q, id, item), 0);
  EXPECT_EQ(std::string(item), back + "\n");
  EXPECT_EQ(item[MQ_ITEMLEN], 'Z');  // nothing written past the buffer
  EXPECT_EQ(MQ_get(q, id, item), 1);

  // The refused message never reached the server; the accepted one did whole.
  std::string out = srv.stop();
  EXPECT_NE(out.find("kavwin: 3: set res x " + value + "\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("set res y"), std::string::npos) << out;
}

TEST_P(TransportTest, ASilentServerEndsTheWaitAtTheTimeOut) {
  Server srv(server_args({"-m"}));
  ASSERT_TRUE(srv.ready()) << srv.stop();
  MQ_timeout(1);
  MQ_timeout_func(count_timeout);
  int q = open_channel();
  int id = MQ_connect(q);
  ASSERT_EQ(id, 3);
  ASSERT_GE(MQ_put(q, id, "query res color"), 0);
  char item[MQ_ITEMLEN];
  EXPECT_EQ(MQ_get(q, id, item), -1);
  EXPECT_STREQ(item, "");
  EXPECT_GE(g_timeouts, 1);
}

TEST_P(TransportTest, ANoServerChannelIsReportedAtOpen) {
  errno = 0;
  EXPECT_EQ(MQ_open(num_), -1);
  if (GetParam() == 0) {
    EXPECT_EQ(errno, ENOENT);
  }
}

TEST_P(TransportTest, CreateOnAChannelInUseFails) {
  Server srv(server_args({}));
  ASSERT_TRUE(srv.ready()) << srv.stop();
  EXPECT_EQ(MQ_create(num_), -1);
  EXPECT_EQ(MQ_create(-1), -2);
  // A second test server on the same channel refuses to start.
  auto args = server_args({});
  args.insert(args.begin(), kavwin_path());
  auto r = kavtest::run(args, "", {}, 10);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("kavwin: cannot create"), std::string::npos);
}

std::string transport_name(const ::testing::TestParamInfo<int> &p) {
  return p.param ? "socket" : "mqueue";
}

INSTANTIATE_TEST_SUITE_P(Transports, TransportTest, ::testing::Values(0, 1), transport_name);

TEST_F(ChannelTest, FindGivesTheFirstFreeQueue) {
  ASSERT_GE(MQ_create(100), 0);
  ASSERT_GE(MQ_create(101), 0);
  EXPECT_EQ(MQ_find(100), 102);
  EXPECT_EQ(MQ_find(102), 102);
}

TEST_F(ChannelTest, FindGivesTheFirstFreePort) {
  int p = free_ports(3);
  ASSERT_GT(p, 0);
  MQ_settype(1);
  MQ_offset(p - 100);
  int a = loopback_listen(p), b = loopback_listen(p + 1);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  EXPECT_EQ(MQ_find(100), 102);
  close(a);
  close(b);
}

TEST_F(ChannelTest, CreateOnAnExistingQueueFailsAndKeyZeroIsNeverPrivate) {
  int id = MQ_create(7);
  ASSERT_GE(id, 0);
  EXPECT_EQ(MQ_create(7), -1);
  EXPECT_EQ(MQ_open(7), id);
  // Key 0 would make a private queue that nobody else can find.
  MQ_offset(0);
  EXPECT_EQ(MQ_create(0), -1);
  errno = 0;
  EXPECT_EQ(MQ_open(0), -1);
  EXPECT_EQ(errno, ENOENT);
}

TEST_F(ChannelTest, ServerRefusesTheTwentiethClientAtOnce) {
  // Server and clients share one process and one queue.
  int q = MQ_create(30);
  ASSERT_GE(q, 0);
  char item[MQ_ITEMLEN];
  int id = 0;
  for (int want = 3; want <= 21; ++want) {
    ASSERT_GE(MQ_put(q, -1, "%d", 1000), 0);
    ASSERT_EQ(MQ_sget(q, &id, item), 2);
    EXPECT_EQ(id, want);
    EXPECT_EQ(MQ_get(q, 2, item), 2);
    EXPECT_EQ(std::atoi(item), want);
  }
  ASSERT_GE(MQ_put(q, -1, "%d", 1000), 0);
  kavtest::Captured cap = kavtest::capture([&] { EXPECT_EQ(MQ_sget(q, &id, item), 2); });
  EXPECT_EQ(id, -1);
  EXPECT_NE(cap.err.find("MQ_sget"), std::string::npos);
  EXPECT_EQ(MQ_get(q, 2, item), -1);  // the refusal, flag "/"
  // Closing id 5 frees it for the next request.
  EXPECT_GE(MQ_sput(q, 5, -1, "bye"), 0);
  EXPECT_EQ(MQ_get(q, 5, item), -1);
  EXPECT_STREQ(item, "bye");
  ASSERT_GE(MQ_put(q, -1, "%d", 1000), 0);
  EXPECT_EQ(MQ_sget(q, &id, item), 2);
  EXPECT_EQ(id, 5);
}

TEST_F(ChannelTest, ServerSendChecksItsArguments) {
  int q = MQ_create(31);
  ASSERT_GE(q, 0);
  int id = 0;
  char item[MQ_ITEMLEN];
  EXPECT_EQ(MQ_sget(-1, &id, item), -1);
  EXPECT_LE(MQ_sget(q, &id, item), 0);  // nothing there
  EXPECT_EQ(MQ_sput(-1, 3, 0, "x"), -1);
  EXPECT_EQ(MQ_sput(q, -3, 0, "x"), -1);
  EXPECT_EQ(MQ_sput(q, 3, 0, "x"), -1);    // not in use
  EXPECT_EQ(MQ_sput(q, 400, 0, "x"), -1);  // no such id
  ASSERT_GE(MQ_put(q, -1, "1"), 0);
  ASSERT_EQ(MQ_sget(q, &id, item), 2);
  ASSERT_EQ(MQ_get(q, 2, item), 2);
  const std::string full(MQ_MAXMSG, 's');
  EXPECT_EQ(MQ_sput(q, 3, 0, "%s", full.c_str()), 0);
  EXPECT_EQ(MQ_get(q, 3, item), 0);
  EXPECT_EQ(item, full);
  auto cap = kavtest::capture([&] { EXPECT_EQ(MQ_sput(q, 3, 0, "%sx", full.c_str()), -1); });
  EXPECT_NE(cap.err.find("MQ_sput"), std::string::npos);
  // A client message from id 3 reaches the server with its id.
  ASSERT_GE(MQ_put(q, 3, "hello %d", 42), 0);
  EXPECT_EQ(MQ_sget(q, &id, item), 1);
  EXPECT_EQ(id, 3);
  EXPECT_STREQ(item, "hello 42");
  MQ_del(q);
  EXPECT_EQ(MQ_open(31), -1);
}

TEST_F(ChannelTest, DefaultTimeOutHandlerEndsTheProgramWithSeven) {
  int q = MQ_create(32);
  ASSERT_GE(q, 0);
  MQ_timeout(1);
  char item[MQ_ITEMLEN];
  EXPECT_EXIT(MQ_get(q, 3, item), ::testing::ExitedWithCode(7), "Queue not responding!!");
}

TEST_F(ChannelTest, AChildThatEndsLeavesThisRunsQueuesAlone) {
  const int q = MQ_create(34);
  ASSERT_GE(q, 0);
  EXPECT_EXIT(std::exit(0), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(std::abort(), ::testing::KilledBySignal(SIGABRT), "");
  EXPECT_EQ(MQ_open(34), q);
}

TEST_F(ChannelTest, ConnectToAChannelNobodyServesGivesUpAtTheTimeOut) {
  MQ_timeout(1);
  MQ_timeout_func(count_timeout);
  // A queue left behind by a window that has gone.
  int q = MQ_create(33);
  ASSERT_GE(q, 0);
  EXPECT_EQ(MQ_connect(q), -1);
  EXPECT_EQ(g_timeouts, 1);
  // A port that accepts connections but never answers.
  int p = socket_channel();
  ASSERT_GT(p, 0);
  int lfd = loopback_listen(p);
  ASSERT_GE(lfd, 0);
  ASSERT_EQ(MQ_open(0), 1);
  EXPECT_EQ(MQ_connect(1), -1);
  EXPECT_EQ(g_timeouts, 2);
  close(lfd);
}

TEST_F(ChannelTest, OpenGivesUpAtTheTimeOutWhenTheWindowStopsAccepting) {
  int p = socket_channel();
  ASSERT_GT(p, 0);
  MQ_timeout(1);
  int lfd = loopback_listen(p);
  ASSERT_GE(lfd, 0);
  ASSERT_EQ(listen(lfd, 0), 0);  // the smallest backlog, never accepted from
  // Fill the backlog with connections nobody accepts.
  std::vector<int> pending;
  for (int i = 0; i < 8; ++i) {
    pending.push_back(loopback_connect(p, SOCK_NONBLOCK));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(MQ_open(0), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  for (int fd : pending) close(fd);
  close(lfd);
}

TEST_F(ChannelTest, ClientRejectsABadFrameWithoutReadingPastIt) {
  int p = socket_channel();
  ASSERT_GT(p, 0);
  int lfd = loopback_listen(p);
  ASSERT_GE(lfd, 0);
  ASSERT_EQ(MQ_open(0), 1);
  int peer = accept(lfd, nullptr, nullptr);
  ASSERT_GE(peer, 0);
  char item[MQ_ITEMLEN + 8];
  std::memset(item, 'Z', sizeof item);

  // A length of 200: the body is read and rejected, and the stream stays in
  // step for the next frame.
  raw_send(peer, std::string(1, static_cast<char>(200)) + std::string(200, 'b'));
  raw_send(peer, frame("0fine"));
  auto cap = kavtest::capture([&] { EXPECT_EQ(MQ_get(1, 3, item), -1); });
  EXPECT_NE(cap.err.find("MQ_get"), std::string::npos);
  EXPECT_EQ(item[MQ_ITEMLEN], 'Z');
  EXPECT_EQ(MQ_get(1, 3, item), 0);
  EXPECT_STREQ(item, "fine");

  // A length of 0 is rejected too.
  raw_send(peer, std::string(1, '\0'));
  kavtest::capture([&] { EXPECT_EQ(MQ_get(1, 3, item), -1); });

  // A frame cut short by a peer that then goes away fails at once.
  raw_send(peer, std::string(1, static_cast<char>(50)) + "1abc");
  close(peer);
  MQ_timeout(30);
  EXPECT_EQ(MQ_get(1, 3, item), -1);
  EXPECT_EQ(MQ_get(1, 3, item), -1);  // and the end of the stream likewise
  close(lfd);
}

TEST_F(ChannelTest, ServerDropsBadFramesAndServesTheNextClient) {
  int p = socket_channel();
  ASSERT_GT(p, 0);
  ASSERT_EQ(MQ_create(0), 1);
  int c = loopback_connect(p);
  ASSERT_GE(c, 0);
  raw_send(c, std::string(1, static_cast<char>(250)) + std::string(250, '/'));
  raw_send(c, frame("/1000"));
  int id = 0;
  char item[MQ_ITEMLEN];
  int got = 0;
  std::string err;
  for (int i = 0; i < 200 && got != 2; ++i) {
    err += kavtest::capture([&] { got = MQ_sget(1, &id, item); }).err;
    if (got != 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(got, 2);
  EXPECT_EQ(id, 3);
  EXPECT_NE(err.find("MQ_sget"), std::string::npos);
  char answer[3];
  ASSERT_EQ(recv(c, answer, 3, MSG_WAITALL), 3);
  EXPECT_EQ(std::string(answer, 3), frame("23"));
  close(c);
  // The server notices the disconnect, then accepts the next client.
  for (int i = 0; i < 100 && MQ_sget(1, &id, item) != -1; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  c = loopback_connect(p);
  ASSERT_GE(c, 0);
  raw_send(c, frame("4hi"));
  got = 0;
  for (int i = 0; i < 200 && got != 1; ++i) {
    got = MQ_sget(1, &id, item);
    if (got != 1) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(got, 1);
  EXPECT_EQ(id, 4);
  EXPECT_STREQ(item, "hi");
  close(c);
}

TEST_F(ChannelTest, ParamsSetTheTimeOutAndTheTransport) {
  RES_put("parameter", "wctemp,TO=5,qtype=sock");
  MQ_params();
  MQ_enable_alarm();
  EXPECT_EQ(alarm(0), 5u);
  int p = free_ports(1);
  ASSERT_GT(p, 0);
  MQ_offset(p);
  ASSERT_EQ(MQ_create(0), 1);  // a listening socket now, not a queue
  int c = loopback_connect(p);
  EXPECT_GE(c, 0);
  if (c >= 0) close(c);

  RES_put("parameter", "to=abc,qtype=mqueue");
  auto cap = kavtest::capture([] { MQ_params(); });
  EXPECT_NE(cap.err.find("MQ_params"), std::string::npos);
  MQ_enable_alarm();
  EXPECT_EQ(alarm(0), 5u);
  MQ_offset(queue_base());
  EXPECT_GE(MQ_create(40), 0);
  EXPECT_GE(msgget(static_cast<key_t>(queue_base() + 40), 0), 0);
  RES_put("parameter", "");
}

// Another user's queue could answer as the window: it is refused. Only root
// can give a queue away, so the case runs only there.
TEST_F(ChannelTest, ForeignQueueIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a queue to another user";
  int id = MQ_create(41);
  ASSERT_GE(id, 0);
  msqid_ds ds{};
  ASSERT_EQ(msgctl(id, IPC_STAT, &ds), 0);
  ds.msg_perm.uid = 65534;
  ASSERT_EQ(msgctl(id, IPC_SET, &ds), 0);
  int got = 0;
  int err = 0;
  auto cap = kavtest::capture([&] {
    errno = 0;
    got = MQ_open(41);
    err = errno;
  });
  EXPECT_EQ(got, -1);
  EXPECT_EQ(err, EACCES);
  EXPECT_EQ(cap.err, "MQ_open: queue 41 belongs to another user; not used\n");
  ds.msg_perm.uid = 0;
  msgctl(id, IPC_SET, &ds);
  EXPECT_EQ(MQ_open(41), id);  // the user's own queue is used
}

TEST_F(ChannelTest, CreatedQueuesAreTheOwnersAlone) {
  int id = MQ_create(42);
  ASSERT_GE(id, 0);
  msqid_ds ds{};
  ASSERT_EQ(msgctl(id, IPC_STAT, &ds), 0);
  EXPECT_EQ(ds.msg_perm.mode & 0777, 0600u);
}

int g_caller_alarms = 0;
void caller_alarm(int) { ++g_caller_alarms; }

// A wait borrows the alarm: the caller's handler and alarm come back after it,
// whether the window answered or was not there at all.
TEST_F(ChannelTest, WaitsGiveBackTheCallersAlarm) {
  struct sigaction mine {
  }, old{};
  mine.sa_handler = caller_alarm;
  sigemptyset(&mine.sa_mask);
  ASSERT_EQ(sigaction(SIGALRM, &mine, &old), 0);
  alarm(50);
  EXPECT_EQ(MQ_open(43), -1);  // no such queue
  MQ_enable_alarm();
  MQ_disable_alarm();
  struct sigaction now {};
  sigaction(SIGALRM, nullptr, &now);
  EXPECT_EQ(now.sa_handler, &caller_alarm);
  unsigned left = alarm(0);
  EXPECT_GE(left, 48u);
  EXPECT_LE(left, 50u);

  // The whole exchange of RES_init with a window that is not running.
  alarm(50);
  char prog[] = "prog", df[] = "-df", path[] = "#43";
  char *argv[] = {prog, df, path, nullptr};
  const res_type none[] = {RES_null};
  kavtest::capture([&] { RES_init(3, argv, none, none); });
  sigaction(SIGALRM, nullptr, &now);
  EXPECT_EQ(now.sa_handler, &caller_alarm);
  left = alarm(0);
  EXPECT_GE(left, 48u);
  g_caller_alarms = 0;
  alarm(1);
  pause();  // the caller's handler runs: the program is not ended
  EXPECT_EQ(g_caller_alarms, 1);
  sigaction(SIGALRM, &old, nullptr);
}

TEST(FrameDecode, ChecksTheLengthAgainstTheBytesPresent) {
  char item[MQ_ITEMLEN];
  int flag = 99;
  const unsigned char ok[] = {3, '-', 'h', 'i', 'x'};
  EXPECT_EQ(MQ_frame_decode(ok, 5, &flag, item), 4);
  EXPECT_EQ(flag, -3);
  EXPECT_STREQ(item, "hi");
  EXPECT_EQ(MQ_frame_decode(ok, 3, &flag, item), 0);  // incomplete
  EXPECT_EQ(MQ_frame_decode(ok, 0, &flag, item), 0);
  const unsigned char zero[] = {0, '0'};
  EXPECT_EQ(MQ_frame_decode(zero, 2, &flag, item), -1);
  std::vector<unsigned char> big(200, 'a');
  big[0] = MQ_MAXMSG + 2;
  EXPECT_EQ(MQ_frame_decode(big.data(), 200, &flag, item), -1);
  EXPECT_STREQ(item, "");
  big[0] = MQ_MAXMSG + 1;
  EXPECT_EQ(MQ_frame_decode(big.data(), 200, &flag, item), MQ_MAXMSG + 2);
  EXPECT_EQ(std::strlen(item), static_cast<size_t>(MQ_MAXMSG));
}

}  // namespace
