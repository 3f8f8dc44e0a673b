#include "WebLinks.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace velkaro {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// xdg-open outside any known desktop hands web addresses to $BROWSER; the
// stand-in browser appends each address it is given to a record file.
class WebLinksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/velkaro-links-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    record_ = dir_ / "opened.txt";
    const fs::path browser = dir_ / "stand-in-browser";
    std::ofstream(browser) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << record_.string() << "'\n";
    fs::permissions(browser, fs::perms::owner_all);
    for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "DISPLAY", "WAYLAND_DISPLAY"}) {
      ::unsetenv(name);
    }
    ::setenv("BROWSER", browser.c_str(), 1);
    ::setenv("PATH", "/usr/local/bin:/usr/bin:/bin", 1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The browser runs detached, so its record appears a moment later.
  std::string WaitForLines(std::size_t lines) const {
    std::string content;
    for (int i = 0; i < 200; ++i) {
      std::ifstream in(record_);
      content.assign(std::istreambuf_iterator<char>(in), {});
      if (static_cast<std::size_t>(std::count(content.begin(), content.end(), '\n')) >= lines) break;
      std::this_thread::sleep_for(50ms);
    }
    return content;
  }

  fs::path dir_;
  fs::path record_;
};

TEST_F(WebLinksTest, EachLinkOpensItsOwnAddressOncePerPress) {
  const struct {
    void (*press)();
    const char* address;
  } cases[] = {{OnSiteLinkPressed, kSiteAddress}, {OnGroupLinkPressed, kGroupInviteAddress}};
  for (const auto& c : cases) {
    fs::remove(record_);
    c.press();
    const std::string opened = WaitForLines(1);
    std::this_thread::sleep_for(200ms);  // room for a wrongly doubled opening to show
    EXPECT_EQ(WaitForLines(1), std::string(c.address) + "\n") << c.address;
    EXPECT_EQ(opened, std::string(c.address) + "\n") << c.address;
    // The opener's shell was reaped and the opener itself is not our child.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
  }
}

TEST_F(WebLinksTest, AddressReachesTheBrowserWithoutAShellReadingIt) {
  const fs::path marker = dir_ / "marker";
  const std::string address = "https://velkaro.example/?a=1&b=$(touch " + marker.string() + ");x";
  OpenWebAddress(MakeText(address));
  EXPECT_EQ(WaitForLines(1), address + "\n");
  EXPECT_FALSE(fs::exists(marker));
}

}  // namespace
}  // namespace velkaro
