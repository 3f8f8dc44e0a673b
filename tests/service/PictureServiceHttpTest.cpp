// The service as the tool meets it: a child process on a free loopback port,
// spoken to over raw sockets. Bad requests get plain-text refusals, the order
// picture arrives whole with its length, and no client holds up another.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "DecodeForTest.h"
#include "LoopbackHttp.h"
#include "OrderPicture.h"
#include "PaintingContext.h"

extern char** environ;

namespace velkaro {
namespace {

using testing::ExchangeRaw;
using testing::Get;
using testing::HttpReply;
using testing::ServiceProcess;

constexpr CalendarDate kDay{2024, 5, 17};
const std::string kDayFlag = "2024-05-17";
const std::string kZhangSanEncoded = "%E5%BC%A0%E4%B8%89";
const std::string kZhangSan = "\xE5\xBC\xA0\xE4\xB8\x89";

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::string OrderTarget(const std::string& id, const std::string& encodedName) {
  return "/velkaro/dremsil.php?id=" + id + "&name=" + encodedName;
}

class PictureServiceHttp : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    painting_ = new PaintingContext;
    service_ = new ServiceProcess;
    ASSERT_TRUE(service_->Start({"--date", kDayFlag})) << "service did not start: " << service_->firstLine();
  }
  static void TearDownTestSuite() {
    delete service_;
    delete painting_;
  }
  static int Port() { return service_->port(); }

  static PaintingContext* painting_;
  static ServiceProcess* service_;
};

PaintingContext* PictureServiceHttp::painting_ = nullptr;
ServiceProcess* PictureServiceHttp::service_ = nullptr;

void ExpectWholeBody(const HttpReply& reply, const std::string& what) {
  ASSERT_EQ(reply.headers.count("content-length"), 1u) << what;
  EXPECT_EQ(reply.headers.at("content-length"), std::to_string(reply.body.size())) << what;
}

TEST_F(PictureServiceHttp, RefusesBadRequestsWithPlainText) {
  struct Case {
    std::string method;
    std::string target;
    int status;
  };
  const Case cases[] = {
      {"GET", "/velkaro/dremsil.php?name=" + kZhangSanEncoded, 400},
      {"GET", "/velkaro/dremsil.php", 400},
      {"GET", OrderTarget("abc", "%61"), 400},
      {"GET", OrderTarget("", "%61"), 400},
      {"GET", OrderTarget("0", "%61"), 400},
      {"GET", OrderTarget("12", "%61"), 400},
      {"GET", OrderTarget("-3", "%61"), 400},
      {"GET", OrderTarget("1", "%zz"), 400},
      {"GET", OrderTarget("1", "%E5%BC%A"), 400},
      {"GET", OrderTarget("1", "abc%"), 400},
      {"GET", OrderTarget("1", Repeat("%E5%BC%A0", 201)), 400},
      {"GET", OrderTarget("1", Repeat("%61", 201)), 400},
      {"GET", "/", 404},
      {"GET", "/velkaro/other.php?id=1&name=", 404},
      {"GET", "/velkaro/dremsil.php.bak?id=1&name=", 404},
      {"POST", OrderTarget("1", "%61"), 405},
      {"PUT", OrderTarget("1", "%61"), 405},
      {"DELETE", OrderTarget("1", "%61"), 405},
      {"OPTIONS", OrderTarget("1", "%61"), 405},
  };
  for (const Case& c : cases) {
    const std::string what = c.method + " " + c.target.substr(0, 80);
    const auto reply = Get(Port(), c.target, c.method);
    ASSERT_TRUE(reply.has_value()) << what;
    EXPECT_EQ(reply->status, c.status) << what;
    EXPECT_TRUE(reply->Header("content-type").starts_with("text/plain")) << what;
    EXPECT_FALSE(reply->body.empty()) << what;
    ExpectWholeBody(*reply, what);
  }
}

TEST_F(PictureServiceHttp, AnswersWithTheOrderPicture) {
  const auto reply = Get(Port(), OrderTarget("1", kZhangSanEncoded));
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->status, 200);
  EXPECT_EQ(reply->Header("content-type"), "image/jpeg");
  ExpectWholeBody(*reply, "order picture");
  const auto size = testing::DecodeJpegSize(Bytes(reply->body));
  ASSERT_TRUE(size.has_value());
  EXPECT_EQ(size->width, kOrderPictureWidth);
  EXPECT_EQ(size->height, kOrderPictureHeight);
  // The percent-decoded name is what was drawn: the same bytes as rendering it here.
  EXPECT_EQ(Bytes(reply->body), RenderOrderJpeg({1, kZhangSan, kDay}));
}

TEST_F(PictureServiceHttp, NamesArriveAsTheToolMeantThem) {
  struct Case {
    std::string id;
    std::string encoded;
    OrderDetails drawn;
  };
  const Case cases[] = {
      {"11", "%61%62%63", {11, "abc", kDay}},
      {"5", "", {5, "", kDay}},
      {"5", "%FF%FE", {5, "\xEF\xBF\xBD\xEF\xBF\xBD", kDay}},  // not UTF-8: replacement characters
      {"2", Repeat("%E5%BC%A0", 200), {2, Repeat(kZhangSan.substr(0, 3), 200), kDay}},
  };
  for (const Case& c : cases) {
    const auto reply = Get(Port(), OrderTarget(c.id, c.encoded));
    ASSERT_TRUE(reply.has_value()) << c.encoded.substr(0, 40);
    EXPECT_EQ(reply->status, 200) << c.encoded.substr(0, 40) << ": " << reply->body.substr(0, 80);
    EXPECT_EQ(Bytes(reply->body), RenderOrderJpeg(c.drawn)) << c.encoded.substr(0, 40);
  }
}

TEST_F(PictureServiceHttp, SameRequestSameBytesOtherNameOtherPicture) {
  const auto first = Get(Port(), OrderTarget("6", kZhangSanEncoded));
  const auto second = Get(Port(), OrderTarget("6", kZhangSanEncoded));
  const auto other = Get(Port(), OrderTarget("6", "%E6%9D%8E%E5%9B%9B"));
  ASSERT_TRUE(first && second && other);
  ASSERT_EQ(first->status, 200);
  EXPECT_EQ(first->body, second->body);
  EXPECT_EQ(other->status, 200);
  EXPECT_NE(first->body, other->body);
}

TEST_F(PictureServiceHttp, AnswersAnHttp10RequestLikeTheTool) {
  const std::string request = "GET " + OrderTarget("1", kZhangSanEncoded) +
                              " HTTP/1.0\r\n"
                              "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
                              "Accept: */*\r\n"
                              "Host: 127.0.0.1:" +
                              std::to_string(Port()) + "\r\n\r\n";
  // ExchangeRaw reads until the server closes: a reply at all means the
  // connection was ended after one answer, as an HTTP/1.0 client expects.
  const auto reply = ExchangeRaw(Port(), request);
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->status, 200) << reply->statusLine;
  ExpectWholeBody(*reply, "HTTP/1.0 reply");
  EXPECT_EQ(Bytes(reply->body), RenderOrderJpeg({1, kZhangSan, kDay}));
}

TEST_F(PictureServiceHttp, HeadGivesTheLengthWithoutTheBody) {
  const auto head = Get(Port(), OrderTarget("1", kZhangSanEncoded), "HEAD");
  ASSERT_TRUE(head.has_value());
  EXPECT_EQ(head->status, 200);
  EXPECT_TRUE(head->body.empty());
  EXPECT_EQ(head->Header("content-length"), std::to_string(RenderOrderJpeg({1, kZhangSan, kDay}).size()));
}

// A refused request's body is never read as the next request.
TEST_F(PictureServiceHttp, RefusedBodyIsNotTakenAsARequest) {
  const std::string smuggled = "GET " + OrderTarget("1", "%61") + " HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string request = "POST " + OrderTarget("1", "%61") + " HTTP/1.1\r\nHost: x\r\nContent-Length: " +
                              std::to_string(smuggled.size()) + "\r\n\r\n" + smuggled;
  const auto reply = ExchangeRaw(Port(), request);
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->status, 405);
  EXPECT_EQ(reply->Header("allow"), "GET, HEAD");
  EXPECT_EQ(reply->body.find("HTTP/1."), std::string::npos) << "a second reply followed";
}

TEST_F(PictureServiceHttp, ManyClientsAtOnceGetTheirOwnPictures) {
  constexpr int kClients = 8;
  constexpr int kRequestsEach = 3;
  std::vector<std::future<int>> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.push_back(std::async(std::launch::async, [c] {
      int wrong = 0;
      for (int r = 0; r < kRequestsEach; ++r) {
        const int brand = (c + r) % 11 + 1;
        const std::string name = "%" + std::to_string(41 + c) + "%" + std::to_string(61 + r);
        const auto reply = Get(Port(), OrderTarget(std::to_string(brand), name));
        const std::string drawn = {static_cast<char>(0x41 + c), static_cast<char>(0x61 + r)};
        if (!reply || reply->status != 200 || Bytes(reply->body) != RenderOrderJpeg({brand, drawn, kDay})) ++wrong;
      }
      return wrong;
    }));
  }
  for (auto& c : clients) EXPECT_EQ(c.get(), 0);
}

// Stalled clients (one that sent half a request line, one that sent nothing)
// and one that hangs up without reading do not stop a well-behaved client
// from being served well within the read time-out that would free them.
TEST_F(PictureServiceHttp, SlowOrBrokenClientsDoNotHoldUpOthers) {
  const int halfRequest = testing::ConnectLoopback(Port());
  const int silent = testing::ConnectLoopback(Port());
  ASSERT_GE(halfRequest, 0);
  ASSERT_GE(silent, 0);
  const std::string half = "GET /velkaro/dremsil.php?id=1&na";
  ASSERT_EQ(send(halfRequest, half.data(), half.size(), MSG_NOSIGNAL), static_cast<ssize_t>(half.size()));
  for (int i = 0; i < 3; ++i) {
    const int rude = testing::ConnectLoopback(Port());
    ASSERT_GE(rude, 0);
    const std::string get = "GET " + OrderTarget("9", kZhangSanEncoded) + " HTTP/1.1\r\nHost: x\r\n\r\n";
    send(rude, get.data(), get.size(), MSG_NOSIGNAL);
    close(rude);
  }
  const auto reply = ExchangeRaw(
      Port(), "GET " + OrderTarget("2", kZhangSanEncoded) + " HTTP/1.0\r\n\r\n", std::chrono::seconds(3));
  close(halfRequest);
  close(silent);
  ASSERT_TRUE(reply.has_value()) << "a stalled client held up the others";
  EXPECT_EQ(reply->status, 200);
}

std::optional<int> ExitStatusOf(const std::vector<std::string>& extraArgs);

TEST(PictureServiceProcess, PrintsItsPortAndStopsCleanlyOnSignals) {
  for (const int signal : {SIGTERM, SIGINT}) {
    ServiceProcess service;
    ASSERT_TRUE(service.Start()) << service.firstLine();
    const auto health = Get(service.port(), "/health");
    ASSERT_TRUE(health.has_value());
    EXPECT_EQ(health->status, 200);
    const int port = service.port();
    // A port in use is reported, not silently shared.
    EXPECT_EQ(ExitStatusOf({"--listen", "127.0.0.1:" + std::to_string(port)}), 1);
    EXPECT_EQ(service.Stop(signal), 0) << "signal " << signal;
    const int after = testing::ConnectLoopback(port);
    EXPECT_LT(after, 0) << "still listening after stop";
    if (after >= 0) close(after);
  }
}

// Exit status of the service run with these arguments (it must refuse them
// before it listens, so it ends by itself).
std::optional<int> ExitStatusOf(const std::vector<std::string>& extraArgs) {
  std::vector<std::string> args = {VELKARO_SERVICE_EXECUTABLE_FOR_TEST};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return std::nullopt;
  for (int waited = 0; waited < 1000; ++waited) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      return WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return std::nullopt;
}

TEST(PictureServiceProcess, RefusesBadArguments) {
  const std::vector<std::string> cases[] = {
      {"--listen", "nonsense"},
      {"--listen", "127.0.0.1:70000"},
      {"--listen"},
      {"--date", "2024-02-30"},
      {"--threads", "0"},
      {"--colour", "red"},
  };
  for (const auto& args : cases) EXPECT_EQ(ExitStatusOf(args), 2) << args.front();
}

}  // namespace
}  // namespace velkaro
