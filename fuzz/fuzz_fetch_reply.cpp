// The reply handling of a fetch: a server on loopback, in this process, sends
// the input as the raw reply bytes (status line, headers and body as they
// come) and closes; the fetch must give back at most what was sent.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "FetchUrl.h"
#include "FuzzCheck.h"

namespace {

constexpr int kPollMilliseconds = 1000;
constexpr std::size_t kMaxRequestBytes = 16384;
// Small enough that longer inputs meet the byte cap.
constexpr std::size_t kMaxBodyBytes = 2000;

// A reply server that sends whatever reply is current to every connection.
class ReplayServer {
 public:
  ReplayServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    VELKARO_FUZZ_CHECK(listener_ >= 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;  // any free port
    VELKARO_FUZZ_CHECK(bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    VELKARO_FUZZ_CHECK(listen(listener_, 8) == 0);
    socklen_t length = sizeof address;
    VELKARO_FUZZ_CHECK(getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0);
    port_ = ntohs(address.sin_port);
    // The server lives as long as the process: libFuzzer ends it with exit().
    std::thread([this] { Serve(); }).detach();
  }

  int Port() const { return port_; }

  void SetReply(std::string reply) {
    std::lock_guard<std::mutex> hold(lock_);
    reply_ = std::move(reply);
  }

 private:
  void Serve() {
    for (;;) {
      const int connection = accept(listener_, nullptr, nullptr);
      if (connection < 0) continue;
      std::string reply;
      {
        std::lock_guard<std::mutex> hold(lock_);
        reply = reply_;
      }
      ReadRequest(connection);
      SendAll(connection, reply);
      shutdown(connection, SHUT_WR);
      close(connection);
    }
  }

  // Reads up to the blank line that ends the request head, or gives up.
  static void ReadRequest(int connection) {
    std::string request;
    char buffer[1024];
    while (request.size() < kMaxRequestBytes && request.find("\r\n\r\n") == std::string::npos) {
      pollfd waiting{connection, POLLIN, 0};
      if (poll(&waiting, 1, kPollMilliseconds) <= 0) return;
      const ssize_t got = recv(connection, buffer, sizeof buffer, 0);
      if (got <= 0) return;
      request.append(buffer, static_cast<std::size_t>(got));
    }
  }

  static void SendAll(int connection, std::string_view bytes) {
    while (!bytes.empty()) {
      // The client may hang up early (at its byte cap): no SIGPIPE for that.
      const ssize_t sent = send(connection, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
  }

  int listener_ = -1;
  int port_ = 0;
  std::mutex lock_;
  std::string reply_;
};

bool ContainsIgnoringCase(std::string_view haystack, std::string_view lowerNeedle) {
  const auto found = std::search(haystack.begin(), haystack.end(), lowerNeedle.begin(), lowerNeedle.end(),
                                 [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
  return found != haystack.end();
}

// The fetch follows redirects, and a reply could name any host: every
// "location" is spoilt so that the client never leaves loopback.
void SpoilRedirects(std::string& reply) {
  constexpr std::string_view kWord = "location";
  for (std::size_t i = 0; i + kWord.size() <= reply.size(); ++i) {
    if (ContainsIgnoringCase(std::string_view(reply).substr(i, kWord.size()), kWord)) reply[i + 1] = 'x';
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ReplayServer server;
  std::string reply(reinterpret_cast<const char*>(data), size);
  SpoilRedirects(reply);
  server.SetReply(reply);

  velkaro::FetchLimits limits;
  limits.connectTimeoutSeconds = 1;
  limits.stallSeconds = 1;
  limits.totalSeconds = 1;
  limits.maxBodyBytes = kMaxBodyBytes;
  const std::string address = "http://127.0.0.1:" + std::to_string(server.Port()) + "/order";
  const velkaro::ByteSet body = velkaro::FetchUrl(velkaro::MakeText(address), limits);

  VELKARO_FUZZ_CHECK(body.size() <= reply.size());
  VELKARO_FUZZ_CHECK(body.size() <= kMaxBodyBytes);
  // Without chunked coding the body travels as it is: it is a run of the
  // bytes that were sent.
  if (!ContainsIgnoringCase(reply, "chunked")) {
    const std::string_view got(reinterpret_cast<const char*>(body.data()), body.size());
    VELKARO_FUZZ_CHECK(reply.find(got) != std::string::npos);
  }
  return 0;
}
