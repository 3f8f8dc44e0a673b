// The window while the picture service misbehaves: the order request runs
// through the real handler and the real fetch, against loopback servers that
// stall, drip, flood, loop or talk nonsense. Each fault must end within its
// limit with the bytes that arrived as the picture, and leave a window that
// still takes typing and shows the next good reply.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QTest>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FetchUrl.h"
#include "LoopbackServer.h"
#include "MainWindow.h"
#include "OrderRequest.h"
#include "RetargetedAddress.h"

namespace velkaro {
namespace {

using testing::HttpReply;
using testing::LoopbackConnection;
using testing::LoopbackServer;
using testing::RetargetedAddress;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string GoodPicture() {
  QImage image(40, 30, QImage::Format_RGB32);
  image.fill(QColor(10, 200, 30));
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return data.toStdString();
}

std::string AsString(const ByteSet& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The fault limits, scaled down from the tool's so the table runs in seconds.
FetchLimits ShortLimits() {
  FetchLimits limits;
  limits.connectTimeoutSeconds = 1;
  limits.stallSeconds = 1;
  limits.totalSeconds = 3;
  limits.maxBodyBytes = 200000;
  return limits;
}

struct Fault {
  const char* name;
  // Plays the fault on the first connection.
  std::function<void(LoopbackConnection&)> play;
  // True when the stored picture is what this fault should leave.
  std::function<bool(const std::string&)> leftPicture;
};

std::vector<Fault> Faults() {
  auto exactly = [](std::string want) { return [want](const std::string& got) { return got == want; }; };
  return {
      {"accepts and never answers", [](LoopbackConnection& c) { c.HoldUntilPeerCloses(20s); }, exactly("")},
      {"headers, then a stall",
       [](LoopbackConnection& c) {
         c.Send(HttpReply("200 OK", "Content-Length: 5000\r\n", "GIF89a"));
         c.HoldUntilPeerCloses(20s);
       },
       exactly("GIF89a")},
      {"drips a byte at a time",
       [](LoopbackConnection& c) {
         c.Send(HttpReply("200 OK", "", ""));
         for (int i = 0; i < 100 && c.Send("d") && !c.HoldUntilPeerCloses(500ms); ++i) {
         }
       },
       [](const std::string& got) { return !got.empty() && got == std::string(got.size(), 'd'); }},
      {"endless body",
       [](LoopbackConnection& c) {
         c.Send(HttpReply("200 OK", "", ""));
         c.SendEndlessly('e', 64u << 20);
       },
       exactly(std::string(200000, 'e'))},
      {"redirect loop",
       [](LoopbackConnection& c) { c.Send(HttpReply("302 Found", "Location: /again\r\n", "")); },
       exactly("")},
      {"redirect to a file",
       [](LoopbackConnection& c) { c.Send(HttpReply("302 Found", "Location: file:///etc/passwd\r\n", "")); },
       exactly("")},
      {"length far above what is sent",
       [](LoopbackConnection& c) { c.Send(HttpReply("200 OK", "Content-Length: 99999999\r\n", "short")); },
       exactly("short")},
      {"garbage instead of a status line", [](LoopbackConnection& c) { c.Send("\x89PNG garbage\r\n\r\n"); },
       exactly("")},
  };
}

class FetchFaultWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowHandlers h;
    h.brandSelected = [this](ControlProperties& c) {
      OnBrandSelected(c, [this](const Text& address) {
        requests_.push_back(std::string(View(address)));
        return FetchUrl(MakeText(RetargetedAddress(address, *server_)), ShortLimits());
      });
    };
    window_ = std::make_unique<MainWindow>(std::move(h));
    window_->ShowCentred();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }

  void ChooseBrand(int position) {
    window_->组合框1->setCurrentIndex(position);
    emit window_->组合框1->activated(position);
    QApplication::processEvents();  // the queued notice runs the handler
  }

  // Declared before the server, so that a server thread never outlives them.
  const std::vector<Fault> faults_ = Faults();
  const std::string good_ = GoodPicture();
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<LoopbackServer> server_;
  std::vector<std::string> requests_;
  std::atomic<bool> faultOver_{false};
};

TEST_F(FetchFaultWindowTest, EachFaultEndsInTimeAndTheWindowGoesOnWorking) {
  for (const Fault& fault : faults_) {
    SCOPED_TRACE(fault.name);
    requests_.clear();
    faultOver_ = false;
    // Every connection of the fault's fetch (a redirect loop makes several)
    // plays the fault; the fetch after it gets the good reply.
    server_ = std::make_unique<LoopbackServer>([this, &fault](LoopbackConnection& c, int) {
      if (faultOver_) {
        c.Send(HttpReply("200 OK", "", good_));
      } else {
        fault.play(c);
      }
    });

    window_->编辑框1->setText(QStringLiteral("张三"));
    const auto start = Clock::now();
    ChooseBrand(10);
    const auto took = Clock::now() - start;
    ASSERT_EQ(requests_.size(), 1u);
    // Limits of 1 s idle and 3 s in all; the margin is for a loaded machine.
    EXPECT_LT(took, 8s);
    EXPECT_TRUE(fault.leftPicture(AsString(window_->GetPicture())))
        << AsString(window_->GetPicture()).substr(0, 40);
    EXPECT_FALSE(window_->图片框1->HasDecodedPicture());
    window_->图片框1->grab();  // the box draws whatever it holds
    faultOver_ = true;

    // Still usable: typing reaches the name box and the next reply is shown.
    window_->编辑框1->clear();
    QTest::keyClicks(window_->编辑框1, "ok");
    EXPECT_EQ(window_->编辑框1->text(), QStringLiteral("ok"));
    ChooseBrand(0);
    ASSERT_EQ(requests_.size(), 2u);
    EXPECT_TRUE(requests_[1].ends_with("?id=11&name=%6F%6B")) << requests_[1];
    EXPECT_EQ(AsString(window_->GetPicture()), good_);
    EXPECT_TRUE(window_->图片框1->HasDecodedPicture());
    server_->Stop();
  }
}

}  // namespace
}  // namespace velkaro
