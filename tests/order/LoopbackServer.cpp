#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace velkaro::testing {
namespace {

constexpr int kPollSliceMs = 50;
constexpr auto kRequestReadLimit = std::chrono::seconds(5);
constexpr std::size_t kMaxRequestBytes = 1 << 16;

bool WaitReadable(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, timeoutMs) > 0;
}

std::string ReadRequest(int fd, const std::atomic<bool>& stopping) {
  std::string request;
  const auto deadline = std::chrono::steady_clock::now() + kRequestReadLimit;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequestBytes &&
         !stopping && std::chrono::steady_clock::now() < deadline) {
    if (!WaitReadable(fd, kPollSliceMs)) continue;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<std::size_t>(n));
  }
  return request;
}

}  // namespace

bool LoopbackConnection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (stopping_) return false;
      continue;
    }
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::size_t LoopbackConnection::SendEndlessly(char fill, std::size_t maxBytes) {
  const std::string piece(16384, fill);
  std::size_t sent = 0;
  while (sent < maxBytes && !stopping_ && Send(piece)) sent += piece.size();
  return sent;
}

bool LoopbackConnection::HoldUntilPeerCloses(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  char buffer[1024];
  while (!stopping_ && std::chrono::steady_clock::now() < deadline) {
    if (!WaitReadable(fd_, kPollSliceMs)) continue;
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return true;
  }
  return false;
}

LoopbackServer::LoopbackServer(Script script) : script_(std::move(script)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listenFd_, 16) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Run(); });
}

LoopbackServer::~LoopbackServer() { Stop(); }

void LoopbackServer::Run() {
  int index = 0;
  while (!stopping_) {
    if (!WaitReadable(listenFd_, kPollSliceMs)) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) Serve(fd, index++);
  }
}

void LoopbackServer::Serve(int fd, int index) {
  // A send timeout lets a send blocked on a silent peer notice the server's stop.
  timeval sendTimeout{0, 200000};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++connections_;
  }
  std::string request = ReadRequest(fd, stopping_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(std::move(request));
  }
  LoopbackConnection connection(fd, stopping_);
  script_(connection, index);
  ::close(fd);
}

void LoopbackServer::Stop() {
  if (listenFd_ < 0) return;
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  // Connections the kernel completed but nobody accepted still count.
  while (WaitReadable(listenFd_, 0)) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) break;
    ::close(fd);
    std::lock_guard<std::mutex> lock(mutex_);
    ++connections_;
  }
  ::close(listenFd_);
  listenFd_ = -1;
}

int LoopbackServer::ConnectionCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connections_;
}

std::vector<std::string> LoopbackServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::string HttpReply(std::string_view status, std::string_view headers, std::string_view body) {
  std::string reply = "HTTP/1.0 ";
  reply += status;
  reply += "\r\n";
  reply += headers;
  reply += "\r\n";
  reply += body;
  return reply;
}

}  // namespace velkaro::testing
