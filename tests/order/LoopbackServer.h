#pragma once
// A small HTTP-ish server on 127.0.0.1 for the fetch tests. It accepts one
// connection at a time, records the request bytes up to the blank line, and
// lets the test script the raw reply byte by byte. Every wait is bounded.
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace velkaro::testing {

class LoopbackConnection {
 public:
  LoopbackConnection(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}

  // False once the peer is gone.
  bool Send(std::string_view bytes);
  // Sends pieces of `piece` until the peer goes away, `maxBytes` have gone or
  // the server stops. Returns how many bytes were sent.
  std::size_t SendEndlessly(char fill, std::size_t maxBytes);
  // Keeps the connection open, sending nothing, until the peer closes it (true)
  // or `limit` passes or the server stops (false).
  bool HoldUntilPeerCloses(std::chrono::milliseconds limit);
  bool Stopping() const { return stopping_.load(); }

 private:
  int fd_;
  const std::atomic<bool>& stopping_;
};

class LoopbackServer {
 public:
  // Called once per accepted connection with its index (0, 1, ...).
  using Script = std::function<void(LoopbackConnection&, int index)>;

  explicit LoopbackServer(Script script);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int Port() const { return port_; }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string Address(std::string_view pathAndQuery) const {
    return "http://" + HostPort() + std::string(pathAndQuery);
  }

  // Ends the server after counting every connection the kernel has already
  // completed, so ConnectionCount() is exact afterwards.
  void Stop();
  int ConnectionCount() const;
  std::vector<std::string> Requests() const;

 private:
  void Run();
  void Serve(int fd, int index);

  Script script_;
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  int connections_ = 0;
  std::thread thread_;
};

// Builds "HTTP/1.0 <status>\r\n<headers>\r\n" + body.
std::string HttpReply(std::string_view status, std::string_view headers, std::string_view body);

}  // namespace velkaro::testing
