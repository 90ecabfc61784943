// The sources of resources besides the command line: defaults files along the
// search path with tags, display windows named in the path, the environment,
// and their precedence, in process and through the windchill command.
#include <gtest/gtest.h>
#include <kav/date.h>
#include <kav/mess.h>
#include <kav/mqueue.h>
#include <kav/resrc.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/channel.h"
#include "support/decode.h"
#include "support/kavtest.h"
#include "support/loopback.h"

namespace {

using kavtest::decode;
using kavtest::get;

// Each test starts with no search path from the environment and no stored
// values for the resources it reads.
class Sources : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char *r : {"parameter", "table", "colour", "label", "default"}) RES_put(r, nullptr);
  }
  // Decodes with -df path and the declared keys, after forgetting earlier values.
  void decode_path(const std::string &path, std::vector<std::string> more = {}) {
    std::vector<std::string> words{"-df", path};
    words.insert(words.end(), more.begin(), more.end());
    for (const char *r : {"parameter", "table", "label"}) RES_new(-9999, r, "<unset>", CV_string);
    decode(words, {RES_parameter, RES_table, RES_label});
  }
  kavtest::ScopedEnv no_default_{"kavdefault", nullptr};
  kavtest::ScopedEnv no_param_{"kavparam", nullptr};
  kavtest::ScopedEnv no_label_{"kavlabel", nullptr};
  kavtest::TempDir dir_;
};

TEST_F(Sources, LaterPathElementsAndLaterLinesWin) {
  dir_.write("a/kav.cfg", "prog.parameter: from-a\nprog.label: a\n");
  dir_.write("b/.kavdef", "prog.parameter: first-b\n*.parameter: from-b\n");
  decode_path(dir_.file("a") + ":" + dir_.file("b") + ":" + dir_.file("missing"));
  EXPECT_EQ(get("parameter"), "from-b");
  EXPECT_EQ(get("label"), "a");
}

TEST_F(Sources, TagsGovernOnlyTheFilesAfterThem) {
  const std::string text = "IF fast\nprog.parameter: tagged\nELSE\nprog.label: untagged\nEND\n";
  dir_.write("x/kav.cfg", text);
  dir_.write("y/kav.cfg", "IF FAST\nprog.table: yes\nEND\n");
  decode_path(dir_.file("x") + ":+fast:" + dir_.file("y"));
  EXPECT_EQ(get("parameter"), "<unset>");
  EXPECT_EQ(get("label"), "untagged");
  EXPECT_EQ(get("table"), "yes");
}

TEST_F(Sources, KeysForOtherProgramsAreIgnoredAndUndeclaredOnesAreFree) {
  dir_.write("kav.cfg",
             "other.parameter: not-mine\nprog.colour: red\nparameter: unqualified\n"
             "prog.: nothing\n");
  decode_path(dir_.path());
  EXPECT_EQ(get("parameter"), "<unset>");
  EXPECT_EQ(get("colour"), "red");
}

TEST_F(Sources, EnvironmentBeatsFilesAndTheCommandLineBeatsBoth) {
  dir_.write("kav.cfg", "prog.parameter: file\nprog.label: file\n");
  kavtest::ScopedEnv env("kavparam", "env");
  kavtest::ScopedEnv qualified("kavprog.label", "qualified-env");
  decode_path(dir_.path());
  EXPECT_EQ(get("parameter"), "env");
  EXPECT_EQ(get("label"), "qualified-env");
  decode_path(dir_.path(), {"-pa=cl"});
  EXPECT_EQ(get("parameter"), "cl");
}

TEST_F(Sources, OptionPathBeatsTheEnvironmentPath) {
  dir_.write("env/kav.cfg", "prog.parameter: env-path\n");
  dir_.write("opt/kav.cfg", "prog.parameter: option-path\n");
  kavtest::ScopedEnv path("kavdefault", dir_.file("env").c_str());
  decode({}, {RES_parameter});
  EXPECT_EQ(get("parameter"), "env-path");
  decode_path(dir_.file("opt"));
  EXPECT_EQ(get("parameter"), "option-path");
}

TEST_F(Sources, EmptyPathReadsTheCurrentDirectoryDefaults) {
  dir_.write(".kavdef", "prog.parameter: here\n");
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  decode_path("");
  EXPECT_EQ(chdir(old), 0);
  EXPECT_EQ(get("parameter"), "here");
}

TEST_F(Sources, TitleQualifiesTheKeys) {
  dir_.write("kav.cfg", "prog.parameter: by-name\nday.parameter: by-title\n");
  decode_path(dir_.path(), {"-na", "day"});
  EXPECT_EQ(get("parameter"), "by-title");
}

TEST_F(Sources, TraceOnlyWhenDebugWasOnBeforeDecoding) {
  dir_.write("kav.cfg", "prog.parameter: traced\n");
  MESS_set(10, 0x000FFFFF);
  const std::string path = dir_.path();
  auto quiet = kavtest::capture([&] {
    decode({"-df", path, "-me=+debug"}, {RES_parameter, RES_message});
  });
  EXPECT_EQ(quiet.out.find("RESRC:"), std::string::npos);
  auto traced = kavtest::capture([&] { decode({"-df", path}, {RES_parameter, RES_message}); });
  EXPECT_NE(traced.out.find("RESRC: prog.parameter=traced\n"), std::string::npos) << traced.out;
  MESS_set(10, 0x000FFFFF);
}

// The display zone comes from "kavtz" once decoding is over; it runs in a
// child because nothing sets the zone back.
TEST(SourcesTimeZone, KavtzSetsTheDisplayZone) {
  EXPECT_EXIT(
      {
        setenv("kavtz", "EST:-5", 1);
        decode({}, {RES_table});
        std::exit(DATE_get_tz_off() == -5 * 3600 && std::string(DATE_get_tz_str()) == " EST" ? 0
                                                                                             : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// The window exchange on both transports, against the kavwin test server.
class Window : public Sources, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    Sources::SetUp();
    MQ_settype(GetParam());
    MQ_timeout(10);
    if (GetParam() == 0) {
      MQ_offset(kavtest::queue_base());
      channel_ = 7;
    } else {
      MQ_offset(0);
      channel_ = kavtest::free_ports(1);
    }
  }
  void TearDown() override {
    MQ_settype(0);
    MQ_offset(0);
    kavtest::remove_queues();
  }
  std::vector<std::string> server_args(std::vector<std::string> table) {
    std::vector<std::string> a{"-t", GetParam() == 0 ? "mqueue" : "socket", "-i", "20"};
    if (GetParam() == 0) a.insert(a.end(), {"-o", std::to_string(kavtest::queue_base())});
    a.insert(a.end(), {"-k", std::to_string(channel_)});
    a.insert(a.end(), table.begin(), table.end());
    return a;
  }
  int channel_ = 0;
};

TEST_P(Window, AnswersFillResourcesAndOptionsAreForwarded) {
  kavtest::Server server(server_args({"parameter=from-window", "label=window-label"}));
  ASSERT_TRUE(server.ready());
  dir_.write("kav.cfg", "prog.table: file\nprog.label: file\n");
  kavtest::ScopedEnv env("kavlabel", "env");
  auto c = kavtest::capture(
      [&] { decode_path(dir_.path() + ":#" + std::to_string(channel_), {"-ta"}); });
  EXPECT_EQ(c.err, "");
  EXPECT_EQ(get("parameter"), "from-window");
  EXPECT_EQ(get("label"), "env");  // the environment beats the window
  const std::string &log = server.stop();
  // The file's table value was unknown to the window: it is told about it,
  // then about the command-line option, then the exchange ends.
  size_t told = log.find("set res table file");
  size_t option = log.find("set res table \n");
  size_t quit = log.find(": quit");
  EXPECT_NE(told, std::string::npos) << log;
  EXPECT_NE(option, std::string::npos) << log;
  EXPECT_NE(quit, std::string::npos) << log;
  EXPECT_LT(told, option);
  EXPECT_LT(option, quit);
}

TEST_P(Window, AWindowThatIsNotRunningGivesOneWarning) {
  auto c = kavtest::capture([&] { decode_path("#" + std::to_string(channel_), {"-pa=x"}); });
  const std::string not_running =
      "ZIVavaz window: " + std::to_string(channel_) + " not running or no message queue exists\n";
  const std::string no_connect =
      "ZIVavaz window: " + std::to_string(channel_) + " unable to connect\n";
  if (GetParam() == 0)
    EXPECT_EQ(c.err, not_running);
  else
    EXPECT_EQ(c.err, no_connect);
  EXPECT_EQ(get("parameter"), "x");
}

TEST_P(Window, AWindowThatClosesTheConnectionIsLeftAlone) {
  kavtest::Server server(server_args({"-c"}));
  ASSERT_TRUE(server.ready());
  // Every declared resource already has a value the window could be told.
  auto c = kavtest::capture([&] { decode_path("#" + std::to_string(channel_), {"-pa=x"}); });
  EXPECT_NE(c.err.find("ZIVavaz not running!\n"), std::string::npos) << c.err;
  EXPECT_EQ(get("parameter"), "x");
  // A connection of our own: once it is answered, the server has read all
  // that the decoding sent before.
  int q = MQ_open(channel_);
  ASSERT_GE(q, 0);
  EXPECT_EQ(MQ_connect(q), 3);
  if (GetParam() == 1) MQ_del(q);
  const std::string &log = server.stop();
  EXPECT_NE(log.find("query res parameter"), std::string::npos) << log;
  EXPECT_EQ(log.find("set res"), std::string::npos) << log;
  EXPECT_EQ(log.find("quit"), std::string::npos) << log;
}

int g_gave_up = 0;
void give_up(int) { ++g_gave_up; }

// A channel that is there but never answers: a queue left behind by a window
// that has gone, or a port that accepts and stays silent.
TEST_P(Window, AWindowThatNeverAnswersTheConnectionIsDropped) {
  MQ_timeout(1);
  MQ_timeout_func(give_up);
  g_gave_up = 0;
  int lfd = -1;
  if (GetParam() == 0) {
    ASSERT_GE(MQ_create(channel_), 0);
  } else {
    lfd = kavtest::loopback_listen(channel_);
    ASSERT_GE(lfd, 0);
  }
  auto c = kavtest::capture([&] { decode_path("#" + std::to_string(channel_), {"-pa=x"}); });
  MQ_timeout_func(nullptr);
  EXPECT_EQ(c.err, "ZIVavaz window: " + std::to_string(channel_) + " unable to connect\n");
  EXPECT_EQ(g_gave_up, 1);
  EXPECT_EQ(get("parameter"), "x");
  if (lfd < 0) return;
  // The connection was closed: the silent window sees the request, then the
  // end of the stream, and no option and no "quit".
  int peer = accept(lfd, nullptr, nullptr);
  ASSERT_GE(peer, 0);
  std::string got;
  bool ended = false;
  for (int i = 0; i < 20 && !ended; ++i) {
    pollfd p{peer, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buf[256];
    ssize_t n = recv(peer, buf, sizeof buf, 0);
    if (n <= 0)
      ended = true;
    else
      got.append(buf, static_cast<size_t>(n));
  }
  close(peer);
  close(lfd);
  EXPECT_TRUE(ended) << "the connection was left open";
  const std::string request = "/" + std::to_string(getuid());
  EXPECT_EQ(got, std::string(1, static_cast<char>(request.size())) + request);
}

INSTANTIATE_TEST_SUITE_P(Transports, Window, ::testing::Values(0, 1),
                         [](const auto &p) { return p.param ? "socket" : "mqueue"; });

// Precedence end to end, through the command itself.
TEST(WindchillSources, DefaultsFileEnvironmentAndCommandLine) {
  kavtest::TempDir dir;
  dir.write("kav.cfg", "# formula for windchill\nwindchill.parameter: wctemp\n");
  const std::string wc = KAV_WINDCHILL_BIN;
  auto file = kavtest::run({wc, "-df", dir.path(), "20", "15"});
  EXPECT_EQ(file.out, "-7.5\n");
  auto env = kavtest::run({wc, "20", "15"}, "", {"kavdefault=" + dir.path(), "kavparam=wcval"});
  EXPECT_EQ(env.out, "1407.2\n");
  auto cl = kavtest::run({wc, "-pa=wctemp2", "20", "15"}, "",
                         {"kavdefault=" + dir.path(), "kavparam=wcval"});
  EXPECT_EQ(cl.out, "5.3\n");
  dir.write("tagged/kav.cfg", "IF table\nwindchill.table: on\nEND\n");
  auto tagged = kavtest::run({wc, "-df", "+table:" + dir.file("tagged"), "20", "15"});
  EXPECT_NE(tagged.out.find("Wind(knots)"), std::string::npos);
}

TEST(WindchillSources, WindowElementAnsweredByTheTestServer) {
  const int channel = kavtest::queue_base() + 9;
  kavtest::Server server({"-k", std::to_string(channel), "-i", "20", "parameter=wctemp"});
  ASSERT_TRUE(server.ready());
  auto r = kavtest::run({KAV_WINDCHILL_BIN, "-ta=no", "20", "15"}, "",
                        {"kavdefault=#" + std::to_string(channel)});
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "-7.5\n");
  const std::string &log = server.stop();
  EXPECT_NE(log.find("query res parameter"), std::string::npos) << log;
  EXPECT_NE(log.find("set res table no"), std::string::npos) << log;
  kavtest::remove_queues();
}

}  // namespace
