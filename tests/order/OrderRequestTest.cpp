#include "OrderRequest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeControls.h"
#include "FetchUrl.h"
#include "LoopbackServer.h"
#include "PictureServiceHost.h"

namespace velkaro {
namespace {

using testing::FakeControls;

constexpr char kZhangSan[] = "\xD5\xC5\xC8\xFD";

std::string AsString(const Text& t) { return std::string(t.begin(), t.end()); }
ByteSet Bytes(std::string_view s) { return ByteSet(s.begin(), s.end()); }

// Records every address it is asked for and answers with a fixed body.
struct RecordingFetch {
  std::vector<std::string> addresses;
  ByteSet reply = Bytes("picture");
  std::function<ByteSet(const Text&)> AsFunction() {
    return [this](const Text& address) {
      addresses.push_back(AsString(address));
      return reply;
    };
  }
};

std::string ServiceAddress(const std::string& query) {
  return std::string("http://") + kPictureServiceHost + "/velkaro/dremsil.php?" + query;
}

// The real fetch, with the configured host swapped for the test server's so
// that nothing leaves loopback.
std::function<ByteSet(const Text&)> FetchThrough(const testing::LoopbackServer& server) {
  return [&server](const Text& address) {
    const std::string configuredPrefix = std::string("http://") + kPictureServiceHost;
    std::string local = AsString(address);
    local.replace(0, configuredPrefix.size(), "http://" + server.HostPort());
    return FetchUrl(MakeText(local));
  };
}

TEST(OnBrandSelected, PositionOutsideTheListDoesNothing) {
  for (int position : {-1, 11, -7, 1000}) {
    FakeControls controls;
    controls.selection = position;
    controls.name = MakeText("abc");
    controls.picture = Bytes("old");
    RecordingFetch fetch;
    OnBrandSelected(controls, fetch.AsFunction());
    EXPECT_TRUE(fetch.addresses.empty()) << position;
    EXPECT_EQ(controls.nameReads, 0) << position;
    EXPECT_EQ(controls.pictureWrites, 0) << position;
  }
}

TEST(OnBrandSelected, BrandNumberRunsDownFromElevenAndTheNameIsEncoded) {
  const struct {
    int position;
    std::string name;
    std::string query;
  } cases[] = {
      {10, "abc", "id=1&name=%61%62%63"},          // 法拉利
      {0, kZhangSan, "id=11&name=%E5%BC%A0%E4%B8%89"},  // 兰博基尼
      {1, "a b", "id=10&name=%61%20%62"},
      {5, "", "id=6&name="},
  };
  for (const auto& c : cases) {
    FakeControls controls;
    controls.selection = c.position;
    controls.name = MakeText(c.name);
    RecordingFetch fetch;
    OnBrandSelected(controls, fetch.AsFunction());
    ASSERT_EQ(fetch.addresses.size(), 1u) << c.position;
    EXPECT_EQ(fetch.addresses[0], ServiceAddress(c.query)) << c.position;
    EXPECT_EQ(controls.picture, Bytes("picture")) << c.position;
  }
}

TEST(OnBrandSelected, SameEntryTwiceSendsTheNameOfEachMoment) {
  FakeControls controls;
  controls.selection = 3;
  RecordingFetch fetch;
  controls.name = MakeText("a");
  OnBrandSelected(controls, fetch.AsFunction());
  controls.name = MakeText("b");
  OnBrandSelected(controls, fetch.AsFunction());
  EXPECT_EQ(fetch.addresses,
            (std::vector<std::string>{ServiceAddress("id=8&name=%61"), ServiceAddress("id=8&name=%62")}));
}

TEST(OnBrandSelected, EmptyReplyStillReplacesThePicture) {
  FakeControls controls;
  controls.selection = 2;
  controls.picture = Bytes("previous picture");
  RecordingFetch fetch;
  fetch.reply.clear();
  OnBrandSelected(controls, fetch.AsFunction());
  EXPECT_EQ(controls.pictureWrites, 1);
  EXPECT_TRUE(controls.picture.empty());
}

TEST(OnBrandSelected, ReplyFromALoopbackServiceReachesThePictureBox) {
  const std::string body = "\x89PNG\r\n\x1a\n not really a picture";
  testing::LoopbackServer server([&](testing::LoopbackConnection& c, int) {
    c.Send(testing::HttpReply("200 OK", "Content-Type: image/png\r\n", body));
  });
  const auto fetchFromTestServer = FetchThrough(server);
  FakeControls controls;
  controls.selection = 10;
  controls.name = MakeText(kZhangSan);
  OnBrandSelected(controls, fetchFromTestServer);
  server.Stop();
  EXPECT_EQ(controls.picture, Bytes(body));
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(requests[0].starts_with(
      "GET /velkaro/dremsil.php?id=1&name=%E5%BC%A0%E4%B8%89 HTTP/1.0\r\n"))
      << requests[0];
}

TEST(OnBrandSelected, OverlongNameSendsNothingAndEmptiesThePicture) {
  testing::LoopbackServer server([](testing::LoopbackConnection& c, int) { c.Send("HTTP/1.0 200 OK\r\n\r\nx"); });
  const auto fetchFromTestServer = FetchThrough(server);
  FakeControls controls;
  controls.selection = 4;
  controls.name = MakeText(std::string(700, 'n'));  // 2100 characters once encoded
  controls.picture = Bytes("previous picture");
  OnBrandSelected(controls, fetchFromTestServer);
  server.Stop();
  EXPECT_EQ(server.ConnectionCount(), 0);
  EXPECT_EQ(controls.pictureWrites, 1);
  EXPECT_TRUE(controls.picture.empty());
}

}  // namespace
}  // namespace velkaro
