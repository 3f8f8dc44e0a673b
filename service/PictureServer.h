#pragma once
// The HTTP side of the picture service: which requests are answered how, and
// the server that listens for them. Rendering lives in OrderPicture.h.
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "OrderPicture.h"

namespace velkaro {

inline constexpr std::string_view kOrderPicturePath = "/velkaro/dremsil.php";
inline constexpr std::string_view kHealthPath = "/health";
inline constexpr std::string_view kDefaultListenAddress = "127.0.0.1:8631";

struct ListenAddress {
  std::string host;  // numeric address, IPv6 without brackets
  int port = 0;      // 0 asks the system for a free port
};

// "host:port", "[v6]:port" or a bare port (on 127.0.0.1).
std::optional<ListenAddress> ParseListenAddress(std::string_view text);
// The printable form, brackets around IPv6.
std::string FormatListenAddress(const ListenAddress& address);

struct ServiceOptions {
  std::optional<CalendarDate> fixedDate;  // otherwise the local date of each request
  std::size_t workerThreads = 16;
  // A client that stalls for this long is dropped, so it holds one worker at most this long.
  std::chrono::seconds readTimeout{5};
  std::chrono::seconds writeTimeout{5};
  std::chrono::seconds keepAliveTimeout{2};
};

struct Reply {
  int status = 200;
  std::string contentType;
  std::string body;
};

// The answer to one request, given its method and its raw target (path and
// query as they came on the request line, still percent-encoded).
Reply AnswerRequest(std::string_view method, std::string_view target, const ServiceOptions& options);

class PictureServer {
 public:
  explicit PictureServer(ServiceOptions options);
  ~PictureServer();
  PictureServer(const PictureServer&) = delete;
  PictureServer& operator=(const PictureServer&) = delete;

  // Binds the listening socket; the port actually bound, or nothing.
  std::optional<int> Bind(const ListenAddress& address);
  // Serves until Stop; false if the server could not run.
  bool Run();
  // From any thread; Run returns soon after.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velkaro
