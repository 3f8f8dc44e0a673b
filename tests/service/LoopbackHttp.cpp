#include "LoopbackHttp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <thread>

#ifndef VELKARO_SERVICE_EXECUTABLE
#error "VELKARO_SERVICE_EXECUTABLE must name the service binary"
#endif

extern char** environ;

namespace velkaro::testing {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::optional<HttpReply> SplitReply(const std::string& raw) {
  const std::size_t headEnd = raw.find("\r\n\r\n");
  if (headEnd == std::string::npos || !raw.starts_with("HTTP/1.")) return std::nullopt;
  HttpReply reply;
  std::size_t lineEnd = raw.find("\r\n");
  reply.statusLine = raw.substr(0, lineEnd);
  if (reply.statusLine.size() < 12) return std::nullopt;
  reply.status = std::atoi(reply.statusLine.c_str() + 9);
  std::size_t at = lineEnd + 2;
  while (at < headEnd) {
    lineEnd = raw.find("\r\n", at);
    const std::string line = raw.substr(at, lineEnd - at);
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos) {
      std::size_t valueStart = colon + 1;
      while (valueStart < line.size() && line[valueStart] == ' ') ++valueStart;
      reply.headers[Lower(line.substr(0, colon))] = line.substr(valueStart);
    }
    at = lineEnd + 2;
  }
  reply.body = raw.substr(headEnd + 4);
  return reply;
}

}  // namespace

int ConnectLoopback(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::optional<HttpReply> ExchangeRaw(int port, const std::string& request, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  const int fd = ConnectLoopback(port);
  if (fd < 0) return std::nullopt;
  std::size_t sent = 0;
  while (sent < request.size()) {
    const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  std::string raw;
  char buffer[65536];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int left = MillisecondsLeft(deadline);
    if (left == 0 || poll(&p, 1, left) <= 0) {
      close(fd);
      return std::nullopt;
    }
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    raw.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return SplitReply(raw);
}

std::optional<HttpReply> Get(int port, const std::string& target, const std::string& method) {
  return ExchangeRaw(port, method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                               "\r\nConnection: close\r\n\r\n");
}

ServiceProcess::~ServiceProcess() { Stop(); }

bool ServiceProcess::Start(const std::vector<std::string>& extraArgs) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  std::vector<std::string> args = {VELKARO_SERVICE_EXECUTABLE, "--listen", "127.0.0.1:0"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  stdoutFd_ = pipeFds[0];
  if (rc != 0) {
    pid_ = -1;
    return false;
  }
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (firstLine_.find('\n') == std::string::npos) {
    pollfd p{stdoutFd_, POLLIN, 0};
    const int left = MillisecondsLeft(deadline);
    if (left == 0 || poll(&p, 1, left) <= 0) return false;
    char c[256];
    const ssize_t n = read(stdoutFd_, c, sizeof c);
    if (n <= 0) return false;
    firstLine_.append(c, static_cast<std::size_t>(n));
  }
  firstLine_.resize(firstLine_.find('\n'));
  const std::size_t colon = firstLine_.rfind(':');
  if (!firstLine_.starts_with("listening 127.0.0.1:") || colon == std::string::npos) return false;
  port_ = std::atoi(firstLine_.c_str() + colon + 1);
  return port_ > 0;
}

std::optional<int> ServiceProcess::Stop(int signal) {
  if (pid_ <= 0) return std::nullopt;
  kill(pid_, signal);
  std::optional<int> result;
  int status = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  for (;;) {
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      if (WIFEXITED(status)) result = WEXITSTATUS(status);
      break;
    }
    if (done < 0 || Clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
  if (stdoutFd_ >= 0) close(stdoutFd_);
  stdoutFd_ = -1;
  return result;
}

}  // namespace velkaro::testing
