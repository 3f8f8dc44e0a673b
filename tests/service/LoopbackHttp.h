#pragma once
// Test support: raw HTTP exchanges over loopback and the picture service run
// as a child process on a free port. Every wait is bounded.
#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velkaro::testing {

struct HttpReply {
  int status = 0;
  std::string statusLine;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;

  // The header's value, empty when it is absent.
  std::string Header(const std::string& lowerCaseName) const {
    const auto it = headers.find(lowerCaseName);
    return it == headers.end() ? std::string() : it->second;
  }
};

// Connects to 127.0.0.1:port, sends the bytes as they are, reads until the
// server closes the connection and splits the reply. Nothing on a connect
// failure, a time-out or a reply that is not HTTP.
std::optional<HttpReply> ExchangeRaw(int port, const std::string& request,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(10));

// A GET of target with "Connection: close".
std::optional<HttpReply> Get(int port, const std::string& target, const std::string& method = "GET");

// A connected socket to 127.0.0.1:port, or -1.
int ConnectLoopback(int port);

class ServiceProcess {
 public:
  ServiceProcess() = default;
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  // Starts the service with --listen 127.0.0.1:0 and the extra arguments and
  // waits for its "listening" line; false if it did not come in time.
  bool Start(const std::vector<std::string>& extraArgs = {});
  int port() const { return port_; }
  const std::string& firstLine() const { return firstLine_; }
  // Sends the signal and waits; the exit status, or nothing if it had to be killed.
  std::optional<int> Stop(int signal = SIGTERM);

 private:
  pid_t pid_ = -1;
  int stdoutFd_ = -1;
  int port_ = 0;
  std::string firstLine_;
};

}  // namespace velkaro::testing
